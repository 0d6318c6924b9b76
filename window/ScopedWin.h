// Owners for the window layer's handles (menus, GDI objects), beside the
// kernel, registry and COM owners of the platform layer.
#pragma once

#include <utility>

#include "platform/win32/ScopedWin.h"

#include <commctrl.h>

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
    ~ScopedMenu() { Reset(); }
    ScopedMenu(const ScopedMenu&) = delete;
    ScopedMenu& operator=(const ScopedMenu&) = delete;
    HMENU get() const { return menu_; }
    // The menu now belongs to someone else (a window, another menu).
    HMENU Release() { return std::exchange(menu_, nullptr); }
    void Reset(HMENU menu = nullptr) {
        if (menu_) DestroyMenu(menu_);
        menu_ = menu;
    }

private:
    HMENU menu_;
};

// An icon made for this program (LoadImage, CreateIcon): shared icons from
// LoadIcon are the system's and need no owner.
using ScopedIcon = platform::Scoped<HICON, DestroyIcon>;

// An image list (the common controls' ImageList_Destroy).
inline void DestroyImageList(HIMAGELIST list) { ImageList_Destroy(list); }
using ScopedImageList = platform::Scoped<HIMAGELIST, DestroyImageList>;

// An object selected into a device context, and selected out again, the
// context's earlier one back, when it goes.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? SelectObject(dc, object) : nullptr) {}
    ~ScopedSelect() {
        if (old_) SelectObject(dc_, old_);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
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
