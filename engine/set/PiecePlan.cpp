#include "engine/set/PiecePlan.h"

#include <cctype>

#include "engine/base/Names.h"
#include "engine/base/Texts.h"

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

bool IsDecimalText(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(" \t"), point = text.find('.');
    if (begin == std::string::npos || point == std::string::npos || point < begin) return false;
    const std::size_t end = text.find_last_not_of(" \t");
    const std::string whole = text.substr(begin, point - begin), part = text.substr(point + 1, end - point);
    return whole.find_first_not_of("0123456789") == std::string::npos &&
           part.find_first_not_of("0123456789") == std::string::npos && whole.size() + part.size() > 0;
}

namespace {

// "1.5" of a unit, in whole bytes: decimals past the unit's last byte must be
// zeros, so that 1.0000005 MB is refused rather than rounded.
bool DecimalBytes(const std::string& text, std::uint32_t unit, std::uint64_t& bytes) {
    const std::size_t begin = text.find_first_not_of(" \t"), end = text.find_last_not_of(" \t");
    const std::size_t point = text.find('.');
    const std::string whole = text.substr(begin, point - begin), part = text.substr(point + 1, end - point);
    std::uint64_t value = 0;
    for (char c : whole) {
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > kMax32) return false;
    }
    value *= unit;
    std::uint64_t scale = unit;
    for (char c : part) {
        if (scale >= 10) {
            scale /= 10;
            value += static_cast<unsigned>(c - '0') * scale;
        } else if (c != '0') {
            return false;
        }
    }
    if (value > kMax32) return false;
    bytes = value;
    return true;
}

}  // namespace

PlanCheck ResolvePieceSize(const SizeChoice& choice, std::uint64_t sourceSize, std::uint32_t& pieceSize) {
    if (!choice.custom) {
        pieceSize = choice.presetBytes;
        return {true, nullptr};
    }
    if (choice.customText.empty()) return {false, nullptr};

    if (IsDecimalText(choice.customText)) {
        std::uint64_t bytes = 0;
        if (choice.unit == kUnitBytes || choice.unit == kUnitFiles) return {false, texts::kWholeNumber};
        if (!DecimalBytes(choice.customText, choice.unit, bytes)) return {false, texts::kCheckValues};
        pieceSize = static_cast<std::uint32_t>(bytes);
        return {true, nullptr};
    }
    // A point that makes no decimal is no size, never the digits before it.
    if (choice.customText.find('.') != std::string::npos) return {false, texts::kCheckValues};
    const ParsedSize parsed = ParseCustomText(choice.customText);
    if (choice.unit != kUnitFiles) {
        const std::uint64_t bytes = std::uint64_t{parsed.value} * choice.unit;
        if (parsed.overflow || bytes > kMax32) return {false, texts::kCheckValues};
        pieceSize = static_cast<std::uint32_t>(bytes);
        return {true, nullptr};
    }

    if (parsed.overflow) return {false, texts::kCheckValues};
    const std::uint32_t files = parsed.value;
    if (files == 0) return {false, texts::kVerifyValues};
    const std::uint64_t quotient = sourceSize / files;
    if (quotient == 0) return {false, texts::kCheckValues};
    // Two more than the quotient, as every version has made them, where that
    // gives as many pieces as asked for; otherwise the smallest size that
    // does. Some counts no size gives (10 bytes in 6 pieces): they are
    // refused, never quietly made fewer.
    std::uint64_t size = quotient + 2;
    if (files > 1 && CountPieces(sourceSize, size) != files) {
        size = sourceSize / files + (sourceSize % files != 0);
        if (CountPieces(sourceSize, size) != files) return {false, texts::kFilesNotExact};
    }
    if (size > kMax32) {
        // One file is always longer than the source; a few files of a large
        // source would need pieces larger than a piece can be.
        return {false, files == 1 ? texts::kChunkLarger : texts::kCheckValues};
    }
    pieceSize = static_cast<std::uint32_t>(size);
    return {true, nullptr};
}

BufferPlan PlanBuffers(std::uint32_t pieceSize) {
    if (pieceSize <= kTransferBlock) return {pieceSize, 1};
    return {kTransferBlock, pieceSize / kTransferBlock + (pieceSize % kTransferBlock != 0)};
}

PlanCheck CheckPieceSize(std::uint64_t sourceSize, std::uint32_t pieceSize) {
    if (sourceSize < pieceSize) return {false, texts::kChunkLarger};
    if (sourceSize == pieceSize) return {false, texts::kChunkSame};
    if (pieceSize == 0) return {false, texts::kChunkZero};
    return {true, nullptr};
}

std::uint64_t CountPieces(std::uint64_t sourceSize, std::uint64_t pieceSize) {
    return sourceSize / pieceSize + (sourceSize % pieceSize != 0);
}

std::uint64_t PieceLength(std::uint64_t size, std::uint32_t count, std::uint64_t pieceSize, std::uint32_t index) {
    if (index + 1 < count) return pieceSize;
    return size - std::uint64_t{count - 1} * pieceSize;
}

std::uint32_t MeasuredPieceSize(std::uint64_t size, std::uint32_t count, std::uint64_t firstPiece) {
    const std::uint64_t pieceSize = count == 1 ? size : firstPiece;
    if (count == 0 || pieceSize == 0 || pieceSize > 0xFFFFFFFFull) return 0;
    const std::uint64_t full = std::uint64_t{count - 1} * pieceSize;
    if (full >= size || size - full > pieceSize) return 0;
    return static_cast<std::uint32_t>(pieceSize);
}

std::string FolderPrefix(const Platform& platform, const std::string& folder) {
    const char sep = platform.Separator();
    if (platform.IsRoot(folder) && !folder.empty() && folder.back() == sep) return folder;
    return folder + sep;
}

std::string PieceFileName(const std::string& sourceName, std::uint64_t index) {
    return sourceName + "." + std::to_string(index) + ".spl";
}

bool IsPieceOf(const std::string& entry, const std::string& sourceName, bool exact, std::uint64_t* index) {
    const std::size_t base = sourceName.size();
    if (entry.size() < base + 6) return false;
    const std::string head = entry.substr(0, base), tail = entry.substr(entry.size() - 4);
    if (exact ? head != sourceName || tail != ".spl" : AsciiUpper(head) != AsciiUpper(sourceName) || AsciiUpper(tail) != ".SPL") {
        return false;
    }
    if (entry[base] != '.') return false;
    const std::string digits = entry.substr(base + 1, entry.size() - base - 5);
    if (digits.empty() || digits.size() > 19 || (digits.size() > 1 && digits[0] == '0')) return false;
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (index) *index = value;
    return true;
}

std::string PieceName(const Platform& platform, const std::string& folder,
                      const std::string& sourceName, std::uint64_t index) {
    return FolderPrefix(platform, folder) + PieceFileName(sourceName, index);
}

std::string InfoPath(const Platform& platform, const std::string& folder,
                     const std::string& sourceName) {
    return FolderPrefix(platform, folder) + InfoFileName(sourceName);
}

std::string BatchFileName(const Platform& platform, const std::string& folder) {
    const char sep = platform.Separator();
    std::string path = folder;
    if (path.empty() || path.back() != sep) path += sep;
    return path + "Go.bat";
}

std::string FileNamePart(const Platform& platform, const std::string& path) {
    const std::size_t pos = path.rfind(platform.Separator());
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string FolderPart(const Platform& platform, const std::string& path) {
    const char sep = platform.Separator();
    const std::size_t cut = path.rfind(sep);
    if (cut == std::string::npos) return ".";
    std::string folder = path.substr(0, cut == 0 ? 1 : cut);
    if (platform.IsRoot(folder + sep)) folder += sep;
    return folder;
}

std::string BatchNameOf(const std::string& setName) { return "Go " + setName + ".bat"; }

}  // namespace engine
