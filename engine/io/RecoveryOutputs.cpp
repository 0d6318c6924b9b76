#include "engine/io/RecoveryOutputs.h"

#include <utility>

#include "engine/base/FileErrors.h"

namespace engine {

RecoveryOutputs::RecoveryOutputs(RunOutputs& outputs, Where where, std::string setName, Naming naming,
                                 std::uint32_t permissions, bool reserve)
    : outputs_(outputs),
      where_(std::move(where)),
      setName_(std::move(setName)),
      naming_(naming),
      permissions_(permissions),
      reserve_(reserve) {}

RecoveryOutputs::~RecoveryOutputs() {
    for (auto& file : files_) CloseQuietly(file);
}

File& RecoveryOutputs::Create(std::size_t which, const std::string& name, std::uint64_t size) {
    if (which >= files_.size()) {
        files_.resize(which + 1);
        names_.resize(which + 1);
        temporaries_.resize(which + 1);
    }
    names_[which] = name;
    if (const ErrorCode code =
            outputs_.CreateTemporary(where_.folder(), setName_, temporaries_[which], files_[which], permissions_)) {
        temporaries_[which].clear();
        throw FileError(code, where_.pathOf(name));
    }
    if (reserve_) static_cast<void>(files_[which]->Reserve(size));  // room asked ahead; the writes say if it lacks
    return *files_[which];
}

void RecoveryOutputs::Complete(std::size_t which) {
    const std::string path = where_.pathOf(names_[which]);
    if (const ErrorCode code = files_[which]->Flush()) throw FileError(code, path);
    CloseOrThrow(files_[which], path);
    if (naming_ == Naming::AtTheEnd) return;
    if (const ErrorCode code = outputs_.Publish(where_.folder(), temporaries_[which], names_[which])) {
        throw FileError(code, path);
    }
    temporaries_[which].clear();
    if (which > 0) ++volumesDone_;
}

void RecoveryOutputs::PublishAll() {
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (temporaries_[i].empty()) continue;
        if (const ErrorCode code = outputs_.Publish(where_.folder(), temporaries_[i], names_[i])) {
            throw FileError(code, where_.pathOf(names_[i]));
        }
        temporaries_[i].clear();
        // It has replaced the file of its name, which is gone: complete and
        // flushed, it stays whatever happens to the ones after it, so that
        // a failure half-way leaves the set as much recovery data as before.
        outputs_.Keep(where_.folder(), names_[i]);
    }
}

void RecoveryOutputs::DropUnfinished() {
    for (std::size_t i = 0; i < files_.size(); ++i) {
        CloseQuietly(files_[i]);
        // One that stays is named as a temporary file of the set, which its
        // next run removes.
        if (!temporaries_[i].empty()) static_cast<void>(where_.folder().Delete(temporaries_[i]));
        temporaries_[i].clear();
    }
}

}  // namespace engine
