// Test data: file contents as bytes, and patterned bytes that differ at
// every offset (a piece out of place or a byte lost shows in a comparison).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace support {

using Bytes = std::vector<unsigned char>;

inline Bytes Pattern(std::size_t size, std::uint32_t seed = 2463534242u) {
    Bytes bytes(size);
    std::uint32_t x = seed;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<unsigned char>(x);
    }
    return bytes;
}

}  // namespace support
