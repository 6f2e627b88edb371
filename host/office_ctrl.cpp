#include "host/office_ctrl.h"

#include <windows.h>

#include "host/process_context.h"
#include "identify/common_doc.h"
#include "store/hook_records.h"
#include "support/sibling_library.h"

namespace {

// Exports of ZELOfficeCtrl.dll (stdcall, undecorated); their results are not used.
using HookFn = int(WINAPI*)(int nDocType, void** ppAppObject);
using UnHookFn = int(WINAPI*)();

SiblingLibrary g_officeCtrl(L"ZELOfficeCtrl.dll");

template <class Fn>
Fn Export(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(g_officeCtrl.Proc(name)));
}

}  // namespace

bool LoadOfficeCtrl() { return g_officeCtrl.Load(); }

void OfficeCtrlPass() {
    const CCommonDoc* doc = DocObject();
    if (!doc) return;
    const int type = doc->nDocType;
    _ZEL_HOOK_INFO_ rec{};
    if (store::GetHookInfoByPid(GetCurrentProcessId(), &rec) >= 0) {
        if (auto hook = Export<HookFn>("HookVBAOleObject")) hook(type, &AppObject());
        return;
    }
    if (type == kDocPowerPoint && __atomic_load_n(&AppObject(), __ATOMIC_RELAXED)) {
        if (auto handOver = Export<HookFn>("GetHookVBAFuncAddr")) handOver(type, &AppObject());
    }
    if (auto unhook = Export<UnHookFn>("UnHookVBAOleObject")) unhook();
}
