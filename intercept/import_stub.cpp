#include "intercept/import_stub.h"

#include <cstdint>
#include <cstring>

namespace {

// The loaded image's headers, checked as far as they are read.
const IMAGE_NT_HEADERS32* NtHeaders(HMODULE module) {
    if (!module) return nullptr;
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE ||
        nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return nullptr;
    return nt;
}

// The slot of a stub at code, or null when code has neither stub form.
const void* const* StubSlot(const BYTE* code) {
    static const BYTE kHotPatch[] = {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x5D, 0xFF, 0x25};
    uint32_t slot = 0;
    if (memcmp(code, kHotPatch, sizeof kHotPatch) == 0) memcpy(&slot, code + 8, 4);
    else if (code[0] == 0xFF && code[1] == 0x25) memcpy(&slot, code + 2, 4);
    return reinterpret_cast<const void* const*>(static_cast<uintptr_t>(slot));
}

// The module that the import slot of module belongs to (loaded, never loaded
// here), or null when slot is in none of module's import address tables.
HMODULE ModuleOfImportSlot(HMODULE module, const void* slot) {
    const IMAGE_NT_HEADERS32* nt = NtHeaders(module);
    if (!nt || nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT) return nullptr;
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress || !dir.Size) return nullptr;
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const uint32_t imageSize = nt->OptionalHeader.SizeOfImage;
    const auto at = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(slot) - reinterpret_cast<uintptr_t>(base));
    if (at >= imageSize) return nullptr;
    const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    for (; reinterpret_cast<const BYTE*>(d + 1) <= base + imageSize && d->Name; ++d) {
        const uint32_t first = d->FirstThunk;
        if (!first || first >= imageSize || at < first || (at - first) % 4) continue;
        // Within this table when no terminating entry comes before it.
        bool inside = true;
        for (uint32_t p = first; p < at; p += 4)
            if (*reinterpret_cast<const uint32_t*>(base + p) == 0) {
                inside = false;
                break;
            }
        if (!inside || d->Name >= imageSize) continue;
        const char* name = reinterpret_cast<const char*>(base + d->Name);
        HMODULE from = nullptr;
        if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, name, &from)) return from;
        return nullptr;
    }
    return nullptr;
}

}  // namespace

bool InModuleImage(HMODULE module, const void* address) {
    const IMAGE_NT_HEADERS32* nt = NtHeaders(module);
    if (!nt) return false;
    const uintptr_t base = reinterpret_cast<uintptr_t>(module);
    const uintptr_t a = reinterpret_cast<uintptr_t>(address);
    return base <= a && a <= base + nt->OptionalHeader.SizeOfImage;
}

StubLanding FollowImportStub(HMODULE module, const void* code) {
    StubLanding landing;
    // Both stub forms fit in 12 bytes of the image.
    if (!code || !InModuleImage(module, code) ||
        !InModuleImage(module, static_cast<const BYTE*>(code) + 12))
        return landing;
    const void* const* slot = StubSlot(static_cast<const BYTE*>(code));
    if (!slot) return landing;
    landing.isStub = true;
    // The slot may lie anywhere when someone else wrote the jump.
    PVOID target = nullptr;
    if (!ReadProcessMemory(GetCurrentProcess(), slot, &target, sizeof target, nullptr)) return landing;
    landing.jumpsTo = target;
    HMODULE from = ModuleOfImportSlot(module, slot);
    if (!from || from == module) return landing;
    if (!InModuleImage(from, target)) return landing;
    landing.target = target;
    landing.into = from;
    return landing;
}
