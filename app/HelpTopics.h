// Which pages of "Corvane Split.chm" a help request opens, by what it was
// asked on. Portable.
#pragma once

#include <string>
#include <vector>

namespace app {

inline constexpr const char* kHelpFile = "\\Corvane Split.chm";

// The help file's paths after the installation folder, in the order they
// are opened: for F1 on a control (its id), or on a menu item (its command).
std::vector<std::string> HelpTopicsFor(int id, bool menuItem, bool splitMode);

}  // namespace app
