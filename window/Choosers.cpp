#include "window/Choosers.h"

#include <shlobj.h>

namespace window {

bool BrowseForFolder(HWND owner, const char* title, std::string& folder) {
    const HRESULT com = CoInitialize(nullptr);
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    bool chosen = false;
    if (LPITEMIDLIST list = SHBrowseForFolderA(&info)) {
        char path[MAX_PATH] = {};
        if (SHGetPathFromIDListA(list, path)) {
            folder = path;
            chosen = true;
        }
        CoTaskMemFree(list);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return chosen;
}

}  // namespace window
