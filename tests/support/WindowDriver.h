// Driving windows from a test, as a user would: find a dialog, read and set
// its fields, press its buttons, and wait for a condition, never for a time.
// Works on the real program in another process and on windows of this one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/WinApi.h"

namespace drive {

// Polls `done` until it answers true or `timeoutMs` has passed.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// A window's text at any length. WM_GETTEXT crosses processes (GetWindowText
// would give another process's edit control's stale caption).
std::string TextOf(HWND hwnd);
std::string ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::string& text);
// Posted: a click whose handler opens a modal box must not block the test.
void Click(HWND dialog, int id);
void Command(HWND window, UINT id);

// A visible dialog (#32770) of `process` (0: any) with the caption `title`,
// or any caption when `title` is empty; never `except`, never the main window
// (whose caption a message box shares).
HWND FindDialog(DWORD process, const std::string& title, HWND except = nullptr);
HWND WaitForDialog(DWORD process, const std::string& title, int timeoutMs = 10000, HWND except = nullptr);
// A visible top-level window of `process` of the window class `cls`.
HWND FindTopLevel(DWORD process, const char* cls);
// A visible window of any process with the caption `title`.
HWND FindTitled(const std::string& title);
// The program's main window: the dialog with the Split/Rejoin button.
HWND FindMain(DWORD process);
// The text of a message box: its first non-empty static.
std::string BoxText(HWND box);
// Waits for a box captioned `title`, presses `button` and gives its text.
std::string AnswerBox(DWORD process, const std::string& title, int button, int timeoutMs = 10000);
// Until the window's rectangle stops changing (a slide is over).
bool WaitUntilStill(HWND hwnd, int timeoutMs = 5000);
// A part of a status bar of this process.
std::string StatusPart(HWND bar, int part);

// A file of the build (a Linux path) as Wine's programs see it, on drive Z:.
std::string WindowsPath(const char* linuxPath);

// Runs a command line (UTF-8) and gives its exit code: ~0u when it could not
// start, ~1u when it had to be ended after `timeoutMs`.
DWORD RunAndWait(const std::string& command, int timeoutMs = 120000, const std::string& folder = "");

// A command line's exit code and what it wrote to its standard output and
// error (files, so UTF-8 as the command line writes to anything but a
// console).
struct Ran {
    DWORD code = ~0u;
    std::string out, err;
};
Ran RunCaptured(const std::string& command, const std::string& folder, int timeoutMs = 600000);

// A folder of its own under the temporary folder, removed with everything
// in it on every way out of the test.
class TempFolder {
public:
    explicit TempFolder(const std::string& tag = "");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Names are relative to the folder and may make paths of any length.
    std::string Write(const std::string& name, const std::vector<unsigned char>& bytes) const;
    std::string Write(const std::string& name, const std::string& text) const;
    // A file of `size` zero bytes that takes no room (a run on it lasts long
    // enough to be interrupted, whatever the machine's speed).
    std::string WriteSparse(const std::string& name, std::uint64_t size) const;
    std::string MakeFolder(const std::string& name) const;
    // The size of a file inside, ~0 when there is none.
    std::uint64_t Size(const std::string& name) const;
    bool Exists(const std::string& name) const { return Size(name) != ~0ull; }
    std::string Read(const std::string& name) const;
    std::string path;
};

// A program started for a test. Whatever the test does, the program is gone
// when this is: ended if it is still running.
class Program {
public:
    explicit Program(const std::string& path, const std::string& args = "");
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return started_; }
    DWORD pid() const { return info_.dwProcessId; }
    // The main window once it is on screen.
    HWND Main(int timeoutMs = 10000);
    HWND Dialog(const std::string& title, int timeoutMs = 10000) { return WaitForDialog(pid(), title, timeoutMs); }
    bool Ended(int timeoutMs = 10000);

private:
    PROCESS_INFORMATION info_{};
    bool started_ = false;
    HWND main_ = nullptr;
};

// The settings key of the current user as it was when this was made,
// restored on every way out of the test.
// Removes what the window remembers between starts (size, unit, folders,
// always-on-top), so that a test starts it as a first start would.
void ForgetRemembered();

class SettingsKeyGuard {
public:
    SettingsKeyGuard();
    ~SettingsKeyGuard();
    SettingsKeyGuard(const SettingsKeyGuard&) = delete;
    SettingsKeyGuard& operator=(const SettingsKeyGuard&) = delete;
    // Sets a value of the key (REG_SZ), or removes the whole key.
    void Set(const std::string& name, const std::string& value);
    void Clear();

private:
    struct Value {
        std::wstring name;
        DWORD type;
        std::string data;
    };
    bool existed_ = false;
    std::vector<Value> values_;
};

}  // namespace drive
