#include "Rejoin.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "FileErrors.h"
#include "PiecePlan.h"
#include "SplitInfo.h"
#include "Texts.h"
#include "TransferBuffer.h"

namespace engine {

namespace {

constexpr OpenMode kOutputMode{Access::Write, Share::ReadWrite, Creation::CreateAlways, true};
constexpr OpenMode kPieceMode{Access::Read, Share::Read, Creation::OpenExisting, true};
constexpr std::uint32_t kSlice = 256 * 1024;

struct OutputFailed {
    FileError failure;
};

class Rejoiner {
public:
    explicit Rejoiner(OperationContext& ctx)
        : ctx_(ctx), r_(ctx.request), platform_(ctx.platform), host_(ctx.host) {}

    Outcome Run();

private:
    Outcome Stop(const std::string& message, const std::string& caption = "");
    Outcome Fail(const std::string& message, const std::string& caption = "");
    bool ChooseOutput(std::string& output, const std::vector<std::string>& pieces);
    void CopyPiece(const std::string& path);

    OperationContext& ctx_;
    OperationRequest& r_;
    Platform& platform_;
    Host& host_;
    TransferBuffer buffer_;
    std::uint64_t totalWritten_ = 0;
};

Outcome Rejoiner::Stop(const std::string& message, const std::string& caption) {
    host_.ShowMessage(message, caption, Buttons::Ok);
    ResetOperationState(ctx_);
    return Outcome::Stopped;
}

// Ends after the output was created: the incomplete output goes.
Outcome Rejoiner::Fail(const std::string& message, const std::string& caption) {
    host_.ShowMessage(message, caption, Buttons::Ok);
    ResetOperationState(ctx_);
    buffer_.Release();
    platform_.Delete(r_.rejoinOutputPath);
    r_.rejoinOutputPath.clear();
    return Outcome::Failed;
}

// Asks for another name while the output exists. False when the chosen path
// is one of the files being rejoined.
bool Rejoiner::ChooseOutput(std::string& output, const std::vector<std::string>& pieces) {
    while (platform_.Exists(output)) {
        if (platform_.SameFile(output, r_.sourcePath)) return false;
        for (const std::string& piece : pieces) {
            if (platform_.Exists(piece) && platform_.SameFile(output, piece)) return false;
        }
        const Host::FileExists answer = host_.AskFileExists(output);
        if (answer == Host::FileExists::Overwrite) break;
        if (answer == Host::FileExists::Stop) throw OperationCancelled{};
    }
    return true;
}

void Rejoiner::CopyPiece(const std::string& path) {
    if (const ErrorCode code = platform_.Open(path, kPieceMode, r_.rejoinPieceFile)) {
        r_.rejoinPieceFile.reset();
        throw FileError(code, path);
    }
    std::uint64_t length64 = 0;
    if (const ErrorCode code = r_.rejoinPieceFile->Length(length64)) throw FileError(code, path);
    if (length64 > 0xFFFFFFFFull) throw FileError(FileCause::Generic, err::kInvalidParameter, path);
    const auto length = static_cast<std::uint32_t>(length64);

    const std::uint32_t blockSize = std::min(length, kTransferBlock);
    if (!buffer_.Allocate(blockSize)) throw std::bad_alloc();
    const std::uint32_t blocks = length > kTransferBlock ? (length + kTransferBlock - 1) / kTransferBlock : 1;

    std::uint32_t readSoFar = 0;
    for (std::uint32_t j = 0; j < blocks; ++j) {
        if (ctx_.checkpoint && ctx_.checkpoint->ShouldStop()) throw OperationCancelled{};
        host_.RefreshStatusBar("", 1);
        const std::uint32_t want = j == blocks - 1 ? length - readSoFar : blockSize;
        // The block moves in slices that stay in the processor's cache; what
        // is read is written, slice by slice, exactly as a whole block would be.
        for (std::uint32_t done = 0; done < want;) {
            std::uint32_t got = 0;
            ReadOrThrow(*r_.rejoinPieceFile, path, buffer_.get(), std::min(want - done, kSlice), got);
            if (got == 0) break;
            try {
                WriteOrThrow(*r_.mainFile, r_.rejoinOutputPath, buffer_.get(), got);
            } catch (const FileError& failure) {
                throw OutputFailed{failure};
            }
            done += got;
            readSoFar += got;
            totalWritten_ += got;
        }
    }
    r_.rejoinPieceFile->Close();
    r_.rejoinPieceFile.reset();
}

Outcome Rejoiner::Run() {
    r_.rejoinOutputPath.clear();
    ReadInfo read;
    try {
        read = ReadSplitInfo(platform_, r_.sourcePath, r_.sourceFolder);
    } catch (const InvalidSplitInfo& bad) {
        return Stop(bad.what());
    } catch (const FileError& failure) {
        return Stop(StandardFileText(failure.cause, failure.path));
    }
    const std::uint32_t pieceCount = read.info.pieceCount;
    r_.pieceCount = pieceCount;
    r_.expectedSize = read.info.fileSize;
    r_.sourceName = read.info.fileName;

    if (r_.destinationFolder.empty()) return Stop(texts::kSpecifyOutputFolder);

    std::vector<std::string> pieces;
    for (std::uint32_t i = 0; i < pieceCount; ++i) {
        pieces.push_back(read.pieceBase + "." + std::to_string(i) + ".spl");
    }
    std::string output = r_.destinationFolder + platform_.Separator() + read.info.fileName;
    if (!ChooseOutput(output, pieces)) return Stop(texts::kOutputIsInput);

    if (const ErrorCode code = platform_.Open(output, kOutputMode, r_.mainFile)) {
        r_.mainFile.reset();
        return Stop(StandardFileText(CauseFromCode(code), output));
    }
    r_.rejoinOutputPath = output;

    std::vector<std::string> piecesRead;
    try {
        for (std::uint32_t i = 0; i < pieceCount; ++i) {
            try {
                CopyPiece(pieces[i]);
                piecesRead.push_back(pieces[i]);
                host_.SetProgress(static_cast<int>(std::uint64_t{i + 1} * 100 / pieceCount));
                host_.SetProgressText(ProgressText(i + 1, pieceCount - i - 1));
            } catch (const FileError& failure) {
                // A missing or unreadable piece shows up in the length check.
                if (r_.rejoinPieceFile) {
                    r_.rejoinPieceFile->Close();
                    r_.rejoinPieceFile.reset();
                }
                if (failure.code == err::kReadFault) {
                    host_.ShowMessage(texts::kErrorReadingFile, "", Buttons::Ok);
                }
            }
        }
    } catch (const OutputFailed& output) {
        return Fail(StandardFileText(output.failure.cause, output.failure.path));
    }
    if (totalWritten_ < r_.expectedSize) return Fail(texts::kFilesMissing, texts::kFilesMissingCaption);

    const std::string outputPath = r_.rejoinOutputPath;
    try {
        CloseOrThrow(r_.mainFile, outputPath);
    } catch (const FileError& failure) {
        return Fail(StandardFileText(failure.cause, failure.path));
    }
    buffer_.Release();

    if (ctx_.settings.removeSplitFilesAfterRejoin) {
        if (const ErrorCode code = platform_.Delete(r_.sourcePath)) {
            // The output is complete; only the clean-up could not be done.
            return Stop(StandardFileText(CauseFromCode(code), r_.sourcePath));
        }
        for (const std::string& piece : piecesRead) platform_.Delete(piece);
    }
    return Outcome::Completed;
}

}  // namespace

Outcome RejoinOperation(OperationContext& ctx) { return Rejoiner(ctx).Run(); }

std::string InfoFileForPiece(const std::string& piecePath) {
    const std::size_t last = piecePath.rfind('.');
    if (last == std::string::npos || last == 0) return std::string();
    const std::size_t secondLast = piecePath.rfind('.', last - 1);
    if (secondLast == std::string::npos) return std::string();
    return piecePath.substr(0, secondLast) + ".sio";
}

}  // namespace engine
