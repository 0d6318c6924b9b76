// The rejoin: concatenates the pieces in index order into a temporary file
// beside the output, checking each piece's length and (when the info file
// records them) its checksum and the whole file's, and gives the file its
// name only when it is exactly the file that was split and on the disk. An
// existing file of that name survives every failure. A verification reads
// the same way into nothing and reports every problem.
#pragma once

#include <string>
#include <vector>

#include "engine/job/Context.h"
#include "engine/job/Job.h"
#include "engine/job/Report.h"

namespace engine {

// Runs on the worker. Completed only for an exact file under its final name;
// `rebuilt`, when given, names the pieces the recovery data stood in for.
Outcome RejoinOperation(const RejoinJob& job, OperationContext& ctx, std::vector<std::string>* rebuilt = nullptr);

// Checks every piece (present, length, checksum) and the whole file without
// writing anything. Completed when every piece was looked at, whatever it
// found; `report` says what.
Outcome VerifyOperation(const RejoinJob& job, OperationContext& ctx, VerifyReport& report);


class PieceReader;
class SetRepair;
// What a verification does, and a repair first (as par2cmdline's repair is
// its verification plus a rebuild): every piece read and judged into
// `report`, then what the recovery files can do for what was found. `keep`,
// when given, is the repair to judge with, so that it can rebuild next.
void VerifyWith(const RejoinJob& job, OperationContext& ctx, PieceReader& reader, VerifyReport& report,
                SetRepair* keep = nullptr);

// What the set's recovery files could do for the problems the reading
// found: into `report`, with any piece they find damaged besides. `keep`,
// when given, is the repair to judge with (so that it can rebuild next).
void AssessRecovery(const RejoinJob& job, OperationContext& ctx, const PieceReader& reader, VerifyReport& report,
                    SetRepair* keep = nullptr);

}  // namespace engine
