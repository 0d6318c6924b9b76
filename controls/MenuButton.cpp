#include "controls/MenuButton.h"

#include <commctrl.h>

#include "platform/win32/WideText.h"
#include "window/WindowText.h"

namespace controls {

window::ControlTable<MenuButton> MenuButton::Messages() {
    static constexpr window::ControlEntry<MenuButton> kRows[] = {
        {WM_LBUTTONDOWN, &MenuButton::OnLButtonDown}, {WM_LBUTTONUP, &MenuButton::OnLButtonUp},
        {WM_MOUSEMOVE, &MenuButton::OnMouseMove},     {WM_SETFOCUS, &MenuButton::OnSetFocus},
        {WM_KILLFOCUS, &MenuButton::OnKillFocus},     {WM_SYSCOLORCHANGE, &MenuButton::OnSysColorChange},
    };
    static_assert(window::EveryRowHasAHandler(kRows));
    return kRows;
}

MenuButton::MenuButton() : menu_(CreatePopupMenu()) {}

MenuButton::~MenuButton() = default;

bool MenuButton::Create(const std::string& caption, DWORD style, const RECT& rect, HWND parent, UINT id) {
    HWND button = CreateWindowExW(0, L"BUTTON", platform::Widen(caption).c_str(), style | BS_OWNERDRAW, rect.left,
                                  rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (!button) return false;
    owner_ = parent;
    Subclass(button);
    return true;
}

bool MenuButton::SetBitmap(UINT resourceId, COLORREF mask) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    bitmap_.Reset(LoadBitmapW(instance, MAKEINTRESOURCEW(resourceId)));
    if (!bitmap_.get()) return false;
    GetObjectW(bitmap_.get(), sizeof bitmapInfo_, &bitmapInfo_);
    images_.Reset(ImageList_LoadImageW(instance, MAKEINTRESOURCEW(resourceId), bitmapInfo_.bmWidth, 1, mask,
                                       IMAGE_BITMAP, 0));
    hasBitmap_ = true;
    mask_ = mask;
    COLORMAP toWhite{mask, RGB(255, 255, 255)};
    if (HBITMAP mapped = CreateMappedBitmap(instance, resourceId, 0, &toWhite, 1)) {
        disabled_.Reset(static_cast<HBITMAP>(
            CopyImage(mapped, IMAGE_BITMAP, bitmapInfo_.bmWidth, bitmapInfo_.bmHeight, LR_COPYDELETEORG)));
    }
    return hasBitmap_;
}

BOOL MenuButton::AddMenuItem(UINT id, const std::string& text, UINT flags) {
    const std::wstring wide = platform::Widen(text);
    const BOOL added = AppendMenuW(menu_.get(), flags, id, (flags & MF_SEPARATOR) ? nullptr : wide.c_str());
    if (added) hasMenuItems_ = true;
    return added;
}

LRESULT MenuButton::OnLButtonDown(WPARAM wParam, LPARAM lParam) {
    if (menuShown_) {
        menuShown_ = false;
        Repaint();
        return 0;
    }
    RECT rect;
    GetWindowRect(hwnd(), &rect);
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ClientToScreen(hwnd(), &at);
    if (hasMenuItems_ && at.x >= rect.right - kArrowArea && at.x < rect.right) {
        menuShown_ = true;
        Repaint();
        UpdateWindow(hwnd());
        TrackPopupMenu(menu_.get(), TPM_LEFTALIGN | TPM_LEFTBUTTON, rect.left, rect.bottom, 0, owner_, nullptr);
        menuShown_ = false;
        Repaint();
        // The face is not pressed by a click that opened the menu.
        return 0;
    }
    pressed_ = true;
    Repaint();
    return Default(WM_LBUTTONDOWN, wParam, lParam);
}

LRESULT MenuButton::OnLButtonUp(WPARAM wParam, LPARAM lParam) {
    if (pressed_) {
        pressed_ = false;
        Repaint();
    }
    return Default(WM_LBUTTONUP, wParam, lParam);
}

LRESULT MenuButton::OnMouseMove(WPARAM wParam, LPARAM lParam) {
    if (pressed_) {
        POINT at;
        GetCursorPos(&at);
        if (WindowFromPoint(at) != hwnd()) {
            pressed_ = false;
            ReleaseCapture();
            Repaint();
        }
    }
    return Default(WM_MOUSEMOVE, wParam, lParam);
}

LRESULT MenuButton::OnSetFocus(WPARAM wParam, LPARAM lParam) {
    const LRESULT result = Default(WM_SETFOCUS, wParam, lParam);
    Repaint();
    return result;
}

LRESULT MenuButton::OnKillFocus(WPARAM wParam, LPARAM lParam) { return Default(WM_KILLFOCUS, wParam, lParam); }

LRESULT MenuButton::OnSysColorChange(WPARAM wParam, LPARAM lParam) {
    const LRESULT result = Default(WM_SYSCOLORCHANGE, wParam, lParam);
    Repaint();
    return result;
}

bool MenuButton::IsDefault() const {
    const LRESULT id = SendMessageW(GetParent(hwnd()), DM_GETDEFID, 0, 0);
    return HIWORD(id) == DC_HASDEFID && LOWORD(id) == GetDlgCtrlID(hwnd());
}

void MenuButton::DrawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlType != ODT_BUTTON) return;
    HDC dc = item.hDC;
    const bool isDefault = IsDefault();
    const bool enabled = !(item.itemState & ODS_DISABLED);
    const bool focused = (item.itemState & ODS_FOCUS) != 0;
    const bool down = pressed_ && !menuShown_;

    const window::ScopedSelect font(dc, GetStockObject(DEFAULT_GUI_FONT));
    FillRect(dc, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));

    RECT r = item.rcItem;
    if (isDefault) InflateRect(&r, -1, -1);
    RECT f = r;
    InflateRect(&f, -4, -4);
    if (!menuShown_ && pressed_) OffsetRect(&f, 1, 1);
    f.right -= kArrowArea;

    if (!down) DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH);
    if (enabled && (isDefault || pressed_)) {
        FrameRect(dc, &item.rcItem, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        if (down) FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    if (!menuShown_) {
        if (focused || pressed_) DrawFocusRect(dc, &f);
        if (item.itemAction & ODA_FOCUS) DrawFocusRect(dc, &f);
    }

    const int shift = pressed_ ? 1 : 0;
    if (hasBitmap_) {
        const int x = item.rcItem.left + 6 + shift, y = item.rcItem.top + 6 + shift;
        if (!enabled && disabled_.get()) {
            DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(disabled_.get()), 0, x, y, bitmapInfo_.bmWidth,
                       bitmapInfo_.bmHeight, DST_BITMAP | DSS_DISABLED);
        } else if (images_) {
            ImageList_DrawEx(images_.get(), 0, dc, x, y, bitmapInfo_.bmWidth, bitmapInfo_.bmHeight, CLR_DEFAULT,
                             CLR_DEFAULT, ILD_NORMAL);
        }
    }

    const std::wstring caption = platform::Widen(window::TextOf(hwnd()));
    RECT text = f;
    text.left += bitmapInfo_.bmWidth + 2;
    SetBkMode(dc, TRANSPARENT);
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (enabled) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        DrawTextW(dc, caption.c_str(), -1, &text, format);
    } else {
        RECT shadow = text;
        OffsetRect(&shadow, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_WINDOW));
        DrawTextW(dc, caption.c_str(), -1, &shadow, format);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        DrawTextW(dc, caption.c_str(), -1, &text, format);
    }

    RECT d = item.rcItem;
    InflateRect(&d, -2, -2);
    d.right -= kArrowArea;
    const window::ScopedGdi<HPEN> shadowPen(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)));
    const window::ScopedGdi<HPEN> lightPen(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT)));
    {
        const window::ScopedSelect pen(dc, shadowPen.get());
        MoveToEx(dc, d.right, d.top, nullptr);
        LineTo(dc, d.right, d.bottom);
    }
    {
        const window::ScopedSelect pen(dc, lightPen.get());
        MoveToEx(dc, d.right + 1, d.top, nullptr);
        LineTo(dc, d.right + 1, d.bottom);
    }

    const int tipX = d.right + 1 + kArrowArea / 2 + shift;
    const int tipY = (d.top + d.bottom) / 2 + shift;
    SetPixel(dc, tipX, tipY, RGB(0, 0, 0));
    const COLORREF arrow = GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    for (int row = 1; row <= 3; ++row) {
        for (int dx = -row; dx <= row; ++dx) SetPixel(dc, tipX + dx, tipY - row, arrow);
    }

    if (menuShown_ && enabled) {
        RECT area{d.right + 1, d.top, item.rcItem.right, d.bottom};
        InflateRect(&area, 1, 1);
        DrawEdge(dc, &area, BDR_SUNKENOUTER, BF_RECT);
    }
}

}  // namespace controls
