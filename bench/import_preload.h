#pragma once
// Loads the modules that a DLL imports, read from its file, without loading
// the DLL itself: a benchmark then compares two processes (or two moments of
// one process) that hold the same modules, as an application that already
// uses them would.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace bench {

// File offset of an RVA, through the section table; 0 when no section holds it.
inline DWORD FileOffsetOf(const std::vector<BYTE>& file, const IMAGE_NT_HEADERS32* nt, DWORD rva) {
    const auto* sec = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++sec) {
        const DWORD size = std::max(sec->Misc.VirtualSize, sec->SizeOfRawData);
        if (rva >= sec->VirtualAddress && rva < sec->VirtualAddress + size) {
            const DWORD off = rva - sec->VirtualAddress + sec->PointerToRawData;
            return off < file.size() ? off : 0;
        }
    }
    return 0;
}

// Names of the modules the DLL at path imports; empty when the file cannot
// be read or is not a 32-bit image.
inline std::vector<std::string> ImportedModules(const std::string& path) {
    std::vector<std::string> names;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return names;
    std::vector<BYTE> file(GetFileSize(f, nullptr));
    DWORD read = 0;
    const BOOL ok = ReadFile(f, file.data(), static_cast<DWORD>(file.size()), &read, nullptr);
    CloseHandle(f);
    if (!ok || read != file.size() || file.size() < sizeof(IMAGE_DOS_HEADER)) return names;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
    if (dos->e_magic != IMAGE_DOS_SIGNATURE ||
        static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32) > file.size())
        return names;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(file.data() + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return names;
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    DWORD at = dir.VirtualAddress ? FileOffsetOf(file, nt, dir.VirtualAddress) : 0;
    while (at && at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= file.size()) {
        const auto* imp = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(file.data() + at);
        if (!imp->Name) break;
        if (const DWORD name = FileOffsetOf(file, nt, imp->Name))
            names.emplace_back(reinterpret_cast<const char*>(file.data() + name),
                               strnlen(reinterpret_cast<const char*>(file.data() + name), file.size() - name));
        at += sizeof(IMAGE_IMPORT_DESCRIPTOR);
    }
    return names;
}

// Loads every module the DLL imports; returns how many were loaded.
inline int PreloadImportsOf(const std::string& path) {
    int loaded = 0;
    for (const std::string& name : ImportedModules(path))
        if (LoadLibraryA(name.c_str())) ++loaded;
    return loaded;
}

}  // namespace bench
