// The main window grows or shrinks to show or hide the settings pane, in
// steps on a timer so that the window stays responsive, then is centred on
// the screen.
#pragma once

#include "platform/win32/WinApi.h"

namespace app {

class PaneSlide {
public:
    static constexpr UINT_PTR kTimer = 0x5D1;

    // Moves the bottom edge of `window` by `delta` pixels (negative: up).
    // A hidden window, or one that is still sliding, gets there at once.
    void Start(HWND window, int delta);
    // WM_TIMER: true when it was this slide's.
    bool OnTimer(WPARAM id);
    bool sliding() const { return steps_ > 0; }

private:
    void Finish();

    HWND window_ = nullptr;
    RECT now_{};
    int step_ = 0;
    int steps_ = 0;
    int finalHeight_ = 0;
};

}  // namespace app
