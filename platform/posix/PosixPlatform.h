// The engines' platform on POSIX systems, for the command line and the
// native tests on real files. errno values are reported in the Windows
// numbering the engines speak. Windows sharing modes have no POSIX
// counterpart and are not enforced.
#pragma once

#include "engine/Platform.h"

namespace platform {

engine::ErrorCode ErrorFromErrno(int error);

class PosixPlatform : public engine::Platform {
public:
    char Separator() const override { return '/'; }
    bool IsRoot(const std::string& path) const override;
    std::string DriveRoot(const std::string& path) const override;

    engine::ErrorCode Open(const std::string& path, const engine::OpenMode& mode,
                           std::unique_ptr<engine::File>& file) override;
    engine::ErrorCode Delete(const std::string& path) override;
    engine::ErrorCode ListFolder(const std::string& folder,
                                 std::vector<engine::FolderEntry>& entries) override;
    engine::ErrorCode RemoveFolder(const std::string& path) override;
    engine::ErrorCode CreateFolder(const std::string& path) override;
    engine::ErrorCode SetCurrentFolder(const std::string& path) override;
    bool Exists(const std::string& path) override;
    bool IsFolder(const std::string& path) override;
    bool SameFile(const std::string& a, const std::string& b) override;
    engine::ErrorCode FileSize(const std::string& path, std::uint64_t& size) override;
    engine::DriveType QueryDriveType(const std::string& path) override;
    bool GetFreeSpace(const std::string& path, std::uint64_t& bytes) override;
};

}  // namespace platform
