// The rejoin: concatenates the pieces in index order into a temporary file
// beside the output, checking each piece's length and (when the info file
// records them) its checksum and the whole file's, and gives the file its
// name only when it is exactly the file that was split and on the disk. An
// existing file of that name survives every failure. A verification reads
// the same way into nothing and reports every problem.
#pragma once

#include <string>

#include "Operation.h"

namespace engine {

// Runs on the worker. Completed only for an exact file under its final name.
Outcome RejoinOperation(const RejoinJob& job, OperationContext& ctx);

// Checks every piece (present, length, checksum) and the whole file without
// writing anything. Completed when every piece was looked at, whatever it
// found; `report` says what.
Outcome VerifyOperation(const RejoinJob& job, OperationContext& ctx, VerifyReport& report);

// A verification's findings: one line for each problem, then a summary.
std::string VerifySummary(const VerifyReport& report);

}  // namespace engine
