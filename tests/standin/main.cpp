// Stands in for Parvex.exe in an installation folder: records the command
// line it was started with, in UTF-8, in command.txt beside itself.
#include "platform/win32/WinApi.h"

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring record = path;
    record = record.substr(0, record.rfind(L'\\') + 1) + L"command.txt";
    const wchar_t* line = GetCommandLineW();
    const int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line, -1, text.data(), n, nullptr, nullptr);
    HANDLE file = CreateFileW(record.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
