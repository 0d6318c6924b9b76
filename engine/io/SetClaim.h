// A set's folder claimed for one run, so that no other run of the same set
// works on it meanwhile.
#pragma once

#include <memory>
#include <string>

#include "engine/base/FileErrors.h"
#include "engine/job/Context.h"
#include "engine/set/PiecePlan.h"
#include "engine/io/RunOutputs.h"
#include "engine/base/Texts.h"

namespace engine {

// Claims a set's names in `folder` for this run: fails with
// kSharingViolation while another run holds them. What a crashed run of the
// same set left (its lock, its temporary files) is taken over and removed.
ErrorCode ClaimSet(Folder& folder, const std::string& setName, std::unique_ptr<Lock>& lock);

// The set's folder, claimed for this run where a lock file can be made
// there. A set on a medium nobody can write to (a CD, a read-only share)
// cannot change under a reader either; a removable set is read disk by disk.
class SetClaim {
public:
    SetClaim(Platform& platform, Prompts& prompts) : platform_(platform), prompts_(prompts) {}

    void Claim(const std::string& folder, const std::string& name) {
        if (platform_.OpenFolder(folder, folder_) != err::kNone) {
            folder_.reset();
            return;
        }
        if (ClaimSet(*folder_, name, lock_) == err::kSharingViolation) {
            prompts_.Tell(Fill(texts::kSetInUse, FolderPrefix(platform_, folder) + name));
            throw RunStopped{};
        }
    }
    Folder* folder() const { return folder_.get(); }

private:
    Platform& platform_;
    Prompts& prompts_;
    std::unique_ptr<Folder> folder_;
    std::unique_ptr<Lock> lock_;
};

}  // namespace engine
