// The recovery files beside a set, found and summed up without reading
// their slices, and what they say of a set that records no piece size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/base/Platform.h"
#include "engine/job/Job.h"
#include "engine/par2/Packets.h"

namespace engine {

// The recovery files of the set, in its folders.
std::vector<std::string> RecoveryFilesOf(Platform& platform, const RejoinJob& job);

// What the recovery files beside a set hold, read without checking every
// slice (as `info` shows it).
struct RecoveryFilesSummary {
    std::uint32_t files = 0;
    std::uint32_t blocks = 0;
    std::uint32_t wholePieces = 0;
    std::uint32_t slicesPerPiece = 1;  // of the widest piece
};
RecoveryFilesSummary SummarizeRecoveryFiles(Platform& platform, const RejoinJob& job);

// The piece size a recovery set's descriptions give a set that records
// none: from any piece but the last its length, from the last what is left
// for the others. 0 when they give none that makes a plan of the set.
std::uint32_t PieceSizeFrom(const par2::RecoverySet& s, const SetInfo& set);

// The piece size of a set that records none, where piece 0 cannot give it
// (missing, or cut): the one that the most pieces present agree with, of
// piece 0's and the recovery files' descriptions. 0 when none fits.
std::uint32_t SettlePieceSize(Platform& platform, const RejoinJob& job);

}  // namespace engine
