#include "engine/ops/Splitter.h"

#include <algorithm>

#include "engine/base/FileErrors.h"
#include "engine/base/Texts.h"

namespace engine::splitting {

// The destination, held open and claimed for this set while the run works
// in it. Another run of the same set ends this one before it writes.
void Splitter::OpenDestination() {
    for (int attempt = 0;; ++attempt) {
        const ErrorCode code = platform_.OpenFolder(job_.destinationFolder, folder_);
        if (code == err::kNone) break;
        folder_.reset();
        if (attempt >= kMaxRetries) Abort(FileError(code, job_.destinationFolder));
        if (const char* text = SystemErrorText(code)) prompts_.Tell(text);
        const Message question{DriveRetryText(job_.destinationFolder, job_.driveType), texts::kDriveCaption,
                               Buttons::OkCancel, Question::Retry};
        if (prompts_.ShowMessage(question) != Answer::Ok) throw RunStopped{};
    }
    const ErrorCode claimed = ClaimSet(*folder_, job_.sourceName, lock_);
    if (claimed == err::kSharingViolation) {
        prompts_.Tell(Fill(texts::kSetInUse, PathOf(job_.sourceName)));
        throw RunStopped{};
    }
    // A folder where no lock file can be made cannot take the pieces either:
    // their creation tells the user why, and may be retried.
}

// The user changes the disk: the claim is given up while the old disk is
// still there to remove its lock file from, and once another disk is in,
// what this run wrote stays on the old one and the run goes on in the same
// folder of the new one. Should the user give up instead, the folder still
// held open leads the clean-up to this run's files on the disk in the
// drive, and to nothing on any other.
void Splitter::SwitchDisk() {
    // A state lists pieces on the disk in the drive, so it goes with it: a
    // split over several disks starts over (what it left on this one is out
    // of reach and cannot be proven again). Should it stay, it lists only
    // pieces that are there, each checked again before it is kept. The
    // deletion is flushed before the disk may leave the drive, so that a
    // disk taken out does not carry the state along in the drive's cache.
    if (resumable_ && folder_->Delete(stateName_) == err::kNone) static_cast<void>(folder_->Flush());
    resumable_ = false;
    stateCovers_ = 0;
    lock_.reset();
    AwaitNewDisk();
    // What stays on the disk taken out is out of reach from now on: should
    // the split stop, the user is told what lies where.
    leftOnDisks_.push_back(std::move(onThisDisk_));
    onThisDisk_.clear();
    outputs_.Forget(*folder_);
    folder_.reset();
    OpenDestination();
}

void Splitter::FlushDestination() {
    if (const ErrorCode code = folder_->Flush()) Abort(FileError(code, job_.destinationFolder));
}

// "Erase contents from removable drive before splitting": everything in the
// destination goes (the start checks made sure the split can then take
// place), as a step of the run that the user sees and can stop.
void Splitter::EraseDestination() { EraseInside(job_.destinationFolder, true); }

void Splitter::EraseInside(const std::string& folder, bool top) {
    std::vector<FolderEntry> entries;
    if (const ErrorCode code = platform_.ListFolder(folder, entries)) Abort(FileError(code, folder));
    const std::string lock = LockFileName(job_.sourceName);
    std::uint64_t done = 0;
    for (const FolderEntry& entry : entries) {
        ctx_.CheckPoint();
        if (top && !entry.isFolder && AsciiUpper(entry.name) == AsciiUpper(lock)) continue;
        const std::string path = FolderPrefix(platform_, folder) + entry.name;
        if (entry.isFolder) EraseInside(path, false);
        const ErrorCode code = entry.isFolder ? platform_.RemoveFolder(path) : platform_.Delete(path);
        if (code != err::kNone && code != err::kFileNotFound) Abort(FileError(code, path));
        if (top) ctx_.progress.ReportEntries(++done, entries.size(), texts::kErasing);
    }
}

// Only a removable disk can be changed. Anywhere else a full disk is a
// failure like any other.
bool Splitter::IsDiskChange(const FileError& failure) {
    if (!removable_) return false;
    if (failure.code == err::kNotReady) {
        prompts_.Tell(texts::kDiskNotInserted);
        return true;
    }
    return failure.cause == FileCause::DiskFull;
}

// A write that stored less than asked without an error code ran out of room.
FileError Splitter::WriteFailure(ErrorCode code, std::uint32_t written) const {
    return code ? FileError(code, PathOf(pieceName_), written)
                : FileError(FileCause::DiskFull, err::kDiskFull, PathOf(pieceName_), written);
}

// The user puts another disk in. OK with the full disk still there (or with
// none) asks again: continuing would replace what that disk already holds.
void Splitter::AwaitNewDisk() {
    volume_ = AwaitOtherDisk(prompts_, platform_, job_.destinationFolder, volume_, volumeKnown_,
                             {texts::kInsertDisk, texts::kSameDisk, texts::kInsertDiskCaption});
    volumeKnown_ = true;
}

// The destination disk is full or gone: keep on it what still fits, make
// that stored, then continue the same piece, under the same name, on the
// disk the user inserts. Repeats until the whole load is stored or the user
// gives up.
void Splitter::ChangeDisk(const unsigned char* data, std::uint32_t size, std::uint32_t stored) {
    for (;;) {
        std::uint64_t room = 0;
        platform_.GetFreeSpace(job_.destinationFolder, room);
        const auto keep = static_cast<std::uint32_t>(std::min<std::uint64_t>(room, size - stored));
        if (keep > 0) {
            std::uint32_t written = 0;
            // A full disk may take less, and says so by `written`; the
            // flush and close below prove what it kept.
            static_cast<void>(piece_->Write(data + stored, keep, written));
            stored += std::min(written, keep);
        }
        // What the full disk keeps must be there: a piece that does not
        // reach the disk, or close cleanly, is not trusted to hold its bytes.
        try {
            if (const ErrorCode code = piece_->Flush()) throw FileError(code, PathOf(pieceName_));
            CloseOrThrow(piece_, PathOf(pieceName_));
        } catch (const FileError& failure) {
            Abort(failure);
        }
        FlushPieces();
        FlushDestination();
        RemoveStale();
        SwitchDisk();
        CreateWithRetry(pieceName_, WithPermissions(kPieceMode), piece_);
        if (stored == size) return;

        std::uint32_t written = 0;
        const ErrorCode code = piece_->Write(data + stored, size - stored, written);
        written = std::min(written, size - stored);
        if (code == err::kNone && written == size - stored) return;
        const FileError failure = WriteFailure(code, written);
        if (!IsDiskChange(failure)) Abort(failure);
        stored += written;
    }
}

// Creation on the destination: the user is told why it failed and may try
// again, for instance after inserting another disk or closing a program.
void Splitter::CreateWithRetry(const std::string& name, const OpenMode& mode, std::unique_ptr<File>& file) {
    for (int attempt = 0;; ++attempt) {
        const ErrorCode code = outputs_.Create(*folder_, name, mode, file);
        if (code == err::kNone) {
            if (removable_) onThisDisk_.push_back(name);
            return;
        }
        if (attempt >= kMaxRetries) Abort(FileError(code, PathOf(name)));
        if (const char* text = SystemErrorText(code)) prompts_.Tell(text);
        const Message question{DriveRetryText(job_.destinationFolder, job_.driveType), texts::kDriveCaption,
                               Buttons::OkCancel, Question::Retry};
        if (prompts_.ShowMessage(question) != Answer::Ok) throw RunStopped{};
    }
}

}  // namespace engine::splitting
