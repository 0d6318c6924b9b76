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

// The pieces' files as the format describes them, built while they are read.
struct PieceState {
    std::unique_ptr<Md5> file, slice, head;
    std::uint32_t crc = 0;
    std::unique_ptr<ChecksumState> sum;
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
    // Constants go by the order of the main packet.
    std::vector<std::uint32_t> order(pieceCount);
    for (std::uint32_t i = 0; i < pieceCount; ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return par2::IdLess(described[a].id, described[b].id); });
    std::vector<std::uint16_t> constant(pieceCount);
    for (std::uint32_t position = 0; position < pieceCount; ++position) {
        constant[order[position]] = gf16::InputConstant(position);
    }

    // One output per recovery slice of the volumes to make, in exponent order.
    const std::uint32_t firstExponent =
        firstVolume < plan.volumes.size() ? plan.volumes[firstVolume].first : plan.recoverySlices;
    const std::uint32_t outputs = plan.recoverySlices - firstExponent;
    gf16::Matrix factors(outputs, pieceCount);
    for (std::uint32_t m = 0; m < outputs; ++m) {
        for (std::uint32_t i = 0; i < pieceCount; ++i) factors.at(m, i) = gf16::Power(constant[i], firstExponent + m);
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

    std::vector<PieceState> state(pieceCount);
    std::vector<par2::SliceSource> inputs(pieceCount);
    for (std::uint32_t i = 0; i < pieceCount; ++i) {
        inputs[i].length = described[i].length;
        inputs[i].read = [&read, i](std::uint64_t offset, unsigned char* data, std::uint32_t n) {
            read(i, offset, data, n);
        };
    }
    // A piece shorter than the slice is hashed as a slice padded with
    // zeros, and as a file without them.
    for (std::uint32_t i = 0; i < pieceCount; ++i) {
        state[i].file = platform.NewMd5();
        if (described[i].length < slice) state[i].slice = platform.NewMd5();
        if (expected) state[i].sum = std::make_unique<ChecksumState>();
    }
    par2::InputObservers observe;
    observe.beside = [&](std::size_t k, std::uint64_t, const unsigned char* data, std::uint32_t n) {
        state[k].file->Update(data, n);
        if (state[k].slice) state[k].slice->Update(data, n);
    };
    observe.inLine = [&](std::size_t k, std::uint64_t, const unsigned char* data, std::uint32_t n) {
        state[k].crc = par2::Crc32(state[k].crc, data, n);
        if (state[k].sum) state[k].sum->Update(data, n);
    };
    const auto sink = [&](std::size_t e, std::uint64_t offset, const unsigned char* data, std::uint32_t n) {
        File& file = *volume[volumeOf[e]];
        const std::string& name = plan.volumes[volumeOf[e]].name;
        SeekOrThrow(file, name, packetAt[e] + par2::kRecoveryOverhead + offset);
        WriteOrThrow(file, name, data, n);
        packetMd5[e]->Update(data, n);
    };
    par2::Combine(slice, inputs, factors, observe, sink, progress);

    std::vector<std::vector<par2::SliceCheck>> checks(pieceCount);
    const std::vector<unsigned char> zeros(std::min<std::uint64_t>(slice, 1u << 20), 0);
    for (std::uint32_t i = 0; i < pieceCount; ++i) {
        PieceState& s = state[i];
        if (expected && s.sum->Digest() != (*expected)[i]) throw PieceNotAsRecorded{i};
        described[i].md5 = s.file->Final();
        par2::SliceCheck check;
        if (s.slice) {
            for (std::uint64_t left = slice - described[i].length; left > 0;) {
                const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, zeros.size()));
                s.slice->Update(zeros.data(), n);
                s.crc = par2::Crc32(s.crc, zeros.data(), n);
                left -= n;
            }
            check.md5 = s.slice->Final();
        } else {
            check.md5 = described[i].md5;
        }
        check.crc = s.crc;
        checks[i].push_back(check);
    }
    // Files list their descriptions in the main packet's order.
    std::vector<par2::FileDescription> sortedFiles;
    std::vector<std::vector<par2::SliceCheck>> sortedChecks;
    for (std::uint32_t i : order) {
        sortedFiles.push_back(described[i]);
        sortedChecks.push_back(checks[i]);
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
