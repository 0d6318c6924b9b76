// The setup program on a machine where nothing was installed: a silent
// install, the program and the extension working from where it put them, and
// a silent uninstall that removes its own entries and nothing else.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "shellext/Identifiers.h"
#include "support/DropData.h"
#include "support/Shots.h"
#include "support/WindowDriver.h"

#include <shlobj.h>

#include <string>
#include <vector>

namespace {

const char kAutomationClsid[] = "{5E8B2F4A-6C31-4D7E-A9B0-3F1C72D4E8A5}";
const char kSettingsKey[] = "Software\\Corvane Software\\Corvane.Split\\Settings";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvane Split";
const char kApproved[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char kHandlers[] = "*\\shellex\\contextmenuhandlers";
const char kActiveSetupKey[] =
    "Software\\Microsoft\\Active Setup\\Installed Components\\{8C3A5E21-4F7D-4B69-A2E0-6D15B9C47F38}";
const char kForeignClsid[] = "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";

std::string Folder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool KeyExists(HKEY root, const std::string& key) {
    HKEY h;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

std::string Value(HKEY root, const std::string& key, const char* name) {
    HKEY h;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return "<no key>";
    char data[2048] = {};
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    const LONG result = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(h);
    if (result != ERROR_SUCCESS) return "<missing>";
    if (type == REG_DWORD) return std::to_string(*reinterpret_cast<const DWORD*>(data));
    return data;
}

void SetValue(HKEY root, const std::string& key, const char* name, const std::string& value) {
    HKEY h;
    ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr), ERROR_SUCCESS);
    RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
    RegCloseKey(h);
}

std::string LongPath(const std::string& path) {
    char full[MAX_PATH * 2] = {};
    const DWORD length = GetLongPathNameA(path.c_str(), full, sizeof full);
    return length && length < sizeof full ? std::string(full) : path;
}

bool SamePath(const std::string& a, const std::string& b) { return _stricmp(LongPath(a).c_str(), LongPath(b).c_str()) == 0; }

void WriteFileText(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// The program's main window, started by setup or by the shell.
HWND WaitForParvexWindow() {
    HWND main = nullptr;
    drive::WaitUntil([&] { return (main = drive::FindMain(0)) != nullptr; });
    return main;
}

std::string ProcessImage(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return "";
    char path[MAX_PATH * 2] = {};
    DWORD size = sizeof path;
    const BOOL ok = QueryFullProcessImageNameA(process, 0, path, &size);
    CloseHandle(process);
    return ok ? std::string(path) : "";
}


// Closes the program's window and waits until its process has gone.
bool CloseParvex(HWND main) {
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
    const bool ended = process && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
    if (process) CloseHandle(process);
    return ended;
}

// Installs into `chosen` (the proposed folder when empty), uses what was
// installed, and uninstalls.
void InstallUseAndUninstall(const std::string& chosen) {
    const std::string folder = chosen.empty() ? Folder(CSIDL_PROGRAM_FILES) + "\\Corvane Split" : chosen;
    const std::string setup = "\"" + drive::WindowsPath(SETUP_EXE) + "\" /S" + (chosen.empty() ? "" : " /D=" + chosen);
    const std::string shortcut = Folder(CSIDL_COMMON_PROGRAMS) + "\\Corvane Split.lnk";
    const std::string clsidKey = std::string("CLSID\\") + glimber::kClsidText;
    const std::string automationKey = std::string("CLSID\\") + kAutomationClsid;
    const char* const ourFiles[] = {"Parvex.exe", "parvex-cli.exe", "Glimber.dll", "Corvane Split.chm", "ReadMe.txt",
                                    "Uninstall.exe"};

    // Without the PATH option the user's PATH stays as it was, through the
    // uninstall too (which takes the folder off only where it is).
    const std::string path = Value(HKEY_CURRENT_USER, "Environment", "Path");
    ASSERT_EQ(drive::RunAndWait(setup), 0u);
    for (const char* name : ourFiles) EXPECT_TRUE(Exists(folder + "\\" + name)) << name;
    // Once more over itself, as an update or a repair would.
    ASSERT_EQ(drive::RunAndWait(setup), 0u);
    for (const char* name : ourFiles) EXPECT_TRUE(Exists(folder + "\\" + name)) << name;
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kSettingsKey, "Installed Path"), folder);  // no trailing backslash
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, std::string(kHandlers) + "\\Corvane.Split", nullptr), glimber::kClsidText);
    EXPECT_TRUE(SamePath(Value(HKEY_CLASSES_ROOT, clsidKey + "\\InprocServer32", nullptr), folder + "\\Glimber.dll"));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kApproved, glimber::kClsidText), "Corvane.Split ContextMenuHandler");
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::string("TypeLib\\") + glimber::kLibidText));
    // Quoted: the folder's blanks must not let Windows try "C:\\Program.exe".
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, automationKey + "\\LocalServer32", nullptr), "\"" + folder + "\\Parvex.exe\"");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "Halvard.Application\\CLSID", nullptr), kAutomationClsid);
    // The setup of the bitness of this build (a 32-bit one under WoW64).
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"),
              sizeof(void*) == 8 ? "Corvane Split (64-bit)" : "Corvane Split (32-bit)");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), "6.5");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher"), "Corvane Software");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), "\"" + folder + "\\Uninstall.exe\" /AllUsers");
    // A double-click on an info file opens it in the installed program.
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "Software\\Classes\\.sio", nullptr), "CorvaneSplit.Set");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "Software\\Classes\\CorvaneSplit.Set\\shell\\open\\command", nullptr),
              "\"" + folder + "\\Parvex.exe\" \"%1\"");
    EXPECT_EQ(drive::RunAndWait("\"" + folder + "\\parvex-cli.exe\" --help"), 0u);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), folder);
    EXPECT_GE(std::stoul("0" + Value(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize")), 100u);  // kilobytes
    EXPECT_TRUE(Exists(shortcut));

    // Another user's first logon: Windows runs the component's command, which
    // gives that user the same "Installed Path".
    HKEY settings;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_SET_VALUE, &settings), ERROR_SUCCESS);
    RegDeleteValueA(settings, "Installed Path");
    RegCloseKey(settings);
    EXPECT_EQ(drive::RunAndWait(Value(HKEY_LOCAL_MACHINE, kActiveSetupKey, "StubPath")), 0u);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kSettingsKey, "Installed Path"), folder);

    // The shell's way in: the handler through COM, its command starting the
    // installed program with the file.
    CoInitialize(nullptr);
    const std::string file = Folder(CSIDL_PERSONAL) + "\\holiday.avi";
    WriteFileText(file, "twelve bytes");
    IShellExtInit* init = nullptr;
    ASSERT_EQ(CoCreateInstance(glimber::kClsidSplitContext, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                               reinterpret_cast<void**>(&init)),
              S_OK);
    fake::DropData data({file});
    EXPECT_EQ(init->Initialize(nullptr, &data, nullptr), S_OK);
    IContextMenu* menu = nullptr;
    ASSERT_EQ(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
    HMENU popup = CreatePopupMenu();
    EXPECT_TRUE(SUCCEEDED(menu->QueryContextMenu(popup, 0, 100, 200, CMF_NORMAL)));
    CMINVOKECOMMANDINFO invoke{};
    invoke.cbSize = sizeof invoke;
    invoke.lpVerb = MAKEINTRESOURCEA(0);
    invoke.nShow = SW_SHOWNORMAL;
    EXPECT_EQ(menu->InvokeCommand(&invoke), S_OK);
    menu->Release();
    init->Release();
    DestroyMenu(popup);
    CoUninitialize();
    HWND main = WaitForParvexWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(SamePath(ProcessImage(main), folder + "\\Parvex.exe"));
    EXPECT_EQ(drive::ItemText(main, IDC_SOURCE_PATH), file);

    // Not while it runs: the uninstaller (run in place, so its exit code is
    // its own) refuses and removes nothing.
    EXPECT_EQ(drive::RunAndWait("\"" + folder + "\\Uninstall.exe\" /S _?=" + folder), 2u);
    for (const char* name : ourFiles) EXPECT_TRUE(Exists(folder + "\\" + name)) << name;
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    // Nor does setup replace it: silently it stops with code 2.
    EXPECT_EQ(drive::RunAndWait(setup), 2u);
    EXPECT_TRUE(Exists(folder + "\\Parvex.exe"));
    ASSERT_TRUE(CloseParvex(main));

    // Others' entries and the user's pieces, some inside the program folder.
    SetValue(HKEY_CLASSES_ROOT, std::string(kHandlers) + "\\Another.Tool", nullptr, kForeignClsid);
    SetValue(HKEY_LOCAL_MACHINE, kApproved, kForeignClsid, "Another tool");
    CreateDirectoryA((folder + "\\Working").c_str(), nullptr);
    WriteFileText(folder + "\\Working\\holiday.avi.0.spl", "piece");

    // The uninstaller hands over to a copy of itself and returns at once;
    // the copy is done when it has removed the original.
    EXPECT_EQ(drive::RunAndWait("\"" + folder + "\\Uninstall.exe\" /S"), 0u);
    // The copy's last step is its own entry under Uninstall.
    EXPECT_TRUE(drive::WaitUntil([&] {
        for (const char* name : ourFiles) {
            if (Exists(folder + "\\" + name)) return false;
        }
        return !KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey) && !Exists(shortcut);
    }, 60000));
    for (const char* name : ourFiles) EXPECT_FALSE(Exists(folder + "\\" + name)) << name;
    EXPECT_FALSE(Exists(shortcut));
    EXPECT_TRUE(Exists(folder + "\\Working\\holiday.avi.0.spl"));
    EXPECT_TRUE(Exists(file));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Corvane Software"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::string(kHandlers) + "\\Corvane.Split"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, clsidKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::string("TypeLib\\") + glimber::kLibidText));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kApproved, glimber::kClsidText), "<missing>");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, automationKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Halvard.Application"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::string("Software\\Classes\\") + automationKey));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\Halvard.Application"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kActiveSetupKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "CorvaneSplit.Set"));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, "Environment", "Path"), path);
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ".sio", nullptr), "<no key>");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, std::string(kHandlers) + "\\Another.Tool", nullptr), kForeignClsid);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kApproved, kForeignClsid), "Another tool");
}

TEST(Setup, SilentInstallIntoProgramFilesThenUninstall) { InstallUseAndUninstall(""); }

TEST(Setup, SilentInstallIntoAChosenFolderThenUninstall) { InstallUseAndUninstall("C:\\Tools\\Split Here"); }

// The machine's keys a per-user install must leave alone.
std::vector<std::pair<HKEY, std::string>> MachineKeys() {
    return {{HKEY_LOCAL_MACHINE, kUninstallKey},
            {HKEY_LOCAL_MACHINE, kActiveSetupKey},
            {HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\CLSID\\") + glimber::kClsidText},
            {HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\CLSID\\") + kAutomationClsid},
            {HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\") + kHandlers + "\\Corvane.Split"},
            {HKEY_LOCAL_MACHINE, "Software\\Classes\\CorvaneSplit.Set"},
            {HKEY_LOCAL_MACHINE, "Software\\Classes\\Halvard.Application"}};
}

// For the user alone: the user's own programs folder and keys, the folder on
// the user's PATH, the context menu and .sio from the user's classes; nothing
// machine-wide, before or after the uninstall.
TEST(Setup, PerUserSilentInstallWritesNothingMachineWide) {
    const std::string folder = Folder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Corvane Split";
    const std::string user = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvane Split";
    SetValue(HKEY_CURRENT_USER, "Environment", "Path", "C:\\mine");
    ASSERT_EQ(drive::RunAndWait("\"" + drive::WindowsPath(SETUP_EXE) + "\" /S /CurrentUser /AddToPath"), 0u);
    for (const char* name : {"Parvex.exe", "parvex-cli.exe", "Glimber.dll", "Uninstall.exe"}) {
        EXPECT_TRUE(Exists(folder + "\\" + name)) << name;
    }
    for (const auto& [root, key] : MachineKeys()) EXPECT_FALSE(KeyExists(root, key)) << key;
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kApproved, glimber::kClsidText), "<missing>");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, user, "UninstallString"), "\"" + folder + "\\Uninstall.exe\" /CurrentUser");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kSettingsKey, "Installed Path"), folder);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, std::string("Software\\Classes\\") + kHandlers + "\\Corvane.Split", nullptr),
              glimber::kClsidText);
    EXPECT_TRUE(SamePath(Value(HKEY_CURRENT_USER,
                               std::string("Software\\Classes\\CLSID\\") + glimber::kClsidText + "\\InprocServer32", nullptr),
                         folder + "\\Glimber.dll"));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kApproved, glimber::kClsidText),
              "Corvane.Split ContextMenuHandler");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, std::string("Software\\Classes\\CLSID\\") + kAutomationClsid + "\\LocalServer32",
                    nullptr),
              "\"" + folder + "\\Parvex.exe\"");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, "Software\\Classes\\.sio", nullptr), "CorvaneSplit.Set");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, "Environment", "Path"), "C:\\mine;" + folder);
    EXPECT_EQ(drive::RunAndWait("\"" + folder + "\\parvex-cli.exe\" --help"), 0u);

    EXPECT_EQ(drive::RunAndWait(Value(HKEY_CURRENT_USER, user, "QuietUninstallString")), 0u);
    EXPECT_TRUE(drive::WaitUntil([&] { return !KeyExists(HKEY_CURRENT_USER, user) && !Exists(folder + "\\Parvex.exe"); },
                                 60000));
    for (const auto& [root, key] : MachineKeys()) EXPECT_FALSE(KeyExists(root, key)) << key;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\CorvaneSplit.Set"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\.sio"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::string("Software\\Classes\\CLSID\\") + glimber::kClsidText));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, "Environment", "Path"), "C:\\mine");
}

// NSIS's wizard (with its page inside, control 1018) or one of its message
// boxes, by caption.
struct Titled {
    std::string title;
    bool wizard;
    HWND found;
};

BOOL CALLBACK FindTitled(HWND hwnd, LPARAM lParam) {
    auto* want = reinterpret_cast<Titled*>(lParam);
    // The modern pages add a blank to the uninstaller's caption.
    std::string title = drive::TextOf(hwnd);
    while (!title.empty() && title.back() == ' ') title.pop_back();
    if (IsWindowVisible(hwnd) && title == want->title && (GetDlgItem(hwnd, 1018) != nullptr) == want->wizard) {
        want->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForTitled(const std::string& title, bool wizard, int timeoutMs = 20000) {
    Titled want{title, wizard, nullptr};
    drive::WaitUntil([&] {
        EnumWindows(FindTitled, reinterpret_cast<LPARAM>(&want));
        return want.found != nullptr;
    }, timeoutMs);
    return want.found;
}

// The wizard's main button: Next, Install, Finish, Uninstall or Close.
void PressMain(HWND wizard) { PostMessageA(GetDlgItem(wizard, IDOK), BM_CLICK, 0, 0); }

bool WaitForMainButton(HWND wizard, const std::string& label, int timeoutMs = 60000) {
    return drive::WaitUntil([&] {
        HWND button = GetDlgItem(wizard, IDOK);
        return drive::TextOf(button) == label && IsWindowEnabled(button);
    }, timeoutMs);
}

// The 32-bit setup on 64-bit Windows asks first whether to install a
// program whose context-menu entries Explorer will not show; the 64-bit
// one asks nothing.
constexpr bool kAsksAboutTheContextMenu = sizeof(void*) == 4;

void AnswerContextMenuQuestion(int button, support::Shots* shots = nullptr) {
    if (!kAsksAboutTheContextMenu) return;
    HWND question = WaitForTitled("Corvane Split 6.5 Setup", false);
    ASSERT_NE(question, nullptr);
    EXPECT_NE(drive::BoxText(question).find("Setup-x64.exe"), std::string::npos) << drive::BoxText(question);
    if (shots) shots->Snap("setup-x86-question", question);
    PostMessageA(GetDlgItem(question, button), BM_CLICK, 0, 0);
}

// The next page: its header (control 1037) changes and its main button is
// enabled again.
bool NextPage(HWND wizard) {
    const std::string before = drive::TextOf(GetDlgItem(wizard, 1037));
    PressMain(wizard);
    return drive::WaitUntil([&] {
        return drive::TextOf(GetDlgItem(wizard, 1037)) != before && IsWindowEnabled(GetDlgItem(wizard, IDOK));
    }, 20000);
}

// Under WoW64 the 32-bit setup's question comes before anything else, and
// No leaves the machine as it was.
TEST(Setup, The32BitSetupAsksOn64BitWindowsAndNoInstallsNothing) {
    if (!kAsksAboutTheContextMenu) GTEST_SKIP() << "the 64-bit setup asks nothing";
    const std::string folder = Folder(CSIDL_PROGRAM_FILES) + "\\Corvane Split";
    drive::Program setup(drive::WindowsPath(SETUP_EXE));
    ASSERT_TRUE(setup.started());
    AnswerContextMenuQuestion(IDNO);
    EXPECT_TRUE(setup.Ended(20000));
    EXPECT_FALSE(Exists(folder + "\\Parvex.exe"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

// Every page of the setup and the uninstaller, for scripts/screenshots.sh.
TEST(SetupScreens, EveryPage) {
    support::Shots shots;
    if (!shots.enabled()) GTEST_SKIP() << "PARVEX_SHOTS not set";
    const std::string folder = Folder(CSIDL_PROGRAM_FILES) + "\\Corvane Split";
    drive::Program setup(drive::WindowsPath(SETUP_EXE));
    ASSERT_TRUE(setup.started());
    AnswerContextMenuQuestion(IDYES, &shots);
    HWND wizard = WaitForTitled("Corvane Split 6.5 Setup", true);
    ASSERT_NE(wizard, nullptr);
    shots.Snap("setup-welcome", wizard);
    ASSERT_TRUE(NextPage(wizard));
    shots.Snap("setup-mode", wizard);
    ASSERT_TRUE(NextPage(wizard));
    shots.Snap("setup-components", wizard);
    ASSERT_TRUE(NextPage(wizard));
    ASSERT_TRUE(WaitForMainButton(wizard, "&Install"));
    shots.Snap("setup-folder", wizard);
    PressMain(wizard);
    ASSERT_TRUE(WaitForMainButton(wizard, "&Finish"));
    shots.Snap("setup-finish", wizard);
    PressMain(wizard);  // with "Start Corvane Split" ticked
    HWND main = WaitForParvexWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(SamePath(ProcessImage(main), folder + "\\Parvex.exe"));

    // Setup again while the program runs: it asks, and Retry goes on once the
    // program has been closed.
    drive::Program again(drive::WindowsPath(SETUP_EXE));
    ASSERT_TRUE(again.started());
    AnswerContextMenuQuestion(IDYES);
    wizard = WaitForTitled("Corvane Split 6.5 Setup", true);
    ASSERT_NE(wizard, nullptr);
    for (int page = 0; page < 3; ++page) ASSERT_TRUE(NextPage(wizard));
    ASSERT_TRUE(WaitForMainButton(wizard, "&Install"));
    PressMain(wizard);
    HWND question = WaitForTitled("Corvane Split 6.5 Setup", false);
    ASSERT_NE(question, nullptr);
    shots.Snap("setup-while-running", question);
    ASSERT_TRUE(CloseParvex(main));
    PostMessageA(GetDlgItem(question, IDRETRY), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitForMainButton(wizard, "&Finish"));
    PressMain(wizard);
    main = WaitForParvexWindow();
    ASSERT_NE(main, nullptr);

    drive::Program refused(folder + "\\Uninstall.exe");
    ASSERT_TRUE(refused.started());
    HWND refusal = WaitForTitled("Corvane Split 6.5 Uninstall", false);
    ASSERT_NE(refusal, nullptr);
    shots.Snap("uninstall-while-running", refusal);
    // As setup does: Retry goes on once the program has been closed.
    ASSERT_TRUE(CloseParvex(main));
    PostMessageA(GetDlgItem(refusal, IDRETRY), BM_CLICK, 0, 0);
    wizard = WaitForTitled("Corvane Split 6.5 Uninstall", true);
    ASSERT_NE(wizard, nullptr);
    ASSERT_TRUE(WaitForMainButton(wizard, "&Uninstall"));
    shots.Snap("uninstall-confirm", wizard);
    PressMain(wizard);
    ASSERT_TRUE(WaitForMainButton(wizard, "&Close"));
    shots.Snap("uninstall-done", wizard);
    PressMain(wizard);
    EXPECT_TRUE(drive::WaitUntil([&] { return !Exists(folder + "\\Parvex.exe"); }));
}

}  // namespace
