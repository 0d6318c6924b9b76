// Reads a set's pieces in order, wherever they lie: in the info file's
// folder, and for a set cut across disks, in the next folders given (copies
// of the later disks) or on the next disks put in the drive. Checks every
// piece's length by one rule and, where the set records them, every piece's
// checksum and the whole file's. The rejoin writes what it reads; a
// verification reads into nothing; the start checks walk the same way
// without reading.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/base/Checksum.h"
#include "engine/job/Job.h"
#include "engine/job/Context.h"
#include "engine/io/SetRepair.h"
#include "engine/base/TransferBuffer.h"
#include "engine/job/Report.h"

namespace engine {


// The length the pieces of a set must have: the recorded piece size, or for
// a set that records none, what piece 0 holds once that makes a plan the
// recorded size and count agree with. Empty while piece 0 is not measured.
std::optional<std::uint64_t> ExpectedLength(const SetInfo& set, std::uint32_t pieceSize, std::uint32_t index);

struct PartRead {
    std::string folder;
    std::string name;
    std::uint32_t index = 0;
    std::uint64_t length = 0;
};

class PieceReader {
public:
    // Where the bytes of the pieces go, in order: piece `index` from `offset`.
    using Sink = std::function<void(std::uint32_t index, std::uint64_t offset, const unsigned char* data,
                                    std::uint32_t size)>;
    // Told of each problem as soon as it is known; a rejoin ends there.
    using OnProblem = std::function<void(const PieceProblem& problem)>;
    // Told of each piece read whole and found as recorded, while every
    // piece before it was too.
    using OnPieceGood = std::function<void(std::uint32_t index)>;

    // A reader that reads, reports progress and asks for disks.
    PieceReader(const RejoinJob& job, OperationContext& ctx);
    // A walk over the names and lengths only, for the start checks: it
    // stops where the next disk would have to be asked for.
    PieceReader(const RejoinJob& job, Platform& platform);
    ~PieceReader();

    // Reads every piece into `sink` (may be empty), then checks the whole
    // file's checksum. The pieces read, by location, for their removal.
    void ReadAll(const Sink& sink, const OnProblem& onProblem, const OnPieceGood& onPieceGood = nullptr);

    // The first `pieces` pieces are had already (a rejoin that continues),
    // as recorded, and `whole` has taken in their bytes: they are only
    // found and measured, not read. Needs the checksums known.
    void ContinueAfter(std::uint32_t pieces, ChecksumState whole);

    // The pieces are only found and measured, none read: what "Remove split
    // files after rejoin" and a repair need to know of them, for a run that
    // reads them on its own (protect, whose reading checks each).
    void MeasureOnly() {
        had_ = job_.set.pieceCount;
        measureOnly_ = true;
    }

    // The run's progress counts the pieces' bytes against `total` (more than
    // the set's size when a phase follows the reading).
    void CountInto(std::uint64_t total) { progressTotal_ = total; }

    // Whether the walk of the start checks stopped for the next disk.
    bool needsAnotherDisk() const { return needsDisk_; }
    // The set's piece size: recorded, or measured on piece 0 (0 when not).
    std::uint32_t pieceSize() const { return pieceSize_; }
    // Whether the pieces' checksums were known and compared.
    bool checksums() const { return checksumsKnown_; }
    // Every part read whole, in order: what "Remove split files after
    // rejoin" removes, and where a repair finds the pieces again.
    const std::vector<PartRead>& partsRead() const { return partsRead_; }
    // The parts of each piece read whole (empty for a piece not read so).
    PieceParts PartsByPiece() const;
    // The folder a piece was found in (its first part's); empty if nowhere.
    std::string FolderOf(std::uint32_t index) const {
        return index < foundIn_.size() ? foundIn_[index] : std::string();
    }
    // Whether the pieces came from more than one disk in the drive.
    bool changedDisks() const { return disksChanged_ > 0; }

private:
    struct Location;
    struct StopWalk {};

    std::optional<PieceProblem> ReadPiece(std::uint32_t index, const Sink& sink);
    std::optional<PieceProblem> ReadPart(std::uint32_t index, const std::string& name, std::uint64_t length,
                                         std::uint64_t offset, const Sink& sink);
    std::string PathOf(const std::string& name) const;
    bool Present(const std::string& name, FileStatus& status);
    bool AnyLaterPiece(std::uint32_t index);
    bool CanAdvance() const;
    // `rest`: for the rest of a piece cut across disks.
    void Advance(std::uint32_t index, bool rest = false);
    void KeepFromDisk(std::uint32_t index, const std::string& name, std::uint64_t length);
    void OpenLocation();
    void AdoptChecksumsHere();
    void Judge(std::uint32_t index);

    const RejoinJob& job_;
    Platform& platform_;
    OperationContext* ctx_;  // null for the walk of the start checks
    bool dry_;
    std::vector<std::string> folders_;
    std::size_t at_ = 0;
    std::unique_ptr<Folder> folder_;
    std::vector<std::uint64_t> present_;  // piece indexes at the location
    std::string volume_;
    int disksChanged_ = 0;
    bool needsDisk_ = false;

    std::uint32_t pieceSize_ = 0;
    bool checksumsKnown_ = false;
    std::vector<Checksum> expected_;
    Checksum expectedWhole_;
    std::vector<Checksum> computed_;
    std::vector<bool> readWhole_;  // every part read, its checksum computed
    std::vector<bool> judged_;
    std::vector<std::string> damagedPath_;  // where each piece began
    std::vector<std::string> foundIn_;
    bool allGood_ = true;
    std::uint64_t done_ = 0;
    std::uint32_t had_ = 0;  // pieces not to read (ContinueAfter, MeasureOnly)
    bool measureOnly_ = false;
    std::uint64_t progressTotal_ = 0;  // 0: the set's size
    ChecksumState piece_;
    ChecksumState whole_;
    TransferBuffer buffer_;
    OnProblem onProblem_;
    std::vector<PartRead> partsRead_;
};

}  // namespace engine
