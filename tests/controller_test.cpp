#include <gtest/gtest.h>

#include "engine/Controller.h"
#include "engine/SplitInfo.h"
#include "engine/Texts.h"
#include "support/SplitFixture.h"

using namespace engine;
using fake::Bytes;

namespace {

// A split of 25,000,000 bytes into 10 MB pieces (nine loads) driven through
// the controller, with a Cancel "clicked" on the window thread after
// `cancelAfterLoads` loads.
class Controller : public fake::SplitFixture {
public:
    void SetUp() override {
        SplitFixture::SetUp();
        Source(25000000);
        Preset(kPreset10MB);
        host.onPump = [this] {
            if (!clicked && host.loads >= cancelAfterLoads) {
                clicked = true;
                loadsAtClick = host.loads;
                EXPECT_TRUE(controller.OnCancel());
            }
        };
        // The worker waits at the chosen load until the question is up, so
        // that it cannot finish before the click arrives.
        host.onLoad = [this] {
            if (host.loads == cancelAfterLoads) {
                while (!asking) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        };
        host.answer = [this](const fake::Box& box) {
            if (box.caption != texts::kSuspendedCaption) return Answer::Ok;
            asking = true;
            // While the question is open the worker makes no further progress
            // (the load under way may finish).
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            loadsWhileAsking = host.loads - loadsAtClick;
            return questionAnswer;
        };
    }

    bool Start(const std::string& source, const std::string& destination) {
        return controller.OnStartOperation(source, destination, settings);
    }

    OperationController controller{r, fs, host};
    int cancelAfterLoads = 1000;
    std::atomic<bool> asking{false};
    Answer questionAnswer = Answer::Ok;
    bool clicked = false;
    int loadsAtClick = 0;
    int loadsWhileAsking = -1;
};

TEST_F(Controller, RunsTheSplitOnAWorker) {
    EXPECT_TRUE(Start(r.sourcePath, "E:\\parts"));
    EXPECT_EQ(controller.lastOutcome(), Outcome::Completed);
    EXPECT_EQ(host.notices, 1);
    EXPECT_EQ(Joined(3), source);
    EXPECT_EQ(host.sizeShown, 25000000u);
    EXPECT_EQ(host.collapses, 1);
    EXPECT_FALSE(controller.running());
    ExpectIdle();
}

TEST_F(Controller, ContinueResumesWhereItStopped) {
    cancelAfterLoads = 3;
    EXPECT_TRUE(Start(r.sourcePath, "E:\\parts"));
    ASSERT_TRUE(clicked);
    EXPECT_LE(loadsWhileAsking, 1);
    EXPECT_EQ(controller.lastOutcome(), Outcome::Completed);
    EXPECT_EQ(host.texts(), std::vector<std::string>{"The current operation is suspended.\n Continue?"});
    EXPECT_EQ(host.boxes[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(Joined(3), source);
    EXPECT_EQ(host.notices, 1);
    ExpectIdle();
}

TEST_F(Controller, StopRemovesThePartialSplitAtAnyLoad) {
    for (int at : {1, 4, 5, 8}) {
        SCOPED_TRACE(at);
        fake::SplitCase f;
        f.Source(25000000);
        f.Preset(kPreset10MB);
        OperationController controller(f.r, f.fs, f.host);
        bool clicked = false;
        std::atomic<bool> asking{false};
        f.host.onLoad = [&] {
            if (f.host.loads == at) {
                while (!asking) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        };
        f.host.onPump = [&] {
            if (!clicked && f.host.loads >= at) {
                clicked = true;
                controller.OnCancel();
            }
        };
        f.host.answer = [&](const fake::Box&) {
            asking = true;
            return Answer::Cancel;
        };
        EXPECT_TRUE(controller.OnStartOperation(f.r.sourcePath, "E:\\parts", f.settings));
        EXPECT_EQ(controller.lastOutcome(), Outcome::Cancelled);
        EXPECT_EQ(f.host.notices, 0);
        EXPECT_EQ(f.fs.FilesUnder("E:\\"), std::vector<std::string>{"E:\\PARTS\\GO.BAT"});
        EXPECT_EQ(f.fs.Content(f.r.sourcePath), f.source);
        f.ExpectIdle();
    }
}

TEST_F(Controller, StopRemovesThePartialRejoinOnly) {
    // Split first, then rejoin into F:\out where a file of an earlier run lies.
    ASSERT_TRUE(Start(r.sourcePath, "E:\\parts"));
    fs.drive('F');
    fs.AddFolder("F:\\out");
    fs.AddFile("F:\\out\\earlier.avi", {1, 2});
    r.splitMode = false;
    clicked = false;
    host.loads = 0;
    cancelAfterLoads = 1;  // after the first piece
    questionAnswer = Answer::Cancel;
    EXPECT_TRUE(Start("E:\\parts\\movie.avi.sio  ", "F:\\out"));
    ASSERT_TRUE(clicked);
    EXPECT_EQ(controller.lastOutcome(), Outcome::Cancelled);
    EXPECT_EQ(fs.FilesUnder("F:\\"), std::vector<std::string>{"F:\\OUT\\EARLIER.AVI"});
    EXPECT_EQ(fs.FilesUnder("E:\\").size(), 5u);
    ExpectIdle();
}

TEST_F(Controller, CancelWithoutAnOperationAsksNothing) {
    EXPECT_FALSE(controller.OnCancel());
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(Controller, ASecondStartWhileRunningIsRefused) {
    int starts = 0;
    host.onPump = [&] {
        if (starts++ == 0) {
            EXPECT_TRUE(Start(r.sourcePath, "E:\\parts"));
        }
    };
    EXPECT_TRUE(Start(r.sourcePath, "E:\\parts"));
    EXPECT_EQ(host.notices, 1);
    EXPECT_EQ(Joined(3), source);
}

struct StartCase {
    const char* what;
    std::function<void(fake::SplitCase&)> arrange;
    std::string source, destination;
    const char* message;  // null: the operation ran
    bool result;          // what OnStartOperation answers
};

TEST(StartChecks, InTheirOrderWithTheirTexts) {
    const StartCase cases[] = {
        {"source not found", nullptr, "D:\\video\\none.avi", "E:\\parts", texts::kSourceNotDefined, true},
        {"empty source", nullptr, "", "E:\\parts", texts::kSourceNotDefined, true},
        {"trailing blanks removed", nullptr, "D:\\video\\movie.avi   ", "E:\\parts", nullptr, true},
        {"destination not found", nullptr, "D:\\video\\movie.avi", "E:\\nowhere", texts::kDestinationNotDefined, true},
        {"empty destination, no working folder", nullptr, "D:\\video\\movie.avi", "", texts::kDestinationNotDefined, true},
        {"empty destination takes the working folder",
         [](auto& f) { f.settings.workingFolder = "E:\\parts"; }, "D:\\video\\movie.avi", "", nullptr, true},
        {"drive root", nullptr, "D:\\video\\movie.avi", "E:\\", nullptr, true},
        {"no room for the source", [](auto& f) { f.fs.drive('E').freeBytes = 4999; }, "D:\\video\\movie.avi",
         "E:\\parts", texts::kNoRoomForSource, false},
        {"no room on a removable disk either",
         [](auto& f) { f.fs.drive('E').type = DriveType::Removable; f.fs.drive('E').freeBytes = 4999; },
         "D:\\video\\movie.avi", "E:\\parts", texts::kNoRoomForSource, false},
        {"4 GiB source", [](auto& f) { f.fs.reportedSizes[f.r.sourcePath] = 0x100000000ull; },
         "D:\\video\\movie.avi", "E:\\parts", texts::kSourceTooLarge, true},
        {"just enough room", [](auto& f) { f.fs.drive('E').freeBytes = 5000 + 268 + 200; },
         "D:\\video\\movie.avi", "E:\\parts", nullptr, true},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.what);
        fake::SplitCase f;
        f.Source(5000);
        f.Preset(2000);
        if (c.arrange) c.arrange(f);
        OperationController controller(f.r, f.fs, f.host);
        EXPECT_EQ(controller.OnStartOperation(c.source, c.destination, f.settings), c.result);
        if (c.message) {
            ASSERT_EQ(f.host.texts(), std::vector<std::string>{c.message});
            EXPECT_EQ(f.host.boxes[0].caption, c.result ? "" : "No disk space.");
            EXPECT_TRUE(f.fs.FilesUnder("E:\\").empty());
        } else {
            EXPECT_EQ(controller.lastOutcome(), Outcome::Completed);
            EXPECT_EQ(f.host.notices, 1);
        }
        f.ExpectIdle();
    }
}

TEST(StartChecks, EmptyDestinationShowsTheWorkingFolder) {
    fake::SplitCase f;
    f.Source(5000);
    f.Preset(2000);
    f.settings.workingFolder = "E:\\parts";
    OperationController controller(f.r, f.fs, f.host);
    controller.OnStartOperation(f.r.sourcePath, "", f.settings);
    EXPECT_EQ(f.host.workingFolderShown, "E:\\parts");
    EXPECT_TRUE(f.fs.HasFile("E:\\parts\\movie.avi.2.spl"));
}

TEST(StartChecks, EraseOnlyBeforeASplitToARemovableDisk) {
    for (bool split : {true, false}) {
        SCOPED_TRACE(split);
        fake::SplitCase f;
        f.fs.drive('A').type = DriveType::Removable;
        f.fs.AddFile("A:\\old.txt", {1});
        f.fs.AddFile("A:\\parts\\x.sio", Bytes(3));
        f.Source(5000);
        f.Preset(2000);
        f.r.splitMode = split;
        f.settings.eraseRemovableBeforeSplit = true;
        OperationController controller(f.r, f.fs, f.host);
        controller.OnStartOperation(split ? f.r.sourcePath : "A:\\parts\\x.sio", "A:\\", f.settings);
        EXPECT_EQ(f.fs.HasFile("A:\\old.txt"), !split);
    }
}

}  // namespace
