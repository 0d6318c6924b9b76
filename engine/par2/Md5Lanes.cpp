#include "engine/par2/Md5Lanes.h"

#include <algorithm>
#include <cstring>

namespace engine::par2 {

namespace {

inline std::uint32_t Rotl(std::uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }
inline std::uint32_t Load32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

constexpr std::uint32_t kK[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
constexpr int kS[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 5, 9,  14, 20, 5, 9,
                        14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                        4, 11, 16, 23, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

void Block(std::uint32_t* h, const unsigned char* p) {
    std::uint32_t m[16];
    for (int i = 0; i < 16; ++i) m[i] = Load32(p + 4 * i);
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
    for (int i = 0; i < 64; ++i) {
        std::uint32_t f;
        int g;
        if (i < 16) {
            f = d ^ (b & (c ^ d));
            g = i;
        } else if (i < 32) {
            f = c ^ (d & (b ^ c));
            g = (5 * i + 1) & 15;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) & 15;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) & 15;
        }
        const std::uint32_t t = d;
        d = c;
        c = b;
        b = b + Rotl(a + f + kK[i] + m[g], kS[i]);
        a = t;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
}

}  // namespace

bool Md5LanesWide() { return wide::Available(); }

bool Runs(Md5Kernel kernel) {
    switch (kernel) {
        case Md5Kernel::OneLane: return true;
        case Md5Kernel::Avx2: return wide::Available();
        case Md5Kernel::Avx512: return wider::Available();
    }
    return false;
}

Md5Kernel BestMd5Kernel() {
    static const Md5Kernel best = Runs(Md5Kernel::Avx512) ? Md5Kernel::Avx512
                                  : Runs(Md5Kernel::Avx2) ? Md5Kernel::Avx2
                                                          : Md5Kernel::OneLane;
    return best;
}

void Md5Update(Md5Stream* const* streams, const unsigned char* const* data, std::size_t count, std::size_t size,
               Md5Kernel kernel) {
    while (count > 0) {
        const std::size_t lanes = std::min(count, kMd5Lanes);
        // Each stream's pending bytes first, to a whole block.
        const unsigned char* at[kMd5Lanes] = {};
        std::size_t left[kMd5Lanes] = {};
        std::uint32_t* states[kMd5Lanes] = {};
        for (std::size_t i = 0; i < lanes; ++i) {
            Md5Stream& s = *streams[i];
            s.length += size;
            at[i] = data[i];
            left[i] = size;
            if (s.filled > 0) {
                const std::size_t take = std::min<std::size_t>(64 - s.filled, size);
                std::memcpy(s.pending + s.filled, at[i], take);
                s.filled += static_cast<std::uint32_t>(take);
                at[i] += take;
                left[i] -= take;
                if (s.filled == 64) {
                    Block(s.h, s.pending);
                    s.filled = 0;
                }
            }
            states[i] = s.h;
        }
        // Then whole blocks straight from the data, all lanes in step (they
        // differ by at most the pending bytes).
        for (;;) {
            std::size_t blocks = static_cast<std::size_t>(-1);
            unsigned active = 0;
            for (std::size_t i = 0; i < lanes; ++i) {
                if (left[i] >= 64) {
                    blocks = std::min(blocks, left[i] / 64);
                    active |= 1u << i;
                }
            }
            if (active == 0) break;
            // Sixteen lanes cost less than eight in AVX2, even half empty.
            if (lanes > 1 && kernel == Md5Kernel::Avx512) {
                wider::Md5Blocks(states, at, active, blocks);
            } else if (lanes > 1 && kernel != Md5Kernel::OneLane) {
                // Eight at a time; a half without data is left out.
                for (std::size_t half = 0; half < lanes; half += 8) {
                    const unsigned some = active >> half & 0xFF;
                    if (some) wide::Md5Blocks(states + half, at + half, some, blocks);
                }
            } else {
                for (std::size_t i = 0; i < lanes; ++i) {
                    if (!(active >> i & 1)) continue;
                    for (std::size_t b = 0; b < blocks; ++b) Block(states[i], at[i] + 64 * b);
                }
            }
            for (std::size_t i = 0; i < lanes; ++i) {
                if (!(active >> i & 1)) continue;
                at[i] += 64 * blocks;
                left[i] -= 64 * blocks;
            }
        }
        for (std::size_t i = 0; i < lanes; ++i) {
            Md5Stream& s = *streams[i];
            if (left[i] == 0) continue;
            std::memcpy(s.pending + s.filled, at[i], left[i]);
            s.filled += static_cast<std::uint32_t>(left[i]);
        }
        streams += lanes;
        data += lanes;
        count -= lanes;
    }
}

void Md5Update(Md5Stream& stream, const void* data, std::size_t size) {
    Md5Stream* s = &stream;
    const auto* d = static_cast<const unsigned char*>(data);
    Md5Update(&s, &d, 1, size);
}

Md5Digest Md5Final(Md5Stream& s) {
    const std::uint64_t bits = s.length * 8;
    unsigned char tail[72] = {0x80};
    const std::size_t pad = (s.filled < 56 ? 56 : 120) - s.filled;
    for (int i = 0; i < 8; ++i) tail[pad + i] = static_cast<unsigned char>(bits >> (8 * i));
    Md5Update(s, tail, pad + 8);
    Md5Digest digest{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<unsigned char>(s.h[i] >> (8 * j));
    }
    s = Md5Stream{};
    return digest;
}

}  // namespace engine::par2
