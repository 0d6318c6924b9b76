// What a run found, in the words a user reads: a piece's problem, what the
// recovery files can do about the bad pieces, a verification's report.
#pragma once

#include <cstddef>
#include <string>

#include "engine/job/Host.h"

namespace engine {

// The standard text of a piece's problem ("%1 is missing", ...).
std::string ProblemText(const PieceProblem& problem);
// "2 pieces damaged or missing; the recovery data can rebuild them." and
// its other endings.
std::string RecoverySentence(const RecoveryState& state, std::size_t badPieces);
// Why recovery files found were not used, as a line of its own; empty when
// they were, or when there were none.
std::string RecoveryProblemLine(const RecoveryState& state);
// A verification's report: each bad piece, the count, and what the
// recovery files can rebuild.
std::string VerifySummary(const VerifyReport& report);

}  // namespace engine
