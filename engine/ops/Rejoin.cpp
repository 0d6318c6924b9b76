#include "engine/ops/Rejoin.h"
#include "engine/ops/Rejoiner.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/base/FileErrors.h"
#include "engine/base/Names.h"
#include "engine/set/PiecePlan.h"
#include "engine/par2/Packets.h"
#include "engine/io/PieceReader.h"
#include "engine/io/ReadBack.h"
#include "engine/set/RecoveryPlan.h"
#include "engine/set/RejoinBatch.h"
#include "engine/io/SetRepair.h"
#include "engine/io/RunOutputs.h"
#include "engine/io/SetClaim.h"
#include "engine/set/SplitInfo.h"
#include "engine/base/Texts.h"

namespace engine {

namespace {

// The share of a rejoin's progress kept for a rebuild from the recovery
// data, which only the reading can tell is needed.
std::uint64_t RebuildShare(std::uint64_t size) { return size / 4; }

// Rebuilt pieces go to their place in the rejoined file, and nowhere else:
// a byte past a piece's end would overwrite the next piece or lengthen the
// file.
class OutputTarget : public RebuildTarget {
public:
    OutputTarget(File& file, const std::string& path, const SetInfo& set, std::uint64_t pieceSize)
        : file_(file), path_(path), set_(set), pieceSize_(pieceSize) {}
    void Write(std::uint32_t piece, std::uint64_t offset, const unsigned char* data, std::uint32_t size) override {
        const std::uint64_t length = PieceLength(set_.size, set_.pieceCount, pieceSize_, piece);
        if (piece >= set_.pieceCount || offset > length || size > length - offset) throw RebuiltOutOfRange{piece};
        SeekOrThrow(file_, path_, piece * pieceSize_ + offset);
        WriteOrThrow(file_, path_, data, size);
    }

private:
    File& file_;
    const std::string& path_;
    const SetInfo& set_;
    std::uint64_t pieceSize_;
};

}  // namespace

namespace rejoining {

// What the run keeps for the next one is said in the same message.
[[noreturn]] void Rejoiner::Fail(const std::string& text, const std::string& caption) {
    const std::string kept = KeptSentence();
    keptTold_ = !kept.empty();
    FailRun(prompts_, WithKept(text, kept, "rejoined"), caption);
}

[[noreturn]] void Rejoiner::Fail(const PieceProblem& problem) {
    if (problem.kind == PieceProblem::Kind::Missing) Fail(ProblemText(problem), texts::kFilesMissingCaption);
    if (problem.kind == PieceProblem::Kind::Unreadable && problem.code == err::kReadFault) {
        prompts_.Tell(texts::kErrorReadingFile);
        Fail(texts::kFilesMissing, texts::kFilesMissingCaption);
    }
    Fail(ProblemText(problem));
}

bool Rejoiner::IsInput(const std::string& path) {
    if (SameFile(platform_, path, job_.infoPath)) return true;
    for (const std::string& folder : SetFolders(job_)) {
        for (std::uint32_t i = 0; i < job_.set.pieceCount; ++i) {
            if (SameFile(platform_, path, PieceName(platform_, folder, job_.set.name, i))) return true;
        }
    }
    return false;
}

// Asks for another name while the output exists. The rejoined file never
// replaces one of the files it is made from.
void Rejoiner::ChooseOutput() {
    outputPath_ = FolderPrefix(platform_, job_.destinationFolder) + job_.set.name;
    for (;;) {
        if (!Exists(platform_, outputPath_)) return;
        if (IsInput(outputPath_)) {
            prompts_.Tell(texts::kOutputIsInput);
            throw RunStopped{};
        }
        const FileExistsAnswer answer = prompts_.AskFileExists(outputPath_);
        if (answer == FileExistsAnswer::Overwrite) {
            if (IsFolder(platform_, outputPath_)) Fail(StandardFileText(FileCause::AccessDenied, outputPath_));
            return;
        }
        if (answer == FileExistsAnswer::Stop) throw RunStopped{};
    }
}

// The rejoined file may be read by whoever could read what it replaces, or
// else the pieces.
std::uint32_t Rejoiner::OutputPermissions() {
    FileStatus status;
    if (platform_.Status(outputPath_, status) == err::kNone && status.kind == FileKind::Regular) {
        return status.permissions;
    }
    if (platform_.Status(PieceName(platform_, job_.infoFolder, job_.set.name, 0), status) == err::kNone &&
        status.kind == FileKind::Regular) {
        return status.permissions;
    }
    return 0;
}

// "Remove split files after rejoin": the info file, then exactly the parts
// this rejoin read, in the folders they were read from. Disks that were
// changed in the drive are out of reach and stay as they are.
void Rejoiner::RemoveSet(const PieceReader& reader) {
    if (reader.changedDisks()) return;
    Folder* folder = set_.folder();
    const std::string infoName = FileNamePart(platform_, job_.infoPath);
    const ErrorCode code = folder ? folder->Delete(infoName) : platform_.Delete(job_.infoPath);
    if (code != err::kNone) {
        // The output is complete; only the clean-up could not be done.
        prompts_.Tell(StandardFileText(CauseFromCode(code), job_.infoPath));
        throw RunStopped{};
    }
    std::string failed;
    for (const PartRead& part : reader.partsRead()) {
        const std::string path = FolderPrefix(platform_, part.folder) + part.name;
        const ErrorCode removed =
            folder && part.folder == job_.infoFolder ? folder->Delete(part.name) : platform_.Delete(path);
        if (removed != err::kNone && removed != err::kFileNotFound && failed.empty()) failed = path;
    }
    // The set's own Go.bat (or the Go.bat named for it) goes with it; a
    // Go.bat of anything else stays.
    for (const std::string& batch : {std::string("Go.bat"), BatchNameOf(job_.set.name)}) {
        if (!folder || !BatchFileRejoins(platform_, *folder, batch, job_.set.name)) continue;
        const ErrorCode removed = folder->Delete(batch);
        if (removed != err::kNone && removed != err::kFileNotFound && failed.empty()) {
            failed = FolderPrefix(platform_, job_.infoFolder) + batch;
        }
    }
    // The recovery files belong to the set too; a rebuilt piece was never
    // a file, and a damaged one stays for the user to look at.
    for (const std::string& path : RecoveryFilesOf(platform_, job_)) {
        const ErrorCode removed = platform_.Delete(path);
        if (removed != err::kNone && removed != err::kFileNotFound && failed.empty()) failed = path;
    }
    // The pieces are gone or not; that their removal is on the disk only
    // decides whether they come back after a power loss.
    if (folder) static_cast<void>(folder->Flush());
    if (!failed.empty()) prompts_.Tell(Fill(texts::kNotRemoved, failed));
}

// The pieces that were wrong, rebuilt from the recovery files into their
// places in the output, which is then proven against the set's checksums.
void Rejoiner::Rebuild(const PieceReader& reader, const std::vector<PieceProblem>& problems, Folder& folder,
                       const std::string& temporary) {
    std::vector<bool> bad(job_.set.pieceCount, false);
    for (const PieceProblem& problem : problems) {
        if (problem.piece < bad.size()) bad[problem.piece] = true;
    }
    const std::uint64_t size = job_.set.size;
    SetRepair repair(job_, platform_, [&] { ctx_.CheckPoint(); }, [&](std::uint64_t done, std::uint64_t total) {
        ctx_.progress.Report(size + Scaled(done, total, RebuildShare(size)), size + RebuildShare(size), texts::kRebuilding);
        ctx_.CheckPoint();
    });
    RecoveryState state;
    if (repair.Load()) state = repair.Assess(bad, reader.PartsByPiece(), reader.checksums(), reader.pieceSize());
    if (!state.canRebuild) {
        const std::size_t count = static_cast<std::size_t>(std::count(bad.begin(), bad.end(), true));
        const std::string first = problems.front().kind == PieceProblem::Kind::Missing
                                      ? Fill(texts::kCauseNotFound, problems.front().path)
                                      : ProblemText(problems.front());
        Fail(first + "\n" + RecoverySentence(state, count));
    }
    try {
        OutputTarget target(*file_, outputPath_, job_.set, reader.pieceSize());
        repair.Rebuild(target);
        if (const ErrorCode code = file_->Flush()) throw FileError(code, outputPath_);
    } catch (const FileError& failure) {
        Fail(StandardFileText(failure.cause, failure.path.empty() ? outputPath_ : failure.path));
    } catch (const RebuiltOutOfRange& wrong) {
        Fail(Fill(RebuiltNotExactText(job_.set), PieceName(platform_, job_.infoFolder, job_.set.name, wrong.piece)));
    }
    ProveRebuilt(repair, folder, temporary, reader.pieceSize());
    for (std::uint32_t piece : repair.toRebuild()) rebuilt_.push_back(PieceFileName(job_.set.name, piece));
}

// Read back from the disk: every rebuilt piece has the MD5 the recovery
// files record, and where the set records checksums, every piece and the
// whole file have theirs.
void Rejoiner::ProveRebuilt(SetRepair& repair, Folder& folder, const std::string& temporary,
                            std::uint32_t pieceSize) {
    std::unique_ptr<File> back;
    if (const ErrorCode code = folder.Open(temporary, {Access::Read, Share::ReadWrite, Creation::OpenExisting, true}, back)) {
        Fail(StandardFileText(CauseFromCode(code), outputPath_));
    }
    const SetInfo& set = job_.set;
    std::vector<bool> rebuilt(set.pieceCount, false);
    for (std::uint32_t piece : repair.toRebuild()) rebuilt[piece] = true;
    std::unique_ptr<Md5> md5 = platform_.NewMd5();
    ChecksumState whole, piece;
    for (std::uint32_t i = 0; i < set.pieceCount; ++i) {
        if (!rebuilt[i] && !set.hasChecksums) continue;
        const std::uint64_t length = PieceLength(set.size, set.pieceCount, pieceSize, i);
        piece.Reset();
        try {
            ReadBack(*back, outputPath_, i * std::uint64_t{pieceSize}, length,
                     [&](const unsigned char* data, std::uint32_t size) {
                         piece.Update(data, size);
                         whole.Update(data, size);
                         if (rebuilt[i]) md5->Update(data, size);
                     }, [&] { ctx_.CheckPoint(); });
        } catch (const FileError& failure) {
            Fail(StandardFileText(failure.cause, outputPath_));
        }
        const bool exact = (!rebuilt[i] || md5->Final() == repair.RecordedMd5(i)) &&
                           (!set.hasChecksums || piece.Digest() == set.pieces[i]);
        if (!exact) {
            // An intact piece is read as it was: only a rebuilt one can be wrong.
            if (!rebuilt[i]) Fail(Fill(texts::kPieceDamaged, PieceName(platform_, job_.infoFolder, set.name, i)));
            Fail(Fill(RebuiltNotExactText(set), PieceName(platform_, job_.infoFolder, set.name, i)));
        }
    }
    if (set.hasChecksums && whole.Digest() != set.whole) Fail(Fill(texts::kWholeDamaged, job_.infoPath));
    static_cast<void>(back->Close());  // read only: what counts is what was read
}

Outcome Rejoiner::Run() {
    const Outcome outcome = EndingOf([&] {
        if (!job_.asksForDisks) set_.Claim(job_.infoFolder, job_.set.name);
        ChooseOutput();
        outputName_ = FileNamePart(platform_, outputPath_);
        const std::string folderPath = FolderPart(platform_, outputPath_);
        // One lock serves when the output has the set's name beside it.
        const bool sameClaim = set_.folder() && SameFile(platform_, folderPath, job_.infoFolder) &&
                               AsciiUpper(outputName_) == AsciiUpper(job_.set.name);
        if (!sameClaim) output_.Claim(folderPath, outputName_);
        folder_ = sameClaim ? set_.folder() : output_.folder();
        if (!folder_) {
            if (const ErrorCode code = platform_.OpenFolder(folderPath, opened_)) {
                Fail(StandardFileText(CauseFromCode(code), outputPath_));
            }
            folder_ = opened_.get();
        }
        Folder* folder = folder_;

        PieceReader reader(job_, ctx_);
        // With recovery files beside the set, the pieces that are wrong are
        // rebuilt into the output once the others are in place.
        const bool mayRebuild = !job_.asksForDisks && !RecoveryFilesOf(platform_, job_).empty();
        // A rebuild, when one follows, counts on from where the reading ends.
        progressTotal_ = job_.set.size + (mayRebuild ? RebuildShare(job_.set.size) : 0);
        if (mayRebuild) reader.CountInto(progressTotal_);
        OpenOutput(reader);
        const std::string& temporary = temporary_;
        std::vector<PieceProblem> problems;
        std::uint64_t position = 0;
        reader.ReadAll(
            [&](std::uint32_t index, std::uint64_t offset, const unsigned char* data, std::uint32_t size) {
                const std::uint64_t at = index * std::uint64_t{reader.pieceSize()} + offset;
                try {
                    if (at != position) SeekOrThrow(*file_, outputPath_, at);
                    WriteOrThrow(*file_, outputPath_, data, size);
                    position = at + size;
                } catch (const FileError& failure) {
                    Fail(StandardFileText(failure.cause, outputPath_));
                }
            },
            [&](const PieceProblem& problem) {
                wholeWrong_ = problem.kind == PieceProblem::Kind::WholeDamaged;
                if (!mayRebuild || wholeWrong_ || reader.pieceSize() == 0) Fail(problem);
                problems.push_back(problem);
            },
            [&](std::uint32_t index) { PieceDone(index); });
        if (!problems.empty()) Rebuild(reader, problems, *folder, temporary);
        // On the disk before it has its name, and its name on the disk
        // before anything it replaces, or the pieces, can go; and only at
        // the length the set records, whatever wrote it.
        try {
            if (const ErrorCode code = file_->Flush()) throw FileError(code, outputPath_);
            std::uint64_t length = 0;
            if (const ErrorCode code = file_->Length(length)) throw FileError(code, outputPath_);
            if (length != job_.set.size) Fail(Fill(texts::kOutputWrongLength, outputPath_));
            CloseOrThrow(file_, outputPath_);
        } catch (const FileError& failure) {
            Fail(StandardFileText(failure.cause, outputPath_));
        }
        if (const ErrorCode code = outputs_.Publish(*folder, temporary, outputName_)) {
            Fail(StandardFileText(CauseFromCode(code), outputPath_));
        }
        if (const ErrorCode code = folder->Flush()) Fail(StandardFileText(CauseFromCode(code), outputPath_));
        outputs_.Keep();
        DeleteState();
        if (!rebuilt_.empty()) {
            std::string names;
            for (const std::string& name : rebuilt_) names += (names.empty() ? "" : ", ") + name;
            // The file is whole; the pieces are as they were, and are said to be.
            prompts_.Inform(Fill(Fill(texts::kRebuiltPieces, names, "%2"), outputPath_));
        }
        if (ctx_.settings.removeSplitFilesAfterRejoin) RemoveSet(reader);
    });
    CloseQuietly(file_);
    KeepForNextRun(outcome);
    const std::vector<std::string> kept = outputs_.Discard();
    if (!kept.empty()) prompts_.Tell(Fill(texts::kNotRemoved, kept.front()));
    return outcome;
}

}  // namespace rejoining

namespace {

class Verifier {
public:
    Verifier(const RejoinJob& job, OperationContext& ctx, VerifyReport& report)
        : job_(job), ctx_(ctx), report_(report), set_(ctx.platform, ctx.prompts) {}

    Outcome Run() {
        return EndingOf([&] {
            if (!job_.asksForDisks) set_.Claim(job_.infoFolder, job_.set.name);
            PieceReader reader(job_, ctx_);
            VerifyWith(job_, ctx_, reader, report_);
        });
    }

private:
    const RejoinJob& job_;
    OperationContext& ctx_;
    VerifyReport& report_;
    SetClaim set_;
};

}  // namespace

void VerifyWith(const RejoinJob& job, OperationContext& ctx, PieceReader& reader, VerifyReport& report,
                SetRepair* keep) {
    report = VerifyReport{};
    report.pieces = job.set.pieceCount;
    reader.ReadAll(nullptr, [&](const PieceProblem& problem) { report.problems.push_back(problem); });
    report.checksums = reader.checksums();
    // A set read disk by disk has its recovery files on disks gone by.
    if (keep || !job.asksForDisks) AssessRecovery(job, ctx, reader, report, keep);
}

void AssessRecovery(const RejoinJob& job, OperationContext& ctx, const PieceReader& reader, VerifyReport& report,
                    SetRepair* keep) {
    if (RecoveryFilesOf(ctx.platform, job).empty()) return;
    std::vector<bool> bad(job.set.pieceCount, false);
    for (const PieceProblem& problem : report.problems) {
        if (problem.piece < bad.size()) bad[problem.piece] = true;
    }
    SetRepair local(job, ctx.platform, [&] { ctx.CheckPoint(); }, nullptr);
    SetRepair& repair = keep ? *keep : local;
    if (!repair.Load()) return;
    report.recovery = repair.Assess(bad, reader.PartsByPiece(), reader.checksums(), reader.pieceSize());
    // Slices the recovery files find damaged in a piece that looked intact
    // (a set that records no checksums): that piece is damaged too.
    for (std::uint32_t piece : repair.toRebuild()) {
        if (bad[piece]) continue;
        const std::string path = PieceName(ctx.platform, job.infoFolder, job.set.name, piece);
        PieceProblem problem{Exists(ctx.platform, path) ? PieceProblem::Kind::Damaged : PieceProblem::Kind::Missing,
                             path};
        problem.piece = piece;
        report.problems.push_back(problem);
    }
}

Outcome RejoinOperation(const RejoinJob& job, OperationContext& ctx, std::vector<std::string>* rebuilt) {
    rejoining::Rejoiner rejoiner(job, ctx);
    const Outcome outcome = rejoiner.Run();
    if (rebuilt) *rebuilt = rejoiner.rebuilt();
    return outcome;
}

Outcome VerifyOperation(const RejoinJob& job, OperationContext& ctx, VerifyReport& report) {
    return Verifier(job, ctx, report).Run();
}

}  // namespace engine
