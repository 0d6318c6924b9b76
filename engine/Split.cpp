#include "Split.h"

#include <algorithm>
#include <memory>
#include <new>

#include "FileErrors.h"
#include "PiecePlan.h"
#include "RejoinBatch.h"
#include "SplitInfo.h"
#include "Texts.h"
#include "TransferBuffer.h"

namespace engine {

namespace {

constexpr OpenMode kSourceMode{Access::Read, Share::Read, Creation::OpenExisting, true};
constexpr OpenMode kPieceMode{Access::Write, Share::ReadWrite, Creation::CreateAlways, true};
constexpr OpenMode kInfoMode{Access::ReadWrite, Share::None, Creation::CreateAlways, false};

// Ends the split after a failure the user has been told about: what it wrote
// is removed, so no incomplete set of pieces is left looking complete.
struct SplitAborted {};
// Ends the split where the user chose to stop. What was written stays unless
// the user keeps no split files around.
struct SplitStopped {
    bool discard = false;
};

class Splitter {
public:
    explicit Splitter(OperationContext& ctx)
        : ctx_(ctx), r_(ctx.request), platform_(ctx.platform), host_(ctx.host) {}

    Outcome Run();

private:
    Outcome Stop(const char* message);
    Outcome StopAndDelete(const std::string& message, const std::string& infoPath);
    bool OpenWithRetry(const std::string& path, const OpenMode& mode, std::unique_ptr<File>& file);
    void CheckPoint();
    std::uint32_t ReadLoad(std::uint32_t size);
    void WriteLoad(const unsigned char* data, std::uint32_t size);
    void ChangeDisk(const unsigned char* data, std::uint32_t size, std::uint32_t stored);
    [[noreturn]] void Abort(const FileError& failure);
    void CopyPiece(std::uint32_t index, bool& sourceDone);

    OperationContext& ctx_;
    OperationRequest& r_;
    Platform& platform_;
    Host& host_;

    std::uint32_t sourceSize_ = 0;
    std::uint32_t bufferSize_ = 0;
    std::uint32_t fillsPerPiece_ = 0;
    TransferBuffer buffer_;
    std::uint32_t processed_ = 0;
    std::string piecePath_;
};

Outcome Splitter::Stop(const char* message) {
    if (message) host_.ShowMessage(message, "", Buttons::Ok);
    ResetOperationState(ctx_);
    buffer_.Release();
    return Outcome::Stopped;
}

// Creation on the destination: the user is told why it failed and may try
// again, for instance after inserting another disk.
Outcome Splitter::StopAndDelete(const std::string& message, const std::string& infoPath) {
    host_.ShowMessage(message, "", Buttons::Ok);
    ResetOperationState(ctx_);
    platform_.Delete(infoPath);
    buffer_.Release();
    return Outcome::Stopped;
}

bool Splitter::OpenWithRetry(const std::string& path, const OpenMode& mode,
                             std::unique_ptr<File>& file) {
    for (;;) {
        const ErrorCode code = platform_.Open(path, mode, file);
        if (code == err::kNone) return true;
        file.reset();
        ReportSystemError(ctx_, code);
        if (!PromptDriveRetry(ctx_)) return false;
    }
}

void Splitter::CheckPoint() {
    if (ctx_.checkpoint && ctx_.checkpoint->ShouldStop()) throw OperationCancelled{};
}

[[noreturn]] void Splitter::Abort(const FileError& failure) {
    host_.ShowMessage(StandardFileText(failure.cause, failure.path), "", Buttons::Ok);
    throw SplitAborted{};
}

std::uint32_t Splitter::ReadLoad(std::uint32_t size) {
    std::uint32_t got = 0;
    try {
        ReadOrThrow(*r_.mainFile, r_.sourcePath, buffer_.get(), size, got);
    } catch (const FileError& failure) {
        // A load that could not be read cannot be replaced by anything
        // sensible; going on would leave a hole in the piece.
        Abort(failure);
    }
    processed_ += got;
    return got;
}

void Splitter::WriteLoad(const unsigned char* data, std::uint32_t size) {
    try {
        WriteOrThrow(*r_.pieceFile, piecePath_, data, size);
    } catch (const FileError& failure) {
        if (failure.code == err::kNotReady) {
            host_.ShowMessage(texts::kDiskNotInserted, "", Buttons::Ok);
            r_.driveProblemReported = true;
        }
        if (failure.cause != FileCause::DiskFull && !r_.driveProblemReported) Abort(failure);
        ChangeDisk(data, size, failure.stored);
    }
}

// The destination disk is full or gone: keep on it what still fits, then
// continue the same piece, under the same name, on the disk the user inserts.
// Repeats until the whole load is stored or the user gives up.
void Splitter::ChangeDisk(const unsigned char* data, std::uint32_t size, std::uint32_t stored) {
    for (;;) {
        r_.driveProblemReported = false;
        std::uint64_t room = 0;
        if (platform_.GetFreeSpace(r_.destinationFolder, room)) r_.freeSpace = room;
        const std::uint32_t keep =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(room, size - stored));
        if (keep > 0) {
            std::uint32_t written = 0;
            r_.pieceFile->Write(data + stored, keep, written);
            stored += std::min(written, keep);
        }
        if (r_.pieceFile) {
            r_.pieceFile->Close();
            r_.pieceFile.reset();
        }

        if (host_.ShowMessage(texts::kInsertDisk, texts::kInsertDiskCaption, Buttons::OkCancel) !=
            Answer::Ok) {
            host_.EnableControls(true);
            // Only this split's own files go; the rest of the disk is the user's.
            throw SplitStopped{ctx_.settings.removeSplitFilesAfterRejoin};
        }
        if (!OpenWithRetry(piecePath_, kPieceMode, r_.pieceFile)) throw SplitStopped{};
        if (stored == size) return;

        std::uint32_t written = 0;
        const ErrorCode code = r_.pieceFile->Write(data + stored, size - stored, written);
        written = std::min(written, size - stored);
        if (code == err::kNone && written == size - stored) return;
        const FileError failure = code ? FileError(code, piecePath_, written)
                                       : FileError(FileCause::DiskFull, err::kDiskFull,
                                                   piecePath_, written);
        if (failure.code == err::kNotReady) {
            host_.ShowMessage(texts::kDiskNotInserted, "", Buttons::Ok);
            r_.driveProblemReported = true;
        }
        if (failure.cause != FileCause::DiskFull && !r_.driveProblemReported) Abort(failure);
        stored += written;
    }
}

void Splitter::CopyPiece(std::uint32_t index, bool& sourceDone) {
    CheckPoint();
    piecePath_ = PieceName(platform_, r_.destinationFolder, r_.sourceName, index);
    if (!OpenWithRetry(piecePath_, kPieceMode, r_.pieceFile)) throw SplitStopped{};
    r_.currentPiece = index;
    r_.piecesStarted = true;

    const std::uint32_t left = sourceSize_ - processed_;
    if (left <= bufferSize_) {
        // The last piece fits one load: one read, one write.
        const std::uint32_t got = ReadLoad(left);
        WriteLoad(buffer_.get(), got);
        sourceDone = true;
    } else {
        std::uint32_t bytesInPiece = 0;
        std::uint32_t lastRead = 0;
        for (std::uint32_t j = 0; j < fillsPerPiece_; ++j) {
            CheckPoint();
            std::uint32_t ask = bufferSize_;
            if (j == fillsPerPiece_ - 1) ask = std::min(r_.pieceSize - bytesInPiece, bufferSize_);
            lastRead = ReadLoad(ask);
            bytesInPiece += lastRead;
            if (lastRead == 0) break;
            WriteLoad(buffer_.get(), lastRead);
            host_.SetProgress(static_cast<int>(std::uint64_t{processed_} * 100 / sourceSize_));
            host_.SetProgressText(ProgressText(index + 1, r_.pieceCount - index - 1));
        }
        sourceDone = lastRead == 0;
    }
    try {
        CloseOrThrow(r_.pieceFile, piecePath_);
    } catch (const FileError& failure) {
        Abort(failure);
    }
}

Outcome Splitter::Run() {
    if (!r_.customSize) host_.ShowCustomSize(false);

    // The piece format records 32-bit sizes and a 260-byte name: refuse what
    // it cannot hold before anything is written.
    if (r_.sourceSize > 0xFFFFFFFFull) return Stop(texts::kSourceTooLarge);
    if (r_.sourceName.size() >= kSplitInfoNameField) return Stop(texts::kNameTooLong);
    sourceSize_ = static_cast<std::uint32_t>(r_.sourceSize);

    const PlanCheck resolved = ResolvePieceSize(r_);
    if (!resolved.ok) return Stop(resolved.message);
    PlanBuffers(r_.pieceSize, bufferSize_, fillsPerPiece_);
    if (!buffer_.Allocate(bufferSize_)) return Stop(texts::kMemoryInsufficient);

    if (r_.sourcePath.empty() || r_.destinationFolder.empty()) return Stop(texts::kNameEmpty);
    if (!platform_.GetFreeSpace(r_.destinationFolder, r_.freeSpace)) return Stop(texts::kNoDiskInfo);
    // A removable disk need not hold a whole piece: the piece continues on
    // the next disk.
    const bool removable = platform_.QueryDriveType(r_.destinationFolder) == DriveType::Removable;
    if (!removable && r_.freeSpace < r_.pieceSize) return Stop(texts::kNotEnoughSpace);

    r_.piecesStarted = false;
    const std::string infoPath = InfoFileName(platform_, r_.destinationFolder, r_.sourceName);
    if (!OpenWithRetry(infoPath, kInfoMode, r_.infoFile)) {
        buffer_.Release();
        return Outcome::Stopped;
    }

    if (platform_.Open(r_.sourcePath, kSourceMode, r_.mainFile) != err::kNone) {
        r_.mainFile.reset();
        return StopAndDelete(texts::kErrorReadingPrefix + r_.sourcePath, infoPath);
    }

    const PlanCheck fits = CheckPieceSize(sourceSize_, r_.pieceSize);
    if (!fits.ok) return StopAndDelete(fits.message, infoPath);
    r_.pieceCount = CountPieces(sourceSize_, r_.pieceSize);

    try {
        try {
            SeekOrThrow(*r_.mainFile, r_.sourcePath, 0);
            WriteSplitInfo(r_.infoFile, infoPath, {r_.pieceCount, r_.sourceName, sourceSize_});
            WriteRejoinBatch(platform_, r_.destinationFolder, r_.sourceName, r_.pieceCount);
        } catch (const FileError& failure) {
            r_.driveProblemReported = true;
            Abort(failure);
        }

        processed_ = 0;
        bool sourceDone = false;
        for (std::uint32_t i = 0; i < r_.pieceCount && !sourceDone; ++i) CopyPiece(i, sourceDone);
        // A source that shrank since it was measured would leave pieces that
        // rejoin to the wrong length.
        if (processed_ != sourceSize_) Abort(FileError(FileCause::EndOfFile, err::kHandleEof, r_.sourcePath));
    } catch (const SplitAborted&) {
        ResetOperationState(ctx_);
        DiscardSplitOutput(ctx_);
        buffer_.Release();
        return Outcome::Failed;
    } catch (const SplitStopped& stop) {
        ResetOperationState(ctx_);
        if (stop.discard) DiscardSplitOutput(ctx_);
        buffer_.Release();
        return Outcome::Stopped;
    }

    r_.mainFile->Close();
    r_.mainFile.reset();
    buffer_.Release();
    host_.SetProgress(100);
    host_.ShowCustomSize(false);
    r_.customSize = false;
    return Outcome::Completed;
}

}  // namespace

Outcome SplitOperation(OperationContext& ctx) { return Splitter(ctx).Run(); }

void EraseRemovableFolder(Platform& platform, const std::string& folder) {
    const std::string root = platform.DriveRoot(folder);
    if (root.empty() || platform.QueryDriveType(root) != DriveType::Removable) return;
    std::vector<FolderEntry> entries;
    if (platform.ListFolder(folder, entries) != err::kNone) return;
    const std::string prefix = FolderPrefix(platform, folder);
    for (const FolderEntry& entry : entries) {
        if (entry.name == "." || entry.name == "..") continue;
        const std::string path = prefix + entry.name;
        if (entry.isFolder) {
            EraseRemovableFolder(platform, path);
            platform.RemoveFolder(path);
        } else {
            platform.Delete(path);
        }
    }
}

}  // namespace engine
