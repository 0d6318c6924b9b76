#include "engine/set/SplitState.h"

#include <cstring>
#include <utility>

#include "engine/set/PiecePlan.h"

namespace engine {

namespace {

constexpr char kMagic[8] = {'P', 'V', 'X', 'S', 'T', 'A', 'T', 'E'};
constexpr std::uint32_t kVersion = 1;
// Magic, version, the name's length, size, identity (two), times (two),
// piece size, count, pieces done; then the name, the checksums, and a
// checksum of all before it.
constexpr std::size_t kFixed = 8 + 4 + 4 + 8 + 16 + 16 + 4 + 4 + 4;
constexpr std::size_t kMaxName = 32768;

void Put(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint64_t Get(const std::string& in, std::size_t& at, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= std::uint64_t{static_cast<unsigned char>(in[at + i])} << (8 * i);
    at += bytes;
    return value;
}

}  // namespace

std::size_t MaxSplitStateBytes() { return kFixed + kMaxName + std::size_t{kMaxPieces} * 16 + 8; }

std::size_t SplitStateBytes(std::size_t nameLength, std::size_t pieces) { return kFixed + nameLength + pieces * 16 + 8; }

std::string EncodeSplitState(const SplitState& s) {
    std::string out(kMagic, sizeof kMagic);
    Put(out, kVersion, 4);
    Put(out, s.sourceName.size(), 4);
    Put(out, s.sourceSize, 8);
    Put(out, s.sourceId.volume, 8);
    Put(out, s.sourceId.index, 8);
    Put(out, static_cast<std::uint64_t>(s.sourceModified), 8);
    Put(out, static_cast<std::uint64_t>(s.sourceChanged), 8);
    Put(out, s.pieceSize, 4);
    Put(out, s.pieceCount, 4);
    Put(out, s.pieces.size(), 4);
    out += s.sourceName;
    for (const Checksum& c : s.pieces) out.append(reinterpret_cast<const char*>(c.bytes.data()), c.bytes.size());
    Put(out, Checksum64(out.data(), out.size()), 8);
    return out;
}

bool DecodeSplitState(const std::string& in, SplitState& s) {
    if (in.size() < kFixed + 8 || in.size() > MaxSplitStateBytes() || std::memcmp(in.data(), kMagic, 8) != 0) {
        return false;
    }
    std::size_t end = in.size() - 8;
    if (Get(in, end, 8) != Checksum64(in.data(), in.size() - 8)) return false;
    std::size_t at = 8;
    if (Get(in, at, 4) != kVersion) return false;
    const std::uint64_t nameLength = Get(in, at, 4);
    SplitState r;
    r.sourceSize = Get(in, at, 8);
    r.sourceId.volume = Get(in, at, 8);
    r.sourceId.index = Get(in, at, 8);
    r.sourceModified = static_cast<std::int64_t>(Get(in, at, 8));
    r.sourceChanged = static_cast<std::int64_t>(Get(in, at, 8));
    r.pieceSize = static_cast<std::uint32_t>(Get(in, at, 4));
    r.pieceCount = static_cast<std::uint32_t>(Get(in, at, 4));
    const std::uint64_t done = Get(in, at, 4);
    // Every length agrees with the file's, and the plan is one a split makes.
    if (nameLength == 0 || nameLength > kMaxName || r.pieceCount == 0 || r.pieceCount > kMaxPieces ||
        r.pieceSize == 0 || done > r.pieceCount || in.size() != kFixed + nameLength + done * 16 + 8 ||
        r.sourceSize > std::uint64_t{r.pieceSize} * r.pieceCount ||
        r.sourceSize <= std::uint64_t{r.pieceSize} * (r.pieceCount - 1)) {
        return false;
    }
    r.sourceName = in.substr(at, nameLength);
    at += nameLength;
    r.pieces.resize(done);
    for (Checksum& c : r.pieces) {
        std::memcpy(c.bytes.data(), in.data() + at, c.bytes.size());
        at += c.bytes.size();
    }
    s = std::move(r);
    return true;
}

}  // namespace engine
