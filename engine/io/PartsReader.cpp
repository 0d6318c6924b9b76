#include "engine/io/PartsReader.h"

#include <algorithm>

#include "engine/base/FileErrors.h"
#include "engine/base/Names.h"
#include "engine/set/PiecePlan.h"

namespace engine {

std::uint64_t PartsLength(const std::vector<PiecePart>& parts) {
    std::uint64_t total = 0;
    for (const PiecePart& p : parts) total += p.length;
    return total;
}

namespace {

// Handles kept open at most: more than the pieces the recovery data reads
// at once, far fewer than a process may hold.
constexpr std::size_t kOpenAtMost = 32;

}  // namespace

PartsReader::PartsReader(Platform& platform) : platform_(platform) {}
PartsReader::~PartsReader() { Close(); }
void PartsReader::Close() {
    for (Handle& h : open_) CloseQuietly(h.file);
    open_.clear();
}

File& PartsReader::Opened(const std::string& path) {
    for (std::size_t i = open_.size(); i-- > 0;) {
        if (open_[i].path != path) continue;
        std::rotate(open_.begin() + static_cast<std::ptrdiff_t>(i), open_.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                    open_.end());
        return *open_.back().file;
    }
    if (open_.size() >= kOpenAtMost) {
        CloseQuietly(open_.front().file);
        open_.erase(open_.begin());
    }
    std::unique_ptr<File> file;
    if (const ErrorCode code = platform_.Open(path, {Access::Read, Share::Read, Creation::OpenExisting, false}, file)) {
        throw FileError(code, path);
    }
    open_.push_back({path, std::move(file)});
    return *open_.back().file;
}

void PartsReader::Read(const std::vector<PiecePart>& parts, std::uint64_t offset, unsigned char* data,
                       std::uint32_t size) {
    std::uint64_t partStart = 0;
    for (const PiecePart& part : parts) {
        if (size == 0) return;
        if (offset < partStart + part.length) {
            const std::string path = FolderPrefix(platform_, part.folder) + part.name;
            File& file = Opened(path);
            const std::uint64_t inPart = offset - partStart;
            const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, part.length - inPart));
            SeekOrThrow(file, path, inPart);
            for (std::uint32_t done = 0; done < n;) {
                std::uint32_t got = 0;
                ReadOrThrow(file, path, data + done, n - done, got);
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
