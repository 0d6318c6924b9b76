#include "engine/ops/RunJob.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "engine/base/Format.h"
#include "engine/base/Texts.h"
#include "engine/ops/Protect.h"
#include "engine/ops/QuickCheck.h"
#include "engine/ops/Rejoin.h"
#include "engine/ops/Repair.h"
#include "engine/ops/Split.h"
#include "engine/set/RecoveryPlan.h"

namespace engine {

namespace {

template <class... Kinds>
struct Overloaded : Kinds... {
    using Kinds::operator()...;
};
template <class... Kinds>
Overloaded(Kinds...) -> Overloaded<Kinds...>;

// After a verification or a rejoin that found pieces damaged and the
// recovery data enough, the window offers what MultiPar offers: the repair
// of the pieces in place, as a run of its own on the same set.
std::optional<Job> OfferRepair(const RejoinJob& set, Prompts& prompts) {
    if (!prompts.OffersRepair() || set.asksForDisks) return std::nullopt;
    Message offer{texts::kOfferRepair, std::string(), Buttons::OkCancel, Question::Proceed};
    offer.okLabel = texts::kRepairButton;
    offer.cancelLabel = texts::kNotNowButton;
    if (prompts.ShowMessage(offer) != Answer::Ok) return std::nullopt;
    return Job{RepairJob{set}};
}

bool PiecesDamaged(const VerifyReport& report) {
    return std::any_of(report.problems.begin(), report.problems.end(),
                       [](const PieceProblem& p) { return p.piece != PieceProblem::kNoPiece; });
}

}  // namespace

RunResult RunWork(const Job& job, OperationContext& ctx) {
    const Mode mode = ModeOf(job);
    ctx.events.Started(mode);
    RunResult result;
    try {
        std::vector<std::string> rebuilt;
        result.outcome = std::visit(
            Overloaded{
                [&](const SplitJob& split) { return SplitOperation(split, ctx); },
                [&](const RejoinJob& rejoin) { return RejoinOperation(rejoin, ctx, &rebuilt); },
                [&](const VerifyJob& verify) { return VerifyOperation(verify.set, ctx, result.report); },
                [&](const RepairJob& repair) { return RepairOperation(repair.set, ctx, result.report); },
                [&](const QuickCheckJob& quick) { return QuickCheckOperation(quick.set, ctx, result.report); },
                [&](const ProtectJob& protect) { return ProtectOperation(protect, ctx); },
            },
            job);
        result.rebuiltPieces = !rebuilt.empty();
    } catch (const OperationCancelled&) {
        result.outcome = Outcome::Cancelled;
    } catch (const std::bad_alloc&) {
        ctx.prompts.Tell(texts::kOutOfMemory);
    } catch (const std::exception& e) {
        ctx.prompts.Tell(e.what());
    } catch (...) {
        // Whatever it was, the run has removed what it made on its way out.
        ctx.prompts.Tell(texts::kUnexpectedFault);
    }
    ctx.events.Finished(mode, result.outcome);
    return result;
}

std::optional<Job> ShowClosing(const Job& job, const RunResult& result, Prompts& prompts) {
    if (result.outcome != Outcome::Completed) return std::nullopt;
    try {
        return std::visit(
            Overloaded{
                [&](const SplitJob& split) -> std::optional<Job> {
                    prompts.ShowSplitNotice(split.recovery.WholePieces());
                    return std::nullopt;
                },
                [&](const RejoinJob& rejoin) -> std::optional<Job> {
                    prompts.Inform(texts::kCompleted);
                    return result.rebuiltPieces ? OfferRepair(rejoin, prompts) : std::nullopt;
                },
                [&](const VerifyJob& verify) -> std::optional<Job> {
                    prompts.ShowVerifyReport(result.report);
                    const bool repairable = result.report.recovery.canRebuild && PiecesDamaged(result.report);
                    return repairable ? OfferRepair(verify.set, prompts) : std::nullopt;
                },
                [&](const RepairJob&) -> std::optional<Job> {
                    prompts.ShowVerifyReport(result.report);
                    return std::nullopt;
                },
                [&](const QuickCheckJob&) -> std::optional<Job> {
                    prompts.ShowVerifyReport(result.report);
                    return std::nullopt;
                },
                [&](const ProtectJob& protect) -> std::optional<Job> {
                    prompts.Inform(RebuildableText(protect.recovery.WholePieces()));
                    return std::nullopt;
                },
            },
            job);
    } catch (const OperationCancelled&) {
        // The work is done and kept; only its closing message was stopped.
        return std::nullopt;
    }
}

Outcome RunJob(const Job& job, OperationContext& ctx) {
    const RunResult result = RunWork(job, ctx);
    if (const std::optional<Job> repair = ShowClosing(job, result, ctx.prompts)) RunJob(*repair, ctx);
    return result.outcome;
}

}  // namespace engine
