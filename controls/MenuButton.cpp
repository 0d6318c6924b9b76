#include "controls/MenuButton.h"

#include <commctrl.h>

#include "platform/win32/WideText.h"
#include "window/Dpi.h"
#include "window/WindowText.h"

namespace controls {

window::ControlTable<MenuButton> MenuButton::Messages() {
    static constexpr window::ControlEntry<MenuButton> kRows[] = {
        {WM_LBUTTONDOWN, &MenuButton::OnLButtonDown}, {WM_LBUTTONUP, &MenuButton::OnLButtonUp},
        {WM_MOUSEMOVE, &MenuButton::OnMouseMove},     {WM_SETFOCUS, &MenuButton::OnSetFocus},
        {WM_KILLFOCUS, &MenuButton::OnKillFocus},     {WM_SYSCOLORCHANGE, &MenuButton::OnSysColorChange},
        {WM_KEYDOWN, &MenuButton::OnKeyDown},         {WM_KEYUP, &MenuButton::OnKeyUp},
        {WM_SYSKEYDOWN, &MenuButton::OnSysKeyDown},   {WM_GETDLGCODE, &MenuButton::OnGetDlgCode},
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
    bitmap_.Reset(static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(resourceId), IMAGE_BITMAP, 0, 0, 0)));
    if (!bitmap_.get()) return false;
    GetObjectW(bitmap_.get(), sizeof bitmapInfo_, &bitmapInfo_);
    hasBitmap_ = true;
    mask_ = mask;
    COLORMAP toWhite{mask, RGB(255, 255, 255)};
    if (HBITMAP mapped = CreateMappedBitmap(instance, resourceId, 0, &toWhite, 1)) {
        disabledSource_.Reset(mapped);
    }
    imagesDpi_ = 0;
    ScaleImages(window::DpiOf(hwnd()));
    return hasBitmap_;
}

// Nearest-neighbour stretching keeps the mask colour exact, so the scaled
// image stays transparent where the original was.
void MenuButton::ScaleImages(int dpi) {
    if (!hasBitmap_ || dpi == imagesDpi_) return;
    imagesDpi_ = dpi;
    imageSize_ = {window::Scaled(bitmapInfo_.bmWidth, dpi), window::Scaled(bitmapInfo_.bmHeight, dpi)};
    images_.Reset(ImageList_Create(imageSize_.cx, imageSize_.cy, ILC_COLOR24 | ILC_MASK, 1, 0));
    if (HBITMAP scaled = static_cast<HBITMAP>(CopyImage(bitmap_.get(), IMAGE_BITMAP, imageSize_.cx, imageSize_.cy, 0))) {
        if (images_) ImageList_AddMasked(images_.get(), scaled, mask_);
        DeleteObject(scaled);
    }
    if (disabledSource_.get()) {
        disabled_.Reset(static_cast<HBITMAP>(
            CopyImage(disabledSource_.get(), IMAGE_BITMAP, imageSize_.cx, imageSize_.cy, 0)));
    }
}

int MenuButton::ArrowArea() const { return window::Scaled(kArrowArea, window::DpiOf(hwnd())); }

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
    if (hasMenuItems_ && at.x >= rect.right - ArrowArea() && at.x < rect.right) {
        // The face is not pressed by a click that opened the menu.
        OpenMenu();
        return 0;
    }
    pressed_ = true;
    Repaint();
    return Default(WM_LBUTTONDOWN, wParam, lParam);
}

void MenuButton::OpenMenu() {
    if (!hasMenuItems_) return;
    RECT rect;
    GetWindowRect(hwnd(), &rect);
    menuShown_ = true;
    Repaint();
    UpdateWindow(hwnd());
    TrackPopupMenu(menu_.get(), TPM_LEFTALIGN | TPM_LEFTBUTTON, rect.left, rect.bottom, 0, owner_, nullptr);
    menuShown_ = false;
    Repaint();
}

// The keys a drop-down opens with elsewhere in Windows: F4 and Alt+Down as in
// a combo box, and Space, since the menu holds every choice the face offers.
LRESULT MenuButton::OnKeyDown(WPARAM wParam, LPARAM lParam) {
    if (hasMenuItems_ && (wParam == VK_F4 || wParam == VK_SPACE)) {
        // The space the key also typed waits in the queue: the menu would
        // take it for an item's letter, find none and close (or beep).
        MSG typed;
        while (PeekMessageW(&typed, hwnd(), WM_CHAR, WM_CHAR, PM_REMOVE)) {
        }
        if (!(lParam & (1 << 30))) OpenMenu();  // not again for a held key
        return 0;
    }
    return Default(WM_KEYDOWN, wParam, lParam);
}

LRESULT MenuButton::OnKeyUp(WPARAM wParam, LPARAM lParam) {
    // The button's own Space release would click the face.
    if (hasMenuItems_ && wParam == VK_SPACE) return 0;
    return Default(WM_KEYUP, wParam, lParam);
}

LRESULT MenuButton::OnSysKeyDown(WPARAM wParam, LPARAM lParam) {
    if (hasMenuItems_ && (wParam == VK_DOWN || wParam == VK_UP)) {
        OpenMenu();
        return 0;
    }
    return Default(WM_SYSKEYDOWN, wParam, lParam);
}

// F4 reaches the button only if it asks for it; arrows without Alt still move
// between controls as the dialog manager does for any button.
LRESULT MenuButton::OnGetDlgCode(WPARAM wParam, LPARAM lParam) {
    LRESULT code = Default(WM_GETDLGCODE, wParam, lParam);
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (hasMenuItems_ && message && message->message == WM_KEYDOWN && message->wParam == VK_F4) {
        code |= DLGC_WANTMESSAGE;
    }
    return code;
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

    const int dpi = window::DpiOf(hwnd());
    ScaleImages(dpi);
    const int arrowArea = window::Scaled(kArrowArea, dpi);
    // The dialog's own font, which follows its DPI, rather than a stock one.
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(owner_, WM_GETFONT, 0, 0));
    const platform::ScopedSelect font(dc, dialogFont ? static_cast<HGDIOBJ>(dialogFont) : GetStockObject(DEFAULT_GUI_FONT));
    FillRect(dc, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));

    RECT r = item.rcItem;
    if (isDefault) InflateRect(&r, -1, -1);
    RECT f = r;
    InflateRect(&f, -4, -4);
    if (!menuShown_ && pressed_) OffsetRect(&f, 1, 1);
    f.right -= arrowArea;

    if (!down) DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH);
    if (enabled && (isDefault || pressed_)) {
        FrameRect(dc, &item.rcItem, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        if (down) FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    // The whole face was just painted: one focus mark, never a second one
    // that would wipe it out again.
    if (!menuShown_ && (focused || pressed_)) DrawFocusRect(dc, &f);

    const int shift = pressed_ ? 1 : 0;
    if (hasBitmap_) {
        const int x = item.rcItem.left + window::Scaled(6, dpi) + shift;
        const int y = (item.rcItem.top + item.rcItem.bottom - imageSize_.cy) / 2 + shift;
        if (!enabled && disabled_.get()) {
            DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(disabled_.get()), 0, x, y, imageSize_.cx,
                       imageSize_.cy, DST_BITMAP | DSS_DISABLED);
        } else if (images_) {
            ImageList_DrawEx(images_.get(), 0, dc, x, y, imageSize_.cx, imageSize_.cy, CLR_DEFAULT, CLR_DEFAULT,
                             ILD_NORMAL);
        }
    }

    const std::wstring caption = platform::Widen(window::TextOf(hwnd()));
    RECT text = f;
    text.left += imageSize_.cx + 2;
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
    d.right -= arrowArea;
    const platform::ScopedGdi<HPEN> shadowPen(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)));
    const platform::ScopedGdi<HPEN> lightPen(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT)));
    {
        const platform::ScopedSelect pen(dc, shadowPen.get());
        MoveToEx(dc, d.right, d.top, nullptr);
        LineTo(dc, d.right, d.bottom);
    }
    {
        const platform::ScopedSelect pen(dc, lightPen.get());
        MoveToEx(dc, d.right + 1, d.top, nullptr);
        LineTo(dc, d.right + 1, d.bottom);
    }

    // A downward triangle, as tall as the DPI makes three pixels.
    const int rows = window::Scaled(3, dpi);
    const int tipX = d.right + 1 + arrowArea / 2 + shift;
    const int tipY = (d.top + d.bottom) / 2 + (rows + 1) / 2 + shift;
    const COLORREF arrow = GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    const platform::ScopedGdi<HBRUSH> arrowBrush(CreateSolidBrush(arrow));
    const platform::ScopedGdi<HPEN> arrowPen(CreatePen(PS_SOLID, 1, arrow));
    {
        const platform::ScopedSelect pen(dc, arrowPen.get());
        const platform::ScopedSelect brush(dc, arrowBrush.get());
        const POINT corners[3] = {{tipX - rows, tipY - rows}, {tipX + rows, tipY - rows}, {tipX, tipY}};
        Polygon(dc, corners, 3);
    }

    if (menuShown_ && enabled) {
        RECT area{d.right + 1, d.top, item.rcItem.right, d.bottom};
        InflateRect(&area, 1, 1);
        DrawEdge(dc, &area, BDR_SUNKENOUTER, BF_RECT);
    }
}

}  // namespace controls
