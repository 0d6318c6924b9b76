#include "engine/io/RecoveryMaker.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <iterator>
#include <memory>
#include <thread>

#include "engine/base/Beside.h"
#include "engine/base/FileErrors.h"
#include "engine/base/Format.h"
#include "engine/base/Texts.h"
#include "engine/base/TransferBuffer.h"
#include "engine/par2/Md5Lanes.h"
#include "engine/par2/Packets.h"
#include "engine/set/PiecePlan.h"

namespace engine {

namespace {

using par2::Hash;
constexpr std::uint64_t kHeadSize = 16 * 1024;
constexpr std::uint32_t kChunk = 1u << 20;

// What the format records of a piece, from its bytes in order: the whole
// file's MD5 and each slice's MD5 (fed many pieces at a time, in lanes),
// each slice's CRC and the set's own checksum (fed beside them). The last
// slice is padded with zeros.
struct PieceHasher {

    void Checks(const unsigned char* data, std::uint32_t n) {
        sum->Update(data, n);
        crc = par2::Crc32(crc, data, n);
        part->Update(data, n);
    }
    void EndPart() {
        parts.push_back(Fold(part->Digest()));
        part->Reset();
    }
    static std::uint64_t Fold(const Checksum& c) {
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v = v << 8 | c.bytes[i];
        return v;
    }
    void EndSlice(std::uint64_t padding, const std::vector<unsigned char>& zeros) {
        while (padding > 0) {
            const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(padding, zeros.size()));
            par2::Md5Update(slice, zeros.data(), n);
            crc = par2::Crc32(crc, zeros.data(), n);
            padding -= n;
        }
        checks.push_back({par2::Md5Final(slice), crc});
        crc = 0;
    }

    par2::Md5Stream file, slice;
    std::uint32_t crc = 0;
    std::unique_ptr<ChecksumState> sum = std::make_unique<ChecksumState>();
    std::vector<par2::SliceCheck> checks;
    // Each window of each slice as the sums will read it: a quick checksum
    // that holds the second reading to the first.
    std::unique_ptr<ChecksumState> part = std::make_unique<ChecksumState>();
    std::vector<std::uint64_t> parts;
};

// Pieces hashed at once: a file and a slice stream each.
constexpr std::uint32_t kPiecesAtOnce = par2::kMd5Lanes / 2;

}  // namespace

std::uint32_t SumsWindow(const RecoveryPlan& plan) {
    return par2::WindowFor(plan.sliceSize, plan.recoverySlices + par2::kInputBatch - 1);
}

std::vector<PieceSums> HashPieces(const RecoveryPlan& plan, std::uint64_t size, std::uint32_t pieceCount,
                                  std::uint32_t pieceSize, const PieceRead& read, const par2::ComputeProgress& progress) {
    const std::uint64_t slice = plan.sliceSize;
    std::vector<std::uint64_t> lengths(pieceCount);
    for (std::uint32_t i = 0; i < pieceCount; ++i) lengths[i] = PieceLength(size, pieceCount, pieceSize, i);
    std::vector<PieceHasher> hashers;
    for (std::uint32_t i = 0; i < pieceCount; ++i) hashers.emplace_back();
    const std::vector<unsigned char> zeros(std::min<std::uint64_t>(slice, kChunk), 0);
    const std::uint64_t window = SumsWindow(plan);
    std::uint64_t hashed = 0, total = 0;
    for (const std::uint64_t l : lengths) total += l;
    std::vector<PieceSums> sums(pieceCount);
    {
        std::vector<TransferBuffer> buffers(kPiecesAtOnce);
        for (TransferBuffer& b : buffers) {
            if (!b.Allocate(kChunk)) throw std::bad_alloc();
        }
        Beside beside;
        for (std::uint32_t first = 0; first < pieceCount;) {
            const std::uint64_t length = lengths[first];
            std::uint32_t end = first + 1;
            while (end < pieceCount && end - first < kPiecesAtOnce && lengths[end] == length) ++end;
            const std::uint32_t group = end - first;
            par2::Md5Stream* streams[par2::kMd5Lanes];
            const unsigned char* from[par2::kMd5Lanes];
            for (std::uint32_t j = 0; j < group; ++j) {
                streams[j] = &hashers[first + j].file;
                streams[group + j] = &hashers[first + j].slice;
                from[j] = from[group + j] = buffers[j].get();
            }
            for (std::uint64_t at = 0; at < length;) {
                const std::uint64_t sliceStart = at / slice * slice;
                const std::uint64_t sliceEnd = std::min(length, sliceStart + slice);
                const std::uint64_t partEnd = std::min(sliceEnd, sliceStart + ((at - sliceStart) / window + 1) * window);
                const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunk, partEnd - at));
                for (std::uint32_t j = 0; j < group; ++j) read(first + j, at, buffers[j].get(), n);
                beside.Start([&, group, n] {
                    for (std::uint32_t j = 0; j < group; ++j) hashers[first + j].Checks(buffers[j].get(), n);
                });
                par2::Md5Update(streams, from, 2 * group, n);
                beside.Wait();
                at += n;
                if (at == partEnd) {
                    for (std::uint32_t j = 0; j < group; ++j) hashers[first + j].EndPart();
                }
                if (at == sliceEnd) {
                    const std::uint64_t padding = at % slice == 0 ? 0 : slice - at % slice;
                    for (std::uint32_t j = 0; j < group; ++j) hashers[first + j].EndSlice(padding, zeros);
                }
                hashed += std::uint64_t{n} * group;
                if (progress) progress(hashed, total);
            }
            for (std::uint32_t j = 0; j < group; ++j) {
                PieceHasher& h = hashers[first + j];
                PieceSums& out = sums[first + j];
                out.md5 = par2::Md5Final(h.file);
                out.checks = std::move(h.checks);
                out.windows = std::move(h.parts);
                out.sum = h.sum->Digest();
            }
            first = end;
        }
    }
    return sums;
}

namespace {

struct ReadingStopped {};

// The checksums' reading on a thread of its own, stopped and joined on
// every way out; how far it has got, for the progress.
class HashingBeside {
public:
    HashingBeside(const RecoveryPlan& plan, std::uint64_t size, std::uint32_t pieceCount, std::uint32_t pieceSize,
                  const PieceRead& read)
        : thread_([&, size, pieceCount, pieceSize] {
              try {
                  sums_ = HashPieces(plan, size, pieceCount, pieceSize, read, [this](std::uint64_t done, std::uint64_t) {
                      if (stop_) throw ReadingStopped{};
                      done_ = done;
                  });
              } catch (...) {
                  error_ = std::current_exception();
              }
          }) {}
    ~HashingBeside() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    std::uint64_t done() const { return done_; }
    std::vector<PieceSums>& Sums() {
        thread_.join();
        if (error_) std::rethrow_exception(error_);
        return sums_;
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> done_{0};
    std::vector<PieceSums> sums_;
    std::exception_ptr error_;
    std::thread thread_;
};

}  // namespace

void MakeRecovery(const RecoveryPlan& plan, const std::string& setName, std::uint64_t size,
                  std::uint32_t pieceCount, std::uint32_t pieceSize, const PieceRead& read,
                  const std::vector<Checksum>* expected, Platform& platform, RecoveryFiles& files,
                  const par2::ComputeProgress& progress, std::size_t firstVolume, const std::vector<PieceSums>* known,
                  const PieceRead* beside) {
    const std::uint64_t slice = plan.sliceSize;
    std::unique_ptr<Md5> md5 = platform.NewMd5();

    // The first 16 KiB of every piece name it in the format: the set's
    // identity, which every recovery packet carries, is known before the
    // pass over the pieces.
    std::vector<par2::FileDescription> described(pieceCount);
    std::vector<unsigned char> head(kHeadSize);
    for (std::uint32_t i = 0; i < pieceCount; ++i) {
        par2::FileDescription& d = described[i];
        d.name = PieceFileName(setName, i);
        d.length = PieceLength(size, pieceCount, pieceSize, i);
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(kHeadSize, d.length));
        read(i, 0, head.data(), n);
        d.md5Head = par2::Md5Of(*md5, head.data(), n);
        d.id = par2::FileId(*md5, d.md5Head, d.length, d.name);
    }
    std::vector<Hash> ids;
    for (const par2::FileDescription& d : described) ids.push_back(d.id);
    const std::string mainBody = par2::MainBody(slice, ids);
    const Hash set = par2::Md5Of(*md5, mainBody.data(), mainBody.size());
    // Constants go by the order of the main packet, and within a file by
    // its slices' order; the inputs go piece by piece in the files' order.
    std::vector<std::uint32_t> order(pieceCount);
    for (std::uint32_t i = 0; i < pieceCount; ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return par2::IdLess(described[a].id, described[b].id); });
    std::vector<std::uint64_t> slicesOf(pieceCount), firstConstant(pieceCount);
    for (std::uint32_t i = 0; i < pieceCount; ++i) slicesOf[i] = (described[i].length + slice - 1) / slice;
    std::uint64_t inputCount = 0;
    for (std::uint32_t i : order) {
        firstConstant[i] = inputCount;
        inputCount += slicesOf[i];
    }
    std::vector<par2::SliceSource> inputs;
    std::vector<std::uint32_t> pieceOf;
    std::vector<std::size_t> sliceOf;  // within its piece
    std::vector<std::uint16_t> constant;
    for (std::uint32_t i = 0; i < pieceCount; ++i) {
        for (std::uint64_t k = 0; k < slicesOf[i]; ++k) {
            par2::SliceSource source;
            source.length = std::min(slice, described[i].length - k * slice);
            const std::uint64_t start = k * slice;
            source.read = [&read, i, start](std::uint64_t offset, unsigned char* data, std::uint32_t n) {
                read(i, start + offset, data, n);
            };
            inputs.push_back(std::move(source));
            pieceOf.push_back(i);
            sliceOf.push_back(static_cast<std::size_t>(k));
            constant.push_back(gf16::InputConstant(static_cast<std::uint32_t>(firstConstant[i] + k)));
        }
    }

    // One output per recovery slice of the volumes to make, in exponent order.
    const std::uint32_t firstExponent =
        firstVolume < plan.volumes.size() ? plan.volumes[firstVolume].first : plan.recoverySlices;
    const std::uint32_t outputs = plan.recoverySlices - firstExponent;
    gf16::Matrix factors(outputs, inputs.size());
    for (std::uint32_t m = 0; m < outputs; ++m) {
        for (std::size_t k = 0; k < inputs.size(); ++k) factors.at(m, k) = gf16::Power(constant[k], firstExponent + m);
    }
    std::vector<File*> volume(plan.volumes.size(), nullptr);
    std::vector<std::string> volumePath;  // what a failure names
    for (const RecoveryVolume& rv : plan.volumes) volumePath.push_back(files.PathOf(rv.name));
    std::vector<std::size_t> volumeOf(outputs);
    std::vector<std::uint64_t> packetAt(outputs);
    // The packets' MD5s, many at a time: each takes in its start, then
    // the slice's bytes a window at a time.
    std::vector<par2::Md5Stream> packetMd5(outputs);
    for (std::size_t v = firstVolume; v < plan.volumes.size(); ++v) {
        const RecoveryVolume& rv = plan.volumes[v];
        volume[v] = &files.Create(v + 1, rv.name, rv.size);
        for (std::uint32_t j = 0; j < rv.count; ++j) {
            const std::uint32_t m = rv.first + j - firstExponent;
            volumeOf[m] = v;
            packetAt[m] = j * (par2::kRecoveryOverhead + slice);
            const std::string start = par2::RecoveryHashStart(set, rv.first + j);
            par2::Md5Update(packetMd5[m], start.data(), start.size());
        }
    }

    std::uint64_t total = 0;
    for (const par2::FileDescription& d : described) total += d.length;
    const std::uint32_t window = SumsWindow(plan);
    const std::uint64_t windowsPerSlice = (slice + window - 1) / window;
    // Without the first reading's sums, it is the first half of the work:
    // read beside the sums where it can be, else first.
    std::vector<PieceSums> own;
    std::unique_ptr<HashingBeside> hashing;
    std::vector<std::vector<std::uint64_t>> seen;  // each window as the sums read it
    if (!known && beside) {
        hashing = std::make_unique<HashingBeside>(plan, size, pieceCount, pieceSize, *beside);
        seen.resize(pieceCount);
        for (std::uint32_t i = 0; i < pieceCount; ++i) {
            const std::uint64_t last = described[i].length - (slicesOf[i] - 1) * slice;
            seen[i].resize(static_cast<std::size_t>((slicesOf[i] - 1) * windowsPerSlice + (last + window - 1) / window));
        }
    } else if (!known) {
        own = HashPieces(plan, size, pieceCount, pieceSize, read, [&](std::uint64_t done, std::uint64_t) {
            if (progress) progress(done, 2 * total);
        });
        known = &own;
    }
    const std::uint64_t before = known == &own ? total : 0;
    const std::uint64_t all = hashing ? 2 * total : before + total;
    const auto holdToRecord = [&] {
        for (std::uint32_t i = 0; i < pieceCount; ++i) {
            if (expected && (*known)[i].sum != (*expected)[i]) throw PieceNotAsRecorded{i, true};
            described[i].md5 = (*known)[i].md5;
        }
    };
    if (known) holdToRecord();
    ChecksumState again;
    const par2::InputObserver observe = [&](std::size_t k, std::uint64_t at, const unsigned char* data, std::uint32_t n) {
        again.Reset();
        again.Update(data, n);
        const std::size_t part = static_cast<std::size_t>(sliceOf[k] * windowsPerSlice + at / window);
        if (hashing) {
            std::vector<std::uint64_t>& windows = seen[pieceOf[k]];
            if (part >= windows.size()) throw PieceNotAsRecorded{pieceOf[k]};
            windows[part] = PieceHasher::Fold(again.Digest());
            return;
        }
        const PieceSums& h = (*known)[pieceOf[k]];
        if (part >= h.windows.size() || h.windows[part] != PieceHasher::Fold(again.Digest())) {
            throw PieceNotAsRecorded{pieceOf[k]};
        }
    };
    const auto overall = [&](std::uint64_t done, std::uint64_t) {
        if (progress) progress(before + done + (hashing ? hashing->done() : 0), all);
    };
    std::vector<par2::Md5Stream*> given;
    std::vector<const unsigned char*> givenData;
    const auto sink = [&](std::size_t e, std::uint64_t offset, const unsigned char* data, std::uint32_t n) {
        File& file = *volume[volumeOf[e]];
        const std::string& name = volumePath[volumeOf[e]];
        SeekOrThrow(file, name, packetAt[e] + par2::kRecoveryOverhead + offset);
        WriteOrThrow(file, name, data, n);
        // Every output's window is as long, and all of them stay until the
        // last is given.
        given.push_back(&packetMd5[e]);
        givenData.push_back(data);
        if (given.size() < outputs) return;
        par2::Md5Update(given.data(), givenData.data(), given.size(), n);
        given.clear();
        givenData.clear();
    };
    par2::Combine(slice, inputs, factors, observe, sink, overall, par2::kComputeMemory, window);
    if (hashing) {
        // Both readings done: the sums' must have read what the checksums'
        // did, and that must be what the set records.
        own = std::move(hashing->Sums());
        hashing.reset();
        known = &own;
        holdToRecord();
        for (std::uint32_t i = 0; i < pieceCount; ++i) {
            if (seen[i] != own[i].windows) throw PieceNotAsRecorded{i};
        }
        if (progress) progress(all, all);
    }

    // Files list their descriptions in the main packet's order.
    std::vector<par2::FileDescription> sortedFiles;
    std::vector<std::vector<par2::SliceCheck>> sortedChecks;
    for (std::uint32_t i : order) {
        sortedFiles.push_back(described[i]);
        sortedChecks.push_back((*known)[i].checks);
    }
    const std::string critical = par2::CriticalPackets(*md5, set, slice, sortedFiles, sortedChecks);

    for (std::size_t v = firstVolume; v < plan.volumes.size(); ++v) {
        const RecoveryVolume& rv = plan.volumes[v];
        File& file = *volume[v];
        for (std::uint32_t j = 0; j < rv.count; ++j) {
            const std::uint32_t e = rv.first + j;
            const std::uint32_t m = e - firstExponent;
            const std::string header = par2::RecoveryHeader(par2::Md5Final(packetMd5[m]), set, slice, e);
            SeekOrThrow(file, volumePath[v], packetAt[m]);
            WriteOrThrow(file, volumePath[v], header.data(), static_cast<std::uint32_t>(header.size()));
        }
        SeekOrThrow(file, volumePath[v], rv.count * (par2::kRecoveryOverhead + slice));
        WriteOrThrow(file, volumePath[v], critical.data(), static_cast<std::uint32_t>(critical.size()));
        files.Complete(v + 1);
    }
    File& index = files.Create(0, plan.indexName, plan.indexSize);
    WriteOrThrow(index, files.PathOf(plan.indexName), critical.data(), static_cast<std::uint32_t>(critical.size()));
    files.Complete(0);
}

}  // namespace engine
