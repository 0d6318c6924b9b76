#include "engine/io/RecoveryFiles.h"

#include <algorithm>
#include <optional>

#include "engine/base/Names.h"
#include "engine/set/PiecePlan.h"

namespace engine {

std::vector<std::string> RecoveryFilesOf(Platform& platform, const RejoinJob& job) {
    const std::vector<std::string> folders = SetFolders(job);
    std::vector<std::string> paths;
    const bool exact = platform.CaseSensitiveNames();
    for (const std::string& folder : folders) {
        std::vector<FolderEntry> entries;
        if (platform.ListFolder(folder, entries) != err::kNone) continue;
        std::sort(entries.begin(), entries.end(),
                  [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
        for (const FolderEntry& e : entries) {
            if (!e.isFolder && par2::IsRecoveryFileOf(e.name, job.set.name, exact)) {
                paths.push_back(FolderPrefix(platform, folder) + e.name);
            }
        }
    }
    return paths;
}

RecoveryFilesSummary SummarizeRecoveryFiles(Platform& platform, const RejoinJob& job) {
    RecoveryFilesSummary summary;
    const std::vector<std::string> paths = RecoveryFilesOf(platform, job);
    summary.files = static_cast<std::uint32_t>(paths.size());
    for (const par2::RecoverySet& s : par2::ReadRecoveryFiles(platform, paths, false, nullptr)) {
        std::uint64_t widest = 0;
        for (const par2::FileDescription& d : s.descriptions) {
            std::uint64_t index = 0;
            if (IsPieceOf(d.name, job.set.name, true, &index)) widest = std::max(widest, s.SlicesOf(d.length));
        }
        if (widest == 0 || s.recovery.size() <= summary.blocks) continue;
        summary.blocks = static_cast<std::uint32_t>(s.recovery.size());
        summary.wholePieces = static_cast<std::uint32_t>(s.recovery.size() / widest);
        summary.slicesPerPiece = static_cast<std::uint32_t>(std::min<std::uint64_t>(widest, UINT32_MAX));
    }
    return summary;
}

// The piece size a recovery set's descriptions give a set that records
// none: from any piece but the last its length, from the last what is left
// for the others. 0 when they give none that makes a plan of the set.
std::uint32_t PieceSizeFrom(const par2::RecoverySet& s, const SetInfo& set) {
    const std::uint32_t count = set.pieceCount;
    for (const par2::FileDescription& d : s.descriptions) {
        std::uint64_t index = 0;
        if (!IsPieceOf(d.name, set.name, true, &index) || index >= count) continue;
        std::uint64_t size = d.length;
        if (count == 1) return d.length == set.size ? MeasuredPieceSize(set.size, 1, d.length) : 0;
        if (index + 1 == count) {
            if (d.length > set.size || (set.size - d.length) % (count - 1) != 0) continue;
            size = (set.size - d.length) / (count - 1);
        }
        const std::uint32_t measured = MeasuredPieceSize(set.size, count, size);
        if (measured != 0 && PieceLength(set.size, count, measured, static_cast<std::uint32_t>(index)) == d.length) {
            return measured;
        }
    }
    return 0;
}

std::uint32_t SettlePieceSize(Platform& platform, const RejoinJob& job) {
    const SetInfo& set = job.set;
    const std::vector<std::string> folders = SetFolders(job);
    // The length of each piece present, wherever it is first found.
    std::vector<std::optional<std::uint64_t>> lengths(set.pieceCount);
    for (std::uint32_t i = 0; i < set.pieceCount; ++i) {
        for (const std::string& folder : folders) {
            FileStatus status;
            if (platform.Status(PieceName(platform, folder, set.name, i), status) == err::kNone &&
                status.kind == FileKind::Regular) {
                lengths[i] = status.size;
                break;
            }
        }
    }
    std::vector<std::uint32_t> candidates;
    if (lengths[0]) candidates.push_back(MeasuredPieceSize(set.size, set.pieceCount, *lengths[0]));
    for (const par2::RecoverySet& s : par2::ReadRecoveryFiles(platform, RecoveryFilesOf(platform, job), false, nullptr)) {
        candidates.push_back(PieceSizeFrom(s, set));
    }
    std::uint32_t best = 0;
    int bestAgree = 0;
    for (std::uint32_t size : candidates) {
        if (size == 0) continue;
        int agree = 0;
        for (std::uint32_t i = 0; i < set.pieceCount; ++i) {
            if (lengths[i] && *lengths[i] == PieceLength(set.size, set.pieceCount, size, i)) ++agree;
        }
        if (best == 0 || agree > bestAgree) {
            best = size;
            bestAgree = agree;
        }
    }
    return best;
}

}  // namespace engine
