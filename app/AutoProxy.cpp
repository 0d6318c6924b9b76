#include "app/AutoProxy.h"

#include <shlwapi.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "app/HalvardDlg.h"
#include "platform/win32/WideText.h"

namespace app {

namespace {

const wchar_t* const kMembers[] = {L"Run", L"SourceFile", L"Destination", L"Size"};

std::string Narrow(BSTR text) { return platform::Narrow(text); }

// Argument i (in call order) of the call, converted to `type`.
HRESULT Argument(DISPPARAMS* params, UINT i, VARTYPE type, VARIANT& out) {
    if (!params || i >= params->cArgs) return DISP_E_BADPARAMCOUNT;
    VariantInit(&out);
    return VariantChangeType(&out, &params->rgvarg[params->cArgs - 1 - i], 0, type);
}

void SetKey(HKEY root, const std::string& path, const char* name, const std::string& value) {
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

class Factory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        CHalvardDlg* dialog = CHalvardDlg::Instance();
        if (!dialog) return E_UNEXPECTED;
        auto* proxy = new CHalvardDlgAutoProxy(dialog);
        const HRESULT result = proxy->QueryInterface(iid, object);
        proxy->Release();
        return result;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

}  // namespace

CHalvardDlgAutoProxy::CHalvardDlgAutoProxy(CHalvardDlg* dialog) : dialog_(dialog) {
    if (dialog_) dialog_->AttachAutomation(this);
}

CHalvardDlgAutoProxy::~CHalvardDlgAutoProxy() {
    if (dialog_) dialog_->DetachAutomation(this);
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
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (DISPID id = 1; id <= 4; ++id) {
        if (_wcsicmp(names[0], kMembers[id - 1]) == 0) {
            ids[0] = id;
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    result = DISP_E_UNKNOWNNAME;
    return result;
}

STDMETHODIMP CHalvardDlgAutoProxy::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                          EXCEPINFO*, UINT* badArgument) {
    if (id < 1 || id > 4) return DISP_E_MEMBERNOTFOUND;
    const UINT expected[] = {0, 1, 1, 2};
    if ((params ? params->cArgs : 0) != expected[id - 1]) return DISP_E_BADPARAMCOUNT;
    VARIANT first, second;
    if (id == 2 || id == 3 || id == 4) {
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
    bool ran = true;
    if (dialog_) {  // calls after the window has gone do nothing
        switch (id) {
            case 1: ran = dialog_->AutomationRun(); break;
            case 2: dialog_->AutomationSourceFile(Narrow(first.bstrVal)); break;
            case 3: dialog_->AutomationDestination(Narrow(first.bstrVal)); break;
            case 4: dialog_->AutomationSize(Narrow(first.bstrVal), second.lVal); break;
        }
    } else if (id == 1) {
        ran = false;
    }
    if (id != 1) VariantClear(&first);
    if (id == 1 && result) {
        VariantInit(result);
        result->vt = VT_BOOL;
        result->boolVal = ran ? VARIANT_TRUE : VARIANT_FALSE;
    }
    return S_OK;
}

void RegisterAutomation(const char* programPath) {
    const std::string clsidKey = std::string("CLSID\\") + kHalvardClsidText;
    for (const auto& [root, prefix] : {std::pair<HKEY, std::string>{HKEY_CLASSES_ROOT, ""},
                                       std::pair<HKEY, std::string>{HKEY_CURRENT_USER, "Software\\Classes\\"}}) {
        SetKey(root, prefix + kHalvardProgId, nullptr, kHalvardProgId);
        SetKey(root, prefix + kHalvardProgId + "\\CLSID", nullptr, kHalvardClsidText);
        SetKey(root, prefix + clsidKey, nullptr, kHalvardProgId);
        SetKey(root, prefix + clsidKey + "\\ProgID", nullptr, kHalvardProgId);
        SetKey(root, prefix + clsidKey + "\\LocalServer32", nullptr, programPath);
    }
}

namespace {

std::string DefaultValue(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
    DWORD type = 0, size = 0;
    std::string value;
    if (RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ && size > 0) {
        value.assign(size, '\0');
        if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS) {
            value.clear();
        }
        value.resize(strnlen(value.c_str(), value.size()));
    }
    RegCloseKey(key);
    return value;
}

}  // namespace

// Another installation of the program may own the registration by now; only
// entries that name this program (or no program) go.
void UnregisterAutomation(const char* programPath) {
    const std::string clsidKey = std::string("CLSID\\") + kHalvardClsidText;
    for (const auto& [root, prefix] : {std::pair<HKEY, std::string>{HKEY_CLASSES_ROOT, ""},
                                       std::pair<HKEY, std::string>{HKEY_CURRENT_USER, "Software\\Classes\\"}}) {
        const std::string server = DefaultValue(root, prefix + clsidKey + "\\LocalServer32");
        if (!server.empty() && lstrcmpiA(server.c_str(), programPath) != 0) continue;
        SHDeleteKeyA(root, (prefix + clsidKey).c_str());
        if (lstrcmpiA(DefaultValue(root, prefix + kHalvardProgId + "\\CLSID").c_str(), kHalvardClsidText) == 0) {
            SHDeleteKeyA(root, (prefix + kHalvardProgId).c_str());
        }
    }
}

IClassFactory* AutomationFactory() {
    static Factory factory;
    return &factory;
}

}  // namespace app
