// Recovery files beside a set: PAR2 2.0 over the pieces as files, one slice
// per piece, so that each recovery slice rebuilds one whole lost piece and
// the arithmetic is the least the format allows (it grows with the number
// of slices). NAME.par2 says what the pieces are; NAME.volA+B.par2 hold the
// recovery slices, in files of doubling sizes.
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
    std::uint32_t inputSlices = 0;     // the pieces
    std::uint32_t recoverySlices = 0;  // = how many whole pieces can be rebuilt
    std::string indexName;
    std::uint64_t indexSize = 0;
    std::vector<RecoveryVolume> volumes;

    bool empty() const { return recoverySlices == 0; }
    std::uint64_t TotalSize() const;
    // The longest name of the files, for the check against the name limit.
    std::string LongestName() const;
};

inline constexpr std::uint32_t kMaxRecoveryPercent = 100;

// "The recovery data can rebuild up to n lost or damaged pieces."
std::string RebuildableText(std::uint32_t pieces);
// 512 bytes, 2.9 KB, 14.0 MB, 3.2 GB (1,000 bytes to the KB, as the piece
// sizes count).
std::string ReadableSize(std::uint64_t bytes);

// The recovery files for `percent` % of a set's size: as many recovery
// slices as that many pieces' worth, rounded up, at least one. The plan is
// empty for 0 %. Returns why a set cannot have them (too many pieces), or
// an empty text.
std::string PlanRecovery(const std::string& setName, std::uint64_t size, std::uint32_t pieceCount,
                         std::uint32_t pieceSize, std::uint32_t percent, RecoveryPlan& plan);

}  // namespace engine
