#include "RunOutputs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "PiecePlan.h"

namespace engine {

namespace {
constexpr OpenMode kTemporaryMode{Access::Write, Share::Read, Creation::CreateNew, true};
// Names already taken by files that are not ours are skipped; this many tries
// find a free one in any folder a person uses.
constexpr int kTemporaryTries = 100;
}  // namespace

ErrorCode RunOutputs::Create(const std::string& path, const OpenMode& mode, std::unique_ptr<File>& file) {
    file.reset();
    FileStatus status;
    if (platform_.Status(path, status) == err::kNone && status.kind == FileKind::Folder && !status.link) {
        return err::kAccessDenied;  // as Windows answers for a folder
    }
    if (platform_.Exists(path)) {
        const ErrorCode removed = platform_.Delete(path);
        if (removed != err::kNone && removed != err::kFileNotFound) return removed;
    }
    OpenMode create = mode;
    create.creation = Creation::CreateNew;
    const ErrorCode code = platform_.Open(path, create, file);
    if (code != err::kNone) {
        file.reset();
        return code;
    }
    made_.push_back(path);
    return err::kNone;
}

ErrorCode RunOutputs::CreateTemporary(const std::string& folder, std::string& path,
                                      std::unique_ptr<File>& file) {
    // Short names, so that they fit wherever the real name fits.
    const auto seed = static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count() & 0xFFFFFF);
    ErrorCode code = err::kNone;
    for (int attempt = 0; attempt < kTemporaryTries; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "~pvx%06x%02x.tmp", seed, (serial_++) & 0xFF);
        path = FolderPrefix(platform_, folder) + name;
        code = platform_.Open(path, kTemporaryMode, file);
        if (code == err::kNone) {
            made_.push_back(path);
            return code;
        }
        file.reset();
        if (code != err::kFileExists && code != err::kAlreadyExists) return code;
    }
    return code;
}

ErrorCode RunOutputs::Publish(const std::string& temporary, const std::string& path) {
    const ErrorCode code = platform_.Rename(temporary, path);
    if (code != err::kNone) return code;
    // The file now has its real name; should the run fail later, that name
    // is what it removes.
    std::replace(made_.begin(), made_.end(), temporary, path);
    return code;
}

void RunOutputs::Discard() {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) platform_.Delete(*it);
    made_.clear();
}

}  // namespace engine
