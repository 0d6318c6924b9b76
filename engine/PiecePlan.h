// The piece plan: how large each piece is, how many there are, how they are
// named and how the transfer buffer is cut.
#pragma once

#include <cstdint>
#include <string>

#include "OperationRequest.h"
#include "Platform.h"

namespace engine {

// The one transfer buffer never grows beyond this.
inline constexpr std::uint32_t kTransferBlock = 3000000;
// The info file's name field is this long, terminator included.
inline constexpr std::size_t kMaxNameField = 260;

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

// Fills request.pieceSize from the preset or the custom field. Needs
// request.sourceSize below 4 GiB for the Files unit.
PlanCheck ResolvePieceSize(OperationRequest& request);

void PlanBuffers(std::uint32_t pieceSize, std::uint32_t& bufferSize, std::uint32_t& fillsPerPiece);

// The three refusals of a piece size against the source, in their order.
PlanCheck CheckPieceSize(std::uint32_t sourceSize, std::uint32_t pieceSize);

// Ceiling of sourceSize / pieceSize; only for a pieceSize that passed the checks.
std::uint32_t CountPieces(std::uint32_t sourceSize, std::uint32_t pieceSize);

// The folder with a separator appended, unless it is a root that already ends
// in one (C: is not a root and gets one; C:\ is used as it is).
std::string FolderPrefix(const Platform& platform, const std::string& folder);
std::string PieceName(const Platform& platform, const std::string& destinationFolder,
                      const std::string& sourceName, std::uint32_t index);
std::string InfoFileName(const Platform& platform, const std::string& destinationFolder,
                         const std::string& sourceName);
// Go.bat: the folder gets a separator unless it already ends in one.
std::string BatchFileName(const Platform& platform, const std::string& destinationFolder);
// The part of a path after its last separator (the whole path without one).
std::string FileNamePart(const Platform& platform, const std::string& path);

}  // namespace engine
