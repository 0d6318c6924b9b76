#include "settings/Win32Registry.h"

#include <algorithm>
#include <vector>

#include "platform/win32/Registry.h"
#include "platform/win32/WideText.h"

namespace settings {

namespace reg = platform::registry;

// Values are read and written in UTF-16, as the registry keeps them; the
// buffers of the stored format count characters.
bool Win32Registry::Read(const char* name, std::size_t buffer, std::string& text) {
    text.clear();
    platform::ScopedKey key;
    if (reg::Create(HKEY_CURRENT_USER, platform::Widen(keyPath_), KEY_QUERY_VALUE | KEY_SET_VALUE, key) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    std::vector<BYTE> data;
    if (reg::ReadData(key.get(), platform::Widen(name).c_str(), type, data) != ERROR_SUCCESS) return false;
    if (data.size() > buffer * sizeof(wchar_t)) return false;  // longer than the format's buffer: treated as missing
    const auto* chars = reinterpret_cast<const wchar_t*>(data.data());
    const std::size_t count = data.size() / sizeof(wchar_t);
    // A value that fills the buffer without a terminator is no path we wrote.
    const auto end = std::find(chars, chars + count, L'\0');
    if (end == chars + count && count >= buffer) return false;
    text = platform::Narrow(std::wstring(chars, end));
    return true;
}

bool Win32Registry::Write(const char* name, const std::string& text, std::size_t slots) {
    std::wstring wide = platform::Widen(text);
    if (wide.size() > slots) return false;
    wide.resize(slots, L'\0');
    platform::ScopedKey key;
    return reg::Create(HKEY_CURRENT_USER, platform::Widen(keyPath_), KEY_SET_VALUE, key) == ERROR_SUCCESS &&
           reg::WriteData(key.get(), platform::Widen(name).c_str(), REG_SZ, wide.data(), wide.size() * sizeof(wchar_t)) ==
               ERROR_SUCCESS;
}

}  // namespace settings
