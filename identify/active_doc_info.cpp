#include "identify/active_doc_info.h"

#include <windows.h>

#include <string>

#include "host/process_context.h"
#include "identify/active_doc_window.h"
#include "identify/app_windows.h"
#include "identify/common_doc.h"
#include "store/hook_records.h"
#include "store/shared_settings.h"
#include "support/ansi_text.h"
#include "support/process_utils.h"

namespace {

// A KORB document belongs in the word processor; a record that names another
// process means the client is being bypassed, and its owner is ended.
void EndForeignKORBOwner(const _ZEL_HOOK_INFO_& rec) {
    const std::string exe = GetProcessName(rec.dwProcessId);
    if (!exe.empty() && text::EqualsNoCase(exe.c_str(), "winword.exe")) return;
    // Never the application we live in: ending it would take the user's work with it.
    if (rec.dwOwnerPid == 0 || rec.dwOwnerPid == GetCurrentProcessId()) return;
    HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, rec.dwOwnerPid);
    if (!h) return;
    TerminateProcess(h, 0);
    CloseHandle(h);
}

void ApplyKORBRules(_ZEL_HOOK_INFO_& rec) {
    UpdateKORBDocWnd();
    // Without a class name there is no client window to compare with (the
    // word-processor and KORB searches skip the client the same way).
    const std::string cls = store::GetKORBClassName();
    if (!cls.empty()) {
        const uint32_t cur = HandleWord(FindAppWindow(cls.c_str(), "MDIClient", ""));
        const uint32_t recorded = GetProcessContext().hMDIClient;
        if (cur != recorded && recorded != 0)
            text::CopyToField(rec.szPermission, sizeof rec.szPermission, "R");
    }
    EndForeignKORBOwner(rec);
}

}  // namespace

bool GetActiveDocInfo(_ZEL_HOOK_INFO_& rec) {
    try {
        HWND w = FindActiveDocWnd();
        if (!w) {
            if (!IsProcessProtected(GetCurrentProcessId(), rec)) return false;
            rec.hDocWnd = 0;
            text::CopyToField(rec.szPermission, sizeof rec.szPermission, "W");
            return true;
        }
        if (store::GetHookInfoByWnd(w, &rec) < 0) return false;
        if (rec.byDocType == kDocKORB) ApplyKORBRules(rec);
        return true;
    } catch (...) {
        return false;
    }
}
