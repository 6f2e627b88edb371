// Installs all hook tables at load, as the product library does, with a
// pass-through replacement on every row, in a word-processor process (so the
// conditional rows count too); removes them at unload.
#include <windows.h>

#include "host/process_context.h"
#include "identify/common_doc.h"
#include "intercept/hook_tables.h"
#include "intercept/replacement_guard.h"

namespace {

// lock inc dword [count]; jmp dword [slot]
void* PassThrough(volatile LONG* count, PVOID* slot) {
    static BYTE* page = static_cast<BYTE*>(
        VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE));
    static size_t used = 0;
    BYTE* t = page + used;
    used += 16;
    const BYTE code[] = {0xF0, 0xFF, 0x05, 0, 0, 0, 0, 0xFF, 0x25, 0, 0, 0, 0};
    memcpy(t, code, sizeof code);
    const DWORD c = static_cast<DWORD>(reinterpret_cast<uintptr_t>(count));
    const DWORD s = static_cast<DWORD>(reinterpret_cast<uintptr_t>(slot));
    memcpy(t + 3, &c, 4);
    memcpy(t + 9, &s, 4);
    return t;
}

volatile LONG g_counts[kHookCount];
const HookFacts kWordProcessor{true, kDocWord, -1};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        for (size_t i = 0; i < kHookCount; ++i)
            CatalogRow(i).pDetour = PassThrough(&g_counts[i], CatalogRow(i).ppSlot);
        HookAllApi(kWordProcessor);
        intercept::SetLibraryAttached(true);
    } else if (reason == DLL_PROCESS_DETACH) {
        intercept::SetLibraryAttached(false);
        UnHookAllApi(kWordProcessor);
    }
    return TRUE;
}
