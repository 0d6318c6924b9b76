#include "Rejoin.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "FileErrors.h"
#include "Names.h"
#include "PiecePlan.h"
#include "PieceReader.h"
#include "RunOutputs.h"
#include "SplitInfo.h"
#include "Texts.h"

namespace engine {

namespace {

// The set's folder, claimed for this run where a lock file can be made
// there. A set on a medium nobody can write to (a CD, a read-only share)
// cannot change under a reader either; a removable set is read disk by disk.
class SetClaim {
public:
    SetClaim(Platform& platform, Prompts& prompts) : platform_(platform), prompts_(prompts) {}

    void Claim(const std::string& folder, const std::string& name) {
        if (platform_.OpenFolder(folder, folder_) != err::kNone) {
            folder_.reset();
            return;
        }
        if (ClaimSet(*folder_, name, lock_) == err::kSharingViolation) {
            prompts_.Tell(Fill(texts::kSetInUse, FolderPrefix(platform_, folder) + name));
            throw RunStopped{};
        }
    }
    Folder* folder() const { return folder_.get(); }

private:
    Platform& platform_;
    Prompts& prompts_;
    std::unique_ptr<Folder> folder_;
    std::unique_ptr<Lock> lock_;
};

class Rejoiner {
public:
    Rejoiner(const RejoinJob& job, OperationContext& ctx)
        : job_(job), ctx_(ctx), platform_(ctx.platform), prompts_(ctx.prompts), set_(ctx.platform, ctx.prompts),
          output_(ctx.platform, ctx.prompts), outputs_(ctx.platform) {}

    Outcome Run();

private:
    [[noreturn]] void Fail(const std::string& text, const std::string& caption = std::string());
    [[noreturn]] void Fail(const PieceProblem& problem);
    bool IsInput(const std::string& path);
    void ChooseOutput();
    std::uint32_t OutputPermissions();
    void RemoveSet(const PieceReader& reader);

    const RejoinJob& job_;
    OperationContext& ctx_;
    Platform& platform_;
    Prompts& prompts_;
    // In this order: the output closes before what the run made is removed,
    // and that happens while the names are still claimed.
    SetClaim set_;
    SetClaim output_;
    RunOutputs outputs_;
    std::unique_ptr<File> file_;
    std::string outputPath_;
    std::string outputName_;
};

[[noreturn]] void Rejoiner::Fail(const std::string& text, const std::string& caption) {
    prompts_.Tell(text, caption);
    throw RunFailed{};
}

[[noreturn]] void Rejoiner::Fail(const PieceProblem& problem) {
    if (problem.kind == PieceProblem::Kind::Missing) Fail(texts::kFilesMissing, texts::kFilesMissingCaption);
    if (problem.kind == PieceProblem::Kind::Unreadable && problem.code == err::kReadFault) {
        prompts_.Tell(texts::kErrorReadingFile);
        Fail(texts::kFilesMissing, texts::kFilesMissingCaption);
    }
    Fail(ProblemText(problem));
}

bool Rejoiner::IsInput(const std::string& path) {
    if (SameFile(platform_, path, job_.infoPath)) return true;
    std::vector<std::string> folders{job_.infoFolder};
    folders.insert(folders.end(), job_.laterFolders.begin(), job_.laterFolders.end());
    for (const std::string& folder : folders) {
        for (std::uint32_t i = 0; i < job_.set.pieceCount; ++i) {
            if (SameFile(platform_, path, PieceName(platform_, folder, job_.set.name, i))) return true;
        }
    }
    return false;
}

// Asks for another name while the output exists. The rejoined file never
// replaces one of the files it is made from.
void Rejoiner::ChooseOutput() {
    outputPath_ = FolderPrefix(platform_, job_.destinationFolder) + job_.set.name;
    for (;;) {
        if (!Exists(platform_, outputPath_)) return;
        if (IsInput(outputPath_)) {
            prompts_.Tell(texts::kOutputIsInput);
            throw RunStopped{};
        }
        const FileExistsAnswer answer = prompts_.AskFileExists(outputPath_);
        if (answer == FileExistsAnswer::Overwrite) {
            if (IsFolder(platform_, outputPath_)) Fail(StandardFileText(FileCause::AccessDenied, outputPath_));
            return;
        }
        if (answer == FileExistsAnswer::Stop) throw RunStopped{};
    }
}

// The rejoined file may be read by whoever could read what it replaces, or
// else the pieces.
std::uint32_t Rejoiner::OutputPermissions() {
    FileStatus status;
    if (platform_.Status(outputPath_, status) == err::kNone && status.kind == FileKind::Regular) {
        return status.permissions;
    }
    if (platform_.Status(PieceName(platform_, job_.infoFolder, job_.set.name, 0), status) == err::kNone &&
        status.kind == FileKind::Regular) {
        return status.permissions;
    }
    return 0;
}

// "Remove split files after rejoin": the info file, then exactly the parts
// this rejoin read, in the folders they were read from. Disks that were
// changed in the drive are out of reach and stay as they are.
void Rejoiner::RemoveSet(const PieceReader& reader) {
    if (reader.changedDisks()) return;
    Folder* folder = set_.folder();
    const std::string infoName = FileNamePart(platform_, job_.infoPath);
    const ErrorCode code = folder ? folder->Delete(infoName) : platform_.Delete(job_.infoPath);
    if (code != err::kNone) {
        // The output is complete; only the clean-up could not be done.
        prompts_.Tell(StandardFileText(CauseFromCode(code), job_.infoPath));
        throw RunStopped{};
    }
    std::string failed;
    for (const auto& [where, name] : reader.partsRead()) {
        const std::string path = FolderPrefix(platform_, where) + name;
        const ErrorCode removed =
            folder && where == job_.infoFolder ? folder->Delete(name) : platform_.Delete(path);
        if (removed != err::kNone && removed != err::kFileNotFound && failed.empty()) failed = path;
    }
    if (folder) folder->Flush();
    if (!failed.empty()) prompts_.Tell(Fill(texts::kNotRemoved, failed));
}

Outcome Rejoiner::Run() {
    const Outcome outcome = EndingOf([&] {
        if (!job_.asksForDisks) set_.Claim(job_.infoFolder, job_.set.name);
        ChooseOutput();
        outputName_ = FileNamePart(platform_, outputPath_);
        const std::string folderPath = FolderPart(platform_, outputPath_);
        // One lock serves when the output has the set's name beside it.
        const bool sameClaim = set_.folder() && SameFile(platform_, folderPath, job_.infoFolder) &&
                               AsciiUpper(outputName_) == AsciiUpper(job_.set.name);
        if (!sameClaim) output_.Claim(folderPath, outputName_);
        Folder* folder = sameClaim ? set_.folder() : output_.folder();
        std::unique_ptr<Folder> opened;
        if (!folder) {
            if (const ErrorCode code = platform_.OpenFolder(folderPath, opened)) {
                Fail(StandardFileText(CauseFromCode(code), outputPath_));
            }
            folder = opened.get();
        }

        std::string temporary;
        if (const ErrorCode code =
                outputs_.CreateTemporary(*folder, outputName_, temporary, file_, OutputPermissions())) {
            Fail(StandardFileText(CauseFromCode(code), outputPath_));
        }
        file_->Reserve(job_.set.size);
        PieceReader reader(job_, ctx_);
        reader.ReadAll(
            [&](const unsigned char* data, std::uint32_t size) {
                try {
                    WriteOrThrow(*file_, outputPath_, data, size);
                } catch (const FileError& failure) {
                    Fail(StandardFileText(failure.cause, outputPath_));
                }
            },
            [&](const PieceProblem& problem) { Fail(problem); });
        // On the disk before it has its name, and its name on the disk
        // before anything it replaces, or the pieces, can go.
        try {
            if (const ErrorCode code = file_->Flush()) throw FileError(code, outputPath_);
            CloseOrThrow(file_, outputPath_);
        } catch (const FileError& failure) {
            Fail(StandardFileText(failure.cause, outputPath_));
        }
        if (const ErrorCode code = outputs_.Publish(*folder, temporary, outputName_)) {
            Fail(StandardFileText(CauseFromCode(code), outputPath_));
        }
        if (const ErrorCode code = folder->Flush()) Fail(StandardFileText(CauseFromCode(code), outputPath_));
        outputs_.Keep();
        if (ctx_.settings.removeSplitFilesAfterRejoin) RemoveSet(reader);
    });
    CloseQuietly(file_);
    const std::vector<std::string> kept = outputs_.Discard();
    if (!kept.empty()) prompts_.Tell(Fill(texts::kNotRemoved, kept.front()));
    return outcome;
}

class Verifier {
public:
    Verifier(const RejoinJob& job, OperationContext& ctx, VerifyReport& report)
        : job_(job), ctx_(ctx), report_(report), set_(ctx.platform, ctx.prompts) {}

    Outcome Run() {
        return EndingOf([&] {
            if (!job_.asksForDisks) set_.Claim(job_.infoFolder, job_.set.name);
            report_ = VerifyReport{};
            report_.pieces = job_.set.pieceCount;
            PieceReader reader(job_, ctx_);
            reader.ReadAll(nullptr, [&](const PieceProblem& problem) { report_.problems.push_back(problem); });
            report_.checksums = reader.checksums();
        });
    }

private:
    const RejoinJob& job_;
    OperationContext& ctx_;
    VerifyReport& report_;
    SetClaim set_;
};

}  // namespace

Outcome RejoinOperation(const RejoinJob& job, OperationContext& ctx) { return Rejoiner(job, ctx).Run(); }

Outcome VerifyOperation(const RejoinJob& job, OperationContext& ctx, VerifyReport& report) {
    return Verifier(job, ctx, report).Run();
}

std::string VerifySummary(const VerifyReport& report) {
    std::string out;
    for (const PieceProblem& problem : report.problems) {
        switch (problem.kind) {
            case PieceProblem::Kind::Missing: out += "missing: " + problem.path; break;
            case PieceProblem::Kind::NotAFile: out += "not a file: " + problem.path; break;
            case PieceProblem::Kind::WrongLength: out += "wrong length: " + problem.path; break;
            case PieceProblem::Kind::Damaged: out += "damaged (checksum does not match): " + problem.path; break;
            case PieceProblem::Kind::Unreadable: out += "unreadable: " + ProblemText(problem); break;
            case PieceProblem::Kind::WholeDamaged:
                out += "damaged: the pieces do not make the file that " + problem.path + " records";
                break;
        }
        out += "\n";
    }
    out += std::to_string(report.pieces) + " pieces checked: ";
    out += report.problems.empty() ? std::string("all good") : std::to_string(report.problems.size()) + " bad";
    if (!report.checksums) out += " (the info file records no checksums: lengths only)";
    return out + "\n";
}

}  // namespace engine
