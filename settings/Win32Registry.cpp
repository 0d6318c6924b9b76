#include "settings/Win32Registry.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win32/WideText.h"
#include "platform/win32/WinApi.h"

namespace settings {

namespace {

class OpenKey {
public:
    explicit OpenKey(const char* path) {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, platform::Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    ~OpenKey() {
        if (key_) RegCloseKey(key_);
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

}  // namespace

// Values are read and written in UTF-16, as the registry keeps them; the
// buffers of the stored format count characters.
bool Win32Registry::Read(const char* name, std::size_t buffer, std::string& text) {
    text.clear();
    OpenKey key(keyPath_);
    if (!key.get()) return false;
    const std::wstring wideName = platform::Widen(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (size > buffer * sizeof(wchar_t)) return false;  // longer than the format's buffer: treated as missing
    std::vector<wchar_t> data(buffer + 1, L'\0');
    DWORD got = static_cast<DWORD>(buffer * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got) !=
        ERROR_SUCCESS) {
        return false;
    }
    // A value that fills the buffer without a terminator is no path we wrote.
    const auto end = std::find(data.begin(), data.begin() + static_cast<long>(buffer), L'\0');
    if (end == data.begin() + static_cast<long>(buffer)) return false;
    text = platform::Narrow(std::wstring(data.begin(), end));
    return true;
}

bool Win32Registry::Write(const char* name, const std::string& text, std::size_t slots) {
    std::wstring wide = platform::Widen(text);
    if (wide.size() > slots) return false;
    wide.resize(slots, L'\0');
    OpenKey key(keyPath_);
    return key.get() && RegSetValueExW(key.get(), platform::Widen(name).c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(wide.data()),
                                       static_cast<DWORD>(wide.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace settings
