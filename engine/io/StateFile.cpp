#include "engine/io/StateFile.h"

#include <memory>

#include "engine/base/FileErrors.h"
#include "engine/set/PiecePlan.h"

namespace engine {

namespace {

constexpr OpenMode kReadMode{Access::Read, Share::Read, Creation::OpenExisting, true};

}  // namespace

StateFound ReadStateFile(Folder& folder, const std::string& name, std::size_t most, std::string& bytes) {
    bytes.clear();
    FileStatus status;
    if (folder.Status(name, status) != err::kNone || (status.kind == FileKind::Missing && !status.link)) {
        return StateFound::None;
    }
    std::unique_ptr<File> file;
    if (status.kind != FileKind::Regular || status.link || status.size > most ||
        folder.Open(name, kReadMode, file) != err::kNone) {
        return StateFound::Unusable;
    }
    bytes.resize(static_cast<std::size_t>(status.size));
    try {
        // A read ends short only at the file's end; one that shrank or grew
        // since it was measured is not the file measured.
        std::uint32_t got = 0;
        if (!bytes.empty()) ReadOrThrow(*file, name, &bytes[0], static_cast<std::uint32_t>(bytes.size()), got);
        char more = 0;
        std::uint32_t past = 0;
        if (got != bytes.size() || file->Read(&more, 1, past) != err::kNone || past != 0) {
            throw FileError(err::kReadFault, name);
        }
    } catch (const FileError&) {
        CloseQuietly(file);
        bytes.clear();
        return StateFound::Unusable;
    }
    CloseQuietly(file);
    return StateFound::Read;
}

bool SaveStateFile(RunOutputs& outputs, Folder& folder, const std::string& setName, const std::string& name,
                   const std::string& bytes, std::uint32_t permissions) {
    std::string temporary;
    std::unique_ptr<File> file;
    if (outputs.CreateTemporary(folder, setName, temporary, file, permissions, "state") != err::kNone) return false;
    std::uint32_t written = 0;
    bool good = file->Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()), written) == err::kNone &&
                written == bytes.size();
    good = good && file->Flush() == err::kNone;
    good = file->Close() == err::kNone && good;
    file.reset();
    if (good) {
        outputs.Keep(folder, name);  // the version it replaces
        if (outputs.Publish(folder, temporary, name) == err::kNone && folder.Flush() == err::kNone) return true;
    }
    static_cast<void>(folder.Delete(temporary));
    return false;
}

bool IsStateOf(const SplitState& state, const SplitJob& job) {
    return state.sourceName == job.sourceName && state.sourceSize == job.sourceSize && state.sourceId == job.sourceId &&
           state.sourceModified == job.sourceModified && state.sourceChanged == job.sourceChanged &&
           state.pieceSize == job.pieceSize && state.pieceCount == job.pieceCount;
}

bool IsStateOf(const SplitState& state, const RejoinJob& job) {
    const SetInfo& set = job.set;
    if (!set.hasChecksums || state.sourceName != set.name || state.sourceSize != set.size ||
        state.pieceSize != job.pieceSize || state.pieceCount != set.pieceCount ||
        state.pieces.size() >= set.pieceCount || set.pieces.size() != set.pieceCount) {
        return false;
    }
    for (std::size_t i = 0; i < state.pieces.size(); ++i) {
        if (!(state.pieces[i] == set.pieces[i])) return false;
    }
    return true;
}

namespace {

// The state `name` in `folder` of the job, or false.
template <class Job>
bool StateIn(Platform& platform, const std::string& folderPath, const std::string& name, const Job& job,
             std::unique_ptr<Folder>& folder, SplitState& state) {
    std::string bytes;
    return platform.OpenFolder(folderPath, folder) == err::kNone &&
           ReadStateFile(*folder, name, MaxSplitStateBytes(), bytes) == StateFound::Read &&
           DecodeSplitState(bytes, state) && IsStateOf(state, job);
}

std::uint64_t SizeOf(Folder& folder, const std::string& name) {
    FileStatus status;
    if (folder.Status(name, status) != err::kNone || status.kind != FileKind::Regular || status.link) return 0;
    return status.size;
}

}  // namespace

std::uint64_t HeldByStoppedRun(Platform& platform, const SplitJob& job) {
    std::unique_ptr<Folder> folder;
    SplitState state;
    if (!StateIn(platform, job.destinationFolder, StateFileName(job.sourceName), job, folder, state)) return 0;
    std::uint64_t held = 0;
    for (std::uint32_t i = 0; i < state.pieces.size(); ++i) held += SizeOf(*folder, PieceFileName(job.sourceName, i));
    return held;
}

std::uint64_t HeldByStoppedRun(Platform& platform, const RejoinJob& job) {
    std::unique_ptr<Folder> folder;
    SplitState state;
    if (!StateIn(platform, job.destinationFolder, RejoinStateFileName(job.set.name), job, folder, state)) return 0;
    return SizeOf(*folder, PartialFileName(job.set.name));
}

}  // namespace engine
