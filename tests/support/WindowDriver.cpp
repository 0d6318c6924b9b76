#include "support/WindowDriver.h"

#include <chrono>
#include <cwchar>
#include <thread>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "platform/win32/WideText.h"
#include "resources/resource.h"
#include "settings/SettingsStore.h"

namespace drive {

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string TextOf(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return std::string();
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                        &got);
    text.resize(got);
    return platform::Narrow(text);
}

std::string ItemText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }

void SetItemText(HWND dialog, int id, const std::string& text) {
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(platform::Widen(text).c_str()));
}

void Click(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void Command(HWND window, UINT id) { PostMessageW(window, WM_COMMAND, id, 0); }

namespace {

struct Search {
    DWORD process;
    std::function<bool(HWND)> wanted;
    HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if ((search->process == 0 || process == search->process) && IsWindowVisible(hwnd) && search->wanted(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND Find(DWORD process, std::function<bool(HWND)> wanted) {
    Search search{process, std::move(wanted)};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return platform::Narrow(name);
}

}  // namespace

namespace {
bool IsMain(HWND hwnd) { return GetDlgItem(hwnd, IDC_START) && GetDlgItem(hwnd, IDC_SOURCE_PATH); }
}  // namespace

HWND FindDialog(DWORD process, const std::string& title, HWND except) {
    return Find(process, [&](HWND hwnd) {
        return hwnd != except && !IsMain(hwnd) && ClassOf(hwnd) == "#32770" &&
               (title.empty() || TextOf(hwnd) == title);
    });
}

HWND WaitForDialog(DWORD process, const std::string& title, int timeoutMs, HWND except) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindDialog(process, title, except)) != nullptr; }, timeoutMs);
    return found;
}

HWND FindTopLevel(DWORD process, const char* cls) {
    return Find(process, [&](HWND hwnd) { return ClassOf(hwnd) == cls; });
}

HWND FindTitled(const std::string& title) {
    return Find(0, [&](HWND hwnd) { return TextOf(hwnd) == title; });
}

HWND FindMain(DWORD process) {
    return Find(process, IsMain);
}

std::string BoxText(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == "Static") {
            const std::string text = TextOf(child);
            if (!text.empty()) return text;
        }
    }
    return std::string();
}

std::string AnswerBox(DWORD process, const std::string& title, int button, int timeoutMs) {
    HWND box = WaitForDialog(process, title, timeoutMs);
    if (!box) return "<no box>";
    const std::string text = BoxText(box);
    Click(box, button);
    WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
    return text;
}

bool WaitUntilStill(HWND hwnd, int timeoutMs) {
    RECT last{};
    GetWindowRect(hwnd, &last);
    int still = 0;
    return WaitUntil(
        [&] {
            RECT now{};
            GetWindowRect(hwnd, &now);
            still = EqualRect(&now, &last) ? still + 1 : 0;
            last = now;
            return still >= 5;  // unchanged over five polls in a row
        },
        timeoutMs);
}

// SB_GETTEXT takes no buffer size, and a running window may make the text
// longer between the two calls: the buffer has room to spare, and a text that
// filled it is read again (a bounded number of times).
std::string StatusPart(HWND bar, int part) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        const auto length = static_cast<std::size_t>(LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, part, 0)));
        std::wstring text(length + 1024, L'\0');
        SendMessageW(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text.data()));
        const std::size_t got = std::wcslen(text.c_str());
        if (got < text.size() - 1) return platform::Narrow(text.c_str());
    }
    return std::string();
}

std::string WindowsPath(const char* linuxPath) {
    std::string path = "Z:" + std::string(linuxPath);
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

DWORD RunAndWait(const std::string& command, int timeoutMs, const std::string& folder) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = platform::Widen(command);
    const std::wstring where = platform::Widen(folder);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        folder.empty() ? nullptr : where.c_str(), &startup, &process)) {
        return ~0u;
    }
    DWORD code = ~1u;
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 9);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}

namespace {
std::string Slurp(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string data;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) data.append(buffer, n);
    CloseHandle(h);
    return data;
}
}  // namespace

Ran RunCaptured(const std::string& command, const std::string& folder, int timeoutMs) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    const std::wstring base = std::wstring(temp) + L"parvex-run-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++serial);
    const std::wstring outPath = base + L".out", errPath = base + L".err";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE err = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                            nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    std::wstring line = platform::Widen(command);
    const std::wstring where = platform::Widen(folder);
    Ran ran;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       folder.empty() ? nullptr : where.c_str(), &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process.hProcess, &ran.code);
        } else {
            TerminateProcess(process.hProcess, 9);
            WaitForSingleObject(process.hProcess, 5000);
            ran.code = ~1u;
        }
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    ran.out = Slurp(outPath);
    ran.err = Slurp(errPath);
    DeleteFileW(outPath.c_str());
    DeleteFileW(errPath.c_str());
    return ran;
}

namespace {
void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring inside = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(inside);
            } else {
                SetFileAttributesW(inside.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(inside.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}
}  // namespace

TempFolder::TempFolder(const std::string& tag) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    path = platform::Narrow(temp) + "parvex-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++serial) + "-" + (test ? test->name() : "run") + tag;
    CreateDirectoryW(platform::Widen(path).c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(platform::ExtendedPath(path)); }

std::string TempFolder::Write(const std::string& name, const std::vector<unsigned char>& bytes) const {
    const std::string file = path + "\\" + name;
    HANDLE h = CreateFileW(platform::ExtendedPath(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    if (!bytes.empty()) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
    return file;
}

std::string TempFolder::Write(const std::string& name, const std::string& text) const {
    return Write(name, std::vector<unsigned char>(text.begin(), text.end()));
}

std::string TempFolder::WriteSparse(const std::string& name, std::uint64_t size) const {
    const std::string file = path + "\\" + name;
    HANDLE h = CreateFileW(platform::ExtendedPath(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    SetFilePointerEx(h, end, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    CloseHandle(h);
    return file;
}

std::string TempFolder::MakeFolder(const std::string& name) const {
    const std::string folder = path + "\\" + name;
    CreateDirectoryW(platform::ExtendedPath(folder).c_str(), nullptr);
    return folder;
}

std::uint64_t TempFolder::Size(const std::string& name) const {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(platform::ExtendedPath(path + "\\" + name).c_str(), GetFileExInfoStandard, &data)) {
        return ~0ull;
    }
    return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

std::string TempFolder::Read(const std::string& name) const {
    return Slurp(platform::ExtendedPath(path + "\\" + name));
}

Program::Program(const std::string& path, const std::string& args) {
    std::wstring command = L"\"" + platform::Widen(path) + L"\"" + (args.empty() ? L"" : L" " + platform::Widen(args));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_);
}

Program::~Program() {
    if (!started_) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, 10000);
    }
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
}

// Visible is not enough: a dialog's modal loop shows its window again the
// first time its queue runs empty, undoing a hide that came before. Once the
// program waits for input, that has happened.
HWND Program::Main(int timeoutMs) {
    WaitUntil(
        [&] {
            if (!main_) main_ = FindMain(pid());
            return main_ && IsWindowVisible(main_);
        },
        timeoutMs);
    if (main_) WaitForInputIdle(info_.hProcess, static_cast<DWORD>(timeoutMs));
    return main_;
}

bool Program::Ended(int timeoutMs) {
    return WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
}

SettingsKeyGuard::SettingsKeyGuard() {
    HKEY key;
    const std::wstring path = platform::Widen(settings::kKeyPath);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
    existed_ = true;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        Value value{std::wstring(name, nameLength), type, std::string(size, '\0')};
        nameLength = 16384;
        RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(value.data.data()), &size);
        values_.push_back(value);
    }
    RegCloseKey(key);
}

SettingsKeyGuard::~SettingsKeyGuard() {
    Clear();
    if (!existed_) return;
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, platform::Widen(settings::kKeyPath).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    for (const Value& value : values_) {
        RegSetValueExW(key, value.name.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(value.data.data()),
                       static_cast<DWORD>(value.data.size()));
    }
    RegCloseKey(key);
}

void SettingsKeyGuard::Set(const std::string& name, const std::string& value) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, platform::Widen(settings::kKeyPath).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    const std::wstring wide = platform::Widen(value);
    RegSetValueExW(key, platform::Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                   static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void ForgetRemembered() {
    HKEY key;
    const std::wstring path = platform::Widen(settings::kKeyPath);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    for (const char* name : {settings::kPieceSize, settings::kCustomSize, settings::kAlwaysOnTop,
                             settings::kLastSourceFolder, settings::kLastDestination}) {
        RegDeleteValueW(key, platform::Widen(name).c_str());
    }
    RegCloseKey(key);
}

void SettingsKeyGuard::Clear() { RegDeleteTreeW(HKEY_CURRENT_USER, platform::Widen(settings::kKeyPath).c_str()); }

}  // namespace drive
