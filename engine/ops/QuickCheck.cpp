#include "engine/ops/QuickCheck.h"

#include "engine/io/PieceReader.h"
#include "engine/io/RecoveryFiles.h"

namespace engine {

Outcome QuickCheckOperation(const RejoinJob& job, OperationContext& ctx, VerifyReport& report) {
    report = VerifyReport{};
    report.quick = true;
    report.pieces = job.set.pieceCount;
    // The walk the start checks make: names and lengths, nothing read. A set
    // on disks is checked as far as the disk in the drive goes.
    PieceReader walk(job, ctx.platform);
    walk.ReadAll(nullptr, [&](const PieceProblem& problem) { report.problems.push_back(problem); });
    ctx.CheckPoint();
    const RecoveryFilesSummary recovery = SummarizeRecoveryFiles(ctx.platform, job);
    report.recoveryFiles = recovery.files;
    report.recovery.found = recovery.blocks > 0;
    report.recovery.blocksAvailable = recovery.blocks;
    report.recovery.wholePieces = recovery.wholePieces;
    return Outcome::Completed;
}

}  // namespace engine
