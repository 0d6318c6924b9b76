// Hostile input for the readers of what a user receives: an info file, and
// recovery files beside a set of intact and damaged pieces. Each input is
// run through the start checks and a verification, a repair in place and a
// rejoin, judged by the invariants (no intact piece changes, a join that
// completes is exact) and, in the sanitizer build, by AddressSanitizer and
// UndefinedBehaviorSanitizer.
//
// Built with -fsanitize=fuzzer the entry point below is libFuzzer's. Built
// without, `fuzz_readers SECONDS SEED_FOLDER` mutates the seeds for that
// long, packets' MD5s mended now and then so that mutations reach past the
// packet checks; a failed invariant aborts with the input written beside.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/ops/RunJob.h"
#include "engine/par2/Packets.h"
#include "engine/set/SplitInfo.h"
#include "engine/ops/Prepare.h"
#include "support/FakeHost.h"
#include "support/FakePlatform.h"
#include "support/Pattern.h"

using namespace engine;
using support::Bytes;

namespace {

constexpr std::size_t kPieceSize = 2600;
constexpr std::size_t kSize = 25600;

const Bytes& Whole() {
    static const Bytes whole = support::Pattern(kSize, 3);
    return whole;
}

Bytes PieceBytes(std::uint32_t i) {
    const Bytes& w = Whole();
    const std::size_t from = i * kPieceSize;
    return Bytes(w.begin() + static_cast<std::ptrdiff_t>(from),
                 w.begin() + static_cast<std::ptrdiff_t>(std::min(kSize, from + kPieceSize)));
}

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "fuzz_readers: %s\n", what);
    std::abort();
}

// The set the recovery input sits beside: an info file with or without
// checksums (the input's second byte says), piece 3 missing, piece 6 with a
// byte changed.
void Lay(fake::FakePlatform& fs, bool checksums, const Bytes* info) {
    fs.drive('E');
    fs.drive('F');
    fs.AddFolder("E:\\parts");
    fs.AddFolder("F:\\out");
    SetInfo set;
    set.name = "film.mkv";
    set.size = kSize;
    set.pieceCount = 10;
    set.pieceSize = kPieceSize;
    set.extended = set.hasChecksums = true;
    set.whole = ChecksumOf(Whole().data(), Whole().size());
    for (std::uint32_t i = 0; i < 10; ++i) {
        const Bytes piece = PieceBytes(i);
        set.pieces.push_back(ChecksumOf(piece.data(), piece.size()));
        if (i == 3) continue;
        Bytes stored = piece;
        if (i == 6) stored[100] ^= 1;
        fs.AddFile("E:\\parts\\film.mkv." + std::to_string(i) + ".spl", stored);
    }
    Bytes encoded = info ? *info : EncodeInfoFile(set, fs);
    if (!info && !checksums) encoded.resize(kSplitInfoSize);
    fs.AddFile("E:\\parts\\film.mkv.sio", encoded);
}

void RunOne(fake::FakePlatform& fs, Mode mode) {
    fake::FakeHost host;
    StartRequest request;
    request.mode = mode;
    request.sourceText = "E:\\parts\\film.mkv.sio";
    request.destinationText = "F:\\out";
    request.recoveryPercent = 20;
    EngineSettings settings;
    const Prepared prepared = PrepareJob(request, fs, settings);
    if (!prepared.ok) return;
    OperationContext ctx(fs, host, settings, nullptr);
    const Outcome outcome = RunJob(prepared.job, ctx);
    if (mode == Mode::Rejoin && outcome == Outcome::Completed && fs.Content("F:\\out\\film.mkv") != Whole()) {
        Broken("a rejoin completed with a file that is not the set's");
    }
    if (fs.openHandles() != 0) Broken("a handle stayed open");
}

void CheckPieces(const fake::FakePlatform& fs) {
    for (std::uint32_t i = 0; i < 10; ++i) {
        if (i == 3 || i == 6) continue;
        if (fs.Content("E:\\parts\\film.mkv." + std::to_string(i) + ".spl") != PieceBytes(i)) {
            Broken("an intact piece changed");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const Bytes input(data + 2, data + size);
    fake::FakePlatform fs;
    if (data[0] % 2 == 0) {
        // An info file, decoded, then rejoined and verified as a set.
        try {
            (void)DecodeInfoFile(input, fs, "E:\\parts\\film.mkv.sio");
        } catch (const std::exception&) {
        }
        Lay(fs, true, &input);
        RunOne(fs, Mode::Verify);
        RunOne(fs, Mode::Rejoin);
        return 0;
    }
    Lay(fs, data[1] % 2 == 0, nullptr);
    fs.AddFile("E:\\parts\\film.mkv.par2", input);
    RunOne(fs, Mode::Verify);
    RunOne(fs, Mode::Rejoin);
    CheckPieces(fs);
    RunOne(fs, Mode::Repair);
    CheckPieces(fs);
    return 0;
}

#ifndef PARVEX_LIBFUZZER
namespace {

// Every PAR2 packet in `bytes` gets the MD5 its content has, so that a
// mutation inside one is taken as sound.
void MendPackets(Bytes& bytes) {
    static const unsigned char kMagic[8] = {'P', 'A', 'R', '2', 0, 'P', 'K', 'T'};
    std::unique_ptr<Md5> md5 = platform::NewSystemMd5();
    for (std::size_t at = 0; at + 64 <= bytes.size(); ++at) {
        if (std::memcmp(bytes.data() + at, kMagic, 8) != 0) continue;
        std::uint64_t length = 0;
        for (int b = 7; b >= 0; --b) length = length << 8 | bytes[at + 8 + b];
        if (length < 64 || length > bytes.size() - at) continue;
        md5->Update(bytes.data() + at + 32, static_cast<std::size_t>(length - 32));
        const Md5Digest d = md5->Final();
        std::memcpy(bytes.data() + at + 16, d.data(), d.size());
        at += static_cast<std::size_t>(length) - 1;
    }
}

Bytes Mutate(const std::vector<Bytes>& seeds, std::mt19937_64& rng) {
    Bytes b = seeds[rng() % seeds.size()];
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && b.size() > 2; ++e) {
        const std::size_t at = 2 + rng() % (b.size() - 2);
        switch (rng() % 6) {
            case 0: b[at] ^= static_cast<unsigned char>(1u << (rng() % 8)); break;
            case 1: b[at] = static_cast<unsigned char>(rng()); break;
            case 2: {
                // A field set to a value that tests the bounds.
                static const std::uint64_t kValues[] = {0, 1, 4, 4095, 1ull << 31, 1ull << 32, 1ull << 40,
                                                        (1ull << 63) + 4, ~0ull};
                const std::uint64_t v = kValues[rng() % (sizeof kValues / sizeof kValues[0])];
                for (std::size_t k = 0; k < 8 && at + k < b.size(); ++k) b[at + k] = static_cast<unsigned char>(v >> (8 * k));
                break;
            }
            case 3: b.erase(b.begin() + static_cast<std::ptrdiff_t>(at),
                            b.begin() + static_cast<std::ptrdiff_t>(std::min(b.size(), at + 1 + rng() % 64)));
                break;
            case 4: {
                // A run of another seed (or of this one) copied in.
                const Bytes& other = seeds[rng() % seeds.size()];
                if (other.size() < 3) break;
                const std::size_t from = 2 + rng() % (other.size() - 2);
                const std::size_t n = std::min<std::size_t>(other.size() - from, 1 + rng() % 512);
                b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), other.begin() + static_cast<std::ptrdiff_t>(from),
                         other.begin() + static_cast<std::ptrdiff_t>(from + n));
                break;
            }
            default: b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), static_cast<unsigned char>(rng())); break;
        }
    }
    if (rng() % 4 != 0) {
        Bytes body(b.begin() + 2, b.end());
        MendPackets(body);
        std::copy(body.begin(), body.end(), b.begin() + 2);
    }
    return b;
}

}  // namespace

// The seeds: the set's info file, and its recovery files (20 %) for the
// set with checksums and for the set without, made by a split here.
int WriteSeeds(const std::string& folder) {
    fake::FakePlatform fs;
    fs.drive('D');
    fs.drive('E');
    fs.AddFolder("E:\\parts");
    fs.AddFile("D:\\film.mkv", Whole());
    fake::FakeHost host;
    StartRequest request;
    request.sourceText = "D:\\film.mkv";
    request.destinationText = "E:\\parts";
    request.size.custom = true;
    request.size.customText = std::to_string(kPieceSize);
    request.size.unit = 1;
    request.recoveryPercent = 20;
    EngineSettings settings;
    const Prepared prepared = PrepareJob(request, fs, settings);
    OperationContext ctx(fs, host, settings, nullptr);
    if (!prepared.ok || RunJob(prepared.job, ctx) != Outcome::Completed) return 1;
    const auto write = [&](const std::string& name, unsigned char a, unsigned char b, const std::vector<std::string>& from) {
        Bytes all{a, b};
        for (const std::string& path : from) {
            const Bytes& c = fs.Content(path);
            all.insert(all.end(), c.begin(), c.end());
        }
        std::ofstream out(folder + "/" + name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(all.data()), static_cast<std::streamsize>(all.size()));
    };
    write("info-file", 0, 0, {"E:\\parts\\film.mkv.sio"});
    const std::vector<std::string> recovery{"E:\\parts\\film.mkv.par2", "E:\\parts\\film.mkv.vol0+1.par2",
                                            "E:\\parts\\film.mkv.vol1+1.par2"};
    write("recovery-checked", 1, 0, recovery);
    write("recovery-old-set", 1, 1, recovery);
    write("recovery-index-only", 1, 0, {recovery[0]});
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--write-seeds") return WriteSeeds(argv[2]);
    if (argc < 3) {
        std::fprintf(stderr, "usage: fuzz_readers SECONDS SEED_FOLDER | --write-seeds FOLDER\n");
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    std::vector<Bytes> seeds;
    for (const auto& entry : std::filesystem::directory_iterator(argv[2])) {
        std::ifstream in(entry.path(), std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (seeds.empty()) {
        std::fprintf(stderr, "fuzz_readers: no seeds in %s\n", argv[2]);
        return 2;
    }
    std::mt19937_64 rng(0x5EED);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    long runs = 0;
    for (const Bytes& s : seeds) LLVMFuzzerTestOneInput(s.data(), s.size()), ++runs;
    while (std::chrono::steady_clock::now() < end) {
        const Bytes input = Mutate(seeds, rng);
        {
            std::ofstream last("fuzz_readers.last", std::ios::binary | std::ios::trunc);
            last.write(reinterpret_cast<const char*>(input.data()), static_cast<std::streamsize>(input.size()));
        }
        LLVMFuzzerTestOneInput(input.data(), input.size());
        ++runs;
    }
    std::remove("fuzz_readers.last");
    std::printf("fuzz_readers: %ld inputs, no failure\n", runs);
    return 0;
}
#endif
