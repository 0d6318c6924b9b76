#include "platform/win32/Win32Platform.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/WideText.h"

namespace platform {

using engine::ErrorCode;
namespace err = engine::err;

namespace {

// Large transfers go to the kernel in pieces of this size, as on POSIX: the
// file cache takes them faster than one call of several megabytes.
constexpr DWORD kChunk = 1024 * 1024;

std::int64_t Ticks(const LARGE_INTEGER& time) { return time.QuadPart; }

// What an open handle is: kind, size, identity and times.
ErrorCode Describe(HANDLE handle, engine::FileStatus& status) {
    status = engine::FileStatus{};
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return GetLastError();
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        status.kind = engine::FileKind::Folder;
    } else {
        status.kind = GetFileType(handle) == FILE_TYPE_DISK ? engine::FileKind::Regular : engine::FileKind::Other;
    }
    status.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    status.id.volume = info.dwVolumeSerialNumber;
    status.id.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    FILE_BASIC_INFO basic;
    if (GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
        status.modified = Ticks(basic.LastWriteTime);
        status.changed = Ticks(basic.ChangeTime);
    } else {
        status.modified = (std::int64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime;
        status.changed = status.modified;
    }
    return err::kNone;
}

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
            if (!ReadFile(handle_, at + got, std::min<DWORD>(size - got, kChunk), &n, nullptr)) {
                return GetLastError();
            }
            if (n == 0) break;
            got += n;
        }
        return err::kNone;
    }

    ErrorCode Write(const void* buffer, std::uint32_t size, std::uint32_t& written) override {
        written = 0;
        const auto* at = static_cast<const char*>(buffer);
        while (written < size) {
            DWORD n = 0;
            const BOOL ok = WriteFile(handle_, at + written, std::min<DWORD>(size - written, kChunk), &n, nullptr);
            written += n;
            if (!ok) return GetLastError();
            if (n == 0) break;  // the caller takes a short write for a full disk
        }
        return err::kNone;
    }

    ErrorCode Seek(std::uint64_t position) override {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(position);
        return SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) ? err::kNone : ErrorCode(GetLastError());
    }

    ErrorCode Length(std::uint64_t& length) override {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(handle_, &size)) return GetLastError();
        length = static_cast<std::uint64_t>(size.QuadPart);
        return err::kNone;
    }

    ErrorCode Reserve(std::uint64_t size) override {
        FILE_ALLOCATION_INFO allocation;
        allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
        return SetFileInformationByHandle(handle_, FileAllocationInfo, &allocation, sizeof allocation)
                   ? err::kNone
                   : ErrorCode(GetLastError());
    }

    ErrorCode Flush() override { return FlushFileBuffers(handle_) ? err::kNone : ErrorCode(GetLastError()); }

    ErrorCode Status(engine::FileStatus& status) override { return Describe(handle_, status); }

    ErrorCode Close() override {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        if (handle != INVALID_HANDLE_VALUE && !CloseHandle(handle)) return GetLastError();
        return err::kNone;
    }

private:
    HANDLE handle_;
};

// An open handle on whatever the path names, links followed, for asking
// which file it is; reads nothing and shares everything.
HANDLE OpenForQuery(const std::wstring& path) {
    return CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool IsDevicePath(const std::string& path) { return path.compare(0, 4, "\\\\.\\") == 0; }

// Every entry of a folder, or the failure that stopped the listing.
ErrorCode ListEntries(const std::string& folder, std::vector<engine::FolderEntry>& entries) {
    entries.clear();
    std::wstring pattern = ExtendedPath(folder);
    if (pattern.empty() || pattern.back() != L'\\') pattern += L'\\';
    pattern += L"*";
    WIN32_FIND_DATAW data;
    const ScopedFind find(FindFirstFileW(pattern.c_str(), &data));
    if (!find) return GetLastError();
    do {
        const std::string name = Narrow(data.cFileName);
        if (name == "." || name == "..") continue;
        entries.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(find.get(), &data));
    // Anything else than the end would leave the listing cut short.
    const DWORD code = GetLastError();
    return code == ERROR_NO_MORE_FILES ? err::kNone : ErrorCode(code);
}

// A lock file that only its holder can open, which the system removes when
// the holder closes it or dies; one that a power loss left behind opens for
// whoever comes next.
class Win32Lock : public engine::Lock {
public:
    explicit Win32Lock(HANDLE handle) : handle_(handle) {}

private:
    ScopedHandle handle_;
};

// The folder stays open for the run without allowing deletion, so that
// nobody can rename or remove it (or a folder above it) meanwhile: its path
// keeps naming it, and the path-based calls reach it.
class Win32Folder : public engine::Folder {
public:
    Win32Folder(Win32Platform& platform, std::string path, HANDLE handle)
        : platform_(platform), path_(std::move(path)), handle_(handle) {}

    const std::string& Path() const override { return path_; }
    ErrorCode Open(const std::string& name, const engine::OpenMode& mode,
                   std::unique_ptr<engine::File>& file) override {
        return platform_.Open(Inside(name), mode, file);
    }
    ErrorCode Status(const std::string& name, engine::FileStatus& status) override {
        return platform_.Status(Inside(name), status);
    }
    ErrorCode Delete(const std::string& name) override { return platform_.Delete(Inside(name)); }
    ErrorCode Rename(const std::string& from, const std::string& to) override {
        return platform_.Rename(Inside(from), Inside(to));
    }
    ErrorCode List(std::vector<engine::FolderEntry>& entries) override { return ListEntries(path_, entries); }
    // NTFS and FAT keep their entries in order with the renames, which are
    // made write-through: nothing more to do for the folder itself.
    ErrorCode Flush() override { return err::kNone; }
    ErrorCode Lock(const std::string& name, std::unique_ptr<engine::Lock>& lock) override {
        const HANDLE handle = CreateFileW(ExtendedPath(Inside(name)).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                          nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return GetLastError();
        lock = std::make_unique<Win32Lock>(handle);
        return err::kNone;
    }

private:
    std::string Inside(const std::string& name) const {
        return path_.empty() || path_.back() == '\\' ? path_ + name : path_ + '\\' + name;
    }

    Win32Platform& platform_;
    std::string path_;
    ScopedHandle handle_;
};

}  // namespace

bool ToCodePage(UINT codePage, const std::string& text, std::string& converted) {
    converted.clear();
    if (text.empty()) return true;
    const std::wstring wide = Widen(text);
    if (Narrow(wide) != text) return false;  // not valid UTF-8
    if (codePage == CP_UTF8) {
        converted = text;
        return true;
    }
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return false;
    converted.assign(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), converted.data(),
                        n, nullptr, &usedDefault);
    // A character the page only resembles would come back as another one.
    std::string back;
    return !usedDefault && FromCodePage(codePage, converted, back) && back == text;
}

bool FromCodePage(UINT codePage, const std::string& text, std::string& converted) {
    converted.clear();
    if (text.empty()) return true;
    const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
    if (n <= 0) return false;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide.data(), n);
    converted = Narrow(wide);
    return true;
}

// Roots are recognised here rather than by the shell's path functions, which
// stop at 260 characters: "X:\", "\", "\\server\share" (with or without a
// final backslash).
bool Win32Platform::IsRoot(const std::string& path) const {
    if (path == "\\") return true;
    if (path.size() == 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
        path[2] == '\\') {
        return true;
    }
    if (path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '?' && path[2] != '.') {
        std::string rest = path.substr(2);
        if (!rest.empty() && rest.back() == '\\') rest.pop_back();
        const std::size_t cut = rest.find('\\');
        return cut != std::string::npos && cut > 0 && cut + 1 < rest.size() &&
               rest.find('\\', cut + 1) == std::string::npos;
    }
    return false;
}

std::string Win32Platform::DriveRoot(const std::string& path) const {
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
        return path.substr(0, 2) + "\\";
    }
    if (path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '?' && path[2] != '.') {
        const std::size_t server = path.find('\\', 2);
        if (server == std::string::npos) return std::string();
        const std::size_t share = path.find('\\', server + 1);
        return (share == std::string::npos ? path : path.substr(0, share)) + "\\";
    }
    return std::string();
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
    const bool create = mode.creation == engine::Creation::CreateNew;
    if (IsDevicePath(path)) return err::kInvalidFunction;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (mode.sequentialScan) flags |= FILE_FLAG_SEQUENTIAL_SCAN;
    // A new file never goes through a link: CREATE_NEW fails on any name
    // that exists, a link included.
    if (create) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    const HANDLE handle = CreateFileW(ExtendedPath(path).c_str(), access, share, nullptr,
                                      create ? CREATE_NEW : OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError();
    ScopedHandle opened(handle);
    if (GetFileType(handle) != FILE_TYPE_DISK) return err::kInvalidFunction;
    file = std::make_unique<Win32File>(opened.Release());
    return err::kNone;
}

ErrorCode Win32Platform::OpenFolder(const std::string& path, std::unique_ptr<engine::Folder>& folder) {
    std::wstring wide = ExtendedPath(path);
    if (!wide.empty() && wide.back() != L'\\') wide += L'\\';
    // A disk in a removable drive is taken out and another put in while a
    // run waits for the user: nothing may hold it then. Its names are
    // reached by path, and what the run made is told by its identity.
    if (QueryDriveType(path) == engine::DriveType::Removable) {
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_DIRECTORY;
        folder = std::make_unique<Win32Folder>(*this, path, nullptr);
        return err::kNone;
    }
    ScopedHandle handle(CreateFileW(wide.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return GetLastError();
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle.get(), &info)) return GetLastError();
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_DIRECTORY;
    folder = std::make_unique<Win32Folder>(*this, path, handle.Release());
    return err::kNone;
}

std::string Win32Platform::StoredName(const std::string& path) {
    const std::size_t cut = path.find_last_of('\\');
    const std::string given = cut == std::string::npos ? path : path.substr(cut + 1);
    // A search takes * and ? for patterns; no stored name holds them.
    if (given.empty() || given.find_first_of("*?") != std::string::npos) return given;
    WIN32_FIND_DATAW data;
    const ScopedFind find(FindFirstFileExW(ExtendedPath(path).c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr, 0));
    if (!find) return given;
    return Narrow(data.cFileName);
}

ErrorCode Win32Platform::Delete(const std::string& path) {
    return DeleteFileW(ExtendedPath(path).c_str()) ? err::kNone : ErrorCode(GetLastError());
}

ErrorCode Win32Platform::Rename(const std::string& from, const std::string& to) {
    return MoveFileExW(ExtendedPath(from).c_str(), ExtendedPath(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? err::kNone
               : ErrorCode(GetLastError());
}

ErrorCode Win32Platform::ListFolder(const std::string& folder, std::vector<engine::FolderEntry>& entries) {
    return ListEntries(folder, entries);
}

ErrorCode Win32Platform::RemoveFolder(const std::string& path) {
    return RemoveDirectoryW(ExtendedPath(path).c_str()) ? err::kNone : ErrorCode(GetLastError());
}

ErrorCode Win32Platform::CreateFolder(const std::string& path) {
    return CreateDirectoryW(ExtendedPath(path).c_str(), nullptr) ? err::kNone : ErrorCode(GetLastError());
}

ErrorCode Win32Platform::SetCurrentFolder(const std::string& path) {
    return SetCurrentDirectoryW(Widen(path).c_str()) ? err::kNone : ErrorCode(GetLastError());
}

ErrorCode Win32Platform::Status(const std::string& path, engine::FileStatus& status) {
    status = engine::FileStatus{};
    if (IsDevicePath(path)) {
        status.kind = engine::FileKind::Other;
        return err::kNone;
    }
    const std::wstring wide = ExtendedPath(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME) {
            return err::kNone;
        }
        return code;
    }
    status.link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const ScopedHandle handle(OpenForQuery(wide));
    if (!handle) {
        // A link that leads nowhere; a file another program holds without
        // sharing still has its directory entry.
        if (status.link) return err::kNone;
        status.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? engine::FileKind::Folder
                                                                          : engine::FileKind::Regular;
        status.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        status.modified = (std::int64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
        status.changed = status.modified;
        return err::kNone;
    }
    const bool link = status.link;
    const ErrorCode code = Describe(handle.get(), status);
    status.link = link;
    return code;
}

bool Win32Platform::IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(ExtendedPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Win32Platform::ResolvedPath(const std::string& path) {
    const ScopedHandle handle(OpenForQuery(ExtendedPath(path)));
    if (!handle) return path;
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetFinalPathNameByHandleW(handle.get(), final.data(), static_cast<DWORD>(final.size()), 0);
        if (n == 0) {
            final.clear();
            break;
        }
        if (n < final.size()) {
            final.resize(n);
            break;
        }
        final.resize(n + 1);
    }
    if (final.empty()) return path;
    if (final.compare(0, 8, L"\\\\?\\UNC\\") == 0) return "\\\\" + Narrow(final.substr(8));
    if (final.compare(0, 4, L"\\\\?\\") == 0) return Narrow(final.substr(4));
    return Narrow(final);
}

}  // namespace platform
