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
    const std::uint32_t window = given ? given : WindowFor(sliceSize, outputs + finals + kInputBatch - 1, memory);
    std::vector<TransferBuffer> in(std::max<std::size_t>(1, std::min(kInputBatch, inputs.size())));
    std::vector<TransferBuffer> out(outputs), last(finals);
    for (auto* group : {&in, &out, &last}) {
        for (TransferBuffer& b : *group) {
            if (!b.Allocate(window)) throw std::bad_alloc();
        }
    }
    std::vector<unsigned char*> dest, lastDest;
    std::vector<const unsigned char*> outSrc;
    for (TransferBuffer& o : out) {
        dest.push_back(o.get());
        outSrc.push_back(o.get());
    }
    for (TransferBuffer& o : last) lastDest.push_back(o.get());
    std::uint64_t total = 0;
    for (const SliceSource& s : inputs) total += s.length;
    std::uint64_t done = 0;
    // Sources go into their outputs on two threads, half of the outputs each.
    Beside beside;
    std::vector<std::uint16_t> factor;
    const auto addInto = [&](const unsigned char* const* srcs, std::size_t sources, unsigned char* const* into,
                             std::size_t count, std::size_t bytes) {
        const std::size_t half = count > 1 ? (count + 1) / 2 : count;
        if (half < count) {
            beside.Start([&, half, count, sources, bytes] {
                gf16::MultiplyAddMany(srcs, sources, into + half, count - half, factor.data() + half * sources, bytes);
            });
        }
        gf16::MultiplyAddMany(srcs, sources, into, half, factor.data(), bytes);
        if (half < count) beside.Wait();
    };
    std::vector<const unsigned char*> batch;
    std::vector<std::size_t> batchInput;
    for (std::uint64_t at = 0; at < sliceSize; at += window) {
        const auto span = static_cast<std::uint32_t>(std::min<std::uint64_t>(window, sliceSize - at));
        // Whole blocks of the work layout: bytes beyond a slice count as zeros.
        const std::uint32_t blocks = (span + gf16::kWorkBlock - 1) / gf16::kWorkBlock * gf16::kWorkBlock;
        for (TransferBuffer& o : out) std::memset(o.get(), 0, blocks);
        for (std::size_t k = 0; k < inputs.size();) {
            // A few inputs at a time, so that each output's window is fetched
            // once for all of them.
            batch.clear();
            batchInput.clear();
            std::uint32_t widest = 0;
            for (; k < inputs.size() && batch.size() < in.size(); ++k) {
                const SliceSource& source = inputs[k];
                if (source.length <= at) continue;
                unsigned char* data = in[batch.size()].get();
                const auto have = static_cast<std::uint32_t>(std::min<std::uint64_t>(span, source.length - at));
                source.read(at, data, have);
                if (observe) observe(k, at, data, have);
                const std::uint32_t used = (have + gf16::kWorkBlock - 1) / gf16::kWorkBlock * gf16::kWorkBlock;
                std::memset(data + have, 0, blocks - have);
                gf16::ToWorkLayout(data, used);
                widest = std::max(widest, used);
                batch.push_back(data);
                batchInput.push_back(k);
                done += have;
            }
            if (batch.empty()) continue;
            factor.resize(outputs * batch.size());
            for (std::size_t m = 0; m < outputs; ++m) {
                for (std::size_t b = 0; b < batch.size(); ++b) factor[m * batch.size() + b] = factors.at(m, batchInput[b]);
            }
            addInto(batch.data(), batch.size(), dest.data(), outputs, widest);
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
        factor.resize(finals * outputs);
        for (std::size_t m = 0; m < finals; ++m) {
            for (std::size_t t = 0; t < outputs; ++t) factor[m * outputs + t] = then->at(m, t);
        }
        addInto(outSrc.data(), outputs, lastDest.data(), finals, blocks);
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
