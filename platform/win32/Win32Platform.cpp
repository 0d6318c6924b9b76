#include "Win32Platform.h"

#include <shlwapi.h>

#include <vector>

namespace platform {

using engine::ErrorCode;
namespace err = engine::err;

namespace {

class Win32File : public engine::File {
public:
    explicit Win32File(HANDLE handle) : handle_(handle) {}
    ~Win32File() override {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }

    ErrorCode Read(void* buffer, std::uint32_t size, std::uint32_t& got) override {
        got = 0;
        auto* at = static_cast<char*>(buffer);
        while (got < size) {
            DWORD n = 0;
            if (!ReadFile(handle_, at + got, size - got, &n, nullptr)) return GetLastError();
            if (n == 0) break;
            got += n;
        }
        return err::kNone;
    }

    ErrorCode Write(const void* buffer, std::uint32_t size, std::uint32_t& written) override {
        DWORD n = 0;
        const BOOL ok = WriteFile(handle_, buffer, size, &n, nullptr);
        written = n;
        return ok ? err::kNone : GetLastError();
    }

    ErrorCode Seek(std::uint64_t position) override {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(position);
        return SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) ? err::kNone : GetLastError();
    }

    ErrorCode Length(std::uint64_t& length) override {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(handle_, &size)) return GetLastError();
        length = static_cast<std::uint64_t>(size.QuadPart);
        return err::kNone;
    }

    ErrorCode Close() override {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        if (handle != INVALID_HANDLE_VALUE && !CloseHandle(handle)) return GetLastError();
        return err::kNone;
    }

private:
    HANDLE handle_;
};

}  // namespace

bool Win32Platform::IsRoot(const std::string& path) const {
    return PathIsRootA(path.c_str()) != FALSE;
}

std::string Win32Platform::DriveRoot(const std::string& path) const {
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    if (!PathStripToRootA(buffer.data())) return std::string();
    std::string root = buffer.data();
    if (!root.empty() && root.back() != '\\') root += '\\';
    return root;
}

ErrorCode Win32Platform::Open(const std::string& path, const engine::OpenMode& mode,
                              std::unique_ptr<engine::File>& file) {
    DWORD access = 0;
    switch (mode.access) {
        case engine::Access::Read: access = GENERIC_READ; break;
        case engine::Access::Write: access = GENERIC_WRITE; break;
        case engine::Access::ReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    DWORD share = 0;
    switch (mode.share) {
        case engine::Share::None: share = 0; break;
        case engine::Share::Read: share = FILE_SHARE_READ; break;
        case engine::Share::ReadWrite: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    }
    const DWORD creation =
        mode.creation == engine::Creation::CreateAlways ? CREATE_ALWAYS : OPEN_EXISTING;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (mode.sequentialScan) flags |= FILE_FLAG_SEQUENTIAL_SCAN;
    const HANDLE handle = CreateFileA(path.c_str(), access, share, nullptr, creation, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError();
    file = std::make_unique<Win32File>(handle);
    return err::kNone;
}

ErrorCode Win32Platform::Delete(const std::string& path) {
    return DeleteFileA(path.c_str()) ? err::kNone : GetLastError();
}

ErrorCode Win32Platform::ListFolder(const std::string& folder,
                                    std::vector<engine::FolderEntry>& entries) {
    std::string pattern = folder;
    if (pattern.empty() || pattern.back() != '\\') pattern += '\\';
    pattern += "*.*";
    WIN32_FIND_DATAA data;
    const HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return GetLastError();
    entries.clear();
    do {
        entries.push_back(
            {data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return err::kNone;
}

ErrorCode Win32Platform::RemoveFolder(const std::string& path) {
    return RemoveDirectoryA(path.c_str()) ? err::kNone : GetLastError();
}

ErrorCode Win32Platform::CreateFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) ? err::kNone : GetLastError();
}

ErrorCode Win32Platform::SetCurrentFolder(const std::string& path) {
    return SetCurrentDirectoryA(path.c_str()) ? err::kNone : GetLastError();
}

bool Win32Platform::Exists(const std::string& path) { return PathFileExistsA(path.c_str()) != FALSE; }

bool Win32Platform::SameFile(const std::string& a, const std::string& b) {
    // Compare identities, not spellings: 8.3 names, case and relative paths
    // all name the same file.
    auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        const HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        const BOOL ok = GetFileInformationByHandle(h, &info);
        CloseHandle(h);
        return ok != FALSE;
    };
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return identify(a, ia) && identify(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool Win32Platform::IsFolder(const std::string& path) {
    return PathIsDirectoryA(path.c_str()) != FALSE;
}

ErrorCode Win32Platform::FileSize(const std::string& path, std::uint64_t& size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return GetLastError();
    size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    return err::kNone;
}

engine::DriveType Win32Platform::QueryDriveType(const std::string& path) {
    const std::string root = DriveRoot(path);
    return static_cast<engine::DriveType>(GetDriveTypeA(root.empty() ? nullptr : root.c_str()));
}

bool Win32Platform::GetFreeSpace(const std::string& path, std::uint64_t& bytes) {
    // The extended query is looked up at run time: systems that lack it fall
    // back to the cluster arithmetic of the older call.
    using FreeSpaceEx = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    if (HMODULE kernel = LoadLibraryA("Kernel32.DLL")) {
        const auto query =
            reinterpret_cast<FreeSpaceEx>(reinterpret_cast<void*>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")));
        if (query) {
            ULARGE_INTEGER available, total, totalFree;
            const BOOL ok = query(path.c_str(), &available, &total, &totalFree);
            FreeLibrary(kernel);
            if (!ok) return false;
            bytes = available.QuadPart;
            return true;
        }
        FreeLibrary(kernel);
    }
    const std::string root = DriveRoot(path);
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!GetDiskFreeSpaceA(root.empty() ? nullptr : root.c_str(), &sectorsPerCluster,
                           &bytesPerSector, &freeClusters, &clusters)) {
        return false;
    }
    bytes = std::uint64_t{sectorsPerCluster} * bytesPerSector * freeClusters;
    return true;
}

}  // namespace platform
