// The real Parvex.exe, started and driven from outside as a user would:
// through its windows, with messages that cross processes safely.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/WinApi.h"
#include "resources/resource.h"
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
                EnumWindows(
                    [](HWND hwnd, LPARAM lParam) -> BOOL {
                        auto* want = reinterpret_cast<Found*>(lParam);
                        DWORD process = 0;
                        GetWindowThreadProcessId(hwnd, &process);
                        if (process == want->process && GetDlgItem(hwnd, IDC_START) && GetDlgItem(hwnd, IDC_SOURCE_PATH)) {
                            want->hwnd = hwnd;
                            return FALSE;
                        }
                        return TRUE;
                    },
                    reinterpret_cast<LPARAM>(&found));
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

private:
    PROCESS_INFORMATION info_{};
    BOOL started_ = FALSE;
    HWND main_ = nullptr;
};

std::string Item(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }
void Click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

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
    EXPECT_EQ(dir.Size("movie.avi.sio"), 268u);

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
    EXPECT_EQ(dir.Size("back\\movie.avi"), 25000000u);
    DeleteFileA((dir.path + "\\back\\movie.avi").c_str());
    RemoveDirectoryA((dir.path + "\\back").c_str());

    Click(main, IDC_SPLIT_MODE);
    Sleep(200);
    EXPECT_EQ(Item(main, IDC_SOURCE_PATH), dir.path + "\\movie.avi");  // Split's values are back
    Click(main, IDCANCEL);
    EXPECT_TRUE(program.Ended());
}

}  // namespace
