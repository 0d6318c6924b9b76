#include "Operation.h"

#include <new>

#include "FileErrors.h"
#include "PiecePlan.h"
#include "Rejoin.h"
#include "Split.h"
#include "Texts.h"

namespace engine {

std::string ProgressText(std::uint32_t done, std::uint32_t remaining) {
    // The counts go in unsigned: a plan may hold more pieces than an int.
    std::string text = texts::kProgressFormat;
    for (std::uint32_t value : {done, remaining}) {
        const std::size_t at = text.find("%d");
        text.replace(at, 2, std::to_string(value));
    }
    return text;
}

void ResetOperationState(OperationContext& ctx) {
    ctx.host.EnableControls(true);
    ctx.host.ShowProgress(false);
    OperationRequest& r = ctx.request;
    for (std::unique_ptr<File>* file :
         {&r.infoFile, &r.mainFile, &r.pieceFile, &r.rejoinPieceFile}) {
        if (*file) {
            (*file)->Close();
            file->reset();
        }
    }
}

void DiscardSplitOutput(OperationContext& ctx) {
    OperationRequest& r = ctx.request;
    ctx.platform.Delete(InfoFileName(ctx.platform, r.destinationFolder, r.sourceName));
    if (!r.piecesStarted) return;
    for (std::uint32_t i = 0; i <= r.currentPiece; ++i) {
        ctx.platform.Delete(PieceName(ctx.platform, r.destinationFolder, r.sourceName, i));
    }
}

void CleanUpCancelled(OperationContext& ctx) {
    ResetOperationState(ctx);
    if (ctx.request.splitMode) {
        DiscardSplitOutput(ctx);
    } else if (!ctx.request.rejoinOutputPath.empty()) {
        const std::string output = ctx.request.rejoinOutputPath;
        ctx.request.rejoinOutputPath.clear();
        const ErrorCode code = ctx.platform.Delete(output);
        if (code != err::kNone && code != err::kFileNotFound) {
            ctx.host.ShowMessage(StandardFileText(CauseFromCode(code), output), "", Buttons::Ok);
        }
    }
}

Outcome RunOperation(OperationContext& ctx) {
    ctx.host.EnableControls(false);
    ctx.host.SetProgressStep(10);
    ctx.host.ShowProgress(true);
    try {
        const bool split = ctx.request.splitMode;
        const Outcome outcome = split ? SplitOperation(ctx) : RejoinOperation(ctx);
        if (outcome != Outcome::Completed) return outcome;
        ctx.host.EnableControls(true);
        ctx.host.RefreshStatusBar("", 1);
        ResetOperationState(ctx);
        if (split) {
            ctx.host.ShowSplitNotice();
        } else {
            ctx.host.ShowMessage(texts::kCompleted, "", Buttons::Ok);
        }
        return Outcome::Completed;
    } catch (const OperationCancelled&) {
        return Outcome::Cancelled;
    } catch (const FileError&) {
        // A file failure the engine left to us: the engine has already said
        // what went wrong where it could.
        ResetOperationState(ctx);
        ctx.request.driveProblemReported = true;
        return Outcome::Failed;
    } catch (const std::bad_alloc&) {
        ResetOperationState(ctx);
        ctx.host.ShowMessage(texts::kOutOfMemory, "", Buttons::Ok);
        return Outcome::Failed;
    } catch (const std::exception& e) {
        ResetOperationState(ctx);
        ctx.host.ShowMessage(e.what(), "", Buttons::Ok);
        return Outcome::Failed;
    } catch (...) {
        ResetOperationState(ctx);
        ctx.host.ShowMessage(texts::kVerifyValues, "", Buttons::Ok);
        return Outcome::Failed;
    }
}

}  // namespace engine
