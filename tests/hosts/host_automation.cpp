// What the automation tests meet in the hosts: COM creation, running, the
// running-object table and active-object look-ups of real (registered)
// classes; DDE conversations as a server and as a client; and OLE drag and
// drop between the host's windows with a real data object, drop source and
// drop targets. Everything runs on the UI thread, in its OLE apartment.
#include <ole2.h>
#include <oleauto.h>
#include <ddeml.h>

#include <cstdio>
#include <map>
#include <string>

#include "host_app.h"
#include "host_command.h"
#include "host_library.h"
#include "tests/automation/com_objects.h"

namespace host {
namespace {

// Out pointers start as this, so a reply tells whether the call set them.
void* const kUnset = reinterpret_cast<void*>(static_cast<uintptr_t>(0x1BADF00D));

std::string Hex32(uint32_t v) {
    char b[16];
    snprintf(b, sizeof b, "0x%08lx", static_cast<unsigned long>(v));
    return b;
}
std::string HexPtr(const void* p) { return Hex32(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p))); }

// OLE is resolved on the host's first automation or drag command: a host that
// is never asked for them holds neither ole32 nor oleaut32, as an ordinary
// program does not (the footprint tests load them into it themselves). The
// pointer is the export's own address, so the library's replacements are met
// exactly as through an import.
template <typename F>
F OleExport(const wchar_t* dll, const char* name) {
    const HMODULE m = LoadLibraryW(dll);
    F f = m ? reinterpret_cast<F>(GetProcAddress(m, name)) : nullptr;
    if (!f) {
        fprintf(stderr, "host: %ls has no %s\n", dll, name);
        ExitProcess(3);
    }
    return f;
}
#define OLE32(fn) (OleExport<decltype(&fn)>(L"ole32.dll", #fn))
#define OLEAUT32(fn) (OleExport<decltype(&fn)>(L"oleaut32.dll", #fn))

bool OleReady() {
    static HRESULT hr = OLE32(OleInitialize)(nullptr);
    return SUCCEEDED(hr);
}

// The count of references an object holds now (one taken and given back).
ULONG RefsOf(IUnknown* p) {
    p->AddRef();
    return p->Release();
}

// The host's own objects (an application's automation object, drop source,
// data object, drop targets) count their references as COM objects do.
using testcom::Counted;
using HostAppObject = testcom::AutomationObject;

// ---- COM --------------------------------------------------------------------

IUnknown* g_kept = nullptr;        // the object of the last create with keep=1
HostAppObject* g_registered = nullptr;  // the object put in the running-object table
DWORD g_cookie = 0;

bool ClassOf(const Args& a, CLSID& clsid) {
    if (a.Has("progid")) return SUCCEEDED(OLE32(CLSIDFromProgID)(Widen(a.Str("progid")).c_str(), &clsid));
    return SUCCEEDED(OLE32(CLSIDFromString)(Widen(a.Str("clsid")).c_str(), &clsid));
}

void Keep(IUnknown* p) {
    if (g_kept) g_kept->Release();
    g_kept = p;
}

void DoCom(const Args& a, Reply& r) {
    if (!OleReady()) return r.Fail("OleInitialize failed");
    const std::string op = a.Str("op");
    CLSID clsid{};
    const bool named = (a.Has("progid") || a.Has("clsid"));
    if (named && !ClassOf(a, clsid)) return r.Fail("unknown class");
    const DWORD context = static_cast<DWORD>(a.Num("context", CLSCTX_INPROC_SERVER));
    if (op == "create") {
        IUnknown* out = static_cast<IUnknown*>(kUnset);
        HRESULT hr;
        if (a.Flag("ex")) {
            MULTI_QI qi[2] = {{&IID_IDispatch, static_cast<IUnknown*>(kUnset), S_OK},
                              {&IID_IUnknown, static_cast<IUnknown*>(kUnset), S_OK}};
            hr = OLE32(CoCreateInstanceEx)(clsid, nullptr, context, nullptr, 2, qi);
            r.Set("qi0", Hex32(static_cast<uint32_t>(qi[0].hr)));
            r.Set("qi1", Hex32(static_cast<uint32_t>(qi[1].hr)));
            r.Set("out1", HexPtr(qi[1].pItf));
            if (qi[1].pItf && qi[1].pItf != kUnset && SUCCEEDED(qi[1].hr)) qi[1].pItf->Release();
            out = qi[0].pItf;
            if (FAILED(qi[0].hr) && out == kUnset) out = static_cast<IUnknown*>(kUnset);
        } else if (a.Str("via") == "factory") {
            // The class factory first, then the object from it.
            IClassFactory* factory = static_cast<IClassFactory*>(kUnset);
            hr = OLE32(CoGetClassObject)(clsid, context, nullptr, IID_IClassFactory,
                                          reinterpret_cast<void**>(&factory));
            r.Set("factory", HexPtr(factory));
            if (SUCCEEDED(hr) && factory && factory != kUnset) {
                hr = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&out));
                factory->Release();
            }
        } else if (a.Str("via") == "fromapp") {
            using FromApp = HRESULT(WINAPI*)(REFCLSID, IUnknown*, DWORD, PVOID, DWORD, MULTI_QI*);
            const auto fromApp =
                reinterpret_cast<FromApp>(GetProcAddress(LoadLibraryW(L"combase.dll"), "CoCreateInstanceFromApp"));
            if (!fromApp) return r.Fail("no CoCreateInstanceFromApp");
            MULTI_QI qi = {&IID_IDispatch, static_cast<IUnknown*>(kUnset), S_OK};
            hr = fromApp(clsid, nullptr, context, nullptr, 1, &qi);
            r.Set("qi0", Hex32(static_cast<uint32_t>(qi.hr)));
            out = qi.pItf;
        } else {
            hr = OLE32(CoCreateInstance)(clsid, nullptr, context, IID_IDispatch, reinterpret_cast<void**>(&out));
        }
        r.Set("hr", Hex32(static_cast<uint32_t>(hr)));
        r.Set("out", HexPtr(out));
        // Whether the library took the result for a chart object of its map.
        if (const GatrelDiagnostics* t = TheLibrary().table)
            r.Set("recorded", t->IsGraphObject(out == kUnset ? nullptr : out) ? 1 : 0);
        if (SUCCEEDED(hr) && out && out != kUnset) {
            r.Set("refs", static_cast<long long>(RefsOf(out)));
            if (a.Flag("keep")) Keep(out);
            else out->Release();
        }
        return;
    }
    if (op == "run") {
        r.Set("hr", Hex32(static_cast<uint32_t>(OLE32(OleRun)(g_kept))));
        return;
    }
    if (op == "active") {
        IUnknown* out = static_cast<IUnknown*>(kUnset);
        const HRESULT hr = OLEAUT32(GetActiveObject)(clsid, nullptr, &out);
        r.Set("hr", Hex32(static_cast<uint32_t>(hr)));
        r.Set("out", HexPtr(out));
        r.Set("same", out == static_cast<IUnknown*>(static_cast<IDispatch*>(g_registered)) ? 1 : 0);
        if (SUCCEEDED(hr) && out && out != kUnset) out->Release();
        return;
    }
    if (op == "register") {
        if (!g_registered) g_registered = new HostAppObject;
        const HRESULT hr = OLEAUT32(RegisterActiveObject)(g_registered, clsid, ACTIVEOBJECT_STRONG, &g_cookie);
        r.Set("hr", Hex32(static_cast<uint32_t>(hr)));
        r.Set("obj", HexPtr(static_cast<IUnknown*>(static_cast<IDispatch*>(g_registered))));
        r.Set("refs", static_cast<long long>(RefsOf(g_registered)));
        return;
    }
    if (op == "revoke") {
        r.Set("hr", Hex32(static_cast<uint32_t>(OLEAUT32(RevokeActiveObject)(g_cookie, nullptr))));
        g_cookie = 0;
        if (g_registered) r.Set("refs", static_cast<long long>(RefsOf(g_registered)));
        return;
    }
    if (op == "dispcall") {
        // An automation call through the dispatch helper: IUnknown::AddRef of
        // the kept object (or of the host's own object), given back after.
        if (!g_kept && !g_registered) g_registered = new HostAppObject;
        IUnknown* target = g_kept ? g_kept : static_cast<IUnknown*>(g_registered);
        VARIANT result;
        OLEAUT32(VariantInit)(&result);
        const HRESULT hr = OLEAUT32(DispCallFunc)(target, sizeof(void*), CC_STDCALL, VT_UI4, 0, nullptr, nullptr, &result);
        if (SUCCEEDED(hr)) target->Release();
        r.Set("hr", Hex32(static_cast<uint32_t>(hr)));
        if (g_kept) r.Set("refs", static_cast<long long>(RefsOf(g_kept)));
        return;
    }
    if (op == "refs") {
        if (!g_kept) return r.Fail("nothing kept");
        r.Set("refs", static_cast<long long>(RefsOf(g_kept)));
        r.Set("out", HexPtr(g_kept));
        return;
    }
    if (op == "release") {
        Keep(nullptr);
        r.Set("released", 1);
        return;
    }
    if (op == "appobject") {
        const GatrelDiagnostics* t = TheLibrary().table;
        if (!t) return r.Fail("Gatrel.dll is not loaded (command gatrel)");
        r.Set("appobject", HexPtr(t->AppObject()));
        return;
    }
    r.Fail("op: create, run, active, register, revoke, dispcall, refs, release, appobject");
}

// ---- DDE --------------------------------------------------------------------

DWORD g_ddeServer = 0, g_ddeClient = 0;

HDDEDATA CALLBACK DdeServerProc(UINT type, UINT, HCONV, HSZ topic, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    if (type != XTYP_CONNECT) return nullptr;
    wchar_t text[300] = {};
    DdeQueryStringW(g_ddeServer, topic, text, 300, CP_WINUNICODE);
    Event("dde-connect:" + Narrow(text));
    return reinterpret_cast<HDDEDATA>(TRUE);
}

HDDEDATA CALLBACK DdeClientProc(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

void DoDde(const Args& a, Reply& r) {
    const std::string op = a.Str("op");
    if (op == "serve") {
        if (!g_ddeServer && DdeInitializeW(&g_ddeServer, DdeServerProc, APPCLASS_STANDARD, 0) != DMLERR_NO_ERROR)
            return r.Fail("DdeInitialize failed");
        HSZ service = DdeCreateStringHandleW(g_ddeServer, Widen(a.Str("service")).c_str(), CP_WINUNICODE);
        r.Set("registered", DdeNameService(g_ddeServer, service, nullptr, DNS_REGISTER) ? 1 : 0);
        return;
    }
    if (op == "connect") {
        if (!g_ddeClient &&
            DdeInitializeW(&g_ddeClient, DdeClientProc, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
            return r.Fail("DdeInitialize failed");
        // An empty service name asks every server.
        HSZ service = a.Str("service").empty()
                          ? nullptr
                          : DdeCreateStringHandleW(g_ddeClient, Widen(a.Str("service")).c_str(), CP_WINUNICODE);
        HSZ topic = DdeCreateStringHandleW(g_ddeClient, Widen(a.Str("topic")).c_str(), CP_WINUNICODE);
        if (a.Flag("list")) {
            HCONVLIST list = DdeConnectList(g_ddeClient, service, topic, nullptr, nullptr);
            int convs = 0;
            for (HCONV c = nullptr; list && (c = DdeQueryNextServer(list, c));) ++convs;
            r.Set("conv", convs);
            if (list) DdeDisconnectList(list);
        } else {
            HCONV conv = DdeConnect(g_ddeClient, service, topic, nullptr);
            r.Set("conv", conv ? 1 : 0);
            if (conv) DdeDisconnect(conv);
        }
        r.Set("ddeerr", static_cast<long long>(DdeGetLastError(g_ddeClient)));
        // Each handle is ours to free, once: a failed free means the call
        // freed (or lost) it.
        r.Set("freed", (service && DdeFreeStringHandle(g_ddeClient, service) ? 1 : 0) +
                           (DdeFreeStringHandle(g_ddeClient, topic) ? 1 : 0));
        return;
    }
    r.Fail("op: serve, connect");
}

// ---- drag and drop ------------------------------------------------------------

class DataObject : public Counted<IDataObject> {
public:
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* f, STGMEDIUM* m) override {
        if (!f || !m || f->cfFormat != CF_UNICODETEXT || !(f->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
        static const wchar_t kText[] = L"dragged text";
        HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, sizeof kText);
        if (!g) return E_OUTOFMEMORY;
        memcpy(GlobalLock(g), kText, sizeof kText);
        GlobalUnlock(g);
        m->tymed = TYMED_HGLOBAL;
        m->hGlobal = g;
        m->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* f) override {
        return f && f->cfFormat == CF_UNICODETEXT ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
};

// The application's drop source: it goes on for `steps` answers and then asks
// for the drop; on its first answer it can press Alt+Tab (posted, with the
// keys down in the thread's state) or bring another window to the front.
class DropSource : public Counted<IDropSource> {
public:
    int steps = 1;
    bool altTab = false;
    HWND activate = nullptr;
    int calls = 0, feedbacks = 0;

    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override {
        ++calls;
        if (escape) return DRAGDROP_S_CANCEL;
        if (calls == 1) {
            if (altTab) {
                BYTE keys[256];
                GetKeyboardState(keys);
                keys[VK_MENU] = keys[VK_LMENU] = keys[VK_TAB] = 0x80;
                SetKeyboardState(keys);
                const UINT scan = MapVirtualKeyW(VK_TAB, 0);
                PostMessageW(GetFocus() ? GetFocus() : GetActiveWindow(), WM_SYSKEYDOWN, VK_TAB,
                             1 | (scan << 16) | (1u << 29));
            }
            if (activate) ActivateWindow(activate);
        }
        return calls > steps ? DRAGDROP_S_DROP : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override {
        ++feedbacks;
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }
};

class DropTarget : public Counted<IDropTarget> {
public:
    explicit DropTarget(HWND w) : wnd_(w) {}
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        if (effect) *effect &= DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        if (effect) *effect &= DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        FORMATETC f{CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM m{};
        std::string text;
        if (data && SUCCEEDED(data->GetData(&f, &m))) {
            text = Narrow(static_cast<const wchar_t*>(GlobalLock(m.hGlobal)));
            GlobalUnlock(m.hGlobal);
            OLE32(ReleaseStgMedium)(&m);
        }
        Event("drop:" + HexOf(wnd_) + ":" + text);
        if (effect) *effect = DROPEFFECT_COPY;
        return S_OK;
    }

private:
    HWND wnd_;
};

void DoDropTarget(const Args& a, Reply& r) {
    if (!OleReady()) return r.Fail("OleInitialize failed");
    HWND w = a.Wnd("wnd");
    auto* target = new DropTarget(w);
    const HRESULT hr = OLE32(RegisterDragDrop)(w, target);
    target->Release();  // the registration holds it
    r.Set("hr", Hex32(static_cast<uint32_t>(hr)));
}

void DoDrag(const Args& a, Reply& r) {
    if (!OleReady()) return r.Fail("OleInitialize failed");
    // The pointer is where the drop would land: at (x, y), or in the middle
    // of the window `at`.
    POINT pt{static_cast<LONG>(a.Num("x")), static_cast<LONG>(a.Num("y"))};
    if (HWND at = a.Wnd("at")) {
        RECT rc;
        GetWindowRect(at, &rc);
        pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    SetCursorPos(pt.x, pt.y);
    PumpPending(50);
    BYTE saved[256];
    GetKeyboardState(saved);
    auto* data = new DataObject;
    auto* source = new DropSource;
    source->steps = static_cast<int>(a.Num("steps", 1));
    source->altTab = a.Flag("alttab");
    source->activate = a.Wnd("activate");
    DWORD effect = 0xFFFF;
    const HRESULT hr = OLE32(DoDragDrop)(data, source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
    SetKeyboardState(saved);
    r.Set("ret", Hex32(static_cast<uint32_t>(hr)));
    r.Set("effect", static_cast<long long>(effect));
    r.Set("calls", source->calls);
    r.Set("feedbacks", source->feedbacks);
    r.Set("sourcerefs", static_cast<long long>(RefsOf(source)));
    r.Set("datarefs", static_cast<long long>(RefsOf(data)));
    source->Release();
    data->Release();
    PumpPending(50);
}

}  // namespace

void DoAutomationCommand(const std::string& command, const Args& a, Reply& r) {
    if (command == "com") return DoCom(a, r);
    if (command == "dde") return DoDde(a, r);
    if (command == "droptarget") return DoDropTarget(a, r);
    if (command == "drag") return DoDrag(a, r);
    r.Fail("unknown command " + command);
}

}  // namespace host
