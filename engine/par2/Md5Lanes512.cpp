// The sixteen-lane MD5 of engine/par2/Md5Lanes.h, built for AVX-512 and
// chosen at run time: a rotation and each round's function are one
// instruction each, so a step's chain is four instructions for sixteen
// streams. The same digests as the one-lane code, which the tests hold it to.
#include "engine/par2/Md5Lanes.h"

#if defined(PARVEX_WIDER_MD5)
// GCC 12's AVX-512 unpacks start from an undefined vector that they then
// fill whole, which its warning takes for a use before a value.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

namespace engine::par2::wider {

bool Available() {
    static const bool available = __builtin_cpu_supports("avx512f");
    return available;
}

namespace {

// The rounds' functions as truth tables of (b, c, d).
constexpr int kF = 0xCA, kG = 0xE4, kH = 0x96, kI = 0x39;

#define STEP(f, a, b, c, d, x, k, s)                                                                          \
    a = _mm512_add_epi32(_mm512_add_epi32(a, _mm512_add_epi32(x, _mm512_set1_epi32(static_cast<int>(k)))),  \
                         _mm512_ternarylogic_epi32(b, c, d, f));                                             \
    a = _mm512_add_epi32(_mm512_rol_epi32(a, s), b)

// Word j of the sixteen lanes' blocks in w[j], from lane i's block in r[i].
inline void Transpose(const __m512i* r, __m512i* w) {
    __m512i t[16], u[16];
    for (int i = 0; i < 16; i += 2) {
        t[i] = _mm512_unpacklo_epi32(r[i], r[i + 1]);
        t[i + 1] = _mm512_unpackhi_epi32(r[i], r[i + 1]);
    }
    // In each 128-bit lane L of u[4g + q]: word 4L + q of rows 4g..4g+3.
    for (int i = 0; i < 16; i += 4) {
        u[i] = _mm512_unpacklo_epi64(t[i], t[i + 2]);
        u[i + 1] = _mm512_unpackhi_epi64(t[i], t[i + 2]);
        u[i + 2] = _mm512_unpacklo_epi64(t[i + 1], t[i + 3]);
        u[i + 3] = _mm512_unpackhi_epi64(t[i + 1], t[i + 3]);
    }
    for (int q = 0; q < 4; ++q) {
        const __m512i x = _mm512_shuffle_i32x4(u[q], u[4 + q], 0x44);
        const __m512i y = _mm512_shuffle_i32x4(u[q], u[4 + q], 0xEE);
        const __m512i x2 = _mm512_shuffle_i32x4(u[8 + q], u[12 + q], 0x44);
        const __m512i y2 = _mm512_shuffle_i32x4(u[8 + q], u[12 + q], 0xEE);
        w[q] = _mm512_shuffle_i32x4(x, x2, 0x88);
        w[4 + q] = _mm512_shuffle_i32x4(x, x2, 0xDD);
        w[8 + q] = _mm512_shuffle_i32x4(y, y2, 0x88);
        w[12 + q] = _mm512_shuffle_i32x4(y, y2, 0xDD);
    }
}

alignas(64) const unsigned char kZeros[64] = {};

}  // namespace

void Md5Blocks(std::uint32_t* const* states, const unsigned char* const* data, unsigned active, std::size_t blocks) {
    std::uint32_t spare[4] = {};
    std::uint32_t* h[16];
    const unsigned char* p[16];
    std::size_t step[16];
    alignas(64) std::uint32_t in[4][16];
    for (int i = 0; i < 16; ++i) {
        const bool on = active >> i & 1;
        h[i] = on ? states[i] : spare;
        p[i] = on ? data[i] : kZeros;
        step[i] = on ? 64 : 0;
        for (int j = 0; j < 4; ++j) in[j][i] = h[i][j];
    }
    __m512i a = _mm512_load_si512(in[0]);
    __m512i b = _mm512_load_si512(in[1]);
    __m512i c = _mm512_load_si512(in[2]);
    __m512i d = _mm512_load_si512(in[3]);
    for (std::size_t n = 0; n < blocks; ++n) {
        __m512i r[16], m[16];
        for (int i = 0; i < 16; ++i) {
            r[i] = _mm512_loadu_si512(p[i]);
            p[i] += step[i];
        }
        Transpose(r, m);
        const __m512i a0 = a, b0 = b, c0 = c, d0 = d;
        STEP(kF, a, b, c, d, m[0], 0xd76aa478u, 7);
        STEP(kF, d, a, b, c, m[1], 0xe8c7b756u, 12);
        STEP(kF, c, d, a, b, m[2], 0x242070dbu, 17);
        STEP(kF, b, c, d, a, m[3], 0xc1bdceeeu, 22);
        STEP(kF, a, b, c, d, m[4], 0xf57c0fafu, 7);
        STEP(kF, d, a, b, c, m[5], 0x4787c62au, 12);
        STEP(kF, c, d, a, b, m[6], 0xa8304613u, 17);
        STEP(kF, b, c, d, a, m[7], 0xfd469501u, 22);
        STEP(kF, a, b, c, d, m[8], 0x698098d8u, 7);
        STEP(kF, d, a, b, c, m[9], 0x8b44f7afu, 12);
        STEP(kF, c, d, a, b, m[10], 0xffff5bb1u, 17);
        STEP(kF, b, c, d, a, m[11], 0x895cd7beu, 22);
        STEP(kF, a, b, c, d, m[12], 0x6b901122u, 7);
        STEP(kF, d, a, b, c, m[13], 0xfd987193u, 12);
        STEP(kF, c, d, a, b, m[14], 0xa679438eu, 17);
        STEP(kF, b, c, d, a, m[15], 0x49b40821u, 22);
        STEP(kG, a, b, c, d, m[1], 0xf61e2562u, 5);
        STEP(kG, d, a, b, c, m[6], 0xc040b340u, 9);
        STEP(kG, c, d, a, b, m[11], 0x265e5a51u, 14);
        STEP(kG, b, c, d, a, m[0], 0xe9b6c7aau, 20);
        STEP(kG, a, b, c, d, m[5], 0xd62f105du, 5);
        STEP(kG, d, a, b, c, m[10], 0x02441453u, 9);
        STEP(kG, c, d, a, b, m[15], 0xd8a1e681u, 14);
        STEP(kG, b, c, d, a, m[4], 0xe7d3fbc8u, 20);
        STEP(kG, a, b, c, d, m[9], 0x21e1cde6u, 5);
        STEP(kG, d, a, b, c, m[14], 0xc33707d6u, 9);
        STEP(kG, c, d, a, b, m[3], 0xf4d50d87u, 14);
        STEP(kG, b, c, d, a, m[8], 0x455a14edu, 20);
        STEP(kG, a, b, c, d, m[13], 0xa9e3e905u, 5);
        STEP(kG, d, a, b, c, m[2], 0xfcefa3f8u, 9);
        STEP(kG, c, d, a, b, m[7], 0x676f02d9u, 14);
        STEP(kG, b, c, d, a, m[12], 0x8d2a4c8au, 20);
        STEP(kH, a, b, c, d, m[5], 0xfffa3942u, 4);
        STEP(kH, d, a, b, c, m[8], 0x8771f681u, 11);
        STEP(kH, c, d, a, b, m[11], 0x6d9d6122u, 16);
        STEP(kH, b, c, d, a, m[14], 0xfde5380cu, 23);
        STEP(kH, a, b, c, d, m[1], 0xa4beea44u, 4);
        STEP(kH, d, a, b, c, m[4], 0x4bdecfa9u, 11);
        STEP(kH, c, d, a, b, m[7], 0xf6bb4b60u, 16);
        STEP(kH, b, c, d, a, m[10], 0xbebfbc70u, 23);
        STEP(kH, a, b, c, d, m[13], 0x289b7ec6u, 4);
        STEP(kH, d, a, b, c, m[0], 0xeaa127fau, 11);
        STEP(kH, c, d, a, b, m[3], 0xd4ef3085u, 16);
        STEP(kH, b, c, d, a, m[6], 0x04881d05u, 23);
        STEP(kH, a, b, c, d, m[9], 0xd9d4d039u, 4);
        STEP(kH, d, a, b, c, m[12], 0xe6db99e5u, 11);
        STEP(kH, c, d, a, b, m[15], 0x1fa27cf8u, 16);
        STEP(kH, b, c, d, a, m[2], 0xc4ac5665u, 23);
        STEP(kI, a, b, c, d, m[0], 0xf4292244u, 6);
        STEP(kI, d, a, b, c, m[7], 0x432aff97u, 10);
        STEP(kI, c, d, a, b, m[14], 0xab9423a7u, 15);
        STEP(kI, b, c, d, a, m[5], 0xfc93a039u, 21);
        STEP(kI, a, b, c, d, m[12], 0x655b59c3u, 6);
        STEP(kI, d, a, b, c, m[3], 0x8f0ccc92u, 10);
        STEP(kI, c, d, a, b, m[10], 0xffeff47du, 15);
        STEP(kI, b, c, d, a, m[1], 0x85845dd1u, 21);
        STEP(kI, a, b, c, d, m[8], 0x6fa87e4fu, 6);
        STEP(kI, d, a, b, c, m[15], 0xfe2ce6e0u, 10);
        STEP(kI, c, d, a, b, m[6], 0xa3014314u, 15);
        STEP(kI, b, c, d, a, m[13], 0x4e0811a1u, 21);
        STEP(kI, a, b, c, d, m[4], 0xf7537e82u, 6);
        STEP(kI, d, a, b, c, m[11], 0xbd3af235u, 10);
        STEP(kI, c, d, a, b, m[2], 0x2ad7d2bbu, 15);
        STEP(kI, b, c, d, a, m[9], 0xeb86d391u, 21);
        a = _mm512_add_epi32(a, a0);
        b = _mm512_add_epi32(b, b0);
        c = _mm512_add_epi32(c, c0);
        d = _mm512_add_epi32(d, d0);
    }
    _mm512_store_si512(in[0], a);
    _mm512_store_si512(in[1], b);
    _mm512_store_si512(in[2], c);
    _mm512_store_si512(in[3], d);
    for (int i = 0; i < 16; ++i) {
        for (int j = 0; j < 4; ++j) h[i][j] = in[j][i];
    }
}

}  // namespace engine::par2::wider

#else

namespace engine::par2::wider {

bool Available() { return false; }
void Md5Blocks(std::uint32_t* const*, const unsigned char* const*, unsigned, std::size_t) {}

}  // namespace engine::par2::wider

#endif
