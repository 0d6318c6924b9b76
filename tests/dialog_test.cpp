// Our dialogs as real windows under Wine: a helper thread finds the window,
// reads and fills its controls and presses its buttons, as a user would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "app/FileExistsDialog.h"
#include "resources/resource.h"

namespace {

HWND WaitForWindow(const char* title) {
    for (int i = 0; i < 1000; ++i) {
        if (HWND hwnd = FindWindowA("#32770", title); hwnd && IsWindowVisible(hwnd)) return hwnd;
        Sleep(10);
    }
    return nullptr;
}

std::string Text(HWND hwnd, int id) {
    char text[1024] = {};
    GetDlgItemTextA(hwnd, id, text, sizeof text);
    return text;
}

// PARVEX_HOLD_MS keeps a window up for a look (a screenshot) before it is answered.
void HoldForALook() {
    if (const char* hold = std::getenv("PARVEX_HOLD_MS")) Sleep(std::atoi(hold));
}

TEST(FileExistsDialog, OkTakesTheNewPathCancelKeepsTheOld) {
    for (const bool ok : {true, false}) {
        std::string seen, staticText, caption;
        std::thread user([&] {
            HWND dialog = WaitForWindow("File already exists");
            ASSERT_NE(dialog, nullptr);
            seen = Text(dialog, IDC_SOURCE_PATH);
            staticText = Text(dialog, IDC_EXISTS_TEXT);
            HoldForALook();
            SetDlgItemTextA(dialog, IDC_SOURCE_PATH, "C:\\out\\renamed.avi");
            PostMessageA(GetDlgItem(dialog, ok ? IDOK : IDCANCEL), BM_CLICK, 0, 0);
        });
        std::string path = "C:\\out\\movie.avi";
        const auto answer = app::FileExistsDialog::Ask(nullptr, path);
        user.join();
        EXPECT_EQ(seen, "C:\\out\\movie.avi");
        EXPECT_EQ(staticText,
                  "A file with the same name already exists in the path. If you choose to overwrite the current "
                  "file click cancel. Else enter a new file name with the desired full path in the edit box and  "
                  "click OK. ");
        if (ok) {
            EXPECT_EQ(answer, engine::Host::FileExists::Rename);
            EXPECT_EQ(path, "C:\\out\\renamed.avi");
        } else {
            EXPECT_EQ(answer, engine::Host::FileExists::Overwrite);
            EXPECT_EQ(path, "C:\\out\\movie.avi");
        }
    }
}

TEST(FileExistsDialog, PathsAreLimitedToTheFieldLength) {
    std::thread user([&] {
        HWND dialog = WaitForWindow("File already exists");
        ASSERT_NE(dialog, nullptr);
        SendMessageA(GetDlgItem(dialog, IDC_SOURCE_PATH), EM_REPLACESEL, FALSE,
                     reinterpret_cast<LPARAM>(std::string(400, 'x').c_str()));
        PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    std::string path = "C:\\a";
    app::FileExistsDialog::Ask(nullptr, path);
    user.join();
    EXPECT_LE(path.size(), 260u);
}

}  // namespace
