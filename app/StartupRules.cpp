#include "app/StartupRules.h"

#include "engine/base/Names.h"
#include "engine/set/SetFiles.h"

namespace app {

using engine::AsciiUpper;
using engine::EndsWithNoCase;

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    for (const std::string& arg : args) {
        if (!arg.empty() && (arg[0] == '-' || arg[0] == '/')) {
            const std::string name = arg.substr(1);
            if (name == "Embedding" || name == "Automation") line.automation = true;
            const std::string upper = AsciiUpper(name);
            if (upper == "REGSERVER") line.registration = RegistrationSwitch::Register;
            if (upper == "REGSERVERPERUSER") line.registration = RegistrationSwitch::RegisterForUser;
            if (upper == "UNREGSERVER" || upper == "UNREGSERVERPERUSER") line.registration = RegistrationSwitch::Unregister;
            if (upper == "ADDTOPATH") line.path = PathSwitch::Add;
            if (upper == "REMOVEFROMPATH") line.path = PathSwitch::Remove;
        } else {
            if (line.file.empty()) line.file = arg;
            line.files.push_back(arg);
        }
    }
    return line;
}

std::string WithFolderInPath(const std::string& value, const std::string& folder, bool present) {
    const auto bare = [](std::string text) {
        while (!text.empty() && (text.back() == '\\' || text.back() == ' ')) text.pop_back();
        return AsciiUpper(text);
    };
    const std::string mine = bare(folder);
    std::vector<std::string> kept;
    bool found = false;
    for (std::size_t begin = 0; !value.empty() && begin <= value.size();) {
        std::size_t end = value.find(';', begin);
        if (end == std::string::npos) end = value.size();
        std::string entry = value.substr(begin, end - begin);
        const bool ours = !mine.empty() && bare(entry) == mine;
        if (!ours || (present && !found)) kept.push_back(std::move(entry));
        found = found || ours;
        begin = end + 1;
    }
    if (present && !found) {
        if (!kept.empty() && kept.back().empty()) kept.pop_back();  // "a;" gets no second separator
        kept.push_back(folder);
    }
    std::string result;
    for (std::size_t i = 0; i < kept.size(); ++i) result += (i ? ";" : "") + kept[i];
    return result;
}

NamedFile ClassifyNamedFile(const std::string& path) {
    const std::string upper = AsciiUpper(path);
    if (engine::IsPieceFileName(upper)) {
        const std::string info = engine::InfoFileForPiece(upper);
        return {true, info.empty() ? upper : AsciiUpper(info)};
    }
    if (engine::IsInfoFileName(upper)) return {true, upper};
    if (const std::string info = engine::InfoFileForRecoveryFile(upper); !info.empty()) return {true, info};
    return {false, path};
}

}  // namespace app
