// What the settings and the window do with folders outside any run: tell
// whether one is there, make one the user asked for, make one the current
// folder. Apart from the engines' seam, which needs none of it.
#pragma once

#include <string>

#include "engine/base/Platform.h"

namespace platform {

class DesktopFolders {
public:
    virtual ~DesktopFolders() = default;
    virtual bool IsFolder(const std::string& path) = 0;
    // One level; the parent must exist.
    virtual engine::ErrorCode CreateFolder(const std::string& path) = 0;
    virtual engine::ErrorCode SetCurrentFolder(const std::string& path) = 0;
};

}  // namespace platform
