// The library stays in a process whose functions it replaced until the
// process ends: a thread may be inside a replacement (here: waiting in
// GetClipboardData while the clipboard owner renders) when someone unloads it.
// This program never links the library; each scenario runs in a child, so a
// crash shows as the child's exit code.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "tests/support/test_child.h"

namespace {

std::string LibraryPath() { return std::string(getenv("GATREL_BIN")) + "\\Gatrel.dll"; }

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

}  // namespace
