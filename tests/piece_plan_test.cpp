#include <gtest/gtest.h>

#include "engine/set/PiecePlan.h"
#include "engine/base/Texts.h"
#include "support/FakePlatform.h"
#include "support/TestName.h"

using namespace engine;

namespace {

struct PlanCase {
    std::uint64_t sourceSize;
    bool custom;
    std::string text;
    std::uint32_t unit;
    std::uint32_t preset;
    // expected
    const char* refusal;  // null: accepted (a refusal by ResolvePieceSize or CheckPieceSize)
    std::uint32_t pieceSize;
    std::uint32_t pieceCount;
    std::uint64_t lastPiece;
};

// Runs the plan the way a split does: resolve, then check against the source.
const char* Plan(const PlanCase& c, std::uint32_t& pieceSize, std::uint32_t& count) {
    SizeChoice choice;
    choice.custom = c.custom;
    choice.customText = c.text;
    choice.unit = c.unit;
    choice.presetBytes = c.preset;
    const PlanCheck resolved = ResolvePieceSize(choice, c.sourceSize, pieceSize);
    if (!resolved.ok) return resolved.message ? resolved.message : "(silent)";
    const PlanCheck fits = CheckPieceSize(c.sourceSize, pieceSize);
    if (!fits.ok) return fits.message;
    count = static_cast<std::uint32_t>(CountPieces(c.sourceSize, pieceSize));
    return nullptr;
}

const PlanCase kPlanCases[] = {
    {25000000, false, "", 1, kPreset10MB, nullptr, 10000000, 3, 5000000},
    {10000000, false, "", 1, kPresetFloppy, nullptr, 1457664, 7, 1254016},
    {1000000, true, "4", kUnitFiles, 0, nullptr, 250002, 4, 249994},
    {100, true, "7", kUnitFiles, 0, nullptr, 16, 7, 4},
    // As many pieces as asked for: two more than the quotient where that
    // gives them, else the smallest size that does, else a refusal.
    {9, true, "3", kUnitFiles, 0, nullptr, 3, 3, 3},
    {10, true, "3", kUnitFiles, 0, nullptr, 4, 3, 2},
    {4, true, "2", kUnitFiles, 0, nullptr, 2, 2, 2},
    {5, true, "2", kUnitFiles, 0, nullptr, 4, 2, 1},
    {2000001, true, "1000001", kUnitFiles, 0, nullptr, 2, 1000001, 1},
    {10, true, "6", kUnitFiles, 0, texts::kFilesNotExact, 0, 0, 0},
    {1000, true, "1", kUnitFiles, 0, texts::kChunkLarger, 1002, 0, 0},
    {10, true, "11", kUnitFiles, 0, texts::kCheckValues, 0, 0, 0},
    {10, true, "0", kUnitFiles, 0, texts::kVerifyValues, 0, 0, 0},
    {10, true, "abc", kUnitFiles, 0, texts::kVerifyValues, 0, 0, 0},
    {10, true, "", kUnitBytes, 0, "(silent)", 0, 0, 0},
    {10, true, "", kUnitFiles, 0, "(silent)", 0, 0, 0},
    {2000000, true, "1000", kUnitBytes, 0, nullptr, 1000, 2000, 1000},
    {2000000, true, "   +1000xyz", kUnitBytes, 0, nullptr, 1000, 2000, 1000},
    {3000000, true, "3", kUnitKB, 0, nullptr, 3000, 1000, 3000},
    {20000000, true, "7", kUnitMB, 0, nullptr, 7000000, 3, 6000000},
    {0, false, "", 1, kPresetFloppy, texts::kChunkLarger, 1457664, 0, 0},
    {1457664, false, "", 1, kPresetFloppy, texts::kChunkSame, 1457664, 0, 0},
    {100, true, "0", kUnitBytes, 0, texts::kChunkZero, 0, 0, 0},
    {100, true, "abc", kUnitKB, 0, texts::kChunkZero, 0, 0, 0},
    // Exactly two pieces, no empty third one.
    {20000000, false, "", 1, kPreset10MB, nullptr, 10000000, 2, 10000000},
    // 32-bit sizes near the top are counted without overflow.
    {0xFFFFFFFFull, false, "", 1, kPreset100MB, nullptr, 100000000, 43, 94967295},
    {0xFFFFFFFFull, true, "1", kUnitFiles, 0, texts::kChunkLarger, 0, 0, 0},
    // Products that do not fit 32 bits are refused, never wrapped.
    {0xFFFFFFFFull, true, "5000", kUnitMB, 0, texts::kCheckValues, 0, 0, 0},
    {0xFFFFFFFFull, true, "4294967296", kUnitBytes, 0, texts::kCheckValues, 0, 0, 0},
    {0xFFFFFFFFull, true, "4294968", kUnitKB, 0, texts::kCheckValues, 0, 0, 0},
    {0xFFFFFFFFull, true, "4294967", kUnitKB, 0, nullptr, 4294967000u, 2, 295},
    // Sources of 4 GiB and more are planned in 64 bits.
    {5ull << 30, false, "", 1, kPresetFat32, nullptr, 0xFFFFFFFFu, 2, (5ull << 30) - 0xFFFFFFFFull},
    {1ull << 40, true, "1000", kUnitFiles, 0, nullptr, 1099511629u, 1000, 1099510405u},
    {10ull << 30, true, "2", kUnitFiles, 0, texts::kCheckValues, 0, 0, 0},
    // Decimals in KB and MB, in whole bytes; bytes and file counts are whole.
    {3000000, true, "1.5", kUnitMB, 0, nullptr, 1500000, 2, 1500000},
    {3000000, true, " .25 ", kUnitMB, 0, nullptr, 250000, 12, 250000},
    {3000000, true, "2.", kUnitKB, 0, nullptr, 2000, 1500, 2000},
    {3000000, true, "1.500", kUnitKB, 0, nullptr, 1500, 2000, 1500},
    {3000000, true, "1.0000005", kUnitMB, 0, texts::kCheckValues, 0, 0, 0},
    {0xFFFFFFFFull, true, "4294.967296", kUnitMB, 0, texts::kCheckValues, 0, 0, 0},
    {3000000, true, "1.5", kUnitBytes, 0, texts::kWholeNumber, 0, 0, 0},
    {3000000, true, "2.5", kUnitFiles, 0, texts::kWholeNumber, 0, 0, 0},
    {3000000, true, "1.5.2", kUnitMB, 0, texts::kCheckValues, 0, 0, 0},
    // A negative value is taken as unsigned: larger than any source.
    {1000, true, "-5", kUnitBytes, 0, texts::kChunkLarger, 4294967291u, 0, 0},
};

class PiecePlanCase : public ::testing::TestWithParam<PlanCase> {};

TEST_P(PiecePlanCase, ResolvesChecksAndCounts) {
    const PlanCase& c = GetParam();
    std::uint32_t pieceSize = 0, count = 0;
    const char* refusal = Plan(c, pieceSize, count);
    if (c.refusal) {
        ASSERT_NE(refusal, nullptr);
        EXPECT_STREQ(refusal, c.refusal);
        if (c.pieceSize) {
            EXPECT_EQ(pieceSize, c.pieceSize);
        }
        return;
    }
    ASSERT_EQ(refusal, nullptr) << refusal;
    EXPECT_EQ(pieceSize, c.pieceSize);
    EXPECT_EQ(count, c.pieceCount);
    const std::uint64_t last = c.sourceSize - std::uint64_t{count - 1} * pieceSize;
    EXPECT_EQ(last, c.lastPiece);
}

std::string PlanName(const ::testing::TestParamInfo<PlanCase>& info) {
    const PlanCase& c = info.param;
    const char* unit = !c.custom ? "Preset" : c.unit == kUnitFiles ? "Files" : c.unit == kUnitMB ? "MB" : c.unit == kUnitKB ? "KB" : "Bytes";
    return support::TestName(std::to_string(c.sourceSize) + " bytes " + unit + " " +
                             (c.custom ? c.text : std::to_string(c.preset))) + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(PiecePlan, PiecePlanCase, ::testing::ValuesIn(kPlanCases), PlanName);

TEST(PiecePlan, BufferLoads) {
    const struct {
        std::uint32_t pieceSize, bufferSize, fills;
    } cases[] = {
        {1457664, 1457664, 1}, {3000000, 3000000, 1}, {3000001, 3000000, 2},
        {10000000, 3000000, 4}, {100000000, 3000000, 34}, {0xFFFFFFFFu, 3000000, 1432},
    };
    for (const auto& c : cases) {
        const BufferPlan plan = PlanBuffers(c.pieceSize);
        EXPECT_EQ(plan.bufferSize, c.bufferSize) << c.pieceSize;
        EXPECT_EQ(plan.loadsPerPiece, c.fills) << c.pieceSize;
    }
}

TEST(PiecePlan, ParsesLikeASignedDecimal) {
    const struct {
        const char* text;
        std::uint32_t value;
        bool overflow;
    } cases[] = {
        {"", 0, false},          {"  \t42", 42, false},       {"+7", 7, false},
        {"-1", 0xFFFFFFFFu, false}, {"12abc34", 12, false},   {"--3", 0, false},
        {"4294967295", 0xFFFFFFFFu, false}, {"4294967296", 0xFFFFFFFFu, true},
        {"99999999999999999999999", 0xFFFFFFFFu, true},   {"-2147483648", 0x80000000u, false},
        {"-2147483649", 0x7FFFFFFFu, true},
    };
    for (const auto& c : cases) {
        const ParsedSize parsed = ParseCustomText(c.text);
        EXPECT_EQ(parsed.overflow, c.overflow) << c.text;
        if (!c.overflow) {
            EXPECT_EQ(parsed.value, c.value) << c.text;
        }
    }
}

TEST(PiecePlan, NamesFollowTheFolderRule) {
    fake::FakePlatform fs;
    const struct {
        const char* folder;
        const char* piece0;
        const char* info;
        const char* batch;
    } cases[] = {
        {"E:\\parts", "E:\\parts\\movie.avi.0.spl", "E:\\parts\\movie.avi.sio", "E:\\parts\\Go.bat"},
        {"E:\\parts\\", "E:\\parts\\\\movie.avi.0.spl", "E:\\parts\\\\movie.avi.sio", "E:\\parts\\Go.bat"},
        {"C:", "C:\\movie.avi.0.spl", "C:\\movie.avi.sio", "C:\\Go.bat"},
        {"C:\\", "C:\\movie.avi.0.spl", "C:\\movie.avi.sio", "C:\\Go.bat"},
        {"\\\\server\\share", "\\\\server\\share\\movie.avi.0.spl", "\\\\server\\share\\movie.avi.sio",
         "\\\\server\\share\\Go.bat"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PieceName(fs, c.folder, "movie.avi", 0), c.piece0);
        EXPECT_EQ(InfoPath(fs, c.folder, "movie.avi"), c.info);
        EXPECT_EQ(BatchFileName(fs, c.folder), c.batch);
    }
    EXPECT_EQ(PieceName(fs, "E:\\parts", "README", 11), "E:\\parts\\README.11.spl");
    EXPECT_EQ(FileNamePart(fs, "D:\\video\\movie.avi"), "movie.avi");
    EXPECT_EQ(FileNamePart(fs, "movie.avi"), "movie.avi");
}

}  // namespace

#include "engine/ops/RunJob.h"

namespace {

TEST(Progress, PercentOfAnySize) {
    EXPECT_EQ(engine::Percent(50000000, 100000000), 50);
    EXPECT_EQ(engine::Percent(0xFFFFFFFFull, 5ull << 30), 79);
    EXPECT_EQ(engine::Percent(1ull << 62, 1ull << 63), 50);
    EXPECT_EQ(engine::Percent(~0ull - 1, ~0ull), 99);
    EXPECT_EQ(engine::Percent(7, 0), 100);
    EXPECT_EQ(engine::ProgressText(1, 4294967296ull), "Processed: 1\nRemaining: 4294967296");
}

}  // namespace
