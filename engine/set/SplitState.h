// What a split that did not finish leaves beside its pieces, so that the
// next split of the same source to the same place continues after the
// pieces it had written instead of starting again from the first byte.
// Everything it says is proven before it is used: the source must be the
// same file in the same state, and each piece must still have the
// checksum recorded here. A state file that is damaged, of another
// version, of another source or of another plan is no state at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/base/Checksum.h"
#include "engine/base/Platform.h"

namespace engine {

struct SplitState {
    std::string sourceName;
    std::uint64_t sourceSize = 0;
    FileId sourceId;
    std::int64_t sourceModified = 0;
    std::int64_t sourceChanged = 0;
    std::uint32_t pieceSize = 0;
    std::uint32_t pieceCount = 0;
    // The pieces written so far, in order, each with its checksum.
    std::vector<Checksum> pieces;
};

// The most a state file can be: a checksum for every piece a set has.
std::size_t MaxSplitStateBytes();

// The length of the encoding of a state with a name of `nameLength` bytes
// and `pieces` pieces, without making it.
std::size_t SplitStateBytes(std::size_t nameLength, std::size_t pieces);

std::string EncodeSplitState(const SplitState& state);
// False for anything that is not a whole state file of this version.
bool DecodeSplitState(const std::string& bytes, SplitState& state);

}  // namespace engine
