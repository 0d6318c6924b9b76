// The split: cuts the source into pieces with a checksum of each, writes the
// info file and Go.bat, and continues a piece on another disk when a
// removable disk fills up.
#pragma once

#include "engine/ops/RunJob.h"

namespace engine {

// Runs on the worker. Completed only when every piece, the info file and
// Go.bat are written exactly; every other ending has told the user (where
// there was something to tell) and removed what this run made.
//
// On a fixed, network or RAM drive the set becomes complete-looking only at
// the end: an older info file of the same name (and a Go.bat that rejoins
// it) goes before the first piece is written, and the new ones appear by
// rename after the last piece. On a removable drive the info file and Go.bat
// come first, on the first disk; the info file with the checksums follows
// on the last.
Outcome SplitOperation(const SplitJob& job, OperationContext& ctx);

// What the info file of the job's set records before its checksums are
// known: the name, the sizes, the piece count.
SetInfo PlannedSet(const SplitJob& job);

}  // namespace engine
