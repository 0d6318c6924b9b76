// The dots per inch a window is drawn at: its monitor's under per-monitor
// awareness (Windows 10 and later), the system's before that.
#pragma once

#include "platform/win32/WinApi.h"

namespace window {

inline constexpr int kDefaultDpi = 96;

int DpiOf(HWND hwnd);
// `pixels` at 96 DPI, at the window's DPI.
inline int Scaled(int pixels, int dpi) { return MulDiv(pixels, dpi, kDefaultDpi); }

}  // namespace window
