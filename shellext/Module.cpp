// Glimber's exports: the class object, unloading, and (un)registration.
#include "shellext/Module.h"

#include <olectl.h>

#include <new>
#include <string>
#include <vector>

#include "shellext/Identifiers.h"
#include "shellext/SplitContext.h"
#include "platform/win32/Registry.h"
#include "platform/win32/ScopedWin.h"

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

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// --- registry entries ----------------------------------------------------------

struct Value {
    const wchar_t* name;  // null: the key's default value
    std::wstring data;
};

struct Key {
    HKEY root;
    std::wstring path;
    std::vector<Value> values;
    bool recreate = false;
};

const wchar_t kHandlerKey[] = L"*\\shellex\\contextmenuhandlers\\Corvane.Split";
const wchar_t kApprovedKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

// Where the registration goes: the machine's classes (regsvr32), or the
// user's own (regsvr32 /n /i:user), which Windows merges over them and which
// need no administrator.
struct Scope {
    HKEY root;            // of the classes
    const wchar_t* base;  // the classes' key under it
    HKEY approvalRoot;
};
const Scope kMachineScope{HKEY_CLASSES_ROOT, L"", HKEY_LOCAL_MACHINE};
const Scope kUserScope{HKEY_CURRENT_USER, L"Software\\Classes\\", HKEY_CURRENT_USER};

std::vector<Key> ClassesEntries(const Scope& scope) {
    const std::wstring clsid = Wide(kClsidText);
    const std::wstring clsidKey = L"CLSID\\" + clsid;
    std::vector<Key> entries = {
        {HKEY_CLASSES_ROOT, kHandlerKey, {{nullptr, clsid}}},
        {HKEY_CLASSES_ROOT, L"Glimber.SplitContext.1", {{nullptr, L"SplitContext Class"}}},
        {HKEY_CLASSES_ROOT, L"Glimber.SplitContext.1\\CLSID", {{nullptr, clsid}}},
        {HKEY_CLASSES_ROOT, L"Glimber.SplitContext", {{nullptr, L"SplitContext Class"}}},
        {HKEY_CLASSES_ROOT, L"Glimber.SplitContext\\CLSID", {{nullptr, clsid}}},
        {HKEY_CLASSES_ROOT, L"Glimber.SplitContext\\CurVer", {{nullptr, L"Glimber.SplitContext.1"}}},
        {HKEY_CLASSES_ROOT, clsidKey, {{nullptr, L"SplitContext Class"}}, true},
        {HKEY_CLASSES_ROOT, clsidKey + L"\\ProgID", {{nullptr, L"Glimber.SplitContext.1"}}},
        {HKEY_CLASSES_ROOT, clsidKey + L"\\VersionIndependentProgID", {{nullptr, L"Glimber.SplitContext"}}},
        {HKEY_CLASSES_ROOT, clsidKey + L"\\Programmable", {}, true},
        // The long path: a volume may have no 8.3 names, and a short name
        // changes when the folder is made again.
        {HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32",
         {{nullptr, ModulePath()}, {L"ThreadingModel", L"Apartment"}}},
        {HKEY_CLASSES_ROOT, clsidKey + L"\\TypeLib", {{nullptr, Wide(kLibidText)}}},
    };
    for (Key& entry : entries) {
        entry.root = scope.root;
        entry.path = scope.base + entry.path;
    }
    return entries;
}

bool SubkeysOrValues(HKEY root, const std::wstring& path, bool countValues) {
    platform::ScopedKey key;
    if (platform::registry::Open(root, path, KEY_READ, key) != ERROR_SUCCESS) return false;
    DWORD subkeys = 0, values = 0;
    RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    return subkeys > 0 || (countValues && values > 0);
}

bool Exists(HKEY root, const std::wstring& path) {
    platform::ScopedKey key;
    return platform::registry::Open(root, path, KEY_READ, key) == ERROR_SUCCESS;
}

// A key Glimber owns goes, with its values, once no subkey is left in it.
void RemoveOwned(HKEY root, const std::wstring& path) {
    if (Exists(root, path) && !SubkeysOrValues(root, path, false)) RegDeleteKeyW(root, path.c_str());
}

// A shared key goes only when nothing at all is left in it.
void RemoveShared(HKEY root, const std::wstring& path) {
    if (Exists(root, path) && !SubkeysOrValues(root, path, true)) RegDeleteKeyW(root, path.c_str());
}

void RemoveClassesEntries(const Scope& scope) {
    const HKEY root = scope.root;
    const std::wstring base = scope.base;
    if (Exists(root, base + L"*")) {
        RemoveOwned(root, base + kHandlerKey);
        RemoveShared(root, base + L"*\\shellex\\contextmenuhandlers");
        RemoveShared(root, base + L"*\\shellex");
        RemoveShared(root, base + L"*");
    }
    for (const wchar_t* progId : {L"Glimber.SplitContext.1", L"Glimber.SplitContext"}) {
        if (!Exists(root, base + progId)) continue;
        RemoveOwned(root, base + progId + L"\\CLSID");
        RemoveOwned(root, base + progId + L"\\CurVer");
        RemoveOwned(root, base + progId);
    }
    const std::wstring clsidKey = base + L"CLSID\\" + Wide(kClsidText);
    if (Exists(root, clsidKey)) {
        platform::ScopedKey inproc;
        if (platform::registry::Open(root, clsidKey + L"\\InprocServer32", KEY_SET_VALUE, inproc) ==
            ERROR_SUCCESS) {
            RegDeleteValueW(inproc.get(), L"ThreadingModel");
        }
        inproc.Reset();
        for (const wchar_t* sub : {L"ProgID", L"VersionIndependentProgID", L"Programmable", L"InprocServer32", L"TypeLib"}) {
            RemoveOwned(root, clsidKey + L"\\" + sub);
        }
        RemoveOwned(root, clsidKey);
    }
}

void RemoveApproval(HKEY approvalRoot) {
    {
        platform::ScopedKey key;
        if (platform::registry::Open(approvalRoot, kApprovedKey, KEY_SET_VALUE, key) != ERROR_SUCCESS) return;
        RegDeleteValueW(key.get(), Wide(kClsidText).c_str());
    }
    std::wstring path = kApprovedKey;
    for (;;) {
        RemoveShared(approvalRoot, path);
        const std::size_t cut = path.rfind(L'\\');
        if (cut == std::wstring::npos) break;
        path.resize(cut);
    }
}

bool WriteKey(const Key& entry) {
    if (entry.recreate) RegDeleteTreeW(entry.root, entry.path.c_str());
    platform::ScopedKey key;
    if (platform::registry::Open(entry.root, entry.path, KEY_ALL_ACCESS, key) != ERROR_SUCCESS &&
        platform::registry::Open(entry.root, entry.path, KEY_READ | KEY_SET_VALUE, key) != ERROR_SUCCESS &&
        platform::registry::Create(entry.root, entry.path, KEY_ALL_ACCESS, key) != ERROR_SUCCESS) {
        return false;
    }
    for (const Value& value : entry.values) {
        if (platform::registry::WriteString(key.get(), value.name, value.data) != ERROR_SUCCESS) return false;
    }
    return true;
}

HRESULT LoadOwnTypeLib(ITypeLib** library) {
    const std::wstring path = ModulePath();
    HRESULT result = LoadTypeLib(path.c_str(), library);
    if (FAILED(result)) {
        const std::size_t dot = path.rfind(L'.');
        result = LoadTypeLib((path.substr(0, dot) + L".tlb").c_str(), library);
    }
    return result;
}

}  // namespace

void LockModule() { InterlockedIncrement(&g_locks); }
void UnlockModule() { InterlockedDecrement(&g_locks); }
LONG ModuleLocks() { return g_locks; }
HMODULE ModuleHandle() { return g_module; }

// The module's own path, in full: the folder it lies in may have any name.
std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

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

namespace {

using TypeLibCall = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using TypeLibUnregister = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

// Looked up by name: the per-user forms are newer than the import library.
template <class Function>
Function Oleaut(const char* name) {
    HMODULE automation = GetModuleHandleW(L"oleaut32.dll");
    return automation ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(automation, name))) : nullptr;
}

HRESULT Register(const Scope& scope) {
    for (const Key& entry : ClassesEntries(scope)) {
        if (!WriteKey(entry)) {
            RemoveClassesEntries(scope);
            return DISP_E_EXCEPTION;
        }
    }
    const std::wstring clsid = Wide(kClsidText);
    if (!WriteKey({scope.approvalRoot, kApprovedKey, {{clsid.c_str(), L"Corvane.Split ContextMenuHandler"}}})) {
        RemoveApproval(scope.approvalRoot);
        return DISP_E_EXCEPTION;
    }
    platform::ComPtr<ITypeLib> library;
    HRESULT result = LoadOwnTypeLib(library.Receive());
    if (FAILED(result)) return result;
    std::wstring path = ModulePath();
    std::wstring folder = path.substr(0, path.find_last_of(L"\\/:") + 1);
    const TypeLibCall registerLibrary =
        scope.root == HKEY_CURRENT_USER ? Oleaut<TypeLibCall>("RegisterTypeLibForUser") : &RegisterTypeLib;
    return registerLibrary ? registerLibrary(library.get(), path.data(), folder.data()) : E_NOTIMPL;
}

HRESULT Unregister(const Scope& scope) {
    RemoveClassesEntries(scope);
    RemoveApproval(scope.approvalRoot);
    platform::ComPtr<ITypeLib> library;
    if (SUCCEEDED(LoadOwnTypeLib(library.Receive()))) {
        TLIBATTR* attributes = nullptr;
        if (SUCCEEDED(library->GetLibAttr(&attributes))) {
            const auto unregister = Oleaut<TypeLibUnregister>(
                scope.root == HKEY_CURRENT_USER ? "UnRegisterTypeLibForUser" : "UnRegisterTypeLib");
            if (unregister) {
                unregister(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                           attributes->syskind);
            }
            library->ReleaseTLibAttr(attributes);
        }
    }
    return S_OK;
}

}  // namespace

STDAPI DllRegisterServer() { return Register(kMachineScope); }

STDAPI DllUnregisterServer() { return Unregister(kMachineScope); }

// regsvr32 /n /i:user registers for the user alone, as a per-user setup
// needs; anything else on the line means the machine, as DllRegisterServer.
STDAPI DllInstall(BOOL install, LPCWSTR line) {
    const bool user = line && CompareStringOrdinal(line, -1, L"user", -1, TRUE) == CSTR_EQUAL;
    const Scope& scope = user ? kUserScope : kMachineScope;
    return install ? Register(scope) : Unregister(scope);
}
