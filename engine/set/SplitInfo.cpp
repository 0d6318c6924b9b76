#include "engine/set/SplitInfo.h"

#include <algorithm>
#include <cstring>

#include "engine/base/FileErrors.h"
#include "engine/base/Format.h"
#include "engine/base/Names.h"
#include "engine/set/PiecePlan.h"
#include "engine/base/Texts.h"

namespace engine {

namespace {

void PutLE(unsigned char* at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}
std::uint64_t GetLE(const unsigned char* at, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | at[i];
    return value;
}

constexpr unsigned char kMagic[4] = {'S', 'I', 'O', 'X'};
constexpr std::uint32_t kFlagChecksums = 1;

// Trailer offsets, from its magic.
constexpr std::size_t kAtVersion = 4, kAtFlags = 6, kAtHeader = 8, kAtLength = 12, kAtSize = 16,
                      kAtPieceSize = 24, kAtCount = 28, kAtNameLength = 32, kAtReserved = 36, kAtWhole = 40;

std::size_t CodePoints(const std::string& utf8) {
    std::size_t count = 0;
    for (unsigned char c : utf8) count += (c & 0xC0) != 0x80;
    return count;
}

// Whether the record's name can be the trailer's in the code page of the
// machine that wrote it. Where this machine's code page holds the name, it
// must be exactly that; where it does not, the set came from a machine with
// another one, and the name must at least be as long as such a page makes
// it (one or two bytes a character).
bool RecordNameAgrees(const std::string& record, const std::string& name, const Platform& platform) {
    std::string ansi;
    if (platform.ToAnsiName(name, ansi)) return ansi == record;
    const std::size_t characters = CodePoints(name);
    return record.size() >= characters && record.size() <= 2 * characters;
}

// The largest info file a reader takes in: everything beyond cannot be ours.
constexpr std::uint64_t kMaxInfoFile =
    kSplitInfoSize + kTrailerHeader + kMaxTrailerName + 16ull * kMaxPieces + 8;

std::uint64_t TrailerLength(std::size_t nameLength, std::uint32_t count, bool checksums) {
    return kTrailerHeader + nameLength + (checksums ? 16ull * count : 0) + 8;
}

}  // namespace

std::array<unsigned char, kSplitInfoSize> EncodeSplitInfo(const SplitInfo& info) {
    std::array<unsigned char, kSplitInfoSize> bytes{};  // the name field is zero-filled
    PutLE(bytes.data(), info.pieceCount, 4);
    std::memcpy(bytes.data() + 4, info.fileName.data(),
                std::min(info.fileName.size(), kSplitInfoNameField - 1));
    PutLE(bytes.data() + 4 + kSplitInfoNameField, info.fileSize, 4);
    return bytes;
}

SplitInfo DecodeSplitInfo(const unsigned char* bytes) {
    SplitInfo info;
    info.pieceCount = static_cast<std::uint32_t>(GetLE(bytes, 4));
    const char* name = reinterpret_cast<const char*>(bytes + 4);
    info.fileName.assign(name, strnlen(name, kSplitInfoNameField));
    info.fileSize = static_cast<std::uint32_t>(GetLE(bytes + 4 + kSplitInfoNameField, 4));
    return info;
}

std::vector<unsigned char> EncodeInfoFile(const SetInfo& set, const Platform& platform) {
    SplitInfo record{set.pieceCount, kPlaceholderName, 0xFFFFFFFFu};
    std::string ansi;
    if (set.size <= 0xFFFFFFFFull && platform.ToAnsiName(set.name, ansi) && !ansi.empty() &&
        ansi.size() < kSplitInfoNameField && ansi.find('\0') == std::string::npos) {
        record.fileName = ansi;
        record.fileSize = static_cast<std::uint32_t>(set.size);
    }
    const auto head = EncodeSplitInfo(record);
    std::vector<unsigned char> bytes(head.begin(), head.end());

    const bool checksums = set.hasChecksums;
    const std::uint64_t length = TrailerLength(set.name.size(), set.pieceCount, checksums);
    std::vector<unsigned char> trailer(static_cast<std::size_t>(length), 0);
    unsigned char* t = trailer.data();
    std::memcpy(t, kMagic, 4);
    PutLE(t + kAtVersion, kTrailerVersion, 2);
    PutLE(t + kAtFlags, checksums ? kFlagChecksums : 0, 2);
    PutLE(t + kAtHeader, kTrailerHeader, 4);
    PutLE(t + kAtLength, length, 4);
    PutLE(t + kAtSize, set.size, 8);
    PutLE(t + kAtPieceSize, set.pieceSize, 4);
    PutLE(t + kAtCount, set.pieceCount, 4);
    PutLE(t + kAtNameLength, set.name.size(), 4);
    if (checksums) std::memcpy(t + kAtWhole, set.whole.bytes.data(), 16);
    std::size_t at = kTrailerHeader;
    std::memcpy(t + at, set.name.data(), set.name.size());
    at += set.name.size();
    if (checksums) {
        for (const Checksum& piece : set.pieces) {
            std::memcpy(t + at, piece.bytes.data(), 16);
            at += 16;
        }
    }
    PutLE(t + trailer.size() - 8, Checksum64(t, trailer.size() - 8), 8);
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    return bytes;
}

InvalidSplitInfo::InvalidSplitInfo(const std::string& path)
    : std::runtime_error(Fill(texts::kBadInfoFile, path)) {}

SetInfo DecodeInfoFile(const std::vector<unsigned char>& bytes, const Platform& platform,
                       const std::string& path) {
    if (bytes.size() < kSplitInfoSize || bytes.size() > kMaxInfoFile) throw InvalidSplitInfo(path);
    const unsigned char* nameField = bytes.data() + 4;
    if (std::find(nameField, nameField + kSplitInfoNameField, 0) == nameField + kSplitInfoNameField) {
        throw InvalidSplitInfo(path);
    }
    const SplitInfo record = DecodeSplitInfo(bytes.data());
    SetInfo set;
    set.pieceCount = record.pieceCount;
    set.size = record.fileSize;

    if (bytes.size() == kSplitInfoSize) {
        // A record alone, as every earlier version wrote it.
        if (!platform.FromAnsiName(record.fileName, set.name)) throw InvalidSplitInfo(path);
        if (set.pieceCount == 0 || set.pieceCount > set.size || !IsPlainFileName(set.name)) {
            throw InvalidSplitInfo(path);
        }
        return set;
    }

    const unsigned char* t = bytes.data() + kSplitInfoSize;
    const std::size_t length = bytes.size() - kSplitInfoSize;
    if (length < kTrailerHeader + 8 || std::memcmp(t, kMagic, 4) != 0) throw InvalidSplitInfo(path);
    if (GetLE(t + length - 8, 8) != Checksum64(t, length - 8)) throw InvalidSplitInfo(path);
    const std::uint64_t version = GetLE(t + kAtVersion, 2);
    const std::uint64_t flags = GetLE(t + kAtFlags, 2);
    const std::uint64_t header = GetLE(t + kAtHeader, 4);
    const std::uint64_t nameLength = GetLE(t + kAtNameLength, 4);
    set.extended = true;
    set.hasChecksums = (flags & kFlagChecksums) != 0;
    set.size = GetLE(t + kAtSize, 8);
    set.pieceSize = static_cast<std::uint32_t>(GetLE(t + kAtPieceSize, 4));
    set.pieceCount = static_cast<std::uint32_t>(GetLE(t + kAtCount, 4));
    if (version != kTrailerVersion || (flags & ~std::uint64_t{kFlagChecksums}) != 0 ||
        header < kTrailerHeader || GetLE(t + kAtLength, 4) != length || GetLE(t + kAtReserved, 4) != 0 ||
        nameLength == 0 ||
        nameLength > kMaxTrailerName || set.pieceCount == 0 || set.pieceCount > kMaxPieces ||
        set.pieceSize == 0 || set.size > (std::uint64_t{1} << 63)) {
        throw InvalidSplitInfo(path);
    }
    const std::uint64_t expected = header - kTrailerHeader +
                                   TrailerLength(nameLength, set.pieceCount, set.hasChecksums);
    if (expected != length) throw InvalidSplitInfo(path);
    // Every piece but the last is full, and the last holds at least one byte.
    const std::uint64_t full = std::uint64_t{set.pieceCount - 1} * set.pieceSize;
    if (set.size <= full || set.size - full > set.pieceSize) throw InvalidSplitInfo(path);

    std::size_t at = static_cast<std::size_t>(header);
    set.name.assign(reinterpret_cast<const char*>(t + at), static_cast<std::size_t>(nameLength));
    at += static_cast<std::size_t>(nameLength);
    if (!IsPlainFileName(set.name)) throw InvalidSplitInfo(path);
    if (!set.hasChecksums && std::any_of(t + kAtWhole, t + kAtWhole + 16, [](unsigned char b) { return b != 0; })) {
        throw InvalidSplitInfo(path);
    }
    if (set.hasChecksums) {
        std::memcpy(set.whole.bytes.data(), t + kAtWhole, 16);
        set.pieces.resize(set.pieceCount);
        for (Checksum& piece : set.pieces) {
            std::memcpy(piece.bytes.data(), t + at, 16);
            at += 16;
        }
    }
    // The record must tell the same story, or hold the placeholder; what
    // we write after its name is zero.
    if (record.pieceCount != set.pieceCount) throw InvalidSplitInfo(path);
    const bool placeholder = record.fileName == kPlaceholderName;
    if (placeholder ? record.fileSize != 0xFFFFFFFFu : record.fileSize != set.size) {
        throw InvalidSplitInfo(path);
    }
    if (!placeholder && !RecordNameAgrees(record.fileName, set.name, platform)) throw InvalidSplitInfo(path);
    const unsigned char* padding = nameField + record.fileName.size();
    if (std::any_of(padding, nameField + kSplitInfoNameField, [](unsigned char b) { return b != 0; })) {
        throw InvalidSplitInfo(path);
    }
    return set;
}

SetInfo ReadInfoFile(Platform& platform, const std::string& path) {
    std::unique_ptr<File> file;
    if (const ErrorCode code = platform.Open(
            path, {Access::Read, Share::Read, Creation::OpenExisting, false}, file)) {
        throw FileError(code, path);
    }
    std::uint64_t length = 0;
    if (const ErrorCode code = file->Length(length)) throw FileError(code, path);
    if (length < kSplitInfoSize || length > kMaxInfoFile) throw InvalidSplitInfo(path);
    std::vector<unsigned char> bytes(static_cast<std::size_t>(length));
    std::uint32_t got = 0;
    ReadOrThrow(*file, path, bytes.data(), static_cast<std::uint32_t>(bytes.size()), got);
    // A file that grew or shrank while it was read is no record to trust.
    std::uint32_t extra = 0;
    unsigned char probe = 0;
    ReadOrThrow(*file, path, &probe, 1, extra);
    static_cast<void>(file->Close());  // read only
    if (got != bytes.size() || extra != 0) throw InvalidSplitInfo(path);
    return DecodeInfoFile(bytes, platform, path);
}

}  // namespace engine
