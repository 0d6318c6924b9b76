// Recovery files made for a set whose pieces are intact, replacing its own.
#include "engine/ops/Protect.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/base/FileErrors.h"
#include "engine/base/Texts.h"
#include "engine/io/PartsReader.h"
#include "engine/io/PieceReader.h"
#include "engine/io/RecoveryMaker.h"
#include "engine/io/RecoveryOutputs.h"
#include "engine/io/RunOutputs.h"
#include "engine/io/SetClaim.h"
#include "engine/par2/Packets.h"
#include "engine/set/PiecePlan.h"
#include "engine/set/RecoveryPlan.h"

namespace engine {

namespace {

class Protector {
public:
    Protector(const ProtectJob& job, OperationContext& ctx)
        : job_(job), set(job.set), ctx_(ctx), platform_(ctx.platform), prompts_(ctx.prompts),
          claim_(ctx.platform, ctx.prompts), outputs_(ctx.platform), parts_(ctx.platform),
          out_(outputs_,
               {[this]() -> Folder& { return *folder_; },
                [this](const std::string& name) { return FolderPrefix(platform_, set.infoFolder) + name; }},
               set.set.name, RecoveryOutputs::Naming::AtTheEnd) {}

    Outcome Run();

private:
    [[noreturn]] void Fail(const std::string& text) { FailRun(prompts_, text); }

    const ProtectJob& job_;
    const RejoinJob& set;
    OperationContext& ctx_;
    Platform& platform_;
    Prompts& prompts_;
    SetClaim claim_;
    RunOutputs outputs_;
    PartsReader parts_;
    std::unique_ptr<Folder> owned_;
    Folder* folder_ = nullptr;
    RecoveryOutputs out_;
};

Outcome Protector::Run() {
    const Outcome outcome = EndingOf([&] {
        claim_.Claim(set.infoFolder, set.set.name);
        folder_ = claim_.folder();
        if (!folder_) {
            if (const ErrorCode code = platform_.OpenFolder(set.infoFolder, owned_)) {
                Fail(StandardFileText(CauseFromCode(code), set.infoPath));
            }
            folder_ = owned_.get();
        }
        // Recovery data over a damaged piece would rebuild the damage: each
        // piece is found and measured here, and its checksum held to the
        // set's by the recovery data's own reading, before anything is named.
        PieceReader reader(set, ctx_);
        reader.MeasureOnly();
        std::vector<PieceProblem> problems;
        reader.ReadAll(nullptr, [&](const PieceProblem& problem) { problems.push_back(problem); });
        if (!problems.empty()) Fail(ProblemText(problems.front()));
        const PieceParts where = reader.PartsByPiece();
        // The checksums' reading runs beside the sums', through handles of its own.
        PartsReader besideParts(platform_);
        const PieceRead read = [&](std::uint32_t index, std::uint64_t offset, unsigned char* data, std::uint32_t size) {
            parts_.Read(where[index], offset, data, size);
        };
        const PieceRead beside = [&](std::uint32_t index, std::uint64_t offset, unsigned char* data,
                                     std::uint32_t size) { besideParts.Read(where[index], offset, data, size); };
        const auto progress = [&](std::uint64_t done, std::uint64_t total) {
            ctx_.progress.Report(done, total, texts::kMakingRecovery);
            ctx_.CheckPoint();
        };
        try {
            MakeRecovery(job_.recovery, set.set.name, set.set.size, set.set.pieceCount, reader.pieceSize(), read,
                         set.set.hasChecksums ? &set.set.pieces : nullptr, platform_, out_, progress, 0, nullptr,
                         &beside);
        } catch (const PieceNotAsRecorded& changed) {
            const std::string piece = PieceName(platform_, set.infoFolder, set.set.name, changed.index);
            if (changed.recorded) {
                PieceProblem damaged{PieceProblem::Kind::Damaged, piece};
                damaged.piece = changed.index;
                Fail(ProblemText(damaged));
            }
            Fail(Fill(texts::kPieceNotAsRecorded, piece));
        } catch (const FileError& failure) {
            Fail(StandardFileText(failure.cause, failure.path));
        }
        parts_.Close();
        besideParts.Close();
        // The new files take their names; recovery files of the set that
        // they do not replace describe it no longer and go.
        std::vector<FolderEntry> entries;
        if (const ErrorCode code = folder_->List(entries)) Fail(StandardFileText(CauseFromCode(code), set.infoFolder));
        try {
            out_.PublishAll();
        } catch (const FileError& failure) {
            Fail(StandardFileText(failure.cause, failure.path));
        }
        const std::vector<std::string>& names = out_.names();
        std::string stale;
        for (const FolderEntry& e : entries) {
            if (e.isFolder || !par2::IsRecoveryFileOf(e.name, set.set.name, platform_.CaseSensitiveNames())) continue;
            if (std::find(names.begin(), names.end(), e.name) != names.end()) continue;
            const ErrorCode removed = folder_->Delete(e.name);
            if (removed != err::kNone && removed != err::kFileNotFound && stale.empty()) {
                stale = FolderPrefix(platform_, set.infoFolder) + e.name;
            }
        }
        if (const ErrorCode code = folder_->Flush()) Fail(StandardFileText(CauseFromCode(code), set.infoPath));
        // The new files are complete and stay; an old one left beside them
        // makes the run a failure the user must finish by hand.
        outputs_.Keep();
        if (!stale.empty()) Fail(Fill(texts::kStaleRecoveryFile, stale));
    });
    out_.DropUnfinished();
    const std::vector<std::string> kept = outputs_.Discard();
    if (!kept.empty()) prompts_.Tell(Fill(texts::kNotRemoved, kept.front()));
    return outcome;
}

}  // namespace

Outcome ProtectOperation(const ProtectJob& job, OperationContext& ctx) { return Protector(job, ctx).Run(); }

}  // namespace engine
