// Recovery files for a set that has none, or replacing its own.
#pragma once

#include "engine/job/Context.h"
#include "engine/job/Job.h"

namespace engine {

// Makes recovery files for a set whose pieces are intact.
Outcome ProtectOperation(const ProtectJob& job, OperationContext& ctx);

}  // namespace engine
