// Go.bat: `copy /B` lines that rejoin the pieces where the program is not
// installed.
#pragma once

#include <cstdint>
#include <string>

#include "engine/base/Platform.h"

namespace engine {

// cmd reads at most this many characters of one line.
inline constexpr std::size_t kBatchLineLimit = 8191;

// The one-line form, CR LF included, exactly as every version wrote it.
std::string RejoinBatchLine(const std::string& sourceName, std::uint64_t pieceCount);

// The whole text in UTF-8: the one-line form when it fits cmd's limit;
// otherwise a first line that copies as many pieces as fit and further lines
// that append the rest in order. A `%` in a name is doubled, as cmd wants.
std::string RejoinBatchText(const std::string& sourceName, std::uint64_t pieceCount);

// The bytes to write: the text in the OEM code page, which cmd reads batch
// files in, when every character fits it; otherwise UTF-8 after a first line
// that switches cmd to it.
std::string EncodeBatch(const Platform& platform, const std::string& text);

// Whether a Go.bat's bytes rejoin the set of `sourceName` (its first piece
// is named in it), in whatever form this program writes it.
bool BatchRejoins(const Platform& platform, const std::string& content, const std::string& sourceName);

// The same for the file `name` in `folder`, by its first bytes; false when
// it cannot be read.
bool BatchFileRejoins(const Platform& platform, Folder& folder, const std::string& name,
                      const std::string& sourceName);

}  // namespace engine
