#include <gtest/gtest.h>

#include "engine/set/RejoinBatch.h"
#include "support/FakePlatform.h"

using namespace engine;

namespace {

TEST(RejoinBatch, OneQuotedCopyLine) {
    const struct {
        const char* name;
        std::uint32_t pieces;
        std::string line;
    } cases[] = {
        {"movie.avi", 3,
         "copy /B \"movie.avi.0.spl\" /B+ \"movie.avi.1.spl\" /B+ \"movie.avi.2.spl\" /B "
         "\"movie.avi\" /B\r\n"},
        {"README", 2, "copy /B \"README.0.spl\" /B+ \"README.1.spl\" /B \"README\" /B\r\n"},
        {"my file.txt", 2,
         "copy /B \"my file.txt.0.spl\" /B+ \"my file.txt.1.spl\" /B \"my file.txt\" /B\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(RejoinBatchLine(c.name, c.pieces), c.line);

    std::string twelve = RejoinBatchLine("x", 12);
    std::string expected = "copy /B ";
    for (int i = 0; i < 12; ++i) {
        expected += "\"x." + std::to_string(i) + ".spl\" /B";
        expected += i < 11 ? "+ " : "";
    }
    EXPECT_EQ(twelve, expected + " \"x\" /B\r\n");
}

TEST(RejoinBatch, PercentSignsAreDoubledForCmd) {
    EXPECT_EQ(RejoinBatchLine("100%.txt", 2),
              "copy /B \"100%%.txt.0.spl\" /B+ \"100%%.txt.1.spl\" /B \"100%%.txt\" /B\r\n");
    // Inside quotes cmd takes & and friends as they are.
    EXPECT_EQ(RejoinBatchLine("a&b.txt", 2),
              "copy /B \"a&b.txt.0.spl\" /B+ \"a&b.txt.1.spl\" /B \"a&b.txt\" /B\r\n");
}

TEST(RejoinBatch, ASetThatFitsOneLineKeepsTheOneLineForm) {
    for (std::uint64_t pieces : {2u, 12u, 300u}) {
        EXPECT_EQ(RejoinBatchText("movie.avi", pieces), RejoinBatchLine("movie.avi", pieces));
    }
}

TEST(RejoinBatch, LongSetsAppendInOrderOnLinesWithinCmdsLimit) {
    const std::string name = std::string(200, 'n') + "%.bin";
    const std::string text = RejoinBatchText(name, 1000);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_GT(lines.size(), 1u);
    const std::string quotedName = "\"" + std::string(200, 'n') + "%%.bin\"";
    std::uint64_t next = 0;
    for (std::size_t l = 0; l < lines.size(); ++l) {
        SCOPED_TRACE(l);
        const std::string& line = lines[l];
        EXPECT_LE(line.size(), kBatchLineLimit);
        EXPECT_EQ(line.compare(0, 8, "copy /B "), 0);
        EXPECT_EQ(line.substr(line.size() - quotedName.size() - 4), " " + quotedName + " /B");
        // Every line after the first starts from what the lines before made.
        if (l > 0) {
            EXPECT_EQ(line.compare(8, quotedName.size(), quotedName), 0);
        }
        for (std::size_t at = line.find(".spl"); at != std::string::npos; at = line.find(".spl", at + 1)) {
            const std::size_t dot = line.rfind('.', at - 1);
            EXPECT_EQ(line.substr(dot + 1, at - dot - 1), std::to_string(next));
            ++next;
        }
    }
    EXPECT_EQ(next, 1000u);
}

TEST(RejoinBatch, EncodedForCmd) {
    fake::FakePlatform fs;
    EXPECT_EQ(EncodeBatch(fs, "copy /B \"a\"\r\n"), "copy /B \"a\"\r\n");
    EXPECT_EQ(EncodeBatch(fs, "copy /B \"\xe2\x82\xac\"\r\n"), "chcp 65001 >nul\r\ncopy /B \"\xe2\x82\xac\"\r\n");
    EXPECT_TRUE(BatchRejoins(fs, RejoinBatchText("x.bin", 3), "x.bin"));
    EXPECT_TRUE(BatchRejoins(fs, EncodeBatch(fs, RejoinBatchText("\xe2\x82\xac.bin", 3)), "\xe2\x82\xac.bin"));
    EXPECT_FALSE(BatchRejoins(fs, RejoinBatchText("y.bin", 3), "x.bin"));
}

}  // namespace
