#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/base/Format.h"
#include "engine/set/RejoinBatch.h"
#include "engine/set/SplitInfo.h"
#include "engine/base/Texts.h"
#include "support/SplitFixture.h"

using namespace engine;
using support::Bytes;

namespace {

class Split : public support::SplitFixture {};

TEST_F(Split, CutsThePlanAndWritesInfoAndBatch) {
    Source(25000000);
    Preset(kPreset10MB);
    ASSERT_EQ(Run(), Outcome::Completed);

    for (auto [i, size] : {std::pair{0u, 10000000u}, {1u, 10000000u}, {2u, 5000000u}}) {
        EXPECT_EQ(fs.Content(Piece(i)).size(), size) << i;
    }
    EXPECT_FALSE(fs.HasFile(Piece(3)));
    EXPECT_EQ(Joined(3), source);
    // The record is the one every reader knows, the checksums follow it.
    const auto record = EncodeSplitInfo({3, "movie.avi", 25000000});
    const Bytes& info = fs.Content(Info());
    ASSERT_GT(info.size(), record.size());
    EXPECT_EQ(Bytes(info.begin(), info.begin() + 268), Bytes(record.begin(), record.end()));
    const SetInfo set = DecodeInfoFile(info, fs, Info());
    EXPECT_TRUE(set.hasChecksums);
    EXPECT_EQ(set.whole, ChecksumOf(source.data(), source.size()));
    EXPECT_EQ(set.pieces[2], ChecksumOf(source.data() + 20000000, 5000000));
    const std::string line = RejoinBatchLine("movie.avi", 3);
    EXPECT_EQ(fs.Content("E:\\parts\\Go.bat"), Bytes(line.begin(), line.end()));
    EXPECT_EQ(fs.Content(sourcePath), source);
    EXPECT_EQ(fs.FilesUnder("E:\\").size(), 5u);  // no temporary file left

    EXPECT_EQ(host.notices, 1);
    EXPECT_TRUE(host.boxes.empty());
    ASSERT_FALSE(host.progressTexts.empty());
    EXPECT_EQ(host.progressTexts.front(), "Processed: 1\nRemaining: 2");
    EXPECT_EQ(host.progressTexts.back(), "Processed: 3\nRemaining: 0");
    // Bytes of the whole, never back, up to all of them.
    EXPECT_TRUE(std::is_sorted(host.progress.begin(), host.progress.end()));
    EXPECT_EQ(host.progress.back(), 100);
    EXPECT_EQ(host.endings, std::vector<Outcome>{Outcome::Completed});
    ExpectIdle();
}

TEST_F(Split, FinalPieceInOneLoad) {
    Source(10000000);
    Custom("1457664", kUnitBytes);
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(fs.Content(Piece(6)).size(), 1254016u);
    EXPECT_FALSE(fs.HasFile(Piece(7)));
    EXPECT_EQ(Joined(7), source);
    // Pieces done and to do, in order, never more than there are.
    for (std::size_t i = 1; i < host.progressTexts.size(); ++i) {
        EXPECT_LE(host.progressTexts[i - 1], host.progressTexts[i]);
    }
    EXPECT_LE(host.progressTexts.back(), "Processed: 7\nRemaining: 0");
}

TEST_F(Split, ProgressDoesNotWrapOnLargeSources) {
    Source(100000000);
    Preset(kPreset10MB);
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_NE(std::find(host.progress.begin(), host.progress.end(), 50), host.progress.end());
    EXPECT_TRUE(std::is_sorted(host.progress.begin(), host.progress.end()));
    EXPECT_EQ(Joined(10), source);
}

// Every file on every drive, with its content: what a refusal must leave as it was.
std::map<std::string, Bytes> Snapshot(const fake::FakePlatform& fs) {
    std::map<std::string, Bytes> all;
    for (const std::string& path : fs.FilesUnder("")) all[path] = fs.Content(path);
    return all;
}

struct Refusal {
    const char* what;
    std::function<void(support::SplitCase&)> arrange;
    std::string message;  // empty: no message at all
};

TEST(SplitRefusal, EachRefusalTellsWhyAndChangesNothing) {
    const std::string parts = "E:\\parts\\";
    const Refusal refusals[] = {
        {"empty custom field", [](auto& f) { f.Source(100); f.Custom("", kUnitKB); }, ""},
        {"zero files", [](auto& f) { f.Source(100); f.Custom("0", kUnitFiles); }, texts::kVerifyValues},
        {"more files than bytes", [](auto& f) { f.Source(10); f.Custom("11", kUnitFiles); }, texts::kCheckValues},
        {"5000 MB", [](auto& f) { f.Source(100); f.Custom("5000", kUnitMB); }, texts::kCheckValues},
        {"over a million pieces", [](auto& f) { f.Source(1000001); f.Custom("1", kUnitBytes); }, texts::kTooManyPieces},
        {"piece names too long", [](auto& f) { f.Source(100, std::string(250, 'n')); f.Preset(10); }, texts::kNameTooLong},
        {"empty source path", [](auto& f) { f.Source(100); f.Preset(10); f.request.sourceText.clear(); }, texts::kSourceNotDefined},
        {"empty destination", [](auto& f) { f.Source(100); f.Preset(10); f.request.destinationText.clear(); }, texts::kDestinationNotDefined},
        {"destination is a file", [](auto& f) { f.Source(100); f.Preset(10); f.request.destinationText = f.sourcePath; }, texts::kDestinationNotDefined},
        {"free space unknown", [](auto& f) { f.Source(100); f.Preset(10); f.fs.drive('E').freeSpaceFails = true; }, texts::kNoDiskInfo},
        {"less room than the source", [](auto& f) { f.Source(5000); f.Preset(2000); f.fs.drive('E').freeBytes = 4999; }, texts::kNoRoomForSource},
        {"source as long as piece", [](auto& f) { f.Source(1457664); f.Preset(kPresetFloppy); }, texts::kChunkSame},
        {"source shorter than piece", [](auto& f) { f.Source(1000); f.Preset(kPresetFloppy); }, texts::kChunkLarger},
        {"empty source", [](auto& f) { f.Source(0); f.Preset(kPresetFloppy); },
         "D:\\video\\movie.avi is empty: there is nothing to split."},
        {"one file", [](auto& f) { f.Source(1000); f.Custom("1", kUnitFiles); }, texts::kChunkLarger},
        {"zero bytes", [](auto& f) { f.Source(1000); f.Custom("0", kUnitBytes); }, texts::kChunkZero},
        {"a quote in the name", [](auto& f) { f.Source(100, "a\"b.txt"); f.Preset(10); },
         "The name \"a\"b.txt\" cannot be used on Windows: it contains the character \".\nRename the file and retry the operation."},
        {"a device name", [](auto& f) { f.Source(100, "con.txt"); f.Preset(10); },
         "The name \"con.txt\" cannot be used on Windows: it is a name Windows keeps for a device.\nRename the file and retry the operation."},
        {"a trailing dot", [](auto& f) { f.Source(100, "end."); f.Preset(10); },
         "The name \"end.\" cannot be used on Windows: it ends in a dot or a blank.\nRename the file and retry the operation."},
        {"a pipe as source", [](auto& f) { f.Source(100); f.Preset(10); f.fs.AddSpecial("D:\\video\\pipe"); f.request.sourceText = "D:\\video\\pipe"; },
         "D:\\video\\pipe is not an ordinary file (it is a folder, a device or a pipe).\nNothing was written."},
        {"a piece that is the source", [&](auto& f) { f.Source(100); f.Preset(10); f.fs.AddHardLink(parts + "movie.avi.3.spl", f.sourcePath); },
         "E:\\parts\\movie.avi.3.spl is the file being split; its pieces cannot replace it.\nChoose another destination and retry the operation."},
        {"the info file is a link to the source", [&](auto& f) { f.Source(100); f.Preset(10); f.fs.AddLink(parts + "movie.avi.sio", f.sourcePath); },
         "E:\\parts\\movie.avi.sio is the file being split; its pieces cannot replace it.\nChoose another destination and retry the operation."},
        {"Go.bat split in its own folder", [](auto& f) { f.Source(100, "Go.bat"); f.Preset(10); f.request.destinationText = "D:\\video"; },
         "D:\\video\\Go.bat is the file being split; its pieces cannot replace it.\nChoose another destination and retry the operation."},
        {"a folder where a piece goes", [&](auto& f) { f.Source(100); f.Preset(10); f.fs.AddFolder(parts + "movie.avi.1.spl"); },
         "Access to E:\\parts\\movie.avi.1.spl was denied."},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        support::SplitCase f;
        f.fs.AddFile("E:\\parts\\movie.avi.sio", {9, 9});  // an older set's file
        refusal.arrange(f);
        const auto before = Snapshot(f.fs);
        EXPECT_EQ(f.Run(), Outcome::Stopped);
        EXPECT_TRUE(f.refused);
        if (!refusal.message.empty()) {
            ASSERT_EQ(f.host.texts(), std::vector<std::string>{refusal.message});
        } else {
            EXPECT_TRUE(f.host.boxes.empty());
        }
        EXPECT_EQ(f.host.starts, 0);
        EXPECT_EQ(Snapshot(f.fs), before);
        f.ExpectIdle();
    }
}

TEST_F(Split, SourceLockedByAnotherProgram) {
    Source(100);
    Preset(10);
    std::unique_ptr<File> locker;
    ASSERT_EQ(fs.Open(sourcePath, {Access::ReadWrite, Share::None, Creation::OpenExisting, false}, locker), 0u);
    EXPECT_EQ(Run(), Outcome::Stopped);
    EXPECT_EQ(host.texts(), std::vector<std::string>{"A sharing violation occurred while accessing D:\\video\\movie.avi."});
    EXPECT_TRUE(fs.FilesUnder("E:\\").empty());
    locker.reset();
    ExpectIdle();
}

TEST_F(Split, PieceCreationIsRetriedOnRequest) {
    Source(100);
    Preset(40);
    fs.AddFault({fake::Op::Open, ".0.spl", err::kNotReady, 0, 2});
    ASSERT_EQ(Run(), Outcome::Completed);
    const std::string question = "Operations on drive E:\\parts fixed media (or Network drive) unsuccessful\n";
    EXPECT_EQ(host.texts(), (std::vector<std::string>{
                                "Device not ready \n Press OK after inserting the disk", question,
                                "Device not ready \n Press OK after inserting the disk", question}));
    EXPECT_EQ(host.boxes[1].question, Question::Retry);
    EXPECT_EQ(Joined(3), source);
}

TEST_F(Split, GivingUpOnAPieceRemovesWhatThisRunWrote) {
    Source(100);
    Preset(40);
    fs.AddFile("E:\\parts\\letter.txt", {1, 2});
    fs.AddFault({fake::Op::Open, ".1.spl", err::kSharingViolation, 0, -1});
    host.answer = [](const fake::Box& box) { return box.caption == "Continue?" ? Answer::Cancel : Answer::Ok; };
    EXPECT_EQ(Run(), Outcome::Stopped);
    EXPECT_EQ(host.boxes.size(), 2u);
    EXPECT_EQ(host.boxes[0].text,
              "The file is being used by other process\n Press OK after completing that operation");
    EXPECT_EQ(fs.FilesUnder("E:\\"), std::vector<std::string>{"E:\\PARTS\\LETTER.TXT"});
    EXPECT_EQ(host.notices, 0);
    ExpectIdle();
}

TEST_F(Split, ARetryThatNeverSucceedsEnds) {
    Source(100);
    Preset(40);
    fs.AddFault({fake::Op::Open, ".0.spl", err::kAccessDenied, 0, -1});
    EXPECT_EQ(Run(), Outcome::Failed);  // every question answered OK
    EXPECT_EQ(host.texts().back(), "Access to E:\\parts\\movie.avi.0.spl was denied.");
    EXPECT_LT(host.boxes.size(), 200u);
    EXPECT_TRUE(fs.FilesUnder("E:\\").empty());
}

struct CopyFault {
    const char* what;
    fake::Op op;
    const char* part;
    ErrorCode code;
    std::uint64_t after;
    const char* text;  // with P for the file concerned
    const char* path;
};

TEST(SplitCopyFailure, EndsWithoutSuccessAndKeepsOnlyWhatTheNextRunContinuesFrom) {
    const CopyFault faults[] = {
        {"read fault", fake::Op::Read, "movie.avi", err::kReadFault, 4500000,
         "A hardware I/O error was reported while accessing P.", "D:\\video\\movie.avi"},
        {"access denied on a piece", fake::Op::Write, ".1.spl", err::kAccessDenied, 100,
         "Access to P was denied.", "E:\\parts\\movie.avi.1.spl"},
        {"sharing violation on a piece", fake::Op::Write, ".2.spl", err::kSharingViolation, 0,
         "A sharing violation occurred while accessing P.", "E:\\parts\\movie.avi.2.spl"},
        {"lock violation in the final piece", fake::Op::Write, ".3.spl", err::kLockViolation, 0,
         "A locking violation occurred while accessing P.", "E:\\parts\\movie.avi.3.spl"},
        {"fixed disk full", fake::Op::Write, ".2.spl", err::kDiskFull, 5,
         "Disk full while accessing P.", "E:\\parts\\movie.avi.2.spl"},
        {"the info file cannot take its name", fake::Op::Rename, ".sio", err::kAccessDenied, 0,
         "Access to P was denied.", "E:\\parts\\movie.avi.sio"},
        {"the info file cannot be written", fake::Op::Write, "~pvx", err::kWriteFault, 0,
         "A hardware I/O error was reported while accessing P.", "E:\\parts\\movie.avi.sio"},
        {"Go.bat cannot take its name", fake::Op::Rename, "Go.bat", err::kAccessDenied, 0,
         "Access to P was denied.", "E:\\parts\\Go.bat"},
    };
    for (const CopyFault& c : faults) {
        SCOPED_TRACE(c.what);
        support::SplitCase f;
        f.Source(10000000);
        f.Preset(3000000);
        f.fs.AddFault({c.op, c.part, c.code, c.after, 1});
        f.fs.spared = "-state";
        EXPECT_EQ(f.Run(), Outcome::Failed);
        std::string text = c.text;
        text.replace(text.find('P'), 1, c.path);
        // One message: the failure, and what is kept for the next run where anything is.
        const auto texts = f.host.texts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].substr(0, text.size()), text);
        const std::string rest = texts[0].substr(text.size());
        EXPECT_TRUE(rest.empty() || rest.rfind("\nThe pieces finished (", 0) == 0) << rest;
        EXPECT_EQ(f.host.notices, 0);
        EXPECT_TRUE(support::BesidesKept(f.fs, "E:\\").empty());
        EXPECT_EQ(f.fs.Content(f.sourcePath), f.source);
        f.ExpectIdle();
        // The next run continues from what is kept (all four pieces, once
        // the copy is done: none is written again) and makes the exact set.
        const bool all = rest.find("(4 of 4)") != std::string::npos;
        f.fs.ClearFaults();
        f.host.boxes.clear();
        std::uint64_t written = 0;
        f.fs.onWrite = [&](const std::string& path, std::uint32_t bytes) {
            if (EndsWithNoCase(path, ".spl")) written += bytes;
        };
        ASSERT_EQ(f.Run(), Outcome::Completed) << f.host.texts().back();
        EXPECT_EQ(f.Joined(4), f.source);
        if (all) {
            EXPECT_EQ(written, 0u);
            const auto again = f.host.texts();
            EXPECT_NE(std::find(again.begin(), again.end(), Fill(texts::kContinueSplitDone, "4")), again.end());
        }
    }
}

// A recovery volume that cannot be written (made beside the copy) is named
// by its path, as every file a failure names; the pieces are kept.
TEST(SplitCopyFailure, ARecoveryVolumeThatCannotBeWrittenIsNamedByItsPath) {
    support::SplitCase f;
    f.Source(10000000);
    f.Preset(3000000);
    f.request.recoveryPercent = 10;
    f.fs.spared = "-state";
    f.fs.AddFault({fake::Op::Write, "~pvx", err::kDiskFull, 2000, 1});  // only a volume is this long
    EXPECT_EQ(f.Run(), Outcome::Failed);
    const std::string text = f.host.texts().back();
    EXPECT_EQ(text.rfind("Disk full while accessing E:\\parts\\movie.avi.vol", 0), 0u) << text;
    EXPECT_NE(text.find(".par2."), std::string::npos) << text;
    EXPECT_TRUE(support::BesidesKept(f.fs, "E:\\").empty());
    f.ExpectIdle();
}

TEST_F(Split, ASourceThatShrinksIsNotReportedAsSuccess) {
    Source(100);
    Preset(40);
    fs.AddFault({fake::Op::Read, "movie.avi", err::kNone, 70, 1});  // the end comes early
    EXPECT_EQ(Run(), Outcome::Failed);
    EXPECT_EQ(host.texts(), std::vector<std::string>{
                                "An attempt was made to access D:\\video\\movie.avi past its end."});
    EXPECT_TRUE(fs.FilesUnder("E:\\").empty());
}

TEST_F(Split, ASourceThatChangedSinceTheChecksIsRefused) {
    Source(100);
    Preset(40);
    fs.reportedSizes[sourcePath] = 130;  // measured before another program cut the file
    EXPECT_EQ(Run(), Outcome::Stopped);
    EXPECT_EQ(host.texts(), std::vector<std::string>{
                                "D:\\video\\movie.avi changed while it was being split.\nNothing was split; retry the operation."});
    EXPECT_TRUE(fs.FilesUnder("E:\\").empty());
}

TEST_F(Split, CheckpointStopsBetweenLoadsAndTheRunKeepsOnlyFinishedPieces) {
    Source(25000000);
    Preset(kPreset10MB);
    fake::StopAfter stop(6);  // piece 0 (1 + 4 loads), then piece 1 starts
    checkpoint = &stop;
    EXPECT_EQ(Run(), Outcome::Cancelled);
    EXPECT_TRUE(support::BesidesKept(fs, "E:\\").empty());
    EXPECT_EQ(host.endings, std::vector<Outcome>{Outcome::Cancelled});
    ExpectIdle();
}

// A Go.bat that rejoins this set is replaced without a word; any other is
// the user's, and the user decides: keep it and stop, replace it, or give
// the new one another name beside the pieces.
// The file-exists question answered in turn: "stop", "replace", or a new path.
std::function<FileExistsAnswer(std::string&)> Answering(const std::vector<std::string>& answers, std::size_t& asked) {
    return [&answers, &asked](std::string& path) {
        const std::string answer = answers.at(asked++);
        if (answer == "stop") return FileExistsAnswer::Stop;
        if (answer == "replace") return FileExistsAnswer::Overwrite;
        path = answer;
        return FileExistsAnswer::Rename;
    };
}

TEST(SplitBatch, TheUsersOwnGoBatIsAskedAbout) {
    const Bytes mine = {'e', 'c', 'h', 'o', ' ', 'h', 'i'};
    const struct {
        const char* what;
        std::vector<std::string> answers;  // "stop", "replace", or a new path
        Outcome outcome;
        const char* batchAt;  // where the new Go.bat is, or null
        int tellings;         // boxes besides the questions
    } cases[] = {
        {"kept", {"stop"}, Outcome::Stopped, nullptr, 0},
        {"replaced", {"replace"}, Outcome::Completed, "E:\\parts\\Go.bat", 0},
        {"another name", {"E:\\parts\\Go movie.bat"}, Outcome::Completed, "E:\\parts\\Go movie.bat", 0},
        {"another folder, then kept", {"E:\\elsewhere\\Go.bat", "stop"}, Outcome::Stopped, nullptr, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        support::SplitCase f;
        f.fs.AddFolder("E:\\elsewhere");
        f.Source(9000);
        f.Preset(4000);
        f.fs.AddFile("E:\\parts\\Go.bat", mine);
        std::size_t asked = 0;
        f.host.fileExists = Answering(c.answers, asked);
        EXPECT_EQ(f.Run(), c.outcome);
        EXPECT_EQ(asked, c.answers.size());
        EXPECT_EQ(f.host.boxes.size(), static_cast<std::size_t>(c.tellings));
        const std::string line = RejoinBatchLine("movie.avi", 3);
        if (c.batchAt) {
            EXPECT_EQ(f.fs.Content(c.batchAt), Bytes(line.begin(), line.end()));
            EXPECT_EQ(f.fs.Content("E:\\parts\\Go.bat") == mine, std::string(c.batchAt) != "E:\\parts\\Go.bat");
        } else {
            EXPECT_EQ(f.fs.FilesUnder("E:\\"), std::vector<std::string>{"E:\\PARTS\\GO.BAT"});
            EXPECT_EQ(f.fs.Content("E:\\parts\\Go.bat"), mine);
        }
        f.ExpectIdle();
    }
    // This set's own Go.bat is not asked about.
    support::SplitCase f;
    f.Source(9000);
    f.Preset(4000);
    const std::string line = RejoinBatchLine("movie.avi", 5);
    f.fs.AddFile("E:\\parts\\Go.bat", Bytes(line.begin(), line.end()));
    f.host.fileExists = [](std::string&) -> FileExistsAnswer { ADD_FAILURE() << "asked"; return FileExistsAnswer::Stop; };
    EXPECT_EQ(f.Run(), Outcome::Completed);
}

// A set of the source's name already in the destination (another file's
// pieces, say, whose original is not here) is replaced only when the user
// says so; or the new set takes another name beside it; or nothing changes.
TEST(SplitOverASet, AnExistingSetIsAskedAbout) {
    const struct {
        const char* what;
        std::vector<const char*> existing;  // files of the older set
        std::vector<std::string> answers;   // "stop", "replace", or a new path
        Outcome outcome;
        const char* setName;  // the name of the set made, or null
        int tellings;
    } cases[] = {
        {"its info file, kept", {"movie.avi.sio"}, {"stop"}, Outcome::Stopped, nullptr, 0},
        {"a piece only, kept", {"movie.avi.4.spl"}, {"stop"}, Outcome::Stopped, nullptr, 0},
        {"a recovery file only, kept", {"movie.avi.vol0+1.par2"}, {"stop"}, Outcome::Stopped, nullptr, 0},
        {"replaced", {"movie.avi.sio", "movie.avi.0.spl", "movie.avi.1.spl"}, {"replace"}, Outcome::Completed,
         "movie.avi", 0},
        {"under a new name", {"movie.avi.sio", "movie.avi.0.spl"}, {"E:\\parts\\movie (2).avi"}, Outcome::Completed,
         "movie (2).avi", 0},
        {"a new name given as its info file", {"movie.avi.0.spl"}, {"E:\\parts\\second.avi.sio"}, Outcome::Completed,
         "second.avi", 0},
        {"another folder, then kept", {"movie.avi.sio"}, {"E:\\elsewhere\\movie.avi", "stop"}, Outcome::Stopped,
         nullptr, 1},
        {"a name Windows cannot store, then replaced", {"movie.avi.sio"}, {"E:\\parts\\a?b", "replace"},
         Outcome::Completed, "movie.avi", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        support::SplitCase f;
        f.fs.AddFolder("E:\\elsewhere");
        f.Source(9000);
        f.Preset(4000);
        for (const char* name : c.existing) f.fs.AddFile(std::string("E:\\parts\\") + name, {'o', 'l', 'd'});
        const auto before = support::FilesOn(f.fs, "E:\\");
        std::size_t asked = 0;
        f.host.fileExists = Answering(c.answers, asked);
        EXPECT_EQ(f.Run(), c.outcome);
        EXPECT_EQ(asked, c.answers.size());
        EXPECT_EQ(f.host.boxes.size(), static_cast<std::size_t>(c.tellings));
        if (!c.setName) {
            EXPECT_EQ(support::FilesOn(f.fs, "E:\\"), before);
            f.ExpectIdle();
            continue;
        }
        const std::string name = c.setName;
        Bytes joined;
        for (std::uint32_t i = 0; i < 3; ++i) {
            const Bytes& piece = f.fs.Content("E:\\parts\\" + name + "." + std::to_string(i) + ".spl");
            joined.insert(joined.end(), piece.begin(), piece.end());
        }
        EXPECT_EQ(joined, f.source);
        EXPECT_EQ(DecodeSplitInfo(f.fs.Content("E:\\parts\\" + name + ".sio").data()).fileName, name);
        if (name != "movie.avi") {
            // The older set is as it was.
            for (const char* old : c.existing) {
                EXPECT_EQ(f.fs.Content(std::string("E:\\parts\\") + old), (Bytes{'o', 'l', 'd'}));
            }
        }
        f.ExpectIdle();
    }
}

// Pieces, info file and Go.bat may be read by whoever may read the source;
// the set is named as the file system stores the source's name.
TEST_F(Split, TheSetKeepsTheSourcesPermissionsAndStoredName) {
    Source(9000);
    Preset(4000);
    fs.SetPermissions(sourcePath, 0600);
    request.sourceText = "D:\\VIDEO\\MOVIE.AVI";
    ASSERT_EQ(Run(), Outcome::Completed);
    for (const std::string& path : fs.FilesUnder("E:\\")) EXPECT_EQ(fs.PermissionsOf(path), 0600u) << path;
    EXPECT_EQ(DecodeSplitInfo(fs.Content(Info()).data()).fileName, "movie.avi");
    EXPECT_EQ(fs.StoredName("E:\\parts\\movie.avi.0.spl"), "movie.avi.0.spl");
}

// A re-split into fewer pieces leaves none of the older set's beside it.
TEST_F(Split, AnOlderSetsHigherPiecesGoOnceTheNewSetIsComplete) {
    Source(9000);
    Preset(1000);
    ASSERT_EQ(Run(), Outcome::Completed);
    ASSERT_TRUE(fs.HasFile(Piece(8)));
    fs.AddFile("E:\\parts\\movie.avi.09.spl", {1});  // not a name this program makes
    Preset(4000);
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(fs.FilesUnder("E:\\").size(), 3u + 2u + 1u);
    EXPECT_TRUE(fs.HasFile("E:\\parts\\movie.avi.09.spl"));
    EXPECT_EQ(Joined(3), source);
}

}  // namespace
