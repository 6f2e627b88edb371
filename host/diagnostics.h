#pragma once
// The library's internals, for its own tests, test hosts and tools, behind one
// entry point. The export table stays the controller's interface: none of
// these functions is exported by name. A program that needs the instance
// inside Gatrel.dll (its shared section, its process state) asks the loaded
// library for this table; code without shared state is linked statically from
// the folder libraries instead.
//
// Same build only: the table carries C++ types of this build (std::string,
// the process context), so it is for programs built from this tree. size
// guards against a stale copy.
#include <windows.h>

#include <cstdint>
#include <string>

#include "store/hook_info.h"
#include "store/gatrel_interface.h"

class CCommonDoc;
struct ProcessContext;

struct GatrelDiagnostics {
    uint32_t size;  // sizeof(GatrelDiagnostics) of the library's build

    // The shared store (store/hook_records.h, shared_settings.h, clipboard_state.h, ostrum_records.h).
    bool (*AddHookInfo)(const _ZEL_HOOK_INFO_* rec);
    void (*DelHookInfo)(DWORD ownerPid);
    void (*SetHookInfoOfOwner)(DWORD ownerPid, const char* letters);
    void (*SetHookInfoOfPath)(const char* path, const char* letters);
    int (*FindZELFileName)(const char* name, _ZEL_HOOK_INFO_* out);
    void (*SetOfficeTempPath)(const char* path, const char* tempPath);
    std::string (*GetOfficeTempPath)(const char* path);
    int (*GetHookInfoByPid)(DWORD pid, _ZEL_HOOK_INFO_* out);
    bool (*GetHookInfoByFlag)(const char* flag, _ZEL_HOOK_INFO_* out);
    int (*GetHookInfoByWnd)(HWND wnd, _ZEL_HOOK_INFO_* out);
    int (*GetHookInfoByWndOrChild)(HWND wnd, _ZEL_HOOK_INFO_* out);
    int (*GetHookInfoByOwner)(DWORD ownerPid, int docType, _ZEL_HOOK_INFO_* out);
    int (*GetKORBHookInfoByPid)(DWORD pid, _ZEL_HOOK_INFO_* out);
    bool (*IsOwnerProcessProtected)(DWORD ownerPid);
    int (*GetWindowedHookInfoCount)();
    int (*GetHookInfoCount)();
    void (*SetWaterInfo)(const WaterInfo* info);
    void (*GetWaterInfo)(WaterInfo* out);
    void (*SetKORBInfo)(DWORD value);
    DWORD (*GetKORBInfo)();
    void (*SetKORBClassName)(const char* cls);
    std::string (*GetKORBClassName)();
    int (*AddOstrumInfo)(const _ZEL_HOOK_INFO_* rec);
    void (*DelGuardInfo)(const _ZEL_HOOK_INFO_* rec);
    void (*DelGuardInfo1)(const _ZEL_HOOK_INFO_* rec);
    void (*GetAllOstrumInfo)(void* table12180);
    void (*SetZelEmptying)(bool on);
    bool (*GetZelEmptying)();
    bool (*GetProtectedContent)();
    void (*GetClipOwner)(HWND& wnd, DWORD& pid);
    bool (*IsClipOwner)(HWND wnd, DWORD pid);

    // This process's state (host/process_context.h) and its document object.
    ProcessContext& (*GetProcessContext)();
    CCommonDoc*& (*DocObject)();
    std::string& (*ProcessTempDir)();
    bool (*IsProcessProtected)(DWORD pid, _ZEL_HOOK_INFO_& rec);
    void (*CreateDocObject)(const std::string& name);
    void (*CreateKORBDocObject)();

    // Identification (identify/).
    HWND (*FindActiveDocWnd)();
    void (*UpdateKORBDocWnd)();
    bool (*GetActiveDocInfo)(_ZEL_HOOK_INFO_& rec);
    int (*GetOSVersion)(int& code, int& servicePack);
    std::string (*GetAppVersion)(const std::string& path);
    std::string (*GetFileVersionString)(const std::string& path);
    bool (*IsSaveDlgTitle)(const char* title);
    bool (*IsDialogClass)(const char* className);
    bool (*IsWndInZelDoc)(const MSG* msg, _ZEL_HOOK_INFO_& rec);
    std::string (*GetProtectPathName)(const std::string& path);
    std::string (*GetKORBWordTempName)(const std::string& path);

    // The window-hook procedures (wndctl/hook_procs.h).
    HOOKPROC CallWndProc;
    HOOKPROC CallControlWndProc;

    // The refusal messages' thread procedures (support/refusal_messages.h).
    LPTHREAD_START_ROUTINE ShowVirtualPrinterMsg;
    LPTHREAD_START_ROUTINE ShowSaveAsMsg;
    LPTHREAD_START_ROUTINE ShowCantPrintMsg;
    LPTHREAD_START_ROUTINE ShowPrintLimitMsg;

    // The print guard (guards/print/print_doc_flag.h): the flag of a print
    // job's document name for this process's application.
    std::string (*GetPrintDocZelFlag)(const std::string& printDocName);

    // The rows attached in this process, comma-separated in catalog order, cut
    // to cap bytes; the number of rows (intercept/hook_report.h).
    int (*HookReport)(char* names, int cap);
    int (*HookModules)(char* rows, int cap);

    // The background threads started in this process (host/background_threads.h):
    // their ids, 0 when not started.
    DWORD (*ScreenToolThreadId)();
    DWORD (*WatchThreadId)();
    // The application's automation object as the automation guard keeps it
    // (host/process_context.h).
    void*& (*AppObject)();
    // Window control: the chart-server error windows the creation hook still
    // refuses (g_nGraphErrorBoxes, host/process_context.h).
    volatile LONG* GraphErrorBoxes;
    // The print watermark (watermark/print_water.h): how many device contexts
    // the need-watermark set holds.
    size_t (*NeedPrintWaterCount)();
    // The automation guard's created chart objects
    // (guards/automation/graph_objects.h): whether the address is one.
    bool (*IsGraphObject)(const void* object);
};

extern "C" GATREL_API const GatrelDiagnostics* GatrelDiagnosticTable();

// The table of a library loaded with LoadLibrary; null for a module without
// one, or with one of another build.
inline const GatrelDiagnostics* DiagnosticTableOf(HMODULE lib) {
    using Entry = const GatrelDiagnostics* (*)();
    auto entry = lib ? reinterpret_cast<Entry>(reinterpret_cast<void*>(
                           GetProcAddress(lib, "GatrelDiagnosticTable")))
                     : nullptr;
    const GatrelDiagnostics* table = entry ? entry() : nullptr;
    return table && table->size == sizeof(GatrelDiagnostics) ? table : nullptr;
}
