// The engines' only way to the file system. Implementations: Win32 (the real
// one), POSIX (command line, native tests) and an in-memory fake with fault
// injection. Every failure is reported as the platform's numeric error code in
// Windows numbering (2 not found, 5 access denied, 21 not ready, 112 disk
// full, ...), so the engines can pick their messages without knowing the host.
// Every path and name is UTF-8; each implementation converts at its edge.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/Md5.h"

// <windows.h> defines a 16-bit era macro that would swallow GetFreeSpace.
#ifdef GetFreeSpace
#undef GetFreeSpace
#endif

namespace engine {

// A system error code, 0 for success. A result that is dropped is a fault
// the compiler finds: use it, or say with a cast to void why it may go.
class [[nodiscard]] ErrorCode {
public:
    constexpr ErrorCode(std::uint32_t code = 0) : code_(code) {}
    constexpr operator std::uint32_t() const { return code_; }

private:
    std::uint32_t code_;
};

namespace err {
inline constexpr ErrorCode kNone = 0;
inline constexpr ErrorCode kInvalidFunction = 1;  // what a device or pipe answers as a file
inline constexpr ErrorCode kFileNotFound = 2;
inline constexpr ErrorCode kPathNotFound = 3;
inline constexpr ErrorCode kTooManyOpenFiles = 4;
inline constexpr ErrorCode kAccessDenied = 5;
inline constexpr ErrorCode kInvalidHandle = 6;
inline constexpr ErrorCode kNotEnoughMemory = 8;
inline constexpr ErrorCode kInvalidDrive = 15;
inline constexpr ErrorCode kCurrentDirectory = 16;
inline constexpr ErrorCode kNotSameDevice = 17;
inline constexpr ErrorCode kWriteProtect = 19;
inline constexpr ErrorCode kNotReady = 21;
inline constexpr ErrorCode kCrc = 23;
inline constexpr ErrorCode kSeek = 25;
inline constexpr ErrorCode kWriteFault = 29;
inline constexpr ErrorCode kReadFault = 30;
inline constexpr ErrorCode kGenFailure = 31;
inline constexpr ErrorCode kSharingViolation = 32;
inline constexpr ErrorCode kLockViolation = 33;
inline constexpr ErrorCode kHandleEof = 38;
inline constexpr ErrorCode kHandleDiskFull = 39;
inline constexpr ErrorCode kFileExists = 80;
inline constexpr ErrorCode kCannotMake = 82;
inline constexpr ErrorCode kInvalidParameter = 87;
inline constexpr ErrorCode kBufferOverflow = 111;
inline constexpr ErrorCode kDiskFull = 112;
inline constexpr ErrorCode kInvalidName = 123;
inline constexpr ErrorCode kNegativeSeek = 131;
inline constexpr ErrorCode kDirNotEmpty = 145;
inline constexpr ErrorCode kBadPathname = 161;
inline constexpr ErrorCode kAlreadyExists = 183;
inline constexpr ErrorCode kFilenameExcedRange = 206;
inline constexpr ErrorCode kDirectory = 267;
inline constexpr ErrorCode kCantResolveFilename = 1921;  // a link that loops or points nowhere usable
inline constexpr ErrorCode kIoDevice = 1117;
}  // namespace err

// Drive types in the platform's numbering.
enum class DriveType : std::uint32_t {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

enum class Access { Read, Write, ReadWrite };
enum class Share { None, Read, ReadWrite };
// OpenExisting opens only an ordinary file: a folder, device or pipe is
// refused without waiting for it. CreateNew fails when anything has the name
// already, a link included, and so never writes through a link.
enum class Creation { OpenExisting, CreateNew };

struct OpenMode {
    Access access;
    Share share;
    Creation creation;
    bool sequentialScan;
    // For a new file: the permission bits it is made with, narrowed by the
    // process's mask as every new file is (POSIX); 0 takes the default.
    // Windows files inherit their folder's access rules instead.
    std::uint32_t permissions = 0;
};

struct FileStatus;

class File {
public:
    virtual ~File() = default;
    // Reads up to `size` bytes; `got` < size only at the end of the file.
    virtual ErrorCode Read(void* buffer, std::uint32_t size, std::uint32_t& got) = 0;
    // `written` tells how much was stored, also when the call fails.
    virtual ErrorCode Write(const void* buffer, std::uint32_t size, std::uint32_t& written) = 0;
    virtual ErrorCode Seek(std::uint64_t position) = 0;
    virtual ErrorCode Length(std::uint64_t& length) = 0;
    // Sets aside room for a file that will grow to `size` bytes, without
    // changing its length, so that the file system allocates it in one go.
    // Only a hint: where it cannot be done, nothing changes.
    virtual ErrorCode Reserve(std::uint64_t size) {
        (void)size;
        return err::kNone;
    }
    // Puts what was written on the disk itself, so that it survives a power
    // loss: the data and what is needed to read it back. Until then a crash
    // may leave the file empty or short, whatever its name says.
    virtual ErrorCode Flush() = 0;
    // What the open file is: identity, length, times, permissions.
    virtual ErrorCode Status(FileStatus& status) = 0;
    // Closing can fail (buffered data that cannot be written); after Close the
    // object is spent whatever the result.
    virtual ErrorCode Close() = 0;
};

struct FolderEntry {
    std::string name;
    bool isFolder;
};

// Which file a path names, however it is spelt: the volume and the file's
// number on it (device and inode; volume serial and file index).
struct FileId {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FileId& other) const { return volume == other.volume && index == other.index; }
    bool operator!=(const FileId& other) const { return !(*this == other); }
};

enum class FileKind {
    Missing,  // nothing, or a link that leads nowhere
    Regular,
    Folder,
    Other,  // a device, a pipe, a socket
};

struct FileStatus {
    FileKind kind = FileKind::Missing;
    bool link = false;  // the name itself is a link (it may lead nowhere)
    std::uint64_t size = 0;
    FileId id;          // valid for an existing file or folder
    // When the content, and when anything about the file, last changed, in
    // the platform's own units: only ever compared with each other.
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    std::uint32_t permissions = 0;  // POSIX permission bits; 0 where there are none
};

// An exclusive claim on a name in a folder, held until the object goes. A
// claim whose holder died (a crash, a kill) is free again: the system ends
// it with the process, and a lock file left behind is taken over.
class Lock {
public:
    virtual ~Lock() = default;
};

// A folder held open for one run. Its files are made, renamed and removed
// through it by name, so that the run goes on working in, and cleans up, the
// folder it opened, also when the folder is renamed or its path is made to
// lead elsewhere meanwhile. Names are single entries, never paths.
class Folder {
public:
    virtual ~Folder() = default;
    // The path it was opened by, for messages.
    virtual const std::string& Path() const = 0;
    virtual ErrorCode Open(const std::string& name, const OpenMode& mode, std::unique_ptr<File>& file) = 0;
    // As Platform::Status, for an entry of this folder.
    virtual ErrorCode Status(const std::string& name, FileStatus& status) = 0;
    virtual ErrorCode Delete(const std::string& name) = 0;
    // Gives entry `from` the name `to` in one step, replacing what had it.
    virtual ErrorCode Rename(const std::string& from, const std::string& to) = 0;
    // The entries, "." and ".." left out; fails rather than stop early.
    virtual ErrorCode List(std::vector<FolderEntry>& entries) = 0;
    // Makes the folder's entries as they are now (names made, renamed,
    // removed) survive a power loss.
    virtual ErrorCode Flush() = 0;
    // Claims `name` for this process: kSharingViolation while another run
    // holds it. The lock file is made if missing and removed on release.
    virtual ErrorCode Lock(const std::string& name, std::unique_ptr<engine::Lock>& lock) = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    virtual char Separator() const = 0;
    // A drive root in the platform's sense: C:\, a lone backslash, a share root.
    virtual bool IsRoot(const std::string& path) const = 0;
    // The drive root that holds `path` (C:\ for C:\x\y), or empty when none.
    virtual std::string DriveRoot(const std::string& path) const = 0;

    virtual ErrorCode Open(const std::string& path, const OpenMode& mode,
                           std::unique_ptr<File>& file) = 0;
    // Opens a folder (a root included) for a run to work in.
    virtual ErrorCode OpenFolder(const std::string& path, std::unique_ptr<Folder>& folder) = 0;
    // The name of the last part of `path` as the file system stores it (a
    // file typed A.BIN may be stored as a.bin); the given name when unknown.
    virtual std::string StoredName(const std::string& path) = 0;
    // Whether names that differ only in case name different files.
    virtual bool CaseSensitiveNames() const = 0;
    // Removes the name; a link goes, never what it points to.
    virtual ErrorCode Delete(const std::string& path) = 0;
    // Gives `from` the name `to` in one step, replacing whatever had it (a
    // link is replaced, not followed). Both lie on the same volume.
    virtual ErrorCode Rename(const std::string& from, const std::string& to) = 0;
    // The entries, "." and ".." left out; fails rather than stop early.
    virtual ErrorCode ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) = 0;
    virtual ErrorCode RemoveFolder(const std::string& path) = 0;

    // What the path names, following links. A missing file is no failure:
    // kind Missing. Fails only when the question cannot be answered.
    virtual ErrorCode Status(const std::string& path, FileStatus& status) = 0;
    // The absolute path with every link resolved, for comparing where files
    // lie; the path as given when that cannot be done.
    virtual std::string ResolvedPath(const std::string& path) = 0;

    virtual DriveType QueryDriveType(const std::string& path) = 0;
    // Bytes available to the caller on the volume holding `path`. On failure
    // `bytes` is left as it was and false is returned.
    virtual bool GetFreeSpace(const std::string& path, std::uint64_t& bytes) = 0;
    // Tells one disk from another in the same drive (the volume's serial
    // number); false when no disk can be read there.
    virtual bool VolumeIdentity(const std::string& path, std::string& identity) = 0;

    // The info file's 260-byte name field holds the name in the Windows ANSI
    // code page. False when the name has a character that page cannot hold:
    // a name is never turned into a different one.
    virtual bool ToAnsiName(const std::string& name, std::string& ansi) const = 0;
    virtual bool FromAnsiName(const std::string& ansi, std::string& name) const = 0;
    // cmd reads batch files in the OEM code page. False when the text has a
    // character that page cannot hold.
    virtual bool ToOemText(const std::string& text, std::string& oem) const = 0;
    // Whether a file name is longer than a folder entry can be (255 bytes on
    // POSIX, 255 UTF-16 units on Windows).
    virtual bool NameTooLong(const std::string& name) const = 0;

    // A fresh MD5 computation, from the system's own implementation.
    virtual std::unique_ptr<Md5> NewMd5() const = 0;
};

// Whether two paths name one existing file, however they are spelt (links,
// hard links, case, 8.3 names).
bool SameFile(Platform& platform, const std::string& a, const std::string& b);
// What Status tells, for the usual questions: anything has the name (a link
// that leads nowhere included); the name leads to a folder.
bool Exists(Platform& platform, const std::string& path);
bool IsFolder(Platform& platform, const std::string& path);

}  // namespace engine
