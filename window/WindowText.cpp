#include "window/WindowText.h"

#include <shlwapi.h>

#include <vector>

#include "platform/win32/WideText.h"

namespace window {

std::string TextOf(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return platform::Narrow(text);
}

void SetTextOf(HWND hwnd, const std::string& text) { SetWindowTextW(hwnd, platform::Widen(text).c_str()); }

std::string ItemText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }

void SetItemText(HWND dialog, int id, const std::string& text) { SetTextOf(GetDlgItem(dialog, id), text); }

std::string Compact(const std::string& path, UINT chars) {
    std::vector<wchar_t> buffer(chars + 1, L'\0');
    const std::wstring wide = platform::Widen(path);
    if (!PathCompactPathExW(buffer.data(), wide.c_str(), chars, 0)) {
        return platform::Narrow(wide.substr(0, chars - 1));
    }
    return platform::Narrow(buffer.data());
}

}  // namespace window
