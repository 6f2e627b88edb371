// A global hook library that does nothing but pass every call on: the cost of
// having any hook DLL in a process, against which ours is measured.
#include <windows.h>

extern "C" __declspec(dllexport) LRESULT CALLBACK EmptyGetMsgProc(int code, WPARAM wParam,
                                                                  LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK EmptyCbtProc(int code, WPARAM wParam,
                                                               LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
