// Arithmetic in GF(2^16) with the generator 0x1100B, the field PAR2's
// recovery data is computed in, from GF-Complete. Words are 16 bits, stored
// little-endian in the data (as on every processor this program runs on).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace engine::gf16 {

std::uint16_t Multiply(std::uint16_t a, std::uint16_t b);
std::uint16_t Divide(std::uint16_t a, std::uint16_t b);  // b != 0
std::uint16_t Power(std::uint16_t base, std::uint32_t exponent);

// The layout the sums keep slices in while they work, in place over whole
// 64-byte blocks: the vector code's where it runs (each block's words'
// low bytes, then their high bytes), the words as they are otherwise.
inline constexpr std::size_t kWorkBlock = 64;

// The ways of doing the region multiply-add: GF-Complete's, nibble tables
// for AVX2, bit matrices for GFNI. The best this processor runs is chosen
// once; the tests take each in turn.
enum class Kernel { Library, Tables, Matrices };
Kernel BestKernel();
bool Runs(Kernel kernel);

void ToWorkLayout(unsigned char* data, std::size_t bytes, Kernel kernel = BestKernel());
void FromWorkLayout(unsigned char* data, std::size_t bytes, Kernel kernel = BestKernel());

// dests[m] ^= sum over b of factors[m × sources + b] × srcs[b], for
// m < count, word by word, all in the work layout, over `bytes` (a
// multiple of kWorkBlock): several sources into many outputs, a cache's
// worth at a time, so that each output block is fetched once for all the
// sources. Code of our own where the processor has AVX2 or GFNI
// (GF-Complete's SSSE3 code was the bound of making recovery data),
// GF-Complete otherwise.
void MultiplyAddMany(const unsigned char* const* srcs, std::size_t sources, unsigned char* const* dests,
                     std::size_t count, const std::uint16_t* factors, std::size_t bytes,
                     Kernel kernel = BestKernel());
// dest ^= factor × src on words as they are, over `bytes` (a multiple of
// 2), from GF-Complete: the reference the tests hold the other to. Source
// and destination are aligned alike on 16 bytes, as its vector code needs.
void MultiplyAddReference(const unsigned char* src, unsigned char* dest, std::size_t bytes, std::uint16_t factor);

// The constant of input slice `index` (0-based): the index-th power of two
// whose exponent is not a multiple of 3, 5, 17 or 257, so that no power of it
// below 65535 is 1. There are 32768 of them.
inline constexpr std::uint32_t kConstants = 32768;
std::uint16_t InputConstant(std::uint32_t index);

// A matrix over the field, row by row.
struct Matrix {
    std::size_t rows = 0, columns = 0;
    std::vector<std::uint16_t> cells;
    Matrix(std::size_t r, std::size_t c) : rows(r), columns(c), cells(r * c, 0) {}
    std::uint16_t& at(std::size_t r, std::size_t c) { return cells[r * columns + c]; }
    std::uint16_t at(std::size_t r, std::size_t c) const { return cells[r * columns + c]; }
};

// From the rows of `candidates` (as many columns as unknowns, rows at least
// as many), picks in order the first rows that are independent and returns
// the inverse of the square matrix they make, with the rows it used in
// `used`. False when the candidates do not determine every unknown.
bool SelectAndInvert(const Matrix& candidates, std::vector<std::size_t>& used, Matrix& inverse);

// The same over `rows` candidate rows made one at a time by `row` (which
// fills `columns` cells), so that only the square it keeps is in memory:
// 4 × columns² bytes. `checkpoint` is called between row operations and may
// throw to stop.
using RowSource = std::function<void(std::size_t r, std::uint16_t* cells)>;
bool SelectAndInvert(std::size_t rows, std::size_t columns, const RowSource& row, std::vector<std::size_t>& used,
                     Matrix& inverse, const std::function<void()>& checkpoint);

// The most unknowns a solve takes on: its square and the rebuild's tables
// stay within a few hundred megabytes.
inline constexpr std::size_t kMaxUnknowns = 8192;

}  // namespace engine::gf16
