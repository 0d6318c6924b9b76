#include <gtest/gtest.h>

#include "engine/worker/Controller.h"
#include "engine/worker/ProgressSnapshot.h"
#include "engine/set/SplitInfo.h"
#include "engine/ops/Prepare.h"
#include "engine/base/Texts.h"
#include "support/SplitFixture.h"
#include "support/TestName.h"

using namespace engine;
using support::Bytes;

namespace {

// A split of 25,000,000 bytes into 10 MB pieces (nine loads) driven through
// the controller, with a Cancel "clicked" on the window thread after
// `cancelAfterLoads` loads.
class Controller : public support::SplitFixture {
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
            // While the question is open the worker parks at its next
            // checkpoint (the load under way may finish) and stays there.
            for (int wait = 0; wait < 10000 && !controller.workerHeld(); ++wait) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            held = controller.workerHeld();
            loadsWhileAsking = host.loads - loadsAtClick;
            return questionAnswer;
        };
    }

    // The window's Start: the checks, then the job on the worker.
    bool Start() {
        const Prepared prepared = PrepareJob(request, fs, settings);
        if (!prepared.ok) return false;
        return controller.Run(prepared.job, settings);
    }

    OperationController controller{fs, host, host};
    int cancelAfterLoads = 1000;
    std::atomic<bool> asking{false};
    Answer questionAnswer = Answer::Ok;
    bool clicked = false;
    int loadsAtClick = 0;
    int loadsWhileAsking = -1;
    bool held = false;
};

// The worker never waits on the window: the window hears of the end, and
// shows the closing notice, on its own thread once the worker has gone.
TEST_F(Controller, RunsTheSplitOnAWorker) {
    bool runningAtNotice = true;
    host.onNotice = [&] { runningAtNotice = controller.running(); };
    EXPECT_TRUE(Start());
    EXPECT_EQ(host.noticeThread, std::this_thread::get_id());
    EXPECT_EQ(host.eventThread, std::this_thread::get_id());
    EXPECT_FALSE(runningAtNotice);
    EXPECT_EQ(controller.lastOutcome(), Outcome::Completed);
    EXPECT_EQ(host.notices, 1);
    EXPECT_EQ(Joined(3), source);
    EXPECT_FALSE(controller.running());
    ExpectIdle();
}

TEST_F(Controller, ContinueResumesWhereItStopped) {
    cancelAfterLoads = 3;
    EXPECT_TRUE(Start());
    ASSERT_TRUE(clicked);
    EXPECT_TRUE(held);
    EXPECT_LE(loadsWhileAsking, 1);
    EXPECT_EQ(controller.lastOutcome(), Outcome::Completed);
    EXPECT_EQ(host.texts(), std::vector<std::string>{"The current operation is suspended.\n Continue?"});
    EXPECT_EQ(host.boxes[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(Joined(3), source);
    EXPECT_EQ(host.notices, 1);
    ExpectIdle();
}

TEST_F(Controller, StopKeepsOnlyThePiecesFinishedAtAnyLoad) {
    for (int at : {1, 4, 5, 8}) {
        SCOPED_TRACE(at);
        support::SplitCase f;
        f.Source(25000000);
        f.Preset(kPreset10MB);
        f.fs.AddFile("E:\\parts\\Go.bat", {'o', 'l', 'd'});  // another set's
        OperationController controller(f.fs, f.host, f.host);
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
        const Prepared prepared = PrepareJob(f.request, f.fs, f.settings);
        ASSERT_TRUE(prepared.ok);
        EXPECT_TRUE(controller.Run(prepared.job, f.settings));
        EXPECT_EQ(controller.lastOutcome(), Outcome::Cancelled);
        EXPECT_EQ(f.host.notices, 0);
        EXPECT_EQ(support::BesidesKept(f.fs, "E:\\"), std::vector<std::string>{"E:\\PARTS\\GO.BAT"});
        EXPECT_EQ(f.fs.Content("E:\\parts\\Go.bat"), (Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(f.fs.Content(f.sourcePath), f.source);
        f.ExpectIdle();
    }
}

// The worker is past its last checkpoint, publishing the set, when Cancel is
// pressed: the answer comes too late to stop anything, and the split is
// reported as done rather than left to look stopped.
TEST_F(Controller, ALateStopKeepsTheFinishedWorkAndSaysSo) {
    std::atomic<bool> publishing{false};
    fs.onRename = [&](const std::string& to) {
        if (to.size() < 4 || to.compare(to.size() - 4, 4, ".sio") != 0) return;
        publishing = true;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!asking && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    host.onPump = [&] {
        if (!clicked && publishing) {
            clicked = true;
            EXPECT_TRUE(controller.OnCancel());
        }
    };
    host.answer = [&](const fake::Box& box) {
        if (box.caption != texts::kSuspendedCaption) return Answer::Ok;
        asking = true;
        // The worker finishes while the question is open.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!host.workerFinished && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return Answer::Cancel;
    };
    EXPECT_TRUE(Start());
    ASSERT_TRUE(clicked);
    EXPECT_EQ(controller.lastOutcome(), Outcome::Completed);
    EXPECT_EQ(Joined(3), source);
    EXPECT_EQ(host.notices, 1);
    ExpectIdle();
}

TEST_F(Controller, StopRemovesThePartialRejoinOnly) {
    // Split first, then rejoin into F:\out where a file of an earlier run lies.
    ASSERT_TRUE(Start());
    fs.drive('F');
    fs.AddFolder("F:\\out");
    fs.AddFile("F:\\out\\earlier.avi", {1, 2});
    fs.AddFile("F:\\out\\movie.avi", {3, 4});  // the older file the rejoin would replace
    request.mode = Mode::Rejoin;
    request.sourceText = "E:\\parts\\movie.avi.sio  ";
    request.destinationText = "F:\\out";
    clicked = false;
    host.loads = 0;
    cancelAfterLoads = 1;  // after the first piece
    questionAnswer = Answer::Cancel;
    EXPECT_TRUE(Start());
    ASSERT_TRUE(clicked);
    EXPECT_EQ(controller.lastOutcome(), Outcome::Cancelled);
    EXPECT_EQ(fs.FilesUnder("F:\\"), (std::vector<std::string>{"F:\\OUT\\EARLIER.AVI", "F:\\OUT\\MOVIE.AVI"}));
    EXPECT_EQ(fs.Content("F:\\out\\movie.avi"), (Bytes{3, 4}));
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
            EXPECT_FALSE(Start());
        }
    };
    EXPECT_TRUE(Start());
    EXPECT_EQ(host.notices, 1);
    EXPECT_EQ(host.starts, 1);
    EXPECT_EQ(Joined(3), source);
}

// An earlier complete split of the same name, then a second split that is
// stopped before it writes: the first set stays whole.
TEST_F(Controller, AStoppedRunNeverRemovesAnEarlierRunsFiles) {
    ASSERT_TRUE(Start());
    const Bytes info = fs.Content(Info());
    host.boxes.clear();
    fs.drive('E').freeBytes = 100;  // the second split is refused for room
    EXPECT_FALSE(Start());
    Preset(40000000);                // and for a piece larger than the source
    fs.drive('E').freeBytes = 1ull << 40;
    EXPECT_FALSE(Start());
    EXPECT_EQ(fs.Content(Info()), info);
    EXPECT_EQ(Joined(3), source);
}

// The start checks run on the worker while the window keeps pumping its
// messages: a check held up by a slow disk does not hold up the window.
TEST_F(Controller, TheStartChecksRunOnTheWorkerWhileTheWindowPumps) {
    std::atomic<bool> checking{false}, released{false};
    std::thread::id checker;
    fs.onStatus = [&] {
        if (released) return;
        checker = std::this_thread::get_id();
        checking = true;
        while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    bool pumpedWhileChecking = false, secondRefused = false, cancelTaken = false;
    host.onPump = [&] {
        if (!checking || released) return;
        pumpedWhileChecking = true;
        // Meanwhile another start is refused, and Cancel has nothing to ask.
        Prepared other;
        secondRefused = !controller.Prepare(request, settings, other);
        cancelTaken = controller.OnCancel() && host.texts().empty();
        released = true;
    };
    Prepared prepared;
    ASSERT_TRUE(controller.Prepare(request, settings, prepared));
    EXPECT_TRUE(prepared.ok);
    EXPECT_TRUE(pumpedWhileChecking);
    EXPECT_NE(checker, std::this_thread::get_id());
    EXPECT_TRUE(secondRefused);
    EXPECT_TRUE(cancelTaken);
    fs.onStatus = nullptr;
}


struct StartCase {
    const char* what;
    std::function<void(support::SplitCase&)> arrange;
    std::string source, destination;
    const char* message;  // null: the operation ran
    bool noSpace;
};

const StartCase kStartCases[] = {
    {"source not found", nullptr, "D:\\video\\none.avi", "E:\\parts", texts::kSourceNotDefined, false},
    {"empty source", nullptr, "", "E:\\parts", texts::kSourceNotDefined, false},
    {"a folder as source", nullptr, "D:\\video", "E:\\parts", texts::kSourceNotDefined, false},
    {"trailing blanks removed", nullptr, "D:\\video\\movie.avi   ", "E:\\parts", nullptr, false},
    {"destination not found", nullptr, "D:\\video\\movie.avi", "E:\\nowhere", texts::kDestinationNotDefined, false},
    {"empty destination, no working folder", nullptr, "D:\\video\\movie.avi", "", texts::kDestinationNotDefined, false},
    {"empty destination takes the working folder",
     [](auto& f) { f.settings.workingFolder = "E:\\parts"; }, "D:\\video\\movie.avi", "", nullptr, false},
    {"drive root", nullptr, "D:\\video\\movie.avi", "E:\\", nullptr, false},
    {"no room for the source", [](auto& f) { f.fs.drive('E').freeBytes = 4999; }, "D:\\video\\movie.avi",
     "E:\\parts", texts::kNoRoomForSource, true},
    // A removable disk takes what fits, the next disks the rest; the
    // first must hold the info file, Go.bat and a first byte.
    {"no room for the start of the set on a removable disk",
     [](auto& f) { f.fs.drive('E').type = DriveType::Removable; f.fs.drive('E').freeBytes = 400; },
     "D:\\video\\movie.avi", "E:\\parts", texts::kNoRoomForSource, true},
    {"just enough room", [](auto& f) { f.fs.drive('E').freeBytes = 5000 + 400 + 200; },
     "D:\\video\\movie.avi", "E:\\parts", nullptr, false},
};

class StartCheck : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartCheck, InTheirOrderWithTheirTexts) {
    const StartCase& c = GetParam();
    support::SplitCase f;
    f.Source(5000);
    f.Preset(2000);
    if (c.arrange) c.arrange(f);
    f.request.sourceText = c.source;
    f.request.destinationText = c.destination;
    const Outcome outcome = f.Run();
    if (c.message) {
        ASSERT_EQ(f.host.texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(f.host.boxes[0].caption, c.noSpace ? "No disk space." : "");
        EXPECT_TRUE(f.fs.FilesUnder("E:\\").empty());
        EXPECT_EQ(PrepareJob(f.request, f.fs, f.settings).refusal.noSpace, c.noSpace);
    } else {
        EXPECT_EQ(outcome, Outcome::Completed);
        EXPECT_EQ(f.host.notices, 1);
    }
    f.ExpectIdle();
}

INSTANTIATE_TEST_SUITE_P(StartChecks, StartCheck, ::testing::ValuesIn(kStartCases),
                         [](const auto& info) { return support::TestName(info.param.what); });

TEST(StartChecks, SizesOf4GiBAndMoreArePlanned) {
    support::SplitCase f;
    f.Source(10);
    f.fs.reportedSizes[f.sourcePath] = 5ull << 30;
    f.Preset(kPresetFat32);
    const Prepared prepared = PrepareJob(f.request, f.fs, f.settings);
    ASSERT_TRUE(prepared.ok);
    EXPECT_EQ(prepared.sourceSize, 5ull << 30);
    EXPECT_EQ(std::get<SplitJob>(prepared.job).pieceCount, 2u);
    f.Custom("3", kUnitFiles);
    EXPECT_EQ(std::get<SplitJob>(PrepareJob(f.request, f.fs, f.settings).job).pieceSize, (5ull << 30) / 3 + 2);
    f.Custom("1", kUnitFiles);
    EXPECT_EQ(PrepareJob(f.request, f.fs, f.settings).refusal.text, texts::kChunkLarger);
}

TEST(StartChecks, EmptyDestinationShowsTheWorkingFolder) {
    support::SplitCase f;
    f.Source(5000);
    f.Preset(2000);
    f.settings.workingFolder = "E:\\parts";
    f.request.destinationText.clear();
    const Prepared prepared = PrepareJob(f.request, f.fs, f.settings);
    EXPECT_TRUE(prepared.ok);
    EXPECT_EQ(prepared.workingFolderUsed, "E:\\parts");
    EXPECT_EQ(prepared.sourceSize, 5000u);
}

// The checks change no file, whatever they find: every refusal and every
// accepted job of the tables above, with the erase setting on and off.
TEST(StartChecks, ChangeNoFile) {
    std::vector<std::function<void(support::SplitCase&)>> arrangements;
    for (const StartCase& c : kStartCases) {
        arrangements.push_back([&c](support::SplitCase& f) {
            if (c.arrange) c.arrange(f);
            f.request.sourceText = c.source;
            f.request.destinationText = c.destination;
        });
    }
    for (const char* destination : {"A:\\", "A:\\parts"}) {
        arrangements.push_back([=](support::SplitCase& f) {
            f.fs.drive('A').type = DriveType::Removable;
            f.fs.AddFile("A:\\parts\\old.txt", {1});
            f.fs.AddFile("A:\\other\\keep.txt", {2});
            f.request.destinationText = destination;
        });
    }
    for (const Mode mode : {Mode::Rejoin, Mode::Verify}) {
        for (const bool complete : {true, false}) {
            arrangements.push_back([=](support::SplitCase& f) {
                const support::CheckedSet cut = support::CutWithChecksums("movie.avi", support::Pattern(9000), 4000);
                for (std::size_t i = complete ? 0 : 1; i < cut.pieces.size(); ++i) {
                    f.fs.AddFile("E:\\parts\\movie.avi." + std::to_string(i) + ".spl", cut.pieces[i]);
                }
                f.fs.AddFile("E:\\parts\\movie.avi.sio", EncodeInfoFile(cut.set, f.fs));
                f.fs.AddFile("D:\\video\\movie.avi", {9});  // what a rejoin would be asked about
                f.request.mode = mode;
                f.request.sourceText = "E:\\parts\\movie.avi.sio";
                f.request.destinationText = "D:\\video";
            });
        }
    }
    for (const bool erase : {false, true}) {
        for (const auto& arrange : arrangements) {
            support::SplitCase f;
            f.Source(5000);
            f.Preset(2000);
            f.settings.eraseRemovableBeforeSplit = erase;
            arrange(f);
            const std::string before = f.fs.Tree();
            const int steps = f.fs.steps();
            PrepareJob(f.request, f.fs, f.settings);
            EXPECT_EQ(f.fs.Tree(), before);
            EXPECT_EQ(f.fs.steps(), steps);
            EXPECT_TRUE(f.host.boxes.empty());
        }
    }
}

// The checks never erase: the erase is the split's first step, and a
// rejoin never erases.
TEST(StartChecks, EraseOnlyBeforeASplitToARemovableDisk) {
    for (bool split : {true, false}) {
        SCOPED_TRACE(split);
        support::SplitCase f;
        f.fs.drive('A').type = DriveType::Removable;
        f.fs.AddFile("A:\\old.txt", {1});
        f.Source(5000);
        f.Preset(2000);
        f.request.mode = split ? Mode::Split : Mode::Rejoin;
        f.request.destinationText = "A:\\";
        if (!split) {
            const auto info = EncodeSplitInfo({1, "x", 3});
            f.fs.AddFile("D:\\video\\x.sio", Bytes(info.begin(), info.end()));
            f.fs.AddFile("D:\\video\\x.0.spl", Bytes(3));
            f.request.sourceText = "D:\\video\\x.sio";
        }
        f.settings.eraseRemovableBeforeSplit = true;
        ASSERT_TRUE(PrepareJob(f.request, f.fs, f.settings).ok);
        EXPECT_TRUE(f.fs.HasFile("A:\\old.txt"));
        EXPECT_EQ(f.Run(), Outcome::Completed);
        EXPECT_EQ(f.fs.HasFile("A:\\old.txt"), !split);
    }
}

}  // namespace

namespace {

// Percent, amount, speed and time left, measured from the start of the step
// (the total changing starts one, as the recovery data does after the pieces).
TEST(ProgressFigures, SpeedAndTimeLeftFromTheStepsStart) {
    engine::ProgressSnapshot snapshot;
    snapshot.Begin();
    snapshot.Report(0, 300'000'000, "");
    engine::ProgressSnapshot::View view = snapshot.Read();
    engine::ProgressFigures f = engine::Figures(view, view.stepAt + std::chrono::milliseconds(100));
    EXPECT_EQ(f.percent, 0);
    EXPECT_EQ(f.amount, "0 bytes of 300.0 MB");
    EXPECT_EQ(f.speed, "");  // too early to tell
    view.done = 100'000'000;
    f = engine::Figures(view, view.stepAt + std::chrono::seconds(2));
    EXPECT_EQ(f.percent, 33);
    EXPECT_EQ(f.amount, "100.0 MB of 300.0 MB");
    EXPECT_EQ(f.speed, "50.0 MB/s");
    EXPECT_EQ(f.timeLeft, "about 4 s left");
    view.done = 1'000'000;
    view.total = 2'000'000'000'000;
    f = engine::Figures(view, view.stepAt + std::chrono::seconds(1));
    EXPECT_EQ(f.timeLeft, "about 555 h 33 min left");
    // A new total is a new step: its speed starts afresh.
    snapshot.Report(5, 10, texts::kMakingRecovery);
    view = snapshot.Read();
    EXPECT_EQ(view.stepDone, 5u);
    EXPECT_GE(view.stepAt, view.startedAt);
    // A step that counts entries (the erase of a disk) has a share only,
    // whatever its text says; the next byte step has its amount again.
    snapshot.ReportEntries(3, 40, "any text");
    f = engine::Figures(snapshot.Read(), view.stepAt + std::chrono::seconds(2));
    EXPECT_EQ(f.percent, 7);
    EXPECT_EQ(f.amount, "");
    EXPECT_EQ(f.speed, "");
    snapshot.Report(3, 40, "any text");
    EXPECT_EQ(engine::Figures(snapshot.Read(), view.stepAt).amount, "3 bytes of 40 bytes");
}

}  // namespace
