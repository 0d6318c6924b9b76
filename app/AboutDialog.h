// The About box: the program's version and three hyperlink labels.
#pragma once

#include "controls/HotStatic.h"
#include "window/Dialog.h"

namespace app {

inline constexpr const char* kWebsite = "http://www.corvane.example";
inline constexpr const char* kSales = "mailto:shop@corvane.example";
inline constexpr const char* kSupport = "mailto:support@corvane.example";

class AboutDialog : public window::DialogImpl<AboutDialog> {
public:
    AboutDialog();
    static window::MessageTable<AboutDialog> Messages();

    controls::CHotStatic& website() { return website_; }

private:
    INT_PTR OnInitDialog(WPARAM, LPARAM);
    INT_PTR OnClose(WPARAM, LPARAM);
    INT_PTR OnLabelCommand(WPARAM, LPARAM);
    INT_PTR OnCtlColorStatic(WPARAM, LPARAM);
    controls::CHotStatic* Label(HWND control);

    controls::CHotStatic support_, sales_, website_;
};

}  // namespace app
