// A quick check of a set: what can be told without reading its pieces.
#pragma once

#include "engine/job/Context.h"
#include "engine/job/Job.h"

namespace engine {

// Every piece there under its name with the length the set gives it, the
// info file's record and trailer (read whole by the start checks), and what
// the recovery files' packets say, their slices not checked. Reads no
// piece's data and writes nothing; `report` says so (`quick`).
Outcome QuickCheckOperation(const RejoinJob& job, OperationContext& ctx, VerifyReport& report);

}  // namespace engine
