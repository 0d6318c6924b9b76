#include <gtest/gtest.h>

#include "engine/base/FileErrors.h"
#include "engine/set/SplitInfo.h"
#include "engine/set/SplitState.h"
#include "support/FakePlatform.h"

using namespace engine;

namespace {

TEST(SplitInfo, LayoutIsLittleEndianAndZeroFilled) {
    const auto bytes = EncodeSplitInfo({4, "movie.avi", 10000000});
    ASSERT_EQ(bytes.size(), 268u);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 4),
              (std::vector<unsigned char>{0x04, 0x00, 0x00, 0x00}));
    EXPECT_EQ(std::vector<unsigned char>(bytes.end() - 4, bytes.end()),
              (std::vector<unsigned char>{0x80, 0x96, 0x98, 0x00}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[4]), 9), "movie.avi");
    for (std::size_t i = 4 + 9; i < 264; ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST(SplitInfo, RoundTripsNamesUpToTheField) {
    for (const std::string& name : {std::string("a"), std::string(259, 'n'),
                                    std::string("name with blanks.tar.gz")}) {
        const auto bytes = EncodeSplitInfo({0xFFFFFFFFu, name, 0xFEDCBA98u});
        EXPECT_EQ(bytes[263], 0);  // the terminator always fits
        const SplitInfo back = DecodeSplitInfo(bytes.data());
        EXPECT_EQ(back.pieceCount, 0xFFFFFFFFu);
        EXPECT_EQ(back.fileName, name);
        EXPECT_EQ(back.fileSize, 0xFEDCBA98u);
    }
    // A field without terminator yields its 260 bytes and no more.
    std::array<unsigned char, kSplitInfoSize> raw{};
    std::fill(raw.begin() + 4, raw.begin() + 264, 'x');
    EXPECT_EQ(DecodeSplitInfo(raw.data()).fileName, std::string(260, 'x'));
}

}  // namespace

#include <cstring>
#include <functional>
#include <random>

#include "engine/base/Checksum.h"
#include "engine/base/Names.h"

namespace {

SetInfo ASet(std::uint64_t size, std::uint32_t pieceSize, const std::string& name = "movie.avi") {
    SetInfo set;
    set.name = name;
    set.size = size;
    set.pieceSize = pieceSize;
    set.pieceCount = static_cast<std::uint32_t>((size + pieceSize - 1) / pieceSize);
    set.extended = set.hasChecksums = true;
    set.whole = ChecksumOf(name.data(), name.size());
    for (std::uint32_t i = 0; i < set.pieceCount; ++i) set.pieces.push_back(ChecksumOf(&i, sizeof i));
    return set;
}

void ExpectSame(const SetInfo& a, const SetInfo& b) {
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.size, b.size);
    EXPECT_EQ(a.pieceCount, b.pieceCount);
    EXPECT_EQ(a.pieceSize, b.pieceSize);
    EXPECT_EQ(a.hasChecksums, b.hasChecksums);
    EXPECT_EQ(a.whole, b.whole);
    EXPECT_EQ(a.pieces, b.pieces);
}

TEST(InfoFile, TheRecordStaysWhatEveryReaderKnows) {
    fake::FakePlatform fs;
    const SetInfo set = ASet(10000000, 3000000);
    const std::vector<unsigned char> bytes = EncodeInfoFile(set, fs);
    const auto record = EncodeSplitInfo({4, "movie.avi", 10000000});
    ASSERT_GT(bytes.size(), kSplitInfoSize);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + kSplitInfoSize),
              std::vector<unsigned char>(record.begin(), record.end()));
    ExpectSame(DecodeInfoFile(bytes, fs, "x"), set);
    // Without checksums, as on the first of several disks.
    SetInfo bare = set;
    bare.hasChecksums = false;
    bare.whole = Checksum{};
    bare.pieces.clear();
    ExpectSame(DecodeInfoFile(EncodeInfoFile(bare, fs), fs, "x"), bare);
}

TEST(InfoFile, OlderReadersAreGivenAPlaceholderTheyCannotMisuse) {
    fake::FakePlatform fs;
    const struct {
        const char* what;
        SetInfo set;
    } cases[] = {
        {"4 GiB and more", ASet(5ull << 30, 0xFFFFFFFFu)},
        {"exactly 4 GiB", ASet(1ull << 32, 0x80000000u)},
        {"a name outside the code page", ASet(1000, 400, "\xd0\xba\xd0\xbe\xd1\x82.txt")},
        {"a name too long for the field", ASet(1000, 400, std::string(300, 'n'))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto bytes = EncodeInfoFile(c.set, fs);
        const SplitInfo record = DecodeSplitInfo(bytes.data());
        EXPECT_EQ(record.fileName, kPlaceholderName);
        EXPECT_EQ(record.fileSize, 0xFFFFFFFFu);
        EXPECT_EQ(record.pieceCount, c.set.pieceCount);
        ExpectSame(DecodeInfoFile(bytes, fs, "x"), c.set);
    }
    // A Latin name that the code page holds keeps its record.
    const auto latin = EncodeInfoFile(ASet(1000, 400, "caf\xc3\xa9.bin"), fs);
    EXPECT_EQ(DecodeSplitInfo(latin.data()).fileName, "caf\xe9.bin");
}

// Every bit of a good info file flipped in turn, every truncation, every
// extension by a byte and a few thousand random trailers: the reader refuses
// or reads exactly what was written; it never trusts a different story.
TEST(InfoFile, DamageIsRefusedNeverTrusted) {
    fake::FakePlatform fs;
    const SetInfo set = ASet(25000, 5000);
    const std::vector<unsigned char> good = EncodeInfoFile(set, fs);
    auto check = [&](const std::vector<unsigned char>& bytes) {
        try {
            const SetInfo read = DecodeInfoFile(bytes, fs, "x");
            if (bytes.size() == kSplitInfoSize) {
                // The record alone: bounded and plain, nothing to verify.
                EXPECT_GE(read.pieceCount, 1u);
                EXPECT_LE(read.pieceCount, read.size);
                EXPECT_TRUE(IsPlainFileName(read.name));
                EXPECT_FALSE(read.hasChecksums);
            } else {
                ExpectSame(read, set);
            }
        } catch (const InvalidSplitInfo&) {
        }
    };
    int refused = 0;
    for (std::size_t byte = 0; byte < good.size(); ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            std::vector<unsigned char> flipped = good;
            flipped[byte] ^= static_cast<unsigned char>(1 << bit);
            check(flipped);
            if (byte >= kSplitInfoSize) {
                EXPECT_THROW(DecodeInfoFile(flipped, fs, "x"), InvalidSplitInfo) << byte << ":" << bit;
                ++refused;
            }
        }
    }
    EXPECT_EQ(refused, static_cast<int>((good.size() - kSplitInfoSize) * 8));
    for (std::size_t length = 0; length <= good.size() + 1; ++length) {
        std::vector<unsigned char> cut(good.begin(), good.begin() + std::min(length, good.size()));
        if (length > good.size()) cut.push_back(0);
        if (length != kSplitInfoSize && length != good.size()) {
            EXPECT_THROW(DecodeInfoFile(cut, fs, "x"), InvalidSplitInfo) << length;
        }
        check(cut);
    }
    std::mt19937 random(1234);
    for (int round = 0; round < 3000; ++round) {
        std::vector<unsigned char> noise(good.begin(), good.begin() + kSplitInfoSize);
        noise.resize(kSplitInfoSize + 64 + random() % 400);
        for (std::size_t i = kSplitInfoSize; i < noise.size(); ++i) noise[i] = static_cast<unsigned char>(random());
        std::memcpy(noise.data() + kSplitInfoSize, "SIOX", 4);
        EXPECT_THROW(DecodeInfoFile(noise, fs, "x"), InvalidSplitInfo);
    }
}

// Trailers that are well formed and checked, but tell an impossible story.
TEST(InfoFile, ConsistentChecksumsDoNotMakeAnImpossibleSetTrusted) {
    fake::FakePlatform fs;
    auto refused = [&](SetInfo set) {
        try {
            DecodeInfoFile(EncodeInfoFile(set, fs), fs, "x");
            return false;
        } catch (const InvalidSplitInfo&) {
            return true;
        }
    };
    SetInfo set = ASet(25000, 5000);
    EXPECT_FALSE(refused(set));
    for (auto damage : std::vector<std::function<void(SetInfo&)>>{
             [](SetInfo& s) { s.size = 20000; },           // the last piece would be empty
             [](SetInfo& s) { s.size = 25001; },           // a byte more than the pieces hold
             [](SetInfo& s) { s.pieceSize = 0; },
             [](SetInfo& s) { s.name = "..\\evil"; },
             [](SetInfo& s) { s.name = "a\"b"; },
             [](SetInfo& s) { s.name = "\xff\xfe"; },
             [](SetInfo& s) { s.name = std::string(1021, 'n'); },
             [](SetInfo& s) { s.pieceCount = 0; s.pieces.clear(); },
         }) {
        SetInfo bad = set;
        damage(bad);
        EXPECT_TRUE(refused(bad));
    }
}

// The record and the trailer tell one story: the same name (or the
// placeholder), and nothing in what is reserved or padded. A trailer check
// computed again over a change does not make it acceptable.
TEST(InfoFile, TheRecordAndTheTrailerMustAgree) {
    fake::FakePlatform fs;
    const std::vector<unsigned char> good = EncodeInfoFile(ASet(25000, 5000), fs);
    auto resealed = [&](std::function<void(std::vector<unsigned char>&)> change) {
        std::vector<unsigned char> bytes = good;
        change(bytes);
        unsigned char* trailer = bytes.data() + kSplitInfoSize;
        const std::size_t length = bytes.size() - kSplitInfoSize;
        const std::uint64_t check = Checksum64(trailer, length - 8);
        for (int i = 0; i < 8; ++i) trailer[length - 8 + i] = static_cast<unsigned char>(check >> (8 * i));
        return bytes;
    };
    EXPECT_NO_THROW(DecodeInfoFile(resealed([](auto&) {}), fs, "x"));
    const struct {
        const char* what;
        std::function<void(std::vector<unsigned char>&)> change;
    } cases[] = {
        {"another name in the record", [](auto& b) { std::memcpy(b.data() + 4, "cinema", 6); }},
        {"a byte after the record's name", [](auto& b) { b[4 + 9 + 5] = 'x'; }},
        {"the reserved field", [](auto& b) { b[kSplitInfoSize + 36] = 1; }},
        {"a whole-file checksum without the flag", [](auto& b) { b[kSplitInfoSize + 6] = 0; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_THROW(DecodeInfoFile(resealed(c.change), fs, "x"), InvalidSplitInfo);
    }
    // A name the reader's code page cannot hold came from a machine with
    // another one: its record is taken when its length fits the name.
    const std::string cyrillic = "\xd0\xba\xd0\xbe\xd1\x82.txt";  // 7 characters
    SetInfo foreign = ASet(1000, 400, cyrillic);
    std::vector<unsigned char> bytes = EncodeInfoFile(foreign, fs);
    std::memset(bytes.data() + 4, 0, kSplitInfoNameField);
    std::memcpy(bytes.data() + 4, "\xea\xee\xf2.txt", 7);  // as code page 1251 writes it
    bytes[264] = 0xE8, bytes[265] = 0x03, bytes[266] = bytes[267] = 0;
    EXPECT_EQ(DecodeInfoFile(bytes, fs, "x").name, cyrillic);
    std::memcpy(bytes.data() + 4, "\xea\xee\xf2.txt-much-longer", 20);
    EXPECT_THROW(DecodeInfoFile(bytes, fs, "x"), InvalidSplitInfo);
}

}  // namespace

// The state a stopped split leaves is read back exactly, and anything but a
// whole state of this version with a plan a split makes is no state: a
// crafted one can do no more than make the split start over.
TEST(SplitState, OnlyAWholeStateOfAPlanIsRead) {
    SplitState state;
    state.sourceName = "movie.avi";
    state.sourceSize = 7000000;
    state.sourceId = {3, 77};
    state.sourceModified = -5;
    state.sourceChanged = 9;
    state.pieceSize = 3000001;
    state.pieceCount = 3;
    state.pieces.resize(2);
    state.pieces[1].bytes[15] = 0xAB;
    const std::string good = EncodeSplitState(state);
    SplitState back;
    ASSERT_TRUE(DecodeSplitState(good, back));
    EXPECT_EQ(back.sourceName, "movie.avi");
    EXPECT_EQ(back.sourceId, state.sourceId);
    EXPECT_EQ(back.sourceModified, -5);
    EXPECT_EQ(back.pieces, state.pieces);

    // With the checksum made again, so that only the field's check stops it.
    const auto resealed = [](std::string bytes) {
        bytes.resize(bytes.size() - 8);
        const std::uint64_t sum = Checksum64(bytes.data(), bytes.size());
        for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<char>(sum >> (8 * i)));
        return bytes;
    };
    const auto with = [&](std::size_t at, std::uint32_t value) {
        std::string bytes = good;
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
        return resealed(bytes);
    };
    const struct {
        const char* what;
        std::string bytes;
    } bad[] = {
        {"empty", ""},
        {"cut short", good.substr(0, good.size() - 1)},
        {"one byte changed", [&] { std::string b = good; b[30] ^= 1; return b; }()},
        {"another version", with(8, 2)},
        {"a name longer than the file", with(12, 1000)},
        {"no name", with(12, 0)},
        {"more pieces done than the set has", with(64, 4)},
        {"no pieces", with(60, 0)},
        {"a piece size of 0", with(56, 0)},
        {"a plan that does not fit the size", with(56, 1000)},
        {"longer than it says", resealed(good + std::string(24, '\0'))},
    };
    for (const auto& b : bad) {
        SplitState s;
        EXPECT_FALSE(DecodeSplitState(b.bytes, s)) << b.what;
    }
}
