// The engines' platform on POSIX systems, for the command line and the
// native tests on real files. errno values are reported in the Windows
// numbering the engines speak. Windows sharing modes have no POSIX
// counterpart and are not enforced.
#pragma once

#include <string>

#include "engine/base/Platform.h"
#include "platform/DesktopFolders.h"
#include "platform/SystemMd5.h"

namespace platform {

engine::ErrorCode ErrorFromErrno(int error);

class PosixPlatform : public engine::Platform, public DesktopFolders {
public:
    // `ansiCodePage` is the Windows code page the info file's name field is
    // read and written in (iconv's name for it, such as "CP1252"), so that
    // sets move between this system and Windows.
    explicit PosixPlatform(std::string ansiCodePage = "CP1252");

    // Whether iconv knows the code page.
    static bool CodePageKnown(const std::string& codePage);

    char Separator() const override { return '/'; }
    bool IsRoot(const std::string& path) const override;
    std::string DriveRoot(const std::string& path) const override;

    engine::ErrorCode Open(const std::string& path, const engine::OpenMode& mode,
                           std::unique_ptr<engine::File>& file) override;
    engine::ErrorCode OpenFolder(const std::string& path, std::unique_ptr<engine::Folder>& folder) override;
    std::string StoredName(const std::string& path) override;
    bool CaseSensitiveNames() const override { return true; }
    engine::ErrorCode Delete(const std::string& path) override;
    engine::ErrorCode Rename(const std::string& from, const std::string& to) override;
    engine::ErrorCode ListFolder(const std::string& folder,
                                 std::vector<engine::FolderEntry>& entries) override;
    engine::ErrorCode RemoveFolder(const std::string& path) override;
    engine::ErrorCode Status(const std::string& path, engine::FileStatus& status) override;
    // DesktopFolders
    bool IsFolder(const std::string& path) override;
    engine::ErrorCode CreateFolder(const std::string& path) override;
    engine::ErrorCode SetCurrentFolder(const std::string& path) override;
    std::string ResolvedPath(const std::string& path) override;
    engine::DriveType QueryDriveType(const std::string& path) override;
    bool GetFreeSpace(const std::string& path, std::uint64_t& bytes) override;
    bool VolumeIdentity(const std::string& path, std::string& identity) override;
    bool ToAnsiName(const std::string& name, std::string& ansi) const override;
    bool FromAnsiName(const std::string& ansi, std::string& name) const override;
    bool ToOemText(const std::string& text, std::string& oem) const override;
    bool NameTooLong(const std::string& name) const override;
    std::unique_ptr<engine::Md5> NewMd5() const override { return platform::NewSystemMd5(); }

private:
    std::string codePage_;
};

}  // namespace platform
