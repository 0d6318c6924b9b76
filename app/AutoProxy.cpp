#include "app/AutoProxy.h"

#include <cwchar>
#include <string>

#include "platform/win32/WideText.h"

namespace app {

namespace {

const wchar_t* const kMembers[] = {L"Run", L"SourceFile", L"Destination", L"Size", L"AddFile"};
constexpr DISPID kLastMember = 5;

// Argument i (in call order) of the call, converted to `type`.
HRESULT Argument(DISPPARAMS* params, UINT i, VARTYPE type, VARIANT& out) {
    if (!params || i >= params->cArgs) return DISP_E_BADPARAMCOUNT;
    VariantInit(&out);
    return VariantChangeType(&out, &params->rgvarg[params->cArgs - 1 - i], 0, type);
}

class Factory final : public IClassFactory {
public:
    explicit Factory(AutomationTarget* target) : target_(target) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // The one factory lives as long as the process.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (!target_) return E_UNEXPECTED;
        auto* proxy = new CHalvardDlgAutoProxy(target_);
        const HRESULT result = proxy->QueryInterface(iid, object);
        proxy->Release();
        return result;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
    AutomationTarget* target_;
};

}  // namespace

CHalvardDlgAutoProxy::CHalvardDlgAutoProxy(AutomationTarget* target) : target_(target) {
    if (target_) target_->Attach(this);
}

CHalvardDlgAutoProxy::~CHalvardDlgAutoProxy() {
    if (target_) target_->Detach(this);
}

STDMETHODIMP CHalvardDlgAutoProxy::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch) return E_NOINTERFACE;
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CHalvardDlgAutoProxy::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) CHalvardDlgAutoProxy::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP CHalvardDlgAutoProxy::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP CHalvardDlgAutoProxy::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP CHalvardDlgAutoProxy::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (DISPID id = 1; id <= kLastMember; ++id) {
        if (_wcsicmp(names[0], kMembers[id - 1]) == 0) {
            ids[0] = id;
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP CHalvardDlgAutoProxy::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                          EXCEPINFO*, UINT* badArgument) {
    if (id < 1 || id > kLastMember) return DISP_E_MEMBERNOTFOUND;
    const UINT expected[] = {0, 1, 1, 2, 1};
    if ((params ? params->cArgs : 0) != expected[id - 1]) return DISP_E_BADPARAMCOUNT;
    VARIANT first, second;
    VariantInit(&first);
    if (id >= 2) {
        if (FAILED(Argument(params, 0, VT_BSTR, first))) {
            if (badArgument) *badArgument = 0;
            return DISP_E_TYPEMISMATCH;
        }
    }
    if (id == 4 && FAILED(Argument(params, 1, VT_I4, second))) {
        VariantClear(&first);
        if (badArgument) *badArgument = 1;
        return DISP_E_TYPEMISMATCH;
    }
    bool ran = false;
    if (target_) {  // calls after the window has gone do nothing
        switch (id) {
            case 1: ran = target_->Run(); break;
            case 2: target_->SourceFile(platform::Narrow(first.bstrVal)); break;
            case 3: target_->Destination(platform::Narrow(first.bstrVal)); break;
            case 4: target_->Size(platform::Narrow(first.bstrVal), second.lVal); break;
            case 5: target_->AddFile(platform::Narrow(first.bstrVal)); break;
        }
    }
    VariantClear(&first);
    if (id == 1 && result) {
        VariantInit(result);
        result->vt = VT_BOOL;
        result->boolVal = ran ? VARIANT_TRUE : VARIANT_FALSE;
    }
    return S_OK;
}

IClassFactory* AutomationFactory(AutomationTarget* target) {
    static Factory factory(nullptr);
    factory.target_ = target;
    return &factory;
}

}  // namespace app
