// The shell's folder-browse dialog, rooted at the desktop, file-system
// folders only; COM is initialised around it.
#pragma once

#include <string>

#include "platform/win32/WinApi.h"

namespace window {

// True with the chosen folder, false when the user cancelled.
bool BrowseForFolder(HWND owner, const char* title, std::string& folder);

}  // namespace window
