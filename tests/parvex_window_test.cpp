// The real Parvex.exe, started and driven from outside as a user would:
// through its windows, with messages that cross processes safely. Every
// wait is for a condition: a window present, a control enabled, a file made.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/WinApi.h"

#include <shlobj.h>

#include "engine/base/Names.h"
#include "engine/io/RunOutputs.h"
#include "engine/ops/RunJob.h"
#include "engine/ops/Prepare.h"
#include "engine/base/Texts.h"
#include "engine/set/SplitInfo.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WideText.h"
#include "settings/SettingsStore.h"
#include "resources/resource.h"
#include "support/Shots.h"
#include "support/SplitFixture.h"
#include "support/WindowDriver.h"

namespace {

using drive::Click;
using drive::ItemText;
using drive::TextOf;

std::string ProgramPath() { return drive::WindowsPath(PARVEX_EXE); }

class Parvex : public drive::Program {
public:
    // As at a first start, unless the test is about what an earlier one left.
    explicit Parvex(const std::string& args = "", bool remembering = false)
        : Program(Starting(remembering), args) {}

private:
    static std::string Starting(bool remembering) {
        if (!remembering) drive::ForgetRemembered();
        return ProgramPath();
    }
};

// The main window is disabled while a box it owns is open or a run goes on.
bool WaitUntilUsable(HWND main) {
    return drive::WaitUntil([&] { return IsWindowEnabled(main) && IsWindowEnabled(GetDlgItem(main, IDC_START)); },
                            60000);
}

// A right-click on the tray icon; its menu, once open. Under Wine the focus
// moves off the hidden window some time after it hides, and a menu opened
// before that is closed again by the move: wait for the move, and ask again
// while no menu stays open.
HWND RightClickTrayIcon(HWND main, DWORD process) {
    drive::WaitUntil([&] { return GetForegroundWindow() != main; }, 2000);
    for (int attempt = 0; attempt < 5; ++attempt) {
        PostMessageW(main, WM_USER + 52, 143, WM_RBUTTONUP);
        HWND menu = nullptr;
        if (drive::WaitUntil([&] { return (menu = drive::FindTopLevel(process, "#32768")) != nullptr; }, 2000)) {
            return menu;
        }
    }
    return nullptr;
}

TEST(ParvexWindow, StartsWithAPieceInRejoinMode) {
    drive::TempFolder dir;
    dir.Write("film.avi.sio", support::Bytes(268));
    dir.Write("film.avi.3.spl", support::Bytes(5));
    Parvex program("\"" + dir.path + "\\film.avi.3.spl\"");
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    const std::string upper = engine::AsciiUpper(dir.path + "\\FILM.AVI.SIO");
    EXPECT_EQ(ItemText(main, IDC_SOURCE_PATH), upper);
    EXPECT_EQ(TextOf(main), upper);
    EXPECT_EQ(IsDlgButtonChecked(main, IDC_REJOIN_MODE), BST_CHECKED);
    EXPECT_EQ(ItemText(main, IDC_START), "&Rejoin");
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(main, IDC_SIZE_BUTTON)));
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

// Several files named on the command line (a selection in Explorer) are a
// queue: each set rejoined beside itself in turn, and a summary after.
TEST(ParvexWindow, StartsWithSeveralSetsAndRejoinsEach) {
    drive::TempFolder dir;
    for (const char* name : {"a.bin", "b.bin"}) {
        const auto info = engine::EncodeSplitInfo({2, name, 5});
        dir.Write(std::string(name) + ".sio", support::Bytes(info.begin(), info.end()));
        dir.Write(std::string(name) + ".0.spl", support::Bytes{1, 2, 3});
        dir.Write(std::string(name) + ".1.spl", support::Bytes{4, 5});
    }
    Parvex program("\"" + dir.path + "\\a.bin.sio\" \"" + dir.path + "\\b.bin.1.spl\"");
    EXPECT_EQ(drive::AnswerBox(program.pid(), "Corvane.Split", IDOK, 60000), "A.BIN.SIO: done\nB.BIN.SIO: done\n");
    EXPECT_EQ(dir.Read("a.bin"), std::string("\x01\x02\x03\x04\x05"));
    EXPECT_EQ(dir.Read("b.bin"), std::string("\x01\x02\x03\x04\x05"));
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    WaitUntilUsable(main);
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

TEST(ParvexWindow, StartsWithAFileInSplitModeOrSaysItIsMissing) {
    drive::TempFolder dir;
    dir.Write("notes.txt", support::Bytes(12345));
    {
        Parvex program("/p \"" + dir.path + "\\notes.txt\"");
        HWND main = program.Main();
        ASSERT_NE(main, nullptr);
        EXPECT_EQ(ItemText(main, IDC_SOURCE_PATH), dir.path + "\\notes.txt");
        EXPECT_EQ(ItemText(main, IDC_FILE_SIZE), "File size is 12,345 bytes");
        EXPECT_EQ(TextOf(main).rfind("Corvane.Split: ", 0), 0u);
        EXPECT_EQ(IsDlgButtonChecked(main, IDC_SPLIT_MODE), BST_CHECKED);
        // What a split will make, before it starts: nothing at a piece size
        // the split would refuse (larger than the file), then its pieces.
        EXPECT_EQ(ItemText(main, IDC_PLAN_TEXT), "");
        drive::Command(main, ID_UNIT_BYTES);
        drive::SetItemText(main, IDC_CUSTOM_SIZE, "5000");
        EXPECT_TRUE(drive::WaitUntil([&] {
            return ItemText(main, IDC_PLAN_TEXT) == "\xE2\x86\x92 3 pieces of 5.0 KB\nwithout recovery data";
        })) << ItemText(main, IDC_PLAN_TEXT);
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.Ended());
    }
    {
        Parvex program("\"" + dir.path + "\\gone.txt\"");
        EXPECT_EQ(drive::AnswerBox(program.pid(), "Corvane.Split", IDOK),
                  "File does not exist or\ncould not be accessed");
        HWND main = program.Main();
        EXPECT_EQ(ItemText(main, IDC_SOURCE_PATH), "");
        Click(main, IDCANCEL);
        EXPECT_TRUE(program.Ended());
    }
}

TEST(ParvexWindow, SplitsAndRejoinsThroughTheWindow) {
    drive::TempFolder dir;
    const support::Bytes data = support::Pattern(25000000);
    dir.Write("movie.avi", data);
    dir.MakeFolder("back");
    Parvex program;
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    // 10 MB pieces, chosen from the piece-size menu's command.
    drive::Command(main, ID_PRESET_10MB);
    drive::SetItemText(main, IDC_SOURCE_PATH, dir.path + "\\movie.avi");
    drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path);
    Click(main, IDC_START);
    HWND notice = program.Dialog("Read This", 60000);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(ItemText(notice, IDC_NOTICE_1).rfind("Successfully sliced. ", 0), 0u);
    Click(notice, IDOK);
    // Usable again once the notice, the run's last word, is answered.
    EXPECT_TRUE(WaitUntilUsable(main));
    EXPECT_EQ(dir.Size("movie.avi.0.spl"), 10000000u);
    EXPECT_EQ(dir.Size("movie.avi.2.spl"), 5000000u);
    // The record every reader knows, then the trailer with the name and a
    // checksum of each of the three pieces.
    EXPECT_EQ(dir.Size("movie.avi.sio"), 268u + 56 + 9 + 3 * 16 + 8);

    WaitUntilUsable(main);
    SendMessageW(main, WM_COMMAND, IDC_REJOIN_MODE, 0);
    EXPECT_EQ(ItemText(main, IDC_START), "&Rejoin");
    EXPECT_EQ(ItemText(main, IDC_SOURCE_PATH), "");  // Rejoin keeps its own fields
    drive::SetItemText(main, IDC_SOURCE_PATH, dir.path + "\\movie.avi.sio");
    drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path + "\\back");
    Click(main, IDC_START);
    EXPECT_EQ(drive::AnswerBox(program.pid(), "Corvane.Split", IDOK, 60000), "Completed Successfully");
    WaitUntilUsable(main);
    EXPECT_EQ(dir.Size("back\\movie.avi"), 25000000u);

    SendMessageW(main, WM_COMMAND, IDC_SPLIT_MODE, 0);
    EXPECT_EQ(ItemText(main, IDC_SOURCE_PATH), dir.path + "\\movie.avi");  // Split's values are back
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

// Names in any script and a path past 260 characters, typed into the
// fields: the split and the rejoin give the exact file back.
TEST(ParvexWindow, NamesInAnyScriptOnALongPath) {
    drive::TempFolder dir;
    std::string deep = "\u6620\u753b \u0444\u0438\u043b\u044c\u043c\u044b \U0001F3AC";
    dir.MakeFolder(deep);
    for (char c : {'p', 'q', 'r', 's'}) dir.MakeFolder(deep += "\\" + std::string(60, c));
    dir.MakeFolder(deep + "\\back");
    const std::string name = "\u0142\u00f3d\u017a caf\u00e9 \u6620\u753b \U0001F3AC.bin";
    const std::string folder = dir.path + "\\" + deep;
    ASSERT_GT(folder.size() + name.size(), 300u);
    const support::Bytes data = support::Pattern(3000000);
    dir.Write(deep + "\\" + name, data);
    Parvex program;
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    drive::Command(main, ID_PRESET_FLOPPY);
    drive::SetItemText(main, IDC_SOURCE_PATH, folder + "\\" + name);
    drive::SetItemText(main, IDC_DESTINATION_PATH, folder);
    Click(main, IDC_START);
    HWND notice = program.Dialog("Read This", 60000);
    ASSERT_NE(notice, nullptr);
    Click(notice, IDOK);
    EXPECT_EQ(dir.Size(deep + "\\" + name + ".0.spl"), 1457664u);
    EXPECT_EQ(dir.Size(deep + "\\" + name + ".2.spl"), 3000000u - 2 * 1457664u);

    WaitUntilUsable(main);
    SendMessageW(main, WM_COMMAND, IDC_REJOIN_MODE, 0);
    drive::SetItemText(main, IDC_SOURCE_PATH, folder + "\\" + name + ".sio");
    drive::SetItemText(main, IDC_DESTINATION_PATH, folder + "\\back");
    Click(main, IDC_START);
    EXPECT_EQ(drive::AnswerBox(program.pid(), "Corvane.Split", IDOK, 60000), "Completed Successfully");
    WaitUntilUsable(main);
    EXPECT_TRUE(dir.Read(deep + "\\back\\" + name) == std::string(data.begin(), data.end()));
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

// A set made by the engine itself, quietly, for a test that starts from one.
bool SplitBeforehand(const std::string& source, const std::string& folder, std::uint32_t pieceSize) {
    platform::Win32Platform fs;
    engine::StartRequest request;
    request.sourceText = source;
    request.destinationText = folder;
    request.size.presetBytes = pieceSize;
    const engine::Prepared prepared = engine::PrepareJob(request, fs, {});
    if (!prepared.ok) return false;
    engine::Host quiet;
    engine::OperationContext ctx(fs, quiet);
    return engine::RunJob(prepared.job, ctx) == engine::Outcome::Completed;
}

// A piece with one byte changed: the window names it in a box and rejoins
// nothing; an existing file of the output's name stays as it was.
TEST(ParvexWindow, ADamagedPieceIsNamedAndNothingIsRejoined) {
    drive::TempFolder dir;
    dir.Write("movie.avi", support::Pattern(3000000));
    dir.MakeFolder("back");
    dir.Write("back\\movie.avi", "old");
    ASSERT_TRUE(SplitBeforehand(dir.path + "\\movie.avi", dir.path, 1000000));
    support::Bytes piece = support::Pattern(3000000);
    piece.erase(piece.begin(), piece.begin() + 1000000);
    piece.resize(1000000);
    piece[4321] ^= 1;
    dir.Write("movie.avi.1.spl", piece);

    Parvex program("\"" + dir.path + "\\movie.avi.sio\"");
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path + "\\back");
    // Verify, the button of Rejoin mode, names it first.
    Click(main, IDC_VERIFY);
    const std::string report = drive::AnswerBox(program.pid(), "Corvane.Split", IDOK, 60000);
    EXPECT_NE(report.find("movie.avi.1.spl"), std::string::npos) << report;
    WaitUntilUsable(main);
    Click(main, IDC_START);
    // Replace the older file: it is replaced only by an exact one.
    drive::AnswerBox(program.pid(), "File already exists", IDC_EXISTS_REPLACE);
    const std::string text = drive::AnswerBox(program.pid(), "Corvane.Split", IDOK, 60000);
    // What the rejoin keeps for the next one is said in the same box.
    EXPECT_NE(text.find("movie.avi.1.spl is damaged: its checksum does not match.\nThe part rejoined (1 of 3 pieces) "
                        "is kept"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Nothing was rejoined"), std::string::npos) << text;
    WaitUntilUsable(main);
    EXPECT_EQ(dir.Read("back\\movie.avi"), "old");
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

// Sizes of 4 GiB and more are shown whole.
TEST(ParvexWindow, AFileOver4GiBShowsItsSize) {
    drive::TempFolder dir;
    HANDLE h = CreateFileA((dir.path + "\\disk.img").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = 5ll << 30;
    SetFilePointerEx(h, size, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    CloseHandle(h);
    Parvex program("\"" + dir.path + "\\disk.img\"");
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ItemText(main, IDC_FILE_SIZE), "File size is 5,368,709,120 bytes");
    EXPECT_EQ(ItemText(main, IDC_PLAN_TEXT), "\xE2\x86\x92 3,684 pieces of 1.5 MB\nwithout recovery data");
    EXPECT_EQ(ItemText(main, IDC_SIZE_BUTTON), "Si&ze: 1.44 MB");
    drive::Command(main, ID_PRESET_FAT32);
    EXPECT_TRUE(drive::WaitUntil([&] {
        return ItemText(main, IDC_PLAN_TEXT) == "\xE2\x86\x92 2 pieces of 4.3 GB\nwithout recovery data";
    })) << ItemText(main, IDC_PLAN_TEXT);
    EXPECT_EQ(ItemText(main, IDC_SIZE_BUTTON), "Si&ze: 4 GB");  // the button names the size chosen
    // The menu's item leaves the focus on the size button.
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    EXPECT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info) &&
                info.hwndFocus == GetDlgItem(main, IDC_SIZE_BUTTON));
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

// The size menu opens from the keyboard as a drop-down does: Alt+Down, F4
// and Space; each time it closes again with Escape. (The space a key types
// once closed the menu it had just opened, before the menu could be seen.)
TEST(ParvexWindow, TheSizeMenuOpensFromTheKeyboard) {
    Parvex program;
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    HWND button = GetDlgItem(main, IDC_SIZE_BUTTON);
    const struct {
        const char* key;
        UINT message;
        WPARAM code;
    } keys[] = {{"Alt+Down", WM_SYSKEYDOWN, VK_DOWN}, {"F4", WM_KEYDOWN, VK_F4}, {"Space", WM_KEYDOWN, VK_SPACE}};
    for (const auto& k : keys) {
        SCOPED_TRACE(k.key);
        PostMessageW(button, k.message, k.code, k.message == WM_SYSKEYDOWN ? (1 << 29) : 0);
        HWND menu = nullptr;
        EXPECT_TRUE(drive::WaitUntil([&] { return (menu = drive::FindTopLevel(program.pid(), "#32768")) != nullptr; }, 5000));
        if (menu) PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_TRUE(drive::WaitUntil([&] { return !drive::FindTopLevel(program.pid(), "#32768"); }, 5000));
    }
    // Space opened the menu and clicked nothing: no custom field.
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(main, IDC_CUSTOM_SIZE)));
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

// "1.5" MB makes pieces of 1,500,000 bytes; a letter typed into the size is
// refused aloud and the field keeps what it had. The size, its unit, the
// destination and always-on-top come back at the next start.
TEST(ParvexWindow, DecimalSizesAndWhatTheNextStartRemembers) {
    drive::SettingsKeyGuard settings;
    drive::TempFolder dir;
    dir.Write("clip.mp4", support::Pattern(3000000));
    dir.MakeFolder("out");
    {
        Parvex program("\"" + dir.path + "\\clip.mp4\"");
        HWND main = program.Main();
        ASSERT_NE(main, nullptr);
        drive::Command(main, ID_UNIT_MB);
        ASSERT_TRUE(drive::WaitUntil([&] { return IsWindowVisible(GetDlgItem(main, IDC_CUSTOM_SIZE)) != FALSE; }));
        HWND field = GetDlgItem(main, IDC_CUSTOM_SIZE);
        drive::SetItemText(main, IDC_CUSTOM_SIZE, "1.5");
        SendMessageW(field, EM_SETSEL, 3, 3);
        PostMessageW(field, WM_CHAR, 'x', 0);
        // Wine's edit control shows no balloon: the refusal comes as a box.
        const std::string refusal = drive::AnswerBox(program.pid(), "Corvane.Split", IDOK, 5000);
        if (refusal != "<no box>") {
            EXPECT_NE(refusal.find("Only digits and one decimal separator"), std::string::npos) << refusal;
        }
        EXPECT_TRUE(drive::WaitUntil([&] { return ItemText(main, IDC_CUSTOM_SIZE) == "1.5"; }));
        drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path + "\\out");
        SendMessageW(main, WM_SYSCOMMAND, IDM_ALWAYS_ON_TOP, 0);
        Click(main, IDC_START);
        drive::AnswerBox(program.pid(), "Read This", IDOK, 60000);
        WaitUntilUsable(main);
        EXPECT_EQ(dir.Size("out\\clip.mp4.0.spl"), 1500000u);
        EXPECT_EQ(dir.Size("out\\clip.mp4.1.spl"), 1500000u);
        EXPECT_FALSE(dir.Exists("out\\clip.mp4.2.spl"));
        Click(main, IDCANCEL);
        EXPECT_TRUE(program.Ended());
    }
    Parvex again("", true);
    HWND main = again.Main();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(main, IDC_CUSTOM_SIZE)));
    EXPECT_EQ(ItemText(main, IDC_CUSTOM_SIZE), "1.5");
    EXPECT_EQ(ItemText(main, IDC_UNIT_LABEL), "In MB:");
    EXPECT_EQ(ItemText(main, IDC_DESTINATION_PATH), dir.path + "\\out");
    // The window manager may keep the style to itself; the menu says it.
    EXPECT_NE(GetMenuState(GetSystemMenu(main, FALSE), IDM_ALWAYS_ON_TOP, MF_BYCOMMAND) & MF_CHECKED, 0u);
    Click(main, IDCANCEL);
    EXPECT_TRUE(again.Ended());
    // A stored size the field would refuse is left out, without a question.
    settings.Set("Custom Size", "1x5");
    Parvex third("", true);
    main = third.Main();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ItemText(main, IDC_CUSTOM_SIZE), "0");  // what the field starts with
    Click(main, IDCANCEL);
    EXPECT_TRUE(third.Ended());
}

// Cancel during a split: OK lets it complete, Cancel removes what it wrote.
// The tray menu's Exit asks the same question while the window is hidden.
TEST(ParvexWindow, CancelDuringASplit) {
    const struct {
        bool stop;
        bool fromTray;
    } cases[] = {{false, false}, {true, false}, {false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stop ? "stop" : "continue");
        SCOPED_TRACE(c.fromTray ? "tray menu's Exit" : "Cancel button");
        drive::TempFolder dir;
        // A stop must come before the end: 1 GiB cannot be done before the
        // question is up. A continued split ends the same either way.
        if (c.stop) {
            dir.WriteSparse("big.bin", 1ull << 30);
        } else {
            dir.Write("big.bin", support::Pattern(60000000));
        }
        Parvex program;
        HWND main = program.Main();
        ASSERT_NE(main, nullptr);
        drive::SetItemText(main, IDC_SOURCE_PATH, dir.path + "\\big.bin");
        drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path);
        Click(main, IDC_START);
        // Ask as soon as the first piece exists.
        drive::WaitUntil([&] { return dir.Exists("big.bin.0.spl"); });
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_START)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_REJOIN_MODE)));
        if (c.fromTray) {
            drive::Command(main, ID_MOVE_TO_TRAY);
            EXPECT_TRUE(drive::WaitUntil([&] { return !IsWindowVisible(main); }, 20000));
            drive::Command(main, ID_TRAY_EXIT);
        } else {
            Click(main, IDCANCEL);
        }
        // The buttons say what they do.
        HWND question = program.Dialog("User interruption", 20000);
        ASSERT_NE(question, nullptr);
        EXPECT_EQ(ItemText(question, IDOK), "&Continue");
        EXPECT_EQ(ItemText(question, IDCANCEL), "&Stop");
        EXPECT_EQ(drive::AnswerBox(program.pid(), "User interruption", c.stop ? IDCANCEL : IDOK),
                  "The current operation is suspended.\n Continue?");
        if (c.stop) {
            WaitUntilUsable(main);
            // What it finished is kept for the next split to continue;
            // nothing else, and nothing a rejoin accepts.
            EXPECT_TRUE(drive::WaitUntil([&] {
                return !dir.Exists("big.bin.0.spl") || dir.Exists(engine::StateFileName("big.bin"));
            }));
            EXPECT_FALSE(dir.Exists("big.bin.sio"));
            EXPECT_FALSE(dir.Exists("Go.bat"));
        } else {
            HWND notice = program.Dialog("Read This", 60000);
            ASSERT_NE(notice, nullptr);
            Click(notice, IDOK);
            EXPECT_EQ(dir.Size("big.bin.41.spl"), 60000000u - 41u * 1457664u);
        }
        // No operation now: Cancel ends the program.
        WaitUntilUsable(main);
        if (c.fromTray) drive::Command(main, ID_TRAY_EXIT);
        else Click(main, IDCANCEL);
        EXPECT_TRUE(program.Ended());
    }
}

TEST(ParvexWindow, FileChooserFillsTheSource) {
    drive::TempFolder dir;
    dir.Write("song.wav", support::Bytes(4321));
    Parvex program;
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    Click(main, IDC_CHOOSE_FILE);
    HWND chooser = program.Dialog("Choose a file for splitting");
    ASSERT_NE(chooser, nullptr);
    drive::SetItemText(chooser, 0x47c, dir.path + "\\song.wav");
    Click(chooser, IDOK);
    drive::WaitUntil([&] { return !ItemText(main, IDC_SOURCE_PATH).empty(); });
    EXPECT_EQ(ItemText(main, IDC_SOURCE_PATH), dir.path + "\\song.wav");
    EXPECT_EQ(ItemText(main, IDC_FILE_SIZE), "File size is 4,321 bytes");
    EXPECT_EQ(TextOf(main).rfind("Corvane.Split: ", 0), 0u);
    EXPECT_LE(TextOf(main).size(), std::string("Corvane.Split: ").size() + 29);

    // Several files chosen at once (the chooser opens where the last was
    // chosen) are split in turn, as several dropped are.
    dir.Write("a.bin", support::Bytes(3000000));
    dir.Write("b.bin", support::Bytes(2000000));
    drive::SetItemText(main, IDC_DESTINATION_PATH, dir.MakeFolder("parts"));
    WaitUntilUsable(main);
    Click(main, IDC_CHOOSE_FILE);
    chooser = program.Dialog("Choose a file for splitting");
    ASSERT_NE(chooser, nullptr);
    drive::SetItemText(chooser, 0x47c, "\"a.bin\" \"b.bin\"");
    Click(chooser, IDOK);
    EXPECT_EQ(drive::AnswerBox(program.pid(), "Corvane.Split", IDOK, 60000), "a.bin: done\nb.bin: done\n");
    HWND notice = program.Dialog("Read This", 30000);
    ASSERT_NE(notice, nullptr);
    Click(notice, IDOK);
    EXPECT_TRUE(dir.Exists("parts\\a.bin.sio") && dir.Exists("parts\\b.bin.sio"));

    // In Rejoin mode only an info file will do.
    WaitUntilUsable(main);
    SendMessageW(main, WM_COMMAND, IDC_REJOIN_MODE, 0);
    Click(main, IDC_CHOOSE_FILE);
    chooser = program.Dialog("Choose the SIO file from the location of split files");
    ASSERT_NE(chooser, nullptr);
    drive::SetItemText(chooser, 0x47c, dir.path + "\\song.wav");
    Click(chooser, IDOK);
    EXPECT_EQ(drive::AnswerBox(program.pid(), "Corvane.Split", IDOK), "Enter .sio file");
    WaitUntilUsable(main);
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

std::string RegistryValue(const char* name) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, platform::Widen(settings::kKeyPath).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return "<no key>";
    }
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    const LONG result = RegQueryValueExW(key, platform::Widen(name).c_str(), nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? platform::Narrow(data) : "<missing>";
}

TEST(ParvexWindow, SettingsPaneSavesOnOkOnly) {
    drive::SettingsKeyGuard settings;
    settings.Clear();
    drive::TempFolder dir;
    Parvex program;
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    RECT closed;
    GetWindowRect(main, &closed);
    drive::Command(main, ID_GENERAL_SETTINGS);
    HWND pane = FindWindowExW(main, nullptr, L"#32770", nullptr);
    ASSERT_NE(pane, nullptr);
    drive::WaitUntil([&] { return IsWindowVisible(pane) != FALSE; });
    auto height = [&] {
        RECT now;
        GetWindowRect(main, &now);
        return now.bottom - now.top;
    };
    // The window grows in steps.
    EXPECT_TRUE(drive::WaitUntil([&] { return height() > closed.bottom - closed.top + 100; }));
    drive::WaitUntilStill(main);

    // Cancel writes nothing.
    drive::SetItemText(pane, IDC_WORKING_FOLDER, dir.path);
    Click(pane, IDCANCEL);
    EXPECT_TRUE(drive::WaitUntil([&] { return height() == closed.bottom - closed.top; }));
    EXPECT_EQ(RegistryValue("Working Folder"), "<missing>");

    // OK writes the flags and the folder, and the folder becomes the destination.
    drive::Command(main, ID_GENERAL_SETTINGS);
    drive::WaitUntil([&] { return height() > closed.bottom - closed.top + 100; });
    drive::SetItemText(pane, IDC_WORKING_FOLDER, dir.path);
    Click(pane, IDC_ERASE_REMOVABLE);
    Click(pane, IDOK);
    drive::WaitUntil([&] { return ItemText(main, IDC_DESTINATION_PATH) == dir.path; });
    EXPECT_EQ(RegistryValue("Folder Options"), "2");
    EXPECT_EQ(RegistryValue("Working Folder"), dir.path);
    EXPECT_EQ(ItemText(main, IDC_DESTINATION_PATH), dir.path);
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

// Enter in the settings pane is the pane's OK and Esc its Cancel, typed as
// a user types them (Alt+V to the recovery field, digits, the key): neither
// starts a split nor ends the program, and the window answers its keys
// afterwards (focus left on a hidden control would hang it).
TEST(ParvexWindow, EnterAndEscInTheSettingsPaneAreItsOwn) {
    drive::SettingsKeyGuard settings;
    settings.Clear();
    drive::TempFolder dir;
    dir.Write("movie.avi", support::Pattern(300000));
    Parvex program;
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    drive::SetItemText(main, IDC_SOURCE_PATH, dir.path + "\\movie.avi");
    drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path);
    const DWORD thread = GetWindowThreadProcessId(main, nullptr);
    const auto focus = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
    };
    HWND pane = FindWindowExW(main, nullptr, L"#32770", nullptr);
    ASSERT_NE(pane, nullptr);
    HWND field = GetDlgItem(pane, IDC_RECOVERY_PERCENT);
    for (const UINT key : {VK_ESCAPE, VK_RETURN}) {
        SCOPED_TRACE(key == VK_RETURN ? "Enter" : "Esc");
        drive::Command(main, ID_GENERAL_SETTINGS);
        ASSERT_TRUE(drive::WaitUntil([&] { return IsWindowVisible(pane) != FALSE; }));
        drive::WaitUntilStill(main);
        PostMessageW(main, WM_SYSCHAR, 'v', 1 << 29);
        ASSERT_TRUE(drive::WaitUntil([&] { return focus() == field; })) << "Alt+V did not reach the field";
        SendMessageW(field, EM_SETSEL, 0, -1);
        for (const char c : std::string(key == VK_RETURN ? "30" : "55")) PostMessageW(field, WM_CHAR, c, 0);
        EXPECT_TRUE(drive::WaitUntil([&] { return ItemText(pane, IDC_RECOVERY_PERCENT) == (key == VK_RETURN ? "30" : "55"); }));
        PostMessageW(field, WM_KEYDOWN, key, 0);
        PostMessageW(field, WM_KEYUP, key, 0xC0000000);
        EXPECT_TRUE(drive::WaitUntil([&] { return IsWindowVisible(pane) == FALSE; }));
        EXPECT_EQ(RegistryValue("Recovery Percent"), key == VK_RETURN ? "30" : "<missing>");
        EXPECT_FALSE(program.Ended(0)) << "Esc ended the program";
        HWND now = focus();
        EXPECT_TRUE(now == nullptr || !IsChild(pane, now)) << "the focus stayed in the hidden pane";
        // A mnemonic afterwards is answered, and nothing was split.
        PostMessageW(main, WM_SYSCHAR, 'o', 1 << 29);
        DWORD_PTR answer = 0;
        EXPECT_NE(SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer), 0) << "the window hangs";
        EXPECT_FALSE(dir.Exists("movie.avi.sio"));
        EXPECT_FALSE(dir.Exists("movie.avi.0.spl"));
    }
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

// The output exists: Stop leaves it byte for byte, the status bar says
// the rejoin stopped; Replace replaces it with the exact file.
TEST(ParvexWindow, TheFileExistsQuestionStopsWithNothingChanged) {
    drive::TempFolder dir;
    dir.Write("movie.avi", support::Pattern(3000000));
    dir.MakeFolder("back");
    dir.Write("back\\movie.avi", "the user's own file");
    ASSERT_TRUE(SplitBeforehand(dir.path + "\\movie.avi", dir.path, 1000000));
    Parvex program("\"" + dir.path + "\\movie.avi.2.spl\"");
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path + "\\back");
    Click(main, IDC_START);
    HWND question = program.Dialog("File already exists", 30000);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(GetDlgCtrlID(GetDlgItem(question, IDCANCEL)), LOWORD(SendMessageW(question, DM_GETDEFID, 0, 0)));
    Click(question, IDCANCEL);
    WaitUntilUsable(main);
    EXPECT_EQ(dir.Read("back\\movie.avi"), "the user's own file");
    EXPECT_EQ(TextOf(GetDlgItem(main, IDC_STATUS_BAR)), "Rejoin stopped");
    Click(main, IDC_START);
    drive::AnswerBox(program.pid(), "File already exists", IDC_EXISTS_REPLACE, 30000);
    EXPECT_EQ(drive::AnswerBox(program.pid(), "Corvane.Split", IDOK, 60000), "Completed Successfully");
    WaitUntilUsable(main);
    EXPECT_EQ(dir.Size("back\\movie.avi"), 3000000u);
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

// Recovery data from the settings: the pane shows the room it takes, the
// notice how many pieces it rebuilds; Verify names what can be rebuilt, and
// the rejoin rebuilds a lost piece and says so.
TEST(ParvexWindow, RecoveryDataFromTheSettingsRebuildsALostPiece) {
    drive::SettingsKeyGuard settings;
    settings.Clear();
    drive::TempFolder dir;
    const support::Bytes data = support::Pattern(3000000);
    dir.Write("movie.avi", data);
    dir.MakeFolder("back");
    Parvex program;
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    drive::Command(main, ID_UNIT_BYTES);
    drive::SetItemText(main, IDC_CUSTOM_SIZE, "1000000");
    drive::SetItemText(main, IDC_SOURCE_PATH, dir.path + "\\movie.avi");
    drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path);
    drive::Command(main, ID_GENERAL_SETTINGS);
    HWND pane = FindWindowExW(main, nullptr, L"#32770", nullptr);
    ASSERT_NE(pane, nullptr);
    drive::WaitUntil([&] { return IsWindowVisible(pane) != FALSE; });
    // The pane fills its fields once it has slid open.
    drive::WaitUntil([&] { return ItemText(pane, IDC_RECOVERY_PERCENT) == "0"; });
    drive::WaitUntilStill(main);
    drive::SetItemText(pane, IDC_RECOVERY_PERCENT, "50");
    EXPECT_TRUE(drive::WaitUntil([&] { return ItemText(pane, IDC_RECOVERY_ROOM) == "about 2.0 MB here"; }))
        << ItemText(pane, IDC_RECOVERY_ROOM);
    Click(pane, IDOK);
    EXPECT_TRUE(drive::WaitUntil([&] { return RegistryValue("Recovery Percent") == "50"; }));
    EXPECT_EQ(ItemText(main, IDC_DESTINATION_PATH), dir.path);  // the chosen destination stays
    WaitUntilUsable(main);

    Click(main, IDC_START);
    HWND notice = program.Dialog("Read This", 60000);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(ItemText(notice, IDC_NOTICE_RECOVERY), "The recovery data can rebuild up to 2 lost or damaged pieces.");
    Click(notice, IDOK);
    // Two pieces' worth, fourteen slices a piece: in five volumes of doubling size.
    EXPECT_TRUE(dir.Exists("movie.avi.vol00+01.par2"));
    EXPECT_TRUE(dir.Exists("movie.avi.vol15+13.par2"));
    ASSERT_TRUE(DeleteFileW(platform::Widen(dir.path + "\\movie.avi.1.spl").c_str()));

    WaitUntilUsable(main);
    SendMessageW(main, WM_COMMAND, IDC_REJOIN_MODE, 0);
    drive::SetItemText(main, IDC_SOURCE_PATH, dir.path + "\\movie.avi.par2");
    drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path + "\\back");
    drive::Command(main, ID_VERIFY_SET);
    std::string text = drive::AnswerBox(program.pid(), "Corvane.Split", IDOK, 60000);
    EXPECT_NE(text.find("1 piece damaged or missing; the recovery data can rebuild it."), std::string::npos) << text;
    // The repair is offered; not now.
    EXPECT_EQ(drive::AnswerBox(program.pid(), "Corvane.Split", IDCANCEL, 60000), std::string(texts::kOfferRepair));
    WaitUntilUsable(main);
    Click(main, IDC_START);
    text = drive::AnswerBox(program.pid(), "Corvane.Split", IDOK, 60000);
    EXPECT_EQ(text, dir.path + "\\back\\movie.avi is complete: the recovery data stood in for movie.avi.1.spl.\n"
                    "Those pieces were left as they were; Repair rebuilds them in place.");
    EXPECT_EQ(drive::AnswerBox(program.pid(), "Corvane.Split", IDOK, 60000), "Completed Successfully");
    EXPECT_TRUE(dir.Read("back\\movie.avi") == std::string(data.begin(), data.end()));
    EXPECT_FALSE(dir.Exists("movie.avi.1.spl"));  // a rejoin never mends the pieces
    // Offered again after the rejoin: Repair rebuilds the piece in place.
    EXPECT_EQ(drive::AnswerBox(program.pid(), "Corvane.Split", IDOK, 60000), std::string(texts::kOfferRepair));
    text = drive::AnswerBox(program.pid(), "Corvane.Split", IDOK, 60000);
    EXPECT_NE(text.find("rebuilt: movie.avi.1.spl"), std::string::npos) << text;
    WaitUntilUsable(main);
    EXPECT_TRUE(dir.Exists("movie.avi.1.spl"));
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

// An existing set is checked quickly, protected and then repaired from the
// File menu, through the same worker and questions as a split: the recovery
// files come at the usual share while the settings make none, and Repair
// mends a lost piece.
TEST(ParvexWindow, ProtectAndRepairASetFromTheMenu) {
    drive::SettingsKeyGuard settings;
    settings.Clear();
    drive::TempFolder dir;
    const support::Bytes data = support::Pattern(3000000);
    dir.Write("movie.avi", data);
    ASSERT_TRUE(SplitBeforehand(dir.path + "\\movie.avi", dir.path, 300000));
    Parvex program("\"" + dir.path + "\\movie.avi.sio\"");
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    // A quick check first: it says plainly that it read no data.
    drive::Command(main, ID_QUICK_CHECK);
    const std::string quick = drive::AnswerBox(program.pid(), "Corvane.Split", IDOK, 60000);
    EXPECT_NE(quick.find("10 pieces found by name and length: all there"), std::string::npos) << quick;
    EXPECT_NE(quick.find(texts::kQuickNoDataRead), std::string::npos) << quick;
    WaitUntilUsable(main);
    drive::Command(main, ID_PROTECT_SET);
    EXPECT_EQ(drive::AnswerBox(program.pid(), "Corvane.Split", IDOK, 60000),
              "The recovery data can rebuild 1 lost or damaged piece.");
    WaitUntilUsable(main);
    EXPECT_TRUE(dir.Exists("movie.avi.par2"));
    EXPECT_TRUE(dir.Exists("movie.avi.vol00+1.par2"));
    ASSERT_TRUE(DeleteFileW(platform::Widen(dir.path + "\\movie.avi.4.spl").c_str()));
    drive::Command(main, ID_REPAIR_SET);
    const std::string text = drive::AnswerBox(program.pid(), "Corvane.Split", IDOK, 60000);
    EXPECT_NE(text.find("rebuilt: movie.avi.4.spl"), std::string::npos) << text;
    WaitUntilUsable(main);
    EXPECT_EQ(dir.Size("movie.avi.4.spl"), 300000u);
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

// A rejoin goes beside its set until the user chooses where (as an
// archiver extracts beside the archive); split keeps its own destination.
TEST(ParvexWindow, ARejoinGoesBesideItsSetUnlessTheUserChoseWhere) {
    drive::SettingsKeyGuard settings;
    settings.Clear();
    drive::TempFolder dir;
    dir.Write("movie.avi", support::Pattern(300000));
    dir.MakeFolder("parts");
    ASSERT_TRUE(SplitBeforehand(dir.path + "\\movie.avi", dir.path + "\\parts", 100000));
    Parvex program("\"" + dir.path + "\\parts\\movie.avi.1.spl\"");
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(IsDlgButtonChecked(main, IDC_REJOIN_MODE), BST_CHECKED);
    EXPECT_EQ(ItemText(main, IDC_DESTINATION_PATH), dir.path + "\\parts");
    SendMessageW(main, WM_COMMAND, IDC_SPLIT_MODE, 0);
    EXPECT_NE(ItemText(main, IDC_DESTINATION_PATH), dir.path + "\\parts");
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

BOOL CALLBACK FirstEdit(HWND child, LPARAM found) {
    char cls[64] = "";
    GetClassNameA(child, cls, sizeof cls);
    if (std::string(cls) != "Edit") return TRUE;
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

// The folder chooser is the shell's item dialog, opening at the current
// destination; a folder typed into its name box is the choice.
TEST(ParvexWindow, FolderChooserSetsTheDestination) {
    drive::TempFolder dir;
    dir.MakeFolder("chosen");
    const std::string chosen = dir.path + "\\chosen";
    Parvex program;
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path);
    Click(main, IDC_CHOOSE_FOLDER);
    HWND browse = drive::WaitForDialog(program.pid(), "Choose a folder for keeping split files", 10000, main);
    ASSERT_NE(browse, nullptr);
    HWND name = nullptr;
    EnumChildWindows(browse, FirstEdit, reinterpret_cast<LPARAM>(&name));
    ASSERT_NE(name, nullptr);
    drive::SetItemText(GetParent(name), GetDlgCtrlID(name), chosen);
    Click(browse, IDOK);
    EXPECT_TRUE(drive::WaitUntil([&] { return !IsWindow(browse); }));
    EXPECT_TRUE(drive::WaitUntil([&] { return ItemText(main, IDC_DESTINATION_PATH) == chosen; }))
        << ItemText(main, IDC_DESTINATION_PATH);
    WaitUntilUsable(main);
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

TEST(ParvexWindow, AutomationSwitchOpensNoFile) {
    Parvex program("/Automation");
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ItemText(main, IDC_SOURCE_PATH), "");
    EXPECT_EQ(IsDlgButtonChecked(main, IDC_SPLIT_MODE), BST_CHECKED);
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

TEST(ParvexWindow, TrayAlwaysOnTopAndAbout) {
    Parvex program;
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    drive::Command(main, ID_MOVE_TO_TRAY);
    // Wine hands the icon to its tray first, which can take seconds here.
    EXPECT_TRUE(drive::WaitUntil([&] { return !IsWindowVisible(main); }, 20000));
    PostMessageW(main, WM_USER + 52, 143, WM_LBUTTONDBLCLK);  // a double-click on the tray icon
    EXPECT_TRUE(drive::WaitUntil([&] { return IsWindowVisible(main) != FALSE; }));

    // Again, restored this time through the icon's menu, by its mnemonic.
    drive::Command(main, ID_MOVE_TO_TRAY);
    EXPECT_TRUE(drive::WaitUntil([&] { return !IsWindowVisible(main); }, 20000));
    // Wine closes a tray menu when the foreground changes under it, which on
    // a busy machine can happen after the menu opened; the user would then
    // right-click again, and so does the test, a bounded number of times.
    bool restored = false;
    for (int attempt = 0; attempt < 4 && !restored; ++attempt) {
        HWND trayMenu = RightClickTrayIcon(main, program.pid());
        ASSERT_NE(trayMenu, nullptr);
        PostMessageW(trayMenu, WM_CHAR, 'r', 0);
        restored = drive::WaitUntil([&] { return IsWindowVisible(main) != FALSE; }, 3000);
        if (!restored) drive::WaitUntil([&] { return !IsWindow(trayMenu); }, 2000);
    }
    EXPECT_TRUE(restored);

    drive::Command(main, ID_ABOUT);
    HWND about = program.Dialog("About Corvane.Split");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(ItemText(about, IDC_WEBSITE), "Website - www.corvane.example");
    EXPECT_EQ(ItemText(about, IDC_SALES), "Sales - shop@corvane.example");
    EXPECT_EQ(ItemText(about, IDC_SUPPORT), "Support - support@corvane.example");
    Click(about, IDOK);
    WaitUntilUsable(main);
    PostMessageW(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);  // the system menu's About
    about = program.Dialog("About Corvane.Split");
    ASSERT_NE(about, nullptr);
    Click(about, IDOK);
    WaitUntilUsable(main);
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

// Every window on screen in turn, for scripts/screenshots.sh.
TEST(ParvexScreens, EveryWindow) {
    support::Shots shots;
    if (!shots.enabled()) GTEST_SKIP() << "PARVEX_SHOTS not set";
    // Help is found beside the program.
    std::string install = ProgramPath();
    install.resize(install.rfind('\\'));
    drive::SettingsKeyGuard settings;
    settings.Set("Installed Path", install);
    drive::TempFolder dir;
    dir.Write("holiday.avi", support::Pattern(30000000));
    Parvex program("\"" + dir.path + "\\holiday.avi\"");
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path);
    shots.Snap("main-split", main);

    RECT button;
    GetWindowRect(GetDlgItem(main, IDC_SIZE_BUTTON), &button);
    PostMessageW(GetDlgItem(main, IDC_SIZE_BUTTON), WM_LBUTTONDOWN, MK_LBUTTON,
                 MAKELPARAM(button.right - button.left - 5, 5));
    HWND menu = nullptr;
    drive::WaitUntil([&] { return (menu = drive::FindTopLevel(program.pid(), "#32768")) != nullptr; }, 3000);
    shots.Snap("size-menu", menu);
    if (menu) PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    drive::WaitUntil([&] { return !drive::FindTopLevel(program.pid(), "#32768"); }, 3000);

    SendMessageW(main, WM_COMMAND, ID_UNIT_KB, 0);
    shots.Snap("custom-kb", main);
    SendMessageW(main, WM_COMMAND, ID_PRESET_FLOPPY, 0);

    drive::Command(main, ID_GENERAL_SETTINGS);
    drive::WaitUntil([&] { return IsWindowVisible(FindWindowExW(main, nullptr, L"#32770", nullptr)) != FALSE; });
    drive::WaitUntilStill(main);
    shots.Snap("settings-pane", main);
    drive::Command(main, ID_GENERAL_SETTINGS);
    drive::WaitUntilStill(main);

    Click(main, IDC_START);
    // Piece 1 begun: piece 0 is done and listed for the next split.
    drive::WaitUntil([&] { return dir.Exists("holiday.avi.1.spl"); });
    Click(main, IDCANCEL);
    HWND question = program.Dialog("User interruption");
    shots.Snap("running-suspended", question);
    // Stopped and started again: the split offers to continue.
    Click(question, IDCANCEL);
    WaitUntilUsable(main);
    Click(main, IDC_START);
    HWND resume = program.Dialog("Corvane.Split", 20000);
    shots.Snap("continue-split", resume);
    Click(resume, IDOK);
    HWND notice = program.Dialog("Read This", 60000);
    shots.Snap("read-this", notice);
    Click(notice, IDOK);
    WaitUntilUsable(main);

    SendMessageW(main, WM_COMMAND, IDC_REJOIN_MODE, 0);
    drive::SetItemText(main, IDC_SOURCE_PATH, dir.path + "\\holiday.avi.sio");
    drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path);
    shots.Snap("main-rejoin", main);
    Click(main, IDC_START);
    HWND exists = program.Dialog("File already exists", 20000);
    shots.Snap("file-exists", exists);
    Click(exists, IDC_EXISTS_REPLACE);
    HWND done = program.Dialog("Corvane.Split", 60000);
    shots.Snap("completed", done);
    Click(done, IDOK);
    WaitUntilUsable(main);

    // The tray icon's menu, Restore in bold.
    drive::Command(main, ID_MOVE_TO_TRAY);
    drive::WaitUntil([&] { return !IsWindowVisible(main); }, 20000);
    HWND trayMenu = RightClickTrayIcon(main, program.pid());
    EXPECT_NE(trayMenu, nullptr);
    shots.Snap("tray-menu", trayMenu);
    if (trayMenu) PostMessageW(trayMenu, WM_KEYDOWN, VK_ESCAPE, 0);
    drive::WaitUntil([&] { return !drive::FindTopLevel(program.pid(), "#32768"); }, 3000);
    drive::Command(main, ID_TRAY_RESTORE);
    drive::WaitUntil([&] { return IsWindowVisible(main) != FALSE; });

    // The help window at its start page (Wine draws the pages blank).
    drive::Command(main, ID_HELP_CONTENTS);
    HWND help = nullptr;
    drive::WaitUntil([&] { return (help = drive::FindTitled("Corvane.Split Help")) != nullptr; }, 5000);
    shots.Snap("help", help);
    if (help) PostMessageW(help, WM_CLOSE, 0, 0);
    drive::WaitUntil([&] { return !drive::FindTitled("Corvane.Split Help"); }, 5000);

    drive::Command(main, ID_ABOUT);
    HWND about = program.Dialog("About Corvane.Split");
    shots.Snap("about", about);
    Click(about, IDOK);
    WaitUntilUsable(main);

    // The maker's server is out of reach here: the dialog says so.
    drive::Command(main, ID_CHECK_UPDATES);
    HWND version = program.Dialog("Version dialog box", 60000);
    shots.Snap("version", version);
    Click(version, IDOK);
    WaitUntilUsable(main);
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

}  // namespace
