// Where the system finds "Halvard.Application": the class's LocalServer32
// names this program, quoted, so that a path with blanks starts it.
#pragma once

#include <string>

namespace app {

// Registers for the whole machine (HKEY_CLASSES_ROOT); where that is not
// allowed, for the user who runs the program. An ordinary start writes only
// when the machine does not already name this program, so that a copy the
// setup program registered never leaves per-user entries behind (which the
// uninstaller could not reach in other users' profiles). False when neither
// could be written.
bool RegisterAutomation(const std::string& programPath, bool onlyIfMissing);
// For the user alone (a per-user setup): nothing machine-wide is written.
bool RegisterAutomationForUser(const std::string& programPath);
// Removes the registrations of the machine and of this user, but only those
// that name this program (or none): another copy may own them by now. False
// when one of them could not be removed.
bool UnregisterAutomation(const std::string& programPath);

}  // namespace app
