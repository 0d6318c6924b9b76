// The field's region multiply-add for AVX2 (engine/par2/FieldWide.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace engine::gf16::wide {

// For one factor: the low and high bytes of factor × (x << 4j), x < 16.
struct Tables {
    unsigned char lo[4][16];
    unsigned char hi[4][16];
};

bool Available();
// dest ^= factor × src over the whole 64-byte blocks of `bytes`; returns
// how many bytes it did (the rest is the caller's).
std::size_t MultiplyAdd(const unsigned char* src, unsigned char* dest, std::size_t bytes, const Tables& tables);

}  // namespace engine::gf16::wide
