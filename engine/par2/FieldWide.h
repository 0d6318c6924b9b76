// The field's region multiply-add for AVX2 (engine/par2/FieldWide.cpp), on
// words laid out for it: in each 64 bytes, the 32 words' low bytes first
// and their high bytes after (`Apart`), so that the products are looked up
// without taking the words apart again for every factor.
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
// In place, over whole 64-byte blocks: into the layout and back.
void Apart(unsigned char* data, std::size_t bytes);
void Together(unsigned char* data, std::size_t bytes);
// dest ^= factor × src over `bytes` (a multiple of 64), both laid apart.
void MultiplyAdd(const unsigned char* src, unsigned char* dest, std::size_t bytes, const Tables& tables);

}  // namespace engine::gf16::wide
