// The run's progress on the taskbar button (ITaskbarList3): normal while it
// runs, paused while the user is asked whether to go on, red after a
// failure. Where the shell offers no such list (older systems, Wine), every
// call does nothing: the window shows the same itself.
#pragma once

#include <shobjidl.h>

#include <cstdint>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/WinApi.h"

namespace app {

class TaskbarProgress {
public:
    enum class State { None, Normal, Paused, Error };

    // Once the window exists (and again when the shell restarts).
    void Attach(HWND window);
    void Set(State state);
    void Value(std::uint64_t done, std::uint64_t total);

private:
    HWND window_ = nullptr;
    platform::ComPtr<ITaskbarList3> list_;
};

}  // namespace app
