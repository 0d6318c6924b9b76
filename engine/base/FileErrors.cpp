#include "engine/base/FileErrors.h"

#include "engine/base/Texts.h"

namespace engine {

FileCause CauseFromCode(ErrorCode code) {
    switch (code) {
        case err::kNone:
            return FileCause::None;
        case err::kFileNotFound:
            return FileCause::FileNotFound;
        case err::kPathNotFound:
        case err::kInvalidDrive:
        case err::kInvalidName:
        case err::kBadPathname:
        case err::kFilenameExcedRange:
        case err::kBufferOverflow:
        case err::kDirectory:
        case err::kCantResolveFilename:
            return FileCause::BadPath;
        case err::kTooManyOpenFiles:
            return FileCause::TooManyOpenFiles;
        case err::kAccessDenied:
        case err::kWriteProtect:
        case err::kFileExists:
        case err::kAlreadyExists:
        case err::kDirNotEmpty:
            return FileCause::AccessDenied;
        case err::kInvalidHandle:
            return FileCause::InvalidFile;
        case err::kCurrentDirectory:
            return FileCause::RemoveCurrentDir;
        case err::kCannotMake:
            return FileCause::DirectoryFull;
        case err::kSeek:
        case err::kNegativeSeek:
            return FileCause::BadSeek;
        case err::kNotReady:
        case err::kCrc:
        case err::kWriteFault:
        case err::kReadFault:
        case err::kGenFailure:
        case err::kIoDevice:
        case 26:   // not a DOS disk
        case 27:   // sector not found
        case 57:   // network adapter hardware error
        case 1006: // file invalid
            return FileCause::HardIO;
        case err::kSharingViolation:
        case 36:  // sharing buffer exceeded
            return FileCause::SharingViolation;
        case err::kLockViolation:
        case 158:  // not locked
            return FileCause::LockViolation;
        case err::kHandleDiskFull:
        case err::kDiskFull:
            return FileCause::DiskFull;
        case err::kHandleEof:
            return FileCause::EndOfFile;
        default:
            return FileCause::Generic;
    }
}

std::string StandardFileText(FileCause cause, const std::string& path) {
    const char* pattern = texts::kCauseGeneric;
    switch (cause) {
        case FileCause::None: pattern = texts::kCauseNone; break;
        case FileCause::Generic: pattern = texts::kCauseGeneric; break;
        case FileCause::FileNotFound: pattern = texts::kCauseNotFound; break;
        case FileCause::BadPath: pattern = texts::kCauseBadPath; break;
        case FileCause::TooManyOpenFiles: pattern = texts::kCauseTooManyOpen; break;
        case FileCause::AccessDenied: pattern = texts::kCauseAccessDenied; break;
        case FileCause::InvalidFile: pattern = texts::kCauseInvalidFile; break;
        case FileCause::RemoveCurrentDir: pattern = texts::kCauseRemoveCurrentDir; break;
        case FileCause::DirectoryFull: pattern = texts::kCauseDirFull; break;
        case FileCause::BadSeek: pattern = texts::kCauseBadSeek; break;
        case FileCause::HardIO: pattern = texts::kCauseHardIO; break;
        case FileCause::SharingViolation: pattern = texts::kCauseSharing; break;
        case FileCause::LockViolation: pattern = texts::kCauseLock; break;
        case FileCause::DiskFull: pattern = texts::kCauseDiskFull; break;
        case FileCause::EndOfFile: pattern = texts::kCauseEndOfFile; break;
    }
    return Fill(pattern, path.empty() ? texts::kUnnamedFile : path);
}

FileError::FileError(FileCause cause_, ErrorCode code_, std::string path_, std::uint32_t stored_)
    : std::runtime_error(StandardFileText(cause_, path_)),
      cause(cause_),
      code(code_),
      path(std::move(path_)),
      stored(stored_) {}

void ReadOrThrow(File& file, const std::string& path, void* buffer, std::uint32_t size,
                 std::uint32_t& got) {
    got = 0;
    if (const ErrorCode code = file.Read(buffer, size, got)) throw FileError(code, path);
}

void WriteOrThrow(File& file, const std::string& path, const void* buffer, std::uint32_t size) {
    std::uint32_t written = 0;
    const ErrorCode code = file.Write(buffer, size, written);
    if (code) throw FileError(code, path, written);
    if (written < size) throw FileError(FileCause::DiskFull, err::kDiskFull, path, written);
}

void SeekOrThrow(File& file, const std::string& path, std::uint64_t position) {
    if (const ErrorCode code = file.Seek(position)) throw FileError(code, path);
}

void CloseOrThrow(std::unique_ptr<File>& file, const std::string& path) {
    if (!file) return;
    std::unique_ptr<File> closing = std::move(file);
    if (const ErrorCode code = closing->Close()) throw FileError(code, path);
}

void CloseQuietly(std::unique_ptr<File>& file) {
    // Only on a way out whose outcome is decided already: a file read from,
    // or one of a run that failed and is being removed.
    if (file) static_cast<void>(file->Close());
    file.reset();
}

const char* SystemErrorText(ErrorCode code) {
    for (const auto& entry : texts::kSystemErrorTexts) {
        if (entry.code == code) return entry.text;
    }
    return nullptr;
}

std::string DriveRetryText(const std::string& destinationFolder, DriveType driveType) {
    return std::string(texts::kDrivePrefix) + destinationFolder +
           (driveType == DriveType::Removable ? texts::kDriveRemovableSuffix
                                              : texts::kDriveFixedSuffix);
}


}  // namespace engine
