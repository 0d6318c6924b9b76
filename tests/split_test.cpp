#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/RejoinBatch.h"
#include "engine/SplitInfo.h"
#include "engine/Texts.h"
#include "support/SplitFixture.h"

using namespace engine;
using fake::Bytes;

namespace {

class Split : public fake::SplitFixture {};

TEST_F(Split, CutsThePlanAndWritesInfoAndBatch) {
    Source(25000000);
    Preset(kPreset10MB);
    ASSERT_EQ(RunSplit(), Outcome::Completed);

    for (auto [i, size] : {std::pair{0u, 10000000u}, {1u, 10000000u}, {2u, 5000000u}}) {
        EXPECT_EQ(fs.Content(Piece(i)).size(), size) << i;
    }
    EXPECT_FALSE(fs.HasFile(Piece(3)));
    EXPECT_EQ(Joined(3), source);
    const auto info = EncodeSplitInfo({3, "movie.avi", 25000000});
    EXPECT_EQ(fs.Content(Info()), Bytes(info.begin(), info.end()));
    const std::string line = RejoinBatchLine("movie.avi", 3);
    EXPECT_EQ(fs.Content("E:\\parts\\Go.bat"), Bytes(line.begin(), line.end()));
    EXPECT_EQ(fs.Content(r.sourcePath), source);

    EXPECT_EQ(host.notices, 1);
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(host.progressStep, 10);
    ASSERT_FALSE(host.progressTexts.empty());
    EXPECT_EQ(host.progressTexts.front(), "Processed: 1\nRemaining: 2");
    EXPECT_EQ(host.progressTexts.back(), "Processed: 3\nRemaining: 0");
    // Four loads each for pieces 0 and 1, two for piece 2, then 100 at the end.
    EXPECT_EQ(host.progress, (std::vector<int>{12, 24, 36, 40, 52, 64, 76, 80, 92, 100, 100}));
    EXPECT_EQ(host.statusRefreshes, std::vector<int>{1});
    ExpectIdle();
}

TEST_F(Split, FinalPieceInOneLoadAndCustomSizeCleared) {
    Source(10000000);
    Custom("1457664", kUnitBytes);
    ASSERT_EQ(RunSplit(), Outcome::Completed);
    EXPECT_EQ(fs.Content(Piece(6)).size(), 1254016u);
    EXPECT_FALSE(fs.HasFile(Piece(7)));
    EXPECT_EQ(Joined(7), source);
    EXPECT_EQ(host.progressTexts.size(), 6u);  // the last piece reports nothing of its own
    EXPECT_FALSE(r.customSize);
    EXPECT_FALSE(host.customSizeVisible);
    EXPECT_EQ(r.pieceSize, 1457664u);
}

TEST_F(Split, ProgressDoesNotWrapOnLargeSources) {
    Source(100000000);
    Preset(kPreset10MB);
    ASSERT_EQ(RunSplit(), Outcome::Completed);
    EXPECT_NE(std::find(host.progress.begin(), host.progress.end(), 50), host.progress.end());
    EXPECT_TRUE(std::is_sorted(host.progress.begin(), host.progress.end()));
    EXPECT_EQ(Joined(10), source);
}

struct Refusal {
    const char* what;
    std::function<void(fake::SplitCase&)> arrange;
    const char* message;  // null: no message at all
    bool infoCreated;     // the info file had been created and must be gone again
};

TEST(SplitRefusal, EachRefusalTellsWhyAndLeavesNothing) {
    const Refusal refusals[] = {
        {"empty custom field", [](auto& f) { f.Source(100); f.Custom("", kUnitKB); }, nullptr, false},
        {"zero files", [](auto& f) { f.Source(100); f.Custom("0", kUnitFiles); }, texts::kVerifyValues, false},
        {"more files than bytes", [](auto& f) { f.Source(10); f.Custom("11", kUnitFiles); }, texts::kCheckValues, false},
        {"5000 MB", [](auto& f) { f.Source(100); f.Custom("5000", kUnitMB); }, texts::kCheckValues, false},
        {"4 GiB source", [](auto& f) { f.Source(10); f.r.sourceSize = 0x100000000ull; }, texts::kSourceTooLarge, false},
        {"name of 260 bytes", [](auto& f) { f.Source(100, std::string(260, 'n')); f.Preset(10); }, texts::kNameTooLong, false},
        {"empty source path", [](auto& f) { f.Source(100); f.Preset(10); f.r.sourcePath.clear(); }, texts::kNameEmpty, false},
        {"empty destination", [](auto& f) { f.Source(100); f.Preset(10); f.r.destinationFolder.clear(); }, texts::kNameEmpty, false},
        {"free space unknown", [](auto& f) { f.Source(100); f.Preset(10); f.fs.drive('E').freeSpaceFails = true; }, texts::kNoDiskInfo, false},
        {"less room than a piece", [](auto& f) { f.Source(5000); f.Preset(2000); f.fs.drive('E').freeBytes = 1999; }, texts::kNotEnoughSpace, false},
        {"source as long as piece", [](auto& f) { f.Source(1457664); f.Preset(kPresetFloppy); }, texts::kChunkSame, true},
        {"source shorter than piece", [](auto& f) { f.Source(0); f.Preset(kPresetFloppy); }, texts::kChunkLarger, true},
        {"one file", [](auto& f) { f.Source(1000); f.Custom("1", kUnitFiles); }, texts::kChunkLarger, true},
        {"zero bytes", [](auto& f) { f.Source(1000); f.Custom("0", kUnitBytes); }, texts::kChunkZero, true},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        fake::SplitCase f;
        refusal.arrange(f);
        const Bytes before = f.fs.Content(f.r.sourcePath.empty() ? "D:\\video\\movie.avi" : f.r.sourcePath);
        EXPECT_EQ(f.RunSplit(), Outcome::Stopped);
        if (refusal.message) {
            ASSERT_EQ(f.host.texts(), std::vector<std::string>{refusal.message});
        } else {
            EXPECT_TRUE(f.host.boxes.empty());
        }
        EXPECT_EQ(f.host.notices, 0);
        EXPECT_TRUE(f.fs.FilesUnder("E:\\").empty());
        EXPECT_EQ(f.fs.Content(f.r.sourcePath.empty() ? "D:\\video\\movie.avi" : f.r.sourcePath), before);
        f.ExpectIdle();
    }
}

TEST_F(Split, SourceLockedByAnotherProgram) {
    Source(100);
    Preset(10);
    std::unique_ptr<File> locker;
    ASSERT_EQ(fs.Open(r.sourcePath, {Access::ReadWrite, Share::None, Creation::OpenExisting, false}, locker), 0u);
    EXPECT_EQ(RunSplit(), Outcome::Stopped);
    EXPECT_EQ(host.texts(), std::vector<std::string>{"Error readingD:\\video\\movie.avi"});
    EXPECT_TRUE(fs.FilesUnder("E:\\").empty());
    locker.reset();
    ExpectIdle();
}

TEST_F(Split, InfoFileCreationIsRetriedOnRequest) {
    Source(100);
    Preset(40);
    fs.AddFault({fake::Op::Open, ".sio", err::kNotReady, 0, 2});
    ASSERT_EQ(RunSplit(), Outcome::Completed);
    const std::string question = "Operations on drive E:\\parts fixed media (or Network drive) unsuccessful\n";
    EXPECT_EQ(host.texts(), (std::vector<std::string>{
                                "Device not ready \n Press OK after inserting the disk", question,
                                "Device not ready \n Press OK after inserting the disk", question}));
    EXPECT_EQ(Joined(3), source);
}

TEST_F(Split, GivingUpOnTheInfoFileWritesNothing) {
    Source(100);
    Preset(40);
    fs.AddFault({fake::Op::Open, ".sio", err::kAccessDenied, 0, -1});
    host.answer = [](const fake::Box&) { return Answer::Cancel; };
    EXPECT_EQ(RunSplit(), Outcome::Stopped);
    // Access denied has no message of its own: only the question.
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].caption, "Continue?");
    EXPECT_TRUE(fs.FilesUnder("E:\\").empty());
    EXPECT_TRUE(r.driveProblemReported);
    ExpectIdle();
}

TEST_F(Split, GivingUpOnAPieceKeepsWhatWasWritten) {
    Source(100);
    Preset(40);
    fs.AddFault({fake::Op::Open, ".1.spl", err::kSharingViolation, 0, -1});
    host.answer = [](const fake::Box& box) {
        return box.caption == "Continue?" ? Answer::Cancel : Answer::Ok;
    };
    EXPECT_EQ(RunSplit(), Outcome::Stopped);
    EXPECT_EQ(host.boxes.size(), 2u);
    EXPECT_EQ(host.boxes[0].text,
              "The file is being used by other process\n Press OK after completing that operation");
    EXPECT_TRUE(fs.HasFile(Info()));
    EXPECT_TRUE(fs.HasFile(Piece(0)));
    EXPECT_EQ(host.notices, 0);
    ExpectIdle();
}

struct CopyFault {
    const char* what;
    fake::Fault fault;
    const char* text;  // with P for the file concerned
    bool onSource;
};

TEST(SplitCopyFailure, EndsWithoutSuccessAndRemovesTheOutput) {
    const CopyFault faults[] = {
        {"read fault", {fake::Op::Read, "movie.avi", err::kReadFault, 4500000, 1},
         "A hardware I/O error was reported while accessing P.", true},
        {"access denied on a piece", {fake::Op::Write, ".1.spl", err::kAccessDenied, 100, 1},
         "Access to P was denied.", false},
        {"sharing violation on a piece", {fake::Op::Write, ".2.spl", err::kSharingViolation, 0, 1},
         "A sharing violation occurred while accessing P.", false},
        {"lock violation in the final piece", {fake::Op::Write, ".3.spl", err::kLockViolation, 0, 1},
         "A locking violation occurred while accessing P.", false},
    };
    for (const CopyFault& c : faults) {
        SCOPED_TRACE(c.what);
        fake::SplitCase f;
        f.Source(10000000);
        f.Preset(3000000);
        f.fs.AddFault(c.fault);
        EXPECT_EQ(f.RunSplit(), Outcome::Failed);
        const std::string path = c.onSource ? f.r.sourcePath
                                            : "E:\\parts\\movie.avi" + std::string(c.fault.pathPart);
        std::string text = c.text;
        text.replace(text.find('P'), 1, path);
        EXPECT_EQ(f.host.texts(), std::vector<std::string>{text});
        EXPECT_EQ(f.host.notices, 0);
        // Go.bat stays (it names only the source), everything else is gone.
        EXPECT_EQ(f.fs.FilesUnder("E:\\"), std::vector<std::string>{"E:\\PARTS\\GO.BAT"});
        EXPECT_EQ(f.fs.Content(f.r.sourcePath), f.source);
        f.ExpectIdle();
    }
}

TEST_F(Split, FailureWritingTheInfoFileIsReported) {
    Source(100);
    Preset(40);
    fs.AddFault({fake::Op::Write, ".sio", err::kWriteFault, 0, 1});
    EXPECT_EQ(RunSplit(), Outcome::Failed);
    EXPECT_EQ(host.texts(), std::vector<std::string>{
                                "A hardware I/O error was reported while accessing E:\\parts\\movie.avi.sio."});
    EXPECT_TRUE(fs.FilesUnder("E:\\").empty());
    EXPECT_EQ(host.notices, 0);
    ExpectIdle();
}

TEST_F(Split, ASourceThatShrankIsNotReportedAsSuccess) {
    Source(100);
    Preset(40);
    r.sourceSize = 130;  // measured before another program cut the file
    EXPECT_EQ(RunSplit(), Outcome::Failed);
    EXPECT_EQ(host.texts(), std::vector<std::string>{
                                "An attempt was made to access D:\\video\\movie.avi past its end."});
    EXPECT_EQ(fs.FilesUnder("E:\\"), std::vector<std::string>{"E:\\PARTS\\GO.BAT"});
}

class StopAfter : public Checkpoint {
public:
    explicit StopAfter(int calls) : left_(calls) {}
    bool ShouldStop() override { return left_-- <= 0; }

private:
    int left_;
};

TEST_F(Split, CheckpointStopsBetweenLoads) {
    Source(25000000);
    Preset(kPreset10MB);
    StopAfter stop(6);  // piece 0 (1 + 4 loads), then piece 1 starts
    checkpoint = &stop;
    EXPECT_EQ(RunSplit(), Outcome::Cancelled);
    EXPECT_EQ(r.currentPiece, 1u);
    EXPECT_TRUE(r.pieceOpen());  // the canceller closes and deletes
    OperationContext ctx{r, fs, host, settings, nullptr};
    ResetOperationState(ctx);
    DiscardSplitOutput(ctx);
    EXPECT_EQ(fs.FilesUnder("E:\\"), std::vector<std::string>{"E:\\PARTS\\GO.BAT"});
    ExpectIdle();
}

}  // namespace
