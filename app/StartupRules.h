// Portable rules of the program's start-up: the command line and how a file
// named on it (or handed over later) is opened.
#pragma once

#include <string>
#include <vector>

namespace app {

// "RegServer" and "UnregServer", the usual switches of a local COM server,
// let a setup program write or remove the automation registration without
// the window ever showing.
// "RegServerPerUser" registers for the user alone, as a per-user setup needs.
enum class RegistrationSwitch { None, Register, RegisterForUser, Unregister };
// "AddToPath" and "RemoveFromPath": the setup's option to put the program's
// folder (and so parvex-cli.exe) on the user's PATH, and the uninstaller's
// taking it off again.
enum class PathSwitch { None, Add, Remove };

struct CommandLine {
    std::string file;         // the first argument that is not a switch
    std::vector<std::string> files;  // every argument that is not a switch
    bool automation = false;  // started by the automation system
    RegistrationSwitch registration = RegistrationSwitch::None;
    PathSwitch path = PathSwitch::None;
};

// Arguments after the program name. A switch begins with '-' or '/'; the
// registration switches are compared without regard to case.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// A PATH value with `folder` in it once (`present`) or not at all: entries
// compare without regard to case or a final backslash, every other entry
// stays as it was, in its place.
std::string WithFolderInPath(const std::string& value, const std::string& folder, bool present);

struct NamedFile {
    bool rejoin;             // a piece or an info file
    std::string sourceText;  // what goes into the source field
};

// A ".spl" or ".sio" name (any case) opens Rejoin mode with the upper-case
// info-file path; a piece's info file is found by its second-to-last dot.
// Any other name opens as it is.
NamedFile ClassifyNamedFile(const std::string& path);

}  // namespace app
