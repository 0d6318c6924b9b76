// The user's PATH (HKEY_CURRENT_USER\Environment), for the setup's option to
// reach parvex-cli.exe from any console.
#pragma once

#include <string>

namespace app {

// Puts `folder` on the user's PATH once (`present`) or takes it off, keeping
// every other entry and the value's type; running programs are told. False
// when the value could not be read or written.
bool SetFolderOnUserPath(const std::string& folder, bool present);

}  // namespace app
