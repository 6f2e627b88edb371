#include "host/background_threads.h"

#include "guards/screen/display_affinity.h"
#include "guards/screen/screen_tools.h"
#include "host/daemon_check.h"
#include "host/module_registration.h"
#include "host/office_ctrl.h"
#include "host/process_context.h"
#include "support/contained_run.h"
#include "support/zel_message_box.h"
#include "wndctl/hook_procs.h"

namespace {

constexpr DWORD kScreenToolPeriodMs = 200;

volatile DWORD g_screenToolThreadId = 0;
volatile DWORD g_watchThreadId = 0;

// Each thread works on the desktop of the thread that loaded the library,
// where the application shows its documents: its hooks reach that desktop's
// programs and its window searches see that desktop's windows. (Windows puts
// a process's new threads on its startup desktop by itself; Wine puts them on
// the default desktop.)
void JoinDesktop(LPVOID desktop) {
    if (desktop) SetThreadDesktop(static_cast<HDESK>(desktop));
}

DWORD WINAPI ScreenToolThread(LPVOID desktop) {
    JoinDesktop(desktop);
    for (;;) {
        contained::Run([] { CloseScreenTools(); });
        Sleep(kScreenToolPeriodMs);
    }
}

// The library's own desktop-wide hooks, for the desktop of this process:
// they keep the library in every interactive process while the application
// runs, and are taken away when it ends. A failed installation leaves a null
// handle.
void InstallOwnHooks() {
    const HINSTANCE self = LibraryModule();
    ProcessContext& ctx = GetProcessContext();
    const HHOOK getMsg = SetWindowsHookExA(WH_GETMESSAGE, CallWndProc, self, 0);
    const HHOOK cbt = SetWindowsHookExA(WH_CBT, CallControlWndProc, self, 0);
    __atomic_store_n(&ctx.hCBTHookLocal, cbt, __ATOMIC_RELEASE);
    __atomic_store_n(&ctx.hGetMsgHookLocal, getMsg, __ATOMIC_RELEASE);
}

DWORD WINAPI WatchThread(LPVOID desktop) {
    JoinDesktop(desktop);
    contained::Run([] { InstallOwnHooks(); });
    // The sibling libraries, loaded here rather than under the loader lock.
    contained::Run([] {
        LoadOfficeCtrl();
        LoadZelMessageBox();
    });
    for (;;) {
        contained::Run([] { OfficeCtrlPass(); });
        contained::Run([] { UpdateDisplayAffinity(); });
        DaemonCheckTurn();
    }
}

void Start(LPTHREAD_START_ROUTINE proc, volatile DWORD& id) {
    DWORD tid = 0;
    const HANDLE thread = CreateThread(nullptr, 0, proc, GetThreadDesktop(GetCurrentThreadId()), 0, &tid);
    if (!thread) return;
    id = tid;
    CloseHandle(thread);
}

}  // namespace

void StartScreenToolThread() {
    if (!g_screenToolThreadId) Start(ScreenToolThread, g_screenToolThreadId);
}

void StartWatchThread() {
    if (!g_watchThreadId) Start(WatchThread, g_watchThreadId);
}

// Wine keeps a desktop-wide hook of an ended process on the desktop for as
// long as the desktop lives, and would go on loading the library into every
// program started there: the process takes its own hooks away itself. On
// Windows the system has already removed them with their thread and the
// calls fail harmlessly.
void RemoveOwnHooks() {
    ProcessContext& ctx = GetProcessContext();
    if (const HHOOK h = __atomic_exchange_n(&ctx.hGetMsgHookLocal, nullptr, __ATOMIC_ACQ_REL))
        UnhookWindowsHookEx(h);
    if (const HHOOK h = __atomic_exchange_n(&ctx.hCBTHookLocal, nullptr, __ATOMIC_ACQ_REL))
        UnhookWindowsHookEx(h);
}

DWORD ScreenToolThreadId() { return g_screenToolThreadId; }
DWORD WatchThreadId() { return g_watchThreadId; }
