// Parvex.exe on a real removable drive: drive A: is a small tmpfs that Wine
// knows as a floppy drive, and tests/floppy.py changes its disk when this
// test asks, as a user would when the program says so. Runs only from
// tests/floppy_test.sh, which makes the drive (PARVEX_FLOPPY_WORK names its
// work folder); anywhere else it is skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "engine/base/Texts.h"
#include "platform/win32/WinApi.h"
#include "resources/resource.h"
#include "support/Pattern.h"
#include "support/WindowDriver.h"

namespace {

std::string WindowsFolder(const char* linux) {
    std::string path = std::string("Z:") + linux;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// Asks the disk changer for `what` ("empty", "first", "next") and waits
// until it has done it.
bool ChangeDisk(const std::string& work, const char* what) {
    DeleteFileA((work + "\\done").c_str());
    std::ofstream(work + "\\request.new") << what;
    MoveFileA((work + "\\request.new").c_str(), (work + "\\request").c_str());
    return drive::WaitUntil([&] { return GetFileAttributesA((work + "\\done").c_str()) != INVALID_FILE_ATTRIBUTES; },
                            60000);
}

// Answers the program's boxes until the one captioned `last` comes: a
// request for a disk is answered by changing it (`change`), then OK.
// Returns how many disks were asked for, or -1 on a box of another kind.
int AnswerUntil(drive::Program& program, HWND main, const std::string& work, const char* change,
                const std::string& request, const std::string& last, const std::string& lastText = "") {
    for (int asked = 0; asked < 30;) {
        HWND box = nullptr;
        drive::WaitUntil([&] { return (box = drive::FindDialog(program.pid(), "", main)) != nullptr; }, 120000);
        if (!box) return -1;
        const std::string caption = drive::TextOf(box);
        if (caption == last) {
            if (!lastText.empty()) {
                EXPECT_EQ(drive::BoxText(box), lastText);
            }
            drive::Click(box, IDOK);
            return asked;
        }
        const std::string text = drive::BoxText(box);
        if (text != request) {
            ADD_FAILURE() << caption << ": " << text;
            return -1;
        }
        ++asked;
        if (!ChangeDisk(work, change)) return -1;
        drive::Click(box, IDOK);
        drive::WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
    }
    return -1;
}

TEST(FloppyWindow, SplitsOntoDisksAndRejoinsFromThem) {
    const char* linux = std::getenv("PARVEX_FLOPPY_WORK");
    if (!linux) GTEST_SKIP() << "needs drive A: made by tests/floppy_test.sh";
    const std::string work = WindowsFolder(linux);
    ASSERT_TRUE(drive::WaitUntil([&] { return GetFileAttributesA((work + "\\done").c_str()) != INVALID_FILE_ATTRIBUTES; },
                                 60000));
    const support::Bytes data = support::Pattern(3500000, 77);
    drive::TempFolder dir;
    dir.Write("film.bin", data);
    dir.MakeFolder("back");
    drive::Program program(drive::WindowsPath(PARVEX_EXE));
    // The first start in a prefix made moments before may take a while.
    HWND main = program.Main(60000);
    ASSERT_NE(main, nullptr);
    drive::Command(main, ID_PRESET_FLOPPY);
    drive::SetItemText(main, IDC_SOURCE_PATH, dir.path + "\\film.bin");
    drive::SetItemText(main, IDC_DESTINATION_PATH, "A:\\");
    drive::Click(main, IDC_START);
    const int filled = AnswerUntil(program, main, work, "empty", texts::kInsertDisk, "Read This");
    ASSERT_GE(filled, 2) << "a file of three floppies' size";
    ASSERT_TRUE(drive::WaitUntil([&] { return IsWindowEnabled(GetDlgItem(main, IDC_START)) != FALSE; }, 60000));

    ASSERT_TRUE(ChangeDisk(work, "first"));
    SendMessageW(main, WM_COMMAND, IDC_REJOIN_MODE, 0);
    drive::SetItemText(main, IDC_SOURCE_PATH, "A:\\film.bin.sio");
    drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path + "\\back");
    drive::Click(main, IDC_START);
    EXPECT_EQ(AnswerUntil(program, main, work, "next", texts::kNextDisk, texts::kAppTitle, texts::kCompleted), filled);
    ASSERT_TRUE(drive::WaitUntil([&] { return IsWindowEnabled(GetDlgItem(main, IDC_START)) != FALSE; }, 60000));
    EXPECT_TRUE(dir.Read("back\\film.bin") == std::string(data.begin(), data.end()));
    drive::Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

}  // namespace
