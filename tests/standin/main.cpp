// Stands in for Parvex.exe in an installation folder: records the command
// line it was started with in command.txt beside itself.
#include "platform/win32/WinApi.h"

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string record = path;
    record = record.substr(0, record.rfind('\\') + 1) + "command.txt";
    const std::string line = GetCommandLineA();
    HANDLE file = CreateFileA(record.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
