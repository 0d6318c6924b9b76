#include "engine/ops/Split.h"
#include "engine/ops/Splitter.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/base/Checksum.h"
#include "engine/base/FileErrors.h"
#include "engine/base/Names.h"
#include "engine/par2/Packets.h"
#include "engine/set/PiecePlan.h"
#include "engine/io/RecoveryMaker.h"
#include "engine/io/RecoveryOutputs.h"
#include "engine/set/RecoveryPlan.h"
#include "engine/set/RejoinBatch.h"
#include "engine/io/RunOutputs.h"
#include "engine/set/SplitInfo.h"
#include "engine/base/Texts.h"
#include "engine/base/TransferBuffer.h"

namespace engine::splitting {

[[noreturn]] void Splitter::Abort(const FileError& failure) { Fail(StandardFileText(failure.cause, failure.path)); }

// What the run keeps for the next one is said in the same message.
[[noreturn]] void Splitter::Fail(const std::string& text) {
    const std::string kept = KeptSentence();
    keptTold_ = !kept.empty();
    FailRun(prompts_, WithKept(text, kept, "split"));
}

std::string Splitter::InfoBytes(bool checksums) const {
    SetInfo set = PlannedSet(job_);
    set.hasChecksums = checksums;
    if (checksums) {
        set.whole = whole_.Digest();
        set.pieces = sums_;
    }
    const std::vector<unsigned char> bytes = EncodeInfoFile(set, platform_);
    return std::string(bytes.begin(), bytes.end());
}

std::string Splitter::BatchBytes() const {
    return EncodeBatch(platform_, RejoinBatchText(job_.sourceName, job_.pieceCount));
}

// A small file written in place, on the first disk of a removable split.
void Splitter::WriteWhole(const std::string& name, const std::string& bytes) {
    std::unique_ptr<File> file;
    CreateWithRetry(name, WithPermissions(kSmallFileMode), file);
    try {
        WriteOrThrow(*file, PathOf(name), bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        if (const ErrorCode code = file->Flush()) throw FileError(code, PathOf(name));
        CloseOrThrow(file, PathOf(name));
    } catch (const FileError& failure) {
        Abort(failure);
    }
}

// A small file that appears under its name only complete and on the disk.
// On a removable disk that is full it goes to the next disk.
void Splitter::Publish(const std::string& name, const std::string& bytes) {
    for (int attempt = 0;; ++attempt) {
        std::string temporary;
        std::unique_ptr<File> file;
        ErrorCode code = outputs_.CreateTemporary(*folder_, job_.sourceName, temporary, file, permissions_);
        FileError failure(code, PathOf(name));
        if (code == err::kNone) {
            try {
                WriteOrThrow(*file, PathOf(temporary), bytes.data(), static_cast<std::uint32_t>(bytes.size()));
                if (const ErrorCode flushed = file->Flush()) throw FileError(flushed, PathOf(temporary));
                CloseOrThrow(file, PathOf(temporary));
                code = outputs_.Publish(*folder_, temporary, name);
                if (code == err::kNone) {
                    FlushDestination();
                    return;
                }
                failure = FileError(code, PathOf(name));
            } catch (const FileError& written) {
                failure = FileError(written.cause, written.code, PathOf(name));
            }
            file.reset();
            static_cast<void>(folder_->Delete(temporary));  // a temporary of the set: its next run removes it
        }
        if (attempt >= kMaxDiskPrompts || !IsDiskChange(failure)) Abort(failure);
        FlushPieces();
        FlushDestination();
        SwitchDisk();
    }
}

// One load of the plan, moved in slices that stay in the processor's cache
// while both checksums and the write look at them. Returns the bytes moved:
// fewer than `size` only when the source ended early.
std::uint32_t Splitter::MoveLoad(std::uint32_t size) {
    std::uint32_t moved = 0;
    while (moved < size) {
        const std::uint32_t want = std::min(size - moved, kSlice);
        std::uint32_t got = 0;
        try {
            ReadOrThrow(*source_, job_.sourcePath, buffer_.get(), want, got);
        } catch (const FileError& failure) {
            // A load that could not be read cannot be replaced by anything
            // sensible; going on would leave a hole in the piece.
            Abort(failure);
        }
        whole_.Update(buffer_.get(), got);
        processed_ += got;
        WriteSlice(buffer_.get(), got);
        moved += got;
        if (got < want) break;
    }
    return moved;
}



void Splitter::WriteSlice(const unsigned char* data, std::uint32_t size) {
    pieceSum_.Update(data, size);
    std::uint32_t written = 0;
    const ErrorCode code = piece_->Write(data, size, written);
    written = std::min(written, size);
    if (code == err::kNone && written == size) return;
    const FileError failure = WriteFailure(code, written);
    if (!IsDiskChange(failure)) Abort(failure);
    ChangeDisk(data, size, written);
}



// A piece gets exactly its planned bytes, and is on the disk before the next
// one begins. Reading fewer means the source is shorter than it was
// measured: its pieces would rejoin to a wrong file.
void Splitter::CopyPiece(std::uint32_t index) {
    ctx_.CheckPoint();
    pieceName_ = PieceFileName(job_.sourceName, index);
    CreateWithRetry(pieceName_, WithPermissions(kPieceMode), piece_);
    // On a disk that may fill up and be changed, room set aside would stay
    // taken on the old one.
    if (!removable_) {
        // Room asked ahead; the writes say if it lacks.
        static_cast<void>(piece_->Reserve(std::min<std::uint64_t>(job_.pieceSize, job_.sourceSize - processed_)));
    }
    pieceSum_.Reset();
    const FileError shorter(FileCause::EndOfFile, err::kHandleEof, job_.sourcePath);

    const std::uint64_t left = job_.sourceSize - processed_;
    if (left <= bufferSize_) {
        // The last piece fits one load: one read, one write.
        const auto want = static_cast<std::uint32_t>(left);
        if (MoveLoad(want) != want) Abort(shorter);
    } else {
        const auto planned = static_cast<std::uint32_t>(std::min<std::uint64_t>(job_.pieceSize, left));
        for (std::uint32_t inPiece = 0; inPiece < planned;) {
            ctx_.CheckPoint();
            const std::uint32_t want = std::min(bufferSize_, planned - inPiece);
            if (MoveLoad(want) != want) Abort(shorter);
            inPiece += want;
            ctx_.progress.Report(processed_, RunWork(),
                                 ProgressText(index + std::uint64_t{1}, job_.pieceCount - index - 1));
        }
    }
    FileStatus made;
    if (const ErrorCode code = piece_->Status(made)) Abort(FileError(code, PathOf(pieceName_)));
    try {
        CloseOrThrow(piece_, PathOf(pieceName_));
    } catch (const FileError& failure) {
        Abort(failure);
    }
    unflushed_.push_back({pieceName_, made.id});
    sums_.push_back(pieceSum_.Digest());
}

// Puts every piece written since the last time on the disk. One flush
// commits what the file system keeps about all of them, so the others find
// little left to do; the data was sent to the disk as it was written.
void Splitter::FlushPieces() {
    for (const auto& [name, id] : unflushed_) {
        std::unique_ptr<File> file;
        FileStatus status;
        ErrorCode code = folder_->Open(name, {Access::Write, Share::ReadWrite, Creation::OpenExisting, false}, file);
        if (code == err::kNone && (file->Status(status) != err::kNone || status.id != id)) {
            // Another program put a file of its own under a piece's name.
            Fail(Fill(texts::kPieceReplaced, PathOf(name)));
        }
        if (code == err::kNone) code = file->Flush();
        if (code == err::kNone) code = file->Close();
        if (code != err::kNone) Abort(FileError(code, PathOf(name)));
    }
    unflushed_.clear();
}

namespace {

void ReadAt(File& file, const std::string& path, std::uint64_t at, unsigned char* data, std::uint32_t size) {
    SeekOrThrow(file, path, at);
    for (std::uint32_t done = 0; done < size;) {
        std::uint32_t got = 0;
        ReadOrThrow(file, path, data + done, size - done, got);
        if (got == 0) throw FileError(FileCause::EndOfFile, err::kHandleEof, path);
        done += got;
    }
}

struct HashingStopped {};

}  // namespace

void Splitter::ReadSource(std::uint64_t at, unsigned char* data, std::uint32_t size) {
    ReadAt(*source_, job_.sourcePath, at, data, size);
}

namespace {

// Files the sums write into from the thread beside the copy: made before
// it starts, on the run's thread, and only flushed there; the run names
// them, in the order they were completed, once the pieces are on the disk.
class FilesMadeAhead : public RecoveryFiles {
public:
    FilesMadeAhead(RecoveryOutputs& out, const RecoveryPlan& plan) : out_(out) {
        made_.push_back(&out.Create(0, plan.indexName, plan.indexSize));
        paths_.push_back(out.PathOf(plan.indexName));
        for (std::size_t v = 0; v < plan.volumes.size(); ++v) {
            made_.push_back(&out.Create(v + 1, plan.volumes[v].name, plan.volumes[v].size));
            paths_.push_back(out.PathOf(plan.volumes[v].name));
        }
    }
    File& Create(std::size_t which, const std::string&, std::uint64_t) override { return *made_[which]; }
    void Complete(std::size_t which) override {
        if (const ErrorCode code = made_[which]->Flush()) throw FileError(code, paths_[which]);
        completed.push_back(which);
    }
    std::string PathOf(const std::string& name) const override { return out_.PathOf(name); }
    std::vector<std::size_t> completed;

private:
    RecoveryOutputs& out_;
    std::vector<File*> made_;
    std::vector<std::string> paths_;
};

}  // namespace

// The recovery data's reading of the source, through a handle of its own on
// a thread beside the copy: it needs nothing the copy makes, and the copy
// mostly waits for the disk. It reads the source for the pieces' checksums,
// then (on a fixed disk) once more for the sums, into files made now. What
// it read is held to what the copy wrote when both are done. Where the
// source cannot be opened once more, the making reads it afterwards instead.
void Splitter::StartRecoveryHashing() {
    if (job_.recovery.empty()) return;
    auto hashing = std::make_unique<RecoveryHashing>();
    if (platform_.Open(job_.sourcePath, kSourceMode, hashing->source) != err::kNone) return;
    RecoveryHashing& h = *hashing;
    if (!removable_) {
        h.out = std::make_unique<RecoveryOutputs>(
            outputs_,
            RecoveryOutputs::Where{[this]() -> Folder& { return *folder_; },
                                   [this](const std::string& name) { return PathOf(name); }},
            job_.sourceName, RecoveryOutputs::Naming::OnComplete, permissions_, true);
        try {
            h.ahead = std::make_unique<FilesMadeAhead>(*h.out, job_.recovery);
        } catch (const FileError& failure) {
            h.out->DropUnfinished();
            Abort(failure);
        }
    }
    h.thread = std::thread([&h, &platform = platform_, plan = job_.recovery, path = job_.sourcePath,
                            name = job_.sourceName, size = job_.sourceSize, count = job_.pieceCount,
                            pieceSize = job_.pieceSize] {
        try {
            const PieceRead read = [&](std::uint32_t index, std::uint64_t offset, unsigned char* data,
                                       std::uint32_t n) {
                ReadAt(*h.source, path, std::uint64_t{index} * pieceSize + offset, data, n);
            };
            h.sums = HashPieces(plan, size, count, pieceSize, read,
                                [&h](std::uint64_t done, std::uint64_t) { h.Moved(done); });
            if (h.ahead) {
                MakeRecovery(plan, name, size, count, pieceSize, read, nullptr, platform, *h.ahead,
                             [&h, size](std::uint64_t done, std::uint64_t) { h.Moved(size + done); }, 0, &h.sums);
            }
        } catch (...) {
            h.error = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(h.mutex);
            h.finished = true;
        }
        h.moved.notify_all();
    });
    hashing_ = std::move(hashing);
}

void Splitter::RecoveryHashing::Moved(std::uint64_t now) {
    if (stop) throw HashingStopped{};
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = now;
    }
    moved.notify_all();
}

// The handle closes on the run's own thread, as every other file of it.
void Splitter::RecoveryHashing::Finish() {
    if (thread.joinable()) thread.join();
    CloseQuietly(source);
}

void Splitter::RecoveryHashing::Stop() {
    stop = true;
    Finish();
    if (out) out->DropUnfinished();
}

// The recovery data made beside the copy, once the pieces are on the disk:
// the run waits for it in as many steps whatever the timing (each reported,
// and a point where the user can stop), holds what it read to what the copy
// wrote, and names its files.
void Splitter::FinishRecoveryBeside() {
    RecoveryHashing& h = *hashing_;
    constexpr std::uint64_t kSteps = 16;
    const std::uint64_t all = 2 * job_.sourceSize;
    for (std::uint64_t step = 1; step <= kSteps; ++step) {
        const std::uint64_t goal = all / kSteps * step;
        std::uint64_t done = 0;
        {
            std::unique_lock<std::mutex> lock(h.mutex);
            h.moved.wait(lock, [&] { return h.finished || h.done >= goal; });
            done = h.finished ? all : h.done;
        }
        ctx_.progress.Report(job_.sourceSize + Scaled(done, all, RunWork() - job_.sourceSize), RunWork(),
                             texts::kMakingRecovery);
        ctx_.CheckPoint();
    }
    h.Finish();
    try {
        if (h.error) std::rethrow_exception(h.error);
        for (std::uint32_t i = 0; i < job_.pieceCount; ++i) {
            if (h.sums[i].sum != sums_[i]) throw PieceNotAsRecorded{i};
        }
        for (const std::size_t which : static_cast<FilesMadeAhead&>(*h.ahead).completed) h.out->Complete(which);
    } catch (const PieceNotAsRecorded&) {
        h.out->DropUnfinished();
        sourceChanged_ = true;
        Fail(Fill(texts::kSourceChanged, job_.sourcePath));
    } catch (const FileError& failure) {
        h.out->DropUnfinished();
        Abort(failure);
    }
    FlushDestination();
}

// The recovery files, made from the source once the pieces are on the disk
// (earlier disks of a removable split are out of reach by then), with the
// checksums read beside the copy. Each piece read again must have the
// checksum it was written with, so that the recovery data is the pieces'. On a removable disk that fills up, what is
// not yet complete goes on the next disk.
void Splitter::MakeRecoveryFiles() {
    const RecoveryPlan& plan = job_.recovery;
    if (plan.empty()) return;
    if (hashing_ && hashing_->ahead) {
        FinishRecoveryBeside();
        return;
    }
    RecoveryOutputs out(outputs_,
                        {[this]() -> Folder& { return *folder_; }, [this](const std::string& name) { return PathOf(name); }},
                        job_.sourceName, RecoveryOutputs::Naming::OnComplete, permissions_, !removable_);
    const PieceRead read = [&](std::uint32_t index, std::uint64_t offset, unsigned char* data, std::uint32_t size) {
        ReadSource(std::uint64_t{index} * job_.pieceSize + offset, data, size);
    };
    // The recovery data counts on from where the pieces end: one figure for
    // the whole run that never goes back.
    const auto progress = [&](std::uint64_t done, std::uint64_t total) {
        ctx_.progress.Report(job_.sourceSize + Scaled(done, total, RunWork() - job_.sourceSize), RunWork(),
                             texts::kMakingRecovery);
        ctx_.CheckPoint();
    };
    const std::vector<PieceSums>* known = nullptr;
    if (hashing_) {
        hashing_->Finish();
        if (hashing_->error) {
            try {
                std::rethrow_exception(hashing_->error);
            } catch (const FileError& failure) {
                Abort(failure);
            }
        }
        known = &hashing_->sums;
    }
    for (int attempt = 0;; ++attempt) {
        try {
            MakeRecovery(plan, job_.sourceName, job_.sourceSize, job_.pieceCount, job_.pieceSize, read, &sums_,
                         platform_, out, progress, out.volumesDone(), known);
            FlushDestination();
            return;
        } catch (const PieceNotAsRecorded&) {
            out.DropUnfinished();
            sourceChanged_ = true;
            Fail(Fill(texts::kSourceChanged, job_.sourcePath));
        } catch (const FileError& failure) {
            out.DropUnfinished();
            if (failure.path == job_.sourcePath || attempt >= kMaxDiskPrompts || !IsDiskChange(failure)) Abort(failure);
            FlushDestination();
            SwitchDisk();
        } catch (...) {
            out.DropUnfinished();
            throw;
        }
    }
}

// The pieces describe the source as it was read only if nobody wrote to it,
// grew or shrank it, or put another file under its name meanwhile.
void Splitter::CheckSourceUnchanged() {
    FileStatus now, named;
    const bool same = source_->Status(now) == err::kNone && now.size == sourceAtStart_.size &&
                      now.modified == sourceAtStart_.modified && now.changed == sourceAtStart_.changed &&
                      platform_.Status(job_.sourcePath, named) == err::kNone && named.id == sourceAtStart_.id;
    if (!same) {
        sourceChanged_ = true;
        Fail(Fill(texts::kSourceChanged, job_.sourcePath));
    }
}

void Splitter::CloseAll() {
    if (hashing_) hashing_->Stop();
    CloseQuietly(piece_);
    CloseQuietly(source_);
}

Outcome Splitter::Run() {
    // Loads are counted in bytes, which also fits a last piece shorter than
    // the others.
    bufferSize_ = PlanBuffers(job_.pieceSize).bufferSize;
    if (!buffer_.Allocate(std::min(bufferSize_, kSlice))) {
        prompts_.Tell(texts::kMemoryInsufficient);
        return Outcome::Stopped;
    }
    if (const ErrorCode code = platform_.Open(job_.sourcePath, kSourceMode, source_)) {
        source_.reset();
        // Which file, and why: in use by another program, access denied, ...
        prompts_.Tell(StandardFileText(CauseFromCode(code), job_.sourcePath));
        return Outcome::Stopped;
    }
    // The file the checks measured, untouched since.
    if (source_->Status(sourceAtStart_) != err::kNone || sourceAtStart_.id != job_.sourceId ||
        sourceAtStart_.size != job_.sourceSize || sourceAtStart_.modified != job_.sourceModified ||
        sourceAtStart_.changed != job_.sourceChanged) {
        CloseAll();
        prompts_.Tell(Fill(texts::kSourceChanged, job_.sourcePath));
        return Outcome::Stopped;
    }
    // Pieces may be read by whoever may read the source, and nobody else.
    permissions_ = sourceAtStart_.permissions & 0666;
    removable_ = job_.driveType == DriveType::Removable;
    infoName_ = InfoFileName(job_.sourceName);
    // On a removable disk too, while the set is on the first one: a state
    // there lists only pieces on that disk, and goes before it is changed.
    resumable_ = true;
    stateName_ = StateFileName(job_.sourceName);
    sums_.reserve(job_.pieceCount);

    const Outcome outcome = EndingOf([&] {
        OpenDestination();
        // The pieces of a split that stopped are this split's own; those it
        // continues after are never erased.
        const bool own = OfferToContinue();
        if (removable_ && ctx_.settings.eraseRemovableBeforeSplit && kept_ == 0) {
            EraseDestination();
        } else if (!own) {
            ConfirmReplacing();
        }
        ChooseBatchName();
        if (removable_) {
            // The first disk carries the info file and Go.bat, so that a set
            // over several disks starts where a user looks for it.
            volumeKnown_ = platform_.VolumeIdentity(job_.destinationFolder, volume_);
            WriteWhole(infoName_, InfoBytes(false));
            WriteWhole(batchName_, BatchBytes());
            FlushDestination();
        } else {
            ClearOldSet();
        }

        StartRecoveryHashing();
        if (kept_ > 0) {
            try {
                SeekOrThrow(*source_, job_.sourcePath, processed_);
            } catch (const FileError& failure) {
                Abort(failure);
            }
        }
        for (std::uint32_t i = kept_; i < job_.pieceCount; ++i) {
            CopyPiece(i);
            SaveState();
        }
        FlushPieces();
        MakeRecoveryFiles();
        CheckSourceUnchanged();
        CloseAll();

        Publish(infoName_, InfoBytes(true));
        // Last: Go.bat may replace another set's, which only a split that
        // has otherwise succeeded may do.
        if (!removable_) Publish(batchName_, BatchBytes());
        DeleteState();
        RemoveStale();
        FlushDestination();
        outputs_.Keep();
    });
    CloseAll();
    if (outcome != Outcome::Completed) KeepForNextRun(outcome);
    const std::vector<std::string> kept = outputs_.Discard();
    if (!kept.empty()) prompts_.Tell(Fill(texts::kNotRemoved, kept.front()));
    // A split stopped after a disk change has left the start of the set on
    // disks it can no longer reach: what is where, and that it is no set.
    if (outcome != Outcome::Completed && !leftOnDisks_.empty()) {
        std::string where;
        for (std::size_t disk = 0; disk < leftOnDisks_.size(); ++disk) {
            std::string names;
            for (const std::string& name : leftOnDisks_[disk]) {
                if (names.find(name) == std::string::npos) names += (names.empty() ? "" : ", ") + name;
            }
            if (!names.empty()) where += Fill(Fill(texts::kLeftOnDisk, names, "%2"), std::to_string(disk + 1)) + "\n";
        }
        if (!where.empty()) prompts_.Tell(Fill(texts::kStoppedAcrossDisks, where));
    }
    return outcome;
}

}  // namespace engine::splitting

namespace engine {

using splitting::Splitter;

Outcome SplitOperation(const SplitJob& job, OperationContext& ctx) { return Splitter(job, ctx).Run(); }

SetInfo PlannedSet(const SplitJob& job) {
    SetInfo set;
    set.name = job.sourceName;
    set.size = job.sourceSize;
    set.pieceCount = job.pieceCount;
    set.pieceSize = job.pieceSize;
    set.extended = true;
    return set;
}

}  // namespace engine
