// An in-process COM server of the test world, registered in the test prefix
// under the class ids and program ids of the office applications' automation
// objects and of the chart server, so that creating, running, registering and
// looking up those objects happens through real COM.
//
// Every class makes an object of its own, except the presentation program's
// application, of which a process has one: each creation hands out the same
// object, as an office application hands out its running application object.
#include "tests/automation/com_objects.h"

namespace {

using testcom::AutomationObject;

// The presentation program's application object: never deleted.
AutomationObject* SharedApplication() {
    static AutomationObject* app = new AutomationObject(0, true);
    return app;
}

const CLSID kPowerPointApp = {0x91493441, 0x5A91, 0x11CF, {0x87, 0x00, 0x00, 0xAA, 0x00, 0x60, 0x26, 0x3B}};

class Factory : public testcom::Counted<IClassFactory> {
public:
    explicit Factory(REFCLSID clsid) : clsid_(clsid) {}
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (IsEqualCLSID(clsid_, kPowerPointApp)) return SharedApplication()->QueryInterface(riid, ppv);
        auto* object = new AutomationObject;  // its one reference is given back below
        const HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    const CLSID clsid_;
};

}  // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    auto* factory = new Factory(clsid);
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

// The server stays loaded: the presentation program's application object
// lives as long as the process.
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }
