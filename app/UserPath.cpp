#include "app/UserPath.h"

#include <vector>

#include "app/StartupRules.h"
#include "platform/win32/Registry.h"
#include "platform/win32/WideText.h"

namespace app {

bool SetFolderOnUserPath(const std::string& folder, bool present) {
    platform::ScopedKey key;
    if (platform::registry::Create(HKEY_CURRENT_USER, L"Environment", KEY_QUERY_VALUE | KEY_SET_VALUE, key) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD type = REG_EXPAND_SZ;
    std::vector<BYTE> data;
    const LONG read = platform::registry::ReadData(key.get(), L"Path", type, data);
    if (read != ERROR_SUCCESS && read != ERROR_FILE_NOT_FOUND) return false;
    // A value of another type is no PATH this program may rewrite.
    if (read == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) return false;
    std::wstring wide(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    while (!wide.empty() && wide.back() == L'\0') wide.pop_back();
    const std::string before = platform::Narrow(wide);
    const std::string after = WithFolderInPath(before, folder, present);
    // Nothing to change, also no value and nothing to take off: no empty
    // value is made.
    if (after == before) return true;
    if (after.empty()) {
        if (RegDeleteValueW(key.get(), L"Path") != ERROR_SUCCESS) return false;
    } else {
        const std::wstring value = platform::Widen(after);
        if (platform::registry::WriteData(key.get(), L"Path", read == ERROR_SUCCESS ? type : REG_EXPAND_SZ,
                                          value.c_str(), (value.size() + 1) * sizeof(wchar_t)) != ERROR_SUCCESS) {
            return false;
        }
    }
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
                        SMTO_ABORTIFHUNG, 5000, &ignored);
    return true;
}

}  // namespace app
