// The piece plan: how large each piece is, how many there are, how they are
// named and how the transfer buffer is cut.
#pragma once

#include <cstdint>
#include <string>

#include "engine/base/Platform.h"

namespace engine {

// Presets of the piece-size button, in bytes.
inline constexpr std::uint32_t kPresetFloppy = 1457664;
inline constexpr std::uint32_t kPreset10MB = 10000000;
inline constexpr std::uint32_t kPreset100MB = 100000000;
// A CD-R of 80 minutes holds 737,280,000 bytes: a piece of 700 MB fits.
inline constexpr std::uint32_t kPresetCd = 700000000;
// The largest file FAT32 holds, and so the largest piece.
inline constexpr std::uint32_t kPresetFat32 = 0xFFFFFFFFu;

// Units of a custom piece size; Files means the value is a number of pieces.
inline constexpr std::uint32_t kUnitBytes = 1;
inline constexpr std::uint32_t kUnitKB = 1000;
inline constexpr std::uint32_t kUnitMB = 1000000;
inline constexpr std::uint32_t kUnitFiles = 0;

// The one transfer buffer never grows beyond this.
inline constexpr std::uint32_t kTransferBlock = 3000000;
// More pieces than this are refused: the info file lists a checksum for each.
inline constexpr std::uint32_t kMaxPieces = 1000000;

// The piece size as the user chose it: a preset, or a custom value in a unit.
struct SizeChoice {
    bool custom = false;
    std::uint32_t presetBytes = kPresetFloppy;
    std::string customText;
    std::uint32_t unit = kUnitBytes;
};

// Outcome of a plan step. `message` is null for a silent stop.
struct PlanCheck {
    bool ok;
    const char* message;
};

// The custom-size field: leading white space, one optional sign, decimal
// digits up to the first other character. Values that do not fit 32 bits are
// flagged instead of wrapped.
struct ParsedSize {
    std::uint32_t value;
    bool overflow;
};
ParsedSize ParseCustomText(const std::string& text);
// Digits with one decimal point ("1.5", ".5", "2."), white space around: a
// decimal size, which KB and MB take and bytes and file counts refuse.
bool IsDecimalText(const std::string& text);

// The piece size in bytes for a source of `sourceSize` bytes.
PlanCheck ResolvePieceSize(const SizeChoice& choice, std::uint64_t sourceSize, std::uint32_t& pieceSize);

// How a piece is moved: in loads of at most the transfer block, and how
// many of them a full piece takes.
struct BufferPlan {
    std::uint32_t bufferSize;
    std::uint32_t loadsPerPiece;
};
BufferPlan PlanBuffers(std::uint32_t pieceSize);

// The three refusals of a piece size against the source, in their order.
PlanCheck CheckPieceSize(std::uint64_t sourceSize, std::uint32_t pieceSize);

// Ceiling of sourceSize / pieceSize; only for a pieceSize that passed the checks.
std::uint64_t CountPieces(std::uint64_t sourceSize, std::uint64_t pieceSize);

// What piece `index` of `count` holds in a set of `size` bytes: `pieceSize`
// for every piece but the last, what is left for the last.
std::uint64_t PieceLength(std::uint64_t size, std::uint32_t count, std::uint64_t pieceSize, std::uint32_t index);
// The piece size of a set that records none (no trailer): what its first
// piece holds, when that makes a plan the recorded size and count agree
// with; 0 when it does not.
std::uint32_t MeasuredPieceSize(std::uint64_t size, std::uint32_t count, std::uint64_t firstPiece);

// The folder with a separator appended, unless it is a root that already ends
// in one (C: is not a root and gets one; C:\ is used as it is).
std::string FolderPrefix(const Platform& platform, const std::string& folder);
// The Go.bat of a set that shares its folder with another set's: "Go NAME.bat".
std::string BatchNameOf(const std::string& setName);
std::string PieceFileName(const std::string& sourceName, std::uint64_t index);
// Whether `entry` is a piece name of the set `sourceName` (the name, a dot,
// an index without leading zeros, ".spl"), and which index it has. Names are
// compared as the file system does (`exact`: with case).
bool IsPieceOf(const std::string& entry, const std::string& sourceName, bool exact,
               std::uint64_t* index = nullptr);
std::string PieceName(const Platform& platform, const std::string& folder,
                      const std::string& sourceName, std::uint64_t index);
std::string InfoPath(const Platform& platform, const std::string& folder,
                     const std::string& sourceName);
// Go.bat: the folder gets a separator unless it already ends in one.
std::string BatchFileName(const Platform& platform, const std::string& folder);
// The part of a path after its last separator (the whole path without one).
std::string FileNamePart(const Platform& platform, const std::string& path);
// The part before the last separator: "." without one, the root for a file in it.
std::string FolderPart(const Platform& platform, const std::string& path);

}  // namespace engine
