// MD5 of many streams at once: the slices' and the pieces' MD5s that the
// recovery files record are the bound of making them, and eight streams in
// one vector (AVX2, chosen at run time) go about five times as fast as one
// at a time, sixteen (AVX-512) about three times as fast again. Streams in
// a call get as many bytes each, from their own data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/base/Md5.h"

namespace engine::par2 {

struct Md5Stream {
    std::uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    std::uint64_t length = 0;
    unsigned char pending[64] = {};
    std::uint32_t filled = 0;
};

inline constexpr std::size_t kMd5Lanes = 16;

// The ways of running the lanes: one at a time, eight in AVX2, sixteen in
// AVX-512. The best this processor runs is chosen once; the tests take
// each in turn.
enum class Md5Kernel { OneLane, Avx2, Avx512 };
Md5Kernel BestMd5Kernel();
bool Runs(Md5Kernel kernel);

// Gives streams[i] the `size` bytes at data[i], for `count` streams.
void Md5Update(Md5Stream* const* streams, const unsigned char* const* data, std::size_t count, std::size_t size,
               Md5Kernel kernel = BestMd5Kernel());
void Md5Update(Md5Stream& stream, const void* data, std::size_t size);
// The digest of all the stream was given; the stream starts afresh.
Md5Digest Md5Final(Md5Stream& stream);

// Whether the vector build runs here (false where the processor lacks
// AVX2, and in the build for other processors).
bool Md5LanesWide();

namespace wide {
// Runs `blocks` 64-byte blocks through eight states at once, lane i from
// data[i] on (lanes without data get a block of zeros and keep their state;
// `active` says which have data).
void Md5Blocks(std::uint32_t* const* states, const unsigned char* const* data, unsigned active, std::size_t blocks);
bool Available();
}  // namespace wide

namespace wider {
// The same for sixteen states (AVX-512).
void Md5Blocks(std::uint32_t* const* states, const unsigned char* const* data, unsigned active, std::size_t blocks);
bool Available();
}  // namespace wider

}  // namespace engine::par2
