// The files one run has made. A run that does not end in success removes
// exactly these, and nothing else: no file of an earlier run, no file that
// merely has a name this run would have used.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform.h"

namespace engine {

class RunOutputs {
public:
    explicit RunOutputs(Platform& platform) : platform_(platform) {}
    ~RunOutputs() { Discard(); }
    RunOutputs(const RunOutputs&) = delete;
    RunOutputs& operator=(const RunOutputs&) = delete;

    // Makes `path` anew for writing. What had the name (a file of an earlier
    // set, a link) is removed first, so nothing is ever written through a
    // link or into another name of the same file.
    ErrorCode Create(const std::string& path, const OpenMode& mode, std::unique_ptr<File>& file);
    // A new file under a name of its own in `folder`, for output that is to
    // appear under its real name only once it is complete.
    ErrorCode CreateTemporary(const std::string& folder, std::string& path, std::unique_ptr<File>& file);
    // Gives a complete temporary file its real name, replacing what had it.
    ErrorCode Publish(const std::string& temporary, const std::string& path);

    // The run succeeded: what it made stays.
    void Keep() { made_.clear(); }
    // The files are out of reach (another disk is in the drive): they stay.
    void Forget() { made_.clear(); }
    // Removes every file made and not kept; files must be closed first.
    void Discard();

    const std::vector<std::string>& made() const { return made_; }

private:
    Platform& platform_;
    std::vector<std::string> made_;
    unsigned serial_ = 0;
};

}  // namespace engine
