// Entry point of Gatrel.dll.
#include <windows.h>

#include "host/background_threads.h"
#include "host/module_registration.h"
#include "host/process_attach.h"
#include "intercept/replacement_guard.h"
#include "store/hook_procedures.h"
#include "store/named_lock.h"
#include "support/process_lifetime.h"
#include "wndctl/hook_procs.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            if (!RegisterLibraryModule(instance)) return FALSE;
            DisableThreadLibraryCalls(instance);
            store::SetHookProcedures(CallWndProc, CallControlWndProc);
            store::CreateLoadMutexes();
            ProcessAttach();
            break;
        case DLL_PROCESS_DETACH:
            // The process is ending (reserved is set): its other threads are
            // gone or stopped mid-way, possibly inside our code or holding a
            // lock. Nothing is undone; the system reclaims it all. The detours
            // stay, and other libraries' detach code, run after ours, may
            // still call through them: from here on every replacement passes
            // its call straight on. Only the desktop-wide hooks this process
            // set are taken away, so they stop loading the library into new
            // programs. (The runtime also runs static destructors
            // after this returns; process-lifetime objects have none that run
            // then: support/process_lifetime.h.)
            if (reserved) {
                intercept::SetLibraryAttached(false);
                RemoveOwnHooks();
                break;
            }
            ProcessDetach();
            store::CloseLoadMutexes();
            UnregisterLibraryModule();
            ReleaseProcessLifetimeObjects();
            break;
        default:
            break;
    }
    return TRUE;
}
