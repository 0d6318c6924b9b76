// The one loop that asks for another disk in a drive, for a split that
// fills disks and for a rejoin that reads them: asked again while the drive
// is empty, holds the same disk, or holds one the caller cannot use; given
// up after so many answers that nobody is changing disks.
#pragma once

#include <functional>
#include <string>

#include "engine/base/Platform.h"
#include "engine/job/Host.h"

namespace engine {

inline constexpr int kMaxDiskPrompts = 100;

struct DiskPromptTexts {
    const char* insert;   // the question, and again for an empty drive
    const char* same;     // again with the disk of before still in
    const char* caption;
};

// Returns the identity of the disk now in the drive of `folder`, which is
// not `previous` (when `previousKnown`) and which `usable` accepts: an empty
// text, or the question to ask again with. Throws RunStopped when the user
// stops or the answers run out.
std::string AwaitOtherDisk(Prompts& prompts, Platform& platform, const std::string& folder,
                           const std::string& previous, bool previousKnown, const DiskPromptTexts& texts,
                           const std::function<std::string()>& usable = {});

}  // namespace engine
