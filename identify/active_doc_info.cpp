#include "identify/active_doc_info.h"

#include <windows.h>

#include <string>

#include "host/process_context.h"
#include "identify/active_doc_window.h"
#include "identify/app_windows.h"
#include "identify/common_doc.h"
#include "store/zel_gatrel.h"
#include "support/ansi_text.h"
#include "support/process_utils.h"

namespace {

uint32_t FromHwnd(HWND h) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)); }

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
    const std::string cls = CZELGatrel().GetKORBClassName();
    const uint32_t cur = FromHwnd(FindAppWindow(cls.c_str(), "MDIClient", ""));
    const uint32_t recorded = GetProcessContext().hMDIClient;
    if (cur != recorded && recorded != 0)
        text::CopyToField(rec.szPermission, sizeof rec.szPermission, "R");
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
        if (CZELGatrel().GetHookInfoByWnd(w, &rec) < 0) return false;
        if (rec.byDocType == kDocKORB) ApplyKORBRules(rec);
        return true;
    } catch (...) {
        return false;
    }
}
