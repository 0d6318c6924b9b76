#include "app/AutomationRegistration.h"

#include <shlwapi.h>

#include <utility>

#include "app/AutoProxy.h"
#include "platform/win32/WideText.h"
#include "window/ScopedWin.h"

namespace app {

namespace {

const std::string kClsidKey = std::string("CLSID\\") + kHalvardClsidText;
const std::pair<HKEY, const char*> kMachine{HKEY_CLASSES_ROOT, ""};
const std::pair<HKEY, const char*> kUser{HKEY_CURRENT_USER, "Software\\Classes\\"};

bool SetDefault(HKEY root, const std::string& path, const std::string& value) {
    window::ScopedKey key;
    if (RegCreateKeyExW(root, platform::Widen(path).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Receive(),
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const std::wstring wide = platform::Widen(value);
    return RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                          static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::string Default(HKEY root, const std::string& path) {
    window::ScopedKey key;
    if (RegOpenKeyExW(root, platform::Widen(path).c_str(), 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) {
        return {};
    }
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
        return {};
    }
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
        ERROR_SUCCESS) {
        return {};
    }
    return platform::Narrow(value.c_str());
}

// A server's command line names `program`, quoted or not, in any case.
bool Names(const std::string& server, const std::string& program) {
    std::string path = server;
    if (path.size() >= 2 && path.front() == '"') path = path.substr(1, path.find('"', 1) - 1);
    return CompareStringOrdinal(platform::Widen(path).c_str(), -1, platform::Widen(program).c_str(), -1, TRUE) ==
           CSTR_EQUAL;
}

bool Write(const std::pair<HKEY, const char*>& where, const std::string& program) {
    const std::string prefix = where.second;
    return SetDefault(where.first, prefix + kHalvardProgId, kHalvardProgId) &&
           SetDefault(where.first, prefix + kHalvardProgId + "\\CLSID", kHalvardClsidText) &&
           SetDefault(where.first, prefix + kClsidKey, kHalvardProgId) &&
           SetDefault(where.first, prefix + kClsidKey + "\\ProgID", kHalvardProgId) &&
           SetDefault(where.first, prefix + kClsidKey + "\\LocalServer32", "\"" + program + "\"");
}

}  // namespace

void RegisterAutomation(const std::string& programPath, bool onlyIfMissing) {
    if (onlyIfMissing && Names(Default(kMachine.first, kClsidKey + "\\LocalServer32"), programPath)) return;
    if (!Write(kMachine, programPath)) Write(kUser, programPath);
}

void UnregisterAutomation(const std::string& programPath) {
    for (const auto& [root, prefix] : {kMachine, kUser}) {
        const std::string base = prefix;
        const std::string server = Default(root, base + kClsidKey + "\\LocalServer32");
        if (!server.empty() && !Names(server, programPath)) continue;
        SHDeleteKeyW(root, platform::Widen(base + kClsidKey).c_str());
        if (Default(root, base + kHalvardProgId + "\\CLSID") == kHalvardClsidText) {
            SHDeleteKeyW(root, platform::Widen(base + kHalvardProgId).c_str());
        }
    }
}

}  // namespace app
