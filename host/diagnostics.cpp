#include "host/diagnostics.h"

#include "guards/automation/graph_objects.h"
#include "guards/print/print_doc_flag.h"
#include "host/background_threads.h"
#include "host/process_context.h"
#include "identify/active_doc_info.h"
#include "identify/active_doc_window.h"
#include "identify/app_version.h"
#include "identify/common_doc.h"
#include "identify/doc_classes.h"
#include "identify/os_version.h"
#include "identify/protect_paths.h"
#include "identify/window_rules.h"
#include "intercept/hook_report.h"
#include "store/clipboard_state.h"
#include "store/hook_records.h"
#include "store/ostrum_records.h"
#include "store/shared_settings.h"
#include "support/refusal_messages.h"
#include "watermark/print_water.h"
#include "wndctl/hook_procs.h"

namespace {

size_t NeedPrintWaterCount() { return g_printWater.NeedPrintWaterCount(); }

const GatrelDiagnostics kTable = {
    sizeof(GatrelDiagnostics),
    store::AddHookInfo,
    store::DelHookInfo,
    static_cast<void (*)(DWORD, const char*)>(store::SetHookInfo),
    static_cast<void (*)(const char*, const char*)>(store::SetHookInfo),
    store::FindZELFileName,
    store::SetOfficeTempPath,
    store::GetOfficeTempPath,
    store::GetHookInfoByPid,
    store::GetHookInfoByFlag,
    store::GetHookInfoByWnd,
    store::GetHookInfoByWndOrChild,
    store::GetHookInfoByOwner,
    store::GetKORBHookInfoByPid,
    store::IsOwnerProcessProtected,
    store::GetWindowedHookInfoCount,
    store::GetHookInfoCount,
    store::SetWaterInfo,
    store::GetWaterInfo,
    store::SetKORBInfo,
    store::GetKORBInfo,
    store::SetKORBClassName,
    store::GetKORBClassName,
    store::AddOstrumInfo,
    store::DelGuardInfo,
    store::DelGuardInfo1,
    store::GetAllOstrumInfo,
    store::SetZelEmptying,
    store::GetZelEmptying,
    store::GetProtectedContent,
    store::GetClipOwner,
    store::IsClipOwner,
    GetProcessContext,
    DocObject,
    ProcessTempDir,
    IsProcessProtected,
    CreateDocObject,
    CreateKORBDocObject,
    FindActiveDocWnd,
    UpdateKORBDocWnd,
    GetActiveDocInfo,
    GetOSVersion,
    GetAppVersion,
    GetFileVersionString,
    IsSaveDlgTitle,
    IsDialogClass,
    IsWndInZelDoc,
    GetProtectPathName,
    GetKORBWordTempName,
    CallWndProc,
    CallControlWndProc,
    ShowVirtualPrinterMsg,
    ShowSaveAsMsg,
    ShowCantPrintMsg,
    ShowPrintLimitMsg,
    GetPrintDocZelFlag,
    GatrelHookReport,
    GatrelHookModules,
    ScreenToolThreadId,
    WatchThreadId,
    AppObject,
    &g_nGraphErrorBoxes,
    NeedPrintWaterCount,
    IsGraphObject,
};

}  // namespace

extern "C" const GatrelDiagnostics* GatrelDiagnosticTable() { return &kTable; }
