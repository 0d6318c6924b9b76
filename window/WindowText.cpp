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

std::wstring LoadText(HINSTANCE instance, UINT id) {
    // With no buffer the call hands out the resource itself, read-only.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

std::wstring MenuText(HMENU menu, UINT position) {
    const int length = GetMenuStringW(menu, position, nullptr, 0, MF_BYPOSITION);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetMenuStringW(menu, position, text.data(), length + 1, MF_BYPOSITION);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

}  // namespace window
