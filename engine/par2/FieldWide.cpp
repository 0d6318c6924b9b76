// dest ^= factor × src in GF(2^16) for AVX2, chosen at run time: each word
// is four nibbles, and the product is the sum of what each nibble gives,
// looked up 32 at a time in tables of 16 bytes (the low and the high byte
// of each product apart). The words are laid apart once, not for every
// factor; the tests hold the results to GF-Complete's.
#include "engine/par2/FieldWide.h"

#if defined(PARVEX_WIDE_FIELD)
#include <immintrin.h>

namespace engine::gf16::wide {

bool Available() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

namespace {

// Words' low bytes to the first half of each 16, high bytes to the second.
inline __m256i ApartMask() {
    return _mm256_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15, 0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5,
                            7, 9, 11, 13, 15);
}
inline __m256i TogetherMask() {
    return _mm256_setr_epi8(0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15, 0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5,
                            13, 6, 14, 7, 15);
}

}  // namespace

void Apart(unsigned char* data, std::size_t bytes) {
    const __m256i apart = ApartMask();
    for (std::size_t at = 0; at + 64 <= bytes; at += 64) {
        auto* p = reinterpret_cast<__m256i*>(data + at);
        const __m256i a = _mm256_shuffle_epi8(_mm256_loadu_si256(p), apart);
        const __m256i b = _mm256_shuffle_epi8(_mm256_loadu_si256(p + 1), apart);
        _mm256_storeu_si256(p, _mm256_unpacklo_epi64(a, b));
        _mm256_storeu_si256(p + 1, _mm256_unpackhi_epi64(a, b));
    }
}

void Together(unsigned char* data, std::size_t bytes) {
    const __m256i together = TogetherMask();
    for (std::size_t at = 0; at + 64 <= bytes; at += 64) {
        auto* p = reinterpret_cast<__m256i*>(data + at);
        const __m256i low = _mm256_loadu_si256(p), high = _mm256_loadu_si256(p + 1);
        _mm256_storeu_si256(p, _mm256_shuffle_epi8(_mm256_unpacklo_epi64(low, high), together));
        _mm256_storeu_si256(p + 1, _mm256_shuffle_epi8(_mm256_unpackhi_epi64(low, high), together));
    }
}

void MultiplyAdd(const unsigned char* src, unsigned char* dest, std::size_t bytes, const Tables& t) {
    __m256i lo[4], hi[4];
    for (int j = 0; j < 4; ++j) {
        lo[j] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t.lo[j])));
        hi[j] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t.hi[j])));
    }
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    for (std::size_t at = 0; at + 64 <= bytes; at += 64) {
        const auto* s = reinterpret_cast<const __m256i*>(src + at);
        const __m256i low = _mm256_loadu_si256(s), high = _mm256_loadu_si256(s + 1);
        const __m256i n0 = _mm256_and_si256(low, nibble);
        const __m256i n1 = _mm256_and_si256(_mm256_srli_epi16(low, 4), nibble);
        const __m256i n2 = _mm256_and_si256(high, nibble);
        const __m256i n3 = _mm256_and_si256(_mm256_srli_epi16(high, 4), nibble);
        const __m256i rl = _mm256_xor_si256(
            _mm256_xor_si256(_mm256_shuffle_epi8(lo[0], n0), _mm256_shuffle_epi8(lo[1], n1)),
            _mm256_xor_si256(_mm256_shuffle_epi8(lo[2], n2), _mm256_shuffle_epi8(lo[3], n3)));
        const __m256i rh = _mm256_xor_si256(
            _mm256_xor_si256(_mm256_shuffle_epi8(hi[0], n0), _mm256_shuffle_epi8(hi[1], n1)),
            _mm256_xor_si256(_mm256_shuffle_epi8(hi[2], n2), _mm256_shuffle_epi8(hi[3], n3)));
        auto* d = reinterpret_cast<__m256i*>(dest + at);
        _mm256_storeu_si256(d, _mm256_xor_si256(_mm256_loadu_si256(d), rl));
        _mm256_storeu_si256(d + 1, _mm256_xor_si256(_mm256_loadu_si256(d + 1), rh));
    }
}

}  // namespace engine::gf16::wide

#else

namespace engine::gf16::wide {

bool Available() { return false; }
void Apart(unsigned char*, std::size_t) {}
void Together(unsigned char*, std::size_t) {}
void MultiplyAdd(const unsigned char*, unsigned char*, std::size_t, const Tables&) {}

}  // namespace engine::gf16::wide

#endif
