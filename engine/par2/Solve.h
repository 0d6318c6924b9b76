// Solving for lost input slices from recovery slices: which recovery slices
// to use and the inverse that turns them into the lost slices, and the
// factors of the rebuild's sums. Knows slices by their index in the set's
// order and recovery slices by their exponent, nothing of files or sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/par2/Field.h"

namespace engine::par2 {

// Picks, from the recovery slices of `exponents` in order, the first ones
// that are independent for the `lost` input slices, into `used`, with the
// inverse of their square in `inverse`. False when they cannot determine
// every lost slice. `checkpoint` may throw to stop.
bool SolveLost(const std::vector<std::uint64_t>& lost, const std::vector<std::uint32_t>& exponents,
               std::vector<std::size_t>& used, gf16::Matrix& inverse, const std::function<void()>& checkpoint);

// What each recovery slice used lacks of the intact slices' share: row t is
// recovery t plus the sum over intact slice g of constant(g)^e(t) times
// slice g, so that the inverse then turns the rows into the lost slices.
// The columns are the `intact` slices, then one per recovery slice used.
gf16::Matrix RebuildFactors(const std::vector<std::uint64_t>& intact, const std::vector<std::uint32_t>& usedExponents,
                            const std::function<void()>& checkpoint);

}  // namespace engine::par2
