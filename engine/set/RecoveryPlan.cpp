#include "engine/set/RecoveryPlan.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>

#include "engine/base/FileErrors.h"
#include "engine/base/Format.h"
#include "engine/par2/Packets.h"
#include "engine/set/PiecePlan.h"
#include "engine/base/Texts.h"

namespace engine {

namespace {


std::uint64_t PacketSize(std::uint64_t body) { return par2::kHeaderSize + (body + 3) / 4 * 4; }

// What the critical packets of a set of `count` pieces take.
std::uint64_t CriticalSize(const std::string& setName, std::uint64_t size, std::uint32_t count,
                           std::uint32_t pieceSize, std::uint64_t slice) {
    std::uint64_t total = PacketSize(12 + 16ull * count) + PacketSize(par2::CreatorBody().size());
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t slices = (PieceLength(size, count, pieceSize, i) + slice - 1) / slice;
        total += PacketSize(56 + PieceFileName(setName, i).size()) + PacketSize(16 + 20 * slices);
    }
    return total;
}

std::uint64_t RoundUp4(std::uint64_t n) { return (n + 3) / 4 * 4; }

// How many slices a piece of `longest` bytes is cut into for `wanted`.
std::uint64_t SliceFor(std::uint64_t longest, std::uint64_t wanted) {
    return RoundUp4((longest + wanted - 1) / wanted);
}

}  // namespace

std::string RebuildableText(std::uint32_t pieces) {
    return pieces == 1 ? texts::kRecoveryCanRebuildOne : Fill(texts::kRecoveryCanRebuild, std::to_string(pieces));
}

std::string ReadableSize(std::uint64_t bytes) {
    if (bytes < 1000) return std::to_string(bytes) + " bytes";
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1000;
    std::size_t unit = 0;
    while (value >= 999.95 && unit + 1 < std::size(units)) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

std::uint64_t RecoveryPlan::TotalSize() const {
    std::uint64_t total = indexSize;
    for (const RecoveryVolume& v : volumes) total += v.size;
    return total;
}

std::string RecoveryPlan::LongestName() const {
    std::string longest = indexName;
    for (const RecoveryVolume& v : volumes) {
        if (v.name.size() > longest.size()) longest = v.name;
    }
    return longest;
}

std::string PlanRecovery(const std::string& setName, std::uint64_t size, std::uint32_t pieceCount,
                         std::uint32_t pieceSize, std::uint32_t percent, RecoveryPlan& plan,
                         const SliceChoice& choice) {
    plan = RecoveryPlan{};
    if (percent == 0 || pieceCount == 0) return std::string();
    if (pieceCount > par2::kMaxInputSlices) return texts::kRecoveryTooManyPieces;
    if (choice.size != 0 && (choice.size % 4 != 0 || choice.size > kMaxSliceSize)) return texts::kRecoverySliceSize;
    percent = std::min(percent, kMaxRecoveryPercent);
    const std::uint64_t longest = std::max<std::uint64_t>(1, pieceCount == 1 ? size : pieceSize);
    std::uint64_t slice = 0;
    if (choice.size != 0) {
        slice = std::min(choice.size, RoundUp4(longest));
    } else if (choice.count != 0) {
        slice = SliceFor(longest, std::max<std::uint64_t>(1, choice.count / pieceCount));
    } else {
        // The fewest slices a piece that still give kScatteredDamage
        // recovery slices, within the smallest slice and the format's count.
        std::uint64_t perPiece = (std::uint64_t{kScatteredDamage} * 100 + std::uint64_t{pieceCount} * percent - 1) /
                                 (std::uint64_t{pieceCount} * percent);
        perPiece = std::min<std::uint64_t>(perPiece, kScatteredDamage);
        perPiece = std::min<std::uint64_t>(perPiece, longest / kMinSliceSize);
        perPiece = std::min<std::uint64_t>(perPiece, par2::kMaxInputSlices / pieceCount);
        slice = SliceFor(longest, std::max<std::uint64_t>(1, perPiece));
    }
    if (slice > kMaxSliceSize) slice = SliceFor(longest, (longest + kMaxSliceSize - 1) / kMaxSliceSize);
    if (slice > kMaxSliceSize) return texts::kRecoverySliceSize;
    const std::uint64_t perPiece = (longest + slice - 1) / slice;
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; i < pieceCount; ++i) {
        total += (PieceLength(size, pieceCount, pieceSize, i) + slice - 1) / slice;
        if (total > par2::kMaxInputSlices) return texts::kRecoveryTooManySlices;
    }
    plan.sliceSize = slice;
    plan.slicesPerPiece = static_cast<std::uint32_t>(perPiece);
    plan.inputSlices = static_cast<std::uint32_t>(total);
    // Whole pieces' worth, as many as the share of the pieces rounded up:
    // what "can rebuild n pieces" has always promised, and the slices give
    // damage in as many more places besides.
    const std::uint64_t whole = std::max<std::uint64_t>(1, (std::uint64_t{pieceCount} * percent + 99) / 100);
    plan.recoverySlices = static_cast<std::uint32_t>(perPiece * whole);
    if (plan.recoverySlices > par2::kMaxInputSlices) return texts::kRecoveryTooManySlices;
    const std::uint64_t critical = CriticalSize(setName, size, pieceCount, pieceSize, slice);
    plan.indexName = par2::IndexName(setName);
    plan.indexSize = critical;
    // 1, 2, 4, ... slices a file; the last takes what is left.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
    std::uint32_t largest = 0;
    for (std::uint32_t first = 0, count = 1; first < plan.recoverySlices; first += count, count *= 2) {
        count = std::min(count, plan.recoverySlices - first);
        ranges.push_back({first, count});
        largest = std::max(largest, count);
    }
    for (const auto& [first, count] : ranges) {
        RecoveryVolume v;
        v.first = first;
        v.count = count;
        v.name = par2::VolumeName(setName, first, count, plan.recoverySlices, largest);
        v.size = count * (par2::kRecoveryOverhead + plan.sliceSize) + critical;
        plan.volumes.push_back(std::move(v));
    }
    return std::string();
}

}  // namespace engine
