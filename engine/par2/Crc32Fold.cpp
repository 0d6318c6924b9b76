// The CRC-32 of the slices' checks, sixteen bytes a step by carry-less
// multiplication (PCLMULQDQ, chosen at run time): zlib's table code was a
// fifth of the time the recovery data's checksums took. Folding by the
// method of Intel's "Fast CRC Computation for Generic Polynomials Using
// PCLMULQDQ", with the constants of the reflected polynomial 0xEDB88320;
// the tests hold it to zlib.
#include "engine/par2/Crc32Fold.h"

#if defined(PARVEX_FOLD_CRC)
#include <immintrin.h>

namespace engine::par2::fold {

bool Available() {
    static const bool available = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return available;
}

namespace {

// x · x^(64 ± 32 ...) mod P for folding 512 bits (R1, R2) and 128 bits
// (R3, R4), x^64 mod P (R5), and Barrett's mu and P itself.
inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

inline __m128i Load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

}  // namespace

std::uint32_t Crc32Blocks(std::uint32_t crc, const unsigned char* p, std::size_t size) {
    const __m128i r2r1 = _mm_set_epi64x(0x1c6e41596, 0x154442bd4);
    const __m128i r4r3 = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);
    const __m128i r5 = _mm_set_epi64x(0, 0x163cd6124);
    const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
    const __m128i poly = _mm_set_epi64x(0x1f7011641, 0x1db710641);
    __m128i x1 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x2 = Load(p + 16), x3 = Load(p + 32), x4 = Load(p + 48);
    p += 64;
    size -= 64;
    for (; size >= 64; p += 64, size -= 64) {
        x1 = Fold(x1, r2r1, Load(p));
        x2 = Fold(x2, r2r1, Load(p + 16));
        x3 = Fold(x3, r2r1, Load(p + 32));
        x4 = Fold(x4, r2r1, Load(p + 48));
    }
    x1 = Fold(x1, r4r3, x2);
    x1 = Fold(x1, r4r3, x3);
    x1 = Fold(x1, r4r3, x4);
    for (; size >= 16; p += 16, size -= 16) x1 = Fold(x1, r4r3, Load(p));
    // 128 bits to 64, then 32 more zeros' worth, then Barrett to 32 bits.
    __m128i t = _mm_clmulepi64_si128(r4r3, x1, 0x01);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), t);
    t = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), r5, 0x00);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 4), t);
    t = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), poly, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), poly, 0x00);
    x1 = _mm_xor_si128(x1, t);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

}  // namespace engine::par2::fold

#else

namespace engine::par2::fold {

bool Available() { return false; }
std::uint32_t Crc32Blocks(std::uint32_t crc, const unsigned char*, std::size_t) { return crc; }

}  // namespace engine::par2::fold

#endif
