#pragma once
// The two window-hook procedures. They run on every GUI thread of every process
// the library is loaded into, so they must stay cheap on the common path. Each
// runs its rules inside a contained frame (support/contained_run.h): a fault or
// an exception in a rule is logged and the call passes on as if no rule applied.
#include <windows.h>

// WH_GETMESSAGE procedure; lParam is the MSG the thread is about to receive.
// Always returns what CallNextHookEx(hGetMsgHook, ...) returns.
LRESULT CALLBACK CallWndProc(int code, WPARAM wParam, LPARAM lParam);

// WH_CBT procedure. -1 refuses a window's creation; otherwise the result of
// CallNextHookEx(hCBTHook, ...).
LRESULT CALLBACK CallControlWndProc(int code, WPARAM wParam, LPARAM lParam);
