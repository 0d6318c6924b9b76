// The field's region multiply-add for processors with GFNI (engine/par2/
// FieldAffine.cpp), on the same layout as the AVX2 code's (`wide::Apart`).
// A product by a constant is linear over GF(2): a 16 × 16 bit matrix, four
// 8 × 8 blocks that one instruction each applies to 32 bytes at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace engine::gf16::affine {

// For one factor, the four blocks as the instruction reads them: the low
// or high byte of the product (first letter) from the low or high byte of
// the word (second).
struct Matrices {
    std::uint64_t ll, lh, hl, hh;
};

bool Available();
// dests[m] ^= sum over b of matrices[m × sources + b] × srcs[b], over
// `bytes` (a multiple of 64), all laid apart.
void MultiplyAddMany(const unsigned char *const *srcs, std::size_t sources, unsigned char *const *dests,
                     std::size_t count, const Matrices *matrices, std::size_t bytes);

}  // namespace engine::gf16::affine
