#include <gtest/gtest.h>

#include "engine/FileErrors.h"
#include "engine/RejoinBatch.h"
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

TEST(RejoinBatch, WrittenInOneGoAndRemovedWhenCutShort) {
    fake::FakePlatform fs;
    fs.AddFolder("C:\\out");
    WriteRejoinBatch(fs, "C:\\out\\", "a.bin", 2);
    const std::string line = RejoinBatchLine("a.bin", 2);
    EXPECT_EQ(fs.Content("C:\\out\\Go.bat"), fake::Bytes(line.begin(), line.end()));

    fs.AddFault({fake::Op::Write, "Go.bat", 0, 10, 1});  // short write
    EXPECT_THROW(WriteRejoinBatch(fs, "C:\\out", "a.bin", 2), FileError);
    EXPECT_FALSE(fs.HasFile("C:\\out\\Go.bat"));
    EXPECT_EQ(fs.openHandles(), 0);
}

}  // namespace
