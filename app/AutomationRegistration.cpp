#include "app/AutomationRegistration.h"

#include <shlwapi.h>

#include <utility>

#include "app/AutoProxy.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Registry.h"

namespace app {

namespace {

const std::string kClsidKey = std::string("CLSID\\") + kHalvardClsidText;
const std::pair<HKEY, const char*> kMachine{HKEY_CLASSES_ROOT, ""};
const std::pair<HKEY, const char*> kUser{HKEY_CURRENT_USER, "Software\\Classes\\"};

bool SetDefault(HKEY root, const std::string& path, const std::string& value) {
    return platform::registry::WriteString(root, platform::Widen(path), nullptr, platform::Widen(value)) == ERROR_SUCCESS;
}

std::string Default(HKEY root, const std::string& path) {
    std::wstring value;
    return platform::registry::ReadString(root, platform::Widen(path), nullptr, value) ? platform::Narrow(value)
                                                                                       : std::string();
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

bool RegisterAutomation(const std::string& programPath, bool onlyIfMissing) {
    if (onlyIfMissing && Names(Default(kMachine.first, kClsidKey + "\\LocalServer32"), programPath)) return true;
    return Write(kMachine, programPath) || Write(kUser, programPath);
}

bool RegisterAutomationForUser(const std::string& programPath) { return Write(kUser, programPath); }

bool UnregisterAutomation(const std::string& programPath) {
    bool removed = true;
    for (const auto& [root, prefix] : {kMachine, kUser}) {
        const std::string base = prefix;
        const std::string server = Default(root, base + kClsidKey + "\\LocalServer32");
        if (!server.empty() && !Names(server, programPath)) continue;
        const LONG code = SHDeleteKeyW(root, platform::Widen(base + kClsidKey).c_str());
        // A key that is not there is removed already.
        if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND) removed = false;
        if (Default(root, base + kHalvardProgId + "\\CLSID") == kHalvardClsidText) {
            const LONG id = SHDeleteKeyW(root, platform::Widen(base + kHalvardProgId).c_str());
            if (id != ERROR_SUCCESS && id != ERROR_FILE_NOT_FOUND) removed = false;
        }
    }
    return removed;
}

}  // namespace app
