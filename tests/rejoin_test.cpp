#include <gtest/gtest.h>

#include "engine/Rejoin.h"
#include "engine/SplitInfo.h"
#include "engine/Texts.h"
#include "support/SplitFixture.h"

using namespace engine;
using fake::Bytes;

namespace {

// Pieces of a 25,000-byte file in E:\parts, rejoined into F:\out.
class Rejoin : public fake::SplitFixture {
public:
    void SetUp() override {
        SplitFixture::SetUp();
        fs.drive('F');
        fs.AddFolder("F:\\out");
        whole = fake::Pattern(25000);
        Lay(whole, 10000, "movie.avi");
        r.splitMode = false;
        r.sourcePath = "E:\\parts\\movie.avi.sio";
        r.sourceFolder = "E:\\parts";
        r.destinationFolder = "F:\\out";
    }

    // Writes an info file and pieces of `pieceSize` for `data` under `name`.
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
    ASSERT_EQ(RunSplit(), Outcome::Completed);
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), whole);
    EXPECT_EQ(host.texts(), std::vector<std::string>{"Completed Successfully"});
    EXPECT_EQ(host.progress, (std::vector<int>{33, 66, 100}));
    EXPECT_EQ(host.progressTexts.front(), "Processed: 1\nRemaining: 2");
    EXPECT_TRUE(fs.HasFile("E:\\parts\\movie.avi.1.spl"));  // kept without the setting
    EXPECT_EQ(r.expectedSize, 25000u);
    EXPECT_EQ(r.sourceName, "movie.avi");
    ExpectIdle();
}

TEST_F(Rejoin, LargePiecesGoInBlocksOfThreeMillionBytes) {
    const Bytes big = fake::Pattern(3000001 * 2);
    Lay(big, 3000001, "big.iso");
    r.sourcePath = "E:\\parts\\big.iso.sio";
    ASSERT_EQ(RunSplit(), Outcome::Completed);
    EXPECT_EQ(fs.Content("F:\\out\\big.iso"), big);
    // Status refreshed before each block: two blocks a piece, one refresh at the end.
    EXPECT_EQ(host.statusRefreshes.size(), 5u);
}

TEST(RejoinPieces, MissingShortOrExtraPiecesInEachPosition) {
    const struct {
        const char* what;
        std::function<void(fake::FakePlatform&)> damage;
        bool ok;
        std::size_t outputSize;
    } cases[] = {
        {"first missing", [](auto& fs) { fs.Delete("E:\\parts\\movie.avi.0.spl"); }, false, 0},
        {"middle missing", [](auto& fs) { fs.Delete("E:\\parts\\movie.avi.1.spl"); }, false, 0},
        {"last missing", [](auto& fs) { fs.Delete("E:\\parts\\movie.avi.2.spl"); }, false, 0},
        {"last short", [](auto& fs) { fs.AddFile("E:\\parts\\movie.avi.2.spl", Bytes(4999)); }, false, 0},
        {"middle longer", [](auto& fs) { fs.AddFile("E:\\parts\\movie.avi.1.spl", Bytes(10001)); }, true, 25001},
        {"last longer", [](auto& fs) { fs.AddFile("E:\\parts\\movie.avi.2.spl", Bytes(6000)); }, true, 26000},
        {"a fourth piece is not read", [](auto& fs) { fs.AddFile("E:\\parts\\movie.avi.3.spl", Bytes(9)); }, true, 25000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        struct Case : Rejoin {
            void TestBody() override {}
        } f;
        f.SetUp();
        c.damage(f.fs);
        const Outcome outcome = f.RunSplit();
        if (c.ok) {
            EXPECT_EQ(outcome, Outcome::Completed);
            EXPECT_EQ(f.fs.Content("F:\\out\\movie.avi").size(), c.outputSize);
        } else {
            EXPECT_EQ(outcome, Outcome::Failed);
            ASSERT_EQ(f.host.boxes.size(), 1u);
            EXPECT_EQ(f.host.boxes[0].text, texts::kFilesMissing);
            EXPECT_EQ(f.host.boxes[0].caption, "Cannot Continue");
            EXPECT_FALSE(f.fs.HasFile("F:\\out\\movie.avi"));
            EXPECT_TRUE(f.r.rejoinOutputPath.empty());
        }
        f.ExpectIdle();
    }
}

TEST_F(Rejoin, ReadFaultIsNamedThenReportedAsMissing) {
    fs.AddFault({fake::Op::Read, ".1.spl", err::kReadFault, 100, 1});
    EXPECT_EQ(RunSplit(), Outcome::Failed);
    EXPECT_EQ(host.texts(), (std::vector<std::string>{"Error reading file", texts::kFilesMissing}));
    EXPECT_FALSE(fs.HasFile("F:\\out\\movie.avi"));
    ExpectIdle();
}

TEST_F(Rejoin, AFullOutputDiskIsNamedAndTheOutputRemoved) {
    fs.drive('F').freeBytes = 15000;
    EXPECT_EQ(RunSplit(), Outcome::Failed);
    EXPECT_EQ(host.texts(), std::vector<std::string>{"Disk full while accessing F:\\out\\movie.avi."});
    EXPECT_FALSE(fs.HasFile("F:\\out\\movie.avi"));
    EXPECT_EQ(fs.drive('F').freeBytes, 15000u);
    ExpectIdle();
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
        EXPECT_EQ(RunSplit(), Outcome::Stopped);
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
    Bytes noPieces = good;
    std::fill(noPieces.begin(), noPieces.begin() + 4, 0);
    Bytes unterminated = good;
    std::fill(unterminated.begin() + 4, unterminated.begin() + 264, 'a');
    for (const Bytes& info : {withName(""), withName(".."), withName("."), withName("..\\..\\evil.exe"),
                              withName("C:evil"), withName("sub/evil"), withName("\\evil"), noPieces,
                              unterminated}) {
        fs.AddFile("E:\\parts\\movie.avi.sio", info);
        host.boxes.clear();
        EXPECT_EQ(RunSplit(), Outcome::Stopped);
        ASSERT_EQ(host.boxes.size(), 1u);
        EXPECT_NE(host.boxes[0].text.find("is not a valid split info file"), std::string::npos);
        EXPECT_TRUE(fs.FilesUnder("F:\\").empty());
        EXPECT_EQ(fs.FilesUnder("E:\\").size(), 4u);
    }
}

TEST_F(Rejoin, RemoveSettingDeletesExactlyWhatWasRead) {
    settings.removeSplitFilesAfterRejoin = true;
    ASSERT_EQ(RunSplit(), Outcome::Completed);
    EXPECT_TRUE(fs.FilesUnder("E:\\").empty());
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), whole);
}

TEST_F(Rejoin, RenamedInfoFileReadsAndRemovesTheStoredNames) {
    settings.removeSplitFilesAfterRejoin = true;
    fs.AddFile("E:\\parts\\film.sio", fs.Content("E:\\parts\\movie.avi.sio"));
    fs.Delete("E:\\parts\\movie.avi.sio");
    fs.AddFile("E:\\parts\\film.0.spl", {7});  // not a piece of this rejoin
    r.sourcePath = "E:\\parts\\film.sio";
    ASSERT_EQ(RunSplit(), Outcome::Completed);
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), whole);
    EXPECT_EQ(fs.FilesUnder("E:\\"), std::vector<std::string>{"E:\\PARTS\\FILM.0.SPL"});
}

TEST_F(Rejoin, UndeletableInfoFileKeepsThePiecesAndSaysWhy) {
    settings.removeSplitFilesAfterRejoin = true;
    fs.AddFault({fake::Op::Delete, ".sio", err::kAccessDenied, 0, 1});
    EXPECT_EQ(RunSplit(), Outcome::Stopped);
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
        return Host::FileExists::Rename;
    };
    ASSERT_EQ(RunSplit(), Outcome::Completed);
    EXPECT_EQ(host.existsAsked, (std::vector<std::string>{"F:\\out\\movie.avi", "F:\\out\\second.avi"}));
    EXPECT_EQ(fs.Content("F:\\out\\third.avi"), whole);
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), Bytes{1});
    EXPECT_EQ(r.rejoinOutputPath, "F:\\out\\third.avi");
}

TEST_F(Rejoin, CancelOnTheQuestionOverwrites) {
    fs.AddFile("F:\\out\\movie.avi", Bytes(99999));
    ASSERT_EQ(RunSplit(), Outcome::Completed);
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), whole);
}

TEST_F(Rejoin, OutputMayNotBeItsOwnInput) {
    r.destinationFolder = "E:\\parts";
    fs.AddFile("E:\\parts\\movie.avi", {1});
    for (const char* input : {"E:\\parts\\movie.avi.sio", "E:\\parts\\movie.avi.1.spl"}) {
        host.boxes.clear();
        host.fileExists = [&](std::string& path) {
            path = input;
            return Host::FileExists::Rename;
        };
        EXPECT_EQ(RunSplit(), Outcome::Stopped);
        EXPECT_EQ(host.texts(), std::vector<std::string>{texts::kOutputIsInput});
        EXPECT_EQ(fs.FilesUnder("E:\\").size(), 5u);
        EXPECT_EQ(fs.Content("E:\\parts\\movie.avi.1.spl").size(), 10000u);
    }
}

TEST_F(Rejoin, StopAtTheQuestionDeletesNothing) {
    fs.AddFile("F:\\out\\movie.avi", {1});
    r.rejoinOutputPath = "F:\\out\\movie.avi";  // left from an earlier rejoin
    host.fileExists = [](std::string&) { return Host::FileExists::Stop; };
    ASSERT_EQ(RunSplit(), Outcome::Cancelled);
    OperationContext ctx{r, fs, host, settings, nullptr};
    CleanUpCancelled(ctx);
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), Bytes{1});
}

TEST_F(Rejoin, EmptyDestinationAndUnreadableInfo) {
    r.destinationFolder.clear();
    EXPECT_EQ(RunSplit(), Outcome::Stopped);
    EXPECT_EQ(host.texts(), std::vector<std::string>{"Specify ouput folder"});
    r.destinationFolder = "F:\\out";
    r.sourcePath = "E:\\parts\\gone.sio";
    host.boxes.clear();
    EXPECT_EQ(RunSplit(), Outcome::Stopped);
    EXPECT_EQ(host.texts(), std::vector<std::string>{"E:\\parts\\gone.sio was not found."});
    EXPECT_TRUE(fs.FilesUnder("F:\\").empty());
    ExpectIdle();
}

TEST(InfoFileForPiece, ReplacesTheIndexSuffix) {
    EXPECT_EQ(InfoFileForPiece("D:\\x\\film.avi.3.spl"), "D:\\x\\film.avi.sio");
    EXPECT_EQ(InfoFileForPiece("D:\\x\\film.avi.123.SPL"), "D:\\x\\film.avi.sio");
    EXPECT_EQ(InfoFileForPiece("README.0.spl"), "README.sio");
    EXPECT_EQ(InfoFileForPiece("x.spl"), "");
}

}  // namespace
