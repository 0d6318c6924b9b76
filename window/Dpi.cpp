#include "window/Dpi.h"

#include "platform/win32/ScopedWin.h"

namespace window {

int DpiOf(HWND hwnd) {
    // Looked up, not linked: Windows 7 and 8 have no GetDpiForWindow.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && hwnd) {
        if (const UINT dpi = getDpiForWindow(hwnd)) return static_cast<int>(dpi);
    }
    const platform::ScopedWindowDc screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSX) : kDefaultDpi;
    return dpi > 0 ? dpi : kDefaultDpi;
}

}  // namespace window
