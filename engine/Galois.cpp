#include "Galois.h"

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
    }
    ~Field() { gf_free(&gf, 1); }
};

Field& TheField() {
    static Field field;
    return field;
}

}  // namespace

std::uint16_t Multiply(std::uint16_t a, std::uint16_t b) {
    Field& f = TheField();
    return static_cast<std::uint16_t>(f.gf.multiply.w32(&f.gf, a, b));
}

std::uint16_t Divide(std::uint16_t a, std::uint16_t b) {
    Field& f = TheField();
    return static_cast<std::uint16_t>(f.gf.divide.w32(&f.gf, a, b));
}

std::uint16_t Power(std::uint16_t base, std::uint32_t exponent) {
    std::uint16_t result = 1;
    while (exponent) {
        if (exponent & 1) result = Multiply(result, base);
        base = Multiply(base, base);
        exponent >>= 1;
    }
    return result;
}

void MultiplyAdd(const unsigned char* src, unsigned char* dest, std::size_t bytes, std::uint16_t factor) {
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

std::uint16_t InputConstant(std::uint32_t index) { return TheField().constants.at(index); }

bool SelectAndInvert(const Matrix& candidates, std::vector<std::size_t>& used, Matrix& inverse) {
    const std::size_t n = candidates.columns;
    used.clear();
    // Gauss-Jordan on each candidate row in turn, kept only when it adds an
    // unknown: `basis` holds the reduced rows, `combo` what each is made of.
    std::vector<std::vector<std::uint16_t>> basis, combo;
    std::vector<std::size_t> pivotOf;
    for (std::size_t r = 0; r < candidates.rows && used.size() < n; ++r) {
        std::vector<std::uint16_t> row(candidates.cells.begin() + static_cast<std::ptrdiff_t>(r * n),
                                       candidates.cells.begin() + static_cast<std::ptrdiff_t>((r + 1) * n));
        std::vector<std::uint16_t> made(n, 0);
        made[used.size()] = 1;
        for (std::size_t b = 0; b < basis.size(); ++b) {
            const std::uint16_t factor = row[pivotOf[b]];
            if (factor == 0) continue;
            for (std::size_t c = 0; c < n; ++c) {
                row[c] ^= Multiply(factor, basis[b][c]);
                made[c] ^= Multiply(factor, combo[b][c]);
            }
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
            for (std::size_t c = 0; c < n; ++c) {
                basis[b][c] ^= Multiply(factor, row[c]);
                combo[b][c] ^= Multiply(factor, made[c]);
            }
        }
        basis.push_back(std::move(row));
        combo.push_back(std::move(made));
        pivotOf.push_back(pivot);
        used.push_back(r);
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
