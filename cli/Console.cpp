#include "cli/Console.h"

#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include "platform/win32/WinApi.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/WideText.h"
#include <shellapi.h>
#else
#include <unistd.h>
#endif

namespace cli {

#ifdef _WIN32

namespace {
bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != FALSE;
}

void Write(DWORD which, const std::string& text) {
    const HANDLE handle = GetStdHandle(which);
    if (IsConsole(handle)) {
        const std::wstring wide = platform::Widen(text);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    DWORD written = 0;
    WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
}  // namespace

std::vector<std::string> Arguments(int, char**) {
    // Never the ANSI arguments: their best-fit forms can name another file.
    int count = 0;
    const platform::ScopedLocal<LPWSTR*> wide(CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<std::string> args;
    for (int i = 1; wide && i < count; ++i) args.push_back(platform::Narrow(wide.get()[i]));
    return args;
}

bool InputIsTerminal() { return IsConsole(GetStdHandle(STD_INPUT_HANDLE)); }
bool ErrorIsTerminal() { return IsConsole(GetStdHandle(STD_ERROR_HANDLE)); }
void WriteOut(const std::string& text) { Write(STD_OUTPUT_HANDLE, text); }
void WriteErr(const std::string& text) { Write(STD_ERROR_HANDLE, text); }

bool ReadLine(std::string& line) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    line.clear();
    if (IsConsole(input)) {
        std::wstring wide;
        wchar_t c;
        DWORD got = 0;
        while (ReadConsoleW(input, &c, 1, &got, nullptr) && got == 1) {
            if (c == L'\n') {
                if (!wide.empty() && wide.back() == L'\r') wide.pop_back();
                line = platform::Narrow(wide);
                return true;
            }
            wide += c;
        }
        return false;
    }
    char c;
    DWORD got = 0;
    bool any = false;
    while (ReadFile(input, &c, 1, &got, nullptr) && got == 1) {
        any = true;
        if (c == '\n') break;
        line += c;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return any;
}

std::string CurrentFolder() {
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(n, L'\0');
    folder.resize(GetCurrentDirectoryW(n, folder.data()));
    return folder.empty() ? std::string(".") : platform::Narrow(folder);
}

std::string FullPath(const std::string& path) {
    const std::wstring wide = platform::Widen(path);
    const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    full.resize(GetFullPathNameW(wide.c_str(), n, full.data(), nullptr));
    return platform::Narrow(full);
}

#else

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

bool InputIsTerminal() { return isatty(STDIN_FILENO) != 0; }
bool ErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }
void WriteOut(const std::string& text) { std::cout << text << std::flush; }
void WriteErr(const std::string& text) { std::cerr << text << std::flush; }

bool ReadLine(std::string& line) { return static_cast<bool>(std::getline(std::cin, line)); }

std::string CurrentFolder() {
    std::vector<char> buffer(4096);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (buffer.size() > (1u << 20)) return ".";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

std::string FullPath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    return CurrentFolder() + "/" + path;
}

#endif

}  // namespace cli
