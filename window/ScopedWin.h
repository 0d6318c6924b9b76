// Owners for the window layer's handles (menus, GDI objects), beside the
// kernel, registry and COM owners of the platform layer.
#pragma once

#include <utility>

#include "platform/win32/ScopedWin.h"

namespace window {

using platform::ComPtr;
using platform::ComScope;
using platform::ScopedFind;
using platform::ScopedHandle;
using platform::ScopedKey;

// A menu that no window owns.
class ScopedMenu {
public:
    explicit ScopedMenu(HMENU menu = nullptr) : menu_(menu) {}
    ~ScopedMenu() {
        if (menu_) DestroyMenu(menu_);
    }
    ScopedMenu(const ScopedMenu&) = delete;
    ScopedMenu& operator=(const ScopedMenu&) = delete;
    HMENU get() const { return menu_; }
    // The menu now belongs to someone else (a window, another menu).
    HMENU Release() { return std::exchange(menu_, nullptr); }

private:
    HMENU menu_;
};

// A GDI object: font, bitmap, brush.
template <class T>
class ScopedGdi {
public:
    explicit ScopedGdi(T object = nullptr) : object_(object) {}
    ~ScopedGdi() {
        if (object_) DeleteObject(object_);
    }
    ScopedGdi(const ScopedGdi&) = delete;
    ScopedGdi& operator=(const ScopedGdi&) = delete;
    T get() const { return object_; }
    void Reset(T object) {
        if (object_) DeleteObject(object_);
        object_ = object;
    }

private:
    T object_;
};

}  // namespace window
