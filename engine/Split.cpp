#include "Split.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "Checksum.h"
#include "FileErrors.h"
#include "PiecePlan.h"
#include "RejoinBatch.h"
#include "RunOutputs.h"
#include "SplitInfo.h"
#include "Texts.h"
#include "TransferBuffer.h"

namespace engine {

namespace {

constexpr OpenMode kSourceMode{Access::Read, Share::Read, Creation::OpenExisting, true};
constexpr OpenMode kPieceMode{Access::Write, Share::ReadWrite, Creation::CreateNew, true};
constexpr OpenMode kSmallFileMode{Access::ReadWrite, Share::None, Creation::CreateNew, false};
// A creation the user retries this often without success is given up.
constexpr int kMaxRetries = 100;
// And so is a disk prompt answered this often without a usable new disk.
constexpr int kMaxDiskPrompts = 100;
// Loads move in slices of this size: small enough to stay in the cache
// between the read, the two checksums and the write.
constexpr std::uint32_t kSlice = 256 * 1024;
// A Go.bat names its set's first piece within its first line.
constexpr std::uint32_t kBatchProbe = 4096;


class Splitter {
public:
    Splitter(const SplitJob& job, OperationContext& ctx)
        : job_(job), ctx_(ctx), platform_(ctx.platform), prompts_(ctx.prompts), outputs_(ctx.platform) {}

    Outcome Run();

private:
    [[noreturn]] void Abort(const FileError& failure);
    void CreateWithRetry(const std::string& path, const OpenMode& mode, std::unique_ptr<File>& file);
    void ClearOldSet();
    void WriteWhole(const std::string& path, const std::string& bytes);
    void Publish(const std::string& path, const std::string& bytes);
    std::string InfoBytes(bool checksums) const;
    std::string BatchBytes() const;
    std::uint32_t MoveLoad(std::uint32_t size);
    void WriteSlice(const unsigned char* data, std::uint32_t size);
    FileError WriteFailure(ErrorCode code, std::uint32_t written) const;
    bool IsDiskChange(const FileError& failure);
    void ChangeDisk(const unsigned char* data, std::uint32_t size, std::uint32_t stored);
    void AwaitNewDisk();
    void CopyPiece(std::uint32_t index);
    void CloseAll();

    const SplitJob& job_;
    OperationContext& ctx_;
    Platform& platform_;
    Prompts& prompts_;
    // Declared before the files, so that they are closed before it removes.
    RunOutputs outputs_;
    std::unique_ptr<File> source_;
    std::unique_ptr<File> piece_;

    bool removable_ = false;
    std::string volume_;
    bool volumeKnown_ = false;
    std::uint32_t bufferSize_ = 0;
    TransferBuffer buffer_;
    std::uint64_t processed_ = 0;
    std::string piecePath_;
    ChecksumState whole_;
    ChecksumState pieceSum_;
    std::vector<Checksum> sums_;
};

[[noreturn]] void Splitter::Abort(const FileError& failure) {
    prompts_.Tell(StandardFileText(failure.cause, failure.path));
    throw RunFailed{};
}

// Creation on the destination: the user is told why it failed and may try
// again, for instance after inserting another disk or closing a program.
void Splitter::CreateWithRetry(const std::string& path, const OpenMode& mode, std::unique_ptr<File>& file) {
    for (int attempt = 0;; ++attempt) {
        const ErrorCode code = outputs_.Create(path, mode, file);
        if (code == err::kNone) return;
        if (attempt >= kMaxRetries) Abort(FileError(code, path));
        if (const char* text = SystemErrorText(code)) prompts_.Tell(text);
        const Message question{DriveRetryText(job_.destinationFolder, job_.driveType), texts::kDriveCaption,
                               Buttons::OkCancel, Question::Retry};
        if (prompts_.ShowMessage(question) != Answer::Ok) throw RunStopped{};
    }
}

// Before the first piece is overwritten, the older set of the same name
// stops looking complete: its info file goes, and Go.bat if it rejoins it.
// A split killed half-way then leaves nothing that a rejoin accepts.
void Splitter::ClearOldSet() {
    const std::string info = InfoFileName(platform_, job_.destinationFolder, job_.sourceName);
    if (platform_.Exists(info)) {
        const ErrorCode code = platform_.Delete(info);
        if (code != err::kNone && code != err::kFileNotFound) Abort(FileError(code, info));
    }
    const std::string batch = BatchFileName(platform_, job_.destinationFolder);
    std::unique_ptr<File> file;
    if (platform_.Open(batch, {Access::Read, Share::ReadWrite, Creation::OpenExisting, false}, file) !=
        err::kNone) {
        return;
    }
    std::string head(kBatchProbe, '\0');
    std::uint32_t got = 0;
    const ErrorCode read = file->Read(head.data(), kBatchProbe, got);
    file->Close();
    head.resize(got);
    if (read == err::kNone && BatchRejoins(platform_, head, job_.sourceName)) {
        const ErrorCode code = platform_.Delete(batch);
        if (code != err::kNone && code != err::kFileNotFound) Abort(FileError(code, batch));
    }
}

std::string Splitter::InfoBytes(bool checksums) const {
    SetInfo set;
    set.name = job_.sourceName;
    set.size = job_.sourceSize;
    set.pieceCount = job_.pieceCount;
    set.pieceSize = job_.pieceSize;
    set.extended = true;
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
void Splitter::WriteWhole(const std::string& path, const std::string& bytes) {
    std::unique_ptr<File> file;
    CreateWithRetry(path, kSmallFileMode, file);
    try {
        WriteOrThrow(*file, path, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        CloseOrThrow(file, path);
    } catch (const FileError& failure) {
        Abort(failure);
    }
}

// A small file that appears under its name only complete. On a removable
// disk that is full it goes to the next disk.
void Splitter::Publish(const std::string& path, const std::string& bytes) {
    for (int attempt = 0;; ++attempt) {
        std::string temporary;
        std::unique_ptr<File> file;
        ErrorCode code = outputs_.CreateTemporary(job_.destinationFolder, temporary, file);
        FileError failure(code, path);
        if (code == err::kNone) {
            try {
                WriteOrThrow(*file, temporary, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
                CloseOrThrow(file, temporary);
                code = outputs_.Publish(temporary, path);
                if (code == err::kNone) return;
                failure = FileError(code, path);
            } catch (const FileError& written) {
                failure = FileError(written.cause, written.code, path);
            }
            file.reset();
            platform_.Delete(temporary);
        }
        if (attempt >= kMaxDiskPrompts || !IsDiskChange(failure)) Abort(failure);
        AwaitNewDisk();
        outputs_.Forget();
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

// Only a removable disk can be changed. Anywhere else a full disk is a
// failure like any other.
bool Splitter::IsDiskChange(const FileError& failure) {
    if (!removable_) return false;
    if (failure.code == err::kNotReady) {
        prompts_.Tell(texts::kDiskNotInserted);
        return true;
    }
    return failure.cause == FileCause::DiskFull;
}

// A write that stored less than asked without an error code ran out of room.
FileError Splitter::WriteFailure(ErrorCode code, std::uint32_t written) const {
    return code ? FileError(code, piecePath_, written)
                : FileError(FileCause::DiskFull, err::kDiskFull, piecePath_, written);
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

// The user puts another disk in. OK with the full disk still there (or with
// none) asks again: continuing would replace what that disk already holds.
void Splitter::AwaitNewDisk() {
    const char* text = texts::kInsertDisk;
    for (int ask = 0; ask < kMaxDiskPrompts; ++ask) {
        const Message prompt{text, texts::kInsertDiskCaption, Buttons::OkCancel, Question::NextDisk};
        if (prompts_.ShowMessage(prompt) != Answer::Ok) throw RunStopped{};
        std::string now;
        if (!platform_.VolumeIdentity(job_.destinationFolder, now)) {
            text = texts::kInsertDisk;
            continue;
        }
        if (volumeKnown_ && now == volume_) {
            text = texts::kSameDisk;
            continue;
        }
        volume_ = now;
        volumeKnown_ = true;
        return;
    }
    throw RunStopped{};
}

// The destination disk is full or gone: keep on it what still fits, then
// continue the same piece, under the same name, on the disk the user inserts.
// Repeats until the whole load is stored or the user gives up.
void Splitter::ChangeDisk(const unsigned char* data, std::uint32_t size, std::uint32_t stored) {
    for (;;) {
        std::uint64_t room = 0;
        platform_.GetFreeSpace(job_.destinationFolder, room);
        const auto keep = static_cast<std::uint32_t>(std::min<std::uint64_t>(room, size - stored));
        if (keep > 0) {
            std::uint32_t written = 0;
            piece_->Write(data + stored, keep, written);
            stored += std::min(written, keep);
        }
        // What the full disk keeps must be there: a piece that does not close
        // cleanly is not trusted to hold its bytes.
        try {
            CloseOrThrow(piece_, piecePath_);
        } catch (const FileError& failure) {
            Abort(failure);
        }

        AwaitNewDisk();
        // What this run wrote so far is on the other disk now.
        outputs_.Forget();
        CreateWithRetry(piecePath_, kPieceMode, piece_);
        if (stored == size) return;

        std::uint32_t written = 0;
        const ErrorCode code = piece_->Write(data + stored, size - stored, written);
        written = std::min(written, size - stored);
        if (code == err::kNone && written == size - stored) return;
        const FileError failure = WriteFailure(code, written);
        if (!IsDiskChange(failure)) Abort(failure);
        stored += written;
    }
}

// A piece gets exactly its planned bytes. Reading fewer means the source
// is shorter than it was measured: its pieces would rejoin to a wrong file.
void Splitter::CopyPiece(std::uint32_t index) {
    ctx_.CheckPoint();
    piecePath_ = PieceName(platform_, job_.destinationFolder, job_.sourceName, index);
    CreateWithRetry(piecePath_, kPieceMode, piece_);
    // On a disk that may fill up and be changed, room set aside would stay
    // taken on the old one.
    if (!removable_) {
        piece_->Reserve(std::min<std::uint64_t>(job_.pieceSize, job_.sourceSize - processed_));
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
            ctx_.progress.Report(processed_, job_.sourceSize,
                                 ProgressText(index + std::uint64_t{1}, job_.pieceCount - index - 1));
        }
    }
    try {
        CloseOrThrow(piece_, piecePath_);
    } catch (const FileError& failure) {
        Abort(failure);
    }
    sums_.push_back(pieceSum_.Digest());
}

void Splitter::CloseAll() {
    CloseQuietly(piece_);
    CloseQuietly(source_);
}

Outcome Splitter::Run() {
    // Loads are counted in bytes, which also fits a last piece shorter than
    // the others; the number of loads a full piece takes is not needed.
    std::uint32_t fullPieceLoads = 0;
    PlanBuffers(job_.pieceSize, bufferSize_, fullPieceLoads);
    if (!buffer_.Allocate(std::min(bufferSize_, kSlice))) {
        prompts_.Tell(texts::kMemoryInsufficient);
        return Outcome::Stopped;
    }
    if (platform_.Open(job_.sourcePath, kSourceMode, source_) != err::kNone) {
        source_.reset();
        prompts_.Tell(texts::kErrorReadingPrefix + job_.sourcePath);
        return Outcome::Stopped;
    }
    std::uint64_t length = 0;
    if (source_->Length(length) != err::kNone || length != job_.sourceSize) {
        CloseAll();
        prompts_.Tell(Fill(texts::kSourceChanged, job_.sourcePath));
        return Outcome::Stopped;
    }
    removable_ = job_.driveType == DriveType::Removable;
    sums_.reserve(job_.pieceCount);

    const Outcome outcome = EndingOf([&] {
        const std::string info = InfoFileName(platform_, job_.destinationFolder, job_.sourceName);
        if (removable_) {
            volumeKnown_ = platform_.VolumeIdentity(job_.destinationFolder, volume_);
            WriteWhole(info, InfoBytes(false));
            WriteWhole(BatchFileName(platform_, job_.destinationFolder), BatchBytes());
        } else {
            ClearOldSet();
        }

        for (std::uint32_t i = 0; i < job_.pieceCount; ++i) CopyPiece(i);
        // A source that grew while it was read is no longer the file the
        // pieces describe.
        if (source_->Length(length) != err::kNone || length != job_.sourceSize) {
            prompts_.Tell(Fill(texts::kSourceChanged, job_.sourcePath));
            throw RunFailed{};
        }
        CloseAll();

        Publish(info, InfoBytes(true));
        // Last: Go.bat may replace another set's, which only a split that
        // has otherwise succeeded may do.
        if (!removable_) Publish(BatchFileName(platform_, job_.destinationFolder), BatchBytes());
        outputs_.Keep();
    });
    CloseAll();
    outputs_.Discard();
    return outcome;
}

}  // namespace

Outcome SplitOperation(const SplitJob& job, OperationContext& ctx) { return Splitter(job, ctx).Run(); }

}  // namespace engine
