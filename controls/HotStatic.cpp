#include "controls/HotStatic.h"

#include <shellapi.h>

#include "platform/win32/WideText.h"
#include "window/WindowText.h"

namespace controls {

window::ControlTable<CHotStatic> CHotStatic::Messages() {
    static constexpr window::ControlEntry<CHotStatic> kRows[] = {
        {WM_PAINT, &CHotStatic::OnPaint},
        {WM_MOUSEMOVE, &CHotStatic::OnMouseMove},
        {WM_MOUSELEAVE, &CHotStatic::OnMouseLeave},
    };
    static_assert(window::EveryRowHasAHandler(kRows));
    return kRows;
}

HFONT CHotStatic::LinkFont() {
    if (!linkFont_.get()) {
        if (HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0))) {
            LOGFONTW description;
            GetObjectW(font, sizeof description, &description);
            description.lfUnderline = TRUE;
            linkFont_.Reset(CreateFontIndirectW(&description));
        }
    }
    return linkFont_.get();
}

LRESULT CHotStatic::OnPaint(WPARAM, LPARAM) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd(), &paint);
    {
        const platform::ScopedSelect font(dc, LinkFont());
        SetTextColor(dc, CurrentColour());
        SetBkMode(dc, TRANSPARENT);
        const std::wstring text = platform::Widen(window::TextOf(hwnd()));
        TextOutW(dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
    }
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
    if (address_.empty()) address_ = window::TextOf(hwnd());
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", platform::Widen(address_).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        MessageBeep(0);
        return;
    }
    visited_ = true;
    RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

HBRUSH CHotStatic::OnCtlColor(HDC dc) {
    const LONG style = GetWindowLongW(hwnd(), GWL_STYLE);
    if (!(style & SS_NOTIFY)) SetWindowLongW(hwnd(), GWL_STYLE, style | SS_NOTIFY);
    const LONG type = style & 0xFF;
    if (type == SS_LEFT || type == SS_CENTER) return nullptr;
    // The control paints with the context after this returns: the font
    // stays selected, and the context goes back to the system with it.
    if (HFONT font = LinkFont()) SelectObject(dc, font);
    SetTextColor(dc, visited_ ? visitedColour_ : linkColour_);
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

}  // namespace controls
