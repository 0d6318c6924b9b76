// Pictures of windows for scripts/screenshots.sh.
#pragma once

#include "platform/win32/WinApi.h"

#include <cstdlib>
#include <string>

#include "support/WindowDriver.h"

namespace support {

// With PARVEX_SHOTS naming a folder, every window is put on screen in turn; a
// file <name>.ready there asks scripts/screenshots.sh for a picture, which
// removes the file when it has one.
class Shots {
public:
    Shots() {
        if (const char* folder = std::getenv("PARVEX_SHOTS")) folder_ = folder;
    }
    bool enabled() const { return !folder_.empty(); }
    // `window` is painted completely before the picture is asked for.
    void Snap(const std::string& name, HWND window) {
        if (window) {
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        }
        const std::string ready = folder_ + "\\" + name + ".ready";
        CloseHandle(CreateFileA(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        drive::WaitUntil([&] { return GetFileAttributesA(ready.c_str()) == INVALID_FILE_ATTRIBUTES; }, 20000);
    }

private:
    std::string folder_;
};

}  // namespace support
