// The automation guard's replacements against the direct calls, in an
// ordinary process (no document object): what every program pays for COM
// creation, running, active-object look-ups and DDE connections that no rule
// concerns.
#include "bench/intercept/automation_detour_costs.h"

#include <windows.h>
#include <ole2.h>
#include <ddeml.h>

#include <algorithm>
#include <cstdio>

#include "bench/bench_util.h"
#include "bench/intercept/hooked_row.h"
#include "guards/automation/automation_rows.h"
#include "intercept/hook_function.h"
#include "intercept/hook_slots.h"
#include "intercept/hook_tables.h"
#include "intercept/replacement_guard.h"

namespace {

// An object that is not runnable: OleRun only asks it for IRunnableObject.
class Plain : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

HDDEDATA CALLBACK NoCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

}  // namespace

void AutomationReplacementCosts() {
    printf("The automation guard's replacements against the direct call, ordinary process (ns per call, ratio):\n");
    intercept::SetLibraryAttached(true);
    size_t count = 0;
    const DetourRow* rows = AutomationDetourRows(count);
    UseDetours(rows, count);
    CoInitialize(nullptr);

    volatile HRESULT sink = 0;
    Plain plain;
    auto run = [&] { return bench::NsPerCall([&] { sink = OleRun(&plain); }, 20000); };
    auto create = [&] {
        return bench::NsPerCall(
            [&] {
                IUnknown* p = nullptr;
                sink = CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IUnknown, reinterpret_cast<void**>(&p));
                if (p) p->Release();
            },
            2000);
    };
    auto createEx = [&] {
        return bench::NsPerCall(
            [&] {
                MULTI_QI qi{&IID_IUnknown, nullptr, S_OK};
                sink = CoCreateInstanceEx(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, nullptr,
                                          1, &qi);
                if (qi.pItf) qi.pItf->Release();
            },
            2000);
    };
    auto active = [&] {
        return bench::NsPerCall(
            [&] {
                IUnknown* p = nullptr;
                sink = GetActiveObject(CLSID_StdGlobalInterfaceTable, nullptr, &p);
                if (p) p->Release();
            },
            500);
    };
    DWORD inst = 0;
    DdeInitializeW(&inst, NoCallback, APPCMD_CLIENTONLY, 0);
    HSZ service = DdeCreateStringHandleW(inst, L"NoSuchService", CP_WINUNICODE);
    HSZ topic = DdeCreateStringHandleW(inst, L"System", CP_WINUNICODE);
    auto dde = [&] {
        return bench::NsPerCall([&] { sink = DdeConnect(inst, service, topic, nullptr) ? 1 : 0; }, 50, 3);
    };

    // Measured in turns, best of several: the machine's noise falls on both alike.
    const char* names[5] = {"OleRun", "CoCreateInstance", "CoCreateInstanceEx", "GetActiveObject", "DdeConnect"};
    const HookId ids[5] = {HookId::kOleRun, HookId::kCoCreateInstance, HookId::kCoCreateInstanceEx,
                           HookId::kGetActiveObject, HookId::kDdeConnect};
    double d[5], h[5];
    std::fill(d, d + 5, 1e300);
    std::fill(h, h + 5, 1e300);
    for (int round = 0; round < 5; ++round) {
        d[0] = std::min(d[0], run());
        h[0] = std::min(h[0], Hooked(ids[0], run));
        d[1] = std::min(d[1], create());
        h[1] = std::min(h[1], Hooked(ids[1], create));
        d[2] = std::min(d[2], createEx());
        h[2] = std::min(h[2], Hooked(ids[2], createEx));
        d[3] = std::min(d[3], active());
        h[3] = std::min(h[3], Hooked(ids[3], active));
        if (round < 2) {
            d[4] = std::min(d[4], dde());
            h[4] = std::min(h[4], Hooked(ids[4], dde));
        }
    }
    char label[112];
    for (int i = 0; i < 5; ++i) {
        snprintf(label, sizeof label, "%s, direct", names[i]);
        bench::Row(label, d[i], d[i]);
        snprintf(label, sizeof label, "%s, replaced, ordinary process (+%.1f ns)", names[i], h[i] - d[i]);
        bench::Row(label, h[i], d[i]);
    }
    DdeFreeStringHandle(inst, service);
    DdeFreeStringHandle(inst, topic);
    DdeUninitialize(inst);
    CoUninitialize();
}
