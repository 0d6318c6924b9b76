#include "app/HelpLauncher.h"

#include "platform/win32/WideText.h"

namespace app {

// From the system folder by its full path: a bare name would also find a
// copy planted beside the program or in the current folder.
HMODULE HelpLauncher::Library() {
    if (!loaded_) {
        loaded_ = true;
        std::wstring system(MAX_PATH, L'\0');
        system.resize(GetSystemDirectoryW(system.data(), MAX_PATH));
        if (!system.empty()) library_.Reset(LoadLibraryW((system + L"\\hhctrl.ocx").c_str()));
    }
    return library_.get();
}

void HelpLauncher::Open(const std::string& path) {
    if (opener_) {
        opener_(path);
        return;
    }
    if (!Library()) return;
    using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    const auto htmlHelp =
        reinterpret_cast<HtmlHelpFunction>(reinterpret_cast<void*>(GetProcAddress(library_.get(), "HtmlHelpW")));
    if (htmlHelp) htmlHelp(GetDesktopWindow(), platform::Widen(path).c_str(), 0 /* display topic */, 0);
}

}  // namespace app
