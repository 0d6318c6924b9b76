#include "app/StatusArea.h"

#include <commctrl.h>

#include <algorithm>

#include "engine/base/Texts.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/WideText.h"
#include "resources/resource.h"

namespace app {

bool StatusArea::Create(HWND parent, const RECT& place, std::string& problem) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    parent_ = parent;
    bar_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NOPARENTALIGN | CCS_NORESIZE,
                           place.left, place.top, place.right - place.left, place.bottom - place.top, parent,
                           reinterpret_cast<HMENU>(IDC_STATUS_BAR), instance, nullptr);
    if (!bar_) {
        problem = texts::kNoStatusBar;
        return false;
    }
    progress_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | PBS_SMOOTH, 0, 0, 0, 0, bar_,
                                reinterpret_cast<HMENU>(IDC_PROGRESS_BAR), instance, nullptr);
    if (!progress_) {
        problem = texts::kNoProgressBar;
        return false;
    }
    Place(place);
    SendMessageW(progress_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    return true;
}

void StatusArea::Place(const RECT& place) {
    if (!bar_) return;
    // The window's own font, which follows its DPI, as its controls have.
    if (parent_) SendMessageW(bar_, WM_SETFONT, SendMessageW(parent_, WM_GETFONT, 0, 0), FALSE);
    MoveWindow(bar_, place.left, place.top, place.right - place.left, place.bottom - place.top, TRUE);
    Layout();
}

int StatusArea::TextWidth(const std::string& text) const {
    const platform::ScopedWindowDc dc(bar_);
    if (!dc.get()) return 0;
    const HGDIOBJ old = SelectObject(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(bar_, WM_GETFONT, 0, 0)));
    const std::wstring wide = platform::Widen(text);
    SIZE size{};
    GetTextExtentPoint32W(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &size);
    if (old) SelectObject(dc.get(), old);
    return size.cx;
}

// Each part as wide as its text (the mode and the size, speed and time left
// never cut), the progress bar at least a fifth, the destination what is
// left: at every DPI, since the widths are measured in the font shown.
void StatusArea::Layout() {
    RECT client;
    GetClientRect(bar_, &client);
    const int width = client.right;
    const int pad = TextWidth("MM");
    const int mode = std::max(TextWidth(texts_[kMode]), TextWidth("Rejoin")) + pad;
    const int size = std::max(TextWidth(texts_[kSize]), TextWidth("1.44 MB")) + pad;
    const int progress = std::max(width / 5, 1);
    const int destination = std::max(width - mode - size - progress, width / 6);
    int edges[4] = {mode, mode + destination, std::min(mode + destination + size, width - 1), -1};
    SendMessageW(bar_, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    if (!progress_) return;
    RECT part;
    SendMessageW(bar_, SB_GETRECT, kProgress, reinterpret_cast<LPARAM>(&part));
    MoveWindow(progress_, part.left, part.top, part.right - part.left, part.bottom - part.top, TRUE);
}

void StatusArea::SetPart(Part part, const std::string& text) {
    const bool wider = TextWidth(text) > TextWidth(texts_[part]);
    texts_[part] = text;
    if (!bar_) return;
    SendMessageW(bar_, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(platform::Widen(text).c_str()));
    if ((part == kMode || part == kSize) && wider) Layout();
}

void StatusArea::ShowProgress(bool visible) {
    if (!progress_) return;
    if (visible && !IsWindowVisible(progress_)) SendMessageW(progress_, PBM_SETPOS, 0, 0);
    ShowWindow(progress_, visible ? SW_SHOW : SW_HIDE);
}

void StatusArea::SetProgress(int percent) {
    if (progress_) SendMessageW(progress_, PBM_SETPOS, percent, 0);
}

void StatusArea::SetStep(int step) {
    if (progress_) SendMessageW(progress_, PBM_SETSTEP, step, 0);
}

}  // namespace app
