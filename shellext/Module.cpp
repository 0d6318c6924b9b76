// Glimber's exports: the class object, unloading, and (un)registration.
#include "shellext/Module.h"

#include <olectl.h>

#include <new>
#include <string>
#include <vector>

#include "shellext/Identifiers.h"
#include "shellext/SplitContext.h"

namespace glimber {

namespace {

HMODULE g_module = nullptr;
LONG g_locks = 0;
CRITICAL_SECTION g_tableLock;

// The class object; the class table's own reference does not lock the
// module, every further one does.
class ClassFactory final : public IClassFactory {
public:
    ClassFactory() { InitializeCriticalSection(&lock_); }
    ~ClassFactory() { DeleteCriticalSection(&lock_); }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override {
        EnterCriticalSection(&lock_);
        const ULONG count = ++references_;
        if (count == 2) LockModule();
        LeaveCriticalSection(&lock_);
        return count;
    }
    STDMETHODIMP_(ULONG) Release() override {
        EnterCriticalSection(&lock_);
        const ULONG count = --references_;
        if (count == 1) UnlockModule();
        LeaveCriticalSection(&lock_);
        if (count == 0) delete this;
        return count;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer && iid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
        auto* created = new (std::nothrow) SplitContext(outer);
        if (!created) return E_OUTOFMEMORY;
        IUnknown* inner = created->inner();
        inner->AddRef();
        const HRESULT result = outer ? (*object = inner, inner->AddRef(), S_OK) : inner->QueryInterface(iid, object);
        inner->Release();  // destroys the object when the interface was refused
        return result;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) {
            LockModule();
        } else {
            UnlockModule();
        }
        return S_OK;
    }

private:
    CRITICAL_SECTION lock_;
    ULONG references_ = 0;
};

ClassFactory* g_factory = nullptr;

std::string ModulePath() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(g_module, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) return std::string(path.data(), n);
        path.resize(path.size() * 2);
    }
}

std::string ShortPath(const std::string& path) {
    const DWORD n = GetShortPathNameA(path.c_str(), nullptr, 0);
    if (n == 0) return path;
    std::string result(n, '\0');
    result.resize(GetShortPathNameA(path.c_str(), result.data(), n));
    return result;
}

// --- registry entries ----------------------------------------------------------

struct Value {
    const char* name;  // null: the key's default value
    std::string data;
};

struct Key {
    HKEY root;
    std::string path;
    std::vector<Value> values;
    bool recreate = false;
};

const char kHandlerKey[] = "*\\shellex\\contextmenuhandlers\\Corvane.Split";
const char kApprovedKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

std::vector<Key> ClassesEntries() {
    const std::string clsidKey = std::string("CLSID\\") + kClsidText;
    return {
        {HKEY_CLASSES_ROOT, kHandlerKey, {{nullptr, kClsidText}}},
        {HKEY_CLASSES_ROOT, "Glimber.SplitContext.1", {{nullptr, "SplitContext Class"}}},
        {HKEY_CLASSES_ROOT, "Glimber.SplitContext.1\\CLSID", {{nullptr, kClsidText}}},
        {HKEY_CLASSES_ROOT, "Glimber.SplitContext", {{nullptr, "SplitContext Class"}}},
        {HKEY_CLASSES_ROOT, "Glimber.SplitContext\\CLSID", {{nullptr, kClsidText}}},
        {HKEY_CLASSES_ROOT, "Glimber.SplitContext\\CurVer", {{nullptr, "Glimber.SplitContext.1"}}},
        {HKEY_CLASSES_ROOT, clsidKey, {{nullptr, "SplitContext Class"}}, true},
        {HKEY_CLASSES_ROOT, clsidKey + "\\ProgID", {{nullptr, "Glimber.SplitContext.1"}}},
        {HKEY_CLASSES_ROOT, clsidKey + "\\VersionIndependentProgID", {{nullptr, "Glimber.SplitContext"}}},
        {HKEY_CLASSES_ROOT, clsidKey + "\\Programmable", {}, true},
        {HKEY_CLASSES_ROOT, clsidKey + "\\InprocServer32",
         {{nullptr, ShortPath(ModulePath())}, {"ThreadingModel", "Apartment"}}},
        {HKEY_CLASSES_ROOT, clsidKey + "\\TypeLib", {{nullptr, kLibidText}}},
    };
}

bool SubkeysOrValues(HKEY root, const std::string& path, bool countValues) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD subkeys = 0, values = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return subkeys > 0 || (countValues && values > 0);
}

bool Exists(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// A key Glimber owns goes, with its values, once no subkey is left in it.
void RemoveOwned(HKEY root, const std::string& path) {
    if (Exists(root, path) && !SubkeysOrValues(root, path, false)) RegDeleteKeyA(root, path.c_str());
}

// A shared key goes only when nothing at all is left in it.
void RemoveShared(HKEY root, const std::string& path) {
    if (Exists(root, path) && !SubkeysOrValues(root, path, true)) RegDeleteKeyA(root, path.c_str());
}

void RemoveClassesEntries() {
    const HKEY root = HKEY_CLASSES_ROOT;
    if (Exists(root, "*")) {
        RemoveOwned(root, kHandlerKey);
        RemoveShared(root, "*\\shellex\\contextmenuhandlers");
        RemoveShared(root, "*\\shellex");
        RemoveShared(root, "*");
    }
    for (const char* progId : {"Glimber.SplitContext.1", "Glimber.SplitContext"}) {
        if (!Exists(root, progId)) continue;
        RemoveOwned(root, std::string(progId) + "\\CLSID");
        RemoveOwned(root, std::string(progId) + "\\CurVer");
        RemoveOwned(root, progId);
    }
    const std::string clsidKey = std::string("CLSID\\") + kClsidText;
    if (Exists(root, clsidKey)) {
        HKEY inproc;
        if (RegOpenKeyExA(root, (clsidKey + "\\InprocServer32").c_str(), 0, KEY_SET_VALUE, &inproc) == ERROR_SUCCESS) {
            RegDeleteValueA(inproc, "ThreadingModel");
            RegCloseKey(inproc);
        }
        for (const char* sub : {"ProgID", "VersionIndependentProgID", "Programmable", "InprocServer32", "TypeLib"}) {
            RemoveOwned(root, clsidKey + "\\" + sub);
        }
        RemoveOwned(root, clsidKey);
    }
}

void RemoveApproval() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApprovedKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, kClsidText);
    RegCloseKey(key);
    std::string path = kApprovedKey;
    for (;;) {
        RemoveShared(HKEY_LOCAL_MACHINE, path);
        const std::size_t cut = path.rfind('\\');
        if (cut == std::string::npos) break;
        path.resize(cut);
    }
}

bool WriteKey(const Key& entry) {
    if (entry.recreate) RegDeleteTreeA(entry.root, entry.path.c_str());
    HKEY key;
    if (RegOpenKeyExA(entry.root, entry.path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS &&
        RegOpenKeyExA(entry.root, entry.path.c_str(), 0, KEY_READ | KEY_SET_VALUE, &key) != ERROR_SUCCESS &&
        RegCreateKeyExA(entry.root, entry.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
            ERROR_SUCCESS) {
        return false;
    }
    for (const Value& value : entry.values) {
        RegSetValueExA(key, value.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data.c_str()),
                       static_cast<DWORD>(value.data.size() + 1));
    }
    RegCloseKey(key);
    return true;
}

HRESULT LoadOwnTypeLib(ITypeLib** library) {
    const std::string path = ModulePath();
    std::wstring wide(path.begin(), path.end());
    HRESULT result = LoadTypeLib(wide.c_str(), library);
    if (FAILED(result)) {
        const std::size_t dot = wide.rfind(L'.');
        result = LoadTypeLib((wide.substr(0, dot) + L".tlb").c_str(), library);
    }
    return result;
}

}  // namespace

void LockModule() { InterlockedIncrement(&g_locks); }
void UnlockModule() { InterlockedDecrement(&g_locks); }
LONG ModuleLocks() { return g_locks; }
HMODULE ModuleHandle() { return g_module; }

}  // namespace glimber

using namespace glimber;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        InitializeCriticalSection(&g_tableLock);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        if (g_factory) g_factory->Release();
        g_factory = nullptr;
        DeleteCriticalSection(&g_tableLock);
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return g_locks == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != kClsidSplitContext) return CLASS_E_CLASSNOTAVAILABLE;
    if (!g_factory) {
        EnterCriticalSection(&g_tableLock);
        if (!g_factory) {
            auto* factory = new (std::nothrow) ClassFactory;
            if (factory) factory->AddRef();  // the class table's own reference
            g_factory = factory;
        }
        LeaveCriticalSection(&g_tableLock);
        if (!g_factory) return E_OUTOFMEMORY;
    }
    return g_factory->QueryInterface(iid, object);
}

STDAPI DllRegisterServer() {
    for (const Key& entry : ClassesEntries()) {
        if (!WriteKey(entry)) {
            RemoveClassesEntries();
            return DISP_E_EXCEPTION;
        }
    }
    if (!WriteKey({HKEY_LOCAL_MACHINE, kApprovedKey, {{kClsidText, "Corvane.Split ContextMenuHandler"}}})) {
        RemoveApproval();
        return DISP_E_EXCEPTION;
    }
    ITypeLib* library = nullptr;
    HRESULT result = LoadOwnTypeLib(&library);
    if (FAILED(result)) return result;
    const std::string path = ModulePath();
    const std::size_t cut = path.find_last_of("\\/:");
    const std::wstring wide(path.begin(), path.end());
    const std::wstring folder(path.begin(), path.begin() + static_cast<long>(cut + 1));
    result = RegisterTypeLib(library, const_cast<wchar_t*>(wide.c_str()), const_cast<wchar_t*>(folder.c_str()));
    library->Release();
    return result;
}

STDAPI DllUnregisterServer() {
    RemoveClassesEntries();
    RemoveApproval();
    ITypeLib* library = nullptr;
    if (SUCCEEDED(LoadOwnTypeLib(&library))) {
        TLIBATTR* attributes = nullptr;
        if (SUCCEEDED(library->GetLibAttr(&attributes))) {
            using Unregister = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
            if (HMODULE automation = GetModuleHandleA("oleaut32.dll")) {
                if (auto unregister = reinterpret_cast<Unregister>(
                        reinterpret_cast<void*>(GetProcAddress(automation, "UnRegisterTypeLib")))) {
                    unregister(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                               attributes->syskind);
                }
            }
            library->ReleaseTLibAttr(attributes);
        }
        library->Release();
    }
    return S_OK;
}
