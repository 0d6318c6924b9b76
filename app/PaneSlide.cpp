#include "app/PaneSlide.h"

namespace app {

namespace {
constexpr int kStep = 25;
constexpr UINT kInterval = 10;  // milliseconds
}  // namespace

void PaneSlide::Start(HWND window, int delta) {
    if (sliding()) Finish();
    window_ = window;
    GetWindowRect(window, &now_);
    finalHeight_ = now_.bottom - now_.top + delta;
    step_ = delta > 0 ? kStep : -kStep;
    steps_ = (delta > 0 ? delta : -delta) / kStep - 1;
    if (!IsWindowVisible(window) || steps_ <= 0) {
        Finish();
        return;
    }
    SetTimer(window, kTimer, kInterval, nullptr);
}

bool PaneSlide::OnTimer(WPARAM id) {
    if (id != kTimer) return false;
    if (steps_ <= 0) {
        KillTimer(window_, kTimer);
        return true;
    }
    now_.bottom += step_;
    MoveWindow(window_, now_.left, now_.top, now_.right - now_.left, now_.bottom - now_.top, TRUE);
    if (--steps_ == 0) Finish();
    return true;
}

void PaneSlide::Finish() {
    KillTimer(window_, kTimer);
    steps_ = 0;
    const int width = now_.right - now_.left;
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    MoveWindow(window_, (screenWidth - width) / 2, (screenHeight - finalHeight_) / 2, width, finalHeight_, TRUE);
}

}  // namespace app
