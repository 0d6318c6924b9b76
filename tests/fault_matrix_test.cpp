// One fault at a time, at every boundary of a small plan, for the split and
// the rejoin. Every row is judged by the same invariants, never by the steps
// the engine took: success means the output is exact; any other ending
// leaves the source and every file that was there before as it was, and
// nothing that looks like a complete set or a finished output.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

#include "engine/base/Names.h"
#include "engine/par2/Packets.h"
#include "engine/set/RejoinBatch.h"
#include "engine/set/SplitInfo.h"
#include "engine/set/SplitState.h"
#include "engine/io/RunOutputs.h"
#include "engine/ops/Prepare.h"
#include "support/SplitFixture.h"
#include "support/TestName.h"

using namespace engine;
using support::Bytes;
using support::FilesOn;

namespace {

// A source of 7,000,000 bytes in pieces of 3,000,001: two loads for each of
// the first two pieces, one for the last (999,998 bytes).
constexpr std::size_t kSource = 7000000;
constexpr std::uint32_t kPiece = 3000001;
// Where a write can fail in each piece: at its start, after one byte, at the
// edge of its first load, and at its last byte.
const struct {
    const char* name;
    std::vector<std::uint64_t> at;
} kPieces[] = {
    {".0.spl", {0, 1, 2999999, 3000000}},
    {".1.spl", {0, 1, 2999999, 3000000}},
    {".2.spl", {0, 1, 999997}},
};

struct SplitRow {
    std::string what;
    std::function<void(support::SplitCase&)> arrange;
    Outcome expected;
    bool untouched = false;  // refused before anything was written
};

// With recovery data of this share: twenty slices a piece of 150,004 bytes
// (seven in the last), and twenty recovery slices in five volumes.
constexpr std::uint32_t kRecoveryPercent = 33;

// How many checkpoints a split of the plan passes: a stop is tried at each.
int SplitCheckpoints(std::uint32_t recoveryPercent) {
    support::SplitCase f;
    f.Source(kSource);
    f.Preset(kPiece);
    f.request.recoveryPercent = recoveryPercent;
    int calls = 0;
    struct Counting : Checkpoint {
        int& calls;
        explicit Counting(int& c) : calls(c) {}
        bool ShouldStop() override {
            ++calls;
            return false;
        }
    } counting(calls);
    f.checkpoint = &counting;
    f.Run();  // a row that completes where it should stop shows a wrong count
    return calls;
}

std::vector<SplitRow> SplitRows() {
    std::vector<SplitRow> rows;
    for (const auto& [piece, offsets] : kPieces) {
        for (std::uint64_t at : offsets) {
            for (ErrorCode code : {err::kDiskFull, err::kWriteFault, err::kAccessDenied}) {
                std::ostringstream what;
                what << "write " << code << " on " << piece << " at " << at;
                rows.push_back({what.str(), [=](support::SplitCase& f) {
                                    f.fs.AddFault({fake::Op::Write, piece, code, at, 1});
                                }, Outcome::Failed});
            }
        }
        rows.push_back({std::string("creation refused for ") + piece + ", given up", [=](support::SplitCase& f) {
                             f.fs.AddFault({fake::Op::Open, piece, err::kAccessDenied, 0, -1});
                             f.host.answer = [](const fake::Box& box) {
                                 return box.buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
                             };
                         }, Outcome::Stopped});
        rows.push_back({std::string("creation refused twice for ") + piece + ", retried", [=](support::SplitCase& f) {
                             f.fs.AddFault({fake::Op::Open, piece, err::kSharingViolation, 0, 2});
                         }, Outcome::Completed});
    }
    for (std::uint64_t at : {std::uint64_t{0}, std::uint64_t{2999999}, std::uint64_t{3000001},
                             std::uint64_t{6000002}, std::uint64_t{6999999}}) {
        rows.push_back({"read fault at " + std::to_string(at), [=](support::SplitCase& f) {
                            f.fs.AddFault({fake::Op::Read, "movie.avi", err::kReadFault, at, 1});
                        }, Outcome::Failed});
        rows.push_back({"source ends early at " + std::to_string(at), [=](support::SplitCase& f) {
                            f.fs.AddFault({fake::Op::Read, "movie.avi", err::kNone, at, 1});
                        }, Outcome::Failed});
    }
    // A stop at every checkpoint the run passes, however many it has.
    const int checkpoints = SplitCheckpoints(0);
    for (int calls = 0; calls < checkpoints; ++calls) {
        rows.push_back({"stopped at checkpoint " + std::to_string(calls), [=](support::SplitCase& f) {
                            f.checkpoint = new fake::StopAfter(calls);  // owned by the row's runner
                        }, Outcome::Cancelled});
    }
    for (const char* name : {"Go.bat", ".sio"}) {
        rows.push_back({std::string("publishing fails for ") + name, [=](support::SplitCase& f) {
                            f.fs.AddFault({fake::Op::Rename, name, err::kAccessDenied, 0, 1});
                        }, Outcome::Failed});
    }
    // What cannot be put on the disk itself, or closed, is no success either.
    for (const char* part : {".0.spl", ".2.spl", "~pvx", "E:\\PARTS"}) {
        rows.push_back({std::string("flushing fails for ") + part, [=](support::SplitCase& f) {
                            f.fs.AddFault({fake::Op::Flush, part, err::kIoDevice, 0, 1});
                            f.fs.spared = "-state";
                        }, Outcome::Failed});
    }
    for (const char* part : {".1.spl", "~pvx"}) {
        rows.push_back({std::string("closing fails for ") + part, [=](support::SplitCase& f) {
                            f.fs.AddFault({fake::Op::Close, part, err::kDiskFull, 0, 1});
                            f.fs.spared = "-state";
                        }, Outcome::Failed});
    }
    rows.push_back({"Go.bat cannot be written", [](support::SplitCase& f) {
                        f.fs.AddFault({fake::Op::Write, "~pvx", err::kDiskFull, 10, 1});
                        f.fs.spared = "-state";
                    }, Outcome::Failed});
    // What a stop would leave for the next run is saved as well as it can
    // be; the split itself does not depend on it.
    for (const fake::Op op : {fake::Op::Write, fake::Op::Flush, fake::Op::Close, fake::Op::Rename}) {
        rows.push_back({"the state cannot be saved, " + std::to_string(static_cast<int>(op)),
                        [=](support::SplitCase& f) { f.fs.AddFault({op, "state", err::kDiskFull, 0, -1}); },
                        Outcome::Completed});
    }
    rows.push_back({"refused: no room", [](support::SplitCase& f) { f.fs.drive('E').freeBytes = kSource - 1; },
                    Outcome::Stopped, true});
    rows.push_back({"refused: a piece is the source", [](support::SplitCase& f) {
                        f.fs.AddHardLink("E:\\parts\\movie.avi.2.spl", f.sourcePath);
                    }, Outcome::Stopped, true});
    rows.push_back({"no fault", [](support::SplitCase&) {}, Outcome::Completed});

    // The same split with recovery data: its files are made and published
    // with the set's, or not at all.
    const auto recovery = [&](const std::string& what, fake::Fault fault, Outcome expected) {
        rows.push_back({"with recovery data, " + what, [=](support::SplitCase& f) {
                            f.request.recoveryPercent = kRecoveryPercent;
                            if (!fault.pathPart.empty()) f.fs.AddFault(fault);
                        }, expected});
    };
    // Only the volume, written under a temporary name, is this long.
    for (std::uint64_t at : {std::uint64_t{2000}, std::uint64_t{500000}}) {
        recovery("the volume's write at " + std::to_string(at), {fake::Op::Write, "~pvx", err::kDiskFull, at, 1},
                 Outcome::Failed);
    }
    recovery("the source unreadable in its last piece", {fake::Op::Read, "movie.avi", err::kReadFault, 6500000, 1},
             Outcome::Failed);
    recovery("the index cannot take its name", {fake::Op::Rename, "movie.avi.par2", err::kAccessDenied, 0, 1},
             Outcome::Failed);
    recovery("the volume cannot take its name", {fake::Op::Rename, ".vol", err::kAccessDenied, 0, 1},
             Outcome::Failed);
    recovery("no fault", {fake::Op::Write, "", err::kNone, 0, 0}, Outcome::Completed);
    const int withRecovery = SplitCheckpoints(kRecoveryPercent);
    // A stop while the copy runs stops the recovery data's reading beside it.
    for (int calls = 0; calls < checkpoints; calls += 2) {
        rows.push_back({"with recovery data, stopped at checkpoint " + std::to_string(calls),
                        [=](support::SplitCase& f) {
                            f.request.recoveryPercent = kRecoveryPercent;
                            f.checkpoint = new fake::StopAfter(calls);
                        }, Outcome::Cancelled});
    }
    for (int calls = checkpoints; calls < withRecovery; ++calls) {
        rows.push_back({"with recovery data, stopped at checkpoint " + std::to_string(calls),
                        [=](support::SplitCase& f) {
                            f.request.recoveryPercent = kRecoveryPercent;
                            f.checkpoint = new fake::StopAfter(calls);
                        }, Outcome::Cancelled});
        // The recovery data reads the source twice, once for its checksums
        // and once for its sums: another program writing to it between the
        // two, or before either, fails the split.
        rows.push_back({"with recovery data, the source written to at checkpoint " + std::to_string(calls),
                        [=](support::SplitCase& f) {
                            f.request.recoveryPercent = kRecoveryPercent;
                            struct Writes : Checkpoint {
                                support::SplitCase& f;
                                int left;
                                Writes(support::SplitCase& c, int n) : f(c), left(n) {}
                                bool ShouldStop() override {
                                    if (left-- != 0) return false;
                                    // The source the folder is judged against is the one written to.
                                    f.fs.Overwrite(f.sourcePath, kSource - 10, Bytes(4, 0x5A));
                                    std::fill_n(f.source.end() - 10, 4, 0x5A);
                                    return false;
                                }
                            };
                            f.checkpoint = new Writes(f, calls);
                        }, Outcome::Failed});
    }
    return rows;
}

// The destination holds an older set of the same name, another set, a
// letter, and Go.bat: the older set's or the other set's.
void Furnish(support::SplitCase& f, bool olderSetsBatch) {
    const Bytes older = support::Pattern(3000, 7);
    const auto info = EncodeSplitInfo({3, "movie.avi", 3000});
    f.fs.AddFile("E:\\parts\\movie.avi.sio", Bytes(info.begin(), info.end()));
    for (int i = 0; i < 3; ++i) {
        f.fs.AddFile("E:\\parts\\movie.avi." + std::to_string(i) + ".spl",
                     Bytes(older.begin() + i * 1000, older.begin() + (i + 1) * 1000));
    }
    const std::string line = olderSetsBatch ? RejoinBatchLine("movie.avi", 3) : RejoinBatchLine("other.bin", 2);
    f.fs.AddFile("E:\\parts\\Go.bat", Bytes(line.begin(), line.end()));
    const auto other = EncodeSplitInfo({2, "other.bin", 20});
    f.fs.AddFile("E:\\parts\\other.bin.sio", Bytes(other.begin(), other.end()));
    f.fs.AddFile("E:\\parts\\other.bin.0.spl", Bytes(10, 1));
    f.fs.AddFile("E:\\parts\\other.bin.1.spl", Bytes(10, 2));
    f.fs.AddFile("E:\\parts\\letter.txt", {'h', 'i'});
}

bool IsOlderSet(const std::string& path, bool olderSetsBatch) {
    return path.rfind("E:\\PARTS\\MOVIE.AVI.", 0) == 0 || (olderSetsBatch && path == "E:\\PARTS\\GO.BAT");
}

// One row, with the older set's Go.bat in the folder or another set's
// (which, being the user's, is replaced only with the user's word).
class SplitFaults : public ::testing::TestWithParam<std::tuple<SplitRow, bool>> {};

TEST_P(SplitFaults, SuccessMeansAnExactSetAndAnythingElseLeavesTheFolderAsItWas) {
    const auto& [row, olderSetsBatch] = GetParam();
    support::SplitCase f;
    f.Source(kSource);
    f.Preset(kPiece);
    Furnish(f, olderSetsBatch);
    row.arrange(f);
    std::unique_ptr<Checkpoint> owned(f.checkpoint);
    const auto before = FilesOn(f.fs, "E:\\");
    const Outcome outcome = f.Run();
    const auto after = FilesOn(f.fs, "E:\\");
    EXPECT_EQ(outcome, row.expected);

    EXPECT_EQ(f.fs.Content(f.sourcePath), f.source);
    EXPECT_EQ(f.fs.openHandles(), 0);
    const std::string statePath = "E:\\PARTS\\" + AsciiUpper(StateFileName("movie.avi"));
    for (const auto& entry : after) {
        if (entry.first != statePath) {
            EXPECT_EQ(entry.first.find("~PVX"), std::string::npos) << entry.first;
        }
    }
    std::vector<std::string> recoveryFiles;
    for (const auto& entry : after) {
        if (entry.first.find(".PAR2") != std::string::npos) recoveryFiles.push_back(entry.first);
    }
    // Files of other sets are never touched (Go.bat only by a success).
    for (const auto& [path, content] : before) {
        if (IsOlderSet(path, olderSetsBatch)) continue;
        if (outcome == Outcome::Completed && path == "E:\\PARTS\\GO.BAT") continue;  // replaced
        ASSERT_TRUE(after.count(path)) << path;
        EXPECT_EQ(after.at(path), content) << path;
    }
    if (outcome == Outcome::Completed) {
        EXPECT_EQ(f.Joined(3), f.source);
        const SetInfo set = DecodeInfoFile(f.fs.Content(f.Info()), f.fs, f.Info());
        EXPECT_EQ(set.whole, ChecksumOf(f.source.data(), f.source.size()));
        const std::string line = RejoinBatchLine("movie.avi", 3);
        EXPECT_EQ(f.fs.Content("E:\\parts\\Go.bat"), Bytes(line.begin(), line.end()));
        // Recovery data asked for is there whole, and describes the pieces.
        RecoveryPlan plan;
        ASSERT_EQ(PlanRecovery("movie.avi", set.size, 3, static_cast<std::uint32_t>(f.fs.Content(f.Piece(0)).size()),
                               f.request.recoveryPercent, plan),
                  "");
        EXPECT_EQ(recoveryFiles.size(), plan.empty() ? 0 : plan.volumes.size() + 1);
        if (f.request.recoveryPercent) {
            const auto sets = par2::ReadRecoveryFiles(f.fs, recoveryFiles, true, nullptr);
            ASSERT_EQ(sets.size(), 1u);
            EXPECT_EQ(sets[0].descriptions.size(), 3u);
            EXPECT_EQ(sets[0].recovery.size(), plan.recoverySlices);
        }
        return;
    }
    // No recovery file of a set that did not come to be.
    EXPECT_EQ(recoveryFiles, std::vector<std::string>{});
    // Nothing complete-looking: either the older set exactly as it was (the
    // run was refused before it wrote), or no info file and no Go.bat that
    // rejoins this name, and no new piece.
    EXPECT_EQ(after == before, row.untouched);
    if (after == before) return;
    EXPECT_FALSE(f.fs.HasFile(f.Info()));
    EXPECT_TRUE(!olderSetsBatch || !f.fs.HasFile("E:\\parts\\Go.bat"));
    // Besides, a stopped split leaves at most a state file and the pieces
    // it lists, each as it records; any other piece is the older set's.
    SplitState state;
    const bool resumable = f.fs.HasFile(statePath);
    if (resumable) {
        const Bytes& bytes = f.fs.Content(statePath);
        ASSERT_TRUE(DecodeSplitState(std::string(bytes.begin(), bytes.end()), state));
    }
    for (int i = 0; i < 3; ++i) {
        const std::string piece = f.Piece(i);
        if (!f.fs.HasFile(piece)) continue;
        const Bytes& content = f.fs.Content(piece);
        if (static_cast<std::size_t>(i) < state.pieces.size()) {
            EXPECT_EQ(ChecksumOf(content.data(), content.size()), state.pieces[i]) << piece;
        } else {
            EXPECT_EQ(content, before.at(AsciiUpper(piece))) << piece;
        }
    }
    if (!resumable) return;
    // The next split, told to continue, makes the exact set; where the
    // source is as the state saw it, it writes only the pieces not listed.
    f.fs.ClearFaults();
    f.checkpoint = nullptr;
    f.host.answer = [](const fake::Box&) { return Answer::Ok; };
    std::uint64_t piecesWritten = 0;
    f.fs.onWrite = [&](const std::string& path, std::uint32_t bytes) {
        if (EndsWithNoCase(path, ".spl")) piecesWritten += bytes;
    };
    FileStatus source;
    ASSERT_EQ(f.fs.Status(f.sourcePath, source), err::kNone);
    const bool same = source.modified == state.sourceModified && source.size == state.sourceSize;
    ASSERT_EQ(f.Run(), Outcome::Completed);
    EXPECT_EQ(f.Joined(3), f.source);
    EXPECT_FALSE(f.fs.HasFile(statePath));
    if (same) {
        EXPECT_EQ(piecesWritten, kSource - std::min<std::uint64_t>(kSource, std::uint64_t{kPiece} * state.pieces.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(FaultMatrix, SplitFaults, ::testing::Combine(::testing::ValuesIn(SplitRows()), ::testing::Bool()),
                         [](const auto& info) {
                             return support::TestName(std::get<0>(info.param).what) +
                                    (std::get<1>(info.param) ? "_OlderSetsGoBat" : "_AnotherSetsGoBat");
                         });

// The same split onto a removable disk that another writer fills half-way
// through piece 1: then a new disk, the full one again, no disk at all, or
// Cancel.
TEST(FaultMatrix, SplitAcrossRemovableDisks) {
    const struct {
        const char* what;
        std::vector<int> answers;  // per disk prompt: 0 Cancel, 1 new disk, 2 the same disk, 3 no disk
        std::uint64_t firstDisk;
    } rows[] = {
        {"new disk", {1}, kSource + 100000},
        {"same disk, then new", {2, 1}, kSource + 100000},
        {"no disk, then new", {3, 1}, kSource + 100000},
        {"cancel", {0}, kSource + 100000},
        {"same disk, then cancel", {2, 0}, kSource + 100000},
        {"new disks that fill too", {1, 1, 1}, kSource},
        {"a later disk cancelled", {1, 0}, kSource},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        support::SplitCase f;
        f.fs.drive('A').type = DriveType::Removable;
        f.fs.drive('A').freeBytes = row.firstDisk;
        f.request.destinationText = "A:\\";
        f.fs.AddFile("A:\\letter.txt", {1});
        f.Source(kSource);
        f.Preset(kPiece);
        f.fs.AddFault({fake::Op::Write, ".1.spl", err::kDiskFull, 1500000, 1});
        std::vector<std::map<std::string, Bytes>> disks;
        std::size_t prompt = 0;
        f.host.answer = [&](const fake::Box& box) {
            if (box.question != Question::NextDisk) return Answer::Ok;
            const int answer = prompt < row.answers.size() ? row.answers[prompt] : 1;
            ++prompt;
            f.fs.drive('A').notReady = answer == 3;
            if (answer == 0) return Answer::Cancel;
            // Small disks at first, so that a piece spans several.
            if (answer == 1) disks.push_back(f.fs.SwapDisk('A', prompt < 3 ? 1000000 : 100000000));
            return Answer::Ok;
        };
        const Outcome outcome = f.Run();
        f.fs.drive('A').notReady = false;
        disks.push_back(f.fs.SwapDisk('A', 0));
        EXPECT_EQ(f.fs.Content(f.sourcePath), f.source);
        EXPECT_EQ(f.fs.openHandles(), 0);
        EXPECT_TRUE(disks.front().count("A:\\LETTER.TXT"));
        // Each disk holds, under a piece's name, one part of that piece; the
        // parts over all disks, in order, are the piece.
        Bytes joined;
        for (int i = 0; i < 3; ++i) {
            const std::string key = "A:\\MOVIE.AVI." + std::to_string(i) + ".SPL";
            for (const auto& disk : disks) {
                if (auto it = disk.find(key); it != disk.end()) {
                    joined.insert(joined.end(), it->second.begin(), it->second.end());
                }
            }
        }
        if (outcome == Outcome::Completed) {
            EXPECT_EQ(joined, f.source);
            EXPECT_TRUE(DecodeInfoFile(disks.back().at("A:\\MOVIE.AVI.SIO"), f.fs, "last").hasChecksums);
        } else {
            // The disk in the drive at the end keeps nothing of this run, and
            // the earlier disks hold a true beginning of the source.
            for (const auto& entry : disks.back()) EXPECT_EQ(entry.first, "A:\\LETTER.TXT");
            EXPECT_LT(joined.size(), f.source.size());
            EXPECT_TRUE(std::equal(joined.begin(), joined.end(), f.source.begin()));
        }
    }
}

// Three pieces of 4,000,000 bytes (two blocks each), rejoined into F:\out
// where an older file of the output's name lies; the set with its trailer and
// the same set as every earlier version wrote it (268 bytes).
struct JoinRow {
    std::string what;
    std::function<void(support::SplitCase&)> arrange;
    Outcome expected;
    bool bytesChanged = false;  // only checksums can see it: without them the rejoin completes
};

void LayJoinSet(support::SplitCase& f, bool legacy) {
    const Bytes whole = support::Pattern(12000000, 99);
    f.fs.drive('F');
    f.fs.AddFolder("F:\\out");
    const support::CheckedSet cut = support::CutWithChecksums("movie.avi", whole, 4000000);
    for (int i = 0; i < 3; ++i) f.fs.AddFile("E:\\parts\\movie.avi." + std::to_string(i) + ".spl", cut.pieces[i]);
    Bytes info = EncodeInfoFile(cut.set, f.fs);
    if (legacy) info.resize(kSplitInfoSize);
    f.fs.AddFile("E:\\parts\\movie.avi.sio", info);
    f.fs.AddFile("F:\\out\\movie.avi", {'o', 'l', 'd'});
    f.fs.AddFile("F:\\out\\notes.txt", {'n'});
    f.request.mode = Mode::Rejoin;
    f.request.sourceText = "E:\\parts\\movie.avi.sio";
    f.request.destinationText = "F:\\out";
}

int JoinCheckpoints() {
    support::SplitCase f;
    LayJoinSet(f, false);
    struct Counting : Checkpoint {
        int calls = 0;
        bool ShouldStop() override {
            ++calls;
            return false;
        }
    } counting;
    f.checkpoint = &counting;
    f.Run();
    return counting.calls;
}

std::vector<JoinRow> JoinRows() {
    std::vector<JoinRow> rows;
    for (std::uint64_t at : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{3000000}, std::uint64_t{3999999},
                             std::uint64_t{4000000}, std::uint64_t{11999999}}) {
        for (ErrorCode code : {err::kDiskFull, err::kWriteFault}) {
            rows.push_back({"output write " + std::to_string(code) + " at " + std::to_string(at),
                            [=](support::SplitCase& f) { f.fs.AddFault({fake::Op::Write, "~pvx", code, at, 1}); },
                            Outcome::Failed});
        }
    }
    for (const char* piece : {".0.spl", ".1.spl", ".2.spl"}) {
        for (std::uint64_t at : {std::uint64_t{0}, std::uint64_t{262144}, std::uint64_t{3999999}}) {
            rows.push_back({std::string("read fault on ") + piece + " at " + std::to_string(at),
                            [=](support::SplitCase& f) { f.fs.AddFault({fake::Op::Read, piece, err::kReadFault, at, 1}); },
                            Outcome::Failed});
        }
        rows.push_back({std::string("a byte changed in ") + piece,
                        [=](support::SplitCase& f) {
                            const std::string path = std::string("E:\\parts\\movie.avi") + piece;
                            Bytes changed = f.fs.Content(path);
                            changed[1234] ^= 0x20;
                            f.fs.AddFile(path, changed);
                        },
                        Outcome::Failed, true});
        rows.push_back({std::string("cannot open ") + piece,
                        [=](support::SplitCase& f) { f.fs.AddFault({fake::Op::Open, piece, err::kSharingViolation, 0, 1}); },
                        Outcome::Failed});
    }
    rows.push_back({"two pieces swapped",
                    [](support::SplitCase& f) {
                        const Bytes zero = f.fs.Content("E:\\parts\\movie.avi.0.spl");
                        f.fs.AddFile("E:\\parts\\movie.avi.0.spl", f.fs.Content("E:\\parts\\movie.avi.1.spl"));
                        f.fs.AddFile("E:\\parts\\movie.avi.1.spl", zero);
                    },
                    Outcome::Failed, true});
    // A stop at every checkpoint the run passes, however many it has.
    const int checkpoints = JoinCheckpoints();
    for (int calls = 0; calls < checkpoints; ++calls) {
        rows.push_back({"stopped at checkpoint " + std::to_string(calls),
                        [=](support::SplitCase& f) { f.checkpoint = new fake::StopAfter(calls); }, Outcome::Cancelled});
    }
    for (const char* part : {"~pvx", "F:\\OUT"}) {
        rows.push_back({std::string("flushing fails for ") + part,
                        [=](support::SplitCase& f) { f.fs.AddFault({fake::Op::Flush, part, err::kIoDevice, 0, 1}); },
                        Outcome::Failed});
    }
    rows.push_back({"closing the output fails",
                    [](support::SplitCase& f) {
                        // The state file's close, where there is one, fails too: it is best effort.
                        f.fs.AddFault({fake::Op::Close, ".partial", err::kDiskFull, 0, 1});
                        f.fs.AddFault({fake::Op::Close, "~pvx", err::kDiskFull, 0, 1});
                    },
                    Outcome::Failed});
    rows.push_back({"the output cannot take its name",
                    [](support::SplitCase& f) { f.fs.AddFault({fake::Op::Rename, "movie.avi", err::kAccessDenied, 0, 1}); },
                    Outcome::Failed});
    rows.push_back({"kept at the question",
                    [](support::SplitCase& f) { f.host.fileExists = [](std::string&) { return FileExistsAnswer::Stop; }; },
                    Outcome::Stopped});
    rows.push_back({"no fault", [](support::SplitCase&) {}, Outcome::Completed});
    return rows;
}

// One row, on the set with checksums and on the same set without them.
class RejoinFaults : public ::testing::TestWithParam<std::tuple<JoinRow, bool>> {};

TEST_P(RejoinFaults, SuccessMeansTheExactFileAndAnythingElseChangesNothing) {
    const auto& [row, legacy] = GetParam();
    support::SplitCase f;
    LayJoinSet(f, legacy);
    row.arrange(f);
    std::unique_ptr<Checkpoint> owned(f.checkpoint);
    const auto inputs = FilesOn(f.fs, "E:\\");
    const auto before = FilesOn(f.fs, "F:\\");
    // A set without checksums cannot see changed bytes: its rejoin can only
    // be what Go.bat would make of the pieces.
    Bytes expected = support::Pattern(12000000, 99);
    const bool undetectable = legacy && row.bytesChanged;
    if (undetectable) {
        expected.clear();
        for (int i = 0; i < 3; ++i) {
            const Bytes& piece = f.fs.Content("E:\\parts\\movie.avi." + std::to_string(i) + ".spl");
            expected.insert(expected.end(), piece.begin(), piece.end());
        }
    }

    const Outcome outcome = f.Run();
    EXPECT_EQ(outcome, undetectable ? Outcome::Completed : row.expected);
    EXPECT_EQ(FilesOn(f.fs, "E:\\"), inputs);  // nothing removed without the setting
    EXPECT_EQ(f.fs.openHandles(), 0);
    auto after = FilesOn(f.fs, "F:\\");
    if (outcome == Outcome::Completed) {
        EXPECT_EQ(after.at("F:\\OUT\\MOVIE.AVI"), expected);
        after["F:\\OUT\\MOVIE.AVI"] = before.at("F:\\OUT\\MOVIE.AVI");
    }
    // Besides, a rejoin that stopped leaves at most its state file and the
    // part of the output it lists, each piece there as it should be.
    std::uint32_t listed = 0;
    const auto others = support::BesidesPartial(f.fs, "F:\\", "F:\\out", "movie.avi", &expected, &listed);
    for (const std::string& path : f.fs.FilesUnder("F:\\")) {
        if (std::find(others.begin(), others.end(), path) == others.end()) after.erase(path);
    }
    EXPECT_EQ(after, before);  // no temporary file, nothing else changed
    // A set with checksums keeps every piece finished before a fault in the last.
    if (row.what.find("at 11999999") != std::string::npos) {
        EXPECT_EQ(listed, legacy ? 0u : 2u);
    }
    if (listed == 0 || row.bytesChanged) return;
    // The next rejoin, told to continue, makes the exact file, writing only
    // the pieces the state does not list.
    f.fs.ClearFaults();
    f.checkpoint = nullptr;
    f.host.answer = [](const fake::Box&) { return Answer::Ok; };
    f.host.fileExists = [](std::string&) { return FileExistsAnswer::Overwrite; };
    std::uint64_t written = 0;
    f.fs.onWrite = [&](const std::string& path, std::uint32_t bytes) {
        if (EndsWithNoCase(path, ".partial")) written += bytes;
    };
    ASSERT_EQ(f.Run(), Outcome::Completed);
    EXPECT_EQ(f.fs.Content("F:\\out\\movie.avi"), expected);
    EXPECT_EQ(written, expected.size() - std::uint64_t{4000000} * listed);
    EXPECT_EQ(support::BesidesPartial(f.fs, "F:\\", "F:\\out", "movie.avi"), f.fs.FilesUnder("F:\\"));
    EXPECT_EQ(f.fs.FilesUnder("F:\\").size(), 2u);  // the file and notes.txt
}

INSTANTIATE_TEST_SUITE_P(FaultMatrix, RejoinFaults, ::testing::Combine(::testing::ValuesIn(JoinRows()), ::testing::Bool()),
                         [](const auto& info) {
                             return support::TestName(std::get<0>(info.param).what) +
                                    (std::get<1>(info.param) ? "_WithoutChecksums" : "_WithChecksums");
                         });

}  // namespace
