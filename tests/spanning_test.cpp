#include <gtest/gtest.h>

#include <algorithm>

#include "engine/base/FileErrors.h"
#include "engine/base/Format.h"
#include "engine/base/Names.h"
#include "engine/set/RejoinBatch.h"
#include "engine/set/SplitInfo.h"
#include "engine/io/RunOutputs.h"
#include "engine/ops/Prepare.h"
#include "engine/base/Texts.h"
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

// A split stopped after a disk change cannot reach what it left on the
// earlier disks: it says which files lie on which disk, and that they are
// no set.
TEST_F(Spanning, AStopAfterADiskChangeSaysWhatIsLeftWhere) {
    Source(3000);
    Preset(400);
    fs.drive('A').freeBytes = FirstDiskOverhead() + 600;
    nextDiskFree = 700;
    cancelAtPrompt = 1;
    EXPECT_EQ(Run(), Outcome::Stopped);
    const std::string said = host.texts().back();
    EXPECT_NE(said.find("cannot be rejoined"), std::string::npos) << said;
    EXPECT_NE(said.find("Disk 1: movie.avi.sio, Go.bat, movie.avi.0.spl, movie.avi.1.spl"), std::string::npos) << said;
    EXPECT_EQ(said.find("Disk 2"), std::string::npos) << said;  // the disk in the drive is cleaned
    ExpectIdle();
}

// A split stopped while it is on the first disk (a USB stick the file fits
// on) is continued there, as on a fixed disk, and never erased first; once
// it has changed disks, the disk it leaves takes no state along.
TEST_F(Spanning, AStopOnTheFirstDiskIsContinuedThere) {
    const std::string state = "A:\\" + StateFileName("movie.avi");
    for (const bool erase : {false, true}) {
        SCOPED_TRACE(erase ? "erasing before a split" : "not erasing");
        support::SplitCase f;
        f.fs.drive('A').type = DriveType::Removable;
        f.fs.drive('A').freeBytes = 1000000;
        f.request.destinationText = "A:\\";
        f.settings.eraseRemovableBeforeSplit = erase;
        f.Source(40000);
        f.Custom("10000", kUnitBytes);
        f.fs.AddFault({fake::Op::Write, ".2.spl", err::kWriteFault, 5000, 1});
        ASSERT_EQ(f.Run(), Outcome::Failed);
        EXPECT_NE(f.host.texts().back().find("(2 of 4) are kept"), std::string::npos) << f.host.texts().back();
        EXPECT_TRUE(f.fs.HasFile(state));
        EXPECT_FALSE(f.fs.HasFile("A:\\movie.avi.sio"));
        f.fs.ClearFaults();
        // On a stick left with no room the pieces kept are room (they are
        // kept, or each goes before it is made again): the start checks let
        // the split go on; without the state they are someone's files.
        const std::uint64_t free = f.fs.drive('A').freeBytes;
        f.fs.drive('A').freeBytes = 0;
        EXPECT_TRUE(PrepareJob(f.request, f.fs, f.settings).ok);
        const Bytes kept = f.fs.Content(state);
        ASSERT_EQ(f.fs.Delete(state), err::kNone);
        EXPECT_EQ(PrepareJob(f.request, f.fs, f.settings).ok, erase) << "the erase makes room of any file";
        f.fs.AddFile(state, kept);
        f.fs.drive('A').freeBytes = free;
        f.host.boxes.clear();
        std::uint64_t written = 0;
        f.fs.onWrite = [&](const std::string& path, std::uint32_t bytes) {
            if (EndsWithNoCase(path, ".spl")) written += bytes;
        };
        ASSERT_EQ(f.Run(), Outcome::Completed) << f.host.texts().back();
        EXPECT_EQ(written, 20000u);
        const auto texts = f.host.texts();
        EXPECT_EQ(std::count(texts.begin(), texts.end(), Fill(Fill(texts::kContinueSplit, "3"), "4", "%2")), 1);
        Bytes joined;
        for (int i = 0; i < 4; ++i) {
            const Bytes& piece = f.fs.Content("A:\\movie.avi." + std::to_string(i) + ".spl");
            joined.insert(joined.end(), piece.begin(), piece.end());
        }
        EXPECT_EQ(joined, f.source);
        EXPECT_TRUE(DecodeInfoFile(f.fs.Content("A:\\movie.avi.sio"), f.fs, "info").hasChecksums);
        EXPECT_FALSE(f.fs.HasFile(state));
    }
    // Full after two pieces and a half: the state goes with the first disk.
    Source(40000);
    Custom("10000", kUnitBytes);
    fs.drive('A').freeBytes = FirstDiskOverhead(10000) + 25000;
    nextDiskFree = 12000;
    cancelAtPrompt = 1;
    EXPECT_EQ(Run(), Outcome::Stopped);
    ASSERT_EQ(disks.size(), 1u);
    EXPECT_TRUE(disks[0].count("A:\\MOVIE.AVI.1.SPL"));
    EXPECT_FALSE(disks[0].count(AsciiUpper(state)));
    EXPECT_FALSE(fs.HasFile(state));
    ExpectIdle();
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

namespace {

using Disk = std::map<std::string, Bytes>;

// A file of 5,000 bytes split into pieces of 2,000 onto disks of 1,500
// bytes in A:, as a user swaps them: the disks in the order they were filled.
std::vector<Disk> SplitOntoDisks(const Bytes& source, std::uint32_t pieceSize = 2000, std::uint64_t diskBytes = 1500) {
    support::SplitCase f;
    f.fs.drive('A').type = DriveType::Removable;
    f.fs.drive('A').freeBytes = diskBytes;
    f.request.destinationText = "A:\\";
    f.source = source;
    f.sourceName = "movie.avi";
    f.sourcePath = "D:\\video\\movie.avi";
    f.fs.AddFile(f.sourcePath, source);
    f.request.sourceText = f.sourcePath;
    f.Preset(pieceSize);
    std::vector<Disk> disks;
    f.host.answer = [&](const fake::Box& box) {
        if (box.question == Question::NextDisk) disks.push_back(f.fs.SwapDisk('A', diskBytes));
        return Answer::Ok;
    };
    EXPECT_EQ(f.Run(), Outcome::Completed);
    disks.push_back(f.fs.SwapDisk('A', 0));
    return disks;
}

// Rejoins the set from disk 0 in A: into F:\out; `next` answers each
// request for the next disk (it may put one in) and says OK or Cancel.
struct DiskRejoin {
    support::SplitCase f;
    std::vector<Disk> disks;
    std::size_t inserted = 0;

    explicit DiskRejoin(std::vector<Disk> all, Mode mode = Mode::Rejoin) : disks(std::move(all)) {
        f.fs.drive('A').type = DriveType::Removable;
        f.fs.InsertDisk('A', disks[0], 0);
        f.fs.drive('F');
        f.fs.AddFolder("F:\\out");
        f.request.mode = mode;
        f.request.sourceText = "A:\\movie.avi.sio";
        f.request.destinationText = "F:\\out";
    }
    void InsertNext() { f.fs.InsertDisk('A', disks[++inserted], 0); }
    int Prompts() const {
        return static_cast<int>(std::count_if(f.host.boxes.begin(), f.host.boxes.end(),
                                              [](const fake::Box& b) { return b.question == Question::NextDisk; }));
    }
};

// A set cut across disks rejoins from them, asking for each next disk and
// checking each one put in; whatever goes wrong leaves nothing in F:\out.
TEST(SpannedRejoin, ReadsTheDisksInTurnAndChecksEachOne) {
    const Bytes source = support::Pattern(5000, 11);
    const std::vector<Disk> disks = SplitOntoDisks(source);
    ASSERT_EQ(disks.size(), 4u);
    const struct {
        const char* what;
        std::function<Answer(DiskRejoin&, int prompt)> next;
        std::function<void(std::vector<Disk>&)> damage;
        Outcome outcome;
        std::vector<std::string> texts;  // what else the user was told, besides the requests
    } cases[] = {
        {"in order", [](DiskRejoin& r, int) { r.InsertNext(); return Answer::Ok; }, nullptr, Outcome::Completed, {}},
        {"the same disk again, then the next",
         [](DiskRejoin& r, int prompt) {
             if (prompt != 1) r.InsertNext();
             return Answer::Ok;
         },
         nullptr, Outcome::Completed, {}},
        {"a disk of something else, then the next",
         [](DiskRejoin& r, int prompt) {
             if (prompt == 1) {
                 r.f.fs.InsertDisk('A', {{"A:\\letter.txt", Bytes{1}}}, 0);
             } else {
                 r.InsertNext();
             }
             return Answer::Ok;
         },
         nullptr, Outcome::Completed, {}},
        {"cancelled at the second request",
         [](DiskRejoin& r, int prompt) {
             if (prompt == 2) return Answer::Cancel;
             r.InsertNext();
             return Answer::Ok;
         },
         nullptr, Outcome::Stopped, {}},
        {"a byte changed on the second disk", [](DiskRejoin& r, int) { r.InsertNext(); return Answer::Ok; },
         [](std::vector<Disk>& d) { d[1].begin()->second[10] ^= 1; }, Outcome::Failed,
         {"A:\\movie.avi.0.spl is damaged: its checksum does not match. Nothing was rejoined."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Disk> set = disks;
        if (c.damage) c.damage(set);
        DiskRejoin r(set);
        int prompt = 0;
        r.f.host.answer = [&](const fake::Box& box) {
            if (box.question != Question::NextDisk) return Answer::Ok;
            return c.next(r, ++prompt);
        };
        EXPECT_EQ(r.f.Run(), c.outcome);
        std::vector<std::string> told;
        for (const fake::Box& box : r.f.host.boxes) {
            if (box.question != Question::NextDisk && box.text != texts::kCompleted) told.push_back(box.text);
        }
        EXPECT_EQ(told, c.texts);
        if (c.outcome == Outcome::Completed) {
            EXPECT_EQ(r.f.fs.Content("F:\\out\\movie.avi"), source);
            EXPECT_EQ(r.inserted, disks.size() - 1);
        } else {
            EXPECT_TRUE(r.f.fs.FilesUnder("F:\\").empty());
        }
        r.f.ExpectIdle();
    }
    // What the requests said when the disk was not the next one.
    DiskRejoin r(disks);
    int prompt = 0;
    r.f.host.answer = [&](const fake::Box& box) {
        if (box.question != Question::NextDisk) return Answer::Ok;
        if (++prompt == 2) r.f.fs.InsertDisk('A', {{"A:\\letter.txt", Bytes{1}}}, 0);
        if (prompt >= 3) r.InsertNext();
        return Answer::Ok;
    };
    EXPECT_EQ(r.f.Run(), Outcome::Completed);
    ASSERT_GE(r.f.host.boxes.size(), 3u);
    EXPECT_EQ(r.f.host.boxes[0].text, texts::kNextDisk);
    EXPECT_EQ(r.f.host.boxes[1].text, texts::kSameDiskAgain);
    EXPECT_EQ(r.f.host.boxes[2].text, Fill(texts::kNotTheNextDisk, "movie.avi"));
}

// A rejoin from disks that failed in the fourth of four pieces goes on from
// the disk that holds it, named in the request: the disks before are not
// asked for, one that does not hold it is asked again, only that piece is
// written again, and the file is exact. (The set records its checksums on
// the first disk, as one copied there from the last disk does.)
TEST(SpannedRejoin, AStoppedRejoinGoesOnFromTheDiskThatHoldsTheNextPiece) {
    const Bytes source = support::Pattern(40000, 12);
    std::vector<Disk> disks = SplitOntoDisks(source, 10000, 15000);
    ASSERT_EQ(disks.size(), 3u);
    const auto info = [](Disk& disk) {
        return std::find_if(disk.begin(), disk.end(), [](const auto& file) { return EndsWithNoCase(file.first, ".sio"); });
    };
    ASSERT_NE(info(disks[2]), disks[2].end());
    info(disks[0])->second = info(disks[2])->second;
    for (const bool remove : {false, true}) {
        SCOPED_TRACE(remove ? "and the pieces removed after" : "the pieces kept");
        DiskRejoin r(disks);
        r.f.settings.removeSplitFilesAfterRejoin = remove;
        r.f.host.answer = [&](const fake::Box& box) {
            if (box.question == Question::NextDisk) r.InsertNext();
            return Answer::Ok;
        };
        r.f.fs.AddFault({fake::Op::Write, ".partial", err::kDiskFull, 35000, 1});
        ASSERT_EQ(r.f.Run(), Outcome::Failed);
        r.f.fs.ClearFaults();
        // Disk 0 back in the drive, as the user starts the rejoin again.
        r.inserted = 0;
        r.f.fs.InsertDisk('A', r.disks[0], 0);
        r.f.host.boxes.clear();
        std::vector<std::size_t> put;
        r.f.host.answer = [&](const fake::Box& box) {
            if (box.question != Question::NextDisk) return Answer::Ok;
            put.push_back(put.empty() ? 1 : 2);  // first the next disk, then the one asked for
            r.inserted = put.back() - 1;
            r.InsertNext();
            return Answer::Ok;
        };
        std::uint64_t written = 0;
        r.f.fs.onWrite = [&](const std::string& path, std::uint32_t bytes) {
            if (EndsWithNoCase(path, ".partial")) written += bytes;
        };
        ASSERT_EQ(r.f.Run(), Outcome::Completed) << ::testing::PrintToString(r.f.host.texts());
        EXPECT_EQ(r.f.fs.Content("F:\\out\\movie.avi"), source);
        EXPECT_EQ(written, 10000u);
        EXPECT_EQ(put, (std::vector<std::size_t>{1, 2}));
        std::vector<std::string> asked;
        for (const fake::Box& box : r.f.host.boxes) {
            if (box.question == Question::NextDisk) asked.push_back(box.text);
        }
        EXPECT_EQ(asked, (std::vector<std::string>{Fill(texts::kDiskWithPiece, "movie.avi.3.spl"),
                                                   Fill(texts::kNotTheDiskWithPiece, "movie.avi.3.spl")}));
        EXPECT_EQ(r.f.fs.FilesUnder("F:\\"), std::vector<std::string>{"F:\\OUT\\MOVIE.AVI"});
        // Disks changed: the earlier ones are out of reach, and nothing on the
        // one in the drive is removed either.
        EXPECT_EQ(r.f.fs.FilesUnder("A:\\").size(), r.disks[2].size());
    }
}

// Disks copied into folders, one a disk, rejoin and verify with no
// question; folders in the wrong order are refused before anything is
// written, naming the piece that does not fit; a destination in the drive
// the disks are read from is refused when the set goes on beyond the disk.
TEST(SpannedRejoin, FromFoldersAndWhereTheOutputCannotGo) {
    const Bytes source = support::Pattern(5000, 11);
    const std::vector<Disk> disks = SplitOntoDisks(source);
    auto copies = [&](support::SplitCase& f, const std::vector<std::size_t>& order) {
        f.fs.drive('F');
        f.fs.AddFolder("F:\\out");
        for (std::size_t d = 0; d < disks.size(); ++d) {
            for (const auto& [path, content] : disks[d]) f.fs.AddFile("E:\\disk" + std::to_string(d) + path.substr(2), content);
        }
        f.request.sourceText = "E:\\disk0\\movie.avi.sio";
        f.request.destinationText = "F:\\out";
        for (std::size_t d : order) f.request.laterFolders.push_back("E:\\disk" + std::to_string(d));
    };
    for (const bool remove : {false, true}) {
        support::SplitCase f;
        copies(f, {1, 2, 3});
        f.request.mode = Mode::Rejoin;
        f.settings.removeSplitFilesAfterRejoin = remove;
        ASSERT_EQ(f.Run(), Outcome::Completed) << ::testing::PrintToString(f.host.texts());
        EXPECT_EQ(f.fs.Content("F:\\out\\movie.avi"), source);
        std::size_t pieces = 0;
        for (const std::string& path : f.fs.FilesUnder("E:\\")) pieces += path.find(".SPL") != std::string::npos;
        EXPECT_EQ(pieces, remove ? 0u : 6u);  // three pieces, each cut once
    }
    {
        support::SplitCase f;
        copies(f, {1, 2, 3});
        f.request.mode = Mode::Verify;
        ASSERT_EQ(f.Run(), Outcome::Completed);
        EXPECT_EQ(f.host.texts(), std::vector<std::string>{"3 pieces checked: all good\n"});
    }
    {
        support::SplitCase f;
        copies(f, {2, 1, 3});
        f.request.mode = Mode::Rejoin;
        EXPECT_EQ(f.Run(), Outcome::Stopped);
        EXPECT_EQ(f.host.texts(), std::vector<std::string>{Fill(texts::kPieceWrongLength, "E:\\disk0\\movie.avi.0.spl")});
        EXPECT_TRUE(f.fs.FilesUnder("F:\\").empty());
    }
    DiskRejoin r(disks);
    r.f.request.destinationText = "A:\\";
    EXPECT_EQ(r.f.Run(), Outcome::Stopped);
    EXPECT_EQ(r.f.host.texts(), std::vector<std::string>{texts::kOutputOnTheDisks});
}

}  // namespace
