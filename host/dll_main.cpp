// Entry point of Gatrel.dll.
#include <windows.h>

#include "host/module_registration.h"
#include "host/process_attach.h"
#include "store/named_lock.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            if (!RegisterLibraryModule(instance)) return FALSE;
            DisableThreadLibraryCalls(instance);
            store::CreateLoadMutexes();
            ProcessAttach();
            break;
        case DLL_PROCESS_DETACH:
            ProcessDetach();
            store::CloseLoadMutexes();
            UnregisterLibraryModule();
            break;
        default:
            break;
    }
    return TRUE;
}
