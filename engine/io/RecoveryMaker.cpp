#include "engine/io/RecoveryMaker.h"

#include <algorithm>
#include <iterator>
#include <memory>

#include "engine/base/FileErrors.h"
#include "engine/base/Format.h"
#include "engine/base/Texts.h"
#include "engine/par2/Packets.h"
#include "engine/set/PiecePlan.h"

namespace engine {

namespace {

using par2::Hash;
constexpr std::uint64_t kHeadSize = 16 * 1024;
constexpr std::uint32_t kChunk = 1u << 20;

// What the format records of a piece, from its bytes in order: the whole
// file's MD5 (fed on one thread), and each slice's MD5 and CRC, its last
// padded with zeros, with the set's own checksum (fed on another).
class PieceHasher {
public:
    PieceHasher(Platform& platform, std::uint64_t slice, bool sum)
        : file_(platform.NewMd5()), slice_(platform.NewMd5()), size_(slice),
          sum_(sum ? std::make_unique<ChecksumState>() : nullptr) {}

    void File(const unsigned char* data, std::uint32_t n) { file_->Update(data, n); }
    void Slices(const unsigned char* data, std::uint32_t n) {
        if (sum_) sum_->Update(data, n);
        while (n > 0) {
            const auto part = static_cast<std::uint32_t>(std::min<std::uint64_t>(n, size_ - filled_));
            slice_->Update(data, part);
            crc_ = par2::Crc32(crc_, data, part);
            filled_ += part;
            data += part;
            n -= part;
            if (filled_ == size_) EndSlice();
        }
    }
    // After every byte: the slices' checks, the last one padded.
    void Finish(const std::vector<unsigned char>& zeros) {
        for (std::uint64_t left = filled_ == 0 ? 0 : size_ - filled_; left > 0;) {
            const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, zeros.size()));
            slice_->Update(zeros.data(), n);
            crc_ = par2::Crc32(crc_, zeros.data(), n);
            left -= n;
        }
        if (filled_ != 0) EndSlice();
        md5_ = file_->Final();
    }
    const Hash& md5() const { return md5_; }
    const std::vector<par2::SliceCheck>& checks() const { return checks_; }
    bool Matches(const Checksum& expected) const { return !sum_ || sum_->Digest() == expected; }

private:
    void EndSlice() {
        checks_.push_back({slice_->Final(), crc_});
        crc_ = 0;
        filled_ = 0;
    }
    std::unique_ptr<Md5> file_, slice_;
    std::uint64_t size_, filled_ = 0;
    std::uint32_t crc_ = 0;
    std::unique_ptr<ChecksumState> sum_;
    std::vector<par2::SliceCheck> checks_;
    Hash md5_{};
};

}  // namespace

void MakeRecovery(const RecoveryPlan& plan, const std::string& setName, std::uint64_t size,
                  std::uint32_t pieceCount, std::uint32_t pieceSize, const PieceRead& read,
                  const std::vector<Checksum>* expected, Platform& platform, RecoveryFiles& files,
                  const par2::ComputeProgress& progress, std::size_t firstVolume) {
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
    std::vector<std::size_t> volumeOf(outputs);
    std::vector<std::uint64_t> packetAt(outputs);
    std::vector<std::unique_ptr<Md5>> packetMd5(outputs);
    for (std::size_t v = firstVolume; v < plan.volumes.size(); ++v) {
        const RecoveryVolume& rv = plan.volumes[v];
        volume[v] = &files.Create(v + 1, rv.name, rv.size);
        for (std::uint32_t j = 0; j < rv.count; ++j) {
            const std::uint32_t m = rv.first + j - firstExponent;
            volumeOf[m] = v;
            packetAt[m] = j * (par2::kRecoveryOverhead + slice);
            packetMd5[m] = platform.NewMd5();
            par2::BeginRecoveryHash(*packetMd5[m], set, rv.first + j);
        }
    }

    std::vector<std::unique_ptr<PieceHasher>> hashers(pieceCount);
    for (auto& h : hashers) h = std::make_unique<PieceHasher>(platform, slice, expected != nullptr);
    std::uint64_t total = 0;
    for (const par2::FileDescription& d : described) total += d.length;
    // Where the sums read every slice whole, they read the pieces in order
    // and the checksums ride along; otherwise (more recovery data than the
    // memory holds) the pieces are read once in order first, and the sums'
    // reading is held to what that found, slice by slice.
    const bool inOrder = par2::WindowFor(slice, outputs) >= slice;
    std::vector<std::uint32_t> crcOf(inputs.size(), 0);
    const std::vector<unsigned char> zeros(std::min<std::uint64_t>(slice, kChunk), 0);
    par2::InputObservers observe;
    std::uint64_t hashed = 0;
    const auto overall = [&](std::uint64_t done, std::uint64_t) {
        if (progress) progress(hashed + done, inOrder ? total : 2 * total);
    };
    if (inOrder) {
        observe.beside = [&](std::size_t k, std::uint64_t, const unsigned char* data, std::uint32_t n) {
            hashers[pieceOf[k]]->File(data, n);
        };
        observe.inLine = [&](std::size_t k, std::uint64_t, const unsigned char* data, std::uint32_t n) {
            hashers[pieceOf[k]]->Slices(data, n);
        };
    } else {
        std::vector<unsigned char> buffer(kChunk);
        for (std::uint32_t i = 0; i < pieceCount; ++i) {
            for (std::uint64_t at = 0; at < described[i].length;) {
                const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunk, described[i].length - at));
                read(i, at, buffer.data(), n);
                hashers[i]->File(buffer.data(), n);
                hashers[i]->Slices(buffer.data(), n);
                at += n;
                hashed += n;
                if (progress) progress(hashed, 2 * total);
            }
            hashers[i]->Finish(zeros);
        }
        observe.inLine = [&](std::size_t k, std::uint64_t, const unsigned char* data, std::uint32_t n) {
            crcOf[k] = par2::Crc32(crcOf[k], data, n);
        };
    }
    const auto sink = [&](std::size_t e, std::uint64_t offset, const unsigned char* data, std::uint32_t n) {
        File& file = *volume[volumeOf[e]];
        const std::string& name = plan.volumes[volumeOf[e]].name;
        SeekOrThrow(file, name, packetAt[e] + par2::kRecoveryOverhead + offset);
        WriteOrThrow(file, name, data, n);
        packetMd5[e]->Update(data, n);
    };
    par2::Combine(slice, inputs, factors, observe, sink, overall);

    for (std::uint32_t i = 0; i < pieceCount; ++i) {
        if (inOrder) hashers[i]->Finish(zeros);
        if (expected && !hashers[i]->Matches((*expected)[i])) throw PieceNotAsRecorded{i};
        described[i].md5 = hashers[i]->md5();
    }
    if (!inOrder) {
        // The second reading's CRC of each slice, without the padding the
        // recorded one has: padded here the same way.
        for (std::size_t k = 0; k < inputs.size(); ++k) {
            const std::uint32_t i = pieceOf[k];
            for (std::uint64_t left = slice - inputs[k].length; left > 0;) {
                const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, zeros.size()));
                crcOf[k] = par2::Crc32(crcOf[k], zeros.data(), n);
                left -= n;
            }
            if (crcOf[k] != hashers[i]->checks()[sliceOf[k]].crc) throw PieceNotAsRecorded{i};
        }
    }
    // Files list their descriptions in the main packet's order.
    std::vector<par2::FileDescription> sortedFiles;
    std::vector<std::vector<par2::SliceCheck>> sortedChecks;
    for (std::uint32_t i : order) {
        sortedFiles.push_back(described[i]);
        sortedChecks.push_back(hashers[i]->checks());
    }
    const std::string critical = par2::CriticalPackets(*md5, set, slice, sortedFiles, sortedChecks);

    for (std::size_t v = firstVolume; v < plan.volumes.size(); ++v) {
        const RecoveryVolume& rv = plan.volumes[v];
        File& file = *volume[v];
        for (std::uint32_t j = 0; j < rv.count; ++j) {
            const std::uint32_t e = rv.first + j;
            const std::uint32_t m = e - firstExponent;
            const std::string header = par2::RecoveryHeader(packetMd5[m]->Final(), set, slice, e);
            SeekOrThrow(file, rv.name, packetAt[m]);
            WriteOrThrow(file, rv.name, header.data(), static_cast<std::uint32_t>(header.size()));
        }
        SeekOrThrow(file, rv.name, rv.count * (par2::kRecoveryOverhead + slice));
        WriteOrThrow(file, rv.name, critical.data(), static_cast<std::uint32_t>(critical.size()));
        files.Complete(v + 1);
    }
    File& index = files.Create(0, plan.indexName, plan.indexSize);
    WriteOrThrow(index, plan.indexName, critical.data(), static_cast<std::uint32_t>(critical.size()));
    files.Complete(0);
}

}  // namespace engine
