#include <gtest/gtest.h>

#include "engine/FileErrors.h"
#include "engine/SplitInfo.h"
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
