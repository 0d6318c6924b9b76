// The body of a run: the job with the protection every operation needs,
// and, apart from it, the closing message the front end shows once the
// worker has ended (as 7-Zip's progress dialog shows its final message).
#pragma once

#include <optional>

#include "engine/job/Context.h"
#include "engine/job/Job.h"

namespace engine {

// How a run ended, with what its closing message says.
struct RunResult {
    Outcome outcome = Outcome::Failed;
    VerifyReport report;          // a verification, repair or quick check
    bool rebuiltPieces = false;   // a rejoin that rebuilt pieces from the recovery files
};

// Runs the job on the calling thread: Started, the engine, Finished. Every
// ending has removed what the run made unless it completed. Never throws.
RunResult RunWork(const Job& job, OperationContext& ctx);

// The closing message of a completed run: the notice of a split,
// "Completed Successfully", what a verification found. Where pieces were
// found damaged and the recovery files can rebuild them, a front end that
// offers it asks whether to repair them: the repair is returned, to be run
// as a run of its own. Nothing for a run that did not complete: it has
// told the user already.
std::optional<Job> ShowClosing(const Job& job, const RunResult& result, Prompts& prompts);

// Both on the calling thread, and the repair the user took: what the
// command line and the tests need. Never throws.
Outcome RunJob(const Job& job, OperationContext& ctx);

}  // namespace engine
