// One run of a set at a time; what a crashed run left is taken over; a run
// cleans up only what it made, through the folder it opened; a source that
// changes while it is split is never published.
#include <gtest/gtest.h>

#include <map>

#include "engine/base/FileErrors.h"
#include "engine/io/RunOutputs.h"
#include "engine/set/SplitInfo.h"
#include "engine/base/Texts.h"
#include "support/SplitFixture.h"

using namespace engine;
using support::Bytes;
using support::FilesOn;

namespace {

// A set of movie.avi in E:\parts, and a request of the given kind for it.
void LaySet(support::SplitCase& f, Mode mode) {
    const support::CheckedSet cut = support::CutWithChecksums("movie.avi", support::Pattern(9000, 3), 4000);
    for (std::size_t i = 0; i < cut.pieces.size(); ++i) {
        f.fs.AddFile("E:\\parts\\movie.avi." + std::to_string(i) + ".spl", cut.pieces[i]);
    }
    f.fs.AddFile("E:\\parts\\movie.avi.sio", EncodeInfoFile(cut.set, f.fs));
    f.fs.drive('F');
    f.fs.AddFolder("F:\\out");
    f.request.mode = mode;
    f.request.sourceText = "E:\\parts\\movie.avi.sio";
    f.request.destinationText = "F:\\out";
}

TEST(SetClaim, ASecondRunOfTheSameSetIsRefusedBeforeItWrites) {
    for (const Mode mode : {Mode::Split, Mode::Rejoin, Mode::Verify}) {
        SCOPED_TRACE(static_cast<int>(mode));
        support::SplitCase f;
        f.Source(9000);
        f.Preset(4000);
        if (mode != Mode::Split) LaySet(f, mode);
        // Another run holds the set.
        std::unique_ptr<Folder> folder;
        std::unique_ptr<Lock> held;
        ASSERT_EQ(f.fs.OpenFolder("E:\\parts", folder), err::kNone);
        ASSERT_EQ(folder->Lock(LockFileName("movie.avi"), held), err::kNone);
        const auto before = FilesOn(f.fs, "E:\\");
        EXPECT_EQ(f.Run(), Outcome::Stopped);
        EXPECT_EQ(f.host.texts(), std::vector<std::string>{Fill(texts::kSetInUse, "E:\\parts\\movie.avi")});
        EXPECT_EQ(FilesOn(f.fs, "E:\\"), before);
        EXPECT_TRUE(FilesOn(f.fs, "F:\\").empty());
        held.reset();
        f.host.boxes.clear();
        EXPECT_EQ(f.Run(), Outcome::Completed);
        f.ExpectIdle();
    }
}

// A crash or a kill leaves the lock file and temporary files with their
// room taken; the next run of the set removes them, and nothing of another
// set's.
TEST(SetClaim, WhatACrashedRunLeftIsTakenOverAndRemoved) {
    for (const Mode mode : {Mode::Split, Mode::Rejoin}) {
        SCOPED_TRACE(static_cast<int>(mode));
        support::SplitCase f;
        f.Source(9000);
        f.Preset(4000);
        if (mode != Mode::Split) LaySet(f, mode);
        const std::string folder = mode == Mode::Split ? "E:\\parts\\" : "F:\\out\\";
        std::unique_ptr<File> probe;
        std::unique_ptr<Folder> open;
        ASSERT_EQ(f.fs.OpenFolder(folder, open), err::kNone);
        RunOutputs crashed(f.fs);
        std::string ours, theirs;
        ASSERT_EQ(crashed.CreateTemporary(*open, "movie.avi", ours, probe), err::kNone);
        probe.reset();
        ASSERT_EQ(crashed.CreateTemporary(*open, "other.avi", theirs, probe), err::kNone);
        probe.reset();
        crashed.Keep();  // as a killed run leaves them
        f.fs.AddFile(folder + LockFileName("movie.avi"), {});
        EXPECT_EQ(f.Run(), Outcome::Completed);
        EXPECT_FALSE(f.fs.HasFile(folder + ours));
        EXPECT_FALSE(f.fs.HasFile(folder + LockFileName("movie.avi")));
        EXPECT_TRUE(f.fs.HasFile(folder + theirs));
        EXPECT_TRUE(IsTemporaryOf(ours, "MOVIE.AVI"));
        EXPECT_FALSE(IsTemporaryOf(theirs, "movie.avi"));
    }
}

// The destination is renamed while the run works, or a file the run made
// is replaced by another program's: a stopped run removes its own files from
// the folder it opened, and nothing else.
TEST(SetClaim, CleanUpGoesThroughTheFolderItOpenedAndByIdentity) {
    for (const bool rename : {true, false}) {
        SCOPED_TRACE(rename ? "folder renamed" : "piece replaced");
        support::SplitCase f;
        f.Source(10000000);
        f.Preset(4000000);
        // Stopped in piece 1; the change comes while piece 0 is written
        // (the rename) or once it is closed (the replacement).
        fake::StopAfter stop(5);
        f.checkpoint = &stop;
        int loads = 0;
        f.host.onLoad = [&] {
            if (++loads != (rename ? 1 : 3)) return;
            if (rename) {
                f.fs.RenameFolder("E:\\parts", "E:\\moved");
            } else {
                f.fs.Delete("E:\\parts\\movie.avi.0.spl");
                f.fs.AddFile("E:\\parts\\movie.avi.0.spl", {'u', 's', 'e', 'r'});
            }
        };
        EXPECT_EQ(f.Run(), Outcome::Cancelled);
        // What the stopped run keeps for the next goes with its folder.
        if (rename) {
            EXPECT_TRUE(support::BesidesKept(f.fs, "E:\\moved", "E:\\moved").empty());
            EXPECT_TRUE(f.fs.FilesUnder("E:\\parts").empty());
        } else {
            // The state file still lists piece 0: the next run proves it
            // and finds it another file.
            EXPECT_EQ(f.fs.FilesUnder("E:\\parts"),
                      (std::vector<std::string>{"E:\\PARTS\\MOVIE.AVI.0.SPL",
                                                "E:\\PARTS\\" + AsciiUpper(StateFileName("movie.avi"))}));
            EXPECT_EQ(f.fs.Content("E:\\parts\\movie.avi.0.spl"), (Bytes{'u', 's', 'e', 'r'}));
        }
        f.ExpectIdle();
    }
}

// Another program writes into the source, puts another file under its name,
// or does so between the checks and the run: the split ends with the
// source's name and nothing of the set is left.
TEST(SourceChange, ASourceThatChangesWhileItIsSplitIsNeverPublished) {
    const struct {
        const char* what;
        std::function<void(support::SplitCase&)> change;
        bool beforeTheRun;
    } cases[] = {
        {"written in place", [](auto& f) { f.fs.Overwrite(f.sourcePath, 5000000, {1, 2, 3}); }, false},
        {"replaced by a file of the same length", [](auto& f) { f.fs.AddFile(f.sourcePath, f.source); }, false},
        {"written before the run", [](auto& f) { f.fs.Overwrite(f.sourcePath, 0, {9}); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        support::SplitCase f;
        f.Source(10000000);
        f.Preset(4000000);
        const Prepared prepared = PrepareJob(f.request, f.fs, f.settings);
        ASSERT_TRUE(prepared.ok);
        if (c.beforeTheRun) c.change(f);
        bool changed = c.beforeTheRun;
        f.host.onLoad = [&] {
            if (!changed) c.change(f);
            changed = true;
        };
        OperationContext ctx(f.fs, f.host, f.settings);
        const Outcome outcome = RunJob(prepared.job, ctx);
        EXPECT_NE(outcome, Outcome::Completed);
        EXPECT_EQ(f.host.texts(), std::vector<std::string>{Fill(texts::kSourceChanged, f.sourcePath)});
        EXPECT_TRUE(f.fs.FilesUnder("E:\\").empty());
        f.ExpectIdle();
    }
}

}  // namespace
