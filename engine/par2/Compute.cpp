#include "engine/par2/Compute.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <memory>
#include <utility>

#include "engine/base/Beside.h"
#include "engine/base/TransferBuffer.h"

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

namespace {

void Sums(std::uint64_t sliceSize, const std::vector<SliceSource>& inputs, const gf16::Matrix& factors,
          const gf16::Matrix* then, const InputObserver& observe, const OutputSink& sink,
          const ComputeProgress& progress, std::size_t memory, std::uint32_t given) {
    const std::size_t outputs = factors.rows;
    const std::size_t finals = then ? then->rows : 0;
    const std::uint32_t window = given ? given : WindowFor(sliceSize, outputs + finals, memory);
    TransferBuffer in;
    std::vector<TransferBuffer> out(outputs), last(finals);
    if (!in.Allocate(window)) throw std::bad_alloc();
    for (TransferBuffer& o : out) {
        if (!o.Allocate(window)) throw std::bad_alloc();
    }
    for (TransferBuffer& o : last) {
        if (!o.Allocate(window)) throw std::bad_alloc();
    }
    std::vector<unsigned char*> dest, lastDest;
    for (TransferBuffer& o : out) dest.push_back(o.get());
    for (TransferBuffer& o : last) lastDest.push_back(o.get());
    std::vector<std::uint16_t> factor(std::max(outputs, finals));
    std::uint64_t total = 0;
    for (const SliceSource& s : inputs) total += s.length;
    std::uint64_t done = 0;
    // Each source goes into its outputs on two threads, half each.
    Beside beside;
    const auto addInto = [&](const unsigned char* src, std::size_t count, const std::function<std::uint16_t(std::size_t)>& f,
                             unsigned char* const* into, std::size_t bytes) {
        const std::size_t half = (count + 1) / 2;
        const bool two = count > 1;
        if (two) {
            beside.Start([&, half, count, bytes] {
                for (std::size_t m = half; m < count; ++m) factor[m] = f(m);
                gf16::MultiplyAddMany(src, into + half, factor.data() + half, count - half, bytes);
            });
        }
        const std::size_t mine = two ? half : count;
        for (std::size_t m = 0; m < mine; ++m) factor[m] = f(m);
        gf16::MultiplyAddMany(src, into, factor.data(), mine, bytes);
        if (two) beside.Wait();
    };
    for (std::uint64_t at = 0; at < sliceSize; at += window) {
        const auto span = static_cast<std::uint32_t>(std::min<std::uint64_t>(window, sliceSize - at));
        // Whole blocks of the work layout: bytes beyond a slice count as zeros.
        const std::uint32_t blocks = (span + gf16::kWorkBlock - 1) / gf16::kWorkBlock * gf16::kWorkBlock;
        for (TransferBuffer& o : out) std::memset(o.get(), 0, blocks);
        for (std::size_t k = 0; k < inputs.size(); ++k) {
            const SliceSource& source = inputs[k];
            if (source.length <= at) continue;
            const auto have = static_cast<std::uint32_t>(std::min<std::uint64_t>(span, source.length - at));
            source.read(at, in.get(), have);
            if (observe) observe(k, at, in.get(), have);
            const std::uint32_t used = (have + gf16::kWorkBlock - 1) / gf16::kWorkBlock * gf16::kWorkBlock;
            std::memset(in.get() + have, 0, used - have);
            gf16::ToWorkLayout(in.get(), used);
            addInto(in.get(), outputs, [&](std::size_t m) { return factors.at(m, k); }, dest.data(), used);
            done += have;
            if (progress) progress(done, total);
        }
        if (!then) {
            for (std::size_t m = 0; m < outputs; ++m) {
                gf16::FromWorkLayout(out[m].get(), blocks);
                sink(m, at, out[m].get(), span);
            }
            continue;
        }
        for (TransferBuffer& o : last) std::memset(o.get(), 0, blocks);
        for (std::size_t t = 0; t < outputs; ++t) {
            addInto(out[t].get(), finals, [&](std::size_t m) { return then->at(m, t); }, lastDest.data(), blocks);
        }
        for (std::size_t m = 0; m < finals; ++m) {
            gf16::FromWorkLayout(last[m].get(), blocks);
            sink(m, at, last[m].get(), span);
            if (progress) progress(done, total);
        }
    }
}

}  // namespace

void Combine(std::uint64_t sliceSize, const std::vector<SliceSource>& inputs, const gf16::Matrix& factors,
             const InputObserver& observe, const OutputSink& sink, const ComputeProgress& progress,
             std::size_t memory, std::uint32_t window) {
    Sums(sliceSize, inputs, factors, nullptr, observe, sink, progress, memory, window);
}

void CombineThen(std::uint64_t sliceSize, const std::vector<SliceSource>& inputs, const gf16::Matrix& factors,
                 const gf16::Matrix& then, const OutputSink& sink, const ComputeProgress& progress,
                 std::size_t memory) {
    Sums(sliceSize, inputs, factors, &then, {}, sink, progress, memory, 0);
}

}  // namespace engine::par2
