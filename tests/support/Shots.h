// Pictures of windows for scripts/screenshots.sh.
#pragma once

#include "platform/win32/WinApi.h"

#include <cstdlib>
#include <string>

namespace fake {

// With PARVEX_SHOTS naming a folder, every window is put on screen in turn; a
// file <name>.ready there asks scripts/screenshots.sh for a picture, which
// removes the file when it has one.
class Shots {
public:
    Shots() {
        if (const char* folder = std::getenv("PARVEX_SHOTS")) folder_ = folder;
    }
    bool enabled() const { return !folder_.empty(); }
    void Snap(const std::string& name) {
        Sleep(400);  // let the window finish painting
        const std::string ready = folder_ + "\\" + name + ".ready";
        CloseHandle(CreateFileA(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        for (int i = 0; i < 1000 && GetFileAttributesA(ready.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(20);
    }

private:
    std::string folder_;
};

}  // namespace fake
