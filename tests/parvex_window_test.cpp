// The real Parvex.exe, started and driven from outside as a user would:
// through its windows, with messages that cross processes safely.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/WinApi.h"

#include <shlobj.h>
#include <tlhelp32.h>
#include "engine/Operation.h"
#include "engine/StartChecks.h"
#include "platform/win32/Win32Platform.h"
#include "resources/resource.h"
#include "support/Processes.h"
#include "support/Shots.h"
#include "support/SplitFixture.h"

namespace {

// The build names the program by its Linux path; Wine sees it on Z:.
std::string ProgramPath() {
    std::string path = "Z:" + std::string(PARVEX_EXE);
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// WM_GETTEXT crosses processes; GetWindowText would give an edit's stale caption.
std::string Text(HWND hwnd) {
    char text[2048] = {};
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

struct Found {
    DWORD process;
    std::string title;
    HWND hwnd = nullptr;
    bool visibleOnly = true;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM lParam) {
    auto* want = reinterpret_cast<Found*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (process == want->process && std::string(cls) == "#32770" && (!want->visibleOnly || IsWindowVisible(hwnd)) &&
        (want->title.empty() || Text(hwnd) == want->title)) {
        want->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The main window: the one with the Split/Rejoin button and the source field.
BOOL CALLBACK FindMain(HWND hwnd, LPARAM lParam) {
    auto* want = reinterpret_cast<Found*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (process == want->process && GetDlgItem(hwnd, IDC_START) && GetDlgItem(hwnd, IDC_SOURCE_PATH)) {
        want->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

class Program {
public:
    explicit Program(const std::string& args = "") {
        std::string command = "\"" + ProgramPath() + "\"" + (args.empty() ? "" : " " + args);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_);
    }
    ~Program() {
        if (!started_) return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 1);
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }

    // A dialog of the program; the main window is the one captioned as the
    // program or a path, found first by its template's controls.
    HWND Window(const std::string& title, int timeoutMs = 10000) {
        for (int waited = 0; waited < timeoutMs; waited += 20) {
            Found found{info_.dwProcessId, title};
            EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&found));
            if (found.hwnd) return found.hwnd;
            Sleep(20);
        }
        return nullptr;
    }
    HWND Main(int timeoutMs = 10000) {
        for (int waited = 0; waited < timeoutMs; waited += 20) {
            if (!main_) {
                Found found{info_.dwProcessId, ""};
                found.visibleOnly = true;
                EnumWindows(FindMain, reinterpret_cast<LPARAM>(&found));
                main_ = found.hwnd;
            }
            if (main_ && IsWindowVisible(main_)) return main_;
            Sleep(20);
        }
        return main_;
    }
    // The text of a message box of the program: its first non-empty static.
    static std::string BoxText(HWND box) {
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            char cls[32] = {};
            GetClassNameA(child, cls, sizeof cls);
            if (std::string(cls) == "Static" && !Text(child).empty()) return Text(child);
        }
        return "";
    }
    bool Ended(int timeoutMs = 10000) { return WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0; }
    bool started() const { return started_; }
    DWORD pid() const { return info_.dwProcessId; }

private:
    PROCESS_INFORMATION info_{};
    BOOL started_ = FALSE;
    HWND main_ = nullptr;
};

std::string Item(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }
void Click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// The main window is disabled while a box it owns is open or a run goes on.
void WaitUntilEnabled(HWND main) {
    for (int i = 0; i < 500 && !IsWindowEnabled(main); ++i) Sleep(10);
}

class Folder {
public:
    Folder() {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        path = std::string(temp) + "parvex-window-" + std::to_string(GetTickCount());
        CreateDirectoryA(path.c_str(), nullptr);
    }
    ~Folder() {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do DeleteFileA((path + "\\" + data.cFileName).c_str());
            while (FindNextFileA(find, &data));
            FindClose(find);
        }
        RemoveDirectoryA(path.c_str());
    }
    void Write(const std::string& name, const fake::Bytes& bytes) const {
        HANDLE h = CreateFileA((path + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(h);
    }
    std::uint64_t Size(const std::string& name) const {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA((path + "\\" + name).c_str(), GetFileExInfoStandard, &data)) return ~0ull;
        return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    }
    std::string path;
};

TEST(ParvexWindow, StartsWithAPieceInRejoinMode) {
    Folder dir;
    dir.Write("film.avi.sio", fake::Bytes(268));
    dir.Write("film.avi.3.spl", fake::Bytes(5));
    Program program("\"" + dir.path + "\\film.avi.3.spl\"");
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    std::string upper = dir.path + "\\FILM.AVI.SIO";
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(Item(main, IDC_SOURCE_PATH), upper);
    EXPECT_EQ(Text(main), upper);
    EXPECT_EQ(IsDlgButtonChecked(main, IDC_REJOIN_MODE), BST_CHECKED);
    EXPECT_EQ(Item(main, IDC_START), "&Rejoin");
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(main, IDC_SIZE_BUTTON)));
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

TEST(ParvexWindow, StartsWithAFileInSplitModeOrSaysItIsMissing) {
    Folder dir;
    dir.Write("notes.txt", fake::Bytes(12345));
    {
        Program program("/p \"" + dir.path + "\\notes.txt\"");
        HWND main = program.Main();
        ASSERT_NE(main, nullptr);
        EXPECT_EQ(Item(main, IDC_SOURCE_PATH), dir.path + "\\notes.txt");
        EXPECT_EQ(Item(main, IDC_FILE_SIZE), "File size is 12345 bytes");
        EXPECT_EQ(Text(main).rfind("Corvane.Split: ", 0), 0u);
        EXPECT_EQ(IsDlgButtonChecked(main, IDC_SPLIT_MODE), BST_CHECKED);
        PostMessageA(main, WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.Ended());
    }
    {
        Program program("\"" + dir.path + "\\gone.txt\"");
        HWND box = program.Window("Corvane.Split");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(Program::BoxText(box), "File does not exist or\ncould not be accessed");
        Click(box, IDOK);
        HWND main = program.Main();
        EXPECT_EQ(Item(main, IDC_SOURCE_PATH), "");
        Click(main, IDCANCEL);
        EXPECT_TRUE(program.Ended());
    }
}

TEST(ParvexWindow, SplitsAndRejoinsThroughTheWindow) {
    Folder dir;
    const fake::Bytes data = fake::Pattern(25000000);
    dir.Write("movie.avi", data);
    CreateDirectoryA((dir.path + "\\back").c_str(), nullptr);
    Program program;
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    // 10 MB pieces, chosen from the piece-size menu's command.
    PostMessageA(main, WM_COMMAND, ID_PRESET_10MB, 0);
    SetDlgItemTextA(main, IDC_SOURCE_PATH, (dir.path + "\\movie.avi").c_str());
    SetDlgItemTextA(main, IDC_DESTINATION_PATH, dir.path.c_str());
    Click(main, IDC_START);
    HWND notice = program.Window("Read This", 60000);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(Item(notice, IDC_NOTICE_1).rfind("Successfully sliced. ", 0), 0u);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(main, IDC_START)));
    Click(notice, IDOK);
    EXPECT_EQ(dir.Size("movie.avi.0.spl"), 10000000u);
    EXPECT_EQ(dir.Size("movie.avi.2.spl"), 5000000u);
    // The record every reader knows, then the trailer with the name and a
    // checksum of each of the three pieces.
    EXPECT_EQ(dir.Size("movie.avi.sio"), 268u + 56 + 9 + 3 * 16 + 8);

    Click(main, IDC_REJOIN_MODE);
    Sleep(200);
    EXPECT_EQ(Item(main, IDC_START), "&Rejoin");
    EXPECT_EQ(Item(main, IDC_SOURCE_PATH), "");  // Rejoin keeps its own fields
    SetDlgItemTextA(main, IDC_SOURCE_PATH, (dir.path + "\\movie.avi.sio").c_str());
    SetDlgItemTextA(main, IDC_DESTINATION_PATH, (dir.path + "\\back").c_str());
    Click(main, IDC_START);
    HWND done = program.Window("Corvane.Split", 60000);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(Program::BoxText(done), "Completed Successfully");
    Click(done, IDOK);
    WaitUntilEnabled(main);
    EXPECT_EQ(dir.Size("back\\movie.avi"), 25000000u);
    DeleteFileA((dir.path + "\\back\\movie.avi").c_str());
    RemoveDirectoryA((dir.path + "\\back").c_str());

    Click(main, IDC_SPLIT_MODE);
    Sleep(200);
    EXPECT_EQ(Item(main, IDC_SOURCE_PATH), dir.path + "\\movie.avi");  // Split's values are back
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

// A piece with one byte changed: the window names it in a box and rejoins
// nothing; an existing file of the output's name stays as it was.
TEST(ParvexWindow, ADamagedPieceIsNamedAndNothingIsRejoined) {
    Folder dir;
    dir.Write("movie.avi", fake::Pattern(3000000));
    CreateDirectoryA((dir.path + "\\back").c_str(), nullptr);
    dir.Write("back\\movie.avi", {'o', 'l', 'd'});
    {
        platform::Win32Platform fs;
        engine::StartRequest request;
        request.sourceText = dir.path + "\\movie.avi";
        request.destinationText = dir.path;
        request.size.presetBytes = 1000000;
        const engine::Prepared prepared = engine::PrepareJob(request, fs, {});
        ASSERT_TRUE(prepared.ok);
        engine::Host quiet;
        engine::OperationContext ctx(fs, quiet);
        ASSERT_EQ(engine::RunJob(prepared.job, ctx), engine::Outcome::Completed);
    }
    fake::Bytes piece = fake::Pattern(3000000);
    piece.erase(piece.begin(), piece.begin() + 1000000);
    piece.resize(1000000);
    piece[4321] ^= 1;
    dir.Write("movie.avi.1.spl", piece);

    Program program("\"" + dir.path + "\\movie.avi.sio\"");
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    SetDlgItemTextA(main, IDC_DESTINATION_PATH, (dir.path + "\\back").c_str());
    Click(main, IDC_START);
    // Overwrite the older file: it is replaced only by an exact one.
    HWND exists = program.Window("File already exists");
    ASSERT_NE(exists, nullptr);
    Click(exists, IDCANCEL);
    HWND box = program.Window("Corvane.Split", 60000);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(Program::BoxText(box).find("movie.avi.1.spl is damaged: its checksum does not match. Nothing was rejoined."),
              std::string::npos)
        << Program::BoxText(box);
    Click(box, IDOK);
    WaitUntilEnabled(main);
    EXPECT_EQ(dir.Size("back\\movie.avi"), 3u);
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
    DeleteFileA((dir.path + "\\back\\movie.avi").c_str());
    RemoveDirectoryA((dir.path + "\\back").c_str());
}

// Sizes of 4 GiB and more are shown whole.
TEST(ParvexWindow, AFileOver4GiBShowsItsSize) {
    Folder dir;
    HANDLE h = CreateFileA((dir.path + "\\disk.img").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = 5ll << 30;
    SetFilePointerEx(h, size, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    CloseHandle(h);
    Program program("\"" + dir.path + "\\disk.img\"");
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(Item(main, IDC_FILE_SIZE), "File size is 5368709120 bytes");
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

}  // namespace

namespace {

struct ClassWanted {
    DWORD process;
    const char* cls;
    HWND hwnd;
};

BOOL CALLBACK FindByClass(HWND hwnd, LPARAM lParam) {
    auto* want = reinterpret_cast<ClassWanted*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (process == want->process && std::string(cls) == want->cls && IsWindowVisible(hwnd)) {
        want->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForTopLevel(DWORD process, const char* cls, int timeoutMs = 10000) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        ClassWanted want{process, cls, nullptr};
        EnumWindows(FindByClass, reinterpret_cast<LPARAM>(&want));
        if (want.hwnd) return want.hwnd;
        Sleep(20);
    }
    return nullptr;
}

// A right-click on the tray icon; its menu, once open. Under Wine the focus
// moves off the window some time after it hides, and a menu opened before
// that is closed again by the move; a person never clicks that quickly.
HWND RightClickTrayIcon(HWND main, DWORD process) {
    Sleep(500);
    for (int attempt = 0; attempt < 3; ++attempt) {
        PostMessageA(main, WM_USER + 52, 143, WM_RBUTTONUP);
        if (HWND menu = WaitForTopLevel(process, "#32768", 3000)) return menu;
    }
    return nullptr;
}

// Cancel during a split: OK lets it complete, Cancel removes what it wrote.
// The tray menu's Exit asks the same question while the window is hidden.
TEST(ParvexWindow, CancelDuringASplit) {
    const struct {
        bool stop;
        bool fromTray;
    } cases[] = {{false, false}, {true, false}, {false, true}};
    for (const auto& c : cases) {
        const bool stop = c.stop;
        SCOPED_TRACE(stop ? "stop" : "continue");
        SCOPED_TRACE(c.fromTray ? "tray menu's Exit" : "Cancel button");
        Folder dir;
        dir.Write("big.bin", fake::Pattern(60000000));
        Program program;
        HWND main = program.Main();
        ASSERT_NE(main, nullptr);
        SetDlgItemTextA(main, IDC_SOURCE_PATH, (dir.path + "\\big.bin").c_str());
        SetDlgItemTextA(main, IDC_DESTINATION_PATH, dir.path.c_str());
        Click(main, IDC_START);
        // Ask as soon as the first piece exists.
        for (int i = 0; i < 500 && dir.Size("big.bin.0.spl") == ~0ull; ++i) Sleep(5);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_START)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_REJOIN_MODE)));
        if (c.fromTray) {
            PostMessageA(main, WM_COMMAND, ID_MOVE_TO_TRAY, 0);
            for (int i = 0; i < 2000 && IsWindowVisible(main); ++i) Sleep(10);
            EXPECT_FALSE(IsWindowVisible(main));
            PostMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
        } else {
            Click(main, IDCANCEL);
        }
        HWND question = program.Window("User interruption");
        ASSERT_NE(question, nullptr);
        EXPECT_EQ(Program::BoxText(question), "The current operation is suspended.\n Continue?");
        Click(question, stop ? IDCANCEL : IDOK);
        if (stop) {
            // The split may have reached its end while the question was open;
            // either way its output goes.
            WaitUntilEnabled(main);
            for (int i = 0; i < 500 && dir.Size("big.bin.0.spl") != ~0ull; ++i) Sleep(10);
            EXPECT_EQ(dir.Size("big.bin.sio"), ~0ull);
            EXPECT_EQ(dir.Size("big.bin.0.spl"), ~0ull);
            EXPECT_EQ(dir.Size("Go.bat"), ~0ull);
        } else {
            HWND notice = program.Window("Read This", 60000);
            ASSERT_NE(notice, nullptr);
            Click(notice, IDOK);
            EXPECT_EQ(dir.Size("big.bin.41.spl"), 60000000u - 41u * 1457664u);
        }
        // No operation now: Cancel ends the program (once no box disables it
        // and the worker, past its last prompt, has returned).
        WaitUntilEnabled(main);
        Sleep(300);
        if (c.fromTray) PostMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
        else Click(main, IDCANCEL);
        EXPECT_TRUE(program.Ended());
    }
}

BOOL CALLBACK FindTitleOf(HWND hwnd, LPARAM lParam) {
    auto* want = reinterpret_cast<std::pair<std::string, HWND>*>(lParam);
    if (IsWindowVisible(hwnd) && Text(hwnd) == want->first) {
        want->second = hwnd;
        return FALSE;
    }
    return TRUE;
}

TEST(ParvexScreens, EveryWindow) {
    fake::Shots shots;
    if (!shots.enabled()) GTEST_SKIP() << "PARVEX_SHOTS not set";
    // Help is found beside the program.
    std::string install = ProgramPath();
    install.resize(install.rfind('\\'));
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Corvane Software\\Corvane.Split\\Settings", 0, nullptr, 0,
                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, "Installed Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(install.c_str()),
                   static_cast<DWORD>(install.size() + 1));
    RegCloseKey(key);
    Folder dir;
    dir.Write("holiday.avi", fake::Pattern(30000000));
    Program program("\"" + dir.path + "\\holiday.avi\"");
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    SetDlgItemTextA(main, IDC_DESTINATION_PATH, dir.path.c_str());
    shots.Snap("main-split");

    RECT button;
    GetWindowRect(GetDlgItem(main, IDC_SIZE_BUTTON), &button);
    PostMessageA(GetDlgItem(main, IDC_SIZE_BUTTON), WM_LBUTTONDOWN, MK_LBUTTON,
                 MAKELPARAM(button.right - button.left - 5, 5));
    HWND menu = WaitForTopLevel(program.pid(), "#32768", 3000);
    shots.Snap("size-menu");
    if (menu) PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    Sleep(300);

    PostMessageA(main, WM_COMMAND, ID_UNIT_KB, 0);
    shots.Snap("custom-kb");
    PostMessageA(main, WM_COMMAND, ID_PRESET_FLOPPY, 0);

    PostMessageA(main, WM_COMMAND, ID_GENERAL_SETTINGS, 0);
    Sleep(800);
    shots.Snap("settings-pane");
    PostMessageA(main, WM_COMMAND, ID_GENERAL_SETTINGS, 0);
    Sleep(800);

    Click(main, IDC_START);
    for (int i = 0; i < 500 && dir.Size("holiday.avi.0.spl") == ~0ull; ++i) Sleep(5);
    Click(main, IDCANCEL);
    HWND question = program.Window("User interruption");
    shots.Snap("running-suspended");
    Click(question, IDOK);
    HWND notice = program.Window("Read This", 60000);
    shots.Snap("read-this");
    Click(notice, IDOK);

    Click(main, IDC_REJOIN_MODE);
    SetDlgItemTextA(main, IDC_SOURCE_PATH, (dir.path + "\\holiday.avi.sio").c_str());
    SetDlgItemTextA(main, IDC_DESTINATION_PATH, dir.path.c_str());
    shots.Snap("main-rejoin");
    Click(main, IDC_START);
    HWND exists = program.Window("File already exists", 20000);
    shots.Snap("file-exists");
    Click(exists, IDCANCEL);
    HWND done = program.Window("Corvane.Split", 60000);
    shots.Snap("completed");
    Click(done, IDOK);
    WaitUntilEnabled(main);

    // The tray icon's menu, Restore in bold.
    PostMessageA(main, WM_COMMAND, ID_MOVE_TO_TRAY, 0);
    for (int i = 0; i < 2000 && IsWindowVisible(main); ++i) Sleep(10);
    HWND trayMenu = RightClickTrayIcon(main, program.pid());
    EXPECT_NE(trayMenu, nullptr);
    shots.Snap("tray-menu");
    if (trayMenu) PostMessageA(trayMenu, WM_KEYDOWN, VK_ESCAPE, 0);
    Sleep(300);
    PostMessageA(main, WM_COMMAND, ID_TRAY_RESTORE, 0);
    for (int i = 0; i < 300 && !IsWindowVisible(main); ++i) Sleep(10);

    // The help window at its start page (Wine draws the pages blank).
    PostMessageA(main, WM_COMMAND, ID_HELP_CONTENTS, 0);
    HWND help = nullptr;
    for (int i = 0; i < 250 && !help; ++i) {
        Sleep(20);
        std::pair<std::string, HWND> want{"Corvane.Split Help", nullptr};
        EnumWindows(FindTitleOf, reinterpret_cast<LPARAM>(&want));
        help = want.second;
    }
    shots.Snap("help");
    if (help) PostMessageA(help, WM_CLOSE, 0, 0);
    Sleep(300);

    PostMessageA(main, WM_COMMAND, ID_ABOUT, 0);
    HWND about = program.Window("About Corvane.Split");
    shots.Snap("about");
    Click(about, IDOK);
    WaitUntilEnabled(main);

    // The maker's server is out of reach here: the dialog says so.
    PostMessageA(main, WM_COMMAND, ID_CHECK_UPDATES, 0);
    HWND version = program.Window("Version dialog box", 60000);
    shots.Snap("version");
    Click(version, IDOK);
    WaitUntilEnabled(main);
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

}  // namespace

namespace {

TEST(ParvexWindow, FileChooserFillsTheSource) {
    Folder dir;
    dir.Write("song.wav", fake::Bytes(4321));
    Program program;
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    Click(main, IDC_CHOOSE_FILE);
    HWND chooser = program.Window("Choose a file for splitting");
    ASSERT_NE(chooser, nullptr);
    SetDlgItemTextA(chooser, 0x47c, (dir.path + "\\song.wav").c_str());
    Click(chooser, IDOK);
    for (int i = 0; i < 200 && Item(main, IDC_SOURCE_PATH).empty(); ++i) Sleep(10);
    EXPECT_EQ(Item(main, IDC_SOURCE_PATH), dir.path + "\\song.wav");
    EXPECT_EQ(Item(main, IDC_FILE_SIZE), "File size is 4321 bytes");
    EXPECT_EQ(Text(main).rfind("Corvane.Split: ", 0), 0u);
    EXPECT_LE(Text(main).size(), std::string("Corvane.Split: ").size() + 29);

    // In Rejoin mode only an info file will do.
    Click(main, IDC_REJOIN_MODE);
    Click(main, IDC_CHOOSE_FILE);
    chooser = program.Window("Choose the SIO file from the location of split files");
    ASSERT_NE(chooser, nullptr);
    SetDlgItemTextA(chooser, 0x47c, (dir.path + "\\song.wav").c_str());
    Click(chooser, IDOK);
    HWND box = program.Window("Corvane.Split");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Program::BoxText(box), "Enter .sio file");
    Click(box, IDOK);
    WaitUntilEnabled(main);
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

std::string RegistryValue(const char* name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Corvane Software\\Corvane.Split\\Settings", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS) {
        return "<no key>";
    }
    char data[1024] = {};
    DWORD size = sizeof data;
    const LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::string(data) : "<missing>";
}

TEST(ParvexWindow, SettingsPaneSavesOnOkOnly) {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Corvane Software\\Corvane.Split\\Settings");
    Folder dir;
    Program program;
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    RECT closed;
    GetWindowRect(main, &closed);
    PostMessageA(main, WM_COMMAND, ID_GENERAL_SETTINGS, 0);
    HWND pane = FindWindowExA(main, nullptr, "#32770", nullptr);
    ASSERT_NE(pane, nullptr);
    for (int i = 0; i < 200 && !IsWindowVisible(pane); ++i) Sleep(10);
    Sleep(500);  // the window grows in steps
    RECT open;
    GetWindowRect(main, &open);
    EXPECT_GT(open.bottom - open.top, closed.bottom - closed.top + 100);

    // Cancel writes nothing.
    SetDlgItemTextA(pane, IDC_WORKING_FOLDER, dir.path.c_str());
    Click(pane, IDCANCEL);
    Sleep(800);
    EXPECT_EQ(RegistryValue("Working Folder"), "<missing>");
    RECT again;
    GetWindowRect(main, &again);
    EXPECT_EQ(again.bottom - again.top, closed.bottom - closed.top);

    // OK writes the flags and the folder, and the folder becomes the destination.
    PostMessageA(main, WM_COMMAND, ID_GENERAL_SETTINGS, 0);
    Sleep(800);
    SetDlgItemTextA(pane, IDC_WORKING_FOLDER, dir.path.c_str());
    Click(pane, IDC_ERASE_REMOVABLE);
    Click(pane, IDOK);
    for (int i = 0; i < 300 && Item(main, IDC_DESTINATION_PATH) != dir.path; ++i) Sleep(10);
    EXPECT_EQ(RegistryValue("Folder Options"), "2");
    EXPECT_EQ(RegistryValue("Working Folder"), dir.path);
    EXPECT_EQ(Item(main, IDC_DESTINATION_PATH), dir.path);
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Corvane Software\\Corvane.Split\\Settings");
}

}  // namespace

namespace {

TEST(ParvexWindow, FolderChooserSetsTheDestination) {
    Folder dir;
    Program program;
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, program.pid());
    void* remote = VirtualAllocEx(process, nullptr, dir.path.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    WriteProcessMemory(process, remote, dir.path.c_str(), dir.path.size() + 1, nullptr);
    // Wine's folder tree fills in at its own pace and may drop a selection
    // made too early: choose again until the selection has taken.
    for (int attempt = 1; attempt <= 5 && Item(main, IDC_DESTINATION_PATH) != dir.path; ++attempt) {
        Click(main, IDC_CHOOSE_FOLDER);
        HWND browse = nullptr;
        for (int i = 0; i < 250 && !browse; ++i) {
            Sleep(20);
            Found found{program.pid(), ""};
            EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&found));
            if (found.hwnd != main) browse = found.hwnd;
        }
        ASSERT_NE(browse, nullptr);
        Sleep(300 * attempt);
        // The selection message carries a pointer: the path lives in the
        // program's own memory.
        SendMessageA(browse, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(remote));
        Sleep(300);
        Click(browse, IDOK);
        for (int i = 0; i < 100 && IsWindow(browse); ++i) Sleep(10);
    }
    EXPECT_EQ(Item(main, IDC_DESTINATION_PATH), dir.path);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    WaitUntilEnabled(main);
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

TEST(ParvexWindow, AutomationSwitchOpensNoFile) {
    Program program("/Automation");
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(Item(main, IDC_SOURCE_PATH), "");
    EXPECT_EQ(IsDlgButtonChecked(main, IDC_SPLIT_MODE), BST_CHECKED);
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

}  // namespace

namespace {

TEST(ParvexWindow, TrayAlwaysOnTopAndAbout) {
    Program program;
    HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    // The dialog shows itself once its queue first runs empty: let that
    // happen before hiding it.
    Sleep(1000);
    PostMessageA(main, WM_COMMAND, ID_MOVE_TO_TRAY, 0);
    // Wine hands the icon to its tray first, which can take seconds here.
    for (int i = 0; i < 2000 && IsWindowVisible(main); ++i) Sleep(10);
    EXPECT_FALSE(IsWindowVisible(main));
    PostMessageA(main, WM_USER + 52, 143, WM_LBUTTONDBLCLK);  // a double-click on the tray icon
    for (int i = 0; i < 200 && !IsWindowVisible(main); ++i) Sleep(10);
    EXPECT_TRUE(IsWindowVisible(main));

    // Again, restored this time through the icon's menu, by its mnemonic.
    PostMessageA(main, WM_COMMAND, ID_MOVE_TO_TRAY, 0);
    for (int i = 0; i < 2000 && IsWindowVisible(main); ++i) Sleep(10);
    EXPECT_FALSE(IsWindowVisible(main));
    HWND trayMenu = RightClickTrayIcon(main, program.pid());
    ASSERT_NE(trayMenu, nullptr);
    Sleep(200);
    PostMessageA(trayMenu, WM_CHAR, 'r', 0);
    for (int i = 0; i < 300 && !IsWindowVisible(main); ++i) Sleep(10);
    EXPECT_TRUE(IsWindowVisible(main));

    PostMessageA(main, WM_COMMAND, ID_ABOUT, 0);
    HWND about = program.Window("About Corvane.Split");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(Item(about, IDC_WEBSITE), "Website - www.corvane.example");
    EXPECT_EQ(Item(about, IDC_SALES), "Sales - sales@corvane.example");
    EXPECT_EQ(Item(about, IDC_SUPPORT), "Support - support@corvane.example");
    Click(about, IDOK);
    WaitUntilEnabled(main);
    PostMessageA(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);  // the system menu's About
    about = program.Window("About Corvane.Split");
    ASSERT_NE(about, nullptr);
    Click(about, IDOK);
    WaitUntilEnabled(main);
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

}  // namespace

namespace {

// A path as a JScript string literal's content.
std::string JsString(const std::string& path) {
    std::string escaped;
    for (char c : path) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return escaped;
}

bool ParvexRunning() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
        found = _stricmp(entry.szExeFile, "Parvex.exe") == 0;
    }
    CloseHandle(snapshot);
    return found;
}

BOOL CALLBACK FindTitle(HWND hwnd, LPARAM lParam) {
    auto* want = reinterpret_cast<std::pair<std::string, HWND>*>(lParam);
    if (IsWindowVisible(hwnd) && Text(hwnd) == want->first) {
        want->second = hwnd;
        return FALSE;
    }
    return TRUE;
}

// An ordinary start writes the automation registration.
void RegisterByOrdinaryStart() {
    Program ordinary;
    HWND main = ordinary.Main();
    ASSERT_NE(main, nullptr);
    Sleep(300);
    Click(main, IDCANCEL);
    ASSERT_TRUE(ordinary.Ended());
}

// A real automation client: Wine's cscript with JScript.
TEST(Automation, ScriptDrivesASplit) {
    RegisterByOrdinaryStart();
    Folder dir;
    dir.Write("tape.bin", fake::Pattern(3000000));
    const std::string script = dir.path + "\\drive.js";
    const std::string js =
        "try {\n"
        "  var app = new ActiveXObject('Halvard.Application');\n"
        "  app.Size('GB', 1);\n"
        "  app.Size('Mega Bytes', 2);\n"
        "  app.Size('floppy', 0);\n"
        "  app.Size('kb', 1440);\n"
        "  app.SourceFile('" + JsString(dir.path + "\\tape.bin") + "');\n"
        "  app.Destination('" + JsString(dir.path) + "');\n"
        "  var result = app.Run();\n"
        "  app = null;\n"
        "  CollectGarbage();\n"
        "  WScript.Quit(result === true ? 0 : 3);\n"
        "} catch (e) { WScript.Quit(2); }\n";
    HANDLE file = CreateFileA(script.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, js.data(), static_cast<DWORD>(js.size()), &written, nullptr);
    CloseHandle(file);

    bool noticed = false;
    std::thread user([&] {
        for (int i = 0; i < 3000 && !noticed; ++i) {
            std::pair<std::string, HWND> want{"Read This", nullptr};
            EnumWindows(FindTitle, reinterpret_cast<LPARAM>(&want));
            if (want.second) {
                noticed = true;
                PostMessageA(GetDlgItem(want.second, IDOK), BM_CLICK, 0, 0);
            }
            Sleep(20);
        }
    });
    const DWORD code = fake::RunAndWait("cscript //nologo \"" + script + "\"", 60000);
    noticed = true;
    user.join();
    EXPECT_EQ(code, 0u);
    // The server started for the client ends once the client has let go.
    for (int i = 0; i < 500 && ParvexRunning(); ++i) Sleep(20);
    EXPECT_FALSE(ParvexRunning());
    EXPECT_EQ(dir.Size("tape.bin.0.spl"), 1440000u);
    EXPECT_EQ(dir.Size("tape.bin.2.spl"), 3000000u - 2u * 1440000u);
    DeleteFileA(script.c_str());
}

}  // namespace

namespace {

// A C++ client through CoCreateInstance and IDispatch::Invoke.
TEST(Automation, DispatchClientAndRefusals) {
    RegisterByOrdinaryStart();
    CoInitialize(nullptr);
    IDispatch* app = nullptr;
    const CLSID clsid = {0x5E8B2F4A, 0x6C31, 0x4D7E, {0xA9, 0xB0, 0x3F, 0x1C, 0x72, 0xD4, 0xE8, 0xA5}};
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(&app)), S_OK);
    auto id = [&](const wchar_t* name) {
        DISPID dispid = -1;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        app->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid);
        return dispid;
    };
    EXPECT_EQ(id(L"run"), 1);
    EXPECT_EQ(id(L"SOURCEFILE"), 2);
    EXPECT_EQ(id(L"Destination"), 3);
    EXPECT_EQ(id(L"size"), 4);
    EXPECT_EQ(id(L"Explode"), DISPID_UNKNOWN);

    // Closing the window while the object is held only hides it.
    HWND main = nullptr;
    for (int i = 0; i < 500 && !main; ++i) {
        Sleep(20);
        std::pair<std::string, HWND> want{"Corvane.Split", nullptr};
        EnumWindows(FindTitle, reinterpret_cast<LPARAM>(&want));
        if (want.second && GetDlgItem(want.second, IDC_START)) main = want.second;
    }
    ASSERT_NE(main, nullptr);
    Sleep(500);
    PostMessageA(main, WM_CLOSE, 0, 0);
    for (int i = 0; i < 200 && IsWindowVisible(main); ++i) Sleep(10);
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_TRUE(ParvexRunning());

    // Destination with a file: "Path is not a folder", answered by the user.
    Folder dir;
    dir.Write("a.txt", fake::Bytes(3));
    std::string boxText;
    std::thread user([&] {
        for (int i = 0; i < 500 && boxText.empty(); ++i) {
            std::pair<std::string, HWND> want{"Corvane.Split", nullptr};
            EnumWindows(FindTitle, reinterpret_cast<LPARAM>(&want));
            if (want.second && !GetDlgItem(want.second, IDC_START)) {
                boxText = Program::BoxText(want.second);
                PostMessageA(GetDlgItem(want.second, IDOK), BM_CLICK, 0, 0);
            }
            Sleep(20);
        }
    });
    std::string path = dir.path + "\\a.txt";
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(path.size()));
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, text, static_cast<int>(path.size() + 1));
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = text;
    DISPPARAMS params{&argument, nullptr, 1, 0};
    EXPECT_EQ(app->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    user.join();
    EXPECT_EQ(boxText, "Path is not a folder");
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(app->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(app->Invoke(9, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    VariantClear(&argument);
    app->Release();
    for (int i = 0; i < 500 && ParvexRunning(); ++i) Sleep(20);
    EXPECT_FALSE(ParvexRunning());
    CoUninitialize();
}

}  // namespace

namespace {

HWND WaitForTitle(const std::string& title, bool mainWindow, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        std::pair<std::string, HWND> want{title, nullptr};
        EnumWindows(FindTitle, reinterpret_cast<LPARAM>(&want));
        if (want.second && (GetDlgItem(want.second, IDC_START) != nullptr) == mainWindow) return want.second;
        Sleep(20);
    }
    return nullptr;
}

// A method with string arguments (or none) through IDispatch::Invoke.
HRESULT CallWithText(IDispatch* app, DISPID id, const std::string& text, VARIANT* result) {
    VARIANT argument;
    VariantInit(&argument);
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    if (!text.empty()) {
        const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
        argument.vt = VT_BSTR;
        argument.bstrVal = SysAllocStringLen(nullptr, static_cast<UINT>(length - 1));
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, argument.bstrVal, length);
        params = {&argument, nullptr, 1, 0};
    }
    const HRESULT hr = app->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, nullptr, nullptr);
    VariantClear(&argument);
    return hr;
}

// A second client's Run while the first client's operation runs starts
// nothing and answers false; its SourceFile leaves the running split alone.
TEST(Automation, RunWhileAnOperationRunsIsRefused) {
    RegisterByOrdinaryStart();
    CoInitialize(nullptr);
    IDispatch* app = nullptr;
    const CLSID clsid = {0x5E8B2F4A, 0x6C31, 0x4D7E, {0xA9, 0xB0, 0x3F, 0x1C, 0x72, 0xD4, 0xE8, 0xA5}};
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(&app)), S_OK);
    HWND main = WaitForTitle("Corvane.Split", true, 10000);
    ASSERT_NE(main, nullptr);
    Folder dir;
    dir.Write("big.bin", fake::Pattern(60000000));
    dir.Write("other.bin", fake::Bytes(10));
    EXPECT_EQ(CallWithText(app, 2, dir.path + "\\big.bin", nullptr), S_OK);
    EXPECT_EQ(CallWithText(app, 3, dir.path, nullptr), S_OK);

    IStream* stream = nullptr;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IDispatch, app, &stream), S_OK);
    VARIANT secondRun;
    VariantInit(&secondRun);
    HRESULT secondResult = E_FAIL;
    std::string sourceAfter;
    bool questionSeen = false;
    std::thread other([&] {
        CoInitialize(nullptr);
        IDispatch* again = nullptr;
        CoGetInterfaceAndReleaseStream(stream, IID_IDispatch, reinterpret_cast<void**>(&again));
        for (int i = 0; i < 1000 && dir.Size("big.bin.0.spl") == ~0ull; ++i) Sleep(5);
        // Hold the worker at the suspension question while the calls arrive.
        PostMessageA(main, WM_CLOSE, 0, 0);
        HWND question = WaitForTitle("User interruption", false, 10000);
        questionSeen = question != nullptr;
        if (again) {
            secondResult = CallWithText(again, 1, "", &secondRun);
            CallWithText(again, 2, dir.path + "\\other.bin", nullptr);
            sourceAfter = Item(main, IDC_SOURCE_PATH);
            again->Release();
        }
        if (question) PostMessageA(GetDlgItem(question, IDOK), BM_CLICK, 0, 0);
        HWND notice = WaitForTitle("Read This", false, 60000);
        if (notice) PostMessageA(GetDlgItem(notice, IDOK), BM_CLICK, 0, 0);
        CoUninitialize();
    });
    VARIANT firstRun;
    VariantInit(&firstRun);
    EXPECT_EQ(CallWithText(app, 1, "", &firstRun), S_OK);
    other.join();
    EXPECT_TRUE(questionSeen);
    EXPECT_EQ(firstRun.vt, VT_BOOL);
    EXPECT_EQ(firstRun.boolVal, VARIANT_TRUE);
    EXPECT_EQ(secondResult, S_OK);
    EXPECT_EQ(secondRun.vt, VT_BOOL);
    EXPECT_EQ(secondRun.boolVal, VARIANT_FALSE);
    EXPECT_EQ(sourceAfter, dir.path + "\\big.bin");
    // The one split ran to its end; nothing was made of the other file.
    std::uint64_t total = 0;
    for (int n = 0; dir.Size("big.bin." + std::to_string(n) + ".spl") != ~0ull; ++n) {
        total += dir.Size("big.bin." + std::to_string(n) + ".spl");
    }
    EXPECT_EQ(total, 60000000u);
    EXPECT_EQ(dir.Size("other.bin.sio"), ~0ull);
    app->Release();
    for (int i = 0; i < 500 && ParvexRunning(); ++i) Sleep(20);
    EXPECT_FALSE(ParvexRunning());
    CoUninitialize();
}

}  // namespace

namespace {

std::string DefaultOf(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "<no key>";
    char data[1024] = {};
    DWORD size = sizeof data - 1;
    const LONG result = RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::string(data) : "<missing>";
}

void SetDefault(HKEY root, const std::string& path, const std::string& value) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

// The setup program's switches: the registration written and removed with no
// window; a registration that names another copy of the program is kept.
TEST(Automation, RegistrationSwitches) {
    const std::string server = std::string("CLSID\\") + "{5E8B2F4A-6C31-4D7E-A9B0-3F1C72D4E8A5}";
    const std::string user = "Software\\Classes\\";
    const std::string program = "\"" + ProgramPath() + "\"";
    ASSERT_EQ(fake::RunAndWait(program + " /UnregServer", 20000), 0u);
    EXPECT_EQ(DefaultOf(HKEY_CLASSES_ROOT, server), "<no key>");
    EXPECT_EQ(DefaultOf(HKEY_CLASSES_ROOT, "Halvard.Application"), "<no key>");
    EXPECT_EQ(DefaultOf(HKEY_CURRENT_USER, user + server), "<no key>");
    EXPECT_EQ(DefaultOf(HKEY_CURRENT_USER, user + "Halvard.Application"), "<no key>");

    ASSERT_EQ(fake::RunAndWait(program + " /RegServer", 20000), 0u);
    EXPECT_FALSE(ParvexRunning());
    for (const auto& [root, prefix] : {std::pair<HKEY, std::string>{HKEY_CLASSES_ROOT, ""}, {HKEY_CURRENT_USER, user}}) {
        EXPECT_EQ(_stricmp(DefaultOf(root, prefix + server + "\\LocalServer32").c_str(), ProgramPath().c_str()), 0);
        EXPECT_EQ(DefaultOf(root, prefix + server + "\\ProgID"), "Halvard.Application");
        EXPECT_EQ(DefaultOf(root, prefix + "Halvard.Application\\CLSID"), "{5E8B2F4A-6C31-4D7E-A9B0-3F1C72D4E8A5}");
    }

    // The user's own registration now belongs to another copy.
    SetDefault(HKEY_CURRENT_USER, user + server + "\\LocalServer32", "C:\\Elsewhere\\Parvex.exe");
    ASSERT_EQ(fake::RunAndWait(program + " -unregserver", 20000), 0u);
    EXPECT_EQ(DefaultOf(HKEY_CLASSES_ROOT, server), "<no key>");
    EXPECT_EQ(DefaultOf(HKEY_CURRENT_USER, user + server + "\\LocalServer32"), "C:\\Elsewhere\\Parvex.exe");
    EXPECT_EQ(DefaultOf(HKEY_CURRENT_USER, user + "Halvard.Application\\CLSID"), "{5E8B2F4A-6C31-4D7E-A9B0-3F1C72D4E8A5}");

    RegisterByOrdinaryStart();  // as the other tests found it
    EXPECT_EQ(_stricmp(DefaultOf(HKEY_CURRENT_USER, user + server + "\\LocalServer32").c_str(), ProgramPath().c_str()), 0);
}

}  // namespace
