// A static text that behaves like a hyperlink: underlined in the link colour,
// red while the mouse is over it, purple once its address has been opened.
#pragma once

#include <string>

#include "window/Control.h"
#include "platform/win32/ScopedWin.h"

namespace controls {

class CHotStatic : public window::ControlImpl<CHotStatic> {
public:

    void Attach(HWND label) { Subclass(label); }
    void SetUrl(const std::string& address) { address_ = address; }

    // Reflected from the parent: a click (STN_CLICKED) and the colour request.
    void OnClicked();
    HBRUSH OnCtlColor(HDC dc);

    // The colour the text is drawn in now.
    COLORREF CurrentColour() const { return hovering_ ? hoverColour_ : visited_ ? visitedColour_ : linkColour_; }
    bool visited() const { return visited_; }

    static window::ControlTable<CHotStatic> Messages();

private:
    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnMouseMove(WPARAM, LPARAM);
    LRESULT OnMouseLeave(WPARAM, LPARAM);
    HFONT LinkFont();

    COLORREF linkColour_ = 0x00FF0000;
    COLORREF visitedColour_ = 0x00800080;
    COLORREF hoverColour_ = 0x000000FF;
    bool hovering_ = false;
    bool tracking_ = false;
    bool visited_ = false;
    platform::ScopedGdi<HFONT> linkFont_;
    std::string address_;
};

}  // namespace controls
