// A repair in place: verify plus rebuild.
#pragma once

#include "engine/job/Context.h"
#include "engine/job/Job.h"

namespace engine {

// Rebuilds the set's bad pieces in place from its recovery files: each is
// written under a temporary name and takes its place only when exact.
Outcome RepairOperation(const RejoinJob& job, OperationContext& ctx, VerifyReport& report);

}  // namespace engine
