// The arithmetic of recovery data: output slices that are sums of input
// slices times constants, in GF(2^16). Making recovery slices and rebuilding
// lost ones are both such sums; only the inputs and the constants differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/par2/Field.h"

namespace engine::par2 {

// One input of a sum: a slice of at most the slice size, whose bytes beyond
// its length count as zeros.
struct SliceSource {
    std::uint64_t length = 0;
    // Fills `data` with `size` bytes from `offset` (all within the length);
    // throws when they cannot be had.
    std::function<void(std::uint64_t offset, unsigned char* data, std::uint32_t size)> read;
};

// Sees the bytes of every input once, in order within each input.
using InputObserver =
    std::function<void(std::size_t input, std::uint64_t offset, const unsigned char* data, std::uint32_t size)>;
// Takes the bytes of every output once, in order within each output: a
// window of each output in turn, whose bytes stay as they are until every
// output has been given its window.
using OutputSink =
    std::function<void(std::size_t output, std::uint64_t offset, const unsigned char* data, std::uint32_t size)>;
// Bytes of input done of the total; may throw to stop.
using ComputeProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Memory the sums may hold at once; with more outputs the windows shrink.
inline constexpr std::size_t kComputeMemory = 32u << 20;
// Inputs read before their windows go into the outputs together: each
// output's window is fetched from memory once for all of them.
inline constexpr std::size_t kInputBatch = 8;

// The window a sum works in: as much of a slice as the memory holds for
// every output and one input.
std::uint32_t WindowFor(std::uint64_t sliceSize, std::size_t outputs, std::size_t memory = kComputeMemory);

// outputs[m] = sum over k of factors.at(m, k) × inputs[k], slice by slice.
// Each window of the slices is read from every input in turn, so memory
// stays bounded whatever the slice size.
// `window`, when given, is the window to work in instead of the one the
// memory holds.
void Combine(std::uint64_t sliceSize, const std::vector<SliceSource>& inputs, const gf16::Matrix& factors,
             const InputObserver& observe, const OutputSink& sink, const ComputeProgress& progress,
             std::size_t memory = kComputeMemory, std::uint32_t window = 0);

// outputs[m] = sum over t of then.at(m, t) × (sum over k of factors.at(t, k)
// × inputs[k]): a rebuild, whose second matrix (the inverse) is square and
// small beside the first, so that the first is made in one pass of powers.
void CombineThen(std::uint64_t sliceSize, const std::vector<SliceSource>& inputs, const gf16::Matrix& factors,
                 const gf16::Matrix& then, const OutputSink& sink, const ComputeProgress& progress,
                 std::size_t memory = kComputeMemory);

}  // namespace engine::par2
