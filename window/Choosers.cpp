#include "window/Choosers.h"

#include <shlobj.h>

#include "platform/win32/WideText.h"

namespace window {

namespace {

// Opens the tree at the folder the user is choosing for.
int CALLBACK StartAt(HWND dialog, UINT message, LPARAM, LPARAM start) {
    if (message == BFFM_INITIALIZED && start) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

}  // namespace

Browsed BrowseForFolder(HWND owner, const char* title, std::string& folder) {
    const HRESULT com = CoInitialize(nullptr);
    const std::wstring wideTitle = platform::Widen(title);
    const std::wstring start = platform::Widen(folder);
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = wideTitle.c_str();
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
    if (SUCCEEDED(com)) CoUninitialize();
    return result;
}

}  // namespace window
