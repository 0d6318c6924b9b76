#include "shellext/SplitContext.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cctype>
#include <cstring>
#include <vector>

#include "shellext/Module.h"

namespace glimber {

namespace {
const char kPopupLabel[] = "Corvane.Split";
const char kSettingsKey[] = "Software\\Corvane Software\\Corvane.Split\\Settings";

// "Installed Path" at whatever length it has; empty when missing.
std::string InstalledPath() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
    DWORD type = 0, size = 0;
    std::string path;
    if (RegQueryValueExA(key, "Installed Path", nullptr, &type, nullptr, &size) == ERROR_SUCCESS && size > 0) {
        std::vector<char> data(size + 1, '\0');
        if (RegQueryValueExA(key, "Installed Path", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) ==
            ERROR_SUCCESS) {
            path = data.data();
        }
    }
    RegCloseKey(key);
    return path;
}
}  // namespace

SplitContext::SplitContext(IUnknown* outer) : outer_(outer) {
    inner_.self = this;
    LockModule();
}

SplitContext::~SplitContext() {
    if (bitmap_) DeleteObject(bitmap_);
    if (typeInfo_) typeInfo_->Release();
    UnlockModule();
}

// --- IUnknown ----------------------------------------------------------------

STDMETHODIMP SplitContext::Inner::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown) {
        *object = static_cast<IUnknown*>(this);
    } else if (iid == kIidISplitContext || iid == IID_IDispatch) {
        *object = static_cast<ISplitContext*>(self);
    } else if (iid == IID_IShellExtInit) {
        *object = static_cast<IShellExtInit*>(self);
    } else if (iid == IID_IContextMenu) {
        *object = static_cast<IContextMenu*>(self);
    } else {
        return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(*object)->AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) SplitContext::Inner::AddRef() { return ++self->references_; }

STDMETHODIMP_(ULONG) SplitContext::Inner::Release() {
    const ULONG left = --self->references_;
    if (left == 0) delete self;
    return left;
}

STDMETHODIMP SplitContext::QueryInterface(REFIID iid, void** object) {
    return outer_ ? outer_->QueryInterface(iid, object) : inner_.QueryInterface(iid, object);
}
STDMETHODIMP_(ULONG) SplitContext::AddRef() { return outer_ ? outer_->AddRef() : inner_.AddRef(); }
STDMETHODIMP_(ULONG) SplitContext::Release() { return outer_ ? outer_->Release() : inner_.Release(); }

// --- IDispatch -----------------------------------------------------------------

HRESULT SplitContext::LoadTypeInfo() {
    if (typeInfo_) return S_OK;
    wchar_t path[MAX_PATH * 4];
    GetModuleFileNameW(ModuleHandle(), path, MAX_PATH * 4);
    ITypeLib* library = nullptr;
    HRESULT result = LoadTypeLib(path, &library);
    if (FAILED(result)) return result;
    result = library->GetTypeInfoOfGuid(kIidISplitContext, &typeInfo_);
    library->Release();
    return result;
}

STDMETHODIMP SplitContext::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP SplitContext::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    const HRESULT result = LoadTypeInfo();
    if (FAILED(result)) return result;
    typeInfo_->AddRef();
    *info = typeInfo_;
    return S_OK;
}

STDMETHODIMP SplitContext::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    const HRESULT result = LoadTypeInfo();
    return FAILED(result) ? result : DispGetIDsOfNames(typeInfo_, names, count, ids);
}

STDMETHODIMP SplitContext::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* exception, UINT* argument) {
    const HRESULT loaded = LoadTypeInfo();
    if (FAILED(loaded)) return loaded;
    return DispInvoke(static_cast<ISplitContext*>(this), typeInfo_, id, flags, params, result, exception, argument);
}

// --- IShellExtInit -------------------------------------------------------------

STDMETHODIMP SplitContext::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
    if (!data) return E_INVALIDARG;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return E_INVALIDARG;
    auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal));
    if (!drop) {
        ReleaseStgMedium(&medium);
        return E_INVALIDARG;
    }
    if (DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
        std::string path(DragQueryFileA(drop, 0, nullptr, 0), '\0');
        DragQueryFileA(drop, 0, path.data(), static_cast<UINT>(path.size() + 1));
        if (!PathIsDirectoryA(path.c_str())) filePath_ = path;
    }
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    return filePath_.empty() ? E_INVALIDARG : S_OK;
}

// --- IContextMenu ----------------------------------------------------------------

STDMETHODIMP SplitContext::QueryContextMenu(HMENU menu, UINT index, UINT first, UINT, UINT flags) {
    if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    if (!bitmap_) bitmap_ = LoadBitmapA(ModuleHandle(), MAKEINTRESOURCEA(kMenuBitmap));
    submenu_ = CreatePopupMenu();

    std::string extension = PathFindExtensionA(filePath_.c_str());
    if (!extension.empty()) CharLowerBuffA(extension.data(), static_cast<DWORD>(extension.size()));
    const bool rejoin = extension == ".sio" || extension == ".spl";
    mode_ = rejoin ? 2 : 1;
    InsertMenuA(submenu_, 0, MF_BYPOSITION | MF_STRING, first, rejoin ? "&Rejoin to..." : "Split to...");
    SetMenuItemBitmaps(submenu_, 0, MF_BYPOSITION, bitmap_, nullptr);

    // Only one "Corvane.Split" item: an earlier copy goes (its submenu is
    // left to the menu that owns it).
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char label[257] = {};
        if (GetMenuStringA(menu, i, label, sizeof label, MF_BYPOSITION) <= 0) continue;
        if (std::strcmp(label, kPopupLabel) == 0) {
            RemoveMenu(menu, i, MF_BYPOSITION);
            break;
        }
    }
    if (!InsertMenuA(menu, index, MF_BYPOSITION | MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(submenu_),
                     kPopupLabel)) {
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    }
    if (bitmap_) SetMenuItemBitmaps(menu, index, MF_BYPOSITION, bitmap_, nullptr);
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, GetMenuItemCount(submenu_));
}

STDMETHODIMP SplitContext::GetCommandString(UINT_PTR command, UINT type, UINT*, CHAR* name, UINT size) {
    if (command != 0) return E_INVALIDARG;
    if (!(type & GCS_HELPTEXTA)) return E_INVALIDARG;  // help texts only, no verbs
    const char* text = mode_ == 2 ? "Rejoin from split files" : mode_ == 1 ? "Split the selected file" : nullptr;
    if (!text || !name || size == 0) return E_INVALIDARG;
    if (type & GCS_UNICODE) {
        auto* wide = reinterpret_cast<wchar_t*>(name);
        const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
        std::vector<wchar_t> converted(n);
        MultiByteToWideChar(CP_ACP, 0, text, -1, converted.data(), n);
        lstrcpynW(wide, converted.data(), static_cast<int>(size));
    } else {
        lstrcpynA(name, text, static_cast<int>(size));
    }
    return S_OK;
}

STDMETHODIMP SplitContext::InvokeCommand(CMINVOKECOMMANDINFO* info) {
    if (!info || HIWORD(reinterpret_cast<UINT_PTR>(info->lpVerb)) != 0) return E_INVALIDARG;
    if (LOWORD(reinterpret_cast<UINT_PTR>(info->lpVerb)) != 0) return E_INVALIDARG;
    // Without the program's folder there is nothing sound to start; the
    // current folder is never searched for a Parvex.exe.
    const std::string folder = InstalledPath();
    if (folder.empty()) return S_OK;
    const std::string command = "\"" + folder + "\\Parvex.exe\" \"" + filePath_ + "\"";
    WinExec(command.c_str(), SW_SHOW);
    return S_OK;
}

}  // namespace glimber
