// dest ^= factor × src in GF(2^16) with GFNI, chosen at run time. Each
// output block stays in registers while every source's share is added to
// it, and the sources' few kilobytes stay in the first-level cache while
// every output takes them. Four instructions make the products of 64
// bytes, where the nibble tables take eight look-ups and six masks. The tests
// hold the results to GF-Complete's.
#include "engine/par2/FieldAffine.h"

#if defined(PARVEX_AFFINE_FIELD)
#include <immintrin.h>

#include <algorithm>

namespace engine::gf16::affine {

bool Available() {
    static const bool available = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("gfni");
    return available;
}

namespace {

// The sources' share of a step, in the first-level cache across outputs.
constexpr std::size_t kStep = 2048;

}  // namespace

void MultiplyAddMany(const unsigned char *const *srcs, std::size_t sources, unsigned char *const *dests,
                     std::size_t count, const Matrices *matrices, std::size_t bytes) {
    for (std::size_t from = 0; from < bytes; from += kStep) {
        const std::size_t to = std::min(bytes, from + kStep);
        for (std::size_t m = 0; m < count; ++m) {
            const Matrices *row = matrices + m * sources;
            for (std::size_t at = from; at < to; at += 64) {
                auto *d = reinterpret_cast<__m256i *>(dests[m] + at);
                __m256i low = _mm256_loadu_si256(d), high = _mm256_loadu_si256(d + 1);
                for (std::size_t b = 0; b < sources; ++b) {
                    const auto *s = reinterpret_cast<const __m256i *>(srcs[b] + at);
                    const __m256i sl = _mm256_loadu_si256(s), sh = _mm256_loadu_si256(s + 1);
                    const Matrices &f = row[b];
                    low = _mm256_xor_si256(
                        low,
                        _mm256_xor_si256(
                            _mm256_gf2p8affine_epi64_epi8(sl, _mm256_set1_epi64x(static_cast<long long>(f.ll)), 0),
                            _mm256_gf2p8affine_epi64_epi8(sh, _mm256_set1_epi64x(static_cast<long long>(f.lh)), 0)));
                    high = _mm256_xor_si256(
                        high,
                        _mm256_xor_si256(
                            _mm256_gf2p8affine_epi64_epi8(sl, _mm256_set1_epi64x(static_cast<long long>(f.hl)), 0),
                            _mm256_gf2p8affine_epi64_epi8(sh, _mm256_set1_epi64x(static_cast<long long>(f.hh)), 0)));
                }
                _mm256_storeu_si256(d, low);
                _mm256_storeu_si256(d + 1, high);
            }
        }
    }
}

}  // namespace engine::gf16::affine

#else

namespace engine::gf16::affine {

bool Available() { return false; }
void MultiplyAddMany(const unsigned char *const *, std::size_t, unsigned char *const *, std::size_t, const Matrices *,
                     std::size_t) {}

}  // namespace engine::gf16::affine

#endif
