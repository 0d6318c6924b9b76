#include "engine/io/PartsReader.h"

#include "engine/base/FileErrors.h"
#include "engine/base/Names.h"
#include "engine/set/PiecePlan.h"

namespace engine {

std::uint64_t PartsLength(const std::vector<PiecePart>& parts) {
    std::uint64_t total = 0;
    for (const PiecePart& p : parts) total += p.length;
    return total;
}

PartsReader::PartsReader(Platform& platform) : platform_(platform) {}
PartsReader::~PartsReader() { Close(); }
void PartsReader::Close() {
    CloseQuietly(open_);
    openPath_.clear();
}

void PartsReader::Read(const std::vector<PiecePart>& parts, std::uint64_t offset, unsigned char* data,
                       std::uint32_t size) {
    std::uint64_t partStart = 0;
    for (const PiecePart& part : parts) {
        if (size == 0) return;
        if (offset < partStart + part.length) {
            const std::string path = FolderPrefix(platform_, part.folder) + part.name;
            if (!open_ || openPath_ != path) {
                Close();
                if (const ErrorCode code =
                        platform_.Open(path, {Access::Read, Share::Read, Creation::OpenExisting, false}, open_)) {
                    open_.reset();
                    throw FileError(code, path);
                }
                openPath_ = path;
            }
            const std::uint64_t inPart = offset - partStart;
            const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, part.length - inPart));
            SeekOrThrow(*open_, path, inPart);
            for (std::uint32_t done = 0; done < n;) {
                std::uint32_t got = 0;
                ReadOrThrow(*open_, path, data + done, n - done, got);
                if (got == 0) throw FileError(FileCause::EndOfFile, err::kHandleEof, path);
                done += got;
            }
            data += n;
            offset += n;
            size -= n;
        }
        partStart += part.length;
    }
    if (size != 0) {
        const std::string path = parts.empty() ? std::string() : FolderPrefix(platform_, parts.back().folder) + parts.back().name;
        throw FileError(FileCause::EndOfFile, err::kHandleEof, path);
    }
}

}  // namespace engine
