#include "SplitInfo.h"

#include <algorithm>
#include <cstring>

#include "FileErrors.h"
#include "PiecePlan.h"
#include "Texts.h"

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

InvalidSplitInfo::InvalidSplitInfo(const std::string& path)
    : std::runtime_error([&] {
          std::string text = texts::kBadInfoFile;
          text.replace(text.find("%1"), 2, path);
          return text;
      }()) {}

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find_first_of("\\/:") == std::string::npos;
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
    // One more byte would mean this is no info file of ours either.
    std::uint32_t extra = 0;
    unsigned char probe = 0;
    ReadOrThrow(*file, infoPath, &probe, 1, extra);
    file->Close();
    if (total != kSplitInfoSize || extra != 0) throw InvalidSplitInfo(infoPath);
    const unsigned char* nameField = bytes.data() + 4;
    if (std::find(nameField, nameField + kSplitInfoNameField, 0) == nameField + kSplitInfoNameField) {
        throw InvalidSplitInfo(infoPath);
    }
    ReadInfo result;
    result.info = DecodeSplitInfo(bytes.data());
    if (result.info.pieceCount == 0 || !IsPlainFileName(result.info.fileName)) {
        throw InvalidSplitInfo(infoPath);
    }
    result.pieceBase = FolderPrefix(platform, infoFolder) + result.info.fileName;
    return result;
}

}  // namespace engine
