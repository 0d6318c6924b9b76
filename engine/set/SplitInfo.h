// The info file written beside the pieces. Its first 268 bytes are the record
// every reader of the format knows: piece count, the source's name in the
// ANSI code page, and its length, little-endian. After them an optional
// trailer (see docs/info-file.md) records what the record cannot: sizes of
// 4 GiB and more, the piece size, the name in UTF-8, and a checksum of every
// piece and of the whole file.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/base/Checksum.h"
#include "engine/base/Platform.h"

namespace engine {

inline constexpr std::size_t kSplitInfoSize = 268;
inline constexpr std::size_t kSplitInfoNameField = 260;

// The 268-byte record as it lies on disk; the name in the field's own bytes.
struct SplitInfo {
    std::uint32_t pieceCount = 0;
    std::string fileName;  // at most 259 bytes
    std::uint32_t fileSize = 0;
};

std::array<unsigned char, kSplitInfoSize> EncodeSplitInfo(const SplitInfo& info);
// Takes the name up to its first zero byte (at most the whole field).
SplitInfo DecodeSplitInfo(const unsigned char* bytes);

// What the record holds in place of the name when an older reader cannot be
// given the set (a name outside the ANSI code page, a size of 4 GiB or
// more): it finds no pieces under this name and fails without harm.
inline constexpr const char* kPlaceholderName = "(needs a newer Corvane.Split)";

inline constexpr std::uint32_t kTrailerVersion = 1;
inline constexpr std::size_t kTrailerHeader = 56;
inline constexpr std::size_t kMaxTrailerName = 1020;

// Everything an info file tells about a set.
struct SetInfo {
    std::string name;  // UTF-8
    std::uint64_t size = 0;
    std::uint32_t pieceCount = 0;
    std::uint32_t pieceSize = 0;  // 0: not recorded (a record without trailer)
    bool extended = false;        // read from, or written with, a trailer
    bool hasChecksums = false;
    Checksum whole;
    std::vector<Checksum> pieces;
};

// The whole info file for a set: the record (with the real name and size
// where an older reader can use them, the placeholder otherwise) followed by
// the trailer.
std::vector<unsigned char> EncodeInfoFile(const SetInfo& set, const Platform& platform);

// An info file whose content cannot be trusted. A crafted file must never
// lead the rejoin outside its folders, nor make it do unbounded work.
class InvalidSplitInfo : public std::runtime_error {
public:
    explicit InvalidSplitInfo(const std::string& path);
};

// Checks and decodes the bytes of an info file.
SetInfo DecodeInfoFile(const std::vector<unsigned char>& bytes, const Platform& platform,
                       const std::string& path);

// Reads and checks the info file. A file that cannot be opened or read throws
// FileError; content that fails the checks throws InvalidSplitInfo.
SetInfo ReadInfoFile(Platform& platform, const std::string& path);

}  // namespace engine
