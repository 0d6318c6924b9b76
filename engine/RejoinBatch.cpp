#include "RejoinBatch.h"

#include "FileErrors.h"
#include "PiecePlan.h"

namespace engine {

std::string RejoinBatchLine(const std::string& sourceName, std::uint32_t pieceCount) {
    std::string line = "copy /B ";
    for (std::uint32_t i = 0; i < pieceCount; ++i) {
        line += '"' + sourceName + "." + std::to_string(i) + ".spl\" /B+ ";
    }
    while (!line.empty() && (line.back() == '+' || line.back() == ' ')) line.pop_back();
    line += " \"" + sourceName + "\" /B\r\n";
    return line;
}

void WriteRejoinBatch(Platform& platform, const std::string& destinationFolder,
                      const std::string& sourceName, std::uint32_t pieceCount) {
    const std::string path = BatchFileName(platform, destinationFolder);
    const std::string line = RejoinBatchLine(sourceName, pieceCount);
    std::unique_ptr<File> file;
    if (const ErrorCode code = platform.Open(
            path, {Access::Write, Share::None, Creation::CreateAlways, false}, file)) {
        throw FileError(code, path);
    }
    if (line.size() > 0xFFFFFFFFu) throw FileError(FileCause::Generic, err::kInvalidParameter, path);
    try {
        WriteOrThrow(*file, path, line.data(), static_cast<std::uint32_t>(line.size()));
        CloseOrThrow(file, path);
    } catch (const FileError&) {
        // A cut-off command line would rejoin the wrong bytes; leave none.
        file.reset();
        platform.Delete(path);
        throw;
    }
}

}  // namespace engine
