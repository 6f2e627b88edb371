#pragma once
// The word processor's window chain as the library searches it: frame
// "OpusApp" > "_WwF" > document "_WwB" > editing pane "_WwG". For benchmark
// programs that run under the name WINWORD.EXE. The frame is shown and made
// the thread's active window, so the document is the one in front. And the
// helpers other applications' windows are made with.
#include <windows.h>

#include <initializer_list>

namespace bench {

struct WordWindows {
    HWND frame = nullptr;
    HWND doc = nullptr;   // the window a store record names
    HWND pane = nullptr;  // where keys and clicks go
    bool ok() const { return frame && doc && pane; }
};

// Registers the classes with proc, once per process.
inline void RegisterWindowClasses(WNDPROC proc, std::initializer_list<const char*> classes) {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    for (const char* cls : classes) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = inst;
        wc.lpszClassName = cls;
        RegisterClassA(&wc);
    }
}

// Makes top the thread's active window with focus in front, and lets the
// activation and paint messages that sends and posts pass before anything is
// measured.
inline void SettleInFront(HWND top, HWND focus) {
    SetForegroundWindow(top);
    SetActiveWindow(top);
    if (focus) SetFocus(focus);
    MSG msg;
    const DWORD until = GetTickCount() + 100;
    while (GetTickCount() < until) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(5);
    }
}

// proc serves all four levels. The classes are registered once per process.
inline WordWindows CreateWordWindows(WNDPROC proc, const char* title) {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    RegisterWindowClasses(proc, {"OpusApp", "_WwF", "_WwB", "_WwG"});
    WordWindows w;
    w.frame = CreateWindowExA(0, "OpusApp", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 400,
                              300, nullptr, nullptr, inst, nullptr);
    if (!w.frame) return w;
    HWND dock = CreateWindowExA(0, "_WwF", "", WS_CHILD | WS_VISIBLE, 0, 0, 380, 260, w.frame,
                                nullptr, inst, nullptr);
    w.doc = CreateWindowExA(0, "_WwB", title, WS_CHILD | WS_VISIBLE, 0, 0, 380, 260, dock, nullptr,
                            inst, nullptr);
    w.pane = CreateWindowExA(0, "_WwG", "", WS_CHILD | WS_VISIBLE, 0, 0, 380, 260, w.doc, nullptr,
                             inst, nullptr);
    SettleInFront(w.frame, w.pane);
    return w;
}

}  // namespace bench
