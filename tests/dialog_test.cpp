// Our dialogs as real windows under Wine: a helper thread finds the window,
// reads and fills its controls and presses its buttons, as a user would.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/FileExistsDialog.h"
#include "resources/resource.h"
#include "support/WindowDriver.h"

namespace {

HWND WaitForWindow(const char* title) { return drive::WaitForDialog(GetCurrentProcessId(), title); }
std::string Text(HWND hwnd, int id) { return drive::ItemText(hwnd, id); }

// Three answers, each by its own button; Stop (also Esc and the close box)
// is the default, and saving under "the new name" needs one.
TEST(FileExistsDialog, ReplaceSaveAsOrStopAndOnlyReplaceReplaces) {
    const struct {
        int button;
        const char* typed;
        engine::FileExistsAnswer answer;
        const char* path;
    } cases[] = {
        {IDOK, "C:\\out\\renamed.avi", engine::FileExistsAnswer::Rename, "C:\\out\\renamed.avi"},
        {IDC_EXISTS_REPLACE, "C:\\out\\renamed.avi", engine::FileExistsAnswer::Overwrite, "C:\\out\\movie.avi"},
        {IDCANCEL, "C:\\out\\renamed.avi", engine::FileExistsAnswer::Stop, "C:\\out\\movie.avi"},
        {0, "C:\\out\\movie.avi", engine::FileExistsAnswer::Stop, "C:\\out\\movie.avi"},  // Enter, name unchanged
    };
    for (const auto& c : cases) {
        std::string seen, staticText;
        bool saveEnabledUnchanged = true;
        std::thread user([&] {
            HWND dialog = WaitForWindow("File already exists");
            ASSERT_NE(dialog, nullptr);
            seen = Text(dialog, IDC_SOURCE_PATH);
            staticText = Text(dialog, IDC_EXISTS_TEXT);
            saveEnabledUnchanged = IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE;
            SetDlgItemTextA(dialog, IDC_SOURCE_PATH, c.typed);
            if (c.button) {
                PostMessageA(GetDlgItem(dialog, c.button), BM_CLICK, 0, 0);
            } else {
                PostMessageA(dialog, WM_COMMAND, LOWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0)), 0);
            }
        });
        std::string path = "C:\\out\\movie.avi";
        const auto answer = app::FileExistsDialog::Ask(nullptr, path);
        user.join();
        EXPECT_EQ(seen, "C:\\out\\movie.avi");
        EXPECT_EQ(staticText,
                  "C:\\out\\movie.avi already exists.\nReplace it, save under a new name, or stop with nothing changed.");
        EXPECT_FALSE(saveEnabledUnchanged);
        EXPECT_EQ(answer, c.answer) << c.button;
        EXPECT_EQ(path, c.path) << c.button;
    }
}

// A path past 260 characters, and names in any script, come back whole.
TEST(FileExistsDialog, LongAndNonAsciiPathsComeBackWhole) {
    const std::string folder = "C:\\" + std::string(300, 'd') + "\\\u0444\u0438\u043b\u044c\u043c\u044b";
    std::string seen;
    std::thread user([&] {
        HWND dialog = WaitForWindow("File already exists");
        ASSERT_NE(dialog, nullptr);
        seen = Text(dialog, IDC_SOURCE_PATH);
        HWND field = GetDlgItem(dialog, IDC_SOURCE_PATH);
        SendMessageW(field, EM_SETSEL, static_cast<WPARAM>(-1), -1);
        SendMessageW(field, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"-\u590f \U0001F3D6.avi"));
        drive::Click(dialog, IDOK);
    });
    std::string path = folder + "\\summer.avi";
    EXPECT_EQ(app::FileExistsDialog::Ask(nullptr, path), engine::FileExistsAnswer::Rename);
    user.join();
    EXPECT_EQ(seen, folder + "\\summer.avi");
    EXPECT_EQ(path, folder + "\\summer.avi-\u590f \U0001F3D6.avi");
}

}  // namespace

#include "app/WindowHost.h"
#include "engine/worker/Controller.h"
#include "engine/ops/Prepare.h"
#include "platform/win32/Win32Platform.h"

namespace {

// A rejoin through the controller and the window's host: the output exists,
// the user renames it in the dialog, and confirms "Completed Successfully".
TEST(WindowHost, RejoinAsksAndConfirmsThroughRealWindows) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(temp) + "parvex-host-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir.c_str(), nullptr);
    auto write = [](const std::string& path, const std::string& data) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &n, nullptr);
        CloseHandle(h);
    };
    write(dir + "\\notes.txt", std::string(5000, 'n') + std::string(3000, 'm'));
    write(dir + "\\existing.txt", "keep me");

    platform::Win32Platform fs;
    app::WindowHost host;
    engine::OperationController controller(fs, host, host);
    auto start = [&](engine::Mode mode, const std::string& source) {
        engine::StartRequest request;
        request.mode = mode;
        request.sourceText = source;
        request.destinationText = dir;
        request.size.presetBytes = 4000;
        const engine::Prepared prepared = engine::PrepareJob(request, fs, {});
        EXPECT_TRUE(prepared.ok) << prepared.refusal.text;
        return prepared.ok && controller.Run(prepared.job, {});
    };
    std::string messageText, messageTitle;
    std::thread user([&] {
        // The split's notice has no window here; the rejoin asks and confirms.
        HWND exists = WaitForWindow("File already exists");
        ASSERT_NE(exists, nullptr);
        SetDlgItemTextA(exists, IDC_SOURCE_PATH, (dir + "\\renamed.txt").c_str());
        PostMessageA(GetDlgItem(exists, IDOK), BM_CLICK, 0, 0);
        HWND box = WaitForWindow("Corvane.Split");
        ASSERT_NE(box, nullptr);
        messageTitle = drive::TextOf(box);
        messageText = drive::BoxText(box);
        PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    });
    ASSERT_TRUE(start(engine::Mode::Split, dir + "\\notes.txt"));
    // The info file records notes.txt; make the output name collide.
    write(dir + "\\notes.txt", "an older file");
    ASSERT_TRUE(start(engine::Mode::Rejoin, dir + "\\notes.txt.sio"));
    user.join();
    EXPECT_EQ(controller.lastOutcome(), engine::Outcome::Completed);
    EXPECT_EQ(messageText, "Completed Successfully");
    EXPECT_EQ(messageTitle, "Corvane.Split");
    std::unique_ptr<engine::File> file;
    ASSERT_EQ(fs.Open(dir + "\\renamed.txt", {engine::Access::Read, engine::Share::Read, engine::Creation::OpenExisting, false}, file), 0u);
    std::uint64_t length = 0;
    file->Length(length);
    EXPECT_EQ(length, 8000u);
    file.reset();
    for (const char* name : {"notes.txt", "existing.txt", "renamed.txt", "notes.txt.sio", "notes.txt.0.spl",
                             "notes.txt.1.spl", "Go.bat"}) {
        DeleteFileA((dir + "\\" + name).c_str());
    }
    RemoveDirectoryA(dir.c_str());
}

}  // namespace

#include "app/AboutDialog.h"

namespace {

// The hyperlink label's colours: blue, red while hovered, a beep with no
// change for an address that cannot be opened, purple once one opened.
TEST(HotStatic, HoverAndOpening) {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string script = std::string(temp) + "parvex-link.bat";
    const std::string marker = std::string(temp) + "parvex-link.txt";
    DeleteFileA(marker.c_str());
    {
        std::FILE* out = std::fopen(script.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fprintf(out, "@echo opened> \"%s\"\r\n", marker.c_str());
        std::fclose(out);
    }
    // The real pointer must not hover the label: the box appears centred,
    // where an earlier test may have left it.
    SetCursorPos(0, 0);
    app::AboutDialog about;
    COLORREF before = 0, hovered = 0, after = 0, opened = 0;
    bool visited = true, visitedAfterOpen = false;
    std::thread user([&] {
        HWND dialog = WaitForWindow("About Corvane.Split");
        ASSERT_NE(dialog, nullptr);
        HWND label = GetDlgItem(dialog, IDC_WEBSITE);
        // The pointer the window appeared under may have passed over the
        // label already (Wine moves it when a window shows); it has left.
        SendMessageA(label, WM_MOUSELEAVE, 0, 0);
        before = about.website().CurrentColour();
        SendMessageA(label, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
        hovered = about.website().CurrentColour();
        SendMessageA(label, WM_MOUSELEAVE, 0, 0);
        after = about.website().CurrentColour();
        about.website().SetUrl("zz-no-such-scheme:nothing");
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_WEBSITE, STN_CLICKED), reinterpret_cast<LPARAM>(label));
        visited = about.website().visited();
        about.website().SetUrl(script);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_WEBSITE, STN_CLICKED), reinterpret_cast<LPARAM>(label));
        visitedAfterOpen = about.website().visited();
        // The window the shell opened may have passed a real pointer move to
        // the label meanwhile; the colour asked about is the one it keeps.
        SendMessageA(label, WM_MOUSELEAVE, 0, 0);
        opened = about.website().CurrentColour();
        PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    about.DoModal(nullptr);
    user.join();
    EXPECT_EQ(before, 0x00FF0000u);
    EXPECT_EQ(hovered, 0x000000FFu);
    EXPECT_EQ(after, 0x00FF0000u);
    EXPECT_FALSE(visited);
    EXPECT_TRUE(visitedAfterOpen);
    EXPECT_EQ(opened, 0x00800080u);
    // The shell really ran what the label named.
    EXPECT_TRUE(drive::WaitUntil([&] { return GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }));
    DeleteFileA(script.c_str());
    DeleteFileA(marker.c_str());
}

}  // namespace
