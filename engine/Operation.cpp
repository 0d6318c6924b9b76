#include "Operation.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "Rejoin.h"
#include "Split.h"
#include "Texts.h"

namespace engine {

std::string ProgressText(std::uint64_t done, std::uint64_t remaining) {
    std::string text = texts::kProgressFormat;
    for (std::uint64_t value : {done, remaining}) {
        const std::size_t at = text.find("%d");
        text.replace(at, 2, std::to_string(value));
    }
    return text;
}

int Percent(std::uint64_t done, std::uint64_t total) {
    if (total == 0 || done >= total) return 100;
    // done × 100 would pass 64 bits for sizes beyond 184 PB.
    if (total > UINT64_MAX / 100) return static_cast<int>(std::min<std::uint64_t>(done / (total / 100), 99));
    return static_cast<int>(done * 100 / total);
}

Outcome RunJob(const Job& job, OperationContext& ctx) {
    ctx.events.Started(job.mode);
    Outcome outcome = Outcome::Failed;
    VerifyReport report;
    try {
        switch (job.mode) {
            case Mode::Split: outcome = SplitOperation(job.split, ctx); break;
            case Mode::Rejoin: outcome = RejoinOperation(job.rejoin, ctx); break;
            case Mode::Verify: outcome = VerifyOperation(job.rejoin, ctx, report); break;
        }
    } catch (const OperationCancelled&) {
        outcome = Outcome::Cancelled;
    } catch (const std::bad_alloc&) {
        ctx.prompts.Tell(texts::kOutOfMemory);
    } catch (const std::exception& e) {
        ctx.prompts.Tell(e.what());
    } catch (...) {
        ctx.prompts.Tell(texts::kVerifyValues);
    }
    ctx.events.Finished(job.mode, outcome);
    if (outcome != Outcome::Completed) return outcome;
    try {
        switch (job.mode) {
            case Mode::Split: ctx.prompts.ShowSplitNotice(); break;
            case Mode::Rejoin: ctx.prompts.Tell(texts::kCompleted); break;
            case Mode::Verify: ctx.prompts.ShowVerifyReport(report); break;
        }
    } catch (const OperationCancelled&) {
        // The work is done and kept; only its closing message was stopped.
    }
    return outcome;
}

}  // namespace engine
