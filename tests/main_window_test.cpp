// The main window in this process, for what only works in-process: drops (a
// drop's HDROP can only be handed to a window of the process that made it),
// status bar texts, and the tray and help records the window hands on.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <thread>

#include "app/HalvardDlg.h"
#include "engine/base/Names.h"
#include "engine/io/RunOutputs.h"
#include "platform/win32/WideText.h"
#include "resources/resource.h"
#include "support/SplitFixture.h"
#include "support/WindowDriver.h"
#include "window/WindowText.h"

namespace {

// The main window, run modally on this thread while `user` acts on it from
// another, as a person would.
template <class Prepare, class User>
void WithMainWindow(Prepare prepare, User user) {
    drive::ForgetRemembered();
    std::thread person([&] {
        HWND main = nullptr;
        drive::WaitUntil([&] { return (main = drive::FindMain(GetCurrentProcessId())) != nullptr; });
        ASSERT_NE(main, nullptr);
        user(main);
        drive::Command(main, IDCANCEL);
    });
    {
        app::CHalvardDlg dialog(app::CommandLine{});
        prepare(dialog);
        dialog.DoModal(nullptr);
    }
    person.join();
}

template <class User>
void WithMainWindow(User user) {
    WithMainWindow([](app::CHalvardDlg&) {}, user);
}

// A drop as the shell makes it, with wide names.
HDROP MakeDrop(const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& path : paths) names += platform::Widen(path) + L'\0';
    names += L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

void Drop(HWND main, const std::vector<std::string>& paths) {
    PostMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
}

// A box of this process: its text, answered OK.
std::string Answer() { return drive::AnswerBox(GetCurrentProcessId(), "Corvane.Split", IDOK); }

// A file of `size` patterned bytes in `dir`, by its path.
std::string Make(const drive::TempFolder& dir, const std::string& name, std::size_t size = 0) {
    return dir.Write(name, support::Pattern(size));
}

TEST(MainWindow, DropsOfOneFileOrFolderByMode) {
    drive::TempFolder dir;
    Make(dir, "\xd1\x84\xd0\xb8\xd0\xbb\xd1\x8c\xd0\xbc.avi.sio");  // фильм.avi.sio
    const std::string piece = Make(dir, "\xd1\x84\xd0\xb8\xd0\xbb\xd1\x8c\xd0\xbc.avi.2.spl");
    const std::string notes = Make(dir, "notes \xe2\x82\xac.txt");
    std::string twoItems, folder, splitSource, rejoinSource, wrongType, missingInfo;
    bool splitModeAfter = true;
    WithMainWindow([&](HWND main) {
        Drop(main, {notes, dir.path});
        twoItems = Answer();
        Drop(main, {dir.path});
        drive::WaitUntil([&] { return drive::ItemText(main, IDC_DESTINATION_PATH) == dir.path; });
        folder = drive::ItemText(main, IDC_DESTINATION_PATH);
        // A piece dropped in Split mode is a set to rejoin.
        Drop(main, {piece});
        drive::WaitUntil([&] { return !drive::ItemText(main, IDC_SOURCE_PATH).empty(); });
        splitSource = drive::ItemText(main, IDC_SOURCE_PATH);
        splitModeAfter = IsDlgButtonChecked(main, IDC_SPLIT_MODE) == BST_CHECKED;
        drive::SetItemText(main, IDC_SOURCE_PATH, "");

        SendMessageW(main, WM_COMMAND, IDC_REJOIN_MODE, 0);
        Drop(main, {piece});
        drive::WaitUntil([&] { return !drive::ItemText(main, IDC_SOURCE_PATH).empty(); });
        rejoinSource = drive::ItemText(main, IDC_SOURCE_PATH);
        Drop(main, {notes});
        wrongType = Answer();
        Drop(main, {dir.path + "\\other.7.spl"});
        missingInfo = Answer();
    });
    EXPECT_EQ(twoItems, "Drag-and-drop a single file/folder");
    EXPECT_EQ(folder, dir.path);
    EXPECT_EQ(splitSource, engine::AsciiUpper(dir.path + "\\\xd1\x84\xd0\xb8\xd0\xbb\xd1\x8c\xd0\xbc.avi.sio"));
    EXPECT_FALSE(splitModeAfter);
    // Upper case as the program spells an info file (ASCII letters only).
    EXPECT_EQ(rejoinSource, engine::AsciiUpper(dir.path + "\\\xd1\x84\xd0\xb8\xd0\xbb\xd1\x8c\xd0\xbc.avi.sio"));
    EXPECT_EQ(wrongType, "Enter .sio or .spl file");
    EXPECT_EQ(missingInfo, engine::AsciiUpper(dir.path + "\\OTHER.SIO") + " not found.");
}

// Five files dropped are a queue: each split with the same size into the
// same folder, a summary of how each ended, and the notice once after it. A
// sixth the start checks refuse holds nobody up: its reason is in the
// summary, the only box. Their sets dropped in Rejoin mode are rejoined in
// turn.
TEST(MainWindow, SeveralFilesDroppedAreSplitInTurn) {
    drive::TempFolder dir;
    const char* names[] = {"a.bin", "b.bin", "c d.bin", "e&f.bin", "\xd1\x84.bin"};
    std::vector<std::string> files;
    for (int i = 0; i < 5; ++i) files.push_back(Make(dir, names[i], 3000000 - 200000 * i));
    files.insert(files.begin() + 2, Make(dir, "tiny.bin", 1000));
    dir.MakeFolder("parts");
    dir.MakeFolder("back");
    std::string summary, rejoined;
    bool notice = false;
    WithMainWindow([&](HWND main) {
        drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path + "\\parts");
        Drop(main, files);
        summary = Answer();
        HWND readThis = drive::WaitForDialog(GetCurrentProcessId(), "Read This", 30000);
        notice = readThis != nullptr;
        if (readThis) drive::Click(readThis, IDOK);
        drive::WaitUntil([&] { return IsWindowEnabled(GetDlgItem(main, IDC_START)) != FALSE; });
        SendMessageW(main, WM_COMMAND, IDC_REJOIN_MODE, 0);
        drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path + "\\back");
        Drop(main, {dir.path + "\\parts\\a.bin.sio", dir.path + "\\parts\\b.bin.1.spl", dir.path + "\\parts\\a.bin.0.spl"});
        rejoined = Answer();
    });
    EXPECT_EQ(summary, "a.bin: done\nb.bin: done\ntiny.bin: not started\n    Size of chunk should be lesser than source file\nc d.bin: done\ne&f.bin: done\n\xd1\x84.bin: done\n");
    EXPECT_TRUE(notice);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(dir.Exists(std::string("parts\\") + names[i] + ".sio")) << names[i];
    EXPECT_NE(dir.Read("parts\\Go b.bin.bat").size(), 0u) << "the second set's own Go.bat";
    EXPECT_EQ(rejoined, "A.BIN.SIO: done\nB.BIN.SIO: done\n");
    EXPECT_EQ(dir.Size("back\\a.bin"), 3000000u);
    EXPECT_EQ(dir.Size("back\\b.bin"), 2800000u);
}

// The start checks of a rejoin walk a set of 5,000 pieces, the last one
// missing, in a folder of 100,000 files: all the while the window answers a
// message within 100 ms, and then it says which piece is missing.
TEST(MainWindow, TheWindowAnswersWhileTheStartChecksWalkManyFiles) {
    // Made by the suite before it runs (tests/make_many_files.py).
    const std::string infoPath = drive::WindowsPath(PARVEX_MANY_FILES "/many.bin.sio");
    ASSERT_NE(GetFileAttributesW(platform::Widen(infoPath).c_str()), INVALID_FILE_ATTRIBUTES) << infoPath;
    drive::TempFolder dir;
    dir.MakeFolder("out");
    using Clock = std::chrono::steady_clock;
    Clock::duration slowest{}, checking{};
    int answered = 0;
    std::string said;
    WithMainWindow([&](HWND main) {
        SendMessageW(main, WM_COMMAND, IDC_REJOIN_MODE, 0);
        drive::SetItemText(main, IDC_SOURCE_PATH, infoPath);
        drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path + "\\out");
        const Clock::time_point start = Clock::now();
        drive::Click(main, IDC_START);
        HWND box = nullptr;
        while (!(box = drive::FindDialog(GetCurrentProcessId(), "", main)) && Clock::now() - start < std::chrono::minutes(2)) {
            const Clock::time_point asked = Clock::now();
            DWORD_PTR result = 0;
            if (SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result)) ++answered;
            slowest = std::max(slowest, Clock::now() - asked);
        }
        checking = Clock::now() - start;
        ASSERT_NE(box, nullptr);
        said = drive::BoxText(box);
        drive::Command(box, IDOK);
    });
    const auto ms = [](Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); };
    EXPECT_LT(ms(slowest), 100) << "the checks took " << ms(checking) << " ms, " << answered << " answers";
    EXPECT_GT(answered, 10) << "the checks took " << ms(checking) << " ms";
    EXPECT_NE(said.find("many.bin.4999.spl"), std::string::npos) << said;
    std::printf("the checks took %lld ms; %d answers, the slowest in %lld ms\n", static_cast<long long>(ms(checking)),
                answered, static_cast<long long>(ms(slowest)));
}

// While an operation runs the fields feed nothing: a drop changes none of
// them, and Settings and "Check for Updates" are greyed out.
TEST(MainWindow, NothingChangesTheFieldsOfARunningOperation) {
    drive::TempFolder dir;
    const std::string big = dir.WriteSparse("big.bin", 1ull << 30);
    const std::string other = Make(dir, "other.bin", 10);
    std::string sourceWhileAsked;
    UINT settingsState = 0, updatesState = 0;
    bool settingsBack = false;
    WithMainWindow([&](HWND main) {
        drive::SetItemText(main, IDC_SOURCE_PATH, big);
        drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path);
        drive::Click(main, IDC_START);
        drive::WaitUntil([&] { return !IsWindowEnabled(GetDlgItem(main, IDC_START)); });
        drive::Command(main, IDCANCEL);  // hold the worker at the question
        HWND question = drive::WaitForDialog(GetCurrentProcessId(), "User interruption");
        ASSERT_NE(question, nullptr);
        Drop(main, {other});
        HMENU menu = GetMenu(main);
        settingsState = GetMenuState(menu, ID_GENERAL_SETTINGS, MF_BYCOMMAND);
        updatesState = GetMenuState(menu, ID_CHECK_UPDATES, MF_BYCOMMAND);
        // The drop is handled before the question is answered.
        SendMessageW(main, WM_NULL, 0, 0);
        sourceWhileAsked = drive::ItemText(main, IDC_SOURCE_PATH);
        drive::Click(question, IDCANCEL);
        settingsBack = drive::WaitUntil([&] {
            return IsWindowEnabled(GetDlgItem(main, IDC_START)) &&
                   !(GetMenuState(GetMenu(main), ID_GENERAL_SETTINGS, MF_BYCOMMAND) & MF_GRAYED);
        });
    });
    EXPECT_EQ(sourceWhileAsked, big);
    EXPECT_TRUE(settingsState & MF_GRAYED);
    EXPECT_TRUE(updatesState & MF_GRAYED);
    EXPECT_TRUE(settingsBack);
}

// Piece-size commands, the custom field's filter and the status bar's parts.
TEST(MainWindow, PieceSizeCommandsAndStatusParts) {
    std::vector<std::string> seen;
    WithMainWindow([&](HWND main) {
        HWND bar = GetDlgItem(main, IDC_STATUS_BAR);
        auto record = [&] {
            seen.push_back(drive::StatusPart(bar, 0) + "|" + drive::StatusPart(bar, 2) + "|" +
                           drive::ItemText(main, IDC_UNIT_LABEL) + "|" +
                           (IsWindowVisible(GetDlgItem(main, IDC_CUSTOM_SIZE)) ? "field" : "no field"));
        };
        record();
        SendMessageW(main, WM_COMMAND, ID_PRESET_100MB, 0);
        record();
        SendMessageW(main, WM_COMMAND, IDC_SIZE_BUTTON, 0);  // a click on the face
        record();
        SendMessageW(main, WM_COMMAND, ID_UNIT_FILES, 0);
        record();
        SetDlgItemTextW(main, IDC_CUSTOM_SIZE, L"007");
        seen.push_back(drive::ItemText(main, IDC_CUSTOM_SIZE));
        // A letter is refused aloud (a box where the edit control shows no
        // balloon, as under Wine) and the field keeps what it had.
        std::thread answer([&] {
            const std::string text = drive::AnswerBox(GetCurrentProcessId(), "Corvane.Split", IDOK, 3000);
            if (text != "<no box>") seen.push_back(text);
        });
        SetDlgItemTextW(main, IDC_CUSTOM_SIZE, L"12a");
        answer.join();
        seen.push_back(drive::ItemText(main, IDC_CUSTOM_SIZE));
        SendMessageW(main, WM_COMMAND, IDC_REJOIN_MODE, 0);
        record();
        SendMessageW(main, WM_COMMAND, ID_PRESET_FLOPPY, 0);  // does nothing in Rejoin mode
        record();
        SendMessageW(main, WM_COMMAND, IDC_SPLIT_MODE, 0);
        record();
    });
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "Split|1.44 MB||no field",
                        "Split|100 MB||no field",
                        "Split|Custom [bytes]|In bytes:|field",
                        "Split|File count|Total files:|field",
                        "007",
                        "Only digits and one decimal separator (.) can be typed here.",
                        "007",
                        "Rejoin||Total files:|no field",
                        "Rejoin||Total files:|no field",
                        "Split||Total files:|field",
                    }));
}

// An owner-drawn button's style has no room for "default": the size button
// frames itself as the default only while the dialog's default is it.
TEST(MainWindow, TheSizeButtonIsNotTheDefaultButton) {
    bool before = true, made = false;
    const app::CHalvardDlg* window = nullptr;
    WithMainWindow([&](app::CHalvardDlg& dialog) { window = &dialog; },
                   [&](HWND main) {
                       before = window->sizeChooser().button().IsDefault();
                       SendMessageW(main, DM_SETDEFID, IDC_SIZE_BUTTON, 0);
                       made = window->sizeChooser().button().IsDefault();
                   });
    EXPECT_FALSE(before);
    EXPECT_TRUE(made);
}

TEST(MainWindow, AlwaysOnTopToggles) {
    std::vector<std::string> seen;
    WithMainWindow([&](HWND main) {
        for (int i = 0; i < 2; ++i) {
            SendMessageW(main, WM_SYSCOMMAND, IDM_ALWAYS_ON_TOP, 0);
            HMENU system = GetSystemMenu(main, FALSE);
            wchar_t text[64] = {};
            GetMenuStringW(system, IDM_ALWAYS_ON_TOP, text, 64, MF_BYCOMMAND);
            const UINT state = GetMenuState(system, IDM_ALWAYS_ON_TOP, MF_BYCOMMAND);
            seen.push_back(platform::Narrow(text) + ((state & MF_CHECKED) ? " checked" : " unchecked"));
        }
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"&Always on top checked", "&Always on top unchecked"}));
}

// The record handed to the shell, and the fallback when the shell has no
// notification area: the window goes to the taskbar, never out of reach. A
// restarted shell gets the icon again.
TEST(MainWindow, TrayIconRecordsRestartAndNoNotificationArea) {
    for (const bool shellAccepts : {true, false}) {
        SCOPED_TRACE(shellAccepts ? "icon added" : "no notification area");
        std::vector<std::string> records;
        bool hidden = false, iconic = false, restored = false;
        WithMainWindow(
            [&](app::CHalvardDlg& dialog) {
                dialog.tray().SetNotifier([&](DWORD message, NOTIFYICONDATAW* icon) {
                    std::string record = message == NIM_ADD ? "add" : message == NIM_DELETE ? "delete" : "other";
                    record += " id=" + std::to_string(icon->uID);
                    if (message == NIM_ADD) {
                        record += " message=" + std::to_string(icon->uCallbackMessage - WM_USER) +
                                  " flags=" + std::to_string(icon->uFlags) + " tip=" + platform::Narrow(icon->szTip) +
                                  (icon->hIcon ? " icon" : " no icon") + (icon->hWnd ? " owner" : " no owner");
                    }
                    records.push_back(record);
                    return shellAccepts;
                });
            },
            [&](HWND main) {
                // The dialog shows itself once its queue first runs empty.
                drive::WaitUntil([&] { return IsWindowVisible(main) != FALSE; });
                SendMessageW(main, WM_COMMAND, ID_MOVE_TO_TRAY, 0);
                // The dialog manager's first show may still be on its way
                // when the test is quicker than a user: what counts is
                // where the window ends up.
                drive::WaitUntil([&] { return shellAccepts ? !IsWindowVisible(main) : IsIconic(main) != FALSE; }, 2000);
                hidden = !IsWindowVisible(main);
                iconic = IsIconic(main) != FALSE;
                SendMessageW(main, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
                SendMessageW(main, WM_USER + 52, 99, WM_LBUTTONDBLCLK);  // not our icon
                SendMessageW(main, WM_USER + 52, 143, WM_LBUTTONDBLCLK);
                drive::WaitUntil([&] { return IsWindowVisible(main) && !IsIconic(main); });
                restored = IsWindowVisible(main) && !IsIconic(main);
            });
        EXPECT_EQ(hidden, shellAccepts);
        EXPECT_EQ(iconic, !shellAccepts);
        EXPECT_TRUE(restored);
        const std::string add = "add id=143 message=52 flags=" + std::to_string(NIF_MESSAGE | NIF_ICON | NIF_TIP) +
                                " tip=Restore window icon owner";
        if (shellAccepts) {
            EXPECT_EQ(records, (std::vector<std::string>{add, add, "delete id=143"}));
        } else {
            EXPECT_EQ(records, (std::vector<std::string>{add}));
        }
    }
}

// Help requests and the exact paths they open; HTML Help itself comes from
// the system folder.
TEST(MainWindow, HelpTopics) {
    drive::SettingsKeyGuard settings;
    settings.Set("Installed Path", "C:\\Program Files\\Corvane");
    std::vector<std::string> opened;
    WithMainWindow([&](app::CHalvardDlg& dialog) { dialog.help().SetOpener([&](const std::string& path) { opened.push_back(path); }); },
                   [&](HWND main) {
                       auto help = [&](int id, int type) {
                           HELPINFO info{};
                           info.cbSize = sizeof info;
                           info.iContextType = type;
                           info.iCtrlId = id;
                           SendMessageW(main, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
                       };
                       SendMessageW(main, WM_COMMAND, ID_HELP_CONTENTS, 0);
                       help(IDC_SPLIT_MODE, HELPINFO_WINDOW);
                       help(IDC_REJOIN_MODE, HELPINFO_WINDOW);
                       help(IDC_START, HELPINFO_WINDOW);
                       SendMessageW(main, WM_COMMAND, IDC_REJOIN_MODE, 0);
                       help(IDC_START, HELPINFO_WINDOW);
                       help(IDC_CHOOSE_FOLDER, HELPINFO_WINDOW);
                       help(ID_GENERAL_SETTINGS, HELPINFO_MENUITEM);
                       help(ID_HELP_CONTENTS, HELPINFO_MENUITEM);
                   });
    const std::string base = "C:\\Program Files\\Corvane";
    EXPECT_EQ(opened, (std::vector<std::string>{
                          base + "\\Corvane Split.chm",
                          base + "\\Corvane Split.chm ::/Splitting a file.htm",
                          base + "\\Corvane Split.chm ::/Joining split files.htm",
                          base + "\\Corvane Split.chm::/Splitting a file.htm",
                          base + "\\Corvane Split.chm::/Joining split files.htm",
                          base + "\\Corvane Split.chm",
                          base + "\\Corvane Split.chm",
                          base + "\\Corvane Split.chm::/Setting up options.htm",
                          base + "\\Corvane Split.chm",
                          base + "\\Corvane Split.chm",
                      }));

    // Without a test's opener, the library is the system folder's.
    app::HelpLauncher launcher;
    HMODULE library = launcher.Library();
    ASSERT_NE(library, nullptr);
    wchar_t loaded[MAX_PATH] = {}, system[MAX_PATH] = {};
    GetModuleFileNameW(library, loaded, MAX_PATH);
    const int length = static_cast<int>(GetSystemDirectoryW(system, MAX_PATH));
    EXPECT_EQ(CompareStringOrdinal(loaded, length, system, length, TRUE), CSTR_EQUAL) << platform::Narrow(loaded);
}

}  // namespace

namespace {

// Tab reaches every control a user can act on, the source and destination
// fields among them, and none that is hidden (the folded settings pane).
TEST(MainWindow, TabStopsAreTheVisibleControls) {
    std::vector<int> stops;
    bool hiddenStop = false;
    WithMainWindow([&](HWND main) {
        HWND first = GetDlgItem(main, IDC_SPLIT_MODE);
        HWND at = first;
        for (int i = 0; i < 40; ++i) {
            if (!IsWindowVisible(at) || !IsWindowEnabled(at)) hiddenStop = true;
            stops.push_back(GetDlgCtrlID(at));
            at = GetNextDlgTabItem(main, at, FALSE);
            if (at == first || !at) break;
        }
    });
    EXPECT_FALSE(hiddenStop);
    EXPECT_EQ(stops, (std::vector<int>{IDC_SPLIT_MODE, IDC_CHOOSE_FILE, IDC_CHOOSE_FOLDER, IDC_SIZE_BUTTON, IDC_START,
                                       IDCANCEL, IDC_SOURCE_PATH, IDC_DESTINATION_PATH}));
}

// A move to a monitor of another DPI: the window takes the rectangle Windows
// suggests, and what it made itself goes where the template's places are.
TEST(MainWindow, ADpiChangeTakesTheSuggestedRectangle) {
    RECT window{}, button{}, place{}, bar{}, statusPlace{}, custom{};
    bool customShown = true;
    RECT suggested{40, 30, 0, 0};
    WithMainWindow([&](HWND main) {
        RECT now;
        GetWindowRect(main, &now);
        suggested.right = suggested.left + (now.right - now.left) * 3 / 2;
        suggested.bottom = suggested.top + (now.bottom - now.top) * 3 / 2;
        SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
        GetWindowRect(main, &window);
        GetWindowRect(GetDlgItem(main, IDC_SIZE_BUTTON), &button);
        GetWindowRect(GetDlgItem(main, IDC_SIZE_BUTTON_PLACE), &place);
        GetWindowRect(GetDlgItem(main, IDC_STATUS_BAR), &bar);
        GetWindowRect(GetDlgItem(main, IDC_STATUS_PLACE), &statusPlace);
        GetWindowRect(GetDlgItem(main, IDC_CUSTOM_SIZE), &custom);
        customShown = IsWindowVisible(GetDlgItem(main, IDC_CUSTOM_SIZE)) != FALSE;
    });
    // A preset's button takes the hidden custom field's room too.
    if (!customShown) place.right = custom.right;
    EXPECT_EQ(window.left, suggested.left);
    EXPECT_EQ(window.right - window.left, suggested.right - suggested.left);
    EXPECT_TRUE(EqualRect(&button, &place));
    EXPECT_TRUE(EqualRect(&bar, &statusPlace));
}

// The letter after '&' of each visible control and of the menu bar: none is
// used twice, in either mode, and a control keeps its letter in both.
TEST(MainWindow, MnemonicsAreUniqueAndFixed) {
    std::map<int, char> letterOf[2];
    std::vector<std::string> clashes;
    WithMainWindow([&](HWND main) {
        for (int mode = 0; mode < 2; ++mode) {
            SendMessageW(main, WM_COMMAND, mode ? IDC_REJOIN_MODE : IDC_SPLIT_MODE, 0);
            std::map<char, std::string> owner;
            const auto take = [&](const std::string& text, const std::string& who, int id) {
                const std::size_t at = text.find('&');
                if (at == std::string::npos || at + 1 >= text.size()) return;
                const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(text[at + 1])));
                if (owner.count(letter)) clashes.push_back(owner[letter] + " and " + who);
                owner[letter] = who;
                if (id) letterOf[mode][id] = letter;
            };
            HMENU bar = GetMenu(main);
            for (int i = 0; i < GetMenuItemCount(bar); ++i) take(platform::Narrow(window::MenuText(bar, i).c_str()), "menu", 0);
            for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                if (IsWindowVisible(child)) take(drive::TextOf(child), drive::TextOf(child), GetDlgCtrlID(child));
            }
        }
    });
    EXPECT_TRUE(clashes.empty()) << clashes.front();
    // The start button alone says the mode's verb: "S&plit" or "&Rejoin".
    for (const auto& [id, letter] : letterOf[0]) {
        if (id != IDC_START && letterOf[1].count(id)) {
            EXPECT_EQ(letterOf[1][id], letter) << id;
        }
    }
}

// A run's figures in the status bar and the caption while it goes, and how
// it ended after it: a split of 1 GiB, stopped at the question.
TEST(MainWindow, ProgressFiguresWhileRunningAndTheEndingAfter) {
    drive::TempFolder dir;
    dir.WriteSparse("big.bin", 1ull << 30);
    std::string amount, speed, caption, question, ending;
    WithMainWindow([&](HWND main) {
        drive::SetItemText(main, IDC_SOURCE_PATH, dir.path + "\\big.bin");
        drive::SetItemText(main, IDC_DESTINATION_PATH, dir.path);
        drive::Click(main, IDC_START);
        HWND bar = GetDlgItem(main, IDC_STATUS_BAR);
        drive::WaitUntil([&] {
            amount = drive::StatusPart(bar, 1);
            speed = drive::StatusPart(bar, 2);
            caption = drive::TextOf(main);
            return amount.find(" of 1.1 GB (") != std::string::npos && speed.find(" left") != std::string::npos;
        }, 30000);
        drive::Click(main, IDCANCEL);
        question = drive::AnswerBox(GetCurrentProcessId(), "User interruption", IDCANCEL, 20000);
        drive::WaitUntil([&] { return IsWindowEnabled(GetDlgItem(main, IDC_START)) != FALSE; }, 60000);
        drive::WaitUntil([&] { return (ending = drive::StatusPart(bar, 0)) == "Split stopped"; });
    });
    EXPECT_NE(amount.find(" of 1.1 GB ("), std::string::npos) << amount;
    EXPECT_NE(speed.find("/s, about "), std::string::npos) << speed;
    EXPECT_NE(caption.find(" % - Corvane.Split"), std::string::npos) << caption;
    EXPECT_EQ(question, "The current operation is suspended.\n Continue?");
    EXPECT_EQ(ending, "Split stopped");
    // A piece finished is kept for the next split to continue after.
    EXPECT_TRUE(!dir.Exists("big.bin.0.spl") || dir.Exists(engine::StateFileName("big.bin")));
    EXPECT_FALSE(dir.Exists("big.bin.sio"));
}

}  // namespace
