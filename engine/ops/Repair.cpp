// The repair of a set in place: a verification, then the rebuild of each bad
// piece beside it under a temporary name, proven by reading it back, and
// only then given the piece's name.
#include "engine/ops/Repair.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/base/FileErrors.h"
#include "engine/base/Texts.h"
#include "engine/io/PieceReader.h"
#include "engine/io/ReadBack.h"
#include "engine/io/RunOutputs.h"
#include "engine/io/SetClaim.h"
#include "engine/io/SetRepair.h"
#include "engine/ops/Rejoin.h"
#include "engine/set/PiecePlan.h"

namespace engine {

namespace {

constexpr OpenMode kReadBack{Access::Read, Share::ReadWrite, Creation::OpenExisting, true};

class Repairer : public RebuildTarget {
public:
    Repairer(const RejoinJob& job, OperationContext& ctx, VerifyReport& report)
        : job_(job), ctx_(ctx), platform_(ctx.platform), prompts_(ctx.prompts), report_(report),
          set_(ctx.platform, ctx.prompts), outputs_(ctx.platform) {}

    Outcome Run();
    void Write(std::uint32_t piece, std::uint64_t offset, const unsigned char* data, std::uint32_t size) override {
        // Only into a piece this repair rebuilds, and only within its length.
        if (piece >= rebuilt_.size() || !rebuilt_[piece]) throw RebuiltOutOfRange{piece};
        Rebuilt& r = *rebuilt_[piece];
        const std::uint64_t length = PieceLength(job_.set.size, job_.set.pieceCount, pieceSize_, piece);
        if (offset > length || size > length - offset) throw RebuiltOutOfRange{piece};
        SeekOrThrow(*r.file, r.path, offset);
        WriteOrThrow(*r.file, r.path, data, size);
    }

private:
    struct Rebuilt {
        std::uint32_t piece = 0;
        std::unique_ptr<Folder> folder;
        std::string name, path, temporary;
        std::unique_ptr<File> file;
    };
    [[noreturn]] void Fail(const std::string& text) { FailRun(prompts_, text); }
    void Prepare(std::uint32_t piece, const PieceReader& reader);
    void Prove(Rebuilt& r, SetRepair& repair);

    const RejoinJob& job_;
    OperationContext& ctx_;
    Platform& platform_;
    Prompts& prompts_;
    VerifyReport& report_;
    SetClaim set_;
    RunOutputs outputs_;
    std::vector<std::unique_ptr<Rebuilt>> rebuilt_;  // by piece
    std::uint32_t pieceSize_ = 0;
};

// A piece is rebuilt beside where it was found, or for one that is missing,
// beside the info file.
void Repairer::Prepare(std::uint32_t piece, const PieceReader& reader) {
    auto r = std::make_unique<Rebuilt>();
    r->piece = piece;
    r->name = PieceFileName(job_.set.name, piece);
    std::string folder = reader.FolderOf(piece);
    if (folder.empty()) folder = job_.infoFolder;
    r->path = FolderPrefix(platform_, folder) + r->name;
    if (const ErrorCode code = platform_.OpenFolder(folder, r->folder)) Fail(StandardFileText(CauseFromCode(code), r->path));
    // The rebuilt piece keeps the mode of the one it replaces.
    FileStatus status;
    const std::uint32_t permissions =
        platform_.Status(r->path, status) == err::kNone && status.kind == FileKind::Regular ? status.permissions : 0;
    if (const ErrorCode code =
            outputs_.CreateTemporary(*r->folder, job_.set.name, r->temporary, r->file, permissions)) {
        Fail(StandardFileText(CauseFromCode(code), r->path));
    }
    rebuilt_[piece] = std::move(r);
}

void Repairer::Prove(Rebuilt& r, SetRepair& repair) {
    std::unique_ptr<File> back;
    if (const ErrorCode code = r.folder->Open(r.temporary, kReadBack, back)) Fail(StandardFileText(CauseFromCode(code), r.path));
    const std::uint64_t length = PieceLength(job_.set.size, job_.set.pieceCount, pieceSize_, r.piece);
    std::uint64_t now = 0;
    std::unique_ptr<Md5> md5 = platform_.NewMd5();
    ChecksumState sum;
    try {
        if (const ErrorCode code = back->Length(now)) throw FileError(code, r.path);
        if (now == length) {
            ReadBack(*back, r.path, 0, length, [&](const unsigned char* data, std::uint32_t size) {
                md5->Update(data, size);
                sum.Update(data, size);
            }, [&] { ctx_.CheckPoint(); });
        }
    } catch (const FileError& failure) {
        Fail(StandardFileText(failure.cause, r.path));
    }
    static_cast<void>(back->Close());  // read only: what counts is what was read
    const bool exact = now == length && md5->Final() == repair.RecordedMd5(r.piece) &&
                       (!job_.set.hasChecksums || sum.Digest() == job_.set.pieces[r.piece]);
    if (!exact) Fail(Fill(RebuiltNotExactText(job_.set), r.path));
}

Outcome Repairer::Run() {
    const Outcome outcome = EndingOf([&] {
        set_.Claim(job_.infoFolder, job_.set.name);
        PieceReader reader(job_, ctx_);
        // The rebuild counts on from where the reading ends, as much again.
        const std::uint64_t size = job_.set.size;
        reader.CountInto(2 * size);
        SetRepair repair(job_, platform_, [&] { ctx_.CheckPoint(); }, [&](std::uint64_t done, std::uint64_t total) {
            ctx_.progress.Report(size + Scaled(done, total, size), 2 * size, texts::kRebuilding);
            ctx_.CheckPoint();
        });
        VerifyWith(job_, ctx_, reader, report_, &repair);
        pieceSize_ = reader.pieceSize();
        if (pieceSize_ == 0) pieceSize_ = repair.pieceSize();
        if (report_.problems.empty()) return;
        const bool wholeOnly = std::all_of(report_.problems.begin(), report_.problems.end(),
                                           [](const PieceProblem& p) { return p.piece == PieceProblem::kNoPiece; });
        if (wholeOnly) Fail(ProblemText(report_.problems.front()));
        // A piece another program holds is unreadable, not damaged: it is
        // never rebuilt over.
        for (const PieceProblem& problem : report_.problems) {
            if (problem.kind == PieceProblem::Kind::Unreadable &&
                (problem.code == err::kSharingViolation || problem.code == err::kLockViolation)) {
                Fail(Fill(texts::kPieceInUse, problem.path));
            }
        }
        if (!report_.recovery.canRebuild) {
            std::string text = VerifySummary(report_);
            if (!report_.recovery.found) {
                const auto bad = std::count_if(report_.problems.begin(), report_.problems.end(),
                                               [](const PieceProblem& p) { return p.piece != PieceProblem::kNoPiece; });
                text += RecoverySentence(report_.recovery, static_cast<std::size_t>(bad));
            }
            Fail(text);
        }

        rebuilt_.resize(job_.set.pieceCount);
        for (std::uint32_t piece : repair.toRebuild()) Prepare(piece, reader);
        try {
            repair.Rebuild(*this);
            for (auto& r : rebuilt_) {
                if (!r) continue;
                if (const ErrorCode code = r->file->Flush()) throw FileError(code, r->path);
                CloseOrThrow(r->file, r->path);
            }
        } catch (const FileError& failure) {
            Fail(StandardFileText(failure.cause, failure.path));
        } catch (const RebuiltOutOfRange& wrong) {
            Fail(Fill(RebuiltNotExactText(job_.set), PieceName(platform_, job_.infoFolder, job_.set.name, wrong.piece)));
        }
        for (auto& r : rebuilt_) {
            if (r) Prove(*r, repair);
        }
        // Proven: each takes its place, the damaged file it replaces going
        // only then, and stays whatever happens to the next.
        for (auto& r : rebuilt_) {
            if (!r) continue;
            if (const ErrorCode code = outputs_.Publish(*r->folder, r->temporary, r->name)) {
                Fail(StandardFileText(CauseFromCode(code), r->path));
            }
            if (const ErrorCode code = r->folder->Flush()) Fail(StandardFileText(CauseFromCode(code), r->path));
            outputs_.Keep(*r->folder, r->name);
            report_.rebuilt.push_back(r->name);
        }
        outputs_.Keep();
    });
    for (auto& r : rebuilt_) {
        if (r) CloseQuietly(r->file);
    }
    const std::vector<std::string> kept = outputs_.Discard();
    if (!kept.empty()) prompts_.Tell(Fill(texts::kNotRemoved, kept.front()));
    return outcome;
}

}  // namespace

Outcome RepairOperation(const RejoinJob& job, OperationContext& ctx, VerifyReport& report) {
    return Repairer(job, ctx, report).Run();
}

}  // namespace engine
