// Go.bat: one `copy /B` line that rejoins the pieces where the program is not
// installed.
#pragma once

#include <cstdint>
#include <string>

#include "Platform.h"

namespace engine {

// The whole content, CR LF included.
std::string RejoinBatchLine(const std::string& sourceName, std::uint32_t pieceCount);

// Creates (replacing) Go.bat in the folder and writes the line in one write.
// A failure throws FileError.
void WriteRejoinBatch(Platform& platform, const std::string& destinationFolder,
                      const std::string& sourceName, std::uint32_t pieceCount);

}  // namespace engine
