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
std::uint64_t CriticalSize(const std::string& setName, std::uint32_t count) {
    std::uint64_t total = PacketSize(12 + 16ull * count) + PacketSize(par2::CreatorBody().size());
    for (std::uint32_t i = 0; i < count; ++i) {
        total += PacketSize(56 + PieceFileName(setName, i).size()) + PacketSize(16 + 20);
    }
    return total;
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
                         std::uint32_t pieceSize, std::uint32_t percent, RecoveryPlan& plan) {
    plan = RecoveryPlan{};
    if (percent == 0 || pieceCount == 0) return std::string();
    if (pieceCount > par2::kMaxInputSlices) return texts::kRecoveryTooManyPieces;
    percent = std::min(percent, kMaxRecoveryPercent);
    const std::uint64_t longest = pieceCount == 1 ? size : pieceSize;
    plan.sliceSize = (longest + 3) / 4 * 4;
    plan.inputSlices = pieceCount;
    plan.recoverySlices =
        static_cast<std::uint32_t>(std::max<std::uint64_t>(1, (std::uint64_t{pieceCount} * percent + 99) / 100));
    const std::uint64_t critical = CriticalSize(setName, pieceCount);
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
