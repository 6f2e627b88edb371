// Entry point of Gatrel.dll.
#include <windows.h>

#include "store/named_lock.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            DisableThreadLibraryCalls(instance);
            store::CreateLoadMutexes();
            break;
        case DLL_PROCESS_DETACH:
            store::CloseLoadMutexes();
            break;
        default:
            break;
    }
    return TRUE;
}
