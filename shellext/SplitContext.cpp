#include "shellext/SplitContext.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "engine/set/SetFiles.h"
#include "platform/win32/Registry.h"
#include "settings/SettingsKey.h"
#include "shellext/Module.h"

namespace glimber {

namespace {
const wchar_t kPopupLabel[] = L"Corvane.Split";

// The settings' key and value names are ASCII: widened as they are.
std::wstring Ascii(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }

// A menu item's label at whatever length it has.
std::wstring MenuLabel(HMENU menu, UINT position) {
    const int length = GetMenuStringW(menu, position, nullptr, 0, MF_BYPOSITION);
    if (length <= 0) return std::wstring();
    std::wstring label(static_cast<std::size_t>(length) + 1, L'\0');
    label.resize(static_cast<std::size_t>(std::max(0, GetMenuStringW(menu, position, label.data(), length + 1,
                                                                      MF_BYPOSITION))));
    return label;
}

// "Installed Path" at whatever length it has; empty when missing.
std::wstring InstalledPath() {
    std::wstring path;
    if (!platform::registry::ReadString(HKEY_CURRENT_USER, Ascii(settings::kKeyPath), Ascii(settings::kInstalledPath).c_str(),
                                        path)) {
        return L"";
    }
    return path;
}
}  // namespace

SplitContext::SplitContext(IUnknown* outer) : outer_(outer) {
    inner_.self = this;
    LockModule();
}

SplitContext::~SplitContext() { UnlockModule(); }

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
    platform::ComPtr<ITypeLib> library;
    const HRESULT result = LoadTypeLib(ModulePath().c_str(), library.Receive());
    if (FAILED(result)) return result;
    return library->GetTypeInfoOfGuid(kIidISplitContext, typeInfo_.Receive());
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
    *info = typeInfo_.get();
    return S_OK;
}

STDMETHODIMP SplitContext::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    const HRESULT result = LoadTypeInfo();
    return FAILED(result) ? result : DispGetIDsOfNames(typeInfo_.get(), names, count, ids);
}

STDMETHODIMP SplitContext::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* exception, UINT* argument) {
    const HRESULT loaded = LoadTypeInfo();
    if (FAILED(loaded)) return loaded;
    return DispInvoke(static_cast<ISplitContext*>(this), typeInfo_.get(), id, flags, params, result, exception, argument);
}

// --- IShellExtInit -------------------------------------------------------------

// Each call starts clean: a shell that initialises the same object again
// for another selection never gets the earlier files. A selection of files
// is split (or, all of them files of sets, rejoined) in turn; one with a
// folder in it, or sets mixed with other files, gets no item.
STDMETHODIMP SplitContext::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
    files_.clear();
    mode_ = 0;
    if (!data) return E_INVALIDARG;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return E_INVALIDARG;
    auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal));
    if (!drop) {
        ReleaseStgMedium(&medium);
        return E_INVALIDARG;
    }
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    bool usable = count > 0;
    for (UINT i = 0; usable && i < count; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0), L'\0');
        DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size() + 1));
        const DWORD attributes = GetFileAttributesW(path.c_str());
        usable = attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY);
        usable = usable && (files_.empty() || engine::IsSetFileName(path) == engine::IsSetFileName(files_.front()));
        files_.push_back(std::move(path));
    }
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    if (!usable) files_.clear();
    return files_.empty() ? E_INVALIDARG : S_OK;
}

// --- IContextMenu ----------------------------------------------------------------

STDMETHODIMP SplitContext::QueryContextMenu(HMENU menu, UINT index, UINT first, UINT, UINT flags) {
    if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    if (!bitmap_.get()) bitmap_.Reset(LoadBitmapW(ModuleHandle(), MAKEINTRESOURCEW(kMenuBitmap)));
    // Ours until the shell's menu takes it.
    platform::ScopedMenu submenu(CreatePopupMenu());
    if (!submenu.get()) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);

    const bool rejoin = engine::IsSetFileName(files_.front());
    mode_ = rejoin ? 2 : 1;
    InsertMenuW(submenu.get(), 0, MF_BYPOSITION | MF_STRING, first, rejoin ? L"&Rejoin to..." : L"Split to...");
    SetMenuItemBitmaps(submenu.get(), 0, MF_BYPOSITION, bitmap_.get(), nullptr);

    // Only one "Corvane.Split" item: an earlier copy goes, with its submenu.
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (MenuLabel(menu, static_cast<UINT>(i)) == kPopupLabel) {
            DeleteMenu(menu, static_cast<UINT>(i), MF_BYPOSITION);
            break;
        }
    }
    if (!InsertMenuW(menu, index, MF_BYPOSITION | MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(submenu.get()),
                     kPopupLabel)) {
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    }
    const int items = GetMenuItemCount(submenu.Release());
    if (bitmap_.get()) SetMenuItemBitmaps(menu, index, MF_BYPOSITION, bitmap_.get(), nullptr);
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, items);
}

STDMETHODIMP SplitContext::GetCommandString(UINT_PTR command, UINT type, UINT*, CHAR* name, UINT size) {
    if (command != 0) return E_INVALIDARG;
    if (!(type & GCS_HELPTEXTA)) return E_INVALIDARG;  // help texts only, no verbs
    const wchar_t* text = mode_ == 2                               ? L"Rejoin from split files"
                          : mode_ == 1 && files_.size() > 1 ? L"Split the selected files"
                          : mode_ == 1                      ? L"Split the selected file"
                                                            : nullptr;
    if (!text || !name || size == 0) return E_INVALIDARG;
    if (type & GCS_UNICODE) {
        lstrcpynW(reinterpret_cast<wchar_t*>(name), text, static_cast<int>(size));
    } else {
        // The help texts are plain ASCII: every code page holds them.
        WideCharToMultiByte(CP_ACP, 0, text, -1, name, static_cast<int>(size), nullptr, nullptr);
        name[size - 1] = '\0';
    }
    return S_OK;
}

// The one command, by its offset (a verb given as text is none of ours).
// Parvex starts from the folder the settings name, with the files as its
// arguments, through the wide API so that any name arrives whole.
STDMETHODIMP SplitContext::InvokeCommand(CMINVOKECOMMANDINFO* info) {
    if (!info || !IS_INTRESOURCE(info->lpVerb) || LOWORD(reinterpret_cast<UINT_PTR>(info->lpVerb)) != 0) {
        return E_INVALIDARG;
    }
    if (files_.empty()) return E_UNEXPECTED;
    // Without the program's folder there is nothing sound to start; the
    // current folder is never searched for a Parvex.exe.
    const std::wstring folder = InstalledPath();
    if (folder.empty()) return E_FAIL;
    const std::wstring program = folder + L"\\Parvex.exe";
    std::wstring command = L"\"" + program + L"\"";
    for (const std::wstring& file : files_) command += L" \"" + file + L"\"";
    // A command line holds 32,767 characters: a selection that does not
    // fit is refused whole rather than cut short.
    if (command.size() >= 32767) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    const platform::ScopedHandle thread(process.hThread), started(process.hProcess);
    return S_OK;
}

}  // namespace glimber
