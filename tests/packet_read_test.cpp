// Damaged and hostile packets, one at a time, in a recovery file that is
// otherwise sound: the reader takes what proves itself, passes over the
// rest, and still finds every sound packet after a bad one.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "engine/par2/Packets.h"
#include "support/FakePlatform.h"
#include "support/TestName.h"

using namespace engine;
using support::Bytes;

namespace {

constexpr std::uint64_t kSlice = 512;
// Blocks this long are hashed many at a time as they are read.
constexpr std::uint64_t kLongSlice = 128u << 10;

struct Sample {
    std::uint64_t slice = kSlice;
    std::string bytes;
    par2::Hash set{};
    std::vector<par2::FileDescription> files;
    std::vector<std::vector<par2::SliceCheck>> checks;
    std::vector<std::pair<std::size_t, std::size_t>> packets;  // start, size
};

std::string Recovery(Md5& md5, const par2::Hash& set, std::uint32_t exponent, std::uint64_t size, char fill) {
    std::string body(4, '\0');
    for (int b = 0; b < 4; ++b) body[b] = static_cast<char>((exponent >> (8 * b)) & 0xFF);
    body.append(static_cast<std::size_t>(size), fill);
    return par2::Packet(md5, set, par2::kRecoveryType, body);
}

std::uint64_t GetU64(const std::string& s, std::size_t at) {
    std::uint64_t v = 0;
    for (int b = 7; b >= 0; --b) v = v << 8 | static_cast<unsigned char>(s[at + b]);
    return v;
}
void PutU64(std::string& s, std::size_t at, std::uint64_t v) {
    for (int b = 0; b < 8; ++b) s[at + b] = static_cast<char>((v >> (8 * b)) & 0xFF);
}

// Two files of 1,000 and 600 bytes in slices of 512 (or as given), the critical packets
// and two recovery blocks.
Sample MakeSample(Md5& md5, std::uint64_t sliceSize = kSlice) {
    Sample s;
    s.slice = sliceSize;
    for (const auto& [name, length] : {std::pair<const char*, std::uint64_t>{"a.bin.0.spl", 1000}, {"a.bin.1.spl", 600}}) {
        std::string content(static_cast<std::size_t>(length), name[10]);
        par2::FileDescription d;
        d.name = name;
        d.length = length;
        d.md5 = par2::Md5Of(md5, content.data(), content.size());
        d.md5Head = d.md5;
        d.id = par2::FileId(md5, d.md5Head, d.length, d.name);
        std::vector<par2::SliceCheck> checks;
        for (std::uint64_t at = 0; at < length; at += sliceSize) {
            std::string slice = content.substr(static_cast<std::size_t>(at), sliceSize);
            slice.resize(sliceSize, '\0');
            checks.push_back({par2::Md5Of(md5, slice.data(), slice.size()), par2::Crc32(0, slice.data(), slice.size())});
        }
        s.files.push_back(d);
        s.checks.push_back(checks);
    }
    std::vector<par2::Hash> ids{s.files[0].id, s.files[1].id};
    const std::string main = par2::MainBody(sliceSize, ids);
    s.set = par2::Md5Of(md5, main.data(), main.size());
    s.bytes = par2::CriticalPackets(md5, s.set, sliceSize, s.files, s.checks);
    s.bytes += Recovery(md5, s.set, 0, sliceSize, 'x');
    s.bytes += Recovery(md5, s.set, 1, sliceSize, 'y');
    for (std::size_t at = 0; at + 64 <= s.bytes.size();) {
        const std::uint64_t size = GetU64(s.bytes, at + 8);
        s.packets.push_back({at, static_cast<std::size_t>(size)});
        at += static_cast<std::size_t>(size);
    }
    return s;
}

// The packet of a type, the first or the last of it.
std::size_t PacketOf(const Sample& s, const char* type, bool last = false) {
    std::size_t found = s.packets.size();
    for (std::size_t i = 0; i < s.packets.size(); ++i) {
        if (std::memcmp(s.bytes.data() + s.packets[i].first + 48, type, 16) == 0) {
            found = i;
            if (!last) break;
        }
    }
    return found;
}

// Makes the packet's MD5 right again after its bytes were changed.
void Reseal(Md5& md5, std::string& bytes, std::size_t start) {
    const std::size_t size = static_cast<std::size_t>(GetU64(bytes, start + 8));
    const par2::Hash h = par2::Md5Of(md5, bytes.data() + start + 32, size - 32);
    std::memcpy(&bytes[start + 16], h.data(), h.size());
}

struct Expect {
    bool main = true;
    std::size_t descriptions = 2, checks = 2, recovery = 2;
    par2::SetFlaw flaw = par2::SetFlaw::None;
};

struct Damage {
    const char* name;
    std::function<void(Md5&, Sample&)> make;
    Expect expect;
    // What a set of the hostile packets alone is found to be.
    par2::SetFlaw otherFlaw = par2::SetFlaw::None;
};

std::vector<Damage> Damages() {
    using par2::SetFlaw;
    const auto length = [](const char* type, std::uint64_t value) {
        return [=](Md5&, Sample& s) { PutU64(s.bytes, s.packets[PacketOf(s, type)].first + 8, value); };
    };
    return {
        {"Sound", [](Md5&, Sample&) {}, {}},
        {"CutInTheLastPacket", [](Md5&, Sample& s) { s.bytes.resize(s.packets.back().first + 100); }, {true, 2, 2, 1}},
        {"CutInTheHeaderOfTheLast", [](Md5&, Sample& s) { s.bytes.resize(s.packets.back().first + 40); }, {true, 2, 2, 1}},
        {"AMainPacketWhoseLengthOverflows", length(par2::kMainType, ~std::uint64_t{3}), {false, 2, 2, 2}},
        {"ARecoveryPacketWhoseLengthOverflows", length(par2::kRecoveryType, ~std::uint64_t{3}), {true, 2, 2, 1}},
        {"ALengthBelowAHeader", length(par2::kFileType, 32), {true, 1, 2, 2}},
        {"ALengthOfZero", length(par2::kFileType, 0), {true, 1, 2, 2}},
        {"ALengthNotAMultipleOf4", length(par2::kChecksType, 13 * 4 + 2), {true, 2, 1, 2}},
        {"ALengthPastTheFileEnd", length(par2::kCreatorType, 1ull << 40), {}},
        {"ADescriptionWithAWrongPacketMd5", [](Md5&, Sample& s) { s.bytes[s.packets[PacketOf(s, par2::kFileType)].first + 70] ^= 1; },
         {true, 1, 2, 2}},
        {"ARecoveryBlockWithAWrongPacketMd5",
         [](Md5&, Sample& s) { s.bytes[s.packets.back().first + 200] ^= 1; }, {true, 2, 2, 1}},
        {"GarbageAndFalseMagicBeforeAndBetween",
         [](Md5&, Sample& s) {
             const std::string junk = std::string("PAR2\0PK", 7) + "xyz" + std::string("PAR2\0PKT", 8) + "\x01\x02\x03";
             s.bytes.insert(s.packets[2].first, junk);
             s.bytes.insert(0, junk);
         },
         {}},
        {"TheMagicInsideARecoveryBlock",
         [](Md5& md5, Sample& s) {
             const std::size_t at = s.packets.back().first;
             std::memcpy(&s.bytes[at + 300], "PAR2\0PKT", 8);
             Reseal(md5, s.bytes, at);
         },
         {}},
        {"ADescriptionWhoseNameWasChangedUnderASoundMd5",
         [](Md5& md5, Sample& s) {
             const std::size_t at = s.packets[PacketOf(s, par2::kFileType)].first;
             std::memcpy(&s.bytes[at + 64 + 56], "..\\x", 4);
             Reseal(md5, s.bytes, at);
         },
         {true, 1, 2, 2}},
        {"ADescriptionWhoseLengthWasChangedUnderASoundMd5",
         [](Md5& md5, Sample& s) {
             const std::size_t at = s.packets[PacketOf(s, par2::kFileType)].first;
             PutU64(s.bytes, at + 64 + 48, 1ull << 62);
             Reseal(md5, s.bytes, at);
         },
         {true, 1, 2, 2}},
        {"TwoSoundDescriptionsOfOneFileDiffer",
         [](Md5& md5, Sample& s) {
             par2::FileDescription other = s.files[0];
             other.md5[0] ^= 1;  // the file's MD5 is not in its ID
             s.bytes += par2::Packet(md5, s.set, par2::kFileType, par2::FileDescriptionBody(other));
         },
         {true, 2, 2, 2, SetFlaw::Conflicting}},
        {"TwoSoundChecksOfOneFileDiffer",
         [](Md5& md5, Sample& s) {
             std::vector<par2::SliceCheck> other = s.checks[1];
             other[0].crc ^= 1;
             s.bytes += par2::Packet(md5, s.set, par2::kChecksType, par2::SliceChecksBody(s.files[1].id, other));
         },
         {true, 2, 2, 2, SetFlaw::Conflicting}},
        {"ChecksOfAnOddSize",
         [](Md5& md5, Sample& s) {
             const std::size_t i = PacketOf(s, par2::kChecksType);
             std::string body = s.bytes.substr(s.packets[i].first + 64, s.packets[i].second - 64) + std::string(4, '\0');
             s.bytes.replace(s.packets[i].first, s.packets[i].second, par2::Packet(md5, s.set, par2::kChecksType, body));
         },
         {true, 2, 1, 2}},
        {"TwoSoundBlocksOfOneExponentDiffer",
         [](Md5& md5, Sample& s) { s.bytes += Recovery(md5, s.set, 1, kSlice, 'z'); },
         {true, 2, 2, 2, SetFlaw::Conflicting}},
        {"ABlockOfAnotherSliceSize",
         [](Md5& md5, Sample& s) { s.bytes += Recovery(md5, s.set, 7, kSlice / 2, 'z'); }, {}},
        // Blocks in a row are hashed many at a time: a bad one among them,
        // or one of another length, or garbage, costs only itself.
        {"ABadBlockAmongManyInARow",
         [](Md5& md5, Sample& s) {
             s = MakeSample(md5, kLongSlice);
             for (std::uint32_t e = 2; e < 20; ++e) {
                 std::string block = Recovery(md5, s.set, e, s.slice, static_cast<char>('a' + e));
                 if (e == 7) block[200] ^= 1;
                 s.bytes += block;
             }
         },
         {true, 2, 2, 19}},
        {"ABlockOfAnotherLengthAndGarbageInARow",
         [](Md5& md5, Sample& s) {
             s = MakeSample(md5, kLongSlice);
             for (std::uint32_t e = 2; e < 8; ++e) s.bytes += Recovery(md5, s.set, e, s.slice, 'p');
             s.bytes += Recovery(md5, s.set, 8, 2 * s.slice, 'q');
             s.bytes += std::string("PAR2\0PKT", 8) + std::string(100, 'g');
             for (std::uint32_t e = 9; e < 15; ++e) s.bytes += Recovery(md5, s.set, e, s.slice, 'r');
         },
         {true, 2, 2, 14}},
        {"ManyBlocksInARowTheLastCutShort",
         [](Md5& md5, Sample& s) {
             s = MakeSample(md5, kLongSlice);
             for (std::uint32_t e = 2; e < 40; ++e) s.bytes += Recovery(md5, s.set, e, s.slice, 's');
             s.bytes.resize(s.bytes.size() - 10);
         },
         {true, 2, 2, 39}},
        {"ABlockOfAnotherSetsId",
         [](Md5& md5, Sample& s) {
             par2::Hash other = s.set;
             other[0] ^= 1;
             s.bytes += Recovery(md5, other, 7, kSlice, 'z');
         },
         {}},
        {"AMainPacketCountingTwoBillionFiles",
         [](Md5& md5, Sample& s) {
             // Its own set: what it claims is checked against its length.
             std::string body = par2::MainBody(kSlice, {s.files[0].id});
             for (int b = 0; b < 4; ++b) body[8 + b] = b == 3 ? '\x80' : '\0';
             const par2::Hash set = par2::Md5Of(md5, body.data(), body.size());
             s.bytes.insert(0, par2::Packet(md5, set, par2::kMainType, body));
         },
         {}},
        {"AMainPacketOfMoreFilesThanTheFormatAllows",
         [](Md5& md5, Sample& s) {
             std::vector<par2::Hash> ids(40000);
             for (std::size_t i = 0; i < ids.size(); ++i) ids[i][0] = static_cast<unsigned char>(i), ids[i][1] = static_cast<unsigned char>(i >> 8);
             const std::string body = par2::MainBody(kSlice, ids);
             const par2::Hash set = par2::Md5Of(md5, body.data(), body.size());
             s.bytes.insert(0, par2::Packet(md5, set, par2::kMainType, body));
             // Under the sample's ID it is not its main packet: its MD5 is not the ID.
             s.bytes.insert(0, par2::Packet(md5, s.set, par2::kMainType, body));
         },
         {},
         par2::SetFlaw::TooLarge},
        {"AMainPacketWithASliceSizeOfZero",
         [](Md5& md5, Sample& s) {
             // A set whose ID is the MD5 of this main packet: sound, but of
             // no use. The sample's own set is read as ever.
             const std::string body = par2::MainBody(0, {s.files[0].id});
             const par2::Hash set = par2::Md5Of(md5, body.data(), body.size());
             s.bytes.insert(0, par2::Packet(md5, set, par2::kMainType, body));
         },
         {}},
        {"OnlyTheMagic", [](Md5&, Sample& s) { s.bytes = std::string("PAR2\0PKT", 8); }, {false, 0, 0, 0}},
        {"Empty", [](Md5&, Sample& s) { s.bytes.clear(); }, {false, 0, 0, 0}},
    };
}

class PacketDamage : public ::testing::TestWithParam<Damage> {};

TEST_P(PacketDamage, SoundPacketsAreTakenAndTheRestPassedOver) {
    fake::FakePlatform fs;
    const auto md5 = fs.NewMd5();
    Sample s = MakeSample(*md5);
    GetParam().make(*md5, s);
    fs.AddFile("C:\\a.bin.par2", Bytes(s.bytes.begin(), s.bytes.end()));
    const std::vector<par2::RecoverySet> sets = par2::ReadRecoveryFiles(fs, {"C:\\a.bin.par2"}, true, nullptr);
    const par2::RecoverySet* own = nullptr;
    for (const par2::RecoverySet& set : sets) {
        if (set.id == s.set) {
            own = &set;
            continue;
        }
        // A set made of hostile packets alone has nothing it can rebuild.
        EXPECT_TRUE(!set.hasMain || set.recovery.empty());
        EXPECT_EQ(set.flaw, GetParam().otherFlaw);
    }
    const Expect& e = GetParam().expect;
    if (!own) {
        EXPECT_FALSE(e.main || e.descriptions || e.checks || e.recovery);
        return;
    }
    EXPECT_EQ(own->hasMain, e.main);
    if (own->hasMain) {
        EXPECT_EQ(own->sliceSize, s.slice);
    }
    EXPECT_EQ(own->descriptions.size(), e.descriptions);
    EXPECT_EQ(own->checks.size(), e.checks);
    EXPECT_EQ(own->recovery.size(), e.main ? e.recovery : 0u);
    EXPECT_EQ(own->flaw, e.flaw);
    for (const par2::RecoverySlice& r : own->recovery) EXPECT_EQ(r.size, s.slice);
}

INSTANTIATE_TEST_SUITE_P(Par2Reader, PacketDamage, ::testing::ValuesIn(Damages()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
