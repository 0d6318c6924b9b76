#include "engine/ops/Split.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/base/Checksum.h"
#include "engine/base/FileErrors.h"
#include "engine/base/Names.h"
#include "engine/par2/Packets.h"
#include "engine/set/PiecePlan.h"
#include "engine/set/RecoveryPlan.h"
#include "engine/set/RejoinBatch.h"
#include "engine/io/RunOutputs.h"
#include "engine/set/SplitInfo.h"
#include "engine/base/Texts.h"
#include "engine/base/TransferBuffer.h"

namespace engine {

namespace {

constexpr OpenMode kSourceMode{Access::Read, Share::Read, Creation::OpenExisting, true};
constexpr OpenMode kPieceMode{Access::Write, Share::ReadWrite, Creation::CreateNew, true};
constexpr OpenMode kSmallFileMode{Access::ReadWrite, Share::None, Creation::CreateNew, false};
// A creation the user retries this often without success is given up.
constexpr int kMaxRetries = 100;
// And so is a disk prompt answered this often without a usable new disk,
// or a question about Go.bat answered with names that cannot be used.
constexpr int kMaxDiskPrompts = 100;
constexpr int kMaxBatchQuestions = 100;
// A Go.bat names its set's first piece within its first line.
constexpr std::uint32_t kBatchProbe = 4096;

class Splitter {
public:
    Splitter(const SplitJob& job, OperationContext& ctx)
        : job_(job), ctx_(ctx), platform_(ctx.platform), prompts_(ctx.prompts), outputs_(ctx.platform) {}

    Outcome Run();

private:
    [[noreturn]] void Abort(const FileError& failure);
    std::string PathOf(const std::string& name) const { return FolderPrefix(platform_, job_.destinationFolder) + name; }
    void OpenDestination();
    void SwitchDisk();
    void FlushDestination();
    void EraseDestination();
    void EraseInside(const std::string& folder, bool top);
    bool RejoinsThisSet(const std::string& name);
    std::string ExistingSetFile();
    void ConfirmReplacing();
    bool Rename(const std::string& chosen);
    void ChooseBatchName();
    void CreateWithRetry(const std::string& name, const OpenMode& mode, std::unique_ptr<File>& file);
    void ClearOldSet();
    void RemoveStale();
    void WriteWhole(const std::string& name, const std::string& bytes);
    void Publish(const std::string& name, const std::string& bytes);
    std::string InfoBytes(bool checksums) const;
    std::string BatchBytes() const;
    std::uint32_t MoveLoad(std::uint32_t size);
    void WriteSlice(const unsigned char* data, std::uint32_t size);
    FileError WriteFailure(ErrorCode code, std::uint32_t written) const;
    bool IsDiskChange(const FileError& failure);
    void ChangeDisk(const unsigned char* data, std::uint32_t size, std::uint32_t stored);
    void AwaitNewDisk();
    void CopyPiece(std::uint32_t index);
    void FlushPieces();
    void MakeRecoveryFiles();
    void ReadSource(std::uint64_t at, unsigned char* data, std::uint32_t size);
    void CheckSourceUnchanged();
    void CloseAll();
    // What the run's progress counts: the pieces' bytes, and as many again
    // for the recovery data (which reads them all once more).
    std::uint64_t RunWork() const { return job_.recovery.empty() ? job_.sourceSize : 2 * job_.sourceSize; }
    OpenMode WithPermissions(OpenMode mode) const {
        mode.permissions = permissions_;
        return mode;
    }

    // A copy: the user may choose another name for the set at the start.
    SplitJob job_;
    OperationContext& ctx_;
    Platform& platform_;
    Prompts& prompts_;
    // In this order: the files close before the outputs are removed, and
    // those go while the set is still claimed and its folder still open.
    std::unique_ptr<Folder> folder_;
    std::unique_ptr<Lock> lock_;
    RunOutputs outputs_;
    std::unique_ptr<File> source_;
    std::unique_ptr<File> piece_;

    bool removable_ = false;
    std::string volume_;
    bool volumeKnown_ = false;
    std::uint32_t bufferSize_ = 0;
    TransferBuffer buffer_;
    std::uint64_t processed_ = 0;
    FileStatus sourceAtStart_;
    std::uint32_t permissions_ = 0;
    std::string infoName_;
    std::string batchName_ = "Go.bat";
    std::string pieceName_;
    ChecksumState whole_;
    ChecksumState pieceSum_;
    std::vector<Checksum> sums_;
    // The names this run made on each disk taken out of the drive, and on
    // the one in it.
    std::vector<std::vector<std::string>> leftOnDisks_;
    std::vector<std::string> onThisDisk_;
    // Pieces written and closed, not yet flushed: they are flushed together,
    // once the disk has had time to take most of them.
    std::vector<std::pair<std::string, FileId>> unflushed_;
};

[[noreturn]] void Splitter::Abort(const FileError& failure) {
    prompts_.Tell(StandardFileText(failure.cause, failure.path));
    throw RunFailed{};
}

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
        if (top) ctx_.progress.Report(++done, entries.size(), texts::kErasing);
    }
}

bool Splitter::RejoinsThisSet(const std::string& name) {
    std::unique_ptr<File> file;
    if (folder_->Open(name, {Access::Read, Share::ReadWrite, Creation::OpenExisting, false}, file) != err::kNone) {
        return false;
    }
    std::string head(kBatchProbe, '\0');
    std::uint32_t got = 0;
    const ErrorCode read = file->Read(head.data(), kBatchProbe, got);
    file->Close();
    head.resize(got);
    return read == err::kNone && BatchRejoins(platform_, head, job_.sourceName);
}

// A file of a set of this name in the destination (its info file first,
// else a piece, else a recovery file), or an empty name.
std::string Splitter::ExistingSetFile() {
    std::vector<FolderEntry> entries;
    if (folder_->List(entries) != err::kNone) return std::string();
    const bool exact = platform_.CaseSensitiveNames();
    std::string piece, recovery;
    for (const FolderEntry& entry : entries) {
        if (entry.isFolder) continue;
        if (exact ? entry.name == infoName_ : AsciiUpper(entry.name) == AsciiUpper(infoName_)) return entry.name;
        if (piece.empty() && IsPieceOf(entry.name, job_.sourceName, exact)) piece = entry.name;
        if (recovery.empty() && par2::IsRecoveryFileOf(entry.name, job_.sourceName, exact)) recovery = entry.name;
    }
    return piece.empty() ? recovery : piece;
}

// A set of this name already in the destination may be another file's
// (pieces someone sent, whose original is elsewhere): it is replaced only
// when the user says so, or the new set takes another name beside it.
void Splitter::ConfirmReplacing() {
    for (int asked = 0;; ++asked) {
        const std::string existing = ExistingSetFile();
        if (existing.empty()) return;
        if (asked >= kMaxBatchQuestions) throw RunStopped{};
        std::string path = PathOf(existing);
        const FileExistsAnswer answer = prompts_.AskFileExists(path);
        if (answer == FileExistsAnswer::Stop) throw RunStopped{};
        if (answer == FileExistsAnswer::Overwrite) return;
        if (!Rename(path)) prompts_.Tell(texts::kSetNameBesidePieces);
    }
}

// The set takes the name chosen (given as the set's name, its info file's
// or a piece's) in the same folder; false when that cannot be.
bool Splitter::Rename(const std::string& chosen) {
    if (!SameFile(platform_, FolderPart(platform_, chosen), job_.destinationFolder)) return false;
    std::string name = FileNamePart(platform_, chosen);
    if (EndsWithNoCase(name, ".sio") && name.size() > 4) name.resize(name.size() - 4);
    if (EndsWithNoCase(name, ".spl")) {
        const std::string info = InfoFileForPiece(name, std::string(1, platform_.Separator()));
        if (!info.empty()) name = info.substr(0, info.size() - 4);
    }
    if (!NameProblem(name).empty() || platform_.NameTooLong(PieceFileName(name, job_.pieceCount - 1)) ||
        platform_.NameTooLong(name + ".sio")) {
        return false;
    }
    RecoveryPlan plan;
    if (!PlanRecovery(name, job_.sourceSize, job_.pieceCount, job_.pieceSize, job_.recoveryPercent, plan).empty() ||
        (!plan.empty() && platform_.NameTooLong(plan.LongestName()))) {
        return false;
    }
    // No name of the new set may be the source itself.
    const auto isSource = [&](const std::string& n) { return SameFile(platform_, PathOf(n), job_.sourcePath); };
    if (isSource(name + ".sio")) return false;
    for (std::uint32_t i = 0; i < job_.pieceCount; ++i) {
        if (isSource(PieceFileName(name, i))) return false;
    }
    std::unique_ptr<Lock> claim;
    const ErrorCode claimed = ClaimSet(*folder_, name, claim);
    if (claimed == err::kSharingViolation) {
        prompts_.Tell(Fill(texts::kSetInUse, PathOf(name)));
        throw RunStopped{};
    }
    lock_ = std::move(claim);
    job_.sourceName = name;
    job_.recovery = plan;
    infoName_ = name + ".sio";
    return true;
}

// A Go.bat that rejoins this set is this set's own and is replaced silently;
// any other is the user's, and is asked about like any file in the way.
void Splitter::ChooseBatchName() {
    for (int asked = 0;; ++asked) {
        FileStatus status;
        if (folder_->Status(batchName_, status) != err::kNone || status.kind == FileKind::Missing) return;
        if (status.kind == FileKind::Regular && RejoinsThisSet(batchName_)) return;
        if (asked >= kMaxBatchQuestions) throw RunStopped{};
        std::string path = PathOf(batchName_);
        const FileExistsAnswer answer = prompts_.AskFileExists(path);
        if (answer == FileExistsAnswer::Stop) throw RunStopped{};
        if (answer == FileExistsAnswer::Overwrite) {
            if (status.kind == FileKind::Folder) Abort(FileError(FileCause::AccessDenied, err::kAccessDenied, path));
            return;
        }
        // Go.bat works only beside the pieces: a new name, not a new place.
        const std::string name = FileNamePart(platform_, path);
        if (!SameFile(platform_, FolderPart(platform_, path), job_.destinationFolder) || !NameProblem(name).empty()) {
            prompts_.Tell(texts::kBatchBesidePieces);
            continue;
        }
        batchName_ = name;
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

// Before the first piece is overwritten, the older set of the same name
// stops looking complete: its info file goes, and Go.bat if it rejoins it,
// and that is on the disk before any piece changes. A split cut short at any
// point then leaves nothing that a rejoin accepts.
void Splitter::ClearOldSet() {
    bool removed = false;
    FileStatus status;
    if (folder_->Status(infoName_, status) == err::kNone && (status.kind != FileKind::Missing || status.link)) {
        const ErrorCode code = folder_->Delete(infoName_);
        if (code != err::kNone && code != err::kFileNotFound) Abort(FileError(code, PathOf(infoName_)));
        removed = true;
    }
    if (RejoinsThisSet(batchName_)) {
        const ErrorCode code = folder_->Delete(batchName_);
        if (code != err::kNone && code != err::kFileNotFound) Abort(FileError(code, PathOf(batchName_)));
        removed = true;
    }
    if (removed) FlushDestination();
}

// What an older set of the same name leaves beside the new one (higher
// piece numbers, an info file on a later disk) goes once the new set is on
// this disk: nothing this run made, and nothing of other names.
void Splitter::RemoveStale() {
    std::vector<FolderEntry> entries;
    if (folder_->List(entries) != err::kNone) return;
    const bool exact = platform_.CaseSensitiveNames();
    for (const FolderEntry& entry : entries) {
        if (entry.isFolder) continue;
        const bool ours = IsPieceOf(entry.name, job_.sourceName, exact) ||
                          par2::IsRecoveryFileOf(entry.name, job_.sourceName, exact) ||
                          (exact ? entry.name == infoName_ : AsciiUpper(entry.name) == AsciiUpper(infoName_));
        if (!ours || outputs_.Made(*folder_, entry.name)) continue;
        const ErrorCode code = folder_->Delete(entry.name);
        if (code != err::kNone && code != err::kFileNotFound) Abort(FileError(code, PathOf(entry.name)));
    }
}

std::string Splitter::InfoBytes(bool checksums) const {
    SetInfo set = PlannedSet(job_);
    set.hasChecksums = checksums;
    if (checksums) {
        set.whole = whole_.Digest();
        set.pieces = sums_;
    }
    const std::vector<unsigned char> bytes = EncodeInfoFile(set, platform_);
    return std::string(bytes.begin(), bytes.end());
}

std::string Splitter::BatchBytes() const {
    return EncodeBatch(platform_, RejoinBatchText(job_.sourceName, job_.pieceCount));
}

// A small file written in place, on the first disk of a removable split.
void Splitter::WriteWhole(const std::string& name, const std::string& bytes) {
    std::unique_ptr<File> file;
    CreateWithRetry(name, WithPermissions(kSmallFileMode), file);
    try {
        WriteOrThrow(*file, PathOf(name), bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        if (const ErrorCode code = file->Flush()) throw FileError(code, PathOf(name));
        CloseOrThrow(file, PathOf(name));
    } catch (const FileError& failure) {
        Abort(failure);
    }
}

// A small file that appears under its name only complete and on the disk.
// On a removable disk that is full it goes to the next disk.
void Splitter::Publish(const std::string& name, const std::string& bytes) {
    for (int attempt = 0;; ++attempt) {
        std::string temporary;
        std::unique_ptr<File> file;
        ErrorCode code = outputs_.CreateTemporary(*folder_, job_.sourceName, temporary, file, permissions_);
        FileError failure(code, PathOf(name));
        if (code == err::kNone) {
            try {
                WriteOrThrow(*file, PathOf(temporary), bytes.data(), static_cast<std::uint32_t>(bytes.size()));
                if (const ErrorCode flushed = file->Flush()) throw FileError(flushed, PathOf(temporary));
                CloseOrThrow(file, PathOf(temporary));
                code = outputs_.Publish(*folder_, temporary, name);
                if (code == err::kNone) {
                    FlushDestination();
                    return;
                }
                failure = FileError(code, PathOf(name));
            } catch (const FileError& written) {
                failure = FileError(written.cause, written.code, PathOf(name));
            }
            file.reset();
            folder_->Delete(temporary);
        }
        if (attempt >= kMaxDiskPrompts || !IsDiskChange(failure)) Abort(failure);
        FlushPieces();
        FlushDestination();
        SwitchDisk();
    }
}

// One load of the plan, moved in slices that stay in the processor's cache
// while both checksums and the write look at them. Returns the bytes moved:
// fewer than `size` only when the source ended early.
std::uint32_t Splitter::MoveLoad(std::uint32_t size) {
    std::uint32_t moved = 0;
    while (moved < size) {
        const std::uint32_t want = std::min(size - moved, kSlice);
        std::uint32_t got = 0;
        try {
            ReadOrThrow(*source_, job_.sourcePath, buffer_.get(), want, got);
        } catch (const FileError& failure) {
            // A load that could not be read cannot be replaced by anything
            // sensible; going on would leave a hole in the piece.
            Abort(failure);
        }
        whole_.Update(buffer_.get(), got);
        processed_ += got;
        WriteSlice(buffer_.get(), got);
        moved += got;
        if (got < want) break;
    }
    return moved;
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

void Splitter::WriteSlice(const unsigned char* data, std::uint32_t size) {
    pieceSum_.Update(data, size);
    std::uint32_t written = 0;
    const ErrorCode code = piece_->Write(data, size, written);
    written = std::min(written, size);
    if (code == err::kNone && written == size) return;
    const FileError failure = WriteFailure(code, written);
    if (!IsDiskChange(failure)) Abort(failure);
    ChangeDisk(data, size, written);
}

// The user puts another disk in. OK with the full disk still there (or with
// none) asks again: continuing would replace what that disk already holds.
void Splitter::AwaitNewDisk() {
    const char* text = texts::kInsertDisk;
    for (int ask = 0; ask < kMaxDiskPrompts; ++ask) {
        const Message prompt{text, texts::kInsertDiskCaption, Buttons::OkCancel, Question::NextDisk};
        if (prompts_.ShowMessage(prompt) != Answer::Ok) throw RunStopped{};
        std::string now;
        if (!platform_.VolumeIdentity(job_.destinationFolder, now)) {
            text = texts::kInsertDisk;
            continue;
        }
        if (volumeKnown_ && now == volume_) {
            text = texts::kSameDisk;
            continue;
        }
        volume_ = now;
        volumeKnown_ = true;
        return;
    }
    throw RunStopped{};
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
            piece_->Write(data + stored, keep, written);
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

// A piece gets exactly its planned bytes, and is on the disk before the next
// one begins. Reading fewer means the source is shorter than it was
// measured: its pieces would rejoin to a wrong file.
void Splitter::CopyPiece(std::uint32_t index) {
    ctx_.CheckPoint();
    pieceName_ = PieceFileName(job_.sourceName, index);
    CreateWithRetry(pieceName_, WithPermissions(kPieceMode), piece_);
    // On a disk that may fill up and be changed, room set aside would stay
    // taken on the old one.
    if (!removable_) {
        piece_->Reserve(std::min<std::uint64_t>(job_.pieceSize, job_.sourceSize - processed_));
    }
    pieceSum_.Reset();
    const FileError shorter(FileCause::EndOfFile, err::kHandleEof, job_.sourcePath);

    const std::uint64_t left = job_.sourceSize - processed_;
    if (left <= bufferSize_) {
        // The last piece fits one load: one read, one write.
        const auto want = static_cast<std::uint32_t>(left);
        if (MoveLoad(want) != want) Abort(shorter);
    } else {
        const auto planned = static_cast<std::uint32_t>(std::min<std::uint64_t>(job_.pieceSize, left));
        for (std::uint32_t inPiece = 0; inPiece < planned;) {
            ctx_.CheckPoint();
            const std::uint32_t want = std::min(bufferSize_, planned - inPiece);
            if (MoveLoad(want) != want) Abort(shorter);
            inPiece += want;
            ctx_.progress.Report(processed_, RunWork(),
                                 ProgressText(index + std::uint64_t{1}, job_.pieceCount - index - 1));
        }
    }
    FileStatus made;
    piece_->Status(made);
    try {
        CloseOrThrow(piece_, PathOf(pieceName_));
    } catch (const FileError& failure) {
        Abort(failure);
    }
    unflushed_.push_back({pieceName_, made.id});
    sums_.push_back(pieceSum_.Digest());
}

// Puts every piece written since the last time on the disk. One flush
// commits what the file system keeps about all of them, so the others find
// little left to do; the data was sent to the disk as it was written.
void Splitter::FlushPieces() {
    for (const auto& [name, id] : unflushed_) {
        std::unique_ptr<File> file;
        FileStatus status;
        ErrorCode code = folder_->Open(name, {Access::Write, Share::ReadWrite, Creation::OpenExisting, false}, file);
        if (code == err::kNone && (file->Status(status) != err::kNone || status.id != id)) {
            // Another program put a file of its own under a piece's name.
            prompts_.Tell(Fill(texts::kPieceReplaced, PathOf(name)));
            throw RunFailed{};
        }
        if (code == err::kNone) code = file->Flush();
        if (code == err::kNone) code = file->Close();
        if (code != err::kNone) Abort(FileError(code, PathOf(name)));
    }
    unflushed_.clear();
}

void Splitter::ReadSource(std::uint64_t at, unsigned char* data, std::uint32_t size) {
    SeekOrThrow(*source_, job_.sourcePath, at);
    for (std::uint32_t done = 0; done < size;) {
        std::uint32_t got = 0;
        ReadOrThrow(*source_, job_.sourcePath, data + done, size - done, got);
        if (got == 0) throw FileError(FileCause::EndOfFile, err::kHandleEof, job_.sourcePath);
        done += got;
    }
}

// The recovery files, made from the source once the pieces are on the disk
// (earlier disks of a removable split are out of reach by then). Each piece
// read again must have the checksum it was written with, so that the
// recovery data is the pieces'. On a removable disk that fills up, what is
// not yet complete goes on the next disk.
void Splitter::MakeRecoveryFiles() {
    const RecoveryPlan& plan = job_.recovery;
    if (plan.empty()) return;
    struct Output : RecoveryFiles {
        explicit Output(Splitter& splitter) : s(splitter) {}
        Splitter& s;
        std::vector<std::string> names, temporaries;
        std::vector<std::unique_ptr<File>> files;
        std::size_t volumesDone = 0;

        File& Create(std::size_t which, const std::string& name, std::uint64_t size) override {
            if (which >= files.size()) {
                files.resize(which + 1);
                names.resize(which + 1);
                temporaries.resize(which + 1);
            }
            names[which] = name;
            if (const ErrorCode code = s.outputs_.CreateTemporary(*s.folder_, s.job_.sourceName, temporaries[which],
                                                                  files[which], s.permissions_)) {
                temporaries[which].clear();
                throw FileError(code, s.PathOf(name));
            }
            if (!s.removable_) files[which]->Reserve(size);
            return *files[which];
        }
        void Complete(std::size_t which) override {
            const std::string path = s.PathOf(names[which]);
            if (const ErrorCode code = files[which]->Flush()) throw FileError(code, path);
            CloseOrThrow(files[which], path);
            if (const ErrorCode code = s.outputs_.Publish(*s.folder_, temporaries[which], names[which])) {
                throw FileError(code, path);
            }
            temporaries[which].clear();
            if (which > 0) ++volumesDone;
        }
        // What was not complete goes, so that the next attempt starts clean.
        void DropUnfinished() {
            for (std::size_t i = 0; i < files.size(); ++i) {
                CloseQuietly(files[i]);
                if (!temporaries[i].empty()) s.folder_->Delete(temporaries[i]);
                temporaries[i].clear();
            }
        }
    };
    Output out(*this);
    const PieceRead read = [&](std::uint32_t index, std::uint64_t offset, unsigned char* data, std::uint32_t size) {
        ReadSource(std::uint64_t{index} * job_.pieceSize + offset, data, size);
    };
    // The recovery data counts on from where the pieces end: one figure for
    // the whole run that never goes back.
    const auto progress = [&](std::uint64_t done, std::uint64_t total) {
        ctx_.progress.Report(job_.sourceSize + Scaled(done, total, RunWork() - job_.sourceSize), RunWork(),
                             texts::kMakingRecovery);
        ctx_.CheckPoint();
    };
    for (int attempt = 0;; ++attempt) {
        try {
            MakeRecovery(plan, job_.sourceName, job_.sourceSize, job_.pieceCount, job_.pieceSize, read, &sums_,
                         platform_, out, progress, out.volumesDone);
            FlushDestination();
            return;
        } catch (const PieceNotAsRecorded&) {
            out.DropUnfinished();
            prompts_.Tell(Fill(texts::kSourceChanged, job_.sourcePath));
            throw RunFailed{};
        } catch (const FileError& failure) {
            out.DropUnfinished();
            if (failure.path == job_.sourcePath || attempt >= kMaxDiskPrompts || !IsDiskChange(failure)) Abort(failure);
            FlushDestination();
            SwitchDisk();
        } catch (...) {
            out.DropUnfinished();
            throw;
        }
    }
}

// The pieces describe the source as it was read only if nobody wrote to it,
// grew or shrank it, or put another file under its name meanwhile.
void Splitter::CheckSourceUnchanged() {
    FileStatus now, named;
    const bool same = source_->Status(now) == err::kNone && now.size == sourceAtStart_.size &&
                      now.modified == sourceAtStart_.modified && now.changed == sourceAtStart_.changed &&
                      platform_.Status(job_.sourcePath, named) == err::kNone && named.id == sourceAtStart_.id;
    if (!same) {
        prompts_.Tell(Fill(texts::kSourceChanged, job_.sourcePath));
        throw RunFailed{};
    }
}

void Splitter::CloseAll() {
    CloseQuietly(piece_);
    CloseQuietly(source_);
}

Outcome Splitter::Run() {
    // Loads are counted in bytes, which also fits a last piece shorter than
    // the others.
    bufferSize_ = PlanBuffers(job_.pieceSize).bufferSize;
    if (!buffer_.Allocate(std::min(bufferSize_, kSlice))) {
        prompts_.Tell(texts::kMemoryInsufficient);
        return Outcome::Stopped;
    }
    if (const ErrorCode code = platform_.Open(job_.sourcePath, kSourceMode, source_)) {
        source_.reset();
        // Which file, and why: in use by another program, access denied, ...
        prompts_.Tell(StandardFileText(CauseFromCode(code), job_.sourcePath));
        return Outcome::Stopped;
    }
    // The file the checks measured, untouched since.
    if (source_->Status(sourceAtStart_) != err::kNone || sourceAtStart_.id != job_.sourceId ||
        sourceAtStart_.size != job_.sourceSize || sourceAtStart_.modified != job_.sourceModified ||
        sourceAtStart_.changed != job_.sourceChanged) {
        CloseAll();
        prompts_.Tell(Fill(texts::kSourceChanged, job_.sourcePath));
        return Outcome::Stopped;
    }
    // Pieces may be read by whoever may read the source, and nobody else.
    permissions_ = sourceAtStart_.permissions & 0666;
    removable_ = job_.driveType == DriveType::Removable;
    infoName_ = job_.sourceName + ".sio";
    sums_.reserve(job_.pieceCount);

    const Outcome outcome = EndingOf([&] {
        OpenDestination();
        if (removable_ && ctx_.settings.eraseRemovableBeforeSplit) {
            EraseDestination();
        } else {
            ConfirmReplacing();
        }
        ChooseBatchName();
        if (removable_) {
            // The first disk carries the info file and Go.bat, so that a set
            // over several disks starts where a user looks for it.
            volumeKnown_ = platform_.VolumeIdentity(job_.destinationFolder, volume_);
            WriteWhole(infoName_, InfoBytes(false));
            WriteWhole(batchName_, BatchBytes());
            FlushDestination();
        } else {
            ClearOldSet();
        }

        for (std::uint32_t i = 0; i < job_.pieceCount; ++i) CopyPiece(i);
        FlushPieces();
        MakeRecoveryFiles();
        CheckSourceUnchanged();
        CloseAll();

        Publish(infoName_, InfoBytes(true));
        // Last: Go.bat may replace another set's, which only a split that
        // has otherwise succeeded may do.
        if (!removable_) Publish(batchName_, BatchBytes());
        RemoveStale();
        FlushDestination();
        outputs_.Keep();
    });
    CloseAll();
    const std::vector<std::string> kept = outputs_.Discard();
    if (!kept.empty()) prompts_.Tell(Fill(texts::kNotRemoved, kept.front()));
    // A split stopped after a disk change has left the start of the set on
    // disks it can no longer reach: what is where, and that it is no set.
    if (outcome != Outcome::Completed && !leftOnDisks_.empty()) {
        std::string where;
        for (std::size_t disk = 0; disk < leftOnDisks_.size(); ++disk) {
            std::string names;
            for (const std::string& name : leftOnDisks_[disk]) {
                if (names.find(name) == std::string::npos) names += (names.empty() ? "" : ", ") + name;
            }
            if (!names.empty()) where += Fill(Fill(texts::kLeftOnDisk, names, "%2"), std::to_string(disk + 1)) + "\n";
        }
        if (!where.empty()) prompts_.Tell(Fill(texts::kStoppedAcrossDisks, where));
    }
    return outcome;
}

}  // namespace

Outcome SplitOperation(const SplitJob& job, OperationContext& ctx) { return Splitter(job, ctx).Run(); }

SetInfo PlannedSet(const SplitJob& job) {
    SetInfo set;
    set.name = job.sourceName;
    set.size = job.sourceSize;
    set.pieceCount = job.pieceCount;
    set.pieceSize = job.pieceSize;
    set.extended = true;
    return set;
}

}  // namespace engine
