#include <gtest/gtest.h>

#include "engine/FileErrors.h"
#include "engine/RejoinBatch.h"
#include "engine/SplitInfo.h"
#include "engine/StartChecks.h"
#include "engine/Texts.h"
#include "support/SplitFixture.h"

using namespace engine;
using support::Bytes;

namespace {

// A split onto floppy disks in A:, where the user swaps disks when asked.
class Spanning : public support::SplitFixture {
protected:
    void SetUp() override {
        SplitFixture::SetUp();
        fs.drive('A').type = DriveType::Removable;
        fs.drive('A').freeBytes = 1000;
        request.destinationText = "A:\\";
        host.answer = [this](const fake::Box& box) {
            if (box.question != Question::NextDisk) return Answer::Ok;
            ++prompts;
            if (prompts > cancelAtPrompt) return Answer::Cancel;
            if (!keepSameDisk) disks.push_back(fs.SwapDisk('A', prompts < 5 ? nextDiskFree : 1000000));
            keepSameDisk = false;
            return Answer::Ok;
        };
    }

    // The bytes of one file name over all disks, in the order they were filled.
    Bytes Across(const std::string& name) {
        Bytes all;
        disks.push_back(fs.SwapDisk('A', 0));
        for (auto& disk : disks) {
            auto it = disk.find(name);
            if (it != disk.end()) all.insert(all.end(), it->second.begin(), it->second.end());
        }
        return all;
    }

    // Bytes the info file and Go.bat take on the first disk.
    std::size_t FirstDiskOverhead(std::uint32_t pieceSize = 400) {
        SetInfo set;
        set.name = sourceName;
        set.size = source.size();
        set.pieceCount = static_cast<std::uint32_t>((source.size() + pieceSize - 1) / pieceSize);
        set.pieceSize = pieceSize;
        return EncodeInfoFile(set, fs).size() + RejoinBatchLine(sourceName, set.pieceCount).size();
    }

    int prompts = 0;
    int cancelAtPrompt = 1000;
    bool keepSameDisk = false;
    std::uint64_t nextDiskFree = 1000000;
    std::vector<std::map<std::string, Bytes>> disks;
};

TEST_F(Spanning, AFullDiskContinuesThePieceOnTheNext) {
    Source(1000);
    Preset(400);
    // Info file and Go.bat take room on the first disk: piece 1 is cut there.
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(prompts, 1);
    EXPECT_EQ(host.notices, 1);
    ASSERT_EQ(disks.size(), 1u);
    EXPECT_TRUE(disks[0].count("A:\\MOVIE.AVI.SIO"));
    EXPECT_TRUE(disks[0].count("A:\\GO.BAT"));
    const std::size_t firstPart = 1000 - FirstDiskOverhead() - 400;
    EXPECT_EQ(disks[0]["A:\\MOVIE.AVI.1.SPL"].size(), firstPart);
    // The info file with every checksum is on the last disk.
    const SetInfo last = DecodeInfoFile(fs.Content("A:\\movie.avi.sio"), fs, "A:\\movie.avi.sio");
    EXPECT_TRUE(last.hasChecksums);
    EXPECT_FALSE(DecodeInfoFile(disks[0]["A:\\MOVIE.AVI.SIO"], fs, "first").hasChecksums);
    EXPECT_EQ(last.pieces[1], ChecksumOf(source.data() + 400, 400));
    Bytes joined = Across("A:\\MOVIE.AVI.0.SPL");
    for (const char* name : {"A:\\MOVIE.AVI.1.SPL", "A:\\MOVIE.AVI.2.SPL"}) {
        const Bytes part = Across(name);
        joined.insert(joined.end(), part.begin(), part.end());
    }
    EXPECT_EQ(joined, source);
    ExpectIdle();
}

TEST_F(Spanning, TheLastPieceMayBeCutToo) {
    Source(1000);
    Preset(600);
    fs.drive('A').freeBytes = FirstDiskOverhead(600) + 600 + 50;
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(prompts, 1);
    EXPECT_EQ(Across("A:\\MOVIE.AVI.1.SPL"), Bytes(source.begin() + 600, source.end()));
}

TEST_F(Spanning, ANewDiskThatIsFullTooAsksAgain) {
    Source(1000);
    Preset(400);
    nextDiskFree = 150;  // four small disks, then a large one
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(prompts, 5);
    Bytes joined;
    for (const char* name : {"A:\\MOVIE.AVI.0.SPL", "A:\\MOVIE.AVI.1.SPL", "A:\\MOVIE.AVI.2.SPL"}) {
        const Bytes part = Across(name);
        joined.insert(joined.end(), part.begin(), part.end());
    }
    EXPECT_EQ(joined, source);
}

TEST_F(Spanning, OkWithTheFullDiskStillThereAsksAgainAndKeepsItsBytes) {
    Source(1000);
    Preset(400);
    keepSameDisk = true;  // the first OK comes before the disk is swapped
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(prompts, 2);
    const std::vector<std::string> texts = host.texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), texts::kSameDisk), 1);
    const std::size_t firstPart = 1000 - FirstDiskOverhead() - 400;
    EXPECT_EQ(disks[0]["A:\\MOVIE.AVI.1.SPL"].size(), firstPart);
    EXPECT_EQ(disks[0]["A:\\MOVIE.AVI.1.SPL"], Bytes(source.begin() + 400, source.begin() + 400 + firstPart));
}

TEST_F(Spanning, DriveNotReadyWhileWriting) {
    Source(1000);
    Preset(400);
    fs.drive('A').freeBytes = 100000;
    fs.AddFault({fake::Op::Write, ".1.spl", err::kNotReady, 0, 1});
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(host.texts(), (std::vector<std::string>{texts::kDiskNotInserted, texts::kInsertDisk}));
    EXPECT_EQ(host.boxes[1].caption, "Inset new disk");
    EXPECT_EQ(host.boxes[1].buttons, Buttons::OkCancel);
}

// A file larger than a disk is what spanning is for: the first disk needs
// room for the info file, Go.bat and a first byte, the next disks take the
// rest.
TEST_F(Spanning, AFileLargerThanADiskSpansDisksAndTheFirstMustHoldItsStart) {
    Source(5000);
    Preset(2000);
    fs.drive('A').freeBytes = FirstDiskOverhead(2000);
    EXPECT_EQ(Run(), Outcome::Stopped);
    EXPECT_EQ(host.texts(), std::vector<std::string>{texts::kNoRoomForSource});
    EXPECT_TRUE(fs.FilesUnder("A:\\").empty());

    host.boxes.clear();
    fs.drive('A').freeBytes = FirstDiskOverhead(2000) + 1;
    nextDiskFree = 1500;
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(prompts, 4);
    Bytes joined;
    for (const char* name : {"A:\\MOVIE.AVI.0.SPL", "A:\\MOVIE.AVI.1.SPL", "A:\\MOVIE.AVI.2.SPL"}) {
        const Bytes part = Across(name);
        joined.insert(joined.end(), part.begin(), part.end());
    }
    EXPECT_EQ(joined, source);
}

TEST_F(Spanning, CancelAtThePromptRemovesOnlyWhatThisRunWroteOnTheDisk) {
    for (bool removeSetting : {false, true}) {
        SCOPED_TRACE(removeSetting);
        support::SplitCase f;
        f.fs.drive('A').type = DriveType::Removable;
        f.fs.drive('A').freeBytes = 1000;
        f.request.destinationText = "A:\\";
        f.settings.removeSplitFilesAfterRejoin = removeSetting;
        f.fs.AddFile("A:\\letter.txt", {1, 2, 3});
        f.host.answer = [](const fake::Box& box) {
            return box.question == Question::NextDisk ? Answer::Cancel : Answer::Ok;
        };
        f.Source(900);
        f.Preset(300);
        EXPECT_EQ(f.Run(), Outcome::Stopped);
        EXPECT_EQ(f.host.notices, 0);
        EXPECT_EQ(f.fs.FilesUnder("A:\\"), std::vector<std::string>{"A:\\LETTER.TXT"});
        f.ExpectIdle();
    }
}

// The erase is the split's first step: on a removable disk everything in
// the destination goes (or the split ends on the first file that cannot go,
// with that file's failure); on any other drive nothing does.
TEST(EraseRemovableFolder, EmptiesOnlyRemovableFoldersAndStopsAtWhatCannotGo) {
    const struct {
        const char* what;
        const char* folder;
        DriveType type;
        bool readOnlyFile;
        Outcome outcome;
        std::vector<std::string> left;  // besides the new set
    } cases[] = {
        {"whole floppy", "A:\\", DriveType::Removable, false, Outcome::Completed, {}},
        {"folder on floppy", "A:\\parts", DriveType::Removable, false, Outcome::Completed,
         {"A:\\A.TXT", "A:\\KEEP\\RO.TXT"}},
        // The erase stops at it: what comes after it in the folder stays.
        {"a file that cannot go", "A:\\", DriveType::Removable, true, Outcome::Failed,
         {"A:\\KEEP\\RO.TXT", "A:\\PARTS\\B.SPL", "A:\\PARTS\\SUB\\C.SPL"}},
        {"fixed disk", "A:\\", DriveType::Fixed, false, Outcome::Completed,
         {"A:\\A.TXT", "A:\\KEEP\\RO.TXT", "A:\\PARTS\\B.SPL", "A:\\PARTS\\SUB\\C.SPL"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        support::SplitCase f;
        f.fs.drive('A').type = c.type;
        f.settings.eraseRemovableBeforeSplit = true;
        f.fs.AddFile("A:\\a.txt", {1});
        f.fs.AddFile("A:\\keep\\ro.txt", {1}, c.readOnlyFile);
        f.fs.AddFile("A:\\parts\\b.spl", {1});
        f.fs.AddFile("A:\\parts\\sub\\c.spl", {1});
        f.Source(900);
        f.Preset(300);
        f.request.destinationText = c.folder;
        EXPECT_EQ(f.Run(), c.outcome);
        std::vector<std::string> left;
        for (const std::string& path : f.fs.FilesUnder("A:\\")) {
            if (path.find("MOVIE.AVI") == std::string::npos && path.find("GO.BAT") == std::string::npos) left.push_back(path);
        }
        EXPECT_EQ(left, c.left);
        if (c.readOnlyFile) {
            EXPECT_EQ(f.host.texts().back(), StandardFileText(FileCause::AccessDenied, "A:\\keep\\ro.txt"));
        }
        EXPECT_TRUE(f.fs.IsFolder(c.folder));
        EXPECT_EQ(f.fs.IsFolder("A:\\parts\\sub"), c.type != DriveType::Removable || c.readOnlyFile);
        f.ExpectIdle();
    }
}

TEST(EraseRemovableFolder, NeverTakesTheSource) {
    for (const char* destination : {"A:\\", "A:\\films"}) {
        SCOPED_TRACE(destination);
        support::SplitCase f;
        f.fs.drive('A').type = DriveType::Removable;
        f.settings.eraseRemovableBeforeSplit = true;
        f.source = support::Pattern(5000);
        f.sourceName = "movie.avi";
        f.sourcePath = "A:\\films\\movie.avi";
        f.fs.AddFile(f.sourcePath, f.source);
        f.fs.AddFile("A:\\films\\other.txt", {1});
        f.request.sourceText = f.sourcePath;
        f.request.destinationText = destination;
        f.Preset(2000);
        EXPECT_EQ(f.Run(), Outcome::Stopped);
        EXPECT_EQ(f.host.texts(), std::vector<std::string>{texts::kEraseWouldTakeSource});
        EXPECT_EQ(f.fs.Content(f.sourcePath), f.source);
        EXPECT_TRUE(f.fs.HasFile("A:\\films\\other.txt"));
    }
}

// The erase is for a split: when even an emptied disk could not hold the
// start of the set, the user's files stay and the split is refused for room.
TEST(EraseRemovableFolder, OnlyForASplitThatCanTakePlace) {
    for (const std::uint64_t free : {10u, 10000u}) {
        SCOPED_TRACE(free);
        support::SplitCase f;
        f.fs.drive('A').type = DriveType::Removable;
        f.settings.eraseRemovableBeforeSplit = true;
        f.fs.AddFile("A:\\letter.txt", Bytes(100));
        f.fs.drive('A').freeBytes = free;
        f.Source(5000);
        f.Preset(2000);
        f.request.destinationText = "A:\\";
        const Outcome outcome = f.Run();
        if (free < 1000) {
            EXPECT_EQ(outcome, Outcome::Stopped);
            EXPECT_EQ(f.host.texts(), std::vector<std::string>{texts::kNoRoomForSource});
            EXPECT_TRUE(f.fs.HasFile("A:\\letter.txt"));
        } else {
            EXPECT_EQ(outcome, Outcome::Completed);
            EXPECT_FALSE(f.fs.HasFile("A:\\letter.txt"));
        }
    }
}

}  // namespace
