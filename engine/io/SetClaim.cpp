#include "engine/io/SetClaim.h"

#include <vector>

namespace engine {

ErrorCode ClaimSet(Folder& folder, const std::string& setName, std::unique_ptr<Lock>& lock) {
    if (const ErrorCode code = folder.Lock(LockFileName(setName), lock)) return code;
    // While we hold the lock no other run of this set exists: a temporary
    // file of it is what a crash or a kill left, with its room still taken.
    std::vector<FolderEntry> entries;
    if (folder.List(entries) == err::kNone) {
        for (const FolderEntry& entry : entries) {
            // One that stays is a crashed run's still, for the next run to take.
            if (!entry.isFolder && IsTemporaryOf(entry.name, setName)) static_cast<void>(folder.Delete(entry.name));
        }
    }
    return err::kNone;
}

}  // namespace engine
