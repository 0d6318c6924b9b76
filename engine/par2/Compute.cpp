#include "engine/par2/Compute.h"

#include <algorithm>
#include <cstring>
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
          const gf16::Matrix* then, const InputObservers& observe, const OutputSink& sink,
          const ComputeProgress& progress, std::size_t memory) {
    const std::size_t outputs = factors.rows;
    const std::size_t finals = then ? then->rows : 0;
    const std::uint32_t window = WindowFor(sliceSize, outputs + finals, memory);
    TransferBuffer in;
    std::vector<TransferBuffer> out(outputs), last(finals);
    if (!in.Allocate(window)) throw std::bad_alloc();
    for (TransferBuffer& o : out) {
        if (!o.Allocate(window)) throw std::bad_alloc();
    }
    for (TransferBuffer& o : last) {
        if (!o.Allocate(window)) throw std::bad_alloc();
    }
    std::vector<unsigned char*> dest;
    for (TransferBuffer& o : out) dest.push_back(o.get());
    std::vector<std::uint16_t> factor(outputs);
    std::uint64_t total = 0;
    for (const SliceSource& s : inputs) total += s.length;
    std::uint64_t done = 0;
    // With no checksums to make beside the sums, the second thread takes
    // half of the outputs.
    const std::size_t half = observe.beside ? outputs : (outputs + 1) / 2;
    std::unique_ptr<Beside> beside;
    if ((observe.beside && outputs > 0) || half < outputs) beside = std::make_unique<Beside>();
    for (std::uint64_t at = 0; at < sliceSize; at += window) {
        const auto span = static_cast<std::uint32_t>(std::min<std::uint64_t>(window, sliceSize - at));
        for (TransferBuffer& o : out) std::memset(o.get(), 0, span);
        for (std::size_t k = 0; k < inputs.size(); ++k) {
            const SliceSource& source = inputs[k];
            if (source.length <= at) continue;
            const auto have = static_cast<std::uint32_t>(std::min<std::uint64_t>(span, source.length - at));
            source.read(at, in.get(), have);
            // Words are whole: an odd length ends on a zero byte (which the
            // observer, reading the first `have`, never sees).
            const std::uint32_t even = (have + 1) & ~1u;
            if (even != have) in.get()[have] = 0;
            if (observe.beside && !beside) {
                observe.beside(k, at, in.get(), have);
            } else if (observe.beside) {
                beside->Start([&, k] { observe.beside(k, at, in.get(), have); });
            } else if (beside) {
                beside->Start([&, k, even] {
                    for (std::size_t m = half; m < outputs; ++m) factor[m] = factors.at(m, k);
                    gf16::MultiplyAddMany(in.get(), dest.data() + half, factor.data() + half, outputs - half, even);
                });
            }
            if (observe.inLine) observe.inLine(k, at, in.get(), have);
            for (std::size_t m = 0; m < half; ++m) factor[m] = factors.at(m, k);
            gf16::MultiplyAddMany(in.get(), dest.data(), factor.data(), half, even);
            if (beside) beside->Wait();
            done += have;
            if (progress) progress(done, total);
        }
        if (!then) {
            for (std::size_t m = 0; m < outputs; ++m) sink(m, at, out[m].get(), span);
            continue;
        }
        const std::uint32_t even = (span + 1) & ~1u;
        for (std::size_t m = 0; m < finals; ++m) {
            std::memset(last[m].get(), 0, even);
            for (std::size_t t = 0; t < outputs; ++t) gf16::MultiplyAdd(out[t].get(), last[m].get(), even, then->at(m, t));
            sink(m, at, last[m].get(), span);
            if (progress) progress(done, total);
        }
    }
}

}  // namespace

void Combine(std::uint64_t sliceSize, const std::vector<SliceSource>& inputs, const gf16::Matrix& factors,
             const InputObservers& observe, const OutputSink& sink, const ComputeProgress& progress,
             std::size_t memory) {
    Sums(sliceSize, inputs, factors, nullptr, observe, sink, progress, memory);
}

void CombineThen(std::uint64_t sliceSize, const std::vector<SliceSource>& inputs, const gf16::Matrix& factors,
                 const gf16::Matrix& then, const OutputSink& sink, const ComputeProgress& progress,
                 std::size_t memory) {
    Sums(sliceSize, inputs, factors, &then, {}, sink, progress, memory);
}

}  // namespace engine::par2
