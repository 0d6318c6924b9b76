#include "engine/ops/RunJob.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "engine/set/RecoveryPlan.h"
#include "engine/ops/Rejoin.h"
#include "engine/ops/QuickCheck.h"
#include "engine/ops/Split.h"
#include "engine/base/Format.h"
#include "engine/base/Texts.h"

namespace engine {

namespace {

// After a verification or a rejoin that found pieces damaged and the
// recovery data enough, the window offers what MultiPar offers: the repair
// of the pieces in place, as a run of its own on the same set.
void OfferRepair(const RejoinJob& set, OperationContext& ctx) {
    if (!ctx.prompts.OffersRepair() || set.asksForDisks) return;
    Message offer{texts::kOfferRepair, std::string(), Buttons::OkCancel, Question::Proceed};
    offer.okLabel = texts::kRepairButton;
    offer.cancelLabel = texts::kNotNowButton;
    if (ctx.prompts.ShowMessage(offer) != Answer::Ok) return;
    RunJob(RepairJob{set}, ctx);
}

}  // namespace

Outcome RunJob(const Job& job, OperationContext& ctx) {
    const Mode mode = ModeOf(job);
    ctx.events.Started(mode);
    Outcome outcome = Outcome::Failed;
    VerifyReport report;
    std::vector<std::string> rebuilt;
    try {
        if (const auto* split = std::get_if<SplitJob>(&job)) {
            outcome = SplitOperation(*split, ctx);
        } else if (const auto* rejoin = std::get_if<RejoinJob>(&job)) {
            outcome = RejoinOperation(*rejoin, ctx, &rebuilt);
        } else if (const auto* verify = std::get_if<VerifyJob>(&job)) {
            outcome = VerifyOperation(verify->set, ctx, report);
        } else if (const auto* repair = std::get_if<RepairJob>(&job)) {
            outcome = RepairOperation(repair->set, ctx, report);
        } else if (const auto* quick = std::get_if<QuickCheckJob>(&job)) {
            outcome = QuickCheckOperation(quick->set, ctx, report);
        } else {
            outcome = ProtectOperation(std::get<ProtectJob>(job), ctx);
        }
    } catch (const OperationCancelled&) {
        outcome = Outcome::Cancelled;
    } catch (const std::bad_alloc&) {
        ctx.prompts.Tell(texts::kOutOfMemory);
    } catch (const std::exception& e) {
        ctx.prompts.Tell(e.what());
    } catch (...) {
        // Whatever it was, the run has removed what it made on its way out.
        ctx.prompts.Tell(texts::kUnexpectedFault);
    }
    ctx.events.Finished(mode, outcome);
    if (outcome != Outcome::Completed) return outcome;
    try {
        switch (mode) {
            case Mode::Split: ctx.prompts.ShowSplitNotice(std::get<SplitJob>(job).recovery.recoverySlices); break;
            case Mode::Rejoin:
                ctx.prompts.Inform(texts::kCompleted);
                if (!rebuilt.empty()) OfferRepair(std::get<RejoinJob>(job), ctx);
                break;
            case Mode::Verify:
                ctx.prompts.ShowVerifyReport(report);
                if (report.recovery.canRebuild &&
                    std::any_of(report.problems.begin(), report.problems.end(),
                                [](const PieceProblem& p) { return p.piece != PieceProblem::kNoPiece; })) {
                    OfferRepair(std::get<VerifyJob>(job).set, ctx);
                }
                break;
            case Mode::Repair:
            case Mode::QuickCheck: ctx.prompts.ShowVerifyReport(report); break;
            case Mode::Protect:
                ctx.prompts.Inform(RebuildableText(std::get<ProtectJob>(job).recovery.recoverySlices));
                break;
        }
    } catch (const OperationCancelled&) {
        // The work is done and kept; only its closing message was stopped.
    }
    return outcome;
}

}  // namespace engine
