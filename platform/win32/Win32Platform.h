// The engines' platform on Windows: the kernel's wide file functions, with
// the \\?\ form so that paths of any length work, and the last-error codes
// as they come.
#pragma once

#include "platform/win32/WinApi.h"

#include "engine/base/Platform.h"
#include "platform/DesktopFolders.h"
#include "platform/SystemMd5.h"

namespace platform {

class Win32Platform : public engine::Platform, public DesktopFolders {
public:
    char Separator() const override { return '\\'; }
    bool IsRoot(const std::string& path) const override;
    std::string DriveRoot(const std::string& path) const override;

    engine::ErrorCode Open(const std::string& path, const engine::OpenMode& mode,
                           std::unique_ptr<engine::File>& file) override;
    engine::ErrorCode OpenFolder(const std::string& path, std::unique_ptr<engine::Folder>& folder) override;
    std::string StoredName(const std::string& path) override;
    bool CaseSensitiveNames() const override { return false; }
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
};

// Converts between UTF-8 and a code page without best-fit substitutes:
// false when a character has no place there.
bool ToCodePage(UINT codePage, const std::string& text, std::string& converted);
bool FromCodePage(UINT codePage, const std::string& text, std::string& converted);

}  // namespace platform
