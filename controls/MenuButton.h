// A push button with a drop-down area: the face clicks like a button, the
// 16-pixel area at its right edge opens a popup menu whose commands go to the
// owner window.
#pragma once

#include <string>

#include "window/Control.h"
#include "platform/win32/ScopedWin.h"

#include <commctrl.h>

namespace controls {

class MenuButton : public window::ControlImpl<MenuButton> {
public:
    MenuButton();
    ~MenuButton() override;

    bool Create(const std::string& caption, DWORD style, const RECT& rect, HWND parent, UINT id);
    bool SetBitmap(UINT resourceId, COLORREF mask);
    BOOL AddMenuItem(UINT id, const std::string& text, UINT flags);
    HMENU menu() const { return menu_.get(); }
    // The owner's WM_DRAWITEM for this button.
    void DrawItem(const DRAWITEMSTRUCT& item);
    // Whether it draws the default button's frame: only while the dialog's
    // default command is this button's. An owner-drawn button's style cannot
    // say so (its type bits hold BS_OWNERDRAW).
    bool IsDefault() const;

    static window::ControlTable<MenuButton> Messages();

private:
    LRESULT OnLButtonDown(WPARAM, LPARAM);
    LRESULT OnLButtonUp(WPARAM, LPARAM);
    LRESULT OnMouseMove(WPARAM, LPARAM);
    LRESULT OnSetFocus(WPARAM, LPARAM);
    LRESULT OnKillFocus(WPARAM, LPARAM);
    LRESULT OnSysColorChange(WPARAM, LPARAM);
    LRESULT OnKeyDown(WPARAM, LPARAM);
    LRESULT OnKeyUp(WPARAM, LPARAM);
    LRESULT OnSysKeyDown(WPARAM, LPARAM);
    LRESULT OnGetDlgCode(WPARAM, LPARAM);
    void OpenMenu();
    void Repaint() { InvalidateRect(hwnd(), nullptr, TRUE); }

    // At 96 DPI; scaled to the window's.
    static constexpr int kArrowArea = 16;
    int ArrowArea() const;
    // The image list and disabled image at the window's DPI, made again when
    // it changes (a move to another monitor).
    void ScaleImages(int dpi);

    platform::ScopedMenu menu_;
    platform::ScopedGdi<HBITMAP> bitmap_;
    platform::ScopedImageList images_;
    bool pressed_ = false;
    bool menuShown_ = false;
    bool hasMenuItems_ = false;
    bool hasBitmap_ = false;
    BITMAP bitmapInfo_{};
    HWND owner_ = nullptr;
    COLORREF mask_ = 0;
    platform::ScopedGdi<HBITMAP> disabled_;
    platform::ScopedGdi<HBITMAP> disabledSource_;
    int imagesDpi_ = 0;
    SIZE imageSize_{};
};

}  // namespace controls
