#include "Rejoin.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "Checksum.h"
#include "FileErrors.h"
#include "PiecePlan.h"
#include "RunOutputs.h"
#include "SplitInfo.h"
#include "Texts.h"
#include "TransferBuffer.h"

namespace engine {

namespace {

constexpr OpenMode kPieceMode{Access::Read, Share::Read, Creation::OpenExisting, true};
// Each block moves in slices that stay in the processor's cache: the data is
// still there when the checksum and the write look at it.
constexpr std::uint32_t kSlice = 256 * 1024;


std::uint64_t ExpectedLength(const RejoinJob& job, std::uint32_t index) {
    return PieceLength(job.set.size, job.set.pieceCount, job.pieceSize, index);
}

class Rejoiner {
public:
    Rejoiner(const RejoinJob& job, OperationContext& ctx)
        : job_(job), ctx_(ctx), platform_(ctx.platform), prompts_(ctx.prompts), outputs_(ctx.platform) {}

    Outcome Run();

private:
    [[noreturn]] void Fail(const std::string& text, const std::string& caption = std::string());
    bool IsInput(const std::string& path);
    void ChooseOutput();
    void CopyPiece(std::uint32_t index);
    void RemoveSet();

    const RejoinJob& job_;
    OperationContext& ctx_;
    Platform& platform_;
    Prompts& prompts_;
    RunOutputs outputs_;  // before the files: they close before it removes
    std::unique_ptr<File> output_;
    std::unique_ptr<File> piece_;
    std::string outputPath_;
    std::string temporary_;
    TransferBuffer buffer_;
    ChecksumState sum_;
    std::vector<std::string> piecesRead_;
};

[[noreturn]] void Rejoiner::Fail(const std::string& text, const std::string& caption) {
    prompts_.Tell(text, caption);
    throw RunFailed{};
}

bool Rejoiner::IsInput(const std::string& path) {
    if (SameFile(platform_, path, job_.infoPath)) return true;
    for (std::uint32_t i = 0; i < job_.set.pieceCount; ++i) {
        if (SameFile(platform_, path, PieceName(platform_, job_.infoFolder, job_.set.name, i))) return true;
    }
    return false;
}

// Asks for another name while the output exists. The rejoined file never
// replaces one of the files it is made from.
void Rejoiner::ChooseOutput() {
    outputPath_ = FolderPrefix(platform_, job_.destinationFolder) + job_.set.name;
    for (;;) {
        if (!platform_.Exists(outputPath_)) return;
        if (IsInput(outputPath_)) {
            prompts_.Tell(texts::kOutputIsInput);
            throw RunStopped{};
        }
        const FileExistsAnswer answer = prompts_.AskFileExists(outputPath_);
        if (answer == FileExistsAnswer::Overwrite) {
            if (platform_.IsFolder(outputPath_)) Fail(StandardFileText(FileCause::AccessDenied, outputPath_));
            return;
        }
        if (answer == FileExistsAnswer::Stop) throw RunStopped{};
    }
}

void Rejoiner::CopyPiece(std::uint32_t index) {
    ctx_.CheckPoint();
    const std::string path = PieceName(platform_, job_.infoFolder, job_.set.name, index);
    if (const ErrorCode code = platform_.Open(path, kPieceMode, piece_)) {
        piece_.reset();
        if (code == err::kFileNotFound || code == err::kPathNotFound) {
            Fail(texts::kFilesMissing, texts::kFilesMissingCaption);
        }
        if (code == err::kReadFault) {
            prompts_.Tell(texts::kErrorReadingFile);
            Fail(texts::kFilesMissing, texts::kFilesMissingCaption);
        }
        Fail(StandardFileText(CauseFromCode(code), path));
    }
    std::uint64_t length = 0;
    if (const ErrorCode code = piece_->Length(length)) Fail(StandardFileText(CauseFromCode(code), path));
    if (length != ExpectedLength(job_, index)) Fail(Fill(texts::kPieceWrongLength, path));

    sum_.Reset();
    std::uint64_t done = 0;
    while (done < length) {
        ctx_.CheckPoint();
        const auto block = static_cast<std::uint32_t>(std::min<std::uint64_t>(length - done, kTransferBlock));
        for (std::uint32_t inBlock = 0; inBlock < block;) {
            std::uint32_t got = 0;
            const std::uint32_t want = std::min(block - inBlock, kSlice);
            if (const ErrorCode code = piece_->Read(buffer_.get(), want, got)) {
                if (code == err::kReadFault) {
                    prompts_.Tell(texts::kErrorReadingFile);
                    Fail(texts::kFilesMissing, texts::kFilesMissingCaption);
                }
                Fail(StandardFileText(CauseFromCode(code), path));
            }
            // A piece that shrank while it was read.
            if (got == 0) Fail(Fill(texts::kPieceWrongLength, path));
            if (job_.set.hasChecksums) sum_.Update(buffer_.get(), got);
            try {
                WriteOrThrow(*output_, outputPath_, buffer_.get(), got);
            } catch (const FileError& failure) {
                Fail(StandardFileText(failure.cause, outputPath_));
            }
            inBlock += got;
        }
        done += block;
    }
    piece_->Close();
    piece_.reset();
    if (job_.set.hasChecksums && sum_.Digest() != job_.set.pieces[index]) {
        Fail(Fill(texts::kPieceDamaged, path));
    }
    piecesRead_.push_back(path);
    const std::uint32_t count = job_.set.pieceCount;
    ctx_.progress.Report(index + std::uint64_t{1}, count, ProgressText(index + std::uint64_t{1}, count - index - 1));
}

// "Remove split files after rejoin": the info file, then exactly the pieces
// this rejoin read.
void Rejoiner::RemoveSet() {
    if (const ErrorCode code = platform_.Delete(job_.infoPath)) {
        // The output is complete; only the clean-up could not be done.
        prompts_.Tell(StandardFileText(CauseFromCode(code), job_.infoPath));
        throw RunStopped{};
    }
    for (const std::string& piece : piecesRead_) platform_.Delete(piece);
}

Outcome Rejoiner::Run() {
    const Outcome outcome = EndingOf([&] {
        ChooseOutput();
        // Every read asks for a slice at most, whatever the pieces measure.
        if (!buffer_.Allocate(kSlice)) Fail(texts::kOutOfMemory);
        const std::string folder = FolderPart(platform_, outputPath_);
        if (const ErrorCode code = outputs_.CreateTemporary(folder, temporary_, output_)) {
            Fail(StandardFileText(CauseFromCode(code), outputPath_));
        }
        output_->Reserve(job_.set.size);
        for (std::uint32_t i = 0; i < job_.set.pieceCount; ++i) CopyPiece(i);
        try {
            CloseOrThrow(output_, outputPath_);
        } catch (const FileError& failure) {
            Fail(StandardFileText(failure.cause, outputPath_));
        }
        if (const ErrorCode code = outputs_.Publish(temporary_, outputPath_)) {
            Fail(StandardFileText(CauseFromCode(code), outputPath_));
        }
        outputs_.Keep();
        if (ctx_.settings.removeSplitFilesAfterRejoin) RemoveSet();
    });
    CloseQuietly(piece_);
    CloseQuietly(output_);
    outputs_.Discard();
    return outcome;
}

}  // namespace

Outcome RejoinOperation(const RejoinJob& job, OperationContext& ctx) { return Rejoiner(job, ctx).Run(); }

VerifyReport VerifySet(const RejoinJob& job, OperationContext& ctx) {
    Platform& platform = ctx.platform;
    const SetInfo& set = job.set;
    VerifyReport report;
    report.pieces = set.pieceCount;
    report.checksums = set.hasChecksums;
    auto problem = [&](const std::string& path, PieceProblem::Kind kind, std::string detail = std::string()) {
        report.problems.push_back({path, kind, std::move(detail)});
    };

    // The trailer records the piece size; without one the first piece tells it.
    RejoinJob measured = job;
    measured.pieceSize = set.pieceSize;
    if (!set.extended) {
        FileStatus first;
        const bool seen = platform.Status(PieceName(platform, job.infoFolder, set.name, 0), first) == err::kNone &&
                          first.kind == FileKind::Regular;
        measured.pieceSize = MeasuredPieceSize(set.size, set.pieceCount, seen ? first.size : 0);
    }
    TransferBuffer buffer;
    if (set.hasChecksums && !buffer.Allocate(kSlice)) throw std::bad_alloc();
    ChecksumState sum;
    for (std::uint32_t i = 0; i < set.pieceCount; ++i) {
        ctx.CheckPoint();
        const std::string path = PieceName(platform, job.infoFolder, set.name, i);
        ctx.progress.Report(i, set.pieceCount, ProgressText(i, set.pieceCount - i));
        FileStatus status;
        if (platform.Status(path, status) != err::kNone || status.kind == FileKind::Missing) {
            problem(path, PieceProblem::Kind::Missing);
            continue;
        }
        if (status.kind != FileKind::Regular) {
            problem(path, PieceProblem::Kind::NotAFile);
            continue;
        }
        // Lengths are known when the set is consistent; otherwise only an
        // empty piece is certainly wrong.
        const bool sizeKnown = measured.pieceSize != 0;
        if (sizeKnown ? status.size != ExpectedLength(measured, i) : status.size == 0) {
            problem(path, PieceProblem::Kind::WrongLength);
            continue;
        }
        if (!set.hasChecksums) continue;
        std::unique_ptr<File> file;
        ErrorCode code = platform.Open(path, kPieceMode, file);
        sum.Reset();
        std::uint64_t read = 0;
        while (code == err::kNone) {
            std::uint32_t got = 0;
            code = file->Read(buffer.get(), kSlice, got);
            if (code != err::kNone || got == 0) break;
            sum.Update(buffer.get(), got);
            read += got;
            ctx.CheckPoint();
        }
        if (file) file->Close();
        if (code != err::kNone) {
            problem(path, PieceProblem::Kind::Unreadable, StandardFileText(CauseFromCode(code), path));
        } else if (read != status.size) {
            problem(path, PieceProblem::Kind::WrongLength);
        } else if (sum.Digest() != set.pieces[i]) {
            problem(path, PieceProblem::Kind::Damaged);
        }
    }
    ctx.progress.Report(set.pieceCount, set.pieceCount, ProgressText(set.pieceCount, 0));
    return report;
}

}  // namespace engine
