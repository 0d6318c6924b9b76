#include "settings/Win32Registry.h"

#include <algorithm>
#include <vector>

#include "platform/win32/WinApi.h"

namespace settings {

namespace {

class OpenKey {
public:
    explicit OpenKey(const char* path) {
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
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

bool Win32Registry::Read(const char* name, std::size_t buffer, std::string& text) {
    text.clear();
    OpenKey key(keyPath_);
    if (!key.get()) return false;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (size > buffer) return false;  // longer than the format's buffer: treated as missing
    std::vector<char> data(buffer + 1, '\0');
    DWORD got = static_cast<DWORD>(buffer);
    if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got) !=
        ERROR_SUCCESS) {
        return false;
    }
    // A value that fills the buffer without a terminator is no path we wrote.
    const auto end = std::find(data.begin(), data.begin() + static_cast<long>(buffer), '\0');
    if (end == data.begin() + static_cast<long>(buffer)) return false;
    text.assign(data.begin(), end);
    return true;
}

bool Win32Registry::Write(const char* name, const void* data, std::size_t size) {
    OpenKey key(keyPath_);
    return key.get() && RegSetValueExA(key.get(), name, 0, REG_SZ, static_cast<const BYTE*>(data),
                                       static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

}  // namespace settings
