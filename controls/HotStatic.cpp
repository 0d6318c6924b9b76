#include "controls/HotStatic.h"

#include <shellapi.h>

namespace controls {

const window::ControlEntry<CHotStatic> CHotStatic::kMessages[3] = {
    {WM_PAINT, &CHotStatic::OnPaint},
    {WM_MOUSEMOVE, &CHotStatic::OnMouseMove},
    {WM_MOUSELEAVE, &CHotStatic::OnMouseLeave},
};

CHotStatic::~CHotStatic() {
    if (linkFont_) DeleteObject(linkFont_);
}

HFONT CHotStatic::LinkFont() {
    if (!linkFont_) {
        if (HFONT font = reinterpret_cast<HFONT>(SendMessageA(hwnd(), WM_GETFONT, 0, 0))) {
            LOGFONTA description;
            GetObjectA(font, sizeof description, &description);
            description.lfUnderline = TRUE;
            linkFont_ = CreateFontIndirectA(&description);
        }
    }
    return linkFont_;
}

LRESULT CHotStatic::OnPaint(WPARAM, LPARAM) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd(), &paint);
    HGDIOBJ old = nullptr;
    if (HFONT font = LinkFont()) old = SelectObject(dc, font);
    SetTextColor(dc, CurrentColour());
    SetBkMode(dc, TRANSPARENT);
    char text[512] = {};
    const int n = GetWindowTextA(hwnd(), text, sizeof text);
    TextOutA(dc, 0, 0, text, n);
    if (old) SelectObject(dc, old);
    EndPaint(hwnd(), &paint);
    return 0;
}

LRESULT CHotStatic::OnMouseMove(WPARAM, LPARAM) {
    if (tracking_) return 0;
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd(), 0};
    TrackMouseEvent(&track);
    tracking_ = hovering_ = true;
    RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return 0;
}

LRESULT CHotStatic::OnMouseLeave(WPARAM, LPARAM) {
    tracking_ = false;
    if (hovering_) {
        hovering_ = false;
        RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    return 0;
}

void CHotStatic::OnClicked() {
    if (address_.empty()) {
        std::string text(static_cast<size_t>(GetWindowTextLengthA(hwnd())) + 1, '\0');
        text.resize(static_cast<size_t>(GetWindowTextA(hwnd(), text.data(), static_cast<int>(text.size()))));
        address_ = text;
    }
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", address_.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        MessageBeep(0);
        return;
    }
    visited_ = true;
    RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

HBRUSH CHotStatic::OnCtlColor(HDC dc) {
    const LONG style = GetWindowLongA(hwnd(), GWL_STYLE);
    if (!(style & SS_NOTIFY)) SetWindowLongA(hwnd(), GWL_STYLE, style | SS_NOTIFY);
    const LONG type = style & 0xFF;
    if (type == SS_LEFT || type == SS_CENTER) return nullptr;
    if (HFONT font = LinkFont()) SelectObject(dc, font);
    SetTextColor(dc, visited_ ? visitedColour_ : linkColour_);
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

}  // namespace controls
