// The automation guard's COM replacements: creating and running the chart
// server and the spreadsheet application, attaching to a running office
// application, and catching the application's own automation object.
//
// COM runs modal loops inside these calls (a local server's start, an
// out-of-process call): the real functions are reached through CallReal, and
// every refusal is decided before.
#include <functional>
#include <vector>

#include "guards/automation/automation_rules.h"
#include "guards/automation/graph_objects.h"
#include "host/process_context.h"
#include "identify/common_doc.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "store/hook_records.h"
#include "support/log.h"
#include "support/process_utils.h"

namespace {

// Set when the KORB client created the word processor's application object;
// the next OleRun consumes it.
volatile LONG bKORBWordCreated = 0;
// appObject came from DispCallFunc's own creation.
volatile LONG bAppObjectCreated = 0;

// The class id's address, as the caller passed it: a C caller may pass none,
// which the compiler may not assume away as it would for a reference.
const CLSID* AddressOf(REFCLSID clsid) {
    const CLSID* p = &clsid;
    __asm__("" : "+r"(p));
    return p;
}

bool HasKORBRecord() {
    _ZEL_HOOK_INFO_ rec{};
    return store::GetHookInfoByOwner(GetCurrentProcessId(), kDocKORB, &rec) >= 0;
}

// Recording after a real call that succeeded must not fail the call: an
// allocation failure loses the entry, not the object.
void RecordGraphObject(const void* object) {
    try {
        AddGraphObject(object);
    } catch (...) {
        LogError("AddGraphObject:Exception");
    }
}

bool IsGuardedClass(REFCLSID clsid) {
    return IsEqualCLSID(clsid, kChartServerClsid) || IsEqualCLSID(clsid, kSpreadsheetAppClsid);
}

// When the decision itself failed: the two guarded classes are refused in a
// process with a document object, everything else passes.
bool RefuseUndecided(const CLSID* clsid) { return clsid && DocObject() && IsGuardedClass(*clsid); }

}  // namespace

HRESULT WINAPI Detour_CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                                       LPVOID* ppv) {
    const CLSID* clsid = AddressOf(rclsid);
    return RunReplacement(
        HookId::kCoCreateInstance, Trampoline_CoCreateInstance,
        [&](contained::Frame& run) -> HRESULT {
            if (!clsid || !ppv)
                return intercept::CallReal(run, Trampoline_CoCreateInstance, std::cref(rclsid), pUnkOuter, dwClsContext,
                                           std::cref(riid), ppv);
            if (!IsClsidAllowed(rclsid)) {
                *ppv = nullptr;  // as the real function leaves it on a failure
                return E_NOINTERFACE;
            }
            bool korb = false;
            if (IsOfficeAppClsid(OfficeApp::Word, rclsid)) {
                korb = HasKORBRecord();
                if (!korb) LogError("FindDocType  Error");
            }
            const HRESULT hr = intercept::CallReal(run, Trampoline_CoCreateInstance, std::cref(rclsid), pUnkOuter,
                                                   dwClsContext, std::cref(riid), ppv);
            if (SUCCEEDED(hr) && *ppv) {
                if (korb) InterlockedExchange(&bKORBWordCreated, 1);
                if (IsEqualCLSID(rclsid, kChartServerClsid)) RecordGraphObject(*ppv);
            }
            return hr;
        },
        [&]() -> HRESULT {
            if (RefuseUndecided(clsid)) return E_NOINTERFACE;
            return intercept::CallReal(Trampoline_CoCreateInstance, std::cref(rclsid), pUnkOuter, dwClsContext,
                                       std::cref(riid), ppv);
        },
        std::cref(rclsid), pUnkOuter, dwClsContext, std::cref(riid), ppv);
}

HRESULT WINAPI Detour_CoCreateInstanceEx(REFCLSID rclsid, IUnknown* punkOuter, DWORD dwClsCtx,
                                         COSERVERINFO* pServerInfo, DWORD dwCount, MULTI_QI* pResults) {
    const CLSID* clsid = AddressOf(rclsid);
    return RunReplacement(
        HookId::kCoCreateInstanceEx, Trampoline_CoCreateInstanceEx,
        [&](contained::Frame& run) -> HRESULT {
            if (clsid && pResults && dwCount && !IsClsidAllowed(rclsid)) {
                // Each result as the real function leaves it when the
                // creation fails.
                for (DWORD i = 0; i < dwCount; ++i) {
                    pResults[i].pItf = nullptr;
                    pResults[i].hr = E_NOINTERFACE;
                }
                return E_NOINTERFACE;
            }
            const HRESULT hr = intercept::CallReal(run, Trampoline_CoCreateInstanceEx, std::cref(rclsid), punkOuter,
                                                   dwClsCtx, pServerInfo, dwCount, pResults);
            if (SUCCEEDED(hr) && clsid && pResults && IsEqualCLSID(rclsid, kChartServerClsid))
                for (DWORD i = 0; i < dwCount; ++i)
                    if (SUCCEEDED(pResults[i].hr) && pResults[i].pItf) RecordGraphObject(pResults[i].pItf);
            return hr;
        },
        [&]() -> HRESULT {
            if (RefuseUndecided(clsid)) return E_NOINTERFACE;
            return intercept::CallReal(Trampoline_CoCreateInstanceEx, std::cref(rclsid), punkOuter, dwClsCtx,
                                       pServerInfo, dwCount, pResults);
        },
        std::cref(rclsid), punkOuter, dwClsCtx, pServerInfo, dwCount, pResults);
}

// The class factory of a guarded class is refused as its creation is: with
// it a caller makes the objects itself. (Objects a granted factory makes are
// the caller's; the chart server's are not entered in the graph-object map.)
HRESULT WINAPI Detour_CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pServerInfo, REFIID riid,
                                       LPVOID* ppv) {
    const CLSID* clsid = AddressOf(rclsid);
    return RunReplacement(
        HookId::kCoGetClassObject, Trampoline_CoGetClassObject,
        [&](contained::Frame& run) -> HRESULT {
            if (clsid && ppv && !IsClsidAllowed(rclsid)) {
                *ppv = nullptr;  // as the real function leaves it on a failure
                return E_NOINTERFACE;
            }
            return intercept::CallReal(run, Trampoline_CoGetClassObject, std::cref(rclsid), dwClsContext, pServerInfo,
                                       std::cref(riid), ppv);
        },
        [&]() -> HRESULT {
            if (ppv && RefuseUndecided(clsid)) {
                *ppv = nullptr;
                return E_NOINTERFACE;
            }
            return intercept::CallReal(Trampoline_CoGetClassObject, std::cref(rclsid), dwClsContext, pServerInfo,
                                       std::cref(riid), ppv);
        },
        std::cref(rclsid), dwClsContext, pServerInfo, std::cref(riid), ppv);
}

HRESULT WINAPI Detour_OleRun(LPUNKNOWN pUnknown) {
    return RunReplacement(
        HookId::kOleRun, Trampoline_OleRun,
        [&](contained::Frame& run) -> HRESULT {
            if (IsGraphObject(pUnknown) && !AllowOpenGraph()) return E_UNEXPECTED;
            const bool korb = __atomic_load_n(&bKORBWordCreated, __ATOMIC_ACQUIRE) && HasKORBRecord();
            std::vector<DWORD> before;
            if (korb) FindProcessIdsByName("winword.exe", before, {});
            const HRESULT hr = intercept::CallReal(run, Trampoline_OleRun, pUnknown);
            if (SUCCEEDED(hr) && korb && InterlockedExchange(&bKORBWordCreated, 0)) {
                // The word processor this run started may reach the client's
                // temporary directory through the file-lock driver.
                std::vector<DWORD> started;
                FindProcessIdsByName("winword.exe", started, before);
                for (DWORD pid : started) {
                    FilelockAllowProcess(pid, nullptr);
                    LogError("winword.exe id: %d", static_cast<int>(pid));
                }
            }
            return hr;
        },
        [&]() -> HRESULT {
            if (DocObject() && IsGraphObject(pUnknown)) return E_UNEXPECTED;
            return intercept::CallReal(Trampoline_OleRun, pUnknown);
        },
        pUnknown);
}

HRESULT WINAPI Detour_GetActiveObject(REFCLSID rclsid, PVOID pvReserved, IUnknown** ppunk) {
    const CLSID* clsid = AddressOf(rclsid);
    return RunReplacement(
        HookId::kGetActiveObject, Trampoline_GetActiveObject,
        [&](contained::Frame& run) -> HRESULT {
            if (!clsid || !ppunk)
                return intercept::CallReal(run, Trampoline_GetActiveObject, std::cref(rclsid), pvReserved, ppunk);
            bool allowed = IsClsidAllowed(rclsid);
            if (allowed &&
                (IsOfficeAppClsid(OfficeApp::Word, rclsid) || IsOfficeAppClsid(OfficeApp::PowerPoint, rclsid) ||
                 IsOfficeAppClsid(OfficeApp::Excel, rclsid))) {
                CCommonDoc* doc = DocObject();
                _ZEL_HOOK_INFO_ rec{};
                allowed =
                    GetProcessContext().bIsProductTool ||
                    (doc && (doc->nDocType == kDocKORB || doc->nDocType == kDocWord || doc->IsLimitedZelDoc(rec)));
                if (!allowed) LogError("Not Allow Call GetActiveObject()");
            }
            if (!allowed) {
                *ppunk = nullptr;  // as the real function leaves it on a failure
                return REGDB_E_CLASSNOTREG;
            }
            return intercept::CallReal(run, Trampoline_GetActiveObject, std::cref(rclsid), pvReserved, ppunk);
        },
        [&]() -> HRESULT {
            // Attaching to a running application is refused when the
            // decision failed, as it is for any program without a document.
            return REGDB_E_CLASSNOTREG;
        },
        std::cref(rclsid), pvReserved, ppunk);
}

HRESULT WINAPI Detour_RegisterActiveObject(IUnknown* punk, REFCLSID rclsid, DWORD dwFlags, DWORD* pdwRegister) {
    const CLSID* clsid = AddressOf(rclsid);
    return RunReplacement(
        HookId::kRegisterActiveObject, Trampoline_RegisterActiveObject,
        [&](contained::Frame& run) -> HRESULT {
            const bool application = punk && clsid && IsEqualCLSID(rclsid, kSpreadsheetAppClsid);
            const HRESULT hr = intercept::CallReal(run, Trampoline_RegisterActiveObject, punk, std::cref(rclsid),
                                                   dwFlags, pdwRegister);
            // Kept without a reference of its own: one would keep the
            // application from ending.
            if (SUCCEEDED(hr) && application)
                __atomic_store_n(&AppObject(), static_cast<void*>(punk), __ATOMIC_RELEASE);
            return hr;
        },
        [&]() -> HRESULT {
            return intercept::CallReal(Trampoline_RegisterActiveObject, punk, std::cref(rclsid), dwFlags, pdwRegister);
        },
        punk, std::cref(rclsid), dwFlags, pdwRegister);
}

HRESULT WINAPI Detour_DispCallFunc(void* pvInstance, ULONG_PTR oVft, CALLCONV cc, VARTYPE vtReturn, UINT cActuals,
                                   VARTYPE* prgvt, VARIANTARG** prgpvarg, VARIANT* pvargResult) {
    return RunReplacement(
        HookId::kDispCallFunc, Trampoline_DispCallFunc,
        [&](contained::Frame& run) -> HRESULT {
            CLSID clsid;
            if (!__atomic_load_n(&bAppObjectCreated, __ATOMIC_ACQUIRE) &&
                OfficeAppClsid(OfficeApp::PowerPoint, clsid)) {
                IDispatch* app = nullptr;
                if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                               reinterpret_cast<void**>(&app))) &&
                    app) {
                    // The application holds its own object: this reference is
                    // given back at once, so that it does not keep the
                    // application from ending. An object that only this call
                    // held is gone with it and is not kept.
                    const ULONG left = intercept::Unmarked([&] { return app->Release(); });
                    if (left)
                        __atomic_store_n(&AppObject(), static_cast<void*>(app), __ATOMIC_RELEASE);
                    else
                        LogError("In Detour_DispCallFunc the application object ended with its release");
                    InterlockedExchange(&bAppObjectCreated, 1);
                }
            }
            return intercept::CallReal(run, Trampoline_DispCallFunc, pvInstance, oVft, cc, vtReturn, cActuals, prgvt,
                                       prgpvarg, pvargResult);
        },
        [&]() -> HRESULT {
            return intercept::CallReal(Trampoline_DispCallFunc, pvInstance, oVft, cc, vtReturn, cActuals, prgvt,
                                       prgpvarg, pvargResult);
        },
        pvInstance, oVft, cc, vtReturn, cActuals, prgvt, prgpvarg, pvargResult);
}
