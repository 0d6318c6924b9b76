// What the platform says of drives and volumes, and the code pages names
// and Go.bat are written in.
#include "platform/win32/Win32Platform.h"

#include "platform/win32/WideText.h"

namespace platform {

engine::DriveType Win32Platform::QueryDriveType(const std::string& path) {
    const std::string root = DriveRoot(path);
    return static_cast<engine::DriveType>(GetDriveTypeW(root.empty() ? nullptr : Widen(root).c_str()));
}

bool Win32Platform::GetFreeSpace(const std::string& path, std::uint64_t& bytes) {
    ULARGE_INTEGER available, total, totalFree;
    std::wstring folder = ExtendedPath(path);
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    if (!GetDiskFreeSpaceExW(folder.c_str(), &available, &total, &totalFree)) return false;
    bytes = available.QuadPart;
    return true;
}

bool Win32Platform::VolumeIdentity(const std::string& path, std::string& identity) {
    const std::string root = DriveRoot(path);
    if (root.empty()) return false;
    DWORD serial = 0;
    wchar_t label[MAX_PATH + 1] = {};
    if (!GetVolumeInformationW(Widen(root).c_str(), label, MAX_PATH + 1, &serial, nullptr, nullptr, nullptr, 0)) {
        return false;
    }
    identity = std::to_string(serial) + ":" + Narrow(label);
    return true;
}

bool Win32Platform::ToAnsiName(const std::string& name, std::string& ansi) const {
    return ToCodePage(GetACP(), name, ansi);
}

bool Win32Platform::FromAnsiName(const std::string& ansi, std::string& name) const {
    return FromCodePage(GetACP(), ansi, name);
}

bool Win32Platform::ToOemText(const std::string& text, std::string& oem) const {
    return ToCodePage(GetOEMCP(), text, oem);
}

bool Win32Platform::NameTooLong(const std::string& name) const { return Widen(name).size() > 255; }

}  // namespace platform
