// Reading a piece kept in parts: one part, or a part on each disk it was
// cut across, put end to end.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/Platform.h"

namespace engine {

// Where a piece's bytes were found: one part, or a part on each disk it was
// cut across.
struct PiecePart {
    std::string folder;
    std::string name;
    std::uint64_t length = 0;
};
using PieceParts = std::vector<std::vector<PiecePart>>;

// Reads files kept in parts, one file open at a time.
class PartsReader {
public:
    explicit PartsReader(Platform& platform);
    ~PartsReader();
    // Fills `data` with [offset, offset + size) of the parts put end to end,
    // or throws FileError.
    void Read(const std::vector<PiecePart>& parts, std::uint64_t offset, unsigned char* data, std::uint32_t size);
    void Close();

private:
    File& Opened(const std::string& path);

    Platform& platform_;
    // The pieces read last stay open: the recovery data reads a few
    // pieces in turn, a window of each.
    struct Handle {
        std::string path;
        std::unique_ptr<File> file;
    };
    std::vector<Handle> open_;  // the one used last at the end
};

// The bytes the parts hold together.
std::uint64_t PartsLength(const std::vector<PiecePart>& parts);

}  // namespace engine
