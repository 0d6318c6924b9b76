// The body of the worker: runs one job with the protection every operation
// needs, tells the front end when it starts and ends, and shows the closing
// message of a completed one.
#pragma once

#include "engine/job/Context.h"
#include "engine/job/Job.h"

namespace engine {

// Runs the job on the calling thread: Started, the engine, Finished, then
// the closing notice of a completed split or "Completed Successfully". Every
// ending has removed what the run made unless it completed. Never throws.
Outcome RunJob(const Job& job, OperationContext& ctx);

}  // namespace engine
