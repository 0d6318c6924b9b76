// Starting programs from the Windows tests, and naming the build's files.
#pragma once

#include "platform/win32/WinApi.h"

#include <string>

namespace fake {

// A file of the build (a Linux path) as Wine's programs see it, on drive Z:.
inline std::string WindowsPath(const char* linuxPath) {
    std::string path = "Z:" + std::string(linuxPath);
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// Runs a command line and returns its exit code: ~0u when it could not
// start, ~1u when it had to be ended after `timeoutMs`.
inline DWORD RunAndWait(const std::string& command, int timeoutMs = 120000) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = command;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return ~0u;
    }
    DWORD code = ~1u;
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 9);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}

// Starts a command line and leaves it running.
inline bool StartProcess(const std::string& command) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = command;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

}  // namespace fake
