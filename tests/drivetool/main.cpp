// Tells Wine's mount manager that a drive letter now leads to a (newly
// mounted) Linux folder, as a removable drive: what winecfg does when a
// drive is changed. Wine keeps a drive's serial number and label for the
// life of its server; redefining the drive makes a running program see the
// disk that is in it now.
//   parvex_drivetool.exe LETTER UNIX_FOLDER
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/win32/WinApi.h"

#include <winioctl.h>

namespace {

// The request as Wine's mount manager reads it (its ddk/mountmgr.h).
struct UnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};

constexpr DWORD kDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

bool Define(HANDLE manager, wchar_t letter, ULONG type, const char* folder) {
    std::vector<char> request(sizeof(UnixDrive) + (folder ? std::strlen(folder) + 1 : 0), 0);
    auto* drive = reinterpret_cast<UnixDrive*>(request.data());
    drive->size = static_cast<ULONG>(request.size());
    drive->type = type;
    drive->letter = letter;
    if (folder) {
        std::strcpy(request.data() + sizeof(UnixDrive), folder);
        drive->mountPointOffset = sizeof(UnixDrive);
    }
    DWORD returned = 0;
    return DeviceIoControl(manager, kDefineUnixDrive, request.data(), static_cast<DWORD>(request.size()), nullptr,
                           0, &returned, nullptr) != FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || !argv[1][0]) {
        std::fprintf(stderr, "usage: parvex_drivetool LETTER UNIX_FOLDER\n");
        return 2;
    }
    const wchar_t letter = static_cast<wchar_t>(argv[1][0] | 0x20);
    const HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "no mount manager (%lu)\n", GetLastError());
        return 1;
    }
    const bool done = Define(manager, letter, DRIVE_NO_ROOT_DIR, nullptr) &&
                      Define(manager, letter, DRIVE_REMOVABLE, argv[2]);
    const DWORD code = GetLastError();
    CloseHandle(manager);
    if (!done) {
        std::fprintf(stderr, "the drive could not be defined (%lu)\n", code);
        return 1;
    }
    return 0;
}
