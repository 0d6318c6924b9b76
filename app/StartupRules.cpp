#include "app/StartupRules.h"

#include "engine/Names.h"
#include "engine/SetFiles.h"

namespace app {

using engine::AsciiUpper;
using engine::EndsWithNoCase;

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    for (const std::string& arg : args) {
        if (!arg.empty() && (arg[0] == '-' || arg[0] == '/')) {
            const std::string name = arg.substr(1);
            if (name == "Embedding" || name == "Automation") line.automation = true;
            if (AsciiUpper(name) == "REGSERVER") line.registration = RegistrationSwitch::Register;
            if (AsciiUpper(name) == "UNREGSERVER") line.registration = RegistrationSwitch::Unregister;
        } else if (line.file.empty()) {
            line.file = arg;
        }
    }
    return line;
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
