// The 268-byte info file written beside the pieces: piece count, the source's
// name and its length. Stored little-endian whatever the host's byte order.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "OperationRequest.h"
#include "Platform.h"

namespace engine {

inline constexpr std::size_t kSplitInfoSize = 268;
inline constexpr std::size_t kSplitInfoNameField = 260;

struct SplitInfo {
    std::uint32_t pieceCount = 0;
    std::string fileName;  // at most 259 bytes
    std::uint32_t fileSize = 0;
};

std::array<unsigned char, kSplitInfoSize> EncodeSplitInfo(const SplitInfo& info);
// Takes the name up to its first zero byte (at most the whole field).
SplitInfo DecodeSplitInfo(const unsigned char* bytes);

// Writes the record at position 0 of the open info file and closes it.
void WriteSplitInfo(std::unique_ptr<File>& file, const std::string& path, const SplitInfo& info);

struct ReadInfo {
    SplitInfo info;
    std::string pieceBase;  // the rejoin appends ".<index>.spl"
};
// An info file whose record cannot be trusted: short, without a terminated
// plain file name, or without pieces. A crafted file must never lead the
// rejoin outside its folders.
class InvalidSplitInfo : public std::runtime_error {
public:
    explicit InvalidSplitInfo(const std::string& path);
};

// Whether the stored name is a plain file name the rejoin may write.
bool IsPlainFileName(const std::string& name);

// Reads and checks the record. A file that cannot be opened or read throws
// FileError; a record that fails the checks throws InvalidSplitInfo.
ReadInfo ReadSplitInfo(Platform& platform, const std::string& infoPath,
                       const std::string& infoFolder);

}  // namespace engine
