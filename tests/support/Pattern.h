// Test data: file contents as bytes, and patterned bytes that differ at
// every offset (a piece out of place or a byte lost shows in a comparison).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace support {

using Bytes = std::vector<unsigned char>;

// Four bytes a step, through a pointer: the tables of cases make the same
// few megabytes thousands of times, and a byte at a time through iterators
// costs much under the sanitizers.
inline Bytes Pattern(std::size_t size, std::uint32_t seed = 2463534242u) {
    Bytes bytes(size);
    unsigned char* at = bytes.data();
    std::uint32_t x = seed;
    for (std::size_t left = size; left > 0;) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        const std::size_t n = left < 4 ? left : 4;
        for (std::size_t i = 0; i < n; ++i) at[i] = static_cast<unsigned char>(x >> (8 * i));
        at += n;
        left -= n;
    }
    return bytes;
}

}  // namespace support
