// The CRC-32 (zlib's, gzip's and PAR2's) by carry-less multiplication where
// the processor has it; zlib's otherwise and for what is left over.
#pragma once

#include <cstddef>
#include <cstdint>

namespace engine::par2::fold {

bool Available();
// The CRC of `size` bytes (at least 64, a multiple of 16) without the
// inversions before and after: ~Crc32Blocks(~c, p, n) is zlib's crc32(c, p, n).
std::uint32_t Crc32Blocks(std::uint32_t crc, const unsigned char* p, std::size_t size);

}  // namespace engine::par2::fold
