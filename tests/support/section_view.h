#pragma once
// The shared section of a loaded Gatrel.dll, found through the module's own
// section table: lets a test read the words the library keeps there without
// an accessor in the library.
#include <windows.h>

#include <cstring>

#include "store/shared_section.h"

namespace testing_support {

inline SharedSection* SharedSectionOf(HMODULE module) {
    if (!module) return nullptr;
    auto* base = reinterpret_cast<unsigned char*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    IMAGE_SECTION_HEADER* sec = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++sec) {
        if (memcmp(sec->Name, ".zelshr", 8) == 0 && (sec->Characteristics & IMAGE_SCN_MEM_SHARED) &&
            sec->Misc.VirtualSize >= sizeof(SharedSection))
            return reinterpret_cast<SharedSection*>(base + sec->VirtualAddress);
    }
    return nullptr;
}

}  // namespace testing_support
