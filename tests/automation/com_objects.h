#pragma once
// COM objects of the test world, shared by the test COM server and the hosts:
// a reference-counted implementation of one interface, and an automation
// object without type information.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

namespace testcom {

// Counts its references from `initial`; goes at zero unless it is kept for
// the process (a process's single application object).
template <class Interface>
class Counted : public Interface {
public:
    explicit Counted(LONG initial = 1, bool keepAtZero = false) : refs_(initial), keep_(keepAtZero) {}
    virtual ~Counted() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, __uuidof(Interface))) {
            *ppv = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0 && !keep_) delete this;
        return left;
    }

private:
    volatile LONG refs_;
    const bool keep_;
};

class AutomationObject : public Counted<IDispatch> {
public:
    using Counted<IDispatch>::Counted;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
};

}  // namespace testcom
