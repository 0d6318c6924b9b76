// The files one run has made, and the claim it holds on the names it works
// with. A run that does not end in success removes exactly the files it made
// (told by their identity, not by their names alone), through the folder it
// opened: no file of an earlier run, no file that merely has a name this run
// would have used, and no file that replaced one of ours meanwhile.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/base/Platform.h"

namespace engine {

// The files a run keeps for itself beside a set: a lock file while it runs
// and temporary files until they are given their names. Both carry a short
// mark of the set's name, so that they fit wherever the set's names fit and
// a later run recognises what a crashed one left of the same set.
std::string LockFileName(const std::string& setName);
// Where a split that did not finish says how far it got (engine/set/
// SplitState.h), so that the next split of the same source continues.
std::string StateFileName(const std::string& setName);
// Where a rejoin that did not finish keeps the part of the file it made,
// and where it says which pieces that part holds.
std::string PartialFileName(const std::string& outputName);
std::string RejoinStateFileName(const std::string& outputName);
bool IsTemporaryOf(const std::string& entry, const std::string& setName);

class RunOutputs {
public:
    explicit RunOutputs(Platform& platform) : platform_(platform) {}
    ~RunOutputs() { Discard(); }
    RunOutputs(const RunOutputs&) = delete;
    RunOutputs& operator=(const RunOutputs&) = delete;

    // Makes `name` anew in `folder`. What had the name (a file of an earlier
    // set, a link) is removed first, so nothing is ever written through a
    // link or into another name of the same file.
    ErrorCode Create(Folder& folder, const std::string& name, const OpenMode& mode, std::unique_ptr<File>& file);
    // A new file under a temporary name of `setName`'s in `folder`, for output
    // that is to appear under its real name only once it is complete.
    // `kind` goes into the name, to tell what the temporary is for.
    ErrorCode CreateTemporary(Folder& folder, const std::string& setName, std::string& name,
                              std::unique_ptr<File>& file, std::uint32_t permissions = 0,
                              const std::string& kind = std::string());
    // Gives a complete temporary file its real name, replacing what had it.
    ErrorCode Publish(Folder& folder, const std::string& temporary, const std::string& name);
    // Whether `name` in `folder` is a file this run made and still holds.
    bool Made(Folder& folder, const std::string& name);

    // The run succeeded: what it made stays.
    void Keep() { made_.clear(); }
    // One file made is complete and stays, whatever happens next.
    void Keep(const Folder& folder, const std::string& name);
    // The files in `folder` are out of reach (another disk is in the drive):
    // they stay where they are.
    void Forget(const Folder& folder);
    // Removes every file made and not kept that still is the file this run
    // made; files must be closed first. The folders must still be open.
    // Returns the paths it could not remove.
    std::vector<std::string> Discard();

private:
    ErrorCode Track(Folder& folder, const std::string& name, std::unique_ptr<File>& file);
    struct Entry {
        Folder* folder;
        std::string name;
        FileId id;
    };
    Platform& platform_;
    std::vector<Entry> made_;
    unsigned serial_ = 0;
};

}  // namespace engine
