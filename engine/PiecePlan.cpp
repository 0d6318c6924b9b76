#include "PiecePlan.h"

#include <cctype>

#include "Texts.h"

namespace engine {

namespace {
constexpr std::uint64_t kMax32 = 0xFFFFFFFFull;
}

ParsedSize ParseCustomText(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint64_t magnitude = 0;
    bool overflow = false;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        magnitude = magnitude * 10 + static_cast<unsigned>(text[i] - '0');
        if (magnitude > kMax32) {
            overflow = true;
            magnitude = kMax32;  // keep scanning without wrapping
        }
    }
    // A negative value is taken as unsigned, as a signed 32-bit parse would.
    if (negative) {
        if (magnitude > 0x80000000ull) overflow = true;
        return {static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(magnitude)), overflow};
    }
    return {static_cast<std::uint32_t>(magnitude), overflow};
}

PlanCheck ResolvePieceSize(OperationRequest& request) {
    if (!request.customSize) return {true, nullptr};
    if (request.customText.empty()) return {false, nullptr};

    const ParsedSize parsed = ParseCustomText(request.customText);
    if (request.unitMultiplier != kUnitFiles) {
        const std::uint64_t bytes = std::uint64_t{parsed.value} * request.unitMultiplier;
        if (parsed.overflow || bytes > kMax32) return {false, texts::kCheckValues};
        request.pieceSize = static_cast<std::uint32_t>(bytes);
        return {true, nullptr};
    }

    if (parsed.overflow) return {false, texts::kCheckValues};
    const std::uint32_t files = parsed.value;
    if (files == 0) return {false, texts::kVerifyValues};
    const std::uint64_t quotient = request.sourceSize / files;
    if (quotient == 0) return {false, texts::kCheckValues};
    // Two more than the quotient, by design: the plan may then hold fewer
    // pieces than asked for.
    const std::uint64_t size = quotient + 2;
    if (size > kMax32) return {false, texts::kChunkLarger};  // one file: longer than the source
    request.pieceSize = static_cast<std::uint32_t>(size);
    return {true, nullptr};
}

void PlanBuffers(std::uint32_t pieceSize, std::uint32_t& bufferSize, std::uint32_t& fillsPerPiece) {
    if (pieceSize <= kTransferBlock) {
        bufferSize = pieceSize;
        fillsPerPiece = 1;
    } else {
        bufferSize = kTransferBlock;
        fillsPerPiece = pieceSize / kTransferBlock + (pieceSize % kTransferBlock != 0);
    }
}

PlanCheck CheckPieceSize(std::uint32_t sourceSize, std::uint32_t pieceSize) {
    if (sourceSize < pieceSize) return {false, texts::kChunkLarger};
    if (sourceSize == pieceSize) return {false, texts::kChunkSame};
    if (pieceSize == 0) return {false, texts::kChunkZero};
    return {true, nullptr};
}

std::uint32_t CountPieces(std::uint32_t sourceSize, std::uint32_t pieceSize) {
    return sourceSize / pieceSize + (sourceSize % pieceSize != 0);
}

std::string FolderPrefix(const Platform& platform, const std::string& folder) {
    const char sep = platform.Separator();
    if (platform.IsRoot(folder) && !folder.empty() && folder.back() == sep) return folder;
    return folder + sep;
}

std::string PieceName(const Platform& platform, const std::string& destinationFolder,
                      const std::string& sourceName, std::uint32_t index) {
    return FolderPrefix(platform, destinationFolder) + sourceName + "." + std::to_string(index) +
           ".spl";
}

std::string InfoFileName(const Platform& platform, const std::string& destinationFolder,
                         const std::string& sourceName) {
    return FolderPrefix(platform, destinationFolder) + sourceName + ".sio";
}

std::string BatchFileName(const Platform& platform, const std::string& destinationFolder) {
    const char sep = platform.Separator();
    std::string path = destinationFolder;
    if (path.empty() || path.back() != sep) path += sep;
    return path + "Go.bat";
}

std::string FileNamePart(const Platform& platform, const std::string& path) {
    const std::size_t pos = path.rfind(platform.Separator());
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

}  // namespace engine
