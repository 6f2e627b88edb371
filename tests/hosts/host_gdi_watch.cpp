// Watches the GDI+ and GDI calls that Gatrel.dll makes (--gdi-watch=<file>).
//
// Armed at start, before the library is loaded: the export tables of
// gdiplus.dll and gdi32.dll then name stand-ins of the host for the watched
// functions, so the library's imports are bound to them when it is loaded.
// Each stand-in looks at its caller: a call from Gatrel.dll is counted
// (GdiplusStartup apart), and when the caller holds the loader lock (in
// DllMain, at attach or detach, or in a static destructor run from there) its
// name is also appended to the file at once, so that what happens at the
// process's end can be read after it. Then the real function runs.
#include <windows.h>
#include <winternl.h>

#include <string>

#include "host_app.h"

namespace host {
namespace {

std::wstring g_file;
volatile LONG g_armed = 0;
volatile LONG g_startups = 0;
volatile LONG g_underLoaderLock = 0;
SRWLOCK g_lock = SRWLOCK_INIT;
std::string g_lockedNames;

bool FromLibrary(void* returnAddress) {
    HMODULE caller = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(returnAddress), &caller);
    return caller && caller == GetModuleHandleW(L"gatrel.dll");
}

bool HoldsLoaderLock() {
    // The process's loader lock, as its environment block names it.
    const auto* peb = reinterpret_cast<const unsigned char*>(NtCurrentTeb()->ProcessEnvironmentBlock);
    const auto* lock = *reinterpret_cast<RTL_CRITICAL_SECTION* const*>(peb + 0xA0);
    return lock && HandleToUlong(lock->OwningThread) == GetCurrentThreadId();
}

void Note(const char* name, bool startup, void* returnAddress) {
    const DWORD error = GetLastError();
    if (InterlockedCompareExchange(&g_armed, 0, 0) && FromLibrary(returnAddress)) {
        if (startup) InterlockedIncrement(&g_startups);
        if (HoldsLoaderLock()) {
            InterlockedIncrement(&g_underLoaderLock);
            AcquireSRWLockExclusive(&g_lock);
            g_lockedNames += std::string(g_lockedNames.empty() ? "" : ",") + name;
            HANDLE f = CreateFileW(g_file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0,
                                   nullptr);
            if (f != INVALID_HANDLE_VALUE) {
                const std::string line = std::string(name) + "\r\n";
                DWORD written = 0;
                WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
                CloseHandle(f);
            }
            ReleaseSRWLockExclusive(&g_lock);
        }
    }
    SetLastError(error);
}

// One stand-in per watched function, of that function's own type.
template <const char* const* Name, bool Startup, class R, class... A>
struct Watched {
    static inline R(WINAPI* real)(A...) = nullptr;
    static R WINAPI StandIn(A... a) {
        Note(*Name, Startup, __builtin_return_address(0));
        return real(a...);
    }
};


template <class W>
bool Watch(HMODULE module, const char* name) {
    return PutInExportTable(module, name, reinterpret_cast<void*>(&W::StandIn), reinterpret_cast<void**>(&W::real));
}

constexpr const char* kStartup = "GdiplusStartup";
constexpr const char* kShutdown = "GdiplusShutdown";
constexpr const char* kDeleteBrush = "GdipDeleteBrush";
constexpr const char* kDeleteFont = "GdipDeleteFont";
constexpr const char* kDeleteFamily = "GdipDeleteFontFamily";
constexpr const char* kDeleteGraphics = "GdipDeleteGraphics";
constexpr const char* kCreateFromHdc = "GdipCreateFromHDC";
constexpr const char* kFree = "GdipFree";
constexpr const char* kDeleteObject = "DeleteObject";

}  // namespace

bool PutInExportTable(HMODULE module, const char* name, void* standIn, void** real) {
    auto* base = reinterpret_cast<unsigned char*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto* exports = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto* names = reinterpret_cast<DWORD*>(base + exports->AddressOfNames);
    auto* ordinals = reinterpret_cast<WORD*>(base + exports->AddressOfNameOrdinals);
    auto* functions = reinterpret_cast<DWORD*>(base + exports->AddressOfFunctions);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        if (strcmp(reinterpret_cast<const char*>(base + names[i]), name) != 0) continue;
        DWORD* slot = &functions[ordinals[i]];
        *real = reinterpret_cast<void*>(GetProcAddress(module, name));
        DWORD old = 0;
        if (!*real || !VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) return false;
        // Addresses wrap at 4 GB: the stand-in lies below the module.
        *slot = static_cast<DWORD>(reinterpret_cast<uintptr_t>(standIn) - reinterpret_cast<uintptr_t>(base));
        VirtualProtect(slot, sizeof *slot, old, &old);
        return true;
    }
    return false;
}

bool ArmGdiWatch(const std::string& file) {
    g_file = Widen(file);
    HMODULE gdiplus = LoadLibraryW(L"gdiplus.dll");
    HMODULE gdi = GetModuleHandleW(L"gdi32.dll");
    if (!gdiplus || !gdi) return false;
    bool ok = Watch<Watched<&kStartup, true, int, ULONG_PTR*, const void*, void*>>(gdiplus, kStartup);
    ok = Watch<Watched<&kShutdown, false, void, ULONG_PTR>>(gdiplus, kShutdown) && ok;
    ok = Watch<Watched<&kDeleteBrush, false, int, void*>>(gdiplus, kDeleteBrush) && ok;
    ok = Watch<Watched<&kDeleteFont, false, int, void*>>(gdiplus, kDeleteFont) && ok;
    ok = Watch<Watched<&kDeleteFamily, false, int, void*>>(gdiplus, kDeleteFamily) && ok;
    ok = Watch<Watched<&kDeleteGraphics, false, int, void*>>(gdiplus, kDeleteGraphics) && ok;
    ok = Watch<Watched<&kCreateFromHdc, false, int, HDC, void**>>(gdiplus, kCreateFromHdc) && ok;
    ok = Watch<Watched<&kFree, false, void, void*>>(gdiplus, kFree) && ok;
    ok = Watch<Watched<&kDeleteObject, false, BOOL, HGDIOBJ>>(gdi, kDeleteObject) && ok;
    if (ok) InterlockedExchange(&g_armed, 1);
    return ok;
}

GdiWatchCounts GdiWatch() {
    GdiWatchCounts c;
    c.armed = g_armed != 0;
    c.startups = g_startups;
    c.underLoaderLock = g_underLoaderLock;
    AcquireSRWLockShared(&g_lock);
    c.lockedNames = g_lockedNames;
    ReleaseSRWLockShared(&g_lock);
    return c;
}

}  // namespace host
