#include "engine/io/ReadBack.h"

#include <algorithm>
#include <new>

#include "engine/base/FileErrors.h"
#include "engine/base/TransferBuffer.h"

namespace engine {

void ReadBack(File& file, const std::string& path, std::uint64_t offset, std::uint64_t length,
              const ReadBackSink& take, const std::function<void()>& checkpoint) {
    TransferBuffer buffer;
    if (!buffer.Allocate(kSlice)) throw std::bad_alloc();
    SeekOrThrow(file, path, offset);
    for (std::uint64_t done = 0; done < length;) {
        const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(kSlice, length - done));
        std::uint32_t got = 0;
        ReadOrThrow(file, path, buffer.get(), want, got);
        if (got == 0) throw FileError(FileCause::EndOfFile, err::kHandleEof, path);
        take(buffer.get(), got);
        done += got;
        if (checkpoint) checkpoint();
    }
}

}  // namespace engine
