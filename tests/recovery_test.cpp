// Recovery files: the field arithmetic, and a set made with recovery data
// that loses pieces in every way, rejoined and repaired.
#include <gtest/gtest.h>

#include <random>

#include "engine/par2/Field.h"
#include "engine/base/Names.h"
#include "engine/par2/Compute.h"
#include "engine/io/RecoveryMaker.h"
#include "engine/par2/Crc32Fold.h"
#include "engine/par2/Md5Lanes.h"
#include "platform/SystemMd5.h"
#include "engine/par2/Packets.h"
#include "engine/set/RecoveryPlan.h"
#include "engine/base/Format.h"
#include "engine/base/Texts.h"
#include "support/SplitFixture.h"
#include "support/TestName.h"

using namespace engine;
using support::Bytes;

namespace {

TEST(Galois, TheInputConstantsAreTheFormatsAndTheFieldIsPar2s) {
    // The first constants as the format's text lists them.
    const std::uint16_t listed[] = {2, 4, 16, 128, 256, 2048, 8192, 16384, 4107, 32856, 17132};
    for (std::uint32_t i = 0; i < std::size(listed); ++i) EXPECT_EQ(gf16::InputConstant(i), listed[i]) << i;
    EXPECT_NO_THROW(gf16::InputConstant(gf16::kConstants - 1));
    // x^16 = x^12 + x^3 + x + 1 (0x1100B), and 2 generates the field.
    EXPECT_EQ(gf16::Multiply(0x8000, 2), 0x100B);
    EXPECT_EQ(gf16::Power(2, 65535), 1);
    for (std::uint16_t a : {1, 2, 3, 0x100B, 0xFFFF}) EXPECT_EQ(gf16::Multiply(gf16::Divide(1, a), a), 1) << a;
}

TEST(Galois, SelectAndInvertSkipsDependentRowsAndInverts) {
    // Rows as a repair builds them: constants of the lost slices raised to
    // the recovery slices' exponents, one exponent given twice.
    const std::uint32_t lost[] = {0, 5, 9};
    const std::uint32_t exponents[] = {0, 3, 3, 7};
    gf16::Matrix rows(std::size(exponents), std::size(lost));
    for (std::size_t r = 0; r < rows.rows; ++r) {
        for (std::size_t c = 0; c < rows.columns; ++c) rows.at(r, c) = gf16::Power(gf16::InputConstant(lost[c]), exponents[r]);
    }
    std::vector<std::size_t> used;
    gf16::Matrix inverse(0, 0);
    ASSERT_TRUE(gf16::SelectAndInvert(rows, used, inverse));
    EXPECT_EQ(used, (std::vector<std::size_t>{0, 1, 3}));
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < 3; ++j) {
            std::uint16_t sum = 0;
            for (std::size_t k = 0; k < 3; ++k) sum ^= gf16::Multiply(inverse.at(i, k), rows.at(used[k], j));
            EXPECT_EQ(sum, i == j ? 1 : 0) << i << "," << j;
        }
    }
    gf16::Matrix tooFew(2, 3);
    EXPECT_FALSE(gf16::SelectAndInvert(tooFew, used, inverse));
}

TEST(Par2Compute, RecoveryWordsAreSumsOfConstantPowers) {
    // Two slices of one word each, a short one padded with zeros, in small
    // windows: exponent 0 is their XOR, exponent 1 weighs them 2 and 4.
    const std::vector<unsigned char> a{0x01, 0x00, 0x34, 0x12}, b{0x01, 0x00};
    std::vector<par2::SliceSource> inputs(2);
    inputs[0] = {4, [&](std::uint64_t at, unsigned char* d, std::uint32_t n) { std::copy_n(a.begin() + at, n, d); }};
    inputs[1] = {2, [&](std::uint64_t at, unsigned char* d, std::uint32_t n) { std::copy_n(b.begin() + at, n, d); }};
    gf16::Matrix factors(2, 2);
    for (std::uint32_t e = 0; e < 2; ++e) {
        for (std::uint32_t k = 0; k < 2; ++k) factors.at(e, k) = gf16::Power(gf16::InputConstant(k), e);
    }
    std::vector<std::vector<unsigned char>> out(2);
    par2::Combine(4, inputs, factors, {},
                  [&](std::size_t m, std::uint64_t, const unsigned char* d, std::uint32_t n) {
                      out[m].insert(out[m].end(), d, d + n);
                  },
                  nullptr);
    const auto word = [](const std::vector<unsigned char>& v, int i) { return v[2 * i] | v[2 * i + 1] << 8; };
    EXPECT_EQ(word(out[0], 0), 0x0000);
    EXPECT_EQ(word(out[0], 1), 0x1234);
    EXPECT_EQ(word(out[1], 0), 2 ^ 4);
    EXPECT_EQ(word(out[1], 1), gf16::Multiply(2, 0x1234));
}

namespace {

void CheckMultiplyAdd(gf16::Kernel kernel) {
    std::mt19937 random(16);
    std::vector<std::uint16_t> factors = {0, 1, 2, 0x8000, 0xFFFF, 0x000F, 0x00F0, 0x0F00, 0xF000, 0x100B};
    for (int i = 0; i < 20; ++i) factors.push_back(static_cast<std::uint16_t>(random()));
    std::vector<unsigned char> src(70000 + 64 + 11 * 1024), dest(70000 + 64);
    for (unsigned char& c : src) c = static_cast<unsigned char>(random());
    for (unsigned char& c : dest) c = static_cast<unsigned char>(random());
    const std::size_t count = factors.size();
    for (const std::size_t sources : {1u, 3u, 8u, 11u}) {
        for (const std::size_t bytes : {64u, 128u, 2048u, 2112u, 16384u, 16448u, 69952u}) {
            for (const std::size_t shift : {0u, 16u, 48u}) {
                SCOPED_TRACE("kernel " + std::to_string(static_cast<int>(kernel)) + ", " + std::to_string(sources) +
                             " sources, " + std::to_string(bytes) + " bytes from " + std::to_string(shift));
                // Source b starts 1,024 bytes after source b - 1; output m
                // takes factor (m + 7b) % count of source b.
                std::vector<std::vector<unsigned char>> in;
                std::vector<const unsigned char*> from;
                std::vector<std::uint16_t> table(count * sources);
                for (std::size_t b = 0; b < sources; ++b) {
                    in.emplace_back(src.begin() + shift + 1024 * b, src.begin() + shift + 1024 * b + bytes);
                    gf16::ToWorkLayout(in.back().data(), bytes, kernel);
                    for (std::size_t m = 0; m < count; ++m) table[m * sources + b] = factors[(m + 7 * b) % count];
                }
                for (const auto& i : in) from.push_back(i.data());
                std::vector<std::vector<unsigned char>> ours(count, dest);
                std::vector<unsigned char*> into;
                for (auto& o : ours) {
                    gf16::ToWorkLayout(o.data() + shift, bytes, kernel);
                    into.push_back(o.data() + shift);
                }
                gf16::MultiplyAddMany(from.data(), sources, into.data(), count, table.data(), bytes, kernel);
                for (std::size_t m = 0; m < count; ++m) {
                    gf16::FromWorkLayout(ours[m].data() + shift, bytes, kernel);
                    std::vector<unsigned char> theirs = dest;
                    for (std::size_t b = 0; b < sources; ++b) {
                        gf16::MultiplyAddReference(src.data() + shift + 1024 * b, theirs.data() + shift, bytes,
                                                   table[m * sources + b]);
                    }
                    ASSERT_EQ(ours[m], theirs) << "output " << m;
                }
                gf16::FromWorkLayout(in[0].data(), bytes, kernel);
                EXPECT_TRUE(std::equal(in[0].begin(), in[0].end(), src.begin() + shift));
            }
        }
    }
}

}  // namespace

// Our multiply-add is GF-Complete's, for every kind of factor (0, 1, a
// power of two, the field's largest, each nibble alone, random ones), one
// source or several into many outputs, lengths around the cache blocks,
// regions off the vector's alignment, and the work layout undone exactly;
// for each kernel this processor runs.
TEST(Field, MultiplyAddIsGfCompletes) {
    for (const gf16::Kernel kernel : {gf16::Kernel::Library, gf16::Kernel::Tables, gf16::Kernel::Matrices}) {
        if (gf16::Runs(kernel)) {
            CheckMultiplyAdd(kernel);
        } else {
            std::printf("field kernel %d does not run on this processor: not tested\n", static_cast<int>(kernel));
        }
    }
}

// Recovery files in memory, for the maker alone.
class MemoryFiles : public RecoveryFiles {
public:
    struct Mem : File {
        Bytes data;
        std::uint64_t at = 0;
        ErrorCode Read(void*, std::uint32_t, std::uint32_t& got) override { return got = 0, err::kNone; }
        ErrorCode Write(const void* b, std::uint32_t n, std::uint32_t& written) override {
            if (data.size() < at + n) data.resize(at + n);
            std::copy_n(static_cast<const unsigned char*>(b), n, data.begin() + static_cast<std::ptrdiff_t>(at));
            at += n;
            written = n;
            return err::kNone;
        }
        ErrorCode Seek(std::uint64_t p) override { return at = p, err::kNone; }
        ErrorCode Length(std::uint64_t& l) override { return l = data.size(), err::kNone; }
        ErrorCode Flush() override { return err::kNone; }
        ErrorCode Status(FileStatus&) override { return err::kNone; }
        ErrorCode Close() override { return err::kNone; }
    };
    File& Create(std::size_t which, const std::string&, std::uint64_t) override { return files[which]; }
    void Complete(std::size_t which) override { completed.push_back(which); }
    std::map<std::size_t, Mem> files;
    std::vector<std::size_t> completed;
};

// The pieces are read twice (checksums, then sums): a piece that another
// program changes between the two readings makes no recovery data that
// would describe one content and rebuild another.
TEST(RecoveryMaker, APieceChangedBetweenItsTwoReadingsMakesNoRecoveryData) {
    std::mt19937 random(30);
    std::vector<Bytes> pieces(3, Bytes(300000));
    for (Bytes& p : pieces) {
        for (unsigned char& c : p) c = static_cast<unsigned char>(random());
    }
    RecoveryPlan plan;
    ASSERT_EQ(PlanRecovery("a.bin", 900000, 3, 300000, 50, plan), "");
    ASSERT_GT(plan.slicesPerPiece, 1u);
    for (const bool changes : {false, true}) {
        SCOPED_TRACE(changes ? "changed" : "unchanged");
        bool second = false;
        const PieceRead read = [&](std::uint32_t i, std::uint64_t at, unsigned char* data, std::uint32_t n) {
            std::copy_n(pieces[i].begin() + static_cast<std::ptrdiff_t>(at), n, data);
            if (second && changes && i == 2 && at <= 1000 && 1000 < at + n) data[1000 - at] ^= 1;
        };
        const auto progress = [&](std::uint64_t done, std::uint64_t total) { second = second || done * 2 > total; };
        MemoryFiles files;
        fake::FakePlatform fs;
        bool refused = false;
        try {
            MakeRecovery(plan, "a.bin", 900000, 3, 300000, read, nullptr, fs, files, progress);
        } catch (const PieceNotAsRecorded& changed) {
            refused = true;
            EXPECT_EQ(changed.index, 2u);
        }
        EXPECT_EQ(refused, changes);
        EXPECT_EQ(files.completed.size(), changes ? 0 : plan.volumes.size() + 1);
    }
}

// The lanes' MD5 is the system's, for any count of streams (a vector's
// worth, more, a ragged last one), any length, and streams that start at
// different points of a block, as a piece's and its slices' do.
TEST(Md5Lanes, EveryStreamGetsTheSystemsDigest) {
    std::mt19937 random(5);
    std::vector<unsigned char> data(17 * 1000 + 65536 + 64);
    for (unsigned char& c : data) c = static_cast<unsigned char>(random());
    std::unique_ptr<Md5> reference = platform::NewSystemMd5();
    for (const par2::Md5Kernel kernel : {par2::Md5Kernel::OneLane, par2::Md5Kernel::Avx2, par2::Md5Kernel::Avx512}) {
    if (!par2::Runs(kernel)) {
        std::printf("MD5 kernel %d does not run on this processor: not tested\n", static_cast<int>(kernel));
        continue;
    }
    for (const std::size_t count : {1u, 2u, 7u, 8u, 9u, 15u, 16u, 17u}) {
        for (const std::size_t size : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 119u, 120u, 4096u, 65536u}) {
            SCOPED_TRACE("kernel " + std::to_string(static_cast<int>(kernel)) + ", " + std::to_string(count) +
                         " streams of " + std::to_string(size));
            std::vector<par2::Md5Stream> streams(count);
            std::vector<par2::Md5Stream*> s;
            std::vector<const unsigned char*> from;
            for (std::size_t i = 0; i < count; ++i) {
                // Stream i has i % 5 * 13 bytes of its own first.
                par2::Md5Update(streams[i], data.data() + 1000 * i, i % 5 * 13);
                s.push_back(&streams[i]);
                from.push_back(data.data() + 1000 * i + i % 5 * 13);
            }
            par2::Md5Update(s.data(), from.data(), count, size, kernel);
            par2::Md5Update(s.data(), from.data(), count, 0, kernel);
            for (std::size_t i = 0; i < count; ++i) {
                reference->Update(data.data() + 1000 * i, i % 5 * 13 + size);
                EXPECT_EQ(par2::Md5Final(streams[i]), reference->Final()) << i;
            }
        }
    }
    }
}

// The folded CRC is zlib's for any length and any start, and carried on
// from any CRC so far, as a slice's is over its windows.
TEST(Crc32, FoldedIsZlibs) {
    if (!par2::fold::Available()) std::printf("no carry-less multiplication here: zlib's code only\n");
    std::mt19937 random(9);
    std::vector<unsigned char> data(70000);
    for (unsigned char& c : data) c = static_cast<unsigned char>(random());
    for (const std::size_t start : {0u, 1u, 7u, 16u, 33u}) {
        for (const std::size_t size : {0u, 1u, 63u, 64u, 127u, 128u, 129u, 143u, 144u, 1000u, 4096u, 65537u}) {
            for (const std::uint32_t before : {0u, 0xFFFFFFFFu, 0x12345678u}) {
                EXPECT_EQ(par2::Crc32(before, data.data() + start, size),
                          par2::Crc32(before, data.data() + start, size, false))
                    << start << " " << size << " " << before;
            }
        }
    }
}

TEST(RecoveryPlan, OneSliceAPieceAsAskedInDoublingFiles) {
    RecoveryPlan plan;
    ASSERT_EQ(PlanRecovery("a.bin", 10'000'001, 11, 1'000'000, 30, plan, {11, 0}), "");
    EXPECT_EQ(plan.sliceSize, 1'000'000u);
    EXPECT_EQ(plan.recoverySlices, 4u);  // 30 % of 11 pieces, rounded up
    EXPECT_EQ(plan.WholePieces(), 4u);
    ASSERT_EQ(plan.volumes.size(), 3u);
    EXPECT_EQ(plan.volumes[0].name, "a.bin.vol0+1.par2");
    EXPECT_EQ(plan.volumes[1].name, "a.bin.vol1+2.par2");
    EXPECT_EQ(plan.volumes[2].name, "a.bin.vol3+1.par2");
    EXPECT_TRUE(PlanRecovery("a.bin", 40000, 40000, 1, 0, plan).empty() && plan.empty());
}

// What every plan keeps: pieces of whole slices, sizes other tools read, a
// whole piece rebuilt, the share asked for, and damage in kScatteredDamage
// places mended where the share allows it.
TEST(RecoveryPlan, SlicesMendAWholePieceAndScatteredDamage) {
    struct Row {
        const char* what;
        std::uint64_t size;
        std::uint32_t count, pieceSize, percent;
        SliceChoice choice;
        const char* refusal;
        std::uint32_t perPiece;  // 0: not checked
    };
    const Row rows[] = {
        {"120 pieces of 1 MB", 120'000'000, 120, 1'000'000, 10, {}, "", 2},
        {"1 GiB in 10 MB pieces", 1ull << 30, 108, 10'000'000, 10, {}, "", 2},
        {"one small piece", 999, 1, 999, 1, {}, "", 1},
        {"one piece of 1 MB", 1'000'000, 1, 1'000'000, 10, {}, "", kScatteredDamage},
        {"many pieces need no more", 4'000'000'000, 4000, 1'000'000, 10, {}, "", 1},
        {"pieces of nearly 4 GiB", 8'000'000'000, 2, 4'000'000'000, 5, {}, "", 0},
        {"2000 slices asked for", 120'000'000, 120, 1'000'000, 10, {2000, 0}, "", 16},
        {"fewer slices than pieces", 120'000'000, 120, 1'000'000, 10, {7, 0}, "", 1},
        {"a slice size asked for", 120'000'000, 120, 1'000'000, 10, {0, 250'000}, "", 4},
        {"a slice larger than a piece", 120'000'000, 120, 1'000'000, 10, {0, 8'000'000}, "", 1},
        {"a slice size not of 4", 120'000'000, 120, 1'000'000, 10, {0, 250'002}, texts::kRecoverySliceSize, 0},
        {"a slice of 1 GiB", 8'000'000'000, 2, 4'000'000'000, 10, {0, 1u << 30}, texts::kRecoverySliceSize, 0},
        {"too many slices", 120'000'000, 120, 1'000'000, 10, {40'000, 0}, texts::kRecoveryTooManySlices, 0},
        {"too many pieces", 40000, 40000, 1, 10, {}, texts::kRecoveryTooManyPieces, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RecoveryPlan plan;
        ASSERT_EQ(PlanRecovery("a.bin", row.size, row.count, row.pieceSize, row.percent, plan, row.choice),
                  row.refusal);
        if (*row.refusal) continue;
        const std::uint64_t longest = row.count == 1 ? row.size : row.pieceSize;
        EXPECT_EQ(plan.sliceSize % 4, 0u);
        EXPECT_LE(plan.sliceSize, kMaxSliceSize);
        EXPECT_GE(std::uint64_t{plan.slicesPerPiece} * plan.sliceSize, longest);
        EXPECT_LT(std::uint64_t{plan.slicesPerPiece - 1} * plan.sliceSize, longest);
        if (row.perPiece) {
            EXPECT_EQ(plan.slicesPerPiece, row.perPiece);
        }
        EXPECT_LE(plan.inputSlices, par2::kMaxInputSlices);
        EXPECT_GE(plan.WholePieces(), 1u);
        EXPECT_GE(std::uint64_t{plan.recoverySlices} * 100, std::uint64_t{plan.inputSlices} * row.percent);
        if (!row.choice.count && !row.choice.size && row.count * row.percent >= 100 && longest >= 20 * kMinSliceSize) {
            EXPECT_GE(plan.recoverySlices, kScatteredDamage);
        }
        std::uint32_t inVolumes = 0;
        for (const RecoveryVolume& v : plan.volumes) inVolumes += v.count;
        EXPECT_EQ(inVolumes, plan.recoverySlices);
    }
}

TEST(Par2Names, RecoveryFilesOfASetAreKnownByName) {
    for (const char* name : {"a.bin.par2", "a.bin.vol0+1.par2", "a.bin.vol000+01.par2", "A.BIN.VOL3+1.PAR2"}) {
        EXPECT_EQ(par2::IsRecoveryFileOf(name, "a.bin", false), true) << name;
    }
    for (const char* name : {"a.bin.sio", "a.bin.3.spl", "b.bin.par2", "a.bin.volx+1.par2", "a.bin.vol+1.par2"}) {
        EXPECT_EQ(par2::IsRecoveryFileOf(name, "a.bin", false), false) << name;
    }
    EXPECT_FALSE(par2::IsRecoveryFileOf("A.BIN.par2", "a.bin", true));
}

// A 25,600-byte file in ten pieces of 2,600 bytes (the last 2,200) with
// 20 % recovery data: two pieces can be rebuilt.
class RecoveryFixture : public support::SplitFixture {
public:
    void SetUp() override {
        SplitFixture::SetUp();
        fs.drive('F');
        fs.AddFolder("F:\\out");
        Source(25600, "film.mkv");
        Custom("2600", kUnitBytes);
        request.recoveryPercent = 20;
        ASSERT_EQ(Run(), Outcome::Completed);
        ASSERT_EQ(host.noticeRebuildable.load(), 2u);
        for (std::uint32_t i = 0; i < 10; ++i) original.push_back(fs.Content(Piece(i)));
    }
    Outcome Again(Mode mode) {
        request = StartRequest{};
        request.mode = mode;
        request.sourceText = Info();
        request.destinationText = "F:\\out";
        return Run();
    }
    std::string Piece(std::uint32_t i) const { return "E:\\parts\\film.mkv." + std::to_string(i) + ".spl"; }
    std::string Info() const { return "E:\\parts\\film.mkv.sio"; }
    std::string Volume(int which) const {
        return which == 0 ? "E:\\parts\\film.mkv.vol0+1.par2" : "E:\\parts\\film.mkv.vol1+1.par2";
    }
    std::vector<Bytes> original;
};

TEST_F(RecoveryFixture, EveryPieceIsDescribedAsPar2ToolsExpect) {
    for (const char* name : {"film.mkv.par2", "film.mkv.vol0+1.par2", "film.mkv.vol1+1.par2"}) {
        EXPECT_TRUE(fs.HasFile(std::string("E:\\parts\\") + name)) << name;
    }
    const auto sets = par2::ReadRecoveryFiles(fs, {"E:\\parts\\film.mkv.par2", Volume(0), Volume(1)}, true, nullptr);
    ASSERT_EQ(sets.size(), 1u);
    const par2::RecoverySet& set = sets[0];
    EXPECT_EQ(set.sliceSize, 2600u);
    EXPECT_EQ(set.files.size(), 10u);
    EXPECT_EQ(set.recovery.size(), 2u);
    EXPECT_TRUE(std::is_sorted(set.files.begin(), set.files.end(), par2::IdLess));
    auto md5 = fs.NewMd5();
    for (std::uint32_t i = 0; i < 10; ++i) {
        const par2::FileDescription* d = nullptr;
        for (const auto& f : set.descriptions) {
            if (f.name == PieceFileName("film.mkv", i)) d = &f;
        }
        ASSERT_NE(d, nullptr) << i;
        EXPECT_EQ(d->length, original[i].size());
        EXPECT_EQ(d->md5, par2::Md5Of(*md5, original[i].data(), original[i].size()));
    }
    // A split without recovery data over this set leaves none behind.
    request = StartRequest{};
    request.sourceText = sourcePath;
    request.destinationText = "E:\\parts";
    Custom("5000", kUnitBytes);
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_FALSE(fs.HasFile("E:\\parts\\film.mkv.par2"));
    EXPECT_FALSE(fs.HasFile(Volume(0)));
}

// Every kind of loss, through a join (into its output, the pieces untouched)
// and through a repair (in place): an exact result, or a clear refusal that
// changes nothing.
struct Loss {
    const char* name;
    std::function<void(fake::FakePlatform&, RecoveryFixture&)> damage;
    bool rebuilds;
};

std::vector<Loss> Losses() {
    const auto drop = [](std::uint32_t i) {
        return [i](fake::FakePlatform& fs, RecoveryFixture& f) { fs.Delete(f.Piece(i)); };
    };
    const auto flip = [](std::uint32_t i, std::size_t at) {
        return [i, at](fake::FakePlatform& fs, RecoveryFixture& f) {
            Bytes b = fs.Content(f.Piece(i));
            b[at] ^= 0x40;
            fs.AddFile(f.Piece(i), b);
        };
    };
    const auto cut = [](std::uint32_t i, std::size_t keep) {
        return [i, keep](fake::FakePlatform& fs, RecoveryFixture& f) {
            Bytes b = fs.Content(f.Piece(i));
            b.resize(keep);
            fs.AddFile(f.Piece(i), b);
        };
    };
    const auto both = [](auto a, auto b) {
        return [a, b](fake::FakePlatform& fs, RecoveryFixture& f) {
            a(fs, f);
            b(fs, f);
        };
    };
    const auto spoil = [](int volume) {
        return [volume](fake::FakePlatform& fs, RecoveryFixture& f) {
            Bytes b = fs.Content(f.Volume(volume));
            b[200] ^= 1;  // inside the recovery slice
            fs.AddFile(f.Volume(volume), b);
        };
    };
    return {
        {"NothingLost", [](fake::FakePlatform&, RecoveryFixture&) {}, true},
        {"OnePieceDeleted", drop(3), true},
        {"TheShortLastPieceDeleted", drop(9), true},
        {"TheMostThatCanBeRebuilt", both(drop(0), cut(9, 1000)), true},
        {"ByteFlippedAndTruncated", both(flip(4, 2599), cut(5, 0)), true},
        {"OneMoreThanCanBeRebuilt", both(both(drop(1), drop(2)), flip(7, 0)), false},
        {"OneVolumeDamagedTheOtherServes", both(spoil(0), drop(6)), true},
        {"BothVolumesDamaged", both(both(spoil(0), spoil(1)), drop(6)), false},
        {"IndexGoneTheVolumesDescribeTheSet",
         both([](fake::FakePlatform& fs, RecoveryFixture&) { fs.Delete("E:\\parts\\film.mkv.par2"); }, drop(2)), true},
        {"PieceTooLong",
         [](fake::FakePlatform& fs, RecoveryFixture& f) {
             Bytes b = fs.Content(f.Piece(8));
             b.push_back(7);
             fs.AddFile(f.Piece(8), b);
         },
         true},
    };
}

class RecoveryLosses : public RecoveryFixture, public ::testing::WithParamInterface<std::tuple<Loss, bool>> {};

TEST_P(RecoveryLosses, AnExactResultOrARefusalThatChangesNothing) {
    const auto& [loss, repairInPlace] = GetParam();
    loss.damage(fs, *this);
    const auto before = support::FilesOn(fs, "E:\\");
    const Outcome outcome = Again(repairInPlace ? Mode::Repair : Mode::Rejoin);
    const auto after = support::FilesOn(fs, "E:\\");
    if (!loss.rebuilds) {
        EXPECT_NE(outcome, Outcome::Completed);
        EXPECT_EQ(after, before);
        EXPECT_TRUE(support::BesidesPartial(fs, "F:\\", "F:\\out", "film.mkv", &source).empty());
        EXPECT_NE(host.texts().back().find("cannot rebuild"), std::string::npos) << host.texts().back();
        ExpectIdle();
        return;
    }
    ASSERT_EQ(outcome, Outcome::Completed) << (host.texts().empty() ? "" : host.texts().back());
    if (repairInPlace) {
        for (std::uint32_t i = 0; i < 10; ++i) EXPECT_EQ(fs.Content(Piece(i)), original[i]) << i;
        EXPECT_TRUE(fs.FilesUnder("F:\\").empty());
    } else {
        EXPECT_EQ(fs.Content("F:\\out\\film.mkv"), source);
        EXPECT_EQ(after, before);  // the pieces are read, never mended
    }
    ExpectIdle();
}

INSTANTIATE_TEST_SUITE_P(Recovery, RecoveryLosses, ::testing::Combine(::testing::ValuesIn(Losses()), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_Repair" : "_Join");
                         });

TEST_F(RecoveryFixture, VerifySaysWhatTheRecoveryDataCanRebuild) {
    fs.Delete(Piece(2));
    ASSERT_EQ(Again(Mode::Verify), Outcome::Completed);
    EXPECT_NE(host.texts().back().find("1 piece damaged or missing; the recovery data can rebuild it."),
              std::string::npos)
        << host.texts().back();
    fs.Delete(Piece(3));
    fs.Delete(Piece(4));
    ASSERT_EQ(Again(Mode::Verify), Outcome::Completed);
    EXPECT_NE(host.texts().back().find("it needs 1 more recovery block."), std::string::npos) << host.texts().back();
}

// A quick check reads the info file and the recovery files' packets, never
// a piece: this fixture's set with its recovery files, and a set of 1 GiB
// whose pieces hold nothing but report their lengths.
TEST_F(RecoveryFixture, AQuickCheckReadsNoPieceData) {
    std::map<std::string, std::uint64_t> asked;
    fs.onRead = [&](const std::string& path, std::uint32_t bytes) { asked[path] += bytes; };
    ASSERT_EQ(Again(Mode::QuickCheck), Outcome::Completed);
    EXPECT_NE(host.texts().back().find(texts::kQuickNoDataRead), std::string::npos) << host.texts().back();
    for (std::uint32_t i = 0; i < 10; ++i) EXPECT_EQ(asked.count(Piece(i)), 0u) << i;
    EXPECT_GT(asked[Volume(0)], 0u);

    SetInfo big;
    big.name = "big.bin";
    big.size = 1ull << 30;
    big.pieceSize = 10000000;
    big.pieceCount = 108;
    big.extended = big.hasChecksums = true;
    big.pieces.resize(big.pieceCount);
    for (std::uint32_t i = 0; i < big.pieceCount; ++i) {
        const std::string path = "E:\\parts\\big.bin." + std::to_string(i) + ".spl";
        fs.AddFile(path, {});
        fs.reportedSizes[path] = i + 1 < big.pieceCount ? big.pieceSize : big.size - 107ull * big.pieceSize;
    }
    const Bytes info = EncodeInfoFile(big, fs);
    fs.AddFile("E:\\parts\\big.bin.sio", info);
    asked.clear();
    request.sourceText = "E:\\parts\\big.bin.sio";
    ASSERT_EQ(Run(), Outcome::Completed) << host.texts().back();
    EXPECT_NE(host.texts().back().find("108 pieces found by name and length: all there"), std::string::npos)
        << host.texts().back();
    std::uint64_t read = 0;
    for (const auto& [path, bytes] : asked) {
        EXPECT_EQ(path, "E:\\parts\\big.bin.sio");
        read += bytes;
    }
    EXPECT_LE(read, info.size() + 65536);
}

// A rejoin that cannot succeed says so before any question or write, and
// names every piece that is missing; so does one without recovery files.
TEST_F(RecoveryFixture, ARejoinThatCannotSucceedIsRefusedBeforeItAsksOrWrites) {
    fs.AddFile("F:\\out\\film.mkv", {'m', 'i', 'n', 'e'});
    for (std::uint32_t i : {2, 5, 7}) fs.Delete(Piece(i));
    for (const bool recovery : {true, false}) {
        SCOPED_TRACE(recovery ? "with recovery files" : "without");
        if (!recovery) {
            fs.Delete("E:\\parts\\film.mkv.par2");
            fs.Delete(Volume(0));
            fs.Delete(Volume(1));
        }
        const auto before = support::FilesOn(fs, "F:\\");
        host.existsAsked.clear();
        EXPECT_EQ(Again(Mode::Rejoin), Outcome::Stopped);
        EXPECT_TRUE(refused);
        EXPECT_TRUE(host.existsAsked.empty());
        EXPECT_EQ(support::FilesOn(fs, "F:\\"), before);
        const std::string said = host.texts().back();
        for (std::uint32_t i : {2, 5, 7}) EXPECT_NE(said.find(Piece(i)), std::string::npos) << said;
        if (recovery) {
            EXPECT_NE(said.find("it needs 1 more recovery block."), std::string::npos) << said;
        }
    }
}

// A front end that offers the repair (the window) gets the question after a
// verification or a rejoin that found damage the recovery data covers; its
// answer repairs the pieces in place, or changes nothing.
TEST_F(RecoveryFixture, AVerificationOrARejoinOffersTheRepair) {
    host.offersRepair = true;
    for (const Mode mode : {Mode::Verify, Mode::Rejoin}) {
        for (const Answer answer : {Answer::Cancel, Answer::Ok}) {
            SCOPED_TRACE(std::string(mode == Mode::Verify ? "verify" : "rejoin") + (answer == Answer::Ok ? ", repair" : ", not now"));
            fs.Delete(Piece(4));
            fs.Delete("F:\\out\\film.mkv");
            int offers = 0;
            host.answer = [&](const fake::Box& box) {
                if (box.text != texts::kOfferRepair) return Answer::Ok;
                ++offers;
                return answer;
            };
            ASSERT_EQ(Again(mode), Outcome::Completed);
            EXPECT_EQ(offers, 1);
            EXPECT_EQ(fs.HasFile(Piece(4)), answer == Answer::Ok);
            if (answer == Answer::Ok) {
                EXPECT_EQ(fs.Content(Piece(4)), original[4]);
            }
            ExpectIdle();
        }
    }
    // Nothing to repair, nothing offered.
    int offers = 0;
    host.answer = [&](const fake::Box& box) {
        offers += box.text == texts::kOfferRepair;
        return Answer::Ok;
    };
    ASSERT_EQ(Again(Mode::Verify), Outcome::Completed);
    EXPECT_EQ(offers, 0);
}

// A run with several phases (the pieces, then the recovery data or a
// rebuild) shows one figure that never goes back and ends at the end.
TEST_F(RecoveryFixture, ProgressIsOneFigureThatNeverGoesBack) {
    const auto monotonic = [&](const char* what) {
        SCOPED_TRACE(what);
        ASSERT_FALSE(host.progress.empty());
        EXPECT_TRUE(std::is_sorted(host.progress.begin(), host.progress.end()));
        EXPECT_EQ(host.progress.back(), 100);
        host.progress.clear();
    };
    host.progress.clear();
    request = StartRequest{};
    request.sourceText = sourcePath;
    request.destinationText = "E:\\parts";
    Custom("2600", kUnitBytes);
    request.recoveryPercent = 20;
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_NE(std::find(host.progressTexts.begin(), host.progressTexts.end(), texts::kMakingRecovery),
              host.progressTexts.end());
    monotonic("a split with recovery data");
    fs.Delete(Piece(5));
    ASSERT_EQ(Again(Mode::Rejoin), Outcome::Completed);
    monotonic("a rejoin that rebuilds");
    ASSERT_EQ(Again(Mode::Repair), Outcome::Completed);
    monotonic("a repair");
}

TEST_F(RecoveryFixture, AFailureWhileRebuildingInPlaceLeavesEachPieceAsItWasOrExact) {
    for (std::uint32_t i : {3, 6}) {
        Bytes b = fs.Content(Piece(i));
        b[10] ^= 1;
        fs.AddFile(Piece(i), b);
    }
    // The second rebuilt piece fails: the first, proven, must not stay either.
    const std::pair<fake::Op, const char*> faults[] = {
        {fake::Op::Write, ".tmp"}, {fake::Op::Flush, ".tmp"}, {fake::Op::Rename, ".6.spl"}};
    for (const auto& [op, where] : faults) {
        fs.AddFault({op, where, err::kDiskFull, 0, 1});
        const auto before = support::FilesOn(fs, "E:\\");
        EXPECT_EQ(Again(Mode::Repair), Outcome::Failed) << static_cast<int>(op) << " " << host.texts().back();
        const auto after = support::FilesOn(fs, "E:\\");
        EXPECT_EQ(after.size(), before.size()) << static_cast<int>(op);  // no temporary file left
        for (std::uint32_t i = 0; i < 10; ++i) {
            const Bytes& now = fs.Content(Piece(i));
            EXPECT_TRUE(now == before.at(engine::AsciiUpper(Piece(i))) || now == original[i]) << i;
        }
        ExpectIdle();
    }
    ASSERT_EQ(Again(Mode::Repair), Outcome::Completed);
    EXPECT_EQ(fs.Content(Piece(6)), original[6]);
}

TEST_F(RecoveryFixture, ProtectRemakesTheRecoveryFilesOfAnIntactSetOnly) {
    fs.Delete(Volume(0));
    fs.Delete(Volume(1));
    request = StartRequest{};
    request.mode = Mode::Protect;
    request.sourceText = Info();
    request.recoveryPercent = 30;
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_TRUE(fs.HasFile("E:\\parts\\film.mkv.vol0+1.par2"));
    EXPECT_TRUE(fs.HasFile("E:\\parts\\film.mkv.vol1+2.par2"));
    fs.Delete(Piece(0));
    fs.Delete(Piece(5));
    fs.Delete(Piece(9));
    ASSERT_EQ(Again(Mode::Rejoin), Outcome::Completed);
    EXPECT_EQ(fs.Content("F:\\out\\film.mkv"), source);
    // A damaged set gets no recovery data over its damage.
    fs.Delete("F:\\out\\film.mkv");
    request.mode = Mode::Protect;
    request.sourceText = Info();
    EXPECT_NE(Run(), Outcome::Completed);
}

// A piece changed since the set was made is named as damaged (the recovery
// data's own reading finds it, beside the sums), and nothing in the set's
// folder changes: no recovery data is made over damage.
TEST_F(RecoveryFixture, ProtectNamesAPieceChangedSinceTheSetWasMadeAndChangesNothing) {
    Bytes changed = fs.Content(Piece(3));
    changed[1234] ^= 1;
    fs.Rewrite(Piece(3), changed);
    const auto before = support::FilesOn(fs, "E:\\");
    request = StartRequest{};
    request.mode = Mode::Protect;
    request.sourceText = Info();
    request.recoveryPercent = 30;
    EXPECT_EQ(Run(), Outcome::Failed);
    EXPECT_EQ(host.texts().back(), Fill(texts::kPieceDamaged, Piece(3))) << host.texts().back();
    EXPECT_EQ(support::FilesOn(fs, "E:\\"), before);
    ExpectIdle();
}

// A piece another program holds open is unreadable, not damaged: a repair
// names it and rebuilds nothing over it.
TEST_F(RecoveryFixture, ARepairLeavesAPieceInUseByAnotherProgramAlone) {
    fs.AddFault({fake::Op::Open, "film.mkv.4.spl", engine::err::kSharingViolation});
    EXPECT_EQ(Again(Mode::Repair), Outcome::Failed);
    EXPECT_EQ(host.texts().back(), Fill(texts::kPieceInUse, Piece(4))) << host.texts().back();
    EXPECT_EQ(fs.Content(Piece(4)), original[4]);
    ExpectIdle();
}

// Protect at 10 % over a set made at 20 %: the old second volume goes. One
// that cannot be removed is named and the run fails, the new files kept.
TEST_F(RecoveryFixture, AnOldRecoveryFileThatStaysIsNamedAndTheProtectFails) {
    fs.AddFault({fake::Op::Delete, "film.mkv.vol1+1.par2", engine::err::kAccessDenied});
    request = StartRequest{};
    request.mode = Mode::Protect;
    request.sourceText = Info();
    request.recoveryPercent = 10;
    EXPECT_EQ(Run(), Outcome::Failed);
    EXPECT_EQ(host.texts().back(), Fill(texts::kStaleRecoveryFile, Volume(1))) << host.texts().back();
    EXPECT_TRUE(fs.HasFile("E:\\parts\\film.mkv.par2"));
    EXPECT_TRUE(fs.HasFile(Volume(0)));
    ExpectIdle();
}

// Protect at 30 % over the set made at 20 %: the new index and first volume
// have replaced the old ones when the last new volume cannot take its name.
// What was replaced is complete and stays; the set keeps recovery data
// enough for what it had, the failure named.
TEST_F(RecoveryFixture, AProtectThatFailsHalfWayThroughNamingLosesNoRecoveryData) {
    fs.AddFault({fake::Op::Rename, "film.mkv.vol1+2.par2", engine::err::kAccessDenied});
    request = StartRequest{};
    request.mode = Mode::Protect;
    request.sourceText = Info();
    request.recoveryPercent = 30;
    EXPECT_EQ(Run(), Outcome::Failed);
    EXPECT_NE(host.texts().back().find("film.mkv.vol1+2.par2"), std::string::npos) << host.texts().back();
    EXPECT_FALSE(fs.HasFile("E:\\parts\\film.mkv.vol1+2.par2"));
    ExpectIdle();
    fs.Delete(Piece(2));
    fs.Delete(Piece(7));
    ASSERT_EQ(Again(Mode::Rejoin), Outcome::Completed);
    EXPECT_EQ(fs.Content("F:\\out\\film.mkv"), source);
}

TEST_F(RecoveryFixture, RecoveryDataTakesRoomAndNamesThatTheChecksCountIn) {
    request = StartRequest{};
    request.sourceText = sourcePath;
    request.destinationText = "E:\\parts";
    Custom("2600", kUnitBytes);
    request.recoveryPercent = 100;
    fs.drive('E').freeBytes = 25600 + 5000;  // the pieces fit, their recovery data does not
    EXPECT_EQ(Run(), Outcome::Stopped);
    EXPECT_TRUE(refused);
    request.recoveryPercent = 101;
    fs.drive('E').freeBytes = 1ull << 40;
    EXPECT_EQ(Run(), Outcome::Stopped);
    EXPECT_EQ(host.texts().back(), texts::kRecoveryPercentRange);
}


// Recovery files a hostile sender could make, every packet sound: the
// files given, cut in slices of `slice`, with recovery blocks of the
// exponents given, all in one file. `claimedSlice`, when given, is the slice
// size the main packet claims (the slices are cut at `slice`).
struct CraftedFile {
    std::string name;
    Bytes content;
};

Bytes CraftRecovery(fake::FakePlatform& fs, std::uint64_t slice, const std::vector<CraftedFile>& files,
                    const std::vector<std::uint32_t>& exponents,
                    std::uint64_t claimedSlice = 0) {
    auto md5 = fs.NewMd5();
    std::vector<par2::FileDescription> described;
    std::vector<std::vector<par2::SliceCheck>> checks;
    std::vector<std::pair<par2::Hash, std::vector<Bytes>>> slicesById;
    for (std::size_t f = 0; f < files.size(); ++f) {
        const Bytes& c = files[f].content;
        par2::FileDescription d;
        d.name = files[f].name;
        d.length = c.size();
        d.md5 = par2::Md5Of(*md5, c.data(), c.size());
        d.md5Head = par2::Md5Of(*md5, c.data(), std::min<std::size_t>(c.size(), 16384));
        d.id = par2::FileId(*md5, d.md5Head, d.length, d.name);
        std::vector<par2::SliceCheck> sliceChecks;
        std::vector<Bytes> slices;
        for (std::size_t at = 0; at < c.size(); at += slice) {
            Bytes s(c.begin() + static_cast<std::ptrdiff_t>(at),
                    c.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(c.size(), at + slice)));
            s.resize(slice, 0);
            sliceChecks.push_back({par2::Md5Of(*md5, s.data(), s.size()), par2::Crc32(0, s.data(), s.size())});
            slices.push_back(std::move(s));
        }
        described.push_back(d);
        checks.push_back(sliceChecks);
        slicesById.emplace_back(d.id, std::move(slices));
    }
    std::vector<par2::Hash> ids;
    for (const auto& d : described) ids.push_back(d.id);
    const std::uint64_t claimed = claimedSlice ? claimedSlice : slice;
    const std::string mainBody = par2::MainBody(claimed, ids);
    const par2::Hash set = par2::Md5Of(*md5, mainBody.data(), mainBody.size());
    std::string out = par2::CriticalPackets(*md5, set, claimed, described, checks);
    // The input slices in the main packet's order.
    std::sort(slicesById.begin(), slicesById.end(),
              [](const auto& a, const auto& b) { return par2::IdLess(a.first, b.first); });
    std::vector<const Bytes*> inputs;
    for (const auto& [id, slices] : slicesById) {
        for (const Bytes& s : slices) inputs.push_back(&s);
    }
    for (std::uint32_t e : exponents) {
        Bytes block(slice, 0);
        for (std::size_t g = 0; g < inputs.size(); ++g) {
            const std::uint16_t factor = gf16::Power(gf16::InputConstant(static_cast<std::uint32_t>(g)), e);
            gf16::MultiplyAddReference(inputs[g]->data(), block.data(), slice, factor);
        }
        std::string body(4, '\0');
        for (int b = 0; b < 4; ++b) body[b] = static_cast<char>((e >> (8 * b)) & 0xFF);
        body.append(reinterpret_cast<const char*>(block.data()), block.size());
        out += par2::Packet(*md5, set, par2::kRecoveryType, body);
    }
    return Bytes(out.begin(), out.end());
}

// Hostile and mismatched recovery files beside the fixture's set, for a set
// with checksums and one without (its info file as earlier versions wrote
// it), through a join, a repair in place and a verification. Whatever
// happens: no intact piece changes, no success unless the result is exact,
// no crash, and a message that says what was wrong.
struct Hostile {
    const char* name;
    std::function<void(fake::FakePlatform&, RecoveryFixture&)> make;
    bool rebuilds;          // the set's own recovery data still serves
    const char* verifySays;  // in the verification's report; null: nothing asked
};

std::vector<CraftedFile> PiecesOf(const RecoveryFixture& f) {
    std::vector<CraftedFile> files;
    for (std::uint32_t i = 0; i < 10; ++i) files.push_back({PieceFileName("film.mkv", i), f.original[i]});
    return files;
}

void RemoveOwnRecovery(fake::FakePlatform& fs, RecoveryFixture& f) {
    fs.Delete("E:\\parts\\film.mkv.par2");
    fs.Delete(f.Volume(0));
    fs.Delete(f.Volume(1));
}

std::vector<Hostile> HostileSets() {
    const auto only = [](std::function<std::vector<CraftedFile>(RecoveryFixture&)> files, std::uint64_t slice,
                         std::vector<std::uint32_t> exponents, std::function<void(fake::FakePlatform&, RecoveryFixture&)> then) {
        return [=](fake::FakePlatform& fs, RecoveryFixture& f) {
            RemoveOwnRecovery(fs, f);
            fs.AddFile("E:\\parts\\film.mkv.par2", CraftRecovery(fs, slice, files(f), exponents));
            if (then) then(fs, f);
        };
    };
    const auto drop = [](std::uint32_t i) { return [i](fake::FakePlatform& fs, RecoveryFixture& f) { fs.Delete(f.Piece(i)); }; };
    const auto longer = [](std::uint32_t piece) {
        return [piece](RecoveryFixture& f) {
            auto files = PiecesOf(f);
            files[piece].content.insert(files[piece].content.end(), 8, 0xEE);
            return files;
        };
    };
    return {
        // The recovery files of another file of the same name and size.
        {"AnotherFilesRecoveryFiles",
         [](fake::FakePlatform& fs, RecoveryFixture& f) {
             RemoveOwnRecovery(fs, f);
             std::vector<CraftedFile> other;
             for (std::uint32_t i = 0; i < 10; ++i) {
                 Bytes b = f.original[i];
                 for (auto& c : b) c = static_cast<unsigned char>(c ^ 0x5A);
                 other.push_back({PieceFileName("film.mkv", i), b});
             }
             fs.AddFile("E:\\parts\\film.mkv.par2", CraftRecovery(fs, 2600, other, {0, 1, 2, 3, 4, 5, 6}));
         },
         false, texts::kRecoveryOtherFile},
        {"AnotherFilesBesideTheSetsOwn",
         [](fake::FakePlatform& fs, RecoveryFixture& f) {
             std::vector<CraftedFile> other = PiecesOf(f);
             for (auto& file : other) file.content[5] ^= 1;
             fs.AddFile("E:\\parts\\film.mkv.vol7+3.par2", CraftRecovery(fs, 2600, other, {7, 8, 9}));
             fs.Delete(f.Piece(4));
         },
         true, nullptr},
        {"TheLastPieceDescribedLongerAndDeleted", only(longer(9), 2600, {0, 1}, drop(9)), false, texts::kRecoveryDisagrees},
        {"AMiddlePieceDescribedLongerAndDeleted", only(longer(4), 2608, {0, 1}, drop(4)), false, texts::kRecoveryDisagrees},
        {"TwoDescriptionsNameOnePiece",
         only(
             [](RecoveryFixture& f) {
                 auto files = PiecesOf(f);
                 files.push_back({PieceFileName("film.mkv", 0), f.original[2]});
                 return files;
             },
             2600, {0, 1, 2}, drop(0)),
         false, texts::kRecoveryConflicting},
        {"APieceTheSetDoesNotHave",
         only(
             [](RecoveryFixture& f) {
                 auto files = PiecesOf(f);
                 files.push_back({PieceFileName("film.mkv", 12), f.original[2]});
                 return files;
             },
             2600, {0, 1, 2}, drop(3)),
         false, texts::kRecoveryDisagrees},
        {"NamesOutsideTheFolder",
         only(
             [](RecoveryFixture& f) {
                 auto files = PiecesOf(f);
                 files.push_back({"..\\x", f.original[2]});
                 files.push_back({"CON", f.original[3]});
                 files.push_back({"C:\\x", f.original[4]});
                 return files;
             },
             2600, {0, 1, 2, 3, 4}, drop(3)),
         false, texts::kRecoveryDisagrees},
        {"ASliceSizeNoPieceNeeds",
         [](fake::FakePlatform& fs, RecoveryFixture& f) {
             RemoveOwnRecovery(fs, f);
             fs.AddFile("E:\\parts\\film.mkv.par2", CraftRecovery(fs, 2600, PiecesOf(f), {}, 1ull << 40));
             fs.Delete(f.Piece(3));
         },
         false, texts::kRecoveryDisagrees},
        {"AnExponentTwiceWithOtherContent",
         [](fake::FakePlatform& fs, RecoveryFixture& f) {
             // A recovery block of exponent 0 made over other bytes, under
             // the set's own ID: sound, and contradicting the real one.
             std::vector<CraftedFile> other = PiecesOf(f);
             other[1].content[9] ^= 1;
             const Bytes crafted = CraftRecovery(fs, 2600, other, {0});
             const Bytes own = fs.Content("E:\\parts\\film.mkv.par2");
             // Take the set's ID from its own index and put the crafted block under it.
             auto md5 = fs.NewMd5();
             const std::size_t at = crafted.size() - (64 + 4 + 2600);
             std::string body(crafted.begin() + static_cast<std::ptrdiff_t>(at + 64), crafted.end());
             par2::Hash set;
             std::copy(own.begin() + 32, own.begin() + 48, set.begin());
             const std::string packet = par2::Packet(*md5, set, par2::kRecoveryType, body);
             fs.AddFile("E:\\parts\\film.mkv.vol9+1.par2", Bytes(packet.begin(), packet.end()));
             fs.Delete(f.Piece(6));
         },
         false, texts::kRecoveryConflicting},
        {"ABadCopyOfADescriptionComesFirst",
         [](fake::FakePlatform& fs, RecoveryFixture& f) {
             // A description whose packet MD5 is sound but whose length is
             // not what its file ID was made from.
             Bytes index = fs.Content("E:\\parts\\film.mkv.par2");
             auto md5 = fs.NewMd5();
             par2::Hash set;
             std::copy(index.begin() + 32, index.begin() + 48, set.begin());
             auto sets = par2::ReadRecoveryFiles(fs, {"E:\\parts\\film.mkv.par2"}, true, nullptr);
             par2::FileDescription d = sets.at(0).descriptions.at(0);
             d.length = (1ull << 63) + 4;
             const std::string bad = par2::Packet(*md5, set, par2::kFileType, par2::FileDescriptionBody(d));
             index.insert(index.begin(), bad.begin(), bad.end());
             fs.AddFile("E:\\parts\\film.mkv.par2", index);
             fs.Delete(f.Piece(7));
         },
         true, nullptr},
        {"TooManyFilesForTheFormat",
         [](fake::FakePlatform& fs, RecoveryFixture& f) {
             RemoveOwnRecovery(fs, f);
             std::vector<par2::Hash> ids(40000);
             for (std::size_t i = 0; i < ids.size(); ++i) ids[i][0] = static_cast<unsigned char>(i), ids[i][1] = static_cast<unsigned char>(i >> 8);
             auto md5 = fs.NewMd5();
             const std::string body = par2::MainBody(2600, ids);
             const par2::Hash set = par2::Md5Of(*md5, body.data(), body.size());
             const std::string packet = par2::Packet(*md5, set, par2::kMainType, body);
             fs.AddFile("E:\\parts\\film.mkv.par2", Bytes(packet.begin(), packet.end()));
             fs.Delete(f.Piece(1));
         },
         false, texts::kRecoveryTooLarge},
        {"PieceZeroDeleted", drop(0), true, nullptr},
    };
}

class HostileRecovery : public RecoveryFixture,
                        public ::testing::WithParamInterface<std::tuple<Hostile, bool, Mode>> {};

TEST_P(HostileRecovery, NoIntactPieceChangesAndNoFalseSuccess) {
    const auto& [hostile, oldSet, mode] = GetParam();
    if (oldSet) {
        Bytes info = fs.Content(Info());
        info.resize(268);
        fs.AddFile(Info(), info);
    }
    hostile.make(fs, *this);
    const auto before = support::FilesOn(fs, "E:\\");
    const Outcome outcome = Again(mode);
    const auto after = support::FilesOn(fs, "E:\\");
    const std::string said = host.texts().empty() ? std::string() : host.texts().back();
    // No piece that was intact is any different, whatever the outcome.
    for (std::uint32_t i = 0; i < 10; ++i) {
        const auto was = before.find(AsciiUpper(Piece(i)));
        if (was != before.end() && was->second == original[i]) {
            ASSERT_TRUE(fs.HasFile(Piece(i))) << i << said;
            EXPECT_EQ(fs.Content(Piece(i)), original[i]) << i << " " << said;
        }
    }
    if (mode == Mode::Rejoin) {
        if (outcome == Outcome::Completed) {
            EXPECT_EQ(fs.Content("F:\\out\\film.mkv"), source);
        } else {
            EXPECT_TRUE(support::BesidesPartial(fs, "F:\\", "F:\\out", "film.mkv", &source).empty());
        }
        if (hostile.rebuilds) {
            EXPECT_EQ(outcome, Outcome::Completed) << said;
        }
    }
    if (mode == Mode::Repair) {
        if (outcome == Outcome::Completed && hostile.rebuilds) {
            for (std::uint32_t i = 0; i < 10; ++i) EXPECT_EQ(fs.Content(Piece(i)), original[i]) << i;
        } else {
            EXPECT_EQ(after, before) << said;
        }
    }
    if (mode == Mode::Verify) {
        // The phrase may open its line, capitalised.
        if (hostile.verifySays) {
            EXPECT_NE(said.find(hostile.verifySays + 1), std::string::npos) << said;
            EXPECT_EQ(said.find("can rebuild"), std::string::npos) << said;
        }
        EXPECT_EQ(after, before);
    }
    ExpectIdle();
}

INSTANTIATE_TEST_SUITE_P(Recovery, HostileRecovery,
                         ::testing::Combine(::testing::ValuesIn(HostileSets()), ::testing::Bool(),
                                            ::testing::Values(Mode::Rejoin, Mode::Repair, Mode::Verify)),
                         [](const auto& info) {
                             const Mode mode = std::get<2>(info.param);
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_OldSet" : "_Checked") +
                                    (mode == Mode::Rejoin ? "_Join" : mode == Mode::Repair ? "_Repair" : "_Verify");
                         });

// One fault at a time, or a stop at every checkpoint, while a set with a
// lost piece and a damaged one is repaired in place or rejoined with a
// rebuild. Success means exact; anything else leaves every piece as it was
// (or, for a repair that got that far, exact) and nothing else behind.
struct RecoveryFaultRow {
    std::string what;
    std::function<void(RecoveryFixture&)> arrange;
};

void DamageForFaults(RecoveryFixture& f) {
    f.fs.Delete(f.Piece(3));
    Bytes b = f.fs.Content(f.Piece(6));
    b[100] ^= 1;
    f.fs.AddFile(f.Piece(6), b);
}

int RecoveryCheckpoints(Mode mode) {
    struct Counting : Checkpoint {
        int calls = 0;
        bool ShouldStop() override {
            ++calls;
            return false;
        }
    };
    class Counter : public RecoveryFixture {
    public:
        void TestBody() override {}
    } f;
    f.SetUp();
    DamageForFaults(f);
    Counting counting;
    f.checkpoint = &counting;
    EXPECT_EQ(f.Again(mode), Outcome::Completed);
    return counting.calls;
}

std::vector<RecoveryFaultRow> RecoveryFaultRows(Mode mode) {
    std::vector<RecoveryFaultRow> rows;
    const auto fault = [&](const std::string& what, fake::Op op, const char* part, ErrorCode code, std::uint64_t at) {
        rows.push_back({what, [=](RecoveryFixture& f) { f.fs.AddFault({op, part, code, at, 1}); }});
    };
    fault("a recovery file unreadable", fake::Op::Read, ".vol1", err::kReadFault, 100);
    fault("the index unreadable", fake::Op::Read, "film.mkv.par2", err::kReadFault, 0);
    fault("a recovery file cannot be opened", fake::Op::Open, ".vol0", err::kSharingViolation, 0);
    fault("an intact piece unreadable", fake::Op::Read, ".2.spl", err::kReadFault, 1000);
    fault("the damaged piece unreadable", fake::Op::Read, ".6.spl", err::kReadFault, 0);
    for (std::uint64_t at : {0, 1, 2599, 2600, 20000}) {
        fault("a write at " + std::to_string(at), fake::Op::Write, "~pvx", err::kDiskFull, at);
    }
    fault("the flush of what was rebuilt", fake::Op::Flush, "~pvx", err::kIoDevice, 0);
    fault("closing what was rebuilt", fake::Op::Close, "~pvx", err::kDiskFull, 0);
    fault("the flush of the folder", fake::Op::Flush, mode == Mode::Repair ? "E:\\PARTS" : "F:\\OUT", err::kIoDevice, 0);
    fault("a piece cannot take its name", fake::Op::Rename, ".6.spl", err::kAccessDenied, 0);
    fault("the output cannot take its name", fake::Op::Rename, "film.mkv", err::kAccessDenied, 0);
    const int checkpoints = RecoveryCheckpoints(mode);
    for (int calls = 0; calls < checkpoints; calls += std::max(1, checkpoints / 40)) {
        rows.push_back({"stopped at checkpoint " + std::to_string(calls),
                        [=](RecoveryFixture& f) { f.checkpoint = new fake::StopAfter(calls); }});
    }
    rows.push_back({"no fault", [](RecoveryFixture&) {}});
    return rows;
}

class RecoveryFaults : public RecoveryFixture, public ::testing::WithParamInterface<std::tuple<RecoveryFaultRow, Mode>> {};

TEST_P(RecoveryFaults, SuccessMeansExactAndAnythingElseLeavesThePiecesAsTheyWere) {
    const auto& [row, mode] = GetParam();
    DamageForFaults(*this);
    row.arrange(*this);
    std::unique_ptr<Checkpoint> owned(checkpoint);
    const auto before = support::FilesOn(fs, "E:\\");
    const Outcome outcome = Again(mode);
    checkpoint = nullptr;
    const auto after = support::FilesOn(fs, "E:\\");
    if (row.what == "no fault") {
        EXPECT_EQ(outcome, Outcome::Completed);
    }
    if (mode == Mode::Rejoin) {
        EXPECT_EQ(after, before);
        if (outcome == Outcome::Completed) {
            EXPECT_EQ(fs.Content("F:\\out\\film.mkv"), source);
        } else {
            EXPECT_TRUE(support::BesidesPartial(fs, "F:\\", "F:\\out", "film.mkv", &source).empty());
        }
    } else {
        // A piece proven and put in place stays, whatever happens to the next.
        auto rest = after, restBefore = before;
        for (std::uint32_t i = 0; i < 10; ++i) {
            rest.erase(AsciiUpper(Piece(i)));
            restBefore.erase(AsciiUpper(Piece(i)));
            if (outcome == Outcome::Completed) {
                EXPECT_EQ(fs.Content(Piece(i)), original[i]) << i;
                continue;
            }
            const auto was = before.find(AsciiUpper(Piece(i)));
            if (!fs.HasFile(Piece(i))) {
                EXPECT_EQ(was, before.end()) << i;
                continue;
            }
            const Bytes& now = fs.Content(Piece(i));
            EXPECT_TRUE((was != before.end() && now == was->second) || now == original[i]) << i;
        }
        EXPECT_EQ(rest, restBefore);  // no temporary file, nothing else changed
    }
    ExpectIdle();
}

std::vector<std::tuple<RecoveryFaultRow, Mode>> AllRecoveryFaultRows() {
    std::vector<std::tuple<RecoveryFaultRow, Mode>> all;
    for (Mode mode : {Mode::Repair, Mode::Rejoin}) {
        for (auto& row : RecoveryFaultRows(mode)) all.emplace_back(row, mode);
    }
    return all;
}

INSTANTIATE_TEST_SUITE_P(FaultMatrix, RecoveryFaults, ::testing::ValuesIn(AllRecoveryFaultRows()),
                         [](const auto& info) {
                             return support::TestName(std::get<0>(info.param).what) +
                                    (std::get<1>(info.param) == Mode::Repair ? "_Repair" : "_Join");
                         });

}  // namespace
