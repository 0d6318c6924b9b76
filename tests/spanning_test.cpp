#include <gtest/gtest.h>

#include "engine/Split.h"
#include "engine/Texts.h"
#include "support/SplitFixture.h"

using namespace engine;
using fake::Bytes;

namespace {

// A split onto floppy disks in A:, where the user swaps disks when asked.
class Spanning : public fake::SplitFixture {
protected:
    void SetUp() override {
        SplitFixture::SetUp();
        fs.drive('A').type = DriveType::Removable;
        fs.drive('A').freeBytes = 1000;
        r.destinationFolder = "A:\\";
        r.driveType = DriveType::Removable;
        host.answer = [this](const fake::Box& box) {
            if (box.text != texts::kInsertDisk) return Answer::Ok;
            ++prompts;
            if (prompts > cancelAtPrompt) return Answer::Cancel;
            disks.push_back(fs.SwapDisk('A', nextDiskFree));
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

    int prompts = 0;
    int cancelAtPrompt = 1000;
    std::uint64_t nextDiskFree = 1000000;
    std::vector<std::map<std::string, Bytes>> disks;
};

TEST_F(Spanning, AFullDiskContinuesThePieceOnTheNext) {
    Source(1000);
    Preset(400);
    // Info file (268) and Go.bat take room too: piece 1 is cut after 332 bytes.
    ASSERT_EQ(RunSplit(), Outcome::Completed);
    EXPECT_EQ(prompts, 1);
    EXPECT_EQ(host.notices, 1);
    ASSERT_EQ(disks.size(), 1u);
    const std::string go = "copy /B \"movie.avi.0.spl\" /B+ \"movie.avi.1.spl\" /B+ \"movie.avi.2.spl\" /B \"movie.avi\" /B\r\n";
    EXPECT_TRUE(disks[0].count("A:\\MOVIE.AVI.SIO"));
    const std::size_t firstPart = 1000 - 268 - go.size() - 400;
    EXPECT_EQ(disks[0]["A:\\MOVIE.AVI.1.SPL"].size(), firstPart);
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
    fs.drive('A').freeBytes = 268 + 100 + 600 + 50;
    ASSERT_EQ(RunSplit(), Outcome::Completed);
    EXPECT_EQ(prompts, 1);
    EXPECT_EQ(Across("A:\\MOVIE.AVI.1.SPL"), Bytes(source.begin() + 600, source.end()));
}

TEST_F(Spanning, ANewDiskThatIsFullTooAsksAgain) {
    Source(1000);
    Preset(400);
    nextDiskFree = 150;
    ASSERT_EQ(RunSplit(), Outcome::Completed);
    EXPECT_GT(prompts, 2);
    Bytes joined;
    for (const char* name : {"A:\\MOVIE.AVI.0.SPL", "A:\\MOVIE.AVI.1.SPL", "A:\\MOVIE.AVI.2.SPL"}) {
        const Bytes part = Across(name);
        joined.insert(joined.end(), part.begin(), part.end());
    }
    EXPECT_EQ(joined, source);
}

TEST_F(Spanning, DriveNotReadyWhileWriting) {
    Source(1000);
    Preset(400);
    fs.drive('A').freeBytes = 100000;
    fs.AddFault({fake::Op::Write, ".1.spl", err::kNotReady, 0, 1});
    ASSERT_EQ(RunSplit(), Outcome::Completed);
    EXPECT_EQ(host.texts(), (std::vector<std::string>{texts::kDiskNotInserted, texts::kInsertDisk}));
    EXPECT_EQ(host.boxes[1].caption, "Inset new disk");
    EXPECT_EQ(host.boxes[1].buttons, Buttons::OkCancel);
}

TEST_F(Spanning, NoRoomForAPieceIsNoRefusalOnRemovableDisks) {
    Source(5000);
    Preset(2000);
    fs.drive('A').freeBytes = 1500;
    nextDiskFree = 1500;
    ASSERT_EQ(RunSplit(), Outcome::Completed);
    EXPECT_GE(prompts, 3);
}

TEST_F(Spanning, CancelAtThePromptKeepsWhatWasWritten) {
    Source(1000);
    Preset(400);
    cancelAtPrompt = 0;
    fs.AddFile("A:\\letter.txt", {1, 2, 3});
    EXPECT_EQ(RunSplit(), Outcome::Stopped);
    EXPECT_EQ(host.notices, 0);
    EXPECT_TRUE(fs.HasFile("A:\\movie.avi.sio"));
    EXPECT_TRUE(fs.HasFile("A:\\movie.avi.0.spl"));
    EXPECT_TRUE(fs.HasFile("A:\\movie.avi.1.spl"));
    EXPECT_TRUE(fs.HasFile("A:\\letter.txt"));
    ExpectIdle();
}

TEST_F(Spanning, CancelWithRemoveSettingDeletesOnlyThisSplit) {
    Source(1000);
    Preset(400);
    cancelAtPrompt = 0;
    settings.removeSplitFilesAfterRejoin = true;
    fs.AddFile("A:\\letter.txt", {1, 2, 3});
    EXPECT_EQ(RunSplit(), Outcome::Stopped);
    EXPECT_EQ(fs.FilesUnder("A:\\"), (std::vector<std::string>{"A:\\GO.BAT", "A:\\LETTER.TXT"}));
    ExpectIdle();
}

TEST(EraseRemovableFolder, EmptiesOnlyRemovableFolders) {
    const struct {
        const char* what;
        const char* folder;
        DriveType type;
        std::vector<std::string> left;
    } cases[] = {
        {"whole floppy", "A:\\", DriveType::Removable, {"A:\\KEEP\\RO.TXT", "A:\\PARTS\\KEEP\\RO.TXT"}},
        {"folder on floppy", "A:\\parts", DriveType::Removable,
         {"A:\\A.TXT", "A:\\KEEP\\RO.TXT", "A:\\PARTS\\KEEP\\RO.TXT"}},
        {"fixed disk", "A:\\", DriveType::Fixed,
         {"A:\\A.TXT", "A:\\KEEP\\RO.TXT", "A:\\PARTS\\B.SPL", "A:\\PARTS\\KEEP\\RO.TXT",
          "A:\\PARTS\\SUB\\C.SPL"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fake::FakePlatform fs;
        fs.drive('A').type = c.type;
        fs.AddFile("A:\\a.txt", {1});
        fs.AddFile("A:\\keep\\ro.txt", {1}, true);
        fs.AddFile("A:\\parts\\b.spl", {1});
        fs.AddFile("A:\\parts\\sub\\c.spl", {1});
        fs.AddFile("A:\\parts\\keep\\ro.txt", {1}, true);
        EraseRemovableFolder(fs, c.folder);
        EXPECT_EQ(fs.FilesUnder("A:\\"), c.left);
        // Folders holding a file that cannot be deleted stay, as does the folder itself.
        EXPECT_TRUE(fs.IsFolder("A:\\parts"));
        EXPECT_TRUE(fs.IsFolder("A:\\parts\\keep"));
        EXPECT_EQ(fs.IsFolder("A:\\parts\\sub"), c.type != DriveType::Removable);
    }
}

}  // namespace
