// Where a run's recovery files are written: each made under a temporary
// name of the set, flushed and closed once complete, and given its name
// either then (a split, whose disks may change between two files) or all
// together at the end (protect, which replaces the set's old ones at once).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/Platform.h"
#include "engine/io/RecoveryMaker.h"
#include "engine/io/RunOutputs.h"

namespace engine {

class RecoveryOutputs : public RecoveryFiles {
public:
    enum class Naming { OnComplete, AtTheEnd };
    struct Where {
        // The folder written in, asked anew for each file (a disk change
        // opens another), and the path a name there has in messages.
        std::function<Folder&()> folder;
        std::function<std::string(const std::string& name)> pathOf;
    };
    RecoveryOutputs(RunOutputs& outputs, Where where, std::string setName, Naming naming,
                    std::uint32_t permissions = 0, bool reserve = true);
    ~RecoveryOutputs() override;

    File& Create(std::size_t which, const std::string& name, std::uint64_t size) override;
    void Complete(std::size_t which) override;
    std::string PathOf(const std::string& name) const override { return where_.pathOf(name); }

    // With AtTheEnd: gives every complete file its name; throws FileError.
    // Each named file stays even if a later one fails: it has replaced the
    // old file of its name.
    void PublishAll();
    // What was not complete goes, so that the next attempt starts clean.
    void DropUnfinished();
    // The volumes named so far (file 0 is the index).
    std::size_t volumesDone() const { return volumesDone_; }
    const std::vector<std::string>& names() const { return names_; }

private:
    RunOutputs& outputs_;
    Where where_;
    std::string setName_;
    Naming naming_;
    std::uint32_t permissions_;
    bool reserve_;
    std::vector<std::string> names_, temporaries_;
    std::vector<std::unique_ptr<File>> files_;
    std::size_t volumesDone_ = 0;
};

}  // namespace engine
