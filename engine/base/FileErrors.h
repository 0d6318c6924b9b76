// File failures: the exception the engines raise, its cause, and the texts the
// user is shown for it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "engine/base/Format.h"
#include "engine/base/Platform.h"

namespace engine {

enum class FileCause {
    None,
    Generic,
    FileNotFound,
    BadPath,
    TooManyOpenFiles,
    AccessDenied,
    InvalidFile,
    RemoveCurrentDir,
    DirectoryFull,
    BadSeek,
    HardIO,
    SharingViolation,
    LockViolation,
    DiskFull,
    EndOfFile,
};

FileCause CauseFromCode(ErrorCode code);

// The standard text of a file failure, with the path put in.
std::string StandardFileText(FileCause cause, const std::string& path);

class FileError : public std::runtime_error {
public:
    FileError(FileCause cause, ErrorCode code, std::string path, std::uint32_t stored = 0);
    FileError(ErrorCode code, std::string path, std::uint32_t stored = 0)
        : FileError(CauseFromCode(code), code, std::move(path), stored) {}

    FileCause cause;
    ErrorCode code;
    std::string path;
    std::uint32_t stored;  // bytes a failed write did store before failing
};

// Thin wrappers that turn a platform failure into a FileError. A write that
// stores fewer bytes than asked is a full disk.
void ReadOrThrow(File& file, const std::string& path, void* buffer, std::uint32_t size,
                 std::uint32_t& got);
void WriteOrThrow(File& file, const std::string& path, const void* buffer, std::uint32_t size);
void SeekOrThrow(File& file, const std::string& path, std::uint64_t position);
void CloseOrThrow(std::unique_ptr<File>& file, const std::string& path);
// Closes on a way out that has its own failure to tell: a second one would
// say nothing new.
void CloseQuietly(std::unique_ptr<File>& file);

// The message for a system error code after a failed file creation, or null
// for codes that have none.
const char* SystemErrorText(ErrorCode code);

// The question after a failed operation on the destination drive.
std::string DriveRetryText(const std::string& destinationFolder, DriveType driveType);

}  // namespace engine
