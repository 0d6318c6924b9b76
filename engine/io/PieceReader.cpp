#include "engine/io/PieceReader.h"

#include <algorithm>

#include "engine/base/FileErrors.h"
#include "engine/base/Names.h"
#include "engine/io/DiskPrompt.h"
#include "engine/set/PiecePlan.h"
#include "engine/set/SplitInfo.h"
#include "engine/base/Texts.h"

namespace engine {

namespace {

constexpr OpenMode kPieceMode{Access::Read, Share::Read, Creation::OpenExisting, true};

}  // namespace

std::optional<std::uint64_t> ExpectedLength(const SetInfo& set, std::uint32_t pieceSize, std::uint32_t index) {
    if (set.pieceCount == 1) return set.size;
    if (pieceSize == 0) return std::nullopt;
    return PieceLength(set.size, set.pieceCount, pieceSize, index);
}

PieceReader::PieceReader(const RejoinJob& job, OperationContext& ctx)
    : job_(job), platform_(ctx.platform), ctx_(&ctx), dry_(false) {
    folders_ = SetFolders(job);
    pieceSize_ = job.pieceSize;
    checksumsKnown_ = job.set.hasChecksums;
    expected_ = job.set.pieces;
    expectedWhole_ = job.set.whole;
    computed_.resize(job.set.pieceCount);
    judged_.assign(job.set.pieceCount, false);
    readWhole_.assign(job.set.pieceCount, false);
    damagedPath_.assign(job.set.pieceCount, std::string());
    if (job.asksForDisks) platform_.VolumeIdentity(job.infoFolder, volume_);
    OpenLocation();
    // Copies of later disks may hold the info file with every checksum
    // (the split writes it on the last disk): known at once, every piece is
    // judged as it is read.
    for (std::size_t later = 1; later < folders_.size() && !checksumsKnown_; ++later) {
        const std::size_t here = at_;
        std::unique_ptr<Folder> kept = std::move(folder_);
        at_ = later;
        if (platform_.OpenFolder(folders_[at_], folder_) == err::kNone) AdoptChecksumsHere();
        at_ = here;
        folder_ = std::move(kept);
    }
}

PieceReader::PieceReader(const RejoinJob& job, Platform& platform)
    : job_(job), platform_(platform), ctx_(nullptr), dry_(true) {
    folders_ = SetFolders(job);
    pieceSize_ = job.pieceSize;
    computed_.resize(job.set.pieceCount);
    judged_.assign(job.set.pieceCount, false);
    readWhole_.assign(job.set.pieceCount, false);
    damagedPath_.assign(job.set.pieceCount, std::string());
    OpenLocation();
}

PieceReader::~PieceReader() = default;

std::string PieceReader::PathOf(const std::string& name) const { return FolderPrefix(platform_, folders_[at_]) + name; }

void PieceReader::OpenLocation() {
    present_.clear();
    if (platform_.OpenFolder(folders_[at_], folder_) != err::kNone) {
        folder_.reset();
        return;
    }
    std::vector<FolderEntry> entries;
    if (folder_->List(entries) != err::kNone) return;
    const bool exact = platform_.CaseSensitiveNames();
    for (const FolderEntry& entry : entries) {
        std::uint64_t index = 0;
        if (!entry.isFolder && IsPieceOf(entry.name, job_.set.name, exact, &index)) present_.push_back(index);
    }
    std::sort(present_.begin(), present_.end());
}

bool PieceReader::Present(const std::string& name, FileStatus& status) {
    return folder_ && folder_->Status(name, status) == err::kNone && status.kind != FileKind::Missing;
}

bool PieceReader::AnyLaterPiece(std::uint32_t index) {
    return !present_.empty() && present_.back() > index;
}

bool PieceReader::CanAdvance() const {
    if (at_ + 1 < folders_.size()) return true;
    return job_.asksForDisks;
}

// The next location: the next folder given, or the next disk. A disk that
// is the one just read, or holds nothing that can come next, is asked for
// again.
void PieceReader::Advance(std::uint32_t index, bool rest) {
    if (at_ + 1 < folders_.size()) {
        ++at_;
        OpenLocation();
        AdoptChecksumsHere();
        return;
    }
    if (dry_) {
        needsDisk_ = true;
        throw StopWalk{};
    }
    // Nothing of this run holds the disk while it is changed.
    folder_.reset();
    // A disk that does not hold this piece, or a later one, is another set's.
    // Past the pieces a continued rejoin has, the disk wanted is the one
    // that holds the first piece to read, which need not be the next.
    const bool named = had_ > 0 && index == had_ && !rest;
    const std::string piece = PieceFileName(job_.set.name, index);
    const std::string insert = Fill(texts::kDiskWithPiece, piece);
    const std::string other = Fill(texts::kNotTheDiskWithPiece, piece);
    volume_ = AwaitOtherDisk(ctx_->prompts, platform_, job_.infoFolder, volume_, true,
                             {named ? insert.c_str() : texts::kNextDisk, named ? other.c_str() : texts::kSameDiskAgain,
                              texts::kNextDiskCaption},
                             [&] {
                                 OpenLocation();
                                 const bool holds = named ? std::binary_search(present_.begin(), present_.end(), index)
                                                          : !present_.empty() && present_.back() >= index;
                                 if (holds) return std::string();
                                 folder_.reset();
                                 return named ? other : Fill(texts::kNotTheNextDisk, job_.set.name);
                             });
    ++disksChanged_;
    AdoptChecksumsHere();
}

// The info file with every checksum lies on the last disk of a removable
// split. One that tells another story, or cannot be trusted, is left alone.
void PieceReader::AdoptChecksumsHere() {
    if (checksumsKnown_ || dry_ || !folder_) return;
    const std::string name = InfoFileName(job_.set.name);
    FileStatus status;
    if (!Present(name, status) || status.kind != FileKind::Regular) return;
    SetInfo found;
    try {
        found = ReadInfoFile(platform_, PathOf(name));
    } catch (const std::exception&) {
        return;
    }
    const SetInfo& set = job_.set;
    if (!found.hasChecksums || found.name != set.name || found.size != set.size ||
        found.pieceCount != set.pieceCount || (set.pieceSize != 0 && found.pieceSize != set.pieceSize) ||
        (pieceSize_ != 0 && found.pieceSize != pieceSize_)) {
        return;
    }
    checksumsKnown_ = true;
    expected_ = found.pieces;
    expectedWhole_ = found.whole;
    if (pieceSize_ == 0) pieceSize_ = found.pieceSize;
    for (std::uint32_t i = 0; i < set.pieceCount; ++i) Judge(i);
}

// A piece read before its checksum was known is judged when it becomes known.
void PieceReader::Judge(std::uint32_t index) {
    if (!checksumsKnown_ || judged_[index] || !readWhole_[index]) return;
    judged_[index] = true;
    if (computed_[index] == expected_[index]) return;
    allGood_ = false;
    PieceProblem problem{PieceProblem::Kind::Damaged, damagedPath_[index]};
    problem.piece = index;
    onProblem_(problem);
}

std::optional<PieceProblem> PieceReader::ReadPart(std::uint32_t index, const std::string& name,
                                                  std::uint64_t length, std::uint64_t offset, const Sink& sink) {
    if (dry_ || index < had_) {
        done_ += length;
        if (!dry_) partsRead_.push_back({folders_[at_], name, index, length});
        return std::nullopt;
    }
    ctx_->CheckPoint();
    const std::string path = PathOf(name);
    std::unique_ptr<File> file;
    if (const ErrorCode code = folder_->Open(name, kPieceMode, file)) {
        if (code == err::kInvalidFunction) return PieceProblem{PieceProblem::Kind::NotAFile, path};
        if (code == err::kFileNotFound || code == err::kPathNotFound) {
            return PieceProblem{PieceProblem::Kind::Missing, path};
        }
        return PieceProblem{PieceProblem::Kind::Unreadable, path, code};
    }
    std::uint64_t now = 0;
    if (const ErrorCode code = file->Length(now)) return PieceProblem{PieceProblem::Kind::Unreadable, path, code};
    if (now != length) return PieceProblem{PieceProblem::Kind::WrongLength, path};
    if (!buffer_ && !buffer_.Allocate(kSlice)) throw std::bad_alloc();
    const std::uint32_t count = job_.set.pieceCount;
    std::uint64_t read = 0, sinceReport = 0;
    while (read < length) {
        std::uint32_t got = 0;
        const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(length - read, kSlice));
        if (const ErrorCode code = file->Read(buffer_.get(), want, got)) {
            return PieceProblem{PieceProblem::Kind::Unreadable, path, code};
        }
        // A piece that shrank while it was read.
        if (got == 0) return PieceProblem{PieceProblem::Kind::WrongLength, path};
        piece_.Update(buffer_.get(), got);
        if (allGood_) whole_.Update(buffer_.get(), got);
        if (sink) sink(index, offset + read, buffer_.get(), got);
        read += got;
        done_ += got;
        sinceReport += got;
        if (sinceReport >= kTransferBlock) {
            sinceReport = 0;
            ctx_->progress.Report(done_, progressTotal_ ? progressTotal_ : job_.set.size, ProgressText(index + std::uint64_t{1}, count - index - 1));
            ctx_->CheckPoint();
        }
    }
    static_cast<void>(file->Close());  // read only: its bytes are judged by their checksums
    partsRead_.push_back({folders_[at_], name, index, length});
    return std::nullopt;
}

// A piece is found at the location, or on a later one when nothing that
// follows it lies here; a piece shorter than its length goes on at the next
// location under the same name, as a removable split cut it.
std::optional<PieceProblem> PieceReader::ReadPiece(std::uint32_t index, const Sink& sink) {
    const SetInfo& set = job_.set;
    const std::string name = PieceFileName(set.name, index);
    const std::optional<std::uint64_t> expected = ExpectedLength(set, pieceSize_, index);
    FileStatus status;
    if (index < had_ && job_.asksForDisks && expected) {
        KeepFromDisk(index, name, *expected);
        return std::nullopt;
    }
    while (!Present(name, status)) {
        if (AnyLaterPiece(index) || !CanAdvance()) return PieceProblem{PieceProblem::Kind::Missing, PathOf(name)};
        Advance(index);
    }
    const std::string firstPath = PathOf(name);
    if (foundIn_.size() < set.pieceCount) foundIn_.resize(set.pieceCount);
    foundIn_[index] = folders_[at_];
    piece_.Reset();
    std::uint64_t got = 0;
    for (;;) {
        if (status.kind != FileKind::Regular) return PieceProblem{PieceProblem::Kind::NotAFile, PathOf(name)};
        if (expected && got + status.size > *expected) return PieceProblem{PieceProblem::Kind::WrongLength, PathOf(name)};
        if (auto problem = ReadPart(index, name, status.size, got, sink)) return problem;
        got += status.size;
        if (expected && got == *expected) break;
        // A set that records no piece size ends its last piece with its size.
        if (!expected && index + 1 == set.pieceCount && done_ == set.size) break;
        if (AnyLaterPiece(index) || !CanAdvance()) {
            if (expected) return PieceProblem{PieceProblem::Kind::WrongLength, firstPath};
            break;
        }
        Advance(index, true);
        if (!Present(name, status)) {
            if (expected) return PieceProblem{PieceProblem::Kind::WrongLength, firstPath};
            break;
        }
    }
    if (!expected) {
        if (index == 0) pieceSize_ = MeasuredPieceSize(set.size, set.pieceCount, got);
        if (pieceSize_ == 0 || got != PieceLength(set.size, set.pieceCount, pieceSize_, index)) {
            return PieceProblem{PieceProblem::Kind::WrongLength, firstPath};
        }
    }
    if (!dry_) {
        computed_[index] = index < had_ ? expected_[index] : piece_.Digest();
        readWhole_[index] = true;
        damagedPath_[index] = firstPath;
        const std::uint32_t count = set.pieceCount;
        ctx_->progress.Report(done_, progressTotal_ ? progressTotal_ : set.size, ProgressText(index + std::uint64_t{1}, count - index - 1));
    }
    return std::nullopt;
}

// A piece a continued rejoin has in its output already, of a set read disk
// by disk: it is not asked for. Where it lies on the disk in the drive it is
// one of the parts read, for "Remove split files after rejoin"; anywhere
// else it is passed over, and the next disk asked for is the one that holds
// the first piece to read.
void PieceReader::KeepFromDisk(std::uint32_t index, const std::string& name, std::uint64_t length) {
    FileStatus status;
    if (Present(name, status) && status.kind == FileKind::Regular) {
        if (foundIn_.size() < job_.set.pieceCount) foundIn_.resize(job_.set.pieceCount);
        foundIn_[index] = folders_[at_];
        partsRead_.push_back({folders_[at_], name, index, status.size});
    }
    done_ += length;
    computed_[index] = expected_[index];
    readWhole_[index] = true;
    judged_[index] = true;
    damagedPath_[index] = PathOf(name);
}

PieceParts PieceReader::PartsByPiece() const {
    PieceParts parts(job_.set.pieceCount);
    for (const PartRead& part : partsRead_) {
        if (part.index < parts.size()) parts[part.index].push_back({part.folder, part.name, part.length});
    }
    return parts;
}

void PieceReader::ContinueAfter(std::uint32_t pieces, ChecksumState whole) {
    if (!checksumsKnown_ || pieces > job_.set.pieceCount) return;
    had_ = pieces;
    whole_ = std::move(whole);
}

void PieceReader::ReadAll(const Sink& sink, const OnProblem& onProblem, const OnPieceGood& onPieceGood) {
    bool anyProblem = false;
    onProblem_ = [&](const PieceProblem& problem) {
        anyProblem = true;
        allGood_ = false;
        onProblem(problem);
    };
    try {
        for (std::uint32_t i = 0; i < job_.set.pieceCount; ++i) {
            if (auto problem = ReadPiece(i, sink)) {
                problem->piece = i;
                onProblem_(*problem);
                // Without piece 0's length, no other piece can be judged.
                if (pieceSize_ == 0 && !ExpectedLength(job_.set, 0, i)) break;
                continue;
            }
            Judge(i);
            if (onPieceGood && allGood_) onPieceGood(i);
        }
    } catch (const StopWalk&) {
        return;
    }
    if (dry_ || measureOnly_ || !checksumsKnown_ || anyProblem || done_ != job_.set.size) return;
    if (whole_.Digest() != expectedWhole_) onProblem_({PieceProblem::Kind::WholeDamaged, job_.infoPath});
}

}  // namespace engine
