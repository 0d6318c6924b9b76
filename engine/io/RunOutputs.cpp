#include "engine/io/RunOutputs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "engine/base/Checksum.h"
#include "engine/base/FileErrors.h"
#include "engine/base/Names.h"
#include "engine/set/PiecePlan.h"

namespace engine {

namespace {

constexpr OpenMode kTemporaryMode{Access::Write, Share::Read, Creation::CreateNew, true};
// Names already taken by files that are not ours are skipped; this many tries
// find a free one in any folder a person uses.
constexpr int kTemporaryTries = 100;

// 16 hex digits of the set's name, as Windows compares names (ASCII case
// ignored), so that every spelling of one set meets the same lock.
std::string Mark(const std::string& setName) {
    const std::string upper = AsciiUpper(setName);
    char mark[17];
    std::snprintf(mark, sizeof mark, "%016llx",
                  static_cast<unsigned long long>(Checksum64(upper.data(), upper.size())));
    return mark;
}

std::string TemporaryPrefix(const std::string& setName) { return "~pvx-" + Mark(setName) + "-"; }

bool Gone(ErrorCode code) { return code == err::kNone || code == err::kFileNotFound || code == err::kPathNotFound; }

}  // namespace

std::string LockFileName(const std::string& setName) { return "~pvx-" + Mark(setName) + ".lock"; }
std::string StateFileName(const std::string& setName) { return "~pvx-" + Mark(setName) + ".state"; }
std::string PartialFileName(const std::string& outputName) { return "~pvx-" + Mark(outputName) + "-join.partial"; }
std::string RejoinStateFileName(const std::string& outputName) {
    return "~pvx-" + Mark(outputName) + "-join.state";
}

bool IsTemporaryOf(const std::string& entry, const std::string& setName) {
    const std::string prefix = TemporaryPrefix(setName);
    return entry.size() > prefix.size() + 4 && AsciiUpper(entry.substr(0, prefix.size())) == AsciiUpper(prefix) &&
           EndsWithNoCase(entry, ".tmp");
}

ErrorCode RunOutputs::Create(Folder& folder, const std::string& name, const OpenMode& mode,
                             std::unique_ptr<File>& file) {
    file.reset();
    FileStatus status;
    const ErrorCode seen = folder.Status(name, status);
    if (seen == err::kNone && status.kind == FileKind::Folder && !status.link) {
        return err::kAccessDenied;  // as Windows answers for a folder
    }
    if (seen != err::kNone || status.kind != FileKind::Missing || status.link) {
        const ErrorCode removed = folder.Delete(name);
        if (!Gone(removed)) return removed;
    }
    OpenMode create = mode;
    create.creation = Creation::CreateNew;
    if (const ErrorCode code = folder.Open(name, create, file)) {
        file.reset();
        return code;
    }
    return Track(folder, name, file);
}

// A file made is cleaned up by its identity: one whose identity cannot be
// had is given up at once, so that none stays that no clean-up would find.
ErrorCode RunOutputs::Track(Folder& folder, const std::string& name, std::unique_ptr<File>& file) {
    FileStatus made;
    if (const ErrorCode code = file->Status(made)) {
        CloseQuietly(file);
        static_cast<void>(folder.Delete(name));  // made a moment ago by this run; the failure is what counts
        return code;
    }
    made_.push_back({&folder, name, made.id});
    return err::kNone;
}

ErrorCode RunOutputs::CreateTemporary(Folder& folder, const std::string& setName, std::string& name,
                                      std::unique_ptr<File>& file, std::uint32_t permissions,
                                      const std::string& kind) {
    const auto seed = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    OpenMode mode = kTemporaryMode;
    mode.permissions = permissions;
    ErrorCode code = err::kNone;
    for (int attempt = 0; attempt < kTemporaryTries; ++attempt) {
        char tail[16];
        std::snprintf(tail, sizeof tail, "%08x.tmp", (seed + 0x9E3779B9u * serial_++) & 0xFFFFFFFFu);
        name = TemporaryPrefix(setName) + kind + tail;
        code = folder.Open(name, mode, file);
        if (code == err::kNone) return Track(folder, name, file);
        file.reset();
        if (code != err::kFileExists && code != err::kAlreadyExists) return code;
    }
    return code;
}

ErrorCode RunOutputs::Publish(Folder& folder, const std::string& temporary, const std::string& name) {
    if (const ErrorCode code = folder.Rename(temporary, name)) return code;
    // The file now has its real name; should the run fail later, that name
    // is what it removes.
    for (Entry& entry : made_) {
        if (entry.folder == &folder && entry.name == temporary) entry.name = name;
    }
    return err::kNone;
}

bool RunOutputs::Made(Folder& folder, const std::string& name) {
    FileStatus status;
    if (folder.Status(name, status) != err::kNone || status.kind != FileKind::Regular || status.link) return false;
    return std::any_of(made_.begin(), made_.end(), [&](const Entry& entry) {
        return entry.folder == &folder && entry.id == status.id;
    });
}

void RunOutputs::Keep(const Folder& folder, const std::string& name) {
    made_.erase(std::remove_if(made_.begin(), made_.end(),
                               [&](const Entry& entry) { return entry.folder == &folder && entry.name == name; }),
                made_.end());
}

void RunOutputs::Forget(const Folder& folder) {
    made_.erase(std::remove_if(made_.begin(), made_.end(), [&](const Entry& entry) { return entry.folder == &folder; }),
                made_.end());
}

std::vector<std::string> RunOutputs::Discard() {
    std::vector<std::string> kept;
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
        FileStatus status;
        // A name that now holds another file (someone replaced ours) is not
        // ours to remove.
        if (it->folder->Status(it->name, status) != err::kNone || status.kind == FileKind::Missing ||
            status.link || status.id != it->id) {
            continue;
        }
        if (!Gone(it->folder->Delete(it->name))) kept.push_back(FolderPrefix(platform_, it->folder->Path()) + it->name);
    }
    made_.clear();
    return kept;
}

}  // namespace engine
