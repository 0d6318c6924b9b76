#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/base/FileErrors.h"
#include "engine/base/Format.h"
#include "engine/base/Names.h"
#include "engine/set/PiecePlan.h"
#include "engine/set/RejoinBatch.h"
#include "engine/set/SplitInfo.h"
#include "engine/set/SplitState.h"
#include "engine/io/RunOutputs.h"
#include "engine/base/Texts.h"
#include "support/SplitFixture.h"

using namespace engine;
using support::Bytes;

namespace {

// Pieces of a 25,000-byte file in E:\parts, rejoined into F:\out.
class Rejoin : public support::SplitFixture {
public:
    void SetUp() override {
        SplitFixture::SetUp();
        fs.drive('F');
        fs.AddFolder("F:\\out");
        whole = support::Pattern(25000);
        Lay(whole, 10000, "movie.avi");
        request.mode = Mode::Rejoin;
        request.sourceText = "E:\\parts\\movie.avi.sio";
        request.destinationText = "F:\\out";
    }

    // Writes a 268-byte info file, as every earlier version did, and pieces
    // of `pieceSize` for `data` under `name`.
    void Lay(const Bytes& data, std::size_t pieceSize, const std::string& name) {
        const std::uint32_t count = static_cast<std::uint32_t>((data.size() + pieceSize - 1) / pieceSize);
        const auto info = EncodeSplitInfo({count, name, static_cast<std::uint32_t>(data.size())});
        fs.AddFile("E:\\parts\\" + name + ".sio", Bytes(info.begin(), info.end()));
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t from = i * pieceSize, to = std::min(data.size(), from + pieceSize);
            fs.AddFile("E:\\parts\\" + name + "." + std::to_string(i) + ".spl",
                       Bytes(data.begin() + from, data.begin() + to));
        }
    }

    Bytes whole;
};

TEST_F(Rejoin, RebuildsTheFileAndSaysSo) {
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), whole);
    EXPECT_EQ(host.texts(), std::vector<std::string>{"Completed Successfully"});
    // Bytes rejoined of the whole, after each piece.
    EXPECT_EQ(host.progress, (std::vector<int>{40, 80, 100}));
    EXPECT_EQ(host.progressTexts.front(), "Processed: 1\nRemaining: 2");
    EXPECT_TRUE(fs.HasFile("E:\\parts\\movie.avi.1.spl"));  // kept without the setting
    EXPECT_EQ(fs.FilesUnder("F:\\"), std::vector<std::string>{"F:\\OUT\\MOVIE.AVI"});
    ExpectIdle();
}

TEST_F(Rejoin, LargePiecesGoInBlocks) {
    const Bytes big = support::Pattern(3000001 * 2);
    Lay(big, 3000001, "big.iso");
    request.sourceText = "E:\\parts\\big.iso.sio";
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(fs.Content("F:\\out\\big.iso"), big);
}

std::string Missing(const std::string& piece) {
    return "Some files are missing... E:\\parts\\" + piece +
           " was not found.\r\nCopy all the files to a single location and retry the operation.";
}

TEST(RejoinPieces, OnlyTheExactSetIsRejoined) {
    const std::string wrongLength = "is damaged: its length does not match the split. Nothing was rejoined.";
    const struct {
        const char* what;
        std::function<void(fake::FakePlatform&)> damage;
        std::string message;  // empty: rejoined
    } cases[] = {
        {"first missing", [](auto& fs) { fs.Delete("E:\\parts\\movie.avi.0.spl"); }, Missing("movie.avi.0.spl")},
        {"middle missing", [](auto& fs) { fs.Delete("E:\\parts\\movie.avi.1.spl"); }, Missing("movie.avi.1.spl")},
        {"last missing", [](auto& fs) { fs.Delete("E:\\parts\\movie.avi.2.spl"); }, Missing("movie.avi.2.spl")},
        {"last short", [](auto& fs) { fs.AddFile("E:\\parts\\movie.avi.2.spl", Bytes(4999)); },
         "E:\\parts\\movie.avi.2.spl " + wrongLength},
        {"middle longer", [](auto& fs) { fs.AddFile("E:\\parts\\movie.avi.1.spl", Bytes(10001)); },
         "E:\\parts\\movie.avi.1.spl " + wrongLength},
        {"last longer", [](auto& fs) { fs.AddFile("E:\\parts\\movie.avi.2.spl", Bytes(6000)); },
         "E:\\parts\\movie.avi.2.spl " + wrongLength},
        {"first longer", [](auto& fs) { fs.AddFile("E:\\parts\\movie.avi.0.spl", Bytes(12501)); },
         "E:\\parts\\movie.avi.0.spl " + wrongLength},
        {"a missing piece made up by a longer one",
         [](auto& fs) {
             fs.Delete("E:\\parts\\movie.avi.1.spl");
             fs.AddFile("E:\\parts\\movie.avi.2.spl", Bytes(15000));
         },
         Missing("movie.avi.1.spl")},
        {"a pipe in place of a piece", [](auto& fs) { fs.Delete("E:\\parts\\movie.avi.1.spl"); fs.AddSpecial("E:\\parts\\movie.avi.1.spl"); },
         "E:\\parts\\movie.avi.1.spl is not an ordinary file (it is a folder, a device or a pipe).\nNothing was written."},
        {"a fourth piece is not read", [](auto& fs) { fs.AddFile("E:\\parts\\movie.avi.3.spl", Bytes(9)); }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        struct Case : Rejoin {
            void TestBody() override {}
        } f;
        f.SetUp();
        f.fs.AddFile("F:\\out\\movie.avi", {4, 2});  // an older file that --yes would replace
        c.damage(f.fs);
        const Outcome outcome = f.Run();
        if (c.message.empty()) {
            EXPECT_EQ(outcome, Outcome::Completed);
            EXPECT_EQ(f.fs.Content("F:\\out\\movie.avi"), f.whole);
        } else {
            EXPECT_NE(outcome, Outcome::Completed);
            ASSERT_EQ(f.host.boxes.size(), 1u);
            EXPECT_EQ(f.host.boxes[0].text, c.message);
            EXPECT_EQ(f.fs.Content("F:\\out\\movie.avi"), (Bytes{4, 2}));
            EXPECT_EQ(f.fs.FilesUnder("F:\\").size(), 1u);
        }
        f.ExpectIdle();
    }
}

TEST_F(Rejoin, ReadFaultIsNamedThenReportedAsMissing) {
    fs.AddFault({fake::Op::Read, ".1.spl", err::kReadFault, 100, 1});
    EXPECT_EQ(Run(), Outcome::Failed);
    EXPECT_EQ(host.texts(), (std::vector<std::string>{"Error reading file", texts::kFilesMissing}));
    EXPECT_TRUE(fs.FilesUnder("F:\\").empty());
    ExpectIdle();
}

TEST_F(Rejoin, AFullOutputDiskIsNamedAndEverythingMadeIsRemoved) {
    fs.AddFault({fake::Op::Write, "~pvx", err::kDiskFull, 15000, 1});
    const std::uint64_t freeBefore = fs.drive('F').freeBytes;
    EXPECT_EQ(Run(), Outcome::Failed);
    EXPECT_EQ(host.texts(), std::vector<std::string>{"Disk full while accessing F:\\out\\movie.avi."});
    EXPECT_TRUE(fs.FilesUnder("F:\\").empty());
    EXPECT_EQ(fs.drive('F').freeBytes, freeBefore);
    ExpectIdle();
}

TEST_F(Rejoin, LessRoomThanTheFileIsRefusedBeforeAnythingIsWritten) {
    fs.drive('F').freeBytes = 24999;
    EXPECT_EQ(Run(), Outcome::Stopped);
    EXPECT_EQ(host.texts(), std::vector<std::string>{texts::kNoRoomForSource});
    EXPECT_TRUE(fs.FilesUnder("F:\\").empty());
}

TEST_F(Rejoin, EveryTruncationOfTheInfoFileIsRefused) {
    const Bytes info = fs.Content("E:\\parts\\movie.avi.sio");
    for (std::size_t length = 0; length <= info.size() + 1; ++length) {
        if (length == info.size()) continue;
        SCOPED_TRACE(length);
        Bytes damaged(info.begin(), info.begin() + std::min(length, info.size()));
        if (length > info.size()) damaged.push_back(0);
        fs.AddFile("E:\\parts\\movie.avi.sio", damaged);
        host.boxes.clear();
        EXPECT_EQ(Run(), Outcome::Stopped);
        EXPECT_EQ(host.texts(), std::vector<std::string>{
                                    "E:\\parts\\movie.avi.sio is not a valid split info file.\nNothing was rejoined."});
        EXPECT_TRUE(fs.FilesUnder("F:\\").empty());
    }
}

TEST_F(Rejoin, CraftedInfoFilesAreRefused) {
    const Bytes good = fs.Content("E:\\parts\\movie.avi.sio");
    auto withName = [&](const std::string& name) {
        Bytes info = good;
        std::fill(info.begin() + 4, info.begin() + 264, 0);
        std::copy(name.begin(), name.end(), info.begin() + 4);
        return info;
    };
    auto withCount = [&](std::uint32_t count) {
        Bytes info = good;
        for (int i = 0; i < 4; ++i) info[i] = static_cast<unsigned char>(count >> (8 * i));
        return info;
    };
    Bytes unterminated = good;
    std::fill(unterminated.begin() + 4, unterminated.begin() + 264, 'a');
    for (const Bytes& info : {withName(""), withName(".."), withName("."), withName("..\\..\\evil.exe"),
                              withName("C:evil"), withName("sub/evil"), withName("\\evil"), withName("a\"b"),
                              withName("nul.txt"), withName("x\x01y"), withCount(0), withCount(25001),
                              withCount(0xFFFFFFFFu), unterminated}) {
        fs.AddFile("E:\\parts\\movie.avi.sio", info);
        host.boxes.clear();
        EXPECT_EQ(Run(), Outcome::Stopped);
        ASSERT_EQ(host.boxes.size(), 1u);
        EXPECT_NE(host.boxes[0].text.find("is not a valid split info file"), std::string::npos);
        EXPECT_TRUE(fs.FilesUnder("F:\\").empty());
        EXPECT_EQ(fs.FilesUnder("E:\\").size(), 4u);
    }
}

TEST_F(Rejoin, RemoveSettingDeletesExactlyWhatWasRead) {
    settings.removeSplitFilesAfterRejoin = true;
    // The set's own Go.bat goes too, and the one named for it; the user's
    // own stays.
    const std::string line = RejoinBatchLine("movie.avi", 3);
    fs.AddFile("E:\\parts\\Go.bat", Bytes(line.begin(), line.end()));
    fs.AddFile("E:\\parts\\" + BatchNameOf("movie.avi"), Bytes(line.begin(), line.end()));
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_TRUE(fs.FilesUnder("E:\\").empty());
    Lay(whole, 10000, "movie.avi");
    fs.AddFile("E:\\parts\\Go.bat", {'@', 'e', 'c', 'h', 'o'});
    fs.Delete("F:\\out\\movie.avi");
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(fs.FilesUnder("E:\\"), std::vector<std::string>{"E:\\PARTS\\GO.BAT"});
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), whole);
}

TEST_F(Rejoin, RenamedInfoFileReadsAndRemovesTheStoredNames) {
    settings.removeSplitFilesAfterRejoin = true;
    fs.AddFile("E:\\parts\\film.sio", fs.Content("E:\\parts\\movie.avi.sio"));
    fs.Delete("E:\\parts\\movie.avi.sio");
    fs.AddFile("E:\\parts\\film.0.spl", {7});  // not a piece of this rejoin
    request.sourceText = "E:\\parts\\film.sio";
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), whole);
    EXPECT_EQ(fs.FilesUnder("E:\\"), std::vector<std::string>{"E:\\PARTS\\FILM.0.SPL"});
}

TEST_F(Rejoin, UndeletableInfoFileKeepsThePiecesAndSaysWhy) {
    settings.removeSplitFilesAfterRejoin = true;
    fs.AddFault({fake::Op::Delete, ".sio", err::kAccessDenied, 0, 1});
    EXPECT_EQ(Run(), Outcome::Stopped);
    EXPECT_EQ(host.texts(), std::vector<std::string>{"Access to E:\\parts\\movie.avi.sio was denied."});
    EXPECT_EQ(fs.FilesUnder("E:\\").size(), 4u);
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), whole);
}

TEST_F(Rejoin, ExistingOutputAsksUntilTheNameIsFree) {
    fs.AddFile("F:\\out\\movie.avi", {1});
    fs.AddFile("F:\\out\\second.avi", {2});
    std::vector<std::string> names = {"F:\\out\\second.avi", "F:\\out\\third.avi"};
    host.fileExists = [&](std::string& path) {
        path = names.front();
        names.erase(names.begin());
        return FileExistsAnswer::Rename;
    };
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(host.existsAsked, (std::vector<std::string>{"F:\\out\\movie.avi", "F:\\out\\second.avi"}));
    EXPECT_EQ(fs.Content("F:\\out\\third.avi"), whole);
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), Bytes{1});
}

TEST_F(Rejoin, OverwriteReplacesTheFileOnlyWhenTheNewOneIsComplete) {
    fs.AddFile("F:\\out\\movie.avi", Bytes(99999));
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), whole);
    EXPECT_EQ(fs.FilesUnder("F:\\").size(), 1u);
}

TEST_F(Rejoin, ALinkAtTheOutputIsReplacedNotWrittenThrough) {
    fs.drive('G');
    fs.AddFile("G:\\elsewhere\\victim", {5, 5});
    fs.AddLink("F:\\out\\movie.avi", "G:\\elsewhere\\victim");
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(fs.Content("G:\\elsewhere\\victim"), (Bytes{5, 5}));
    EXPECT_FALSE(fs.HasLink("F:\\out\\movie.avi"));
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), whole);
}

TEST_F(Rejoin, OutputMayNotBeItsOwnInput) {
    request.destinationText = "E:\\parts";
    fs.AddFile("E:\\parts\\movie.avi", {1});
    for (const char* input : {"E:\\parts\\movie.avi.sio", "E:\\parts\\movie.avi.1.spl"}) {
        host.boxes.clear();
        host.fileExists = [&](std::string& path) {
            path = input;
            return FileExistsAnswer::Rename;
        };
        EXPECT_EQ(Run(), Outcome::Stopped);
        EXPECT_EQ(host.texts(), std::vector<std::string>{texts::kOutputIsInput});
        EXPECT_EQ(fs.FilesUnder("E:\\").size(), 5u);
        EXPECT_EQ(fs.Content("E:\\parts\\movie.avi.1.spl").size(), 10000u);
    }
    // A link to a piece under the output's name is that piece too.
    fs.Delete("E:\\parts\\movie.avi");
    fs.AddLink("E:\\parts\\movie.avi", "E:\\parts\\movie.avi.0.spl");
    host.boxes.clear();
    host.fileExists = nullptr;
    EXPECT_EQ(Run(), Outcome::Stopped);
    EXPECT_EQ(host.texts(), std::vector<std::string>{texts::kOutputIsInput});
    EXPECT_EQ(fs.Content("E:\\parts\\movie.avi.0.spl").size(), 10000u);
}

TEST_F(Rejoin, StopAtTheQuestionDeletesNothing) {
    fs.AddFile("F:\\out\\movie.avi", {1});
    host.fileExists = [](std::string&) { return FileExistsAnswer::Stop; };
    ASSERT_EQ(Run(), Outcome::Stopped);
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), Bytes{1});
    EXPECT_EQ(fs.FilesUnder("F:\\").size(), 1u);
}

TEST_F(Rejoin, EmptyDestinationTakesTheWorkingFolderAndAMissingInfoIsRefused) {
    request.destinationText.clear();
    EXPECT_EQ(Run(), Outcome::Stopped);
    EXPECT_EQ(host.texts(), std::vector<std::string>{texts::kDestinationNotDefined});
    settings.workingFolder = "F:\\out";
    host.boxes.clear();
    EXPECT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), whole);
    request.sourceText = "E:\\parts\\gone.sio";
    host.boxes.clear();
    EXPECT_EQ(Run(), Outcome::Stopped);
    EXPECT_EQ(host.texts(), std::vector<std::string>{texts::kSourceNotDefined});
    ExpectIdle();
}

TEST_F(Rejoin, APieceStandsForItsInfoFile) {
    request.sourceText = "E:\\parts\\movie.avi.2.spl";
    ASSERT_EQ(Run(), Outcome::Completed);
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), whole);
}

// Every byte of a piece changed in turn: each is caught, the piece named,
// and nothing is written.
TEST(RejoinChecksums, EveryChangedByteIsCaughtAndNamed) {
    const support::CheckedSet cut = support::CutWithChecksums("tape.bin", support::Pattern(200, 7), 64);
    const SetInfo& set = cut.set;
    const std::vector<Bytes>& pieces = cut.pieces;
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}}) {
        for (std::size_t byte = 0; byte < pieces[piece].size(); ++byte) {
            SCOPED_TRACE(std::to_string(piece) + ":" + std::to_string(byte));
            support::SplitCase f;
            f.fs.drive('F');
            f.fs.AddFolder("F:\\out");
            f.fs.AddFile("E:\\parts\\tape.bin.sio", EncodeInfoFile(set, f.fs));
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                Bytes content = pieces[i];
                if (i == piece) content[byte] ^= 0x01;
                f.fs.AddFile("E:\\parts\\tape.bin." + std::to_string(i) + ".spl", content);
            }
            f.request.mode = Mode::Rejoin;
            f.request.sourceText = "E:\\parts\\tape.bin.sio";
            f.request.destinationText = "F:\\out";
            EXPECT_EQ(f.Run(), Outcome::Failed);
            EXPECT_EQ(f.host.texts(), std::vector<std::string>{"E:\\parts\\tape.bin." + std::to_string(piece) +
                                                               ".spl is damaged: its checksum does not match. "
                                                               "Nothing was rejoined."});
            EXPECT_TRUE(f.fs.FilesUnder("F:\\").empty());
        }
    }
}

// Sets as earlier versions (or other tools) wrote them, with pieces of
// every shape: a verification finds a problem exactly where a rejoin
// refuses, and names the same piece.
TEST(VerifyAndRejoin, OneRuleForPieceLengths) {
    const struct {
        std::vector<std::size_t> lengths;
        const char* wrong;  // the piece both name, or null for a good set
    } cases[] = {
        {{500, 500}, nullptr},      {{400, 400, 200}, nullptr}, {{300, 700}, ".0.spl"},
        {{333, 333, 334}, ".0.spl"}, {{100, 800, 100}, ".0.spl"}, {{400, 300, 300}, ".1.spl"},
        {{400, 400, 400, 0}, ".0.spl"},
    };
    for (const auto& c : cases) {
        std::size_t total = 0;
        for (std::size_t length : c.lengths) total += length;
        SCOPED_TRACE(::testing::Message() << c.lengths.size() << " pieces of " << c.lengths[0] << "...");
        auto lay = [&](support::SplitCase& f, Mode mode) {
            f.fs.drive('F');
            f.fs.AddFolder("F:\\out");
            const auto info = EncodeSplitInfo({static_cast<std::uint32_t>(c.lengths.size()), "old.bin",
                                               static_cast<std::uint32_t>(total)});
            f.fs.AddFile("E:\\parts\\old.bin.sio", Bytes(info.begin(), info.end()));
            for (std::size_t i = 0; i < c.lengths.size(); ++i) {
                f.fs.AddFile("E:\\parts\\old.bin." + std::to_string(i) + ".spl", support::Pattern(c.lengths[i], i + 1));
            }
            f.request.mode = mode;
            f.request.sourceText = "E:\\parts\\old.bin.sio";
            f.request.destinationText = "F:\\out";
        };
        support::SplitCase join, verify;
        lay(join, Mode::Rejoin);
        lay(verify, Mode::Verify);
        const Outcome joined = join.Run();
        ASSERT_EQ(verify.Run(), Outcome::Completed);
        ASSERT_EQ(verify.host.texts().size(), 1u);
        const std::string report = verify.host.texts()[0];
        if (!c.wrong) {
            EXPECT_EQ(joined, Outcome::Completed);
            EXPECT_NE(report.find("all good"), std::string::npos) << report;
            continue;
        }
        const std::string piece = std::string("E:\\parts\\old.bin") + c.wrong;
        EXPECT_NE(joined, Outcome::Completed);
        EXPECT_EQ(join.host.texts(), std::vector<std::string>{Fill(texts::kPieceWrongLength, piece)});
        EXPECT_NE(report.find("wrong length: " + piece + "\n"), std::string::npos) << report;
        EXPECT_EQ(report.find("all good"), std::string::npos) << report;
    }
}

// A trailer that is well formed and checked, whose whole-file checksum is
// not the pieces' file: refused by both, after the last piece.
TEST(VerifyAndRejoin, TheWholeFileChecksumIsChecked) {
    support::CheckedSet cut = support::CutWithChecksums("tape.bin", support::Pattern(9000, 4), 4000);
    cut.set.whole.bytes[3] ^= 0x40;
    for (const Mode mode : {Mode::Rejoin, Mode::Verify}) {
        support::SplitCase f;
        f.fs.drive('F');
        f.fs.AddFolder("F:\\out");
        f.fs.AddFile("E:\\parts\\tape.bin.sio", EncodeInfoFile(cut.set, f.fs));
        for (std::size_t i = 0; i < cut.pieces.size(); ++i) {
            f.fs.AddFile("E:\\parts\\tape.bin." + std::to_string(i) + ".spl", cut.pieces[i]);
        }
        f.request.mode = mode;
        f.request.sourceText = "E:\\parts\\tape.bin.sio";
        f.request.destinationText = "F:\\out";
        const Outcome outcome = f.Run();
        if (mode == Mode::Rejoin) {
            EXPECT_EQ(outcome, Outcome::Failed);
            EXPECT_EQ(f.host.texts(), std::vector<std::string>{Fill(texts::kWholeDamaged, "E:\\parts\\tape.bin.sio")});
            EXPECT_TRUE(f.fs.FilesUnder("F:\\").empty());
        } else {
            EXPECT_EQ(outcome, Outcome::Completed);
            EXPECT_EQ(f.host.texts(), std::vector<std::string>{"damaged: the pieces do not make the file that "
                                                               "E:\\parts\\tape.bin.sio records\n3 pieces checked: 1 bad\n"});
        }
        f.ExpectIdle();
    }
}

// The rejoined file may be read by whoever could read what it replaces, or
// else the pieces; never more widely.
TEST_F(Rejoin, TheOutputKeepsTheReplacedFilesPermissionsOrThePieces) {
    for (const bool replacing : {false, true}) {
        SCOPED_TRACE(replacing);
        fs.SetPermissions("E:\\parts\\movie.avi.0.spl", 0600);
        if (replacing) {
            fs.AddFile("F:\\out\\movie.avi", {1});
            fs.SetPermissions("F:\\out\\movie.avi", 0640);
        }
        ASSERT_EQ(Run(), Outcome::Completed);
        EXPECT_EQ(fs.PermissionsOf("F:\\out\\movie.avi"), replacing ? 0640u : 0600u);
        fs.Delete("F:\\out\\movie.avi");
    }
}

TEST(InfoFileForPiece, ReplacesTheIndexSuffixInThePiecesFolder) {
    EXPECT_EQ(InfoFileForPiece("D:\\x\\film.avi.3.spl"), "D:\\x\\film.avi.sio");
    EXPECT_EQ(InfoFileForPiece("D:\\x\\film.avi.123.SPL"), "D:\\x\\film.avi.sio");
    EXPECT_EQ(InfoFileForPiece("README.0.spl"), "README.sio");
    EXPECT_EQ(InfoFileForPiece("x.spl"), "");
    // A dot in a folder's name never leads out of the piece's folder.
    EXPECT_EQ(InfoFileForPiece("/data/dir.x/foo.spl", "/"), "");
    EXPECT_EQ(InfoFileForPiece("D:\\a.b\\c.d\\foo.spl"), "");
    EXPECT_EQ(InfoFileForPiece("D:\\a.b\\.0.spl"), "");
}

// A rejoin of four pieces of 10,000 bytes that failed in the third leaves
// the part with the first two and a state listing them. The next rejoin,
// whatever was done to those meanwhile, makes the exact file and keeps
// only what it proves; a record it cannot use is named in one notice.
TEST(RejoinResume, KeepsOnlyWhatItProves) {
    const Bytes whole = support::Pattern(40000, 5);
    const std::string state = "F:\\out\\" + RejoinStateFileName("movie.avi");
    const std::string part = "F:\\out\\" + PartialFileName("movie.avi");
    const auto reseal = [&](support::SplitCase& f, const std::function<void(SplitState&)>& change) {
        const Bytes& bytes = f.fs.Content(state);
        SplitState s;
        ASSERT_TRUE(DecodeSplitState(std::string(bytes.begin(), bytes.end()), s));
        change(s);
        const std::string encoded = EncodeSplitState(s);
        f.fs.AddFile(state, Bytes(encoded.begin(), encoded.end()));
    };
    // Into the same file, or into another one put in its place.
    const auto rewritePart = [&](support::SplitCase& f, const std::function<void(Bytes&)>& change) {
        Bytes bytes = f.fs.Content(part);
        change(bytes);
        f.fs.Rewrite(part, bytes);
    };
    const auto editPart = [&](support::SplitCase& f, const std::function<void(Bytes&)>& change) {
        Bytes bytes = f.fs.Content(part);
        change(bytes);
        ASSERT_EQ(f.fs.Delete(part), err::kNone);
        f.fs.AddFile(part, bytes);
    };
    const struct {
        const char* what;
        std::function<void(support::SplitCase&)> meanwhile;
        std::uint64_t written;  // into the part by the next rejoin
        bool notice;
    } rows[] = {
        {"nothing", [](support::SplitCase&) {}, 20000, false},
        {"Start over chosen", [](support::SplitCase& f) { f.host.answer = [](const fake::Box&) { return Answer::Cancel; }; },
         40000, false},
        {"a restart asked for", [](support::SplitCase& f) { f.request.restart = true; }, 40000, false},
        {"a piece changed since (the part is proven by the set)",
         [](support::SplitCase& f) { f.fs.AddFile("E:\\parts\\movie.avi.0.spl", Bytes(10000, 'x')); }, 20000, false},
        {"a state of another set", [&](support::SplitCase& f) { reseal(f, [](SplitState& s) { s.sourceName = "other.avi"; }); },
         40000, true},
        {"a state listing another checksum",
         [&](support::SplitCase& f) { reseal(f, [](SplitState& s) { s.pieces[1].bytes[0] ^= 1; }); }, 40000, true},
        {"a state listing every piece", [&](support::SplitCase& f) {
             reseal(f, [&](SplitState& s) { s.pieces.resize(4, s.pieces[0]); });
         }, 40000, true},
        {"a damaged state", [&](support::SplitCase& f) {
             Bytes bytes = f.fs.Content(state);
             bytes[20] ^= 4;
             f.fs.AddFile(state, bytes);
         }, 40000, true},
        {"the part copied (another file)", [&](support::SplitCase& f) { editPart(f, [](Bytes&) {}); }, 40000, false},
        {"the part longer than the file", [&](support::SplitCase& f) {
             editPart(f, [](Bytes& b) { b.resize(50000, 'y'); });
             reseal(f, [&](SplitState& s) {
                 FileStatus st;
                 ASSERT_EQ(f.fs.Status(part, st), err::kNone);
                 s.sourceId = st.id;
             });
         }, 40000, false},
        {"a byte changed in the part's first piece", [&](support::SplitCase& f) {
             rewritePart(f, [](Bytes& b) { b[17] ^= 1; });
         }, 40000, false},
        {"a byte changed in the part's second piece", [&](support::SplitCase& f) {
             rewritePart(f, [](Bytes& b) { b[19999] ^= 1; });
         }, 30000, false},
        {"the part cut short in its second piece", [&](support::SplitCase& f) {
             rewritePart(f, [](Bytes& b) { b.resize(15000); });
         }, 30000, false},
        {"the part a link to the user's file", [&](support::SplitCase& f) {
             ASSERT_EQ(f.fs.Delete(part), err::kNone);
             f.fs.AddLink(part, "F:\\out\\notes.txt");
         }, 40000, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        support::SplitCase f;
        support::LayRejoin(f, whole, 10000);
        f.fs.AddFile("F:\\out\\notes.txt", {'n'});
        f.fs.AddFault({fake::Op::Write, ".partial", err::kDiskFull, 25000, 1});
        ASSERT_EQ(f.Run(), Outcome::Failed);
        ASSERT_NE(f.host.texts().back().find("is kept: rejoin"), std::string::npos) << f.host.texts().back();
        ASSERT_TRUE(f.fs.HasFile(state) && f.fs.HasFile(part));
        f.fs.ClearFaults();
        f.host.boxes.clear();
        row.meanwhile(f);
        std::uint64_t written = 0;
        f.fs.onWrite = [&](const std::string& path, std::uint32_t bytes) {
            if (EndsWithNoCase(path, ".partial")) written += bytes;
        };
        ASSERT_EQ(f.Run(), Outcome::Completed) << f.host.texts().back();
        EXPECT_EQ(f.fs.Content("F:\\out\\movie.avi"), whole);
        EXPECT_EQ(f.fs.Content("F:\\out\\notes.txt"), Bytes{'n'});
        EXPECT_EQ(f.fs.FilesUnder("F:\\"), (std::vector<std::string>{"F:\\OUT\\MOVIE.AVI", "F:\\OUT\\NOTES.TXT"}));
        EXPECT_EQ(written, row.written);
        const auto texts = f.host.texts();
        const bool told = std::any_of(texts.begin(), texts.end(), [](const std::string& t) {
            return t.find("is the record of another rejoin") != std::string::npos;
        });
        EXPECT_EQ(told, row.notice);
        // The question, only where there was a state of this set and no restart.
        const bool asked = std::count(texts.begin(), texts.end(),
                                      Fill(Fill(texts::kContinueRejoin, "3"), "4", "%2")) == 1;
        EXPECT_EQ(asked, !row.notice && !f.request.restart);
    }
}

// A rejoin that fails on a damaged piece after the part it keeps says so in
// one message, without the "Nothing was rejoined" that is no longer true.
TEST(RejoinResume, AFailureAfterTheKeptPartSaysWhatIsKept) {
    support::SplitCase f;
    support::LayRejoin(f, support::Pattern(40000, 7), 10000);
    f.fs.AddFile("E:\\parts\\movie.avi.3.spl", Bytes(10000, 'x'));
    ASSERT_EQ(f.Run(), Outcome::Failed);
    const std::string damaged = Fill(texts::kPieceDamaged, "E:\\parts\\movie.avi.3.spl");
    EXPECT_EQ(f.host.texts().back(),
              damaged.substr(0, damaged.find(" Nothing")) + "\n" +
                  Fill(Fill(Fill(texts::kRejoinKept, "3"), "4", "%2"), "E:\\parts\\movie.avi.sio", "%3"));
    EXPECT_EQ(f.host.boxes.size(), 1u);
}

// A split or rejoin stopped by a disk that is nearly full is continued in
// the room it holds: the start checks count the pieces (the part of the
// file) it keeps as room, since each is kept or removed before it is made
// again.
TEST(RejoinResume, AStoppedRunContinuesInTheRoomItHolds) {
    const Bytes whole = support::Pattern(40000, 6);
    for (const bool split : {true, false}) {
        SCOPED_TRACE(split ? "split" : "rejoin");
        support::SplitCase f;
        const char drive = split ? 'E' : 'F';
        if (split) {
            f.Source(whole.size());
            f.Preset(10000);
        } else {
            support::LayRejoin(f, whole, 10000);
        }
        f.fs.drive(drive).freeBytes = 45000;
        f.fs.AddFault({fake::Op::Write, split ? ".2.spl" : ".partial", err::kDiskFull, split ? 0u : 25000u, 1});
        ASSERT_EQ(f.Run(), Outcome::Failed);
        f.fs.ClearFaults();
        ASSERT_LT(f.fs.drive(drive).freeBytes, whole.size());
        ASSERT_EQ(f.Run(), Outcome::Completed) << f.host.texts().back();
        EXPECT_EQ(split ? f.Joined(4) : f.fs.Content("F:\\out\\movie.avi"), split ? f.source : whole);
    }
}

}  // namespace
