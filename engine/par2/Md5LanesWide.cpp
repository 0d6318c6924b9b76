// The eight-lane MD5 of engine/par2/Md5Lanes.h, built for AVX2 and chosen
// at run time; the same digests as the one-lane code, which the tests hold
// it to.
#include "engine/par2/Md5Lanes.h"

#if defined(PARVEX_WIDE_MD5)
#include <immintrin.h>

namespace engine::par2::wide {

bool Available() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

namespace {

inline __m256i Rotl(__m256i x, int s) { return _mm256_or_si256(_mm256_slli_epi32(x, s), _mm256_srli_epi32(x, 32 - s)); }
inline __m256i F(__m256i b, __m256i c, __m256i d) { return _mm256_xor_si256(d, _mm256_and_si256(b, _mm256_xor_si256(c, d))); }
inline __m256i G(__m256i b, __m256i c, __m256i d) { return _mm256_xor_si256(c, _mm256_and_si256(d, _mm256_xor_si256(b, c))); }
inline __m256i H(__m256i b, __m256i c, __m256i d) { return _mm256_xor_si256(_mm256_xor_si256(b, c), d); }
inline __m256i I(__m256i b, __m256i c, __m256i d) {
    return _mm256_xor_si256(c, _mm256_or_si256(b, _mm256_xor_si256(d, _mm256_set1_epi32(-1))));
}

#define STEP(f, a, b, c, d, x, k, s)                                                                       \
    a = _mm256_add_epi32(a, _mm256_add_epi32(f(b, c, d), _mm256_add_epi32(x, _mm256_set1_epi32(static_cast<int>(k))))); \
    a = _mm256_add_epi32(Rotl(a, s), b)

// Words j of the eight lanes' blocks, for j = 0..7 from r[0..7] (lane i's
// first or second 32 bytes in r[i]).
inline void Transpose(const __m256i* r, __m256i* w) {
    __m256i t[8], u[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_epi32(r[i], r[i + 1]);
        t[i + 1] = _mm256_unpackhi_epi32(r[i], r[i + 1]);
    }
    for (int i = 0; i < 8; i += 4) {
        u[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
        u[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
        u[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
        u[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
    }
    for (int j = 0; j < 4; ++j) {
        w[j] = _mm256_permute2x128_si256(u[j], u[j + 4], 0x20);
        w[j + 4] = _mm256_permute2x128_si256(u[j], u[j + 4], 0x31);
    }
}

alignas(64) const unsigned char kZeros[64] = {};

}  // namespace

void Md5Blocks(std::uint32_t* const* states, const unsigned char* const* data, unsigned active, std::size_t blocks) {
    std::uint32_t spare[4] = {};
    std::uint32_t* h[8];
    const unsigned char* p[8];
    std::size_t step[8];
    for (int i = 0; i < 8; ++i) {
        const bool on = active >> i & 1;
        h[i] = on ? states[i] : spare;
        p[i] = on ? data[i] : kZeros;
        step[i] = on ? 64 : 0;
    }
    __m256i a = _mm256_setr_epi32(h[0][0], h[1][0], h[2][0], h[3][0], h[4][0], h[5][0], h[6][0], h[7][0]);
    __m256i b = _mm256_setr_epi32(h[0][1], h[1][1], h[2][1], h[3][1], h[4][1], h[5][1], h[6][1], h[7][1]);
    __m256i c = _mm256_setr_epi32(h[0][2], h[1][2], h[2][2], h[3][2], h[4][2], h[5][2], h[6][2], h[7][2]);
    __m256i d = _mm256_setr_epi32(h[0][3], h[1][3], h[2][3], h[3][3], h[4][3], h[5][3], h[6][3], h[7][3]);
    for (std::size_t n = 0; n < blocks; ++n) {
        __m256i r[8], m[16];
        for (int i = 0; i < 8; ++i) r[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p[i]));
        Transpose(r, m);
        for (int i = 0; i < 8; ++i) r[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p[i] + 32));
        Transpose(r, m + 8);
        for (int i = 0; i < 8; ++i) p[i] += step[i];
        const __m256i a0 = a, b0 = b, c0 = c, d0 = d;
        STEP(F, a, b, c, d, m[0], 0xd76aa478u, 7);
        STEP(F, d, a, b, c, m[1], 0xe8c7b756u, 12);
        STEP(F, c, d, a, b, m[2], 0x242070dbu, 17);
        STEP(F, b, c, d, a, m[3], 0xc1bdceeeu, 22);
        STEP(F, a, b, c, d, m[4], 0xf57c0fafu, 7);
        STEP(F, d, a, b, c, m[5], 0x4787c62au, 12);
        STEP(F, c, d, a, b, m[6], 0xa8304613u, 17);
        STEP(F, b, c, d, a, m[7], 0xfd469501u, 22);
        STEP(F, a, b, c, d, m[8], 0x698098d8u, 7);
        STEP(F, d, a, b, c, m[9], 0x8b44f7afu, 12);
        STEP(F, c, d, a, b, m[10], 0xffff5bb1u, 17);
        STEP(F, b, c, d, a, m[11], 0x895cd7beu, 22);
        STEP(F, a, b, c, d, m[12], 0x6b901122u, 7);
        STEP(F, d, a, b, c, m[13], 0xfd987193u, 12);
        STEP(F, c, d, a, b, m[14], 0xa679438eu, 17);
        STEP(F, b, c, d, a, m[15], 0x49b40821u, 22);
        STEP(G, a, b, c, d, m[1], 0xf61e2562u, 5);
        STEP(G, d, a, b, c, m[6], 0xc040b340u, 9);
        STEP(G, c, d, a, b, m[11], 0x265e5a51u, 14);
        STEP(G, b, c, d, a, m[0], 0xe9b6c7aau, 20);
        STEP(G, a, b, c, d, m[5], 0xd62f105du, 5);
        STEP(G, d, a, b, c, m[10], 0x02441453u, 9);
        STEP(G, c, d, a, b, m[15], 0xd8a1e681u, 14);
        STEP(G, b, c, d, a, m[4], 0xe7d3fbc8u, 20);
        STEP(G, a, b, c, d, m[9], 0x21e1cde6u, 5);
        STEP(G, d, a, b, c, m[14], 0xc33707d6u, 9);
        STEP(G, c, d, a, b, m[3], 0xf4d50d87u, 14);
        STEP(G, b, c, d, a, m[8], 0x455a14edu, 20);
        STEP(G, a, b, c, d, m[13], 0xa9e3e905u, 5);
        STEP(G, d, a, b, c, m[2], 0xfcefa3f8u, 9);
        STEP(G, c, d, a, b, m[7], 0x676f02d9u, 14);
        STEP(G, b, c, d, a, m[12], 0x8d2a4c8au, 20);
        STEP(H, a, b, c, d, m[5], 0xfffa3942u, 4);
        STEP(H, d, a, b, c, m[8], 0x8771f681u, 11);
        STEP(H, c, d, a, b, m[11], 0x6d9d6122u, 16);
        STEP(H, b, c, d, a, m[14], 0xfde5380cu, 23);
        STEP(H, a, b, c, d, m[1], 0xa4beea44u, 4);
        STEP(H, d, a, b, c, m[4], 0x4bdecfa9u, 11);
        STEP(H, c, d, a, b, m[7], 0xf6bb4b60u, 16);
        STEP(H, b, c, d, a, m[10], 0xbebfbc70u, 23);
        STEP(H, a, b, c, d, m[13], 0x289b7ec6u, 4);
        STEP(H, d, a, b, c, m[0], 0xeaa127fau, 11);
        STEP(H, c, d, a, b, m[3], 0xd4ef3085u, 16);
        STEP(H, b, c, d, a, m[6], 0x04881d05u, 23);
        STEP(H, a, b, c, d, m[9], 0xd9d4d039u, 4);
        STEP(H, d, a, b, c, m[12], 0xe6db99e5u, 11);
        STEP(H, c, d, a, b, m[15], 0x1fa27cf8u, 16);
        STEP(H, b, c, d, a, m[2], 0xc4ac5665u, 23);
        STEP(I, a, b, c, d, m[0], 0xf4292244u, 6);
        STEP(I, d, a, b, c, m[7], 0x432aff97u, 10);
        STEP(I, c, d, a, b, m[14], 0xab9423a7u, 15);
        STEP(I, b, c, d, a, m[5], 0xfc93a039u, 21);
        STEP(I, a, b, c, d, m[12], 0x655b59c3u, 6);
        STEP(I, d, a, b, c, m[3], 0x8f0ccc92u, 10);
        STEP(I, c, d, a, b, m[10], 0xffeff47du, 15);
        STEP(I, b, c, d, a, m[1], 0x85845dd1u, 21);
        STEP(I, a, b, c, d, m[8], 0x6fa87e4fu, 6);
        STEP(I, d, a, b, c, m[15], 0xfe2ce6e0u, 10);
        STEP(I, c, d, a, b, m[6], 0xa3014314u, 15);
        STEP(I, b, c, d, a, m[13], 0x4e0811a1u, 21);
        STEP(I, a, b, c, d, m[4], 0xf7537e82u, 6);
        STEP(I, d, a, b, c, m[11], 0xbd3af235u, 10);
        STEP(I, c, d, a, b, m[2], 0x2ad7d2bbu, 15);
        STEP(I, b, c, d, a, m[9], 0xeb86d391u, 21);
        a = _mm256_add_epi32(a, a0);
        b = _mm256_add_epi32(b, b0);
        c = _mm256_add_epi32(c, c0);
        d = _mm256_add_epi32(d, d0);
    }
    alignas(32) std::uint32_t out[4][8];
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out[0]), a);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out[1]), b);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out[2]), c);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out[3]), d);
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j) h[i][j] = out[j][i];
    }
}

}  // namespace engine::par2::wide

#else

namespace engine::par2::wide {

bool Available() { return false; }
void Md5Blocks(std::uint32_t* const*, const unsigned char* const*, unsigned, std::size_t) {}

}  // namespace engine::par2::wide

#endif
