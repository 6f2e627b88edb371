#include "guards/automation/automation_rules.h"

#include <ole2.h>

#include "host/process_context.h"
#include "identify/common_doc.h"
#include "identify/copy_rights.h"
#include "store/hook_records.h"
#include "support/log.h"

const CLSID kChartServerClsid = {0x00020803, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const CLSID kSpreadsheetAppClsid = {0x00024500, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

struct ProgIdLookup {
    const wchar_t* progId;
    INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    bool found = false;
    CLSID clsid{};
};

ProgIdLookup g_lookups[] = {
    {L"Word.Application"},
    {L"Excel.Application"},
    {L"Powerpoint.application"},
};

// Taken from the ole32 the caller already holds (every replacement that asks
// is one of ole32's or oleaut32's, which imports it), not through the
// library's delay-loaded import: the linker left that slot of the
// program-id look-up empty, and a call through it jumps to address 0.
using ProgIdFn = HRESULT(WINAPI*)(LPCOLESTR, LPCLSID);
ProgIdFn LoadedProgIdLookup() {
    const HMODULE ole = GetModuleHandleW(L"ole32.dll");
    return ole ? reinterpret_cast<ProgIdFn>(reinterpret_cast<void*>(GetProcAddress(ole, "CLSIDFromProgID")))
               : nullptr;
}

// The registry is read once per process: creation calls are frequent, and an
// office application's registration does not change while a program runs.
// Nothing in the look-up may fault: a once left in progress would stop every
// later caller.
BOOL CALLBACK LookUp(PINIT_ONCE, PVOID param, PVOID*) {
    auto* l = static_cast<ProgIdLookup*>(param);
    const ProgIdFn lookUp = LoadedProgIdLookup();
    l->found = lookUp && SUCCEEDED(lookUp(l->progId, &l->clsid));
    return TRUE;
}

}  // namespace

bool OfficeAppClsid(OfficeApp app, CLSID& clsid) {
    ProgIdLookup& l = g_lookups[static_cast<int>(app)];
    InitOnceExecuteOnce(&l.once, LookUp, &l, nullptr);
    if (!l.found) return false;
    clsid = l.clsid;
    return true;
}

bool IsOfficeAppClsid(OfficeApp app, REFCLSID clsid) {
    CLSID id;
    return OfficeAppClsid(app, id) && IsEqualCLSID(id, clsid);
}

bool AllowOpenGraph() {
    CCommonDoc* doc = DocObject();
    if (!doc || (doc->nDocType != kDocWord && doc->nDocType != kDocPowerPoint)) return true;
    if (!IsClipboardCopyDenied()) return true;
    LogError("In AllowOpenGraph Not Allow Create Instance");
    InterlockedExchange(&g_nGraphErrorBoxes, 2);
    return false;
}

bool IsClsidAllowed(REFCLSID clsid) {
    if (!IsEqualCLSID(clsid, kChartServerClsid) && !IsEqualCLSID(clsid, kSpreadsheetAppClsid)) return true;
    return AllowOpenGraph();
}

int GetDocDropFlag(HWND docWnd) {
    _ZEL_HOOK_INFO_ rec{};
    if (!docWnd || store::GetHookInfoByWnd(docWnd, &rec) < 0) return 0;
    if (HasPermission(rec, 'A')) return 3;
    if (HasPermission(rec, 'W')) return 2;
    return 1;
}
