// What one run (a split, rejoin, verification, repair, protect or quick
// check) is asked to do, as the start checks have validated it. A run starts from a Job and nothing else: no
// state of an earlier run can steer it, nor its clean-up.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "engine/job/Host.h"
#include "engine/set/PiecePlan.h"
#include "engine/base/Platform.h"
#include "engine/set/RecoveryPlan.h"
#include "engine/set/SplitInfo.h"

namespace engine {

// The settings the engines read.
struct EngineSettings {
    bool eraseRemovableBeforeSplit = false;
    bool removeSplitFilesAfterRejoin = false;
    std::string workingFolder;  // the destination when none is given
};

// What the user entered, as the front end read it from its fields or its
// command line.
struct StartRequest {
    Mode mode = Mode::Split;
    std::string sourceText;       // the file to split, or an info file or piece
    std::string destinationText;  // empty: the working folder
    SizeChoice size;
    // For a set cut across disks that were copied into folders: the folders
    // of the second disk, the third, ..., in order.
    std::vector<std::string> laterFolders;
    // Recovery data to make, as a share of the file (split, protect).
    std::uint32_t recoveryPercent = 0;
    SliceChoice slices;  // the command line's word on the recovery slices
    // One of several files split into one folder: where Go.bat is another
    // set's, this set gets a Go.bat of its own ("Go NAME.bat") unasked.
    bool ownBatch = false;
    // A split stopped earlier is started over without offering to continue.
    bool restart = false;
};

struct SplitJob {
    static constexpr Mode kMode = Mode::Split;
    std::string sourcePath;
    std::string sourceName;
    std::string destinationFolder;
    // The source as the checks saw it: a run refuses a source that is no
    // longer this file in this state.
    FileId sourceId;
    std::uint64_t sourceSize = 0;
    std::int64_t sourceModified = 0;
    std::int64_t sourceChanged = 0;
    std::uint32_t sourcePermissions = 0;
    std::uint32_t pieceSize = 0;
    std::uint32_t pieceCount = 0;
    DriveType driveType = DriveType::Unknown;
    RecoveryPlan recovery;  // empty: none
    std::uint32_t recoveryPercent = 0;  // what the plan was made for
    SliceChoice slices;                 // and of what slices
    bool ownBatch = false;              // as the request asked
    bool restart = false;               // likewise
};

struct RejoinJob {
    static constexpr Mode kMode = Mode::Rejoin;
    std::string infoPath;
    std::string infoFolder;  // where the pieces are, or begin
    // Where a set cut across disks goes on: the next folders in order, or,
    // for pieces on a removable drive, the next disks put in it.
    std::vector<std::string> laterFolders;
    bool asksForDisks = false;
    std::string destinationFolder;
    SetInfo set;
    // What every piece but the last holds: recorded, or measured on piece 0
    // of a set without a trailer (0 until then).
    std::uint32_t pieceSize = 0;
    DriveType driveType = DriveType::Unknown;
    bool restart = false;  // a rejoin stopped earlier is started over unasked
};

// The folders a set's pieces are looked for in, in order: the info file's,
// then the later disks' copies.
inline std::vector<std::string> SetFolders(const RejoinJob& job) {
    std::vector<std::string> folders{job.infoFolder};
    folders.insert(folders.end(), job.laterFolders.begin(), job.laterFolders.end());
    return folders;
}

// A verification reads a set as a rejoin does, into nothing.
struct VerifyJob {
    static constexpr Mode kMode = Mode::Verify;
    RejoinJob set;
};

// A repair reads a set as a verification does, then rebuilds its bad
// pieces in place from the recovery files.
struct RepairJob {
    static constexpr Mode kMode = Mode::Repair;
    RejoinJob set;
};

// What can be told of a set without reading its pieces.
struct QuickCheckJob {
    static constexpr Mode kMode = Mode::QuickCheck;
    RejoinJob set;
};

// Recovery files made for a set that has none, or replacing its own.
struct ProtectJob {
    static constexpr Mode kMode = Mode::Protect;
    RejoinJob set;
    RecoveryPlan recovery;
};

using Job = std::variant<SplitJob, RejoinJob, VerifyJob, RepairJob, ProtectJob, QuickCheckJob>;

inline Mode ModeOf(const Job& job) {
    return std::visit([](const auto& kind) { return std::decay_t<decltype(kind)>::kMode; }, job);
}

}  // namespace engine
