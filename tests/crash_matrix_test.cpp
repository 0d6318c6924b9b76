// A power loss at every step of a split, a rejoin and a rejoin that removes
// its pieces. After each step the fake platform gives every disk a power
// loss could leave (what was flushed, and any stored prefix of each drive's
// names), and each is judged by the same two rules: the user's data is
// there whole in at least one form (the source, a set a rejoin accepts, or
// the exact output), and nothing a rejoin accepts is wrong.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "engine/base/Names.h"
#include "engine/set/RejoinBatch.h"
#include "engine/set/SplitInfo.h"
#include "engine/set/SplitState.h"
#include "engine/io/RunOutputs.h"
#include "engine/ops/Prepare.h"
#include "support/SplitFixture.h"

using namespace engine;
using support::Bytes;

namespace {

// What a rejoin of `info` on a disk left by a power loss gives, or nothing
// when it refuses or fails. It writes to a drive of its own.
std::optional<Bytes> RejoinOn(fake::FakePlatform& fs, const std::string& info) {
    fs.drive('G');
    fs.AddFolder("G:\\check");
    fake::FakeHost host;
    StartRequest request;
    request.mode = Mode::Rejoin;
    request.sourceText = info;
    request.destinationText = "G:\\check";
    const Prepared prepared = PrepareJob(request, fs, EngineSettings{});
    if (!prepared.ok) return std::nullopt;
    OperationContext ctx(fs, host);
    if (RunJob(prepared.job, ctx) != Outcome::Completed) return std::nullopt;
    return fs.Content("G:\\check\\" + std::get<RejoinJob>(prepared.job).set.name);
}

// What Go.bat would make of the pieces it names, as cmd's copy /B does;
// nothing when one of them is missing.
std::optional<Bytes> GoBatOn(const fake::FakePlatform& fs, const std::string& folder, std::uint32_t count) {
    Bytes all;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string piece = folder + "\\movie.avi." + std::to_string(i) + ".spl";
        if (!fs.HasFile(piece)) return std::nullopt;
        const Bytes& part = fs.Content(piece);
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// Runs `scenario` once to count its steps, then again for every step with
// a power loss right after it, and hands each disk it could leave to
// `judge`.
void AtEveryStep(const std::function<std::unique_ptr<support::SplitCase>()>& make,
                 const std::function<void(fake::FakePlatform& image, int step)>& judge) {
    int steps = 0, before = 0;
    {
        auto f = make();
        before = f->fs.steps();  // what setting up the scenario took
        ASSERT_EQ(f->Run(), Outcome::Completed);
        steps = f->fs.steps() - before;
    }
    ASSERT_GT(steps, 5);
    std::size_t judged = 0;
    for (int at = before + 1; at <= before + steps; ++at) {
        auto f = make();
        std::vector<std::unique_ptr<fake::FakePlatform>> images;
        f->fs.afterStep = [&](int step) {
            if (step == at) images = f->fs.PowerLossImages();
        };
        f->Run();
        f->fs.afterStep = nullptr;
        for (auto& image : images) {
            SCOPED_TRACE("power loss after step " + std::to_string(at));
            judge(*image, at);
            ++judged;
        }
    }
    EXPECT_GT(judged, static_cast<std::size_t>(steps));
}

// A split of 10,000 bytes into four pieces over an older set of the same
// name: as every earlier version wrote it (no checksums: nothing but the
// order of the steps protects it) or with checksums, and with more pieces;
// and the same with recovery data, which no disk left may turn into a wrong
// file when a piece is lost as well.
TEST(CrashMatrix, SplitOverAnOlderSet) {
    for (const auto& [legacy, recovery] : {std::pair{true, false}, std::pair{false, false}, std::pair{false, true}}) {
        SCOPED_TRACE(legacy ? "older set without checksums" : recovery ? "with recovery data" : "older set with checksums");
        const Bytes older = support::Pattern(12000, 5);
        const Bytes source = support::Pattern(10000, 6);
        auto make = [&] {
            auto f = std::make_unique<support::SplitCase>();
            f->Source(source.size());
            f->source = source;
            f->fs.AddFile(f->sourcePath, source);
            f->Preset(3000);
            if (recovery) f->request.recoveryPercent = 50;
            const support::CheckedSet old = support::CutWithChecksums("movie.avi", older, 2000);
            Bytes info = EncodeInfoFile(old.set, f->fs);
            if (legacy) info.resize(kSplitInfoSize);
            f->fs.AddFile("E:\\parts\\movie.avi.sio", info);
            for (std::size_t i = 0; i < old.pieces.size(); ++i) {
                f->fs.AddFile("E:\\parts\\movie.avi." + std::to_string(i) + ".spl", old.pieces[i]);
            }
            const std::string line = RejoinBatchLine("movie.avi", old.pieces.size());
            f->fs.AddFile("E:\\parts\\Go.bat", Bytes(line.begin(), line.end()));
            return f;
        };
        int rebuilds = 0;
        AtEveryStep(make, [&](fake::FakePlatform& image, int) {
            EXPECT_EQ(image.Content("D:\\video\\movie.avi"), source);
            if (const auto joined = RejoinOn(image, "E:\\parts\\movie.avi.sio")) {
                EXPECT_TRUE(*joined == source || *joined == older) << "a rejoin accepted a wrong file";
            }
            if (recovery && image.HasFile("E:\\parts\\movie.avi.1.spl")) {
                image.Delete("E:\\parts\\movie.avi.1.spl");
                if (const auto rebuilt = RejoinOn(image, "E:\\parts\\movie.avi.sio")) {
                    EXPECT_TRUE(*rebuilt == source || *rebuilt == older) << "a rebuild gave a wrong file";
                    rebuilds += *rebuilt == source;
                }
            }
            if (image.HasFile("E:\\parts\\Go.bat")) {
                const Bytes& batch = image.Content("E:\\parts\\Go.bat");
                const std::string text(batch.begin(), batch.end());
                for (std::uint32_t count : {4u, 6u}) {
                    if (text != RejoinBatchLine("movie.avi", count)) continue;
                    if (const auto made = GoBatOn(image, "E:\\parts", count)) {
                        EXPECT_TRUE(*made == source || *made == older) << "Go.bat would make a wrong file";
                    }
                }
            }
        });
        // The disks after the last steps hold the new set and its recovery files.
        EXPECT_EQ(rebuilds > 0, recovery);
    }
}

// A split that a power loss stops, continued on every disk it could leave:
// the next split makes the exact set, and writes again only the pieces the
// state on that disk does not list (each piece is listed once it is on the
// disk, so at most the one being written is lost).
TEST(CrashMatrix, ASplitStoppedByAPowerLossContinues) {
    const Bytes source = support::Pattern(10000, 8);
    auto make = [&] {
        auto f = std::make_unique<support::SplitCase>();
        f->Source(source.size());
        f->source = source;
        f->fs.AddFile(f->sourcePath, source);
        f->Preset(3000);
        return f;
    };
    int continued = 0;
    AtEveryStep(make, [&](fake::FakePlatform& image, int) {
        SplitState state;
        const std::string statePath = "E:\\parts\\" + StateFileName("movie.avi");
        if (image.HasFile(statePath)) {
            const Bytes& bytes = image.Content(statePath);
            ASSERT_TRUE(DecodeSplitState(std::string(bytes.begin(), bytes.end()), state));
        }
        std::uint64_t written = 0;
        image.onWrite = [&](const std::string& path, std::uint32_t n) {
            if (EndsWithNoCase(path, ".spl")) written += n;
        };
        fake::FakeHost host;
        host.answer = [](const fake::Box&) { return Answer::Ok; };
        StartRequest request;
        request.mode = Mode::Split;
        request.sourceText = "D:\\video\\movie.avi";
        request.destinationText = "E:\\parts";
        request.size.custom = false;
        request.size.presetBytes = 3000;
        const Prepared prepared = PrepareJob(request, image, EngineSettings{});
        ASSERT_TRUE(prepared.ok);
        OperationContext ctx(image, host);
        ASSERT_EQ(RunJob(prepared.job, ctx), Outcome::Completed);
        Bytes joined;
        for (int i = 0; i < 4; ++i) {
            const Bytes& piece = image.Content("E:\\parts\\movie.avi." + std::to_string(i) + ".spl");
            joined.insert(joined.end(), piece.begin(), piece.end());
        }
        EXPECT_EQ(joined, source);
        EXPECT_FALSE(image.HasFile(statePath));
        EXPECT_EQ(written, source.size() - std::min<std::uint64_t>(source.size(), 3000 * state.pieces.size()));
        continued += !state.pieces.empty();
    });
    EXPECT_GT(continued, 0);
}

// A rejoin into F:\out over an older file of the name, with and without
// removing the pieces, and with the output beside the pieces on the same
// drive.
TEST(CrashMatrix, RejoinAndRemoval) {
    const Bytes whole = support::Pattern(10000, 7);
    const Bytes old = {'o', 'l', 'd'};
    for (const bool remove : {true, false}) {
        for (const char* out : {"F:\\out", "E:\\out"}) {
            SCOPED_TRACE(std::string(remove ? "removing the pieces, into " : "into ") + out);
            auto make = [&] {
                auto f = std::make_unique<support::SplitCase>();
                support::LayRejoin(*f, whole, 3000, out);
                f->fs.AddFile(std::string(out) + "\\movie.avi", old);
                f->settings.removeSplitFilesAfterRejoin = remove;
                return f;
            };
            AtEveryStep(make, [&](fake::FakePlatform& image, int) {
                const std::string output = std::string(out) + "\\movie.avi";
                // What has the output's name is the older file or the exact new one.
                ASSERT_TRUE(image.HasFile(output));
                const Bytes& there = image.Content(output);
                EXPECT_TRUE(there == old || there == whole) << "a partial output under the final name";
                const auto joined = RejoinOn(image, "E:\\parts\\movie.avi.sio");
                if (joined) {
                    EXPECT_EQ(*joined, whole) << "a rejoin accepted a wrong file";
                }
                EXPECT_TRUE(there == whole || joined) << "the file is lost: no output and no set";
            });
        }
    }
}

// A rejoin stopped by a power loss at any step and then continued: the
// next rejoin makes the exact file and writes again only what the state
// left by the power loss does not list.
TEST(CrashMatrix, ARejoinStoppedByAPowerLossContinues) {
    const Bytes whole = support::Pattern(10000, 9);
    auto make = [&] {
        auto f = std::make_unique<support::SplitCase>();
        support::LayRejoin(*f, whole, 3000);
        return f;
    };
    int continued = 0;
    AtEveryStep(make, [&](fake::FakePlatform& image, int) {
        std::uint32_t listed = 0;
        support::BesidesPartial(image, "F:\\", "F:\\out", "movie.avi", nullptr, &listed);
        const bool published = image.HasFile("F:\\out\\movie.avi");
        std::uint64_t written = 0;
        image.onWrite = [&](const std::string& path, std::uint32_t n) {
            if (EndsWithNoCase(path, ".partial")) written += n;
        };
        fake::FakeHost host;
        host.answer = [](const fake::Box&) { return Answer::Ok; };
        host.fileExists = [](std::string&) { return FileExistsAnswer::Overwrite; };
        StartRequest request;
        request.mode = Mode::Rejoin;
        request.sourceText = "E:\\parts\\movie.avi.sio";
        request.destinationText = "F:\\out";
        const Prepared prepared = PrepareJob(request, image, EngineSettings{});
        ASSERT_TRUE(prepared.ok);
        OperationContext ctx(image, host);
        ASSERT_EQ(RunJob(prepared.job, ctx), Outcome::Completed);
        EXPECT_EQ(image.Content("F:\\out\\movie.avi"), whole);
        EXPECT_EQ(image.FilesUnder("F:\\"), std::vector<std::string>{"F:\\OUT\\MOVIE.AVI"});
        if (!published) {
            EXPECT_EQ(written, whole.size() - std::uint64_t{3000} * listed);
        }
        continued += listed > 0 && !published;
    });
    EXPECT_GT(continued, 0);
}

// A repair in place of a set with a lost piece and a damaged one, and
// recovery files made for an intact set, over a set with recovery data made
// by a split: after a power loss at any step every piece is as it was or
// exact, and a rejoin (rebuilding what it must) still gives the file.
TEST(CrashMatrix, RepairInPlaceAndProtect) {
    const Bytes source = support::Pattern(10000, 8);
    for (const Mode mode : {Mode::Repair, Mode::Protect}) {
        SCOPED_TRACE(mode == Mode::Repair ? "repair" : "protect");
        std::vector<Bytes> pieces;
        auto make = [&] {
            auto f = std::make_unique<support::SplitCase>();
            f->Source(source.size());
            f->source = source;
            f->fs.AddFile(f->sourcePath, source);
            f->Preset(3000);
            f->request.recoveryPercent = mode == Mode::Repair ? 50 : 0;
            EXPECT_EQ(f->Run(), Outcome::Completed);
            pieces.clear();
            for (std::uint32_t i = 0; i < 4; ++i) pieces.push_back(f->fs.Content(f->Piece(i)));
            if (mode == Mode::Repair) {
                f->fs.Delete(f->Piece(2));
                Bytes b = pieces[1];
                b[7] ^= 1;
                f->fs.AddFile(f->Piece(1), b);
            }
            f->request = StartRequest{};
            f->request.mode = mode;
            f->request.sourceText = "E:\\parts\\movie.avi.sio";
            f->request.recoveryPercent = 50;
            return f;
        };
        AtEveryStep(make, [&](fake::FakePlatform& image, int) {
            for (std::uint32_t i = 0; i < 4; ++i) {
                const std::string piece = "E:\\parts\\movie.avi." + std::to_string(i) + ".spl";
                if (!image.HasFile(piece)) {
                    EXPECT_TRUE(mode == Mode::Repair && i == 2) << "a piece was lost: " << i;
                    continue;
                }
                const bool damaged = mode == Mode::Repair && i == 1;
                EXPECT_TRUE(image.Content(piece) == pieces[i] || damaged) << "a piece is wrong: " << i;
            }
            const auto joined = RejoinOn(image, "E:\\parts\\movie.avi.sio");
            ASSERT_TRUE(joined.has_value()) << "the set no longer rejoins";
            EXPECT_EQ(*joined, source);
        });
    }
}

}  // namespace
