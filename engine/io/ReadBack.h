// What a run wrote counts once it has been read again from the disk: the
// one loop that reads a written file back for the proof that it is what
// was meant, before it takes its name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/base/Platform.h"

namespace engine {

using ReadBackSink = std::function<void(const unsigned char* data, std::uint32_t size)>;

// Gives [offset, offset + length) of `file` to `take` in blocks, calling
// `checkpoint` between them. Throws FileError naming `path`: EndOfFile when
// the file is shorter.
void ReadBack(File& file, const std::string& path, std::uint64_t offset, std::uint64_t length,
              const ReadBackSink& take, const std::function<void()>& checkpoint);

}  // namespace engine
