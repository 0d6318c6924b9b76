// A rejoin that stops, whatever stops it, keeps the part of the file it
// made under a name of its own, and a state file that lists the pieces
// that part holds, flushed before the state says so. The next rejoin of
// the same set to the same place offers to continue after them: it keeps
// only the pieces it reads back from that part with the checksums the set
// records, and writes everything else again. Only sets that record their
// pieces' checksums can be continued, as only they can prove what is kept.
#include <algorithm>

#include "engine/base/FileErrors.h"
#include "engine/base/Format.h"
#include "engine/base/Names.h"
#include "engine/base/Texts.h"
#include "engine/io/ReadBack.h"
#include "engine/io/StateFile.h"
#include "engine/ops/Rejoiner.h"
#include "engine/set/PiecePlan.h"

namespace engine::rejoining {

namespace {

constexpr OpenMode kPartialMode{Access::ReadWrite, Share::Read, Creation::CreateNew, true};
constexpr OpenMode kContinueMode{Access::ReadWrite, Share::Read, Creation::OpenExisting, true};
// As a split's: saved once the bytes written since the last state outweigh
// it this many times.
constexpr std::uint64_t kStateWeight = 32;

}  // namespace

// The output is made under a temporary name, or for a rejoin that can be
// continued, under its partial name: continued where a state proves it,
// made anew otherwise.
void Rejoiner::OpenOutput(PieceReader& reader) {
    permissions_ = OutputPermissions();
    // A set read disk by disk is continued too: what is kept is proven by
    // the output, so the disks before the one to read next are not asked for.
    resumable_ = job_.set.hasChecksums && job_.pieceSize != 0 && job_.set.pieceCount > 1;
    if (!resumable_) {
        if (const ErrorCode code = outputs_.CreateTemporary(*folder_, outputName_, temporary_, file_, permissions_)) {
            Fail(StandardFileText(CauseFromCode(code), outputPath_));
        }
    } else {
        temporary_ = PartialFileName(outputName_);
        stateName_ = RejoinStateFileName(outputName_);
        SplitState state;
        if (ReadState(state) && !job_.restart && !state.pieces.empty()) {
            Message ask(Fill(Fill(texts::kContinueRejoin, Grouped(state.pieces.size() + std::uint64_t{1})),
                             Grouped(job_.set.pieceCount), "%2"),
                        std::string(), Buttons::OkCancel, Question::Proceed);
            ask.okLabel = texts::kContinueLabel;
            ask.cancelLabel = texts::kStartOverLabel;
            if (prompts_.ShowMessage(ask) == Answer::Ok && Continue(state, reader)) return;
        }
        // Whatever had the names is of a rejoin that is not continued.
        DeleteState();
        OpenMode mode = kPartialMode;
        mode.permissions = permissions_;
        if (const ErrorCode code = outputs_.Create(*folder_, temporary_, mode, file_)) {
            Fail(StandardFileText(CauseFromCode(code), outputPath_));
        }
        FileStatus status;
        if (const ErrorCode code = file_->Status(status)) Fail(StandardFileText(CauseFromCode(code), outputPath_));
        partialId_ = status.id;
    }
    static_cast<void>(file_->Reserve(job_.set.size));  // room asked ahead; the writes say if it lacks
}

// False when there is no state file, and (after a one-line notice) when it
// is damaged, of another set, or lists pieces other than the set's.
bool Rejoiner::ReadState(SplitState& state) {
    std::string bytes;
    const StateFound found = ReadStateFile(*folder_, stateName_, MaxSplitStateBytes(), bytes);
    if (found == StateFound::None) return false;
    const bool same = found == StateFound::Read && DecodeSplitState(bytes, state) && IsStateOf(state, job_);
    if (!same) prompts_.Tell(Fill(texts::kRejoinStateIgnored, FolderPrefix(platform_, folder_->Path()) + stateName_));
    return same;
}

// Opens the partial output the state was saved for (the very file, not
// one that took its name since) and keeps the longest run of pieces from
// the first that read back as recorded. False when nothing can be kept.
bool Rejoiner::Continue(const SplitState& state, PieceReader& reader) {
    FileStatus status;
    if (folder_->Status(temporary_, status) != err::kNone || status.kind != FileKind::Regular || status.link ||
        status.id != state.sourceId || status.size > job_.set.size ||
        folder_->Open(temporary_, kContinueMode, file_) != err::kNone) {
        file_.reset();
        return false;
    }
    ChecksumState whole;
    std::uint32_t kept = 0;
    while (kept < state.pieces.size() && ProveKept(state, kept, whole)) ++kept;
    if (kept < state.pieces.size()) {
        // The whole file's checksum took in the piece that failed: it is
        // made again from the pieces kept, read once more only in this case.
        whole.Reset();
        for (std::uint32_t again = 0; again < kept; ++again) {
            if (!ProveKept(state, again, whole)) {
                FailRun(prompts_, Fill(texts::kPartialChanged, outputPath_));
            }
        }
    }
    if (kept == 0) {
        CloseQuietly(file_);
        return false;
    }
    partialId_ = status.id;
    done_ = stateCovers_ = kept;
    reader.ContinueAfter(kept, std::move(whole));
    return true;
}

// Reads piece `index` back from the partial output into `whole`; true when
// it has the checksum the state and the set record.
bool Rejoiner::ProveKept(const SplitState& state, std::uint32_t index, ChecksumState& whole) {
    const std::uint64_t at = std::uint64_t{index} * job_.pieceSize;
    const std::uint64_t length = PieceLength(job_.set.size, job_.set.pieceCount, job_.pieceSize, index);
    ChecksumState piece;
    try {
        ReadBack(*file_, outputPath_, at, length,
                 [&](const unsigned char* data, std::uint32_t size) {
                     piece.Update(data, size);
                     whole.Update(data, size);
                 },
                 [&] { ctx_.CheckPoint(); });
    } catch (const FileError&) {
        return false;  // shorter than the state says: a power loss took the rest
    }
    ctx_.progress.Report(at + length, progressTotal_,
                         ProgressText(index + std::uint64_t{1}, job_.set.pieceCount - index - 1));
    return piece.Digest() == state.pieces[index];
}

// Piece `index` is in the output and was found as recorded. The pieces a
// state lists are on the disk before it is, and it is on the disk before
// the next piece is written: whatever a power loss leaves, a state lists
// only pieces there, and at most the piece being written is lost. Saving
// it is best effort, as a split's is.
void Rejoiner::PieceDone(std::uint32_t index) {
    done_ = index + 1;
    if (!resumable_ || done_ == job_.set.pieceCount) return;
    sinceState_ += PieceLength(job_.set.size, job_.set.pieceCount, job_.pieceSize, index);
    if (sinceState_ < kStateWeight * SplitStateBytes(job_.set.name.size(), done_)) return;
    if (const ErrorCode code = file_->Flush()) Fail(StandardFileText(CauseFromCode(code), outputPath_));
    SplitState state;
    state.sourceName = job_.set.name;
    state.sourceSize = job_.set.size;
    state.sourceId = partialId_;
    state.pieceSize = job_.pieceSize;
    state.pieceCount = job_.set.pieceCount;
    state.pieces.assign(job_.set.pieces.begin(), job_.set.pieces.begin() + done_);
    if (SaveStateFile(outputs_, *folder_, outputName_, stateName_, EncodeSplitState(state), permissions_)) {
        stateCovers_ = done_;
        sinceState_ = 0;
    }
}

// A rejoin that did not end in the file keeps the part its state lists,
// and the state, for the next one to continue after. Where it failed the
// user is told; one who stopped it knows, and is asked next time. Pieces
// that make another file than the one split are no start for anything.
void Rejoiner::KeepForNextRun(Outcome outcome) {
    if (!resumable_ || outcome == Outcome::Completed) return;
    if (wholeWrong_ || stateCovers_ == 0) {
        if (wholeWrong_) {
            DeleteState();
            static_cast<void>(folder_->Delete(temporary_));
        }
        return;
    }
    outputs_.Keep(*folder_, temporary_);
    outputs_.Keep(*folder_, stateName_);
    if (outcome == Outcome::Failed && !keptTold_) prompts_.Tell(KeptSentence());
}

// Empty unless a failure now would leave a part to continue after.
std::string Rejoiner::KeptSentence() const {
    if (!resumable_ || stateCovers_ == 0 || wholeWrong_) return std::string();
    return Fill(Fill(Fill(texts::kRejoinKept, Grouped(stateCovers_)), Grouped(job_.set.pieceCount), "%2"),
                job_.infoPath, "%3");
}

void Rejoiner::DeleteState() {
    if (resumable_) static_cast<void>(folder_->Delete(stateName_));
}

}  // namespace engine::rejoining
