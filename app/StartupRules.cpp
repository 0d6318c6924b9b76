#include "app/StartupRules.h"

#include <cctype>

#include "engine/Names.h"

namespace app {

namespace {
std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}
bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    for (const std::string& arg : args) {
        if (!arg.empty() && (arg[0] == '-' || arg[0] == '/')) {
            const std::string name = arg.substr(1);
            if (name == "Embedding" || name == "Automation") line.automation = true;
            if (Upper(name) == "REGSERVER") line.registration = RegistrationSwitch::Register;
            if (Upper(name) == "UNREGSERVER") line.registration = RegistrationSwitch::Unregister;
        } else if (line.file.empty()) {
            line.file = arg;
        }
    }
    return line;
}

NamedFile ClassifyNamedFile(const std::string& path) {
    const std::string upper = Upper(path);
    if (EndsWith(upper, ".SPL")) {
        const std::string info = engine::InfoFileForPiece(upper);
        return {true, info.empty() ? upper : Upper(info)};
    }
    if (EndsWith(upper, ".SIO")) return {true, upper};
    return {false, path};
}

}  // namespace app
