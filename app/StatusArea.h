// The status bar under the main window's controls, in four parts (mode,
// destination, piece size, progress), with the progress bar in the last.
#pragma once

#include <string>

#include "platform/win32/WinApi.h"

namespace app {

class StatusArea {
public:
    enum Part { kMode = 0, kDestination = 1, kSize = 2, kProgress = 3 };

    // Made in the place of `place` (client coordinates of `parent`). False
    // with `problem` naming what could not be made.
    bool Create(HWND parent, const RECT& place, std::string& problem);

    // Moves it to `place`, its parts and progress bar with it.
    void Place(const RECT& place);
    void SetPart(Part part, const std::string& text);
    // What a part shows now, as set here.
    const std::string& PartText(Part part) const { return texts_[part]; }
    // A run's progress: shown from 0 for each new operation.
    void ShowProgress(bool visible);
    void SetProgress(int percent);
    void SetStep(int step);
    HWND bar() const { return bar_; }

private:
    void Layout();
    int TextWidth(const std::string& text) const;

    HWND parent_ = nullptr;
    HWND bar_ = nullptr;
    HWND progress_ = nullptr;
    std::string texts_[4];
};

}  // namespace app
