#include "engine/ops/Prepare.h"

#include <functional>
#include <vector>

#include "engine/base/FileErrors.h"
#include "engine/base/Names.h"
#include "engine/par2/Packets.h"
#include "engine/io/PieceReader.h"
#include "engine/set/RecoveryPlan.h"
#include "engine/io/SetRepair.h"
#include "engine/io/StateFile.h"
#include "engine/set/RejoinBatch.h"
#include "engine/set/SetFiles.h"
#include "engine/ops/Split.h"
#include "engine/base/Texts.h"

namespace engine {

namespace {

// A refusal that still shows what the checks found so far.
Prepared Refuse(const Prepared& found, std::string text, std::string caption = std::string()) {
    Prepared p = found;
    p.ok = false;
    p.refusal.text = std::move(text);
    p.refusal.caption = std::move(caption);
    return p;
}

std::string TrimTrailingBlanks(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

bool IsFolderOrRoot(Platform& platform, const std::string& path) {
    return IsFolder(platform, path) || platform.IsRoot(path);
}

// Whether `path` lies somewhere inside `folder`, links resolved.
bool LiesInside(Platform& platform, const std::string& path, const std::string& folder) {
    FileStatus target;
    if (platform.Status(folder, target) != err::kNone || target.kind != FileKind::Folder) return false;
    std::string at = platform.ResolvedPath(path);
    for (int depth = 0; depth < 4096; ++depth) {
        const std::string parent = FolderPart(platform, at);
        if (parent == at || parent == ".") return false;
        FileStatus status;
        if (platform.Status(parent, status) == err::kNone && status.kind == FileKind::Folder &&
            status.id == target.id) {
            return true;
        }
        at = parent;
    }
    return false;
}

// Every entry inside `folder`, a folder's contents before the folder.
void WalkFolder(Platform& platform, const std::string& folder,
                const std::function<void(const std::string& path, bool isFolder)>& visit) {
    std::vector<FolderEntry> entries;
    if (platform.ListFolder(folder, entries) != err::kNone) return;
    const std::string prefix = FolderPrefix(platform, folder);
    for (const FolderEntry& entry : entries) {
        if (entry.name == "." || entry.name == "..") continue;
        const std::string path = prefix + entry.name;
        if (entry.isFolder) WalkFolder(platform, path, visit);
        visit(path, entry.isFolder);
    }
}

// What emptying `folder` would give back at most.
std::uint64_t ErasableBytes(Platform& platform, const std::string& folder) {
    std::uint64_t total = 0;
    WalkFolder(platform, folder, [&](const std::string& path, bool isFolder) {
        FileStatus status;
        if (!isFolder && platform.Status(path, status) == err::kNone) total += status.size;
    });
    return total;
}

// What the first disk of a removable split must take: the info file and
// Go.bat, and the first byte of the first piece.
std::uint64_t FirstDiskBytes(const Platform& platform, const SplitJob& job) {
    const std::uint64_t info = EncodeInfoFile(PlannedSet(job), platform).size();
    const std::uint64_t batch = EncodeBatch(platform, RejoinBatchText(job.sourceName, job.pieceCount)).size();
    return info + batch + 1;
}

// Every name the split will write, checked against the source: a piece, the
// info file or Go.bat that is the source itself (a link, a hard link, the
// same name) would destroy it.
bool OutputsAreFree(Platform& platform, const SplitJob& job, Prepared& p) {
    auto check = [&](const std::string& path) {
        FileStatus status;
        if (platform.Status(path, status) != err::kNone) return true;  // creation reports it
        if (status.kind == FileKind::Missing) return true;
        if (status.id == job.sourceId && status.kind == FileKind::Regular) {
            p = Refuse(p, Fill(texts::kOutputIsSource, path));
            return false;
        }
        if (status.kind == FileKind::Folder && !status.link) {
            p = Refuse(p, StandardFileText(FileCause::AccessDenied, path));
            return false;
        }
        return true;
    };
    if (!check(InfoPath(platform, job.destinationFolder, job.sourceName))) return false;
    if (!check(BatchFileName(platform, job.destinationFolder))) return false;
    if (!job.recovery.empty()) {
        const std::string prefix = FolderPrefix(platform, job.destinationFolder);
        if (!check(prefix + job.recovery.indexName)) return false;
        for (const RecoveryVolume& v : job.recovery.volumes) {
            if (!check(prefix + v.name)) return false;
        }
    }
    for (std::uint32_t i = 0; i < job.pieceCount; ++i) {
        if (!check(PieceName(platform, job.destinationFolder, job.sourceName, i))) return false;
    }
    return true;
}

// What every start checks first: the source names an ordinary file, the
// destination (the working folder when empty) is a folder or a root.
struct Opening {
    bool passed = false;
    Prepared found;  // what the checks found so far; the job is filled in later
    std::string source;
    std::string destination;
    FileStatus status;

    Prepared Refusal(std::string text, std::string caption = std::string()) const {
        return Refuse(found, std::move(text), std::move(caption));
    }
};

Opening CheckSourceAndDestination(const StartRequest& request, Platform& platform,
                                  const EngineSettings& settings, std::string source) {
    Opening o;
    o.source = std::move(source);
    auto refuse = [&o](std::string text) {
        o.found = o.Refusal(std::move(text));
        return o;
    };
    // Which file, and why, beside the text the program has always shown.
    const auto refuseWith = [&o](std::string text, std::string detail) {
        o.found = o.Refusal(std::move(text));
        o.found.refusal.detail = std::move(detail);
        return o;
    };
    if (o.source.empty()) return refuse(texts::kSourceNotDefined);
    if (!Exists(platform, o.source)) return refuseWith(texts::kSourceNotDefined, Fill(texts::kCauseNotFound, o.source));
    // Only a split and a rejoin write a file of their own elsewhere.
    if (request.mode == Mode::Split || request.mode == Mode::Rejoin) {
        o.destination = request.destinationText;
        if (o.destination.empty()) {
            o.destination = settings.workingFolder;
            o.found.workingFolderUsed = o.destination;
        }
        if (o.destination.empty()) return refuse(texts::kDestinationNotDefined);
        if (!IsFolderOrRoot(platform, o.destination)) {
            return refuseWith(texts::kDestinationNotDefined,
                              Fill(Exists(platform, o.destination) ? texts::kFileNotFolder : texts::kCauseNotFound,
                                   o.destination));
        }
    }
    if (platform.Status(o.source, o.status) != err::kNone || o.status.kind == FileKind::Missing) {
        return refuseWith(texts::kSourceNotDefined, Fill(texts::kCauseNotFound, o.source));
    }
    if (o.status.kind == FileKind::Folder) return refuseWith(texts::kSourceNotDefined, Fill(texts::kIsAFolder, o.source));
    if (o.status.kind != FileKind::Regular) return refuse(Fill(texts::kNotAFile, o.source));
    o.found.sourceSizeKnown = true;
    o.found.sourceSize = o.status.size;
    o.passed = true;
    return o;
}

Prepared PrepareSplit(const StartRequest& request, Platform& platform, const EngineSettings& settings) {
    Opening o = CheckSourceAndDestination(request, platform, settings, TrimTrailingBlanks(request.sourceText));
    if (!o.passed) return o.found;
    Prepared& p = o.found;
    auto refuse = [&o](std::string text, std::string caption = std::string()) {
        return o.Refusal(std::move(text), std::move(caption));
    };
    const std::string& source = o.source;
    const std::string& destination = o.destination;
    const FileStatus& status = o.status;

    SplitJob job;
    job.sourcePath = source;
    // The name as the file system keeps it: a file typed as A.BIN that is
    // stored as a.bin is rejoined as a.bin.
    job.sourceName = platform.StoredName(source);
    job.destinationFolder = destination;
    job.sourceId = status.id;
    job.sourceSize = status.size;
    job.sourceModified = status.modified;
    job.sourceChanged = status.changed;
    job.sourcePermissions = status.permissions;
    job.driveType = platform.QueryDriveType(destination);

    const std::string problem = NameProblem(job.sourceName);
    if (!problem.empty()) {
        return refuse(Fill(Fill(texts::kBadName, problem, "%2"), job.sourceName));
    }

    if (job.sourceSize == 0) return refuse(Fill(texts::kEmptySource, source));
    const PlanCheck resolved = ResolvePieceSize(request.size, job.sourceSize, job.pieceSize);
    if (!resolved.ok) {
        Prepared r = refuse(resolved.message ? resolved.message : "");
        r.refusal.silent = resolved.message == nullptr;
        return r;
    }
    const PlanCheck fits = CheckPieceSize(job.sourceSize, job.pieceSize);
    if (!fits.ok) return refuse(fits.message);
    const std::uint64_t count = CountPieces(job.sourceSize, job.pieceSize);
    if (count > kMaxPieces) return refuse(texts::kTooManyPieces);
    job.pieceCount = static_cast<std::uint32_t>(count);
    if (request.recoveryPercent > kMaxRecoveryPercent) return refuse(texts::kRecoveryPercentRange);
    job.recoveryPercent = request.recoveryPercent;
    job.slices = request.slices;
    job.ownBatch = request.ownBatch;
    job.restart = request.restart;
    const std::string noRecovery = PlanRecovery(job.sourceName, job.sourceSize, job.pieceCount, job.pieceSize,
                                                request.recoveryPercent, job.recovery, request.slices);
    if (!noRecovery.empty()) return refuse(noRecovery);
    if (platform.NameTooLong(PieceFileName(job.sourceName, count - 1)) ||
        platform.NameTooLong(InfoFileName(job.sourceName)) ||
        (!job.recovery.empty() && platform.NameTooLong(job.recovery.LongestName()))) {
        return refuse(texts::kNameTooLong);
    }
    if (!OutputsAreFree(platform, job, p)) return p;

    std::uint64_t room = 0;
    if (!platform.GetFreeSpace(destination, room)) return refuse(texts::kNoDiskInfo);
    auto noRoom = [&] {
        Prepared r = refuse(texts::kNoRoomForSource, texts::kNoRoomCaption);
        r.refusal.noSpace = true;
        return r;
    };
    // A removable disk needs room for the start of the set: the disks the
    // user puts in take the rest. Anywhere else the whole set must fit.
    const bool removable = job.driveType == DriveType::Removable;
    const std::uint64_t needed = removable ? FirstDiskBytes(platform, job) : job.sourceSize + job.recovery.TotalSize();
    if (settings.eraseRemovableBeforeSplit && removable) {
        if (LiesInside(platform, source, destination)) return refuse(texts::kEraseWouldTakeSource);
        // The user's files go only for a split that can then take place
        // (the pieces a stopped split left among them).
        room += ErasableBytes(platform, destination);
    } else {
        // The pieces a stopped split of this source left are kept, or each
        // goes before it is made again.
        room += HeldByStoppedRun(platform, job);
    }
    if (room < needed) return noRoom();
    p.ok = true;
    p.job = job;
    return p;
}

// The refusal for the first problem a walk over the pieces finds: the same
// rule a rejoin and a verification apply as they read.
Prepared RefusalFor(const Opening& o, const PieceProblem& problem) {
    if (problem.kind == PieceProblem::Kind::Missing) return o.Refusal(ProblemText(problem), texts::kFilesMissingCaption);
    return o.Refusal(ProblemText(problem));
}

// Every piece that is missing is named, not only the first.
Prepared RefusalFor(const Opening& o, const std::vector<PieceProblem>& problems) {
    std::vector<std::string> missing;
    for (const PieceProblem& problem : problems) {
        if (problem.kind == PieceProblem::Kind::Missing) missing.push_back(problem.path);
    }
    if (missing.size() < 2) return RefusalFor(o, problems.front());
    constexpr std::size_t kNamed = 10;
    std::string names;
    for (std::size_t i = 0; i < missing.size() && i < kNamed; ++i) names += (i ? ", " : "") + missing[i];
    if (missing.size() > kNamed) names += Fill(texts::kAndMore, std::to_string(missing.size() - kNamed));
    return o.Refusal(Fill(texts::kFilesMissingNamedMany, names), texts::kFilesMissingCaption);
}

Prepared PrepareRejoin(const StartRequest& request, Platform& platform, const EngineSettings& settings) {
    Opening o = CheckSourceAndDestination(request, platform, settings,
                                          InfoPathFor(platform, TrimTrailingBlanks(request.sourceText)));
    if (!o.passed) return o.found;
    Prepared& p = o.found;
    const std::string& source = o.source;
    const std::string& destination = o.destination;

    RejoinJob job;
    job.infoPath = source;
    job.restart = request.restart;
    job.infoFolder = FolderPart(platform, source);
    job.destinationFolder = destination;
    job.driveType = platform.QueryDriveType(destination);
    for (const std::string& folder : request.laterFolders) {
        if (!IsFolderOrRoot(platform, folder)) return o.Refusal(Fill(texts::kNoSuchFolder, folder));
        job.laterFolders.push_back(folder);
    }
    // Pieces on a removable drive may go on on the next disk put in it.
    job.asksForDisks = job.laterFolders.empty() && platform.QueryDriveType(job.infoFolder) == DriveType::Removable;
    try {
        job.set = ReadInfoFile(platform, source);
    } catch (const InvalidSplitInfo& bad) {
        // Only a rejoin would have rejoined; and a file that is no set's
        // at all (Go.bat, the source) is told what to choose instead.
        if (request.mode == Mode::Rejoin) return o.Refusal(bad.what());
        Prepared r = o.Refusal(Fill(texts::kNotAnInfoFile, source));
        if (!EndsWithNoCase(source, kInfoSuffix)) r.refusal.detail = texts::kChooseASetFile;
        return r;
    } catch (const FileError& failure) {
        return o.Refusal(StandardFileText(failure.cause, failure.path));
    }
    job.pieceSize = job.set.pieceSize;
    // A set that records no piece size has it from piece 0, or where piece 0
    // is lost or cut, from its recovery files.
    if (job.pieceSize == 0 && !job.asksForDisks && !RecoveryFilesOf(platform, job).empty()) {
        job.pieceSize = SettlePieceSize(platform, job);
    }
    if (request.mode == Mode::QuickCheck) {
        p.ok = true;
        p.job = QuickCheckJob{job};
        return p;
    }
    if (request.mode == Mode::Verify || request.mode == Mode::Repair) {
        // Both report every bad piece themselves; a repair rebuilds from
        // files that are all in reach at once.
        if (request.mode == Mode::Repair && job.asksForDisks) return o.Refusal(texts::kRepairFromDisks);
        p.ok = true;
        if (request.mode == Mode::Verify) {
            p.job = VerifyJob{job};
        } else {
            p.job = RepairJob{job};
        }
        return p;
    }
    // Every piece in reach has its place and length before anything is
    // written; on a removable drive the walk stops at the end of the disk.
    // A set with recovery files may lack pieces: the rejoin rebuilds them.
    std::vector<PieceProblem> problems;
    PieceReader walk(job, platform);
    walk.ReadAll(nullptr, [&](const PieceProblem& problem) { problems.push_back(problem); });
    const bool mayRebuild = request.mode == Mode::Rejoin && !job.asksForDisks &&
                            !RecoveryFilesOf(platform, job).empty() && walk.pieceSize() != 0;
    if (!problems.empty() && !mayRebuild) return RefusalFor(o, problems);
    // What the recovery files hold at the most, against what the bad pieces
    // need at the least: a rebuild that cannot succeed is refused before
    // any question or write.
    if (!problems.empty() && request.mode == Mode::Rejoin) {
        const RecoveryFilesSummary recovery = SummarizeRecoveryFiles(platform, job);
        std::uint64_t needed = 0;
        for (const PieceProblem& problem : problems) {
            needed += problem.kind == PieceProblem::Kind::Missing ? recovery.slicesPerPiece : 1;
        }
        if (recovery.blocks == 0 || needed > recovery.blocks) {
            Prepared r = RefusalFor(o, problems);
            RecoveryState state;
            state.found = true;  // recovery files are there, if with too few blocks
            state.blocksNeeded = static_cast<std::uint32_t>(std::min<std::uint64_t>(needed, UINT32_MAX));
            state.blocksAvailable = recovery.blocks;
            std::size_t bad = 0;
            for (const PieceProblem& problem : problems) bad += problem.piece != PieceProblem::kNoPiece;
            r.refusal.text += "\n" + RecoverySentence(state, bad);
            return r;
        }
    }
    job.pieceSize = walk.pieceSize();
    if (request.mode == Mode::Protect) {
        if (request.recoveryPercent > kMaxRecoveryPercent) return o.Refusal(texts::kRecoveryPercentRange);
        if (job.asksForDisks || walk.needsAnotherDisk()) return o.Refusal(texts::kRepairFromDisks);
        // As a split at 0 % makes no recovery files, neither does this.
        if (request.recoveryPercent == 0) return o.Refusal(texts::kNoRecoveryFilesMade);
        ProtectJob protect{job, {}};
        const std::string why = PlanRecovery(job.set.name, job.set.size, job.set.pieceCount, job.pieceSize,
                                             request.recoveryPercent, protect.recovery, request.slices);
        if (!why.empty()) return o.Refusal(why);
        if (platform.NameTooLong(protect.recovery.LongestName())) return o.Refusal(texts::kNameTooLong);
        std::uint64_t room = 0;
        if (platform.GetFreeSpace(job.infoFolder, room) && room < protect.recovery.TotalSize()) {
            Prepared r = o.Refusal(texts::kNoRoomForSource, texts::kNoRoomCaption);
            r.refusal.noSpace = true;
            return r;
        }
        p.ok = true;
        p.job = protect;
        return p;
    }
    if (walk.needsAnotherDisk() && platform.DriveRoot(destination) == platform.DriveRoot(job.infoFolder)) {
        return o.Refusal(texts::kOutputOnTheDisks);
    }
    // The rebuilt file needs its whole size, also while an older file of the
    // same name still stands.
    std::uint64_t room = 0;
    if (platform.GetFreeSpace(destination, room) && room + HeldByStoppedRun(platform, job) < job.set.size) {
        Prepared r = o.Refusal(texts::kNoRoomForSource, texts::kNoRoomCaption);
        r.refusal.noSpace = true;
        return r;
    }
    p.ok = true;
    p.job = job;
    return p;
}

}  // namespace

std::string RefusalMessage(const Refusal& refusal) {
    return refusal.detail.empty() ? refusal.text : refusal.text + "\n" + refusal.detail;
}

std::string InfoPathFor(const Platform& platform, const std::string& path) {
    // NAME.par2 and NAME.volA+B.par2 stand for NAME.sio beside them.
    if (const std::string info = InfoFileForRecoveryFile(path); !info.empty()) return info;
    if (!IsPieceFileName(path)) return path;
    const std::string info = InfoFileForPiece(path, std::string(1, platform.Separator()));
    return info.empty() ? path : info;
}

Prepared PrepareJob(const StartRequest& request, Platform& platform, const EngineSettings& settings) {
    return request.mode == Mode::Split ? PrepareSplit(request, platform, settings)
                                       : PrepareRejoin(request, platform, settings);
}

}  // namespace engine
