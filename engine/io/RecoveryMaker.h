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
};

// A piece read for the recovery data that is not what it was when the set
// was made (its checksum differs from the one given).
struct PieceNotAsRecorded {
    std::uint32_t index;
};

// Makes the files of the plan from the pieces, in one pass over them: the
// volumes from `firstVolume` on (those before are made already), then the
// index. With `expected`, every piece is checked against its checksum as it
// is read.
void MakeRecovery(const RecoveryPlan& plan, const std::string& setName, std::uint64_t size,
                  std::uint32_t pieceCount, std::uint32_t pieceSize, const PieceRead& read,
                  const std::vector<Checksum>* expected, Platform& platform, RecoveryFiles& files,
                  const par2::ComputeProgress& progress, std::size_t firstVolume = 0);

}  // namespace engine
