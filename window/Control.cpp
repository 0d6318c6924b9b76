#include "window/Control.h"

namespace window {

namespace {
const char kSelf[] = "window.Control";
}

Control::~Control() {
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        RemovePropA(hwnd_, kSelf);
    }
}

void Control::Subclass(HWND hwnd) {
    hwnd_ = hwnd;
    SetPropA(hwnd, kSelf, this);
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Procedure)));
}

LRESULT Control::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(original_, hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Control::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<Control*>(GetPropA(hwnd, kSelf));
    if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
    bool handled = false;
    const LRESULT result = self->Dispatch(message, wParam, lParam, handled);
    if (handled) return result;
    const WNDPROC original = self->original_;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropA(hwnd, kSelf);
        self->hwnd_ = nullptr;
    }
    return CallWindowProcA(original, hwnd, message, wParam, lParam);
}

}  // namespace window
