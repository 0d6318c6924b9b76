// The shell's folder-browse dialog, rooted at the desktop, file-system
// folders only; COM is initialised around it.
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
