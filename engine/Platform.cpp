#include "Platform.h"

namespace engine {

bool SameFile(Platform& platform, const std::string& a, const std::string& b) {
    FileStatus sa, sb;
    if (platform.Status(a, sa) != err::kNone || platform.Status(b, sb) != err::kNone) return false;
    if (sa.kind == FileKind::Missing || sb.kind == FileKind::Missing) return false;
    return sa.id == sb.id;
}

}  // namespace engine
