#include "engine/base/Platform.h"

namespace engine {

bool SameFile(Platform& platform, const std::string& a, const std::string& b) {
    FileStatus sa, sb;
    if (platform.Status(a, sa) != err::kNone || platform.Status(b, sb) != err::kNone) return false;
    if (sa.kind == FileKind::Missing || sb.kind == FileKind::Missing) return false;
    return sa.id == sb.id;
}

bool Exists(Platform& platform, const std::string& path) {
    FileStatus status;
    // A name that cannot be looked at is there, as far as anyone can tell.
    if (platform.Status(path, status) != err::kNone) return true;
    return status.kind != FileKind::Missing || status.link;
}

bool IsFolder(Platform& platform, const std::string& path) {
    FileStatus status;
    return platform.Status(path, status) == err::kNone && status.kind == FileKind::Folder;
}

}  // namespace engine
