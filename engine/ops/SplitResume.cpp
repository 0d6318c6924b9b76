// A split that stops, whatever stops it, leaves the pieces it finished and
// a state file that lists them with their checksums. The next split of the
// same source to the same place offers to continue after them: it keeps
// only what it proves (the source the same file in the same state, each
// piece re-read with its recorded checksum and length) and writes
// everything else again. A state file proves nothing by itself; a crafted
// one can at most make the split start over.
#include "engine/ops/Splitter.h"

#include <algorithm>

#include "engine/base/Format.h"
#include "engine/base/Names.h"
#include "engine/base/Texts.h"
#include "engine/io/StateFile.h"
#include "engine/set/PiecePlan.h"

namespace engine::splitting {

namespace {

constexpr OpenMode kReadMode{Access::Read, Share::Read, Creation::OpenExisting, true};

// The state is saved after a piece once the pieces since the last one
// outweigh it this many times, so that its rewriting stays a small share
// of the split however many pieces there are.
constexpr std::uint64_t kStateWeight = 32;

}  // namespace

// False when there is no state file, and (after a one-line notice) when
// it is damaged or of another source, plan or version.
bool Splitter::ReadState(SplitState& state) {
    std::string bytes;
    const StateFound found = ReadStateFile(*folder_, stateName_, MaxSplitStateBytes(), bytes);
    if (found == StateFound::None) return false;
    const bool read = found == StateFound::Read;
    const bool same = read && DecodeSplitState(bytes, state) && IsStateOf(state, job_);
    if (!same) prompts_.Tell(Fill(texts::kStateIgnored, PathOf(stateName_)));
    return same;
}

// True when a state of this very split was found: the pieces there are
// this split's own, whether the user continues or starts over.
bool Splitter::OfferToContinue() {
    SplitState state;
    if (!ReadState(state)) return false;
    if (job_.restart || state.pieces.empty()) return true;
    const std::string question =
        state.pieces.size() >= job_.pieceCount
            ? Fill(texts::kContinueSplitDone, Grouped(job_.pieceCount))
            : Fill(Fill(texts::kContinueSplit, Grouped(state.pieces.size() + std::uint64_t{1})),
                   Grouped(job_.pieceCount), "%2");
    Message ask(question, std::string(), Buttons::OkCancel, Question::Proceed);
    ask.okLabel = texts::kContinueLabel;
    ask.cancelLabel = texts::kStartOverLabel;
    if (prompts_.ShowMessage(ask) == Answer::Ok) ProveKept(state);
    return true;
}

// Reads piece `index` whole into `piece` and, where given, `whole`; false
// unless it is a file of its planned length that reads to its end.
bool Splitter::ReadKept(std::uint32_t index, ChecksumState& piece, ChecksumState* whole, FileId& id) {
    const std::string name = PieceFileName(job_.sourceName, index);
    const std::uint64_t planned =
        std::min<std::uint64_t>(job_.pieceSize, job_.sourceSize - std::uint64_t{index} * job_.pieceSize);
    FileStatus status;
    std::unique_ptr<File> file;
    if (folder_->Status(name, status) != err::kNone || status.kind != FileKind::Regular || status.link ||
        status.size != planned || folder_->Open(name, kReadMode, file) != err::kNone) {
        return false;
    }
    id = status.id;
    bool good = true;
    for (std::uint64_t done = 0; good && done < planned;) {
        ctx_.CheckPoint();
        const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(planned - done, kSlice));
        std::uint32_t got = 0;
        good = file->Read(buffer_.get(), want, got) == err::kNone && got == want;
        piece.Update(buffer_.get(), got);
        if (whole) whole->Update(buffer_.get(), got);
        done += got;
    }
    CloseQuietly(file);
    return good;
}

// Keeps the longest run of pieces from the first that are as recorded;
// the first that is not, and all after it, are written again. The pieces'
// bytes are the source's, so they also give the set's checksum so far.
void Splitter::ProveKept(const SplitState& state) {
    std::uint32_t index = 0;
    for (; index < state.pieces.size(); ++index) {
        ChecksumState piece;
        FileId id;
        if (!ReadKept(index, piece, &whole_, id) || piece.Digest() != state.pieces[index]) break;
        sums_.push_back(state.pieces[index]);
        // Written by a run that may not have flushed it: flushed with the
        // new ones, and checked to be the same file then.
        unflushed_.push_back({PieceFileName(job_.sourceName, index), id});
        processed_ += std::min<std::uint64_t>(job_.pieceSize, job_.sourceSize - processed_);
        ctx_.progress.Report(processed_, RunWork(), ProgressText(index + std::uint64_t{1}, job_.pieceCount - index - 1));
    }
    kept_ = stateCovers_ = index;
    if (index == state.pieces.size()) return;
    // The set's checksum took in the piece that failed: it is made again
    // from the pieces kept, which are read once more only in this case.
    whole_.Reset();
    for (std::uint32_t again = 0; again < kept_; ++again) {
        ChecksumState piece;
        FileId id;
        if (!ReadKept(again, piece, &whole_, id) || piece.Digest() != sums_[again] || id != unflushed_[again].second) {
            Fail(Fill(texts::kPieceReplaced, PathOf(PieceFileName(job_.sourceName, again))));
        }
    }
}

// The pieces it lists are on the disk before the state is, and the state
// is on the disk before the next piece begins: whatever a power loss
// leaves, a state lists only pieces that are there, and at most the piece
// being written is lost. Saving it is otherwise best effort: a state that
// cannot be saved only means that a stop later loses more. Renamed into
// place, never written in place, so that a state file is one whole version.
void Splitter::SaveState() {
    if (!resumable_) return;
    const std::uint64_t planned =
        std::min<std::uint64_t>(job_.pieceSize, job_.sourceSize - std::uint64_t{sums_.size() - 1} * job_.pieceSize);
    sinceState_ += planned;
    if (sinceState_ < kStateWeight * SplitStateBytes(job_.sourceName.size(), sums_.size())) return;
    SplitState state;
    state.sourceName = job_.sourceName;
    state.sourceSize = job_.sourceSize;
    state.sourceId = job_.sourceId;
    state.sourceModified = job_.sourceModified;
    state.sourceChanged = job_.sourceChanged;
    state.pieceSize = job_.pieceSize;
    state.pieceCount = job_.pieceCount;
    state.pieces = sums_;
    FlushPieces();
    if (SaveStateFile(outputs_, *folder_, job_.sourceName, stateName_, EncodeSplitState(state), permissions_)) {
        stateCovers_ = static_cast<std::uint32_t>(sums_.size());
        sinceState_ = 0;
    }
}

// A run that did not end in a set keeps the pieces its state file lists,
// and the state file, for the next run to continue after them. Where it
// failed, the user is told; one who stopped it knows, and is asked next time.
void Splitter::KeepForNextRun(Outcome outcome) {
    // Pieces of a source that changed are no start for anything.
    if (!resumable_ || stateCovers_ == 0 || sourceChanged_) return;
    for (std::uint32_t index = 0; index < stateCovers_; ++index) {
        outputs_.Keep(*folder_, PieceFileName(job_.sourceName, index));
    }
    outputs_.Keep(*folder_, stateName_);
    if (outcome == Outcome::Failed && !keptTold_) prompts_.Tell(KeptSentence());
}

// Empty unless a failure now would leave pieces to continue after.
std::string Splitter::KeptSentence() const {
    if (!resumable_ || stateCovers_ == 0 || sourceChanged_) return std::string();
    return Fill(Fill(Fill(texts::kSplitKept, Grouped(stateCovers_)), Grouped(job_.pieceCount), "%2"), job_.sourcePath,
                "%3");
}

// Once the set is complete, nothing is left to continue.
void Splitter::DeleteState() {
    if (!resumable_) return;
    const ErrorCode code = folder_->Delete(stateName_);
    if (code != err::kNone && code != err::kFileNotFound) Abort(FileError(code, PathOf(stateName_)));
}

}  // namespace engine::splitting
