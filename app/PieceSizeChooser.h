// The piece-size button of the main window: its face chooses a size in
// bytes, its drop-down menu the presets and the units of a custom size.
#pragma once

#include "controls/MenuButton.h"

namespace app {

class PieceSizeChooser {
public:
    // Made in the place of `place` (client coordinates of `parent`).
    bool Create(HWND parent, const RECT& place);
    // The check mark goes to `command` alone.
    void Check(unsigned command);
    void Enable(bool enable) { EnableWindow(button_.hwnd(), enable); }
    void Show(bool visible) { ShowWindow(button_.hwnd(), visible ? SW_SHOW : SW_HIDE); }
    void DrawItem(const DRAWITEMSTRUCT& item) { button_.DrawItem(item); }
    HWND hwnd() const { return button_.hwnd(); }
    const controls::MenuButton& button() const { return button_; }

private:
    controls::MenuButton button_;
};

}  // namespace app
