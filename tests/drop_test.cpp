// The drop handler of the main window, in this process: a drop's HDROP can
// only be handed to a window of the process that made it.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <thread>

#include "app/HalvardDlg.h"
#include "resources/resource.h"

namespace {

HDROP MakeDrop(const std::vector<std::string>& paths) {
    std::size_t bytes = sizeof(DROPFILES) + 1;
    for (const std::string& path : paths) bytes += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    char* at = reinterpret_cast<char*>(drop + 1);
    for (const std::string& path : paths) {
        std::memcpy(at, path.c_str(), path.size() + 1);
        at += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

BOOL CALLBACK FindOurs(HWND hwnd, LPARAM lParam) {
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(hwnd)) {
        auto* found = reinterpret_cast<std::pair<std::string, HWND>*>(lParam);
        char title[256] = {};
        GetWindowTextA(hwnd, title, sizeof title);
        const bool isMain = GetDlgItem(hwnd, IDC_START) != nullptr;
        if ((found->first.empty() && isMain) || (!found->first.empty() && found->first == title && !isMain)) {
            found->second = hwnd;
            return FALSE;
        }
    }
    return TRUE;
}

HWND WaitFor(const std::string& boxTitle) {
    for (int i = 0; i < 500; ++i) {
        std::pair<std::string, HWND> found{boxTitle, nullptr};
        EnumWindows(FindOurs, reinterpret_cast<LPARAM>(&found));
        if (found.second) return found.second;
        Sleep(20);
    }
    return nullptr;
}

std::string Field(HWND dialog, int id) {
    char text[512] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

std::string BoxText(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[32] = {}, text[256] = {};
        GetClassNameA(child, cls, sizeof cls);
        GetWindowTextA(child, text, sizeof text);
        if (std::string(cls) == "Static" && text[0]) return text;
    }
    return "";
}

TEST(DropHandler, OneFileOrFolderByMode) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(temp) + "parvex-drop-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir.c_str(), nullptr);
    for (const char* name : {"film.avi.sio", "film.avi.2.spl", "notes.txt"}) {
        CloseHandle(CreateFileA((dir + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    std::string upper = dir + "\\FILM.AVI.SIO";
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));

    std::string twoItems, folderDestination, splitSource, rejoinSource, wrongType, missingInfo;
    std::thread user([&] {
        HWND main = WaitFor("");
        ASSERT_NE(main, nullptr);
        PostMessageA(main, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({dir + "\\notes.txt", dir})), 0);
        HWND box = WaitFor("Corvane.Split");
        twoItems = box ? BoxText(box) : "";
        if (box) PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        Sleep(300);

        SendMessageA(main, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({dir})), 0);
        folderDestination = Field(main, IDC_DESTINATION_PATH);
        SendMessageA(main, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({dir + "\\film.avi.2.spl"})), 0);
        splitSource = Field(main, IDC_SOURCE_PATH);

        SendMessageA(main, WM_COMMAND, IDC_REJOIN_MODE, 0);
        SendMessageA(main, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({dir + "\\film.avi.2.spl"})), 0);
        rejoinSource = Field(main, IDC_SOURCE_PATH);

        PostMessageA(main, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({dir + "\\notes.txt"})), 0);
        box = WaitFor("Corvane.Split");
        wrongType = box ? BoxText(box) : "";
        if (box) PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        Sleep(300);

        PostMessageA(main, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({dir + "\\other.7.spl"})), 0);
        box = WaitFor("Corvane.Split");
        missingInfo = box ? BoxText(box) : "";
        if (box) PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        Sleep(300);
        PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
    });
    {
        app::CHalvardDlg dialog(app::CommandLine{});
        dialog.DoModal(nullptr);
    }
    user.join();
    EXPECT_EQ(twoItems, "Drag-and-drop a single file/folder");
    EXPECT_EQ(folderDestination, dir);
    EXPECT_EQ(splitSource, dir + "\\film.avi.2.spl");
    EXPECT_EQ(rejoinSource, upper);
    EXPECT_EQ(wrongType, "Enter .sio or .spl file");
    std::string missing = dir + "\\OTHER.SIO";
    for (char& c : missing) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(missingInfo, missing + " not found.");
    for (const char* name : {"film.avi.sio", "film.avi.2.spl", "notes.txt"}) DeleteFileA((dir + "\\" + name).c_str());
    RemoveDirectoryA(dir.c_str());
}

}  // namespace

namespace {

std::string StatusPart(HWND main, int part) {
    char text[256] = {};
    SendMessageA(GetDlgItem(main, IDC_STATUS_BAR), SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text));
    return text;
}

// Piece-size commands, the custom field's filter and the status bar's parts.
TEST(MainWindow, PieceSizeCommandsAndStatusParts) {
    std::vector<std::string> seen;
    std::thread user([&] {
        HWND main = WaitFor("");
        ASSERT_NE(main, nullptr);
        auto record = [&] {
            seen.push_back(StatusPart(main, 0) + "|" + StatusPart(main, 2) + "|" + Field(main, IDC_UNIT_LABEL) + "|" +
                           (IsWindowVisible(GetDlgItem(main, IDC_CUSTOM_SIZE)) ? "field" : "no field"));
        };
        record();
        SendMessageA(main, WM_COMMAND, ID_PRESET_100MB, 0);
        record();
        SendMessageA(main, WM_COMMAND, IDC_SIZE_BUTTON, 0);  // a click on the face
        record();
        SendMessageA(main, WM_COMMAND, ID_UNIT_FILES, 0);
        record();
        SetDlgItemTextA(main, IDC_CUSTOM_SIZE, "007");
        seen.push_back(Field(main, IDC_CUSTOM_SIZE));
        SetDlgItemTextA(main, IDC_CUSTOM_SIZE, "12a");
        seen.push_back(Field(main, IDC_CUSTOM_SIZE));
        SendMessageA(main, WM_COMMAND, IDC_REJOIN_MODE, 0);
        record();
        SendMessageA(main, WM_COMMAND, ID_PRESET_FLOPPY, 0);  // does nothing in Rejoin mode
        record();
        SendMessageA(main, WM_COMMAND, IDC_SPLIT_MODE, 0);
        record();
        PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
    });
    {
        app::CHalvardDlg dialog(app::CommandLine{});
        dialog.DoModal(nullptr);
    }
    user.join();
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "Split|1.44 MB||no field",
                        "Split|100 MB||no field",
                        "Split|Custom [bytes]|In bytes:|field",
                        "Split|File count|Total files:|field",
                        "007",
                        "",
                        "Rejoin||Total files:|no field",
                        "Rejoin||Total files:|no field",
                        "Split||Total files:|field",
                    }));
}

}  // namespace

namespace {

TEST(MainWindow, AlwaysOnTopToggles) {
    std::vector<std::string> seen;
    std::thread user([&] {
        HWND main = WaitFor("");
        ASSERT_NE(main, nullptr);
        for (int i = 0; i < 2; ++i) {
            SendMessageA(main, WM_SYSCOMMAND, IDM_ALWAYS_ON_TOP, 0);
            HMENU system = GetSystemMenu(main, FALSE);
            char text[64] = {};
            GetMenuStringA(system, IDM_ALWAYS_ON_TOP, text, sizeof text, MF_BYCOMMAND);
            const UINT state = GetMenuState(system, IDM_ALWAYS_ON_TOP, MF_BYCOMMAND);
            seen.push_back(std::string(text) + ((state & MF_CHECKED) ? " checked" : " unchecked"));
        }
        PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
    });
    {
        app::CHalvardDlg dialog(app::CommandLine{});
        dialog.DoModal(nullptr);
    }
    user.join();
    EXPECT_EQ(seen, (std::vector<std::string>{"&Always On Top checked", "&Always On Top unchecked"}));
}

// The record handed to the shell, and the fallback when the shell has no
// notification area: the window goes to the taskbar, never out of reach.
TEST(MainWindow, TrayIconRecordAndNoNotificationArea) {
    for (const bool shellAccepts : {true, false}) {
        SCOPED_TRACE(shellAccepts ? "icon added" : "no notification area");
        std::vector<std::string> records;
        bool hidden = false, iconic = false, restored = false;
        std::thread user([&] {
            HWND main = WaitFor("");
            ASSERT_NE(main, nullptr);
            Sleep(300);  // the dialog shows itself once its queue first runs empty
            SendMessageA(main, WM_COMMAND, ID_MOVE_TO_TRAY, 0);
            hidden = !IsWindowVisible(main);
            iconic = IsIconic(main) != FALSE;
            SendMessageA(main, WM_USER + 52, 99, WM_LBUTTONDBLCLK);  // not our icon
            SendMessageA(main, WM_USER + 52, 143, WM_LBUTTONDBLCLK);
            for (int i = 0; i < 200 && !IsWindowVisible(main); ++i) Sleep(10);
            Sleep(700);  // Restore pauses before it removes the icon
            restored = IsWindowVisible(main) && !IsIconic(main);
            PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
        });
        {
            app::CHalvardDlg dialog(app::CommandLine{});
            dialog.SetTrayNotifier([&](DWORD message, NOTIFYICONDATAA* icon) {
                std::string record = message == NIM_ADD ? "add" : message == NIM_DELETE ? "delete" : "other";
                record += " id=" + std::to_string(icon->uID);
                if (message == NIM_ADD) {
                    record += " message=" + std::to_string(icon->uCallbackMessage - WM_USER) +
                              " flags=" + std::to_string(icon->uFlags) + " tip=" + icon->szTip +
                              (icon->hIcon ? " icon" : " no icon") + (icon->hWnd ? " owner" : " no owner");
                }
                records.push_back(record);
                return shellAccepts;
            });
            dialog.DoModal(nullptr);
        }
        user.join();
        EXPECT_EQ(hidden, shellAccepts);
        EXPECT_EQ(iconic, !shellAccepts);
        EXPECT_TRUE(restored);
        const std::string add = "add id=143 message=52 flags=" + std::to_string(NIF_MESSAGE | NIF_ICON | NIF_TIP) +
                                " tip=Restore window icon owner";
        if (shellAccepts) EXPECT_EQ(records, (std::vector<std::string>{add, "delete id=143"}));
        else EXPECT_EQ(records, (std::vector<std::string>{add}));
    }
}

}  // namespace

namespace {

// Help requests and the exact paths they open.
TEST(MainWindow, HelpTopics) {
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Corvane Software\\Corvane.Split\\Settings", 0, nullptr, 0,
                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const char install[] = "C:\\Program Files\\Corvane";
    RegSetValueExA(key, "Installed Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(install), sizeof install);
    std::vector<std::string> opened;
    std::thread user([&] {
        HWND main = WaitFor("");
        ASSERT_NE(main, nullptr);
        auto help = [&](int id, int type) {
            HELPINFO info{};
            info.cbSize = sizeof info;
            info.iContextType = type;
            info.iCtrlId = id;
            SendMessageA(main, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        };
        SendMessageA(main, WM_COMMAND, ID_HELP_CONTENTS, 0);
        help(IDC_SPLIT_MODE, HELPINFO_WINDOW);
        help(IDC_REJOIN_MODE, HELPINFO_WINDOW);
        help(IDC_START, HELPINFO_WINDOW);
        SendMessageA(main, WM_COMMAND, IDC_REJOIN_MODE, 0);
        help(IDC_START, HELPINFO_WINDOW);
        help(IDC_CHOOSE_FOLDER, HELPINFO_WINDOW);
        help(ID_GENERAL_SETTINGS, HELPINFO_MENUITEM);
        help(ID_HELP_CONTENTS, HELPINFO_MENUITEM);
        PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
    });
    {
        app::CHalvardDlg dialog(app::CommandLine{});
        dialog.SetHelpOpener([&](const std::string& path) { opened.push_back(path); });
        dialog.DoModal(nullptr);
    }
    user.join();
    RegDeleteValueA(key, "Installed Path");
    RegCloseKey(key);
    const std::string base = install;
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
}

}  // namespace
