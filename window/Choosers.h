// The folder chooser: the shell's item dialog picking folders, or its
// folder tree where the system has none; COM is initialised around it.
#pragma once

#include <string>

#include "platform/win32/WinApi.h"

namespace window {

enum class Browsed {
    Chosen,     // `folder` holds the choice
    Cancelled,  // the user closed the dialog
    NoPath,     // the choice has no path the system can give (too long)
};
// `folder` on entry, when it names one, is where the dialog opens.
Browsed BrowseForFolder(HWND owner, const char* title, std::string& folder);

}  // namespace window
