#include "window/Control.h"

namespace window {

namespace {
const wchar_t kSelf[] = L"window.Control";
}

Control::~Control() {
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        RemovePropW(hwnd_, kSelf);
    }
}

void Control::Subclass(HWND hwnd) {
    hwnd_ = hwnd;
    SetPropW(hwnd, kSelf, this);
    original_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Procedure)));
}

LRESULT Control::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(original_, hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Control::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<Control*>(GetPropW(hwnd, kSelf));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    bool handled = false;
    const LRESULT result = self->Dispatch(message, wParam, lParam, handled);
    if (handled) return result;
    const WNDPROC original = self->original_;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropW(hwnd, kSelf);
        self->hwnd_ = nullptr;
    }
    return CallWindowProcW(original, hwnd, message, wParam, lParam);
}

}  // namespace window
