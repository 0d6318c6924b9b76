// The small file a stopped run leaves beside its work (engine/set/
// SplitState.h): read whole or not at all, and replaced only by a whole
// new version, renamed into place once it is on the disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/base/Platform.h"
#include "engine/io/RunOutputs.h"
#include "engine/job/Job.h"
#include "engine/set/SplitState.h"

namespace engine {

enum class StateFound {
    None,      // nothing has the name
    Read,      // `bytes` holds the whole file
    Unusable,  // something has the name that is no state file to read
};

// Reads `name` in `folder`: an ordinary file of at most `most` bytes.
StateFound ReadStateFile(Folder& folder, const std::string& name, std::size_t most, std::string& bytes);

// Saves `bytes` as `name` through a temporary of `setName`'s, flushed, and
// flushes the folder once it has the name. False when any step failed;
// the version that was there then stays, or nothing does.
bool SaveStateFile(RunOutputs& outputs, Folder& folder, const std::string& setName, const std::string& name,
                   const std::string& bytes, std::uint32_t permissions);

// Whether `state` is of this very split (the source in the same state, the
// same plan), or of a rejoin of this very set (its plan, and a first run of
// the checksums it records).
bool IsStateOf(const SplitState& state, const SplitJob& job);
bool IsStateOf(const SplitState& state, const RejoinJob& job);

// The room a stopped run of the job holds in its destination (the pieces
// its state lists; the part of the file it made), which the run needs not
// again: it keeps those files, or removes each before making it anew.
std::uint64_t HeldByStoppedRun(Platform& platform, const SplitJob& job);
std::uint64_t HeldByStoppedRun(Platform& platform, const RejoinJob& job);

}  // namespace engine
