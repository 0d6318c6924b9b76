// Making a set's recovery files from its pieces, in one pass over them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/base/Checksum.h"
#include "engine/base/Platform.h"
#include "engine/par2/Compute.h"
#include "engine/par2/Packets.h"
#include "engine/set/RecoveryPlan.h"

namespace engine {

// Reads `size` bytes of piece `index` from `offset`, or throws FileError.
using PieceRead = std::function<void(std::uint32_t index, std::uint64_t offset, unsigned char* data, std::uint32_t size)>;

// Where the recovery files go: made, written at any position, then named
// once complete and on the disk. Failures are thrown as FileError.
class RecoveryFiles {
public:
    virtual ~RecoveryFiles() = default;
    // File 0 is the index, file v the volume v - 1.
    virtual File& Create(std::size_t which, const std::string& name, std::uint64_t size) = 0;
    virtual void Complete(std::size_t which) = 0;
    // The path a failure names for the file of `name`.
    virtual std::string PathOf(const std::string& name) const { return name; }
};

// A piece read for the recovery data that is not what it was when the set
// was made (`recorded`: its checksum differs from the one given), or that
// the two readings found different.
struct PieceNotAsRecorded {
    std::uint32_t index;
    bool recorded = false;
};

// What a reading of the pieces in order finds for their recovery data:
// each piece's MD5 and its slices' checks as the format records them, the
// set's own checksum of the piece, and a quick checksum of each window the
// sums will read, which holds their reading to this one.
struct PieceSums {
    Md5Digest md5{};
    std::vector<par2::SliceCheck> checks;
    std::vector<std::uint64_t> windows;
    Checksum sum;
};

// The window the sums of the plan read in.
std::uint32_t SumsWindow(const RecoveryPlan& plan);

// Reads every piece once, in order, a few at a time: on any thread, through
// a `read` of its own; `progress` may throw to stop.
std::vector<PieceSums> HashPieces(const RecoveryPlan& plan, std::uint64_t size, std::uint32_t pieceCount,
                                  std::uint32_t pieceSize, const PieceRead& read, const par2::ComputeProgress& progress);

// Makes the files of the plan from the pieces: the volumes from
// `firstVolume` on (those before are made already), then the index. The
// pieces are read in order first for their checksums unless `known` has
// them (a split reads them beside its copy), then window by window for the
// sums, each window held to the first reading. With `expected`, every piece
// must have the set's checksum it was recorded with.
// With `beside` (a reading of its own, which may run on another thread)
// and nothing known, the checksums' reading runs on a thread beside the
// sums', and the two are held to each other once both are done.
void MakeRecovery(const RecoveryPlan& plan, const std::string& setName, std::uint64_t size,
                  std::uint32_t pieceCount, std::uint32_t pieceSize, const PieceRead& read,
                  const std::vector<Checksum>* expected, Platform& platform, RecoveryFiles& files,
                  const par2::ComputeProgress& progress, std::size_t firstVolume = 0,
                  const std::vector<PieceSums>* known = nullptr, const PieceRead* beside = nullptr);

}  // namespace engine
