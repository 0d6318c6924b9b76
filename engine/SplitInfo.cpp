#include "SplitInfo.h"

#include <algorithm>
#include <cstring>

#include "FileErrors.h"
#include "PiecePlan.h"

namespace engine {

namespace {
void PutLE32(unsigned char* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}
std::uint32_t GetLE32(const unsigned char* at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | at[i];
    return value;
}
}  // namespace

std::array<unsigned char, kSplitInfoSize> EncodeSplitInfo(const SplitInfo& info) {
    std::array<unsigned char, kSplitInfoSize> bytes{};  // the name field is zero-filled
    PutLE32(bytes.data(), info.pieceCount);
    std::memcpy(bytes.data() + 4, info.fileName.data(),
                std::min(info.fileName.size(), kSplitInfoNameField - 1));
    PutLE32(bytes.data() + 4 + kSplitInfoNameField, info.fileSize);
    return bytes;
}

SplitInfo DecodeSplitInfo(const unsigned char* bytes) {
    SplitInfo info;
    info.pieceCount = GetLE32(bytes);
    const char* name = reinterpret_cast<const char*>(bytes + 4);
    info.fileName.assign(name, strnlen(name, kSplitInfoNameField));
    info.fileSize = GetLE32(bytes + 4 + kSplitInfoNameField);
    return info;
}

void WriteSplitInfo(std::unique_ptr<File>& file, const std::string& path, const SplitInfo& info) {
    const auto bytes = EncodeSplitInfo(info);
    SeekOrThrow(*file, path, 0);
    WriteOrThrow(*file, path, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    CloseOrThrow(file, path);
}

ReadInfo ReadSplitInfo(Platform& platform, const std::string& infoPath,
                       const std::string& infoFolder) {
    std::unique_ptr<File> file;
    if (const ErrorCode code = platform.Open(
            infoPath, {Access::Read, Share::None, Creation::OpenExisting, false}, file)) {
        throw FileError(code, infoPath);
    }
    std::array<unsigned char, kSplitInfoSize> bytes{};
    std::uint32_t total = 0;
    while (total < kSplitInfoSize) {
        std::uint32_t got = 0;
        ReadOrThrow(*file, infoPath, bytes.data() + total,
                    static_cast<std::uint32_t>(kSplitInfoSize - total), got);
        if (got == 0) break;
        total += got;
    }
    file->Close();
    ReadInfo result;
    result.info = DecodeSplitInfo(bytes.data());
    result.pieceBase = FolderPrefix(platform, infoFolder) + result.info.fileName;
    return result;
}

}  // namespace engine
