#include "window/Choosers.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/WideText.h"

namespace window {

namespace {

// Releases a COM interface however the chooser ends.
template <typename T>
struct Held {
    T* p = nullptr;
    ~Held() {
        if (p) p->Release();
    }
    T** out() { return &p; }
    T* operator->() const { return p; }
};

// Opens the tree at the folder the user is choosing for.
int CALLBACK StartAt(HWND dialog, UINT message, LPARAM, LPARAM start) {
    if (message == BFFM_INITIALIZED && start) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

// The old tree, where the system has no item dialog.
Browsed BrowseTree(HWND owner, const std::wstring& title, const std::wstring& start, std::string& folder) {
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = StartAt;
    info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    Browsed result = Browsed::Cancelled;
    if (LPITEMIDLIST list = SHBrowseForFolderW(&info)) {
        // The path at any length, where the system can give it.
        std::wstring path(32768, L'\0');
        if (SHGetPathFromIDListEx(list, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) {
            folder = platform::Narrow(path.c_str());
            result = Browsed::Chosen;
        } else {
            result = Browsed::NoPath;
        }
        CoTaskMemFree(list);
    }
    return result;
}

// The item dialog that Explorer's users know, picking folders. Returns
// false when the system has none, so that the tree stands in.
bool BrowseItems(HWND owner, const std::wstring& title, const std::wstring& start, std::string& folder,
                 Browsed& result) {
    Held<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                reinterpret_cast<void**>(dialog.out())))) {
        return false;
    }
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    if (FAILED(dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST))) return false;
    dialog->SetTitle(title.c_str());
    if (!start.empty()) {
        Held<IShellItem> at;
        if (SUCCEEDED(SHCreateItemFromParsingName(start.c_str(), nullptr, IID_IShellItem,
                                                  reinterpret_cast<void**>(at.out())))) {
            dialog->SetFolder(at.p);
        }
    }
    const HRESULT shown = dialog->Show(owner);
    if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) {
        result = Browsed::Cancelled;
        return true;
    }
    if (FAILED(shown)) return false;
    Held<IShellItem> chosen;
    PWSTR path = nullptr;
    if (FAILED(dialog->GetResult(chosen.out())) || FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path)) ||
        !path) {
        result = Browsed::NoPath;
        return true;
    }
    folder = platform::Narrow(path);
    CoTaskMemFree(path);
    result = Browsed::Chosen;
    return true;
}

}  // namespace

Browsed BrowseForFolder(HWND owner, const char* title, std::string& folder) {
    const platform::ComScope com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const std::wstring wideTitle = platform::Widen(title);
    const std::wstring start = platform::Widen(folder);
    Browsed result = Browsed::Cancelled;
    if (!BrowseItems(owner, wideTitle, start, folder, result)) result = BrowseTree(owner, wideTitle, start, folder);
    return result;
}

}  // namespace window
