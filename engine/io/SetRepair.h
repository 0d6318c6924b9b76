// Rebuilding a set's lost or damaged pieces from its recovery files (ours
// or any PAR2 program's over the pieces): which slices of which pieces are
// intact, whether the recovery slices found can make up the rest, and the
// rebuild itself, written wherever the caller wants the pieces' bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/io/PartsReader.h"
#include "engine/io/RecoveryFiles.h"
#include "engine/job/Host.h"
#include "engine/job/Job.h"
#include "engine/base/Md5.h"
#include "engine/par2/Compute.h"

namespace engine {

// A rebuilt byte that would lie outside its piece: refused, never written.
struct RebuiltOutOfRange {
    std::uint32_t piece;
};

// "The piece rebuilt for %1 does not match ...": the set's checksums, or
// for a set without them, the recovery files' record.
const char* RebuiltNotExactText(const SetInfo& set);

// Takes the rebuilt pieces' bytes, every byte of every piece to rebuild.
class RebuildTarget {
public:
    virtual ~RebuildTarget() = default;
    virtual void Write(std::uint32_t piece, std::uint64_t offset, const unsigned char* data, std::uint32_t size) = 0;
};

class SetRepair {
public:
    SetRepair(const RejoinJob& job, Platform& platform, std::function<void()> checkpoint,
              par2::ComputeProgress progress);
    ~SetRepair();

    // Reads the recovery files; false when none describes this set.
    bool Load();
    // Judges the pieces. `bad` marks those the reading found wrong; `parts`
    // says where the others lie; `proven` that their checksums were compared
    // (otherwise their slices are checked here); `pieceSize` what every
    // piece but the last holds (0: unknown). A recovery set is used only
    // when it agrees with the info file and the pieces present confirm it;
    // a piece proven by its checksum is intact whatever it says, and one of
    // a set without checksums is damaged only on its word when the other
    // pieces agree with it.
    RecoveryState Assess(const std::vector<bool>& bad, const PieceParts& parts, bool proven,
                         std::uint32_t pieceSize);
    // Writes every byte of each piece to rebuild to `target`, each only
    // within the piece's length. Only after an Assess that found the
    // recovery data enough.
    void Rebuild(RebuildTarget& target);
    // The whole piece's MD5 as the recovery data records it.
    std::optional<Md5Digest> RecordedMd5(std::uint32_t piece) const;
    // The pieces to rebuild: those marked bad that the recovery files
    // describe, and any whose slices the recovery files found damaged.
    const std::vector<std::uint32_t>& toRebuild() const { return toWrite_; }
    // The piece size the recovery set chosen agrees with (0 before).
    std::uint32_t pieceSize() const;

private:
    struct State;
    const RejoinJob& job_;
    Platform& platform_;
    std::function<void()> checkpoint_;
    par2::ComputeProgress progress_;
    std::unique_ptr<State> state_;
    std::vector<std::uint32_t> toWrite_;
};

}  // namespace engine
