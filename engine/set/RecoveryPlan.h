// Recovery files beside a set: PAR2 2.0 over the pieces as files, each piece
// a whole number of slices, so that the recovery slices rebuild whole lost
// pieces and damage scattered over many. Every recovery slice costs a pass
// of arithmetic over the whole set, so the slices are as few as still mend
// kScatteredDamage damaged places. NAME.par2 says what the pieces are;
// NAME.volA+B.par2 hold the recovery slices, in files of doubling sizes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>


namespace engine {

struct RecoveryVolume {
    std::string name;
    std::uint32_t first = 0;  // the exponent of its first slice
    std::uint32_t count = 0;
    std::uint64_t size = 0;
};

struct RecoveryPlan {
    std::uint64_t sliceSize = 0;
    std::uint32_t slicesPerPiece = 0;  // of every piece but the last
    std::uint32_t inputSlices = 0;     // of all the pieces
    std::uint32_t recoverySlices = 0;  // at least one whole piece's
    std::string indexName;
    std::uint64_t indexSize = 0;
    std::vector<RecoveryVolume> volumes;

    bool empty() const { return recoverySlices == 0; }
    // How many whole lost pieces the recovery slices rebuild.
    std::uint32_t WholePieces() const { return slicesPerPiece ? recoverySlices / slicesPerPiece : 0; }
    std::uint64_t TotalSize() const;
    // The longest name of the files, for the check against the name limit.
    std::string LongestName() const;
};

inline constexpr std::uint32_t kMaxRecoveryPercent = 100;
// Where the percentage allows, the recovery data mends at least this many
// damaged places anywhere in the set (a changed byte in each of 20 pieces).
inline constexpr std::uint32_t kScatteredDamage = 20;
// Slices the program chooses are no smaller (a recovery slice's packet
// takes 68 bytes of its own).
inline constexpr std::uint64_t kMinSliceSize = 4096;
// Other PAR2 tools read slices under 1 GiB, in multiples of 4 bytes.
inline constexpr std::uint64_t kMaxSliceSize = (std::uint64_t{1} << 30) - 4;

// The user's word on the slices: a count for the whole set, or a size; 0
// leaves them to the program.
struct SliceChoice {
    std::uint32_t count = 0;
    std::uint64_t size = 0;
};

// "The recovery data can rebuild up to n lost or damaged pieces."
std::string RebuildableText(std::uint32_t pieces);
// 512 bytes, 2.9 KB, 14.0 MB, 3.2 GB (1,000 bytes to the KB, as the piece
// sizes count).
std::string ReadableSize(std::uint64_t bytes);

// The recovery files for `percent` % of a set's size: as many recovery
// slices as that share of the slices, rounded up, and at least a whole
// piece's. The plan is empty for 0 %. Returns why a set cannot have them
// (too many pieces or slices, a slice size no tool reads), or an empty text.
std::string PlanRecovery(const std::string& setName, std::uint64_t size, std::uint32_t pieceCount,
                         std::uint32_t pieceSize, std::uint32_t percent, RecoveryPlan& plan,
                         const SliceChoice& choice = {});

}  // namespace engine
