#include "Par2Compute.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "TransferBuffer.h"

namespace engine::par2 {

namespace {
constexpr std::uint32_t kMinWindow = 4096;
constexpr std::uint32_t kMaxWindow = 16u << 20;
constexpr std::uint32_t kAlign = 64;
}  // namespace

std::uint32_t WindowFor(std::uint64_t sliceSize, std::size_t outputs, std::size_t memory) {
    const std::uint64_t fits = memory / (outputs + 1);
    std::uint64_t window = std::clamp<std::uint64_t>(fits, kMinWindow, kMaxWindow);
    window = std::min<std::uint64_t>(window, (sliceSize + kAlign - 1) / kAlign * kAlign);
    return static_cast<std::uint32_t>(window / kAlign * kAlign);
}

void Combine(std::uint64_t sliceSize, const std::vector<SliceSource>& inputs, const gf16::Matrix& factors,
             const InputObserver& observe, const OutputSink& sink, const ComputeProgress& progress,
             std::size_t memory) {
    const std::size_t outputs = factors.rows;
    const std::uint32_t window = WindowFor(sliceSize, outputs, memory);
    TransferBuffer in;
    std::vector<TransferBuffer> out(outputs);
    if (!in.Allocate(window)) throw std::bad_alloc();
    for (TransferBuffer& o : out) {
        if (!o.Allocate(window)) throw std::bad_alloc();
    }
    std::uint64_t total = 0;
    for (const SliceSource& s : inputs) total += s.length;
    std::uint64_t done = 0;
    for (std::uint64_t at = 0; at < sliceSize; at += window) {
        const auto span = static_cast<std::uint32_t>(std::min<std::uint64_t>(window, sliceSize - at));
        for (TransferBuffer& o : out) std::memset(o.get(), 0, span);
        for (std::size_t k = 0; k < inputs.size(); ++k) {
            const SliceSource& source = inputs[k];
            if (source.length <= at) continue;
            const auto have = static_cast<std::uint32_t>(std::min<std::uint64_t>(span, source.length - at));
            source.read(at, in.get(), have);
            if (observe) observe(k, at, in.get(), have);
            // Words are whole: an odd length ends on a zero byte.
            const std::uint32_t even = (have + 1) & ~1u;
            if (even != have) in.get()[have] = 0;
            for (std::size_t m = 0; m < outputs; ++m) gf16::MultiplyAdd(in.get(), out[m].get(), even, factors.at(m, k));
            done += have;
            if (progress) progress(done, total);
        }
        for (std::size_t m = 0; m < outputs; ++m) sink(m, at, out[m].get(), span);
    }
}

}  // namespace engine::par2
