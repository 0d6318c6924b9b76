#include "engine/par2/Field.h"
#include "engine/par2/FieldAffine.h"
#include "engine/par2/FieldWide.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

extern "C" {
#include <gf_complete.h>
}

namespace engine::gf16 {

namespace {

// The field is set up once and only read afterwards, from any thread.
struct Field {
    gf_t gf{};
    std::vector<std::uint16_t> constants;
    // Logarithms to the base 2, a generator of the field: the solve and the
    // powers multiply word by word, where a call per word would dominate.
    std::vector<std::uint16_t> log;
    std::vector<std::uint16_t> exp;  // twice over, so that log a + log b needs no reduction
    Field() {
        // GF-Complete's default for w = 16 is PAR2's polynomial 0x1100B.
        if (!gf_init_hard(&gf, 16, GF_MULT_DEFAULT, GF_REGION_DEFAULT, GF_DIVIDE_DEFAULT, 0x1100B, 0, 0, nullptr,
                          nullptr)) {
            throw std::runtime_error("The Galois field could not be set up.");
        }
        constants.reserve(kConstants);
        std::uint32_t power = 1;  // 2^n
        for (std::uint32_t n = 1; constants.size() < kConstants; ++n) {
            power = gf.multiply.w32(&gf, power, 2);
            if (n % 3 != 0 && n % 5 != 0 && n % 17 != 0 && n % 257 != 0) {
                constants.push_back(static_cast<std::uint16_t>(power));
            }
        }
        log.assign(65536, 0);
        exp.assign(2 * 65535, 0);
        std::uint32_t x = 1;
        for (std::uint32_t n = 0; n < 65535; ++n) {
            exp[n] = exp[n + 65535] = static_cast<std::uint16_t>(x);
            log[x] = static_cast<std::uint16_t>(n);
            x = gf.multiply.w32(&gf, x, 2);
        }
    }
    ~Field() { gf_free(&gf, 1); }
};

Field& TheField() {
    static Field field;
    return field;
}

}  // namespace

std::uint16_t Multiply(std::uint16_t a, std::uint16_t b) {
    if (a == 0 || b == 0) return 0;
    const Field& f = TheField();
    return f.exp[std::size_t{f.log[a]} + f.log[b]];
}

std::uint16_t Divide(std::uint16_t a, std::uint16_t b) {
    Field& f = TheField();
    return static_cast<std::uint16_t>(f.gf.divide.w32(&f.gf, a, b));
}

std::uint16_t Power(std::uint16_t base, std::uint32_t exponent) {
    if (exponent == 0) return 1;
    if (base == 0) return 0;
    const Field& f = TheField();
    return f.exp[static_cast<std::size_t>((std::uint64_t{f.log[base]} * exponent) % 65535)];
}

void MultiplyAddReference(const unsigned char* src, unsigned char* dest, std::size_t bytes, std::uint16_t factor) {
    if (factor == 0 || bytes == 0) return;
    Field& f = TheField();
    // The library takes an int; callers work in windows far below 2 GiB.
    constexpr std::size_t kStep = std::size_t{1} << 30;
    for (std::size_t done = 0; done < bytes; done += kStep) {
        const std::size_t n = std::min(kStep, bytes - done);
        f.gf.multiply_region.w32(&f.gf, const_cast<unsigned char*>(src + done), dest + done, factor,
                                 static_cast<int>(n), 1);
    }
}

namespace {

wide::Tables TablesFor(std::uint16_t factor) {
    wide::Tables t;
    for (int j = 0; j < 4; ++j) {
        for (std::uint32_t x = 0; x < 16; ++x) {
            const std::uint16_t p = Multiply(factor, static_cast<std::uint16_t>(x << (4 * j)));
            t.lo[j][x] = static_cast<unsigned char>(p);
            t.hi[j][x] = static_cast<unsigned char>(p >> 8);
        }
    }
    return t;
}

// A block of each source and of the output stay in the first-level cache
// while the output takes every source's share.
constexpr std::size_t kBlock = 16 * 1024;

affine::Matrices MatricesFor(std::uint16_t factor) {
    // Column j of the product's bit matrix is factor × 2^j; the instruction
    // takes each 8 × 8 block with output bit i's row in byte 7 - i.
    std::uint16_t column[16];
    for (int j = 0; j < 16; ++j) column[j] = Multiply(factor, static_cast<std::uint16_t>(1u << j));
    const auto block = [&](int out, int in) {
        std::uint64_t q = 0;
        for (int i = 0; i < 8; ++i) {
            std::uint64_t row = 0;
            for (int j = 0; j < 8; ++j) row |= std::uint64_t{(column[in + j] >> (out + i)) & 1u} << j;
            q |= row << (8 * (7 - i));
        }
        return q;
    };
    return {block(0, 0), block(0, 8), block(8, 0), block(8, 8)};
}

}  // namespace

bool Runs(Kernel kernel) {
    switch (kernel) {
        case Kernel::Library: return true;
        case Kernel::Tables: return wide::Available();
        case Kernel::Matrices: return affine::Available();
    }
    return false;
}

Kernel BestKernel() {
    static const Kernel best = Runs(Kernel::Matrices) ? Kernel::Matrices
                               : Runs(Kernel::Tables) ? Kernel::Tables
                                                      : Kernel::Library;
    return best;
}

// Both kernels of our own read the same layout (which needs AVX2).
void ToWorkLayout(unsigned char* data, std::size_t bytes, Kernel kernel) {
    if (kernel != Kernel::Library) wide::Apart(data, bytes);
}

void FromWorkLayout(unsigned char* data, std::size_t bytes, Kernel kernel) {
    if (kernel != Kernel::Library) wide::Together(data, bytes);
}

void MultiplyAddMany(const unsigned char* const* srcs, std::size_t sources, unsigned char* const* dests,
                     std::size_t count, const std::uint16_t* factors, std::size_t bytes, Kernel kernel) {
    if (bytes == 0 || count == 0 || sources == 0) return;
    if (kernel == Kernel::Matrices) {
        std::vector<affine::Matrices> matrices;
        matrices.reserve(count * sources);
        for (std::size_t c = 0; c < count * sources; ++c) matrices.push_back(MatricesFor(factors[c]));
        affine::MultiplyAddMany(srcs, sources, dests, count, matrices.data(), bytes);
        return;
    }
    const bool vector = kernel == Kernel::Tables;
    std::vector<wide::Tables> tables;
    if (vector) {
        tables.reserve(count * sources);
        for (std::size_t c = 0; c < count * sources; ++c) tables.push_back(TablesFor(factors[c]));
    }
    // Each output's block takes every source's while it is in the cache.
    for (std::size_t at = 0; at < bytes; at += kBlock) {
        const std::size_t n = std::min(kBlock, bytes - at);
        for (std::size_t m = 0; m < count; ++m) {
            for (std::size_t b = 0; b < sources; ++b) {
                const std::size_t c = m * sources + b;
                if (factors[c] == 0) continue;
                if (vector) {
                    wide::MultiplyAdd(srcs[b] + at, dests[m] + at, n, tables[c]);
                } else {
                    MultiplyAddReference(srcs[b] + at, dests[m] + at, n, factors[c]);
                }
            }
        }
    }
}

std::uint16_t InputConstant(std::uint32_t index) { return TheField().constants.at(index); }

bool SelectAndInvert(const Matrix& candidates, std::vector<std::size_t>& used, Matrix& inverse) {
    const std::size_t n = candidates.columns;
    return SelectAndInvert(
        candidates.rows, n,
        [&](std::size_t r, std::uint16_t* cells) {
            std::copy_n(candidates.cells.begin() + static_cast<std::ptrdiff_t>(r * n), n, cells);
        },
        used, inverse, nullptr);
}

namespace {

// row ^= factor × other, over n words.
void AddMultiple(std::uint16_t* row, const std::uint16_t* other, std::uint16_t factor, std::size_t n) {
    const Field& f = TheField();
    const std::size_t logFactor = f.log[factor];
    for (std::size_t c = 0; c < n; ++c) {
        if (other[c] != 0) row[c] ^= f.exp[logFactor + f.log[other[c]]];
    }
}

}  // namespace

bool SelectAndInvert(std::size_t rows, std::size_t n, const RowSource& source, std::vector<std::size_t>& used,
                     Matrix& inverse, const std::function<void()>& checkpoint) {
    used.clear();
    // Gauss-Jordan on each candidate row in turn, kept only when it adds an
    // unknown: `basis` holds the reduced rows, `combo` what each is made of.
    std::vector<std::vector<std::uint16_t>> basis, combo;
    std::vector<std::size_t> pivotOf;
    std::vector<std::uint16_t> row(n), made(n);
    for (std::size_t r = 0; r < rows && used.size() < n; ++r) {
        source(r, row.data());
        std::fill(made.begin(), made.end(), 0);
        made[used.size()] = 1;
        for (std::size_t b = 0; b < basis.size(); ++b) {
            const std::uint16_t factor = row[pivotOf[b]];
            if (factor == 0) continue;
            AddMultiple(row.data(), basis[b].data(), factor, n);
            AddMultiple(made.data(), combo[b].data(), factor, n);
            if (checkpoint && b % 64 == 63) checkpoint();
        }
        std::size_t pivot = 0;
        while (pivot < n && row[pivot] == 0) ++pivot;
        if (pivot == n) continue;  // depends on the rows already taken
        const std::uint16_t scale = Divide(1, row[pivot]);
        for (std::size_t c = 0; c < n; ++c) {
            row[c] = Multiply(row[c], scale);
            made[c] = Multiply(made[c], scale);
        }
        // Clear the new pivot from the rows already reduced.
        for (std::size_t b = 0; b < basis.size(); ++b) {
            const std::uint16_t factor = basis[b][pivot];
            if (factor == 0) continue;
            AddMultiple(basis[b].data(), row.data(), factor, n);
            AddMultiple(combo[b].data(), made.data(), factor, n);
            if (checkpoint && b % 64 == 63) checkpoint();
        }
        basis.push_back(row);
        combo.push_back(made);
        pivotOf.push_back(pivot);
        used.push_back(r);
        if (checkpoint) checkpoint();
    }
    if (used.size() < n) return false;
    // Each reduced row is now a unit row: unknown pivotOf[b] equals combo[b]
    // applied to the rows taken.
    inverse = Matrix(n, n);
    for (std::size_t b = 0; b < n; ++b) {
        for (std::size_t c = 0; c < n; ++c) inverse.at(pivotOf[b], c) = combo[b][c];
    }
    return true;
}

}  // namespace engine::gf16
