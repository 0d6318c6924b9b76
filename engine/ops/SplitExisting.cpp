#include "engine/ops/Splitter.h"

#include <algorithm>

#include "engine/base/FileErrors.h"
#include "engine/base/Names.h"
#include "engine/base/Texts.h"
#include "engine/par2/Packets.h"
#include "engine/set/PiecePlan.h"
#include "engine/set/RejoinBatch.h"
#include "engine/set/SplitInfo.h"

namespace engine::splitting {

bool Splitter::RejoinsThisSet(const std::string& name) {
    return BatchFileRejoins(platform_, *folder_, name, job_.sourceName);
}

// A file of a set of this name in the destination (its info file first,
// else a piece, else a recovery file), or an empty name.
std::string Splitter::ExistingSetFile() {
    std::vector<FolderEntry> entries;
    if (folder_->List(entries) != err::kNone) return std::string();
    const bool exact = platform_.CaseSensitiveNames();
    std::string piece, recovery;
    for (const FolderEntry& entry : entries) {
        if (entry.isFolder) continue;
        if (exact ? entry.name == infoName_ : AsciiUpper(entry.name) == AsciiUpper(infoName_)) return entry.name;
        if (piece.empty() && IsPieceOf(entry.name, job_.sourceName, exact)) piece = entry.name;
        if (recovery.empty() && par2::IsRecoveryFileOf(entry.name, job_.sourceName, exact)) recovery = entry.name;
    }
    return piece.empty() ? recovery : piece;
}

// A set of this name already in the destination may be another file's
// (pieces someone sent, whose original is elsewhere): it is replaced only
// when the user says so, or the new set takes another name beside it.
void Splitter::ConfirmReplacing() {
    for (int asked = 0;; ++asked) {
        const std::string existing = ExistingSetFile();
        if (existing.empty()) return;
        if (asked >= kMaxBatchQuestions) throw RunStopped{};
        std::string path = PathOf(existing);
        const FileExistsAnswer answer = prompts_.AskFileExists(path);
        if (answer == FileExistsAnswer::Stop) throw RunStopped{};
        if (answer == FileExistsAnswer::Overwrite) return;
        if (!Rename(path)) prompts_.Tell(texts::kSetNameBesidePieces);
    }
}

// The set takes the name chosen (given as the set's name, its info file's
// or a piece's) in the same folder; false when that cannot be.
bool Splitter::Rename(const std::string& chosen) {
    if (!SameFile(platform_, FolderPart(platform_, chosen), job_.destinationFolder)) return false;
    std::string name = FileNamePart(platform_, chosen);
    if (EndsWithNoCase(name, kInfoSuffix) && name.size() > 4) name.resize(name.size() - 4);
    if (EndsWithNoCase(name, ".spl")) {
        const std::string info = InfoFileForPiece(name, std::string(1, platform_.Separator()));
        if (!info.empty()) name = info.substr(0, info.size() - 4);
    }
    if (!NameProblem(name).empty() || platform_.NameTooLong(PieceFileName(name, job_.pieceCount - 1)) ||
        platform_.NameTooLong(InfoFileName(name))) {
        return false;
    }
    RecoveryPlan plan;
    if (!PlanRecovery(name, job_.sourceSize, job_.pieceCount, job_.pieceSize, job_.recoveryPercent, plan, job_.slices).empty() ||
        (!plan.empty() && platform_.NameTooLong(plan.LongestName()))) {
        return false;
    }
    // No name of the new set may be the source itself.
    const auto isSource = [&](const std::string& n) { return SameFile(platform_, PathOf(n), job_.sourcePath); };
    if (isSource(InfoFileName(name))) return false;
    for (std::uint32_t i = 0; i < job_.pieceCount; ++i) {
        if (isSource(PieceFileName(name, i))) return false;
    }
    std::unique_ptr<Lock> claim;
    const ErrorCode claimed = ClaimSet(*folder_, name, claim);
    if (claimed == err::kSharingViolation) {
        prompts_.Tell(Fill(texts::kSetInUse, PathOf(name)));
        throw RunStopped{};
    }
    lock_ = std::move(claim);
    job_.sourceName = name;
    job_.recovery = plan;
    infoName_ = InfoFileName(name);
    return true;
}

// A Go.bat that rejoins this set is this set's own and is replaced silently;
// any other is the user's, and is asked about like any file in the way.
void Splitter::ChooseBatchName() {
    for (int asked = 0;; ++asked) {
        FileStatus status;
        if (folder_->Status(batchName_, status) != err::kNone || status.kind == FileKind::Missing) return;
        if (status.kind == FileKind::Regular && RejoinsThisSet(batchName_)) return;
        if (asked >= kMaxBatchQuestions) throw RunStopped{};
        const std::string own = BatchNameOf(job_.sourceName);
        if (job_.ownBatch && batchName_ != own && NameProblem(own).empty() && !platform_.NameTooLong(PathOf(own))) {
            batchName_ = own;
            continue;
        }
        std::string path = PathOf(batchName_);
        const FileExistsAnswer answer = prompts_.AskFileExists(path);
        if (answer == FileExistsAnswer::Stop) throw RunStopped{};
        if (answer == FileExistsAnswer::Overwrite) {
            if (status.kind == FileKind::Folder) Abort(FileError(FileCause::AccessDenied, err::kAccessDenied, path));
            return;
        }
        // Go.bat works only beside the pieces: a new name, not a new place.
        const std::string name = FileNamePart(platform_, path);
        if (!SameFile(platform_, FolderPart(platform_, path), job_.destinationFolder) || !NameProblem(name).empty()) {
            prompts_.Tell(texts::kBatchBesidePieces);
            continue;
        }
        batchName_ = name;
    }
}

// Before the first piece is overwritten, the older set of the same name
// stops looking complete: its info file goes, and Go.bat if it rejoins it,
// and that is on the disk before any piece changes. A split cut short at any
// point then leaves nothing that a rejoin accepts.
void Splitter::ClearOldSet() {
    bool removed = false;
    FileStatus status;
    if (folder_->Status(infoName_, status) == err::kNone && (status.kind != FileKind::Missing || status.link)) {
        const ErrorCode code = folder_->Delete(infoName_);
        if (code != err::kNone && code != err::kFileNotFound) Abort(FileError(code, PathOf(infoName_)));
        removed = true;
    }
    if (RejoinsThisSet(batchName_)) {
        const ErrorCode code = folder_->Delete(batchName_);
        if (code != err::kNone && code != err::kFileNotFound) Abort(FileError(code, PathOf(batchName_)));
        removed = true;
    }
    if (removed) FlushDestination();
}

// What an older set of the same name leaves beside the new one (higher
// piece numbers, an info file on a later disk) goes once the new set is on
// this disk: nothing this run made, and nothing of other names.
void Splitter::RemoveStale() {
    std::vector<FolderEntry> entries;
    if (folder_->List(entries) != err::kNone) return;
    const bool exact = platform_.CaseSensitiveNames();
    for (const FolderEntry& entry : entries) {
        if (entry.isFolder) continue;
        const bool ours = IsPieceOf(entry.name, job_.sourceName, exact) ||
                          par2::IsRecoveryFileOf(entry.name, job_.sourceName, exact) ||
                          (exact ? entry.name == infoName_ : AsciiUpper(entry.name) == AsciiUpper(infoName_));
        if (!ours || outputs_.Made(*folder_, entry.name)) continue;
        // Nor the pieces kept from the run this one continues.
        std::uint64_t index = 0;
        if (IsPieceOf(entry.name, job_.sourceName, exact, &index) && index < kept_) continue;
        const ErrorCode code = folder_->Delete(entry.name);
        if (code != err::kNone && code != err::kFileNotFound) Abort(FileError(code, PathOf(entry.name)));
    }
}

}  // namespace engine::splitting
