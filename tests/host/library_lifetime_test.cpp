// The library over its life in a process: it stays in a process whose
// functions it replaced until the process ends, since a thread may be inside a
// replacement (here: waiting in GetClipboardData while the clipboard owner
// renders) when someone unloads it; as the process ends, other libraries'
// detach code that calls replaced functions after the library's own detach
// meets plain functions; where nothing pins it, loading and unloading it again
// and again leaves nothing behind.
// This program never links the library; each scenario runs in a child, so a
// crash shows as the child's exit code.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/diagnostics.h"
#include "tests/support/test_child.h"

namespace {

std::string Bin() { return getenv("GATREL_BIN"); }
std::string LibraryPath() { return Bin() + "\\Gatrel.dll"; }

HANDLE g_renderAsked = nullptr;  // the owner got WM_RENDERFORMAT
HANDLE g_renderNow = nullptr;    // the owner may answer it
HWND g_owner = nullptr;

LRESULT CALLBACK OwnerProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_RENDERFORMAT) {
        SetEvent(g_renderAsked);
        WaitForSingleObject(g_renderNow, 10000);
        HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, 6);
        memcpy(GlobalLock(mem), "later", 6);
        GlobalUnlock(mem);
        SetClipboardData(CF_TEXT, mem);
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

// Owns the clipboard with delayed rendering of CF_TEXT and serves requests.
DWORD WINAPI OwnerThread(LPVOID ready) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = "GatrelLifetimeOwner";
    RegisterClassA(&wc);
    g_owner = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (g_owner && OpenClipboard(g_owner)) {
        EmptyClipboard();
        SetClipboardData(CF_TEXT, nullptr);
        CloseClipboard();
    }
    SetEvent(static_cast<HANDLE>(ready));
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
    return 0;
}

DWORD WINAPI PasteThread(LPVOID text) {
    if (!OpenClipboard(nullptr)) return 1;
    HANDLE data = GetClipboardData(CF_TEXT);  // waits for the owner's rendering
    if (data) lstrcpynA(static_cast<char*>(text), static_cast<const char*>(GlobalLock(data)), 16);
    CloseClipboard();
    return 0;
}

// 0: the paste came back with the rendered text and the library is still
// loaded after its unload was asked for; 10+: the step that failed. A return
// into an unmapped library ends the process with an access violation instead.
GATREL_CHILD_SCENARIO(UnloadWhileAThreadWaitsInAReplacement) {
    HMODULE lib = LoadLibraryA(LibraryPath().c_str());
    if (!lib) return 10;
    g_renderAsked = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_renderNow = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE owner = CreateThread(nullptr, 0, OwnerThread, ready, 0, nullptr);
    if (WaitForSingleObject(ready, 10000) != WAIT_OBJECT_0 || !g_owner) return 11;
    char text[16] = {};
    HANDLE paste = CreateThread(nullptr, 0, PasteThread, text, 0, nullptr);
    if (WaitForSingleObject(g_renderAsked, 10000) != WAIT_OBJECT_0) return 12;
    FreeLibrary(lib);
    const bool stillLoaded = GetModuleHandleA("gatrel") != nullptr;
    SetEvent(g_renderNow);
    if (WaitForSingleObject(paste, 10000) != WAIT_OBJECT_0) return 13;
    PostMessageA(g_owner, WM_QUIT, 0, 0);
    WaitForSingleObject(owner, 10000);
    if (lstrcmpA(text, "later") != 0) return 14;
    return stillLoaded ? 0 : 15;
}

TEST(LibraryLifetime, UnloadWhileAThreadWaitsInsideAReplacementNeitherCrashesNorUnloads) {
    EXPECT_EQ(0, testchild::RunChild("UnloadWhileAThreadWaitsInAReplacement"));
}

// A protected document's record, owned by the process args[0].
_ZEL_HOOK_INFO_ RecordOf(DWORD owner) {
    _ZEL_HOOK_INFO_ r{};
    r.dwProcessId = r.dwOwnerPid = owner;
    r.byDocType = 1;
    strcpy(r.szPermission, "P");
    return r;
}

// Loads ExitCaller.dll, then the library, and ends with 37. The library
// refuses to open process args[0], which holds a protected document; as the
// process ends, ExitCaller.dll's detach (after the library's) tries again and
// writes what it got to args[1]. 10+: the step that failed.
GATREL_CHILD_SCENARIO(EndWhileAnotherLibraryCallsReplacedFunctionsInItsDetach) {
    const DWORD owner = strtoul(args.at(0).c_str(), nullptr, 10);
    HMODULE caller = LoadLibraryA((Bin() + "\\ExitCaller.dll").c_str());
    if (!caller) return 10;
    HMODULE lib = LoadLibraryA(LibraryPath().c_str());
    const GatrelDiagnostics* table = DiagnosticTableOf(lib);
    if (!table) return 11;
    const _ZEL_HOOK_INFO_ r = RecordOf(owner);
    table->AddHookInfo(&r);
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, owner);
    if (h) return 12;  // the library must be acting before the end
    using Arm = void (*)(DWORD, const wchar_t*);
    auto arm = reinterpret_cast<Arm>(reinterpret_cast<void*>(GetProcAddress(caller, "ArmExitCalls")));
    if (!arm) return 13;
    const std::wstring result(args.at(1).begin(), args.at(1).end());
    arm(owner, result.c_str());
    return 37;
}

GATREL_CHILD_SCENARIO(DeleteRecordsOf) {
    const GatrelDiagnostics* table = DiagnosticTableOf(LoadLibraryA(LibraryPath().c_str()));
    if (!table) return 10;
    table->DelHookInfo(strtoul(args.at(0).c_str(), nullptr, 10));
    return 0;
}

TEST(LibraryLifetime, AnotherLibrarysDetachAtTheProcesssEndMeetsPlainFunctions) {
    testchild::TempFolder folder("exit_calls");
    const std::string result = folder.path() + "\\result.txt";
    const std::string owner = std::to_string(GetCurrentProcessId());
    EXPECT_EQ(37, testchild::RunChild("EndWhileAnotherLibraryCallsReplacedFunctionsInItsDetach", {owner, result}))
        << "the process's own exit code, not a crash";
    EXPECT_EQ("opened=1 error=0", testchild::ReadFileBytes(result))
        << "after its detach at the end, the library's replacements pass calls straight on";
    EXPECT_EQ(0, testchild::RunChild("DeleteRecordsOf", {owner}));
}

// Bytes in use on every heap of the process.
size_t HeapBytesInUse() {
    HANDLE heaps[64];
    const DWORD n = GetProcessHeaps(64, heaps);
    size_t used = 0;
    for (DWORD i = 0; i < n && i < 64; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY e{};
        while (HeapWalk(heaps[i], &e))
            if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) used += e.cbData;
        HeapUnlock(heaps[i]);
    }
    return used;
}

// Heap bytes that 300 loads and unloads of the library at path leave behind,
// after 20 to warm up; -1 when it stayed loaded.
long GrowthOver300Loads(const std::string& path) {
    auto cycle = [&] {
        HMODULE lib = LoadLibraryA(path.c_str());
        if (!lib) return false;
        FreeLibrary(lib);
        return GetModuleHandleA(path.c_str()) == nullptr;
    };
    for (int i = 0; i < 20; ++i)
        if (!cycle()) return -1;
    const size_t before = HeapBytesInUse();
    for (int i = 0; i < 300; ++i)
        if (!cycle()) return -1;
    return static_cast<long>(HeapBytesInUse() - before);
}

// In a process named as the shell, where nothing pins the library: each load
// builds the library's process state, each unload must take all of it away.
// What the runtime it is linked with keeps on each unload (a library of that
// runtime alone shows it) is not the library's. 0: unloaded every time and
// nothing kept; 10+: what failed.
GATREL_CHILD_SCENARIO(LoadAndUnloadAgainAndAgain) {
    // The system libraries the library imports stay loaded: only what the
    // library itself keeps is measured.
    for (const char* dll : {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "gdiplus.dll",
                            "ole32.dll", "oleaut32.dll", "shlwapi.dll", "user32.dll", "version.dll",
                            "winspool.drv", "shell32.dll"})
        if (!LoadLibraryA(dll)) return 9;
    const long runtime = GrowthOver300Loads(Bin() + "\\RuntimeOnly.dll");
    const long library = GrowthOver300Loads(LibraryPath());
    printf("heap growth over 300 loads: %ld bytes (the runtime alone: %ld)\n", library, runtime);
    if (runtime < 0 || library < 0) return 10;
    return library - runtime > 300 * 32 ? 11 : 0;
}

TEST(LibraryLifetime, LoadingAndUnloadingWhereNothingPinsTheLibraryLeavesNothingBehind) {
    testchild::TempFolder folder("shell_copy");
    const std::string shell = folder.path() + "\\explorer.exe";
    ASSERT_TRUE(CopyFileA(testchild::SelfPath().c_str(), shell.c_str(), FALSE));
    testchild::Child child(shell, "LoadAndUnloadAgainAndAgain", {});
    ASSERT_TRUE(child.started());
    EXPECT_EQ(0, child.Wait(120000));
}

}  // namespace
