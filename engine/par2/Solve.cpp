#include "engine/par2/Solve.h"

namespace engine::par2 {

bool SolveLost(const std::vector<std::uint64_t>& lost, const std::vector<std::uint32_t>& exponents,
               std::vector<std::size_t>& used, gf16::Matrix& inverse, const std::function<void()>& checkpoint) {
    // A square system over the field, from rows that are independent, made
    // one at a time.
    const std::size_t unknowns = lost.size();
    return gf16::SelectAndInvert(
        exponents.size(), unknowns,
        [&](std::size_t r, std::uint16_t* cells) {
            for (std::size_t u = 0; u < unknowns; ++u) {
                cells[u] = gf16::Power(gf16::InputConstant(static_cast<std::uint32_t>(lost[u])), exponents[r]);
            }
        },
        used, inverse, checkpoint);
}

gf16::Matrix RebuildFactors(const std::vector<std::uint64_t>& intact, const std::vector<std::uint32_t>& usedExponents,
                            const std::function<void()>& checkpoint) {
    const std::size_t used = usedExponents.size();
    const std::size_t known = intact.size();
    gf16::Matrix factors(used, known + used);
    for (std::size_t t = 0; t < used; ++t) {
        for (std::size_t k = 0; k < known; ++k) {
            factors.at(t, k) = gf16::Power(gf16::InputConstant(static_cast<std::uint32_t>(intact[k])), usedExponents[t]);
        }
        factors.at(t, known + t) = 1;
        if (checkpoint) checkpoint();
    }
    return factors;
}

}  // namespace engine::par2
