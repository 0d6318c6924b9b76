#include "app/StatusArea.h"

#include <commctrl.h>

#include "engine/Texts.h"
#include "platform/win32/WideText.h"
#include "resources/resource.h"

namespace app {

bool StatusArea::Create(HWND parent, const RECT& place, std::string& problem) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
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
    MoveWindow(bar_, place.left, place.top, place.right - place.left, place.bottom - place.top, TRUE);
    RECT client;
    GetClientRect(bar_, &client);
    const int tenth = client.right * 10 / 100;
    int edges[4] = {tenth, 5 * tenth, 7 * tenth, -1};
    SendMessageW(bar_, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    if (!progress_) return;
    RECT part;
    SendMessageW(bar_, SB_GETRECT, kProgress, reinterpret_cast<LPARAM>(&part));
    MoveWindow(progress_, part.left, part.top, part.right - part.left, part.bottom - part.top, TRUE);
}

void StatusArea::SetPart(Part part, const std::string& text) {
    texts_[part] = text;
    if (bar_) SendMessageW(bar_, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(platform::Widen(text).c_str()));
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
