// The Win32 platform on real files, run under Wine.
#include <gtest/gtest.h>


#include "engine/ops/RunJob.h"
#include "engine/set/RejoinBatch.h"
#include "engine/ops/Prepare.h"
#include "platform/win32/Win32Platform.h"
#include "support/FakeHost.h"
#include "support/SplitFixture.h"

using namespace engine;

namespace {

class Win32Files : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        dir = std::string(temp) + "parvex-" + std::to_string(GetCurrentProcessId()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        CreateDirectoryA(dir.c_str(), nullptr);
    }
    void TearDown() override {
        std::vector<FolderEntry> entries;
        fs.ListFolder(dir, entries);
        for (const auto& e : entries) {
            if (e.isFolder) continue;
            SetFileAttributesA((dir + "\\" + e.name).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA((dir + "\\" + e.name).c_str());
        }
        RemoveDirectoryA(dir.c_str());
    }

    void Write(const std::string& path, const support::Bytes& bytes) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD n = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(h);
    }
    std::string Read(const std::string& path) {
        std::unique_ptr<File> file;
        if (fs.Open(path, {Access::Read, Share::Read, Creation::OpenExisting, true}, file)) return "<missing>";
        std::uint64_t length = 0;
        file->Length(length);
        std::string data(length, '\0');
        std::uint32_t got = 0;
        file->Read(data.data(), static_cast<std::uint32_t>(length), got);
        return data;
    }

    platform::Win32Platform fs;
    std::string dir;
};

TEST_F(Win32Files, RealSplitConcatenatesToTheSource) {
    const support::Bytes source = support::Pattern(7000001);
    Write(dir + "\\clip.mov", source);
    fake::FakeHost host;
    StartRequest request;
    request.sourceText = dir + "\\clip.mov";
    request.destinationText = dir;
    request.size.custom = true;
    request.size.customText = "3";
    request.size.unit = kUnitFiles;
    const Prepared prepared = PrepareJob(request, fs, {});
    ASSERT_TRUE(prepared.ok) << prepared.refusal.text;
    OperationContext ctx(fs, host);
    ASSERT_EQ(RunJob(prepared.job, ctx), Outcome::Completed);
    EXPECT_EQ(std::get<SplitJob>(prepared.job).pieceSize, 2333335u);
    EXPECT_EQ(Read(dir + "\\clip.mov.0.spl") + Read(dir + "\\clip.mov.1.spl") + Read(dir + "\\clip.mov.2.spl"),
              std::string(source.begin(), source.end()));
    EXPECT_EQ(Read(dir + "\\clip.mov.3.spl"), "<missing>");
    EXPECT_EQ(Read(dir + "\\Go.bat"), RejoinBatchLine("clip.mov", 3));
    EXPECT_EQ(Read(dir + "\\clip.mov.sio").substr(0, 4), std::string("\x03\0\0\0", 4));
    EXPECT_EQ(host.notices, 1);
}

TEST_F(Win32Files, LockedAndReadOnlyFilesGiveRealCodes) {
    Write(dir + "\\locked.bin", support::Pattern(10));
    HANDLE lock = CreateFileA((dir + "\\locked.bin").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    std::unique_ptr<File> file;
    EXPECT_EQ(fs.Open(dir + "\\locked.bin", {Access::Read, Share::Read, Creation::OpenExisting, true}, file),
              err::kSharingViolation);
    CloseHandle(lock);

    // A folder cannot be opened as a piece; a read-only handle cannot write.
    // (Read-only attributes do not stop root, which Wine runs as here.)
    EXPECT_EQ(fs.Open(dir, {Access::Read, Share::ReadWrite, Creation::OpenExisting, true}, file),
              err::kAccessDenied);
    Write(dir + "\\ro.bin", support::Pattern(10));
    ASSERT_EQ(fs.Open(dir + "\\ro.bin", {Access::Read, Share::Read, Creation::OpenExisting, true}, file), 0u);
    std::uint32_t written = 0;
    EXPECT_EQ(file->Write("x", 1, written), err::kAccessDenied);
    file.reset();
    EXPECT_EQ(fs.Open(dir + "\\nothing.bin", {Access::Read, Share::Read, Creation::OpenExisting, true}, file),
              err::kFileNotFound);
    EXPECT_EQ(fs.Open(dir + "\\no\\such.bin", {Access::Write, Share::None, Creation::CreateNew, false}, file),
              err::kPathNotFound);
    // A new file never replaces one that is there.
    EXPECT_EQ(fs.Open(dir + "\\ro.bin", {Access::Write, Share::None, Creation::CreateNew, false}, file),
              err::kFileExists);
}

TEST_F(Win32Files, SplitOfALockedSourceSaysErrorReading) {
    Write(dir + "\\busy.bin", support::Pattern(100));
    HANDLE lock = CreateFileA((dir + "\\busy.bin").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    fake::FakeHost host;
    StartRequest request;
    request.sourceText = dir + "\\busy.bin";
    request.destinationText = dir;
    request.size.presetBytes = 40;
    const Prepared prepared = PrepareJob(request, fs, {});
    ASSERT_TRUE(prepared.ok) << prepared.refusal.text;
    OperationContext ctx(fs, host);
    EXPECT_EQ(RunJob(prepared.job, ctx), Outcome::Stopped);
    CloseHandle(lock);
    EXPECT_EQ(host.texts(), std::vector<std::string>{"A sharing violation occurred while accessing " + request.sourceText + "."});
    EXPECT_EQ(Read(dir + "\\busy.bin.sio"), "<missing>");
}

TEST_F(Win32Files, RootsDrivesAndFreeSpace) {
    EXPECT_TRUE(fs.IsRoot("C:\\"));
    EXPECT_TRUE(fs.IsRoot("\\"));
    EXPECT_TRUE(fs.IsRoot("\\\\server\\share"));
    EXPECT_FALSE(fs.IsRoot("C:"));
    EXPECT_FALSE(fs.IsRoot("C:\\parts"));
    EXPECT_EQ(fs.DriveRoot("C:\\parts\\x"), "C:\\");
    EXPECT_EQ(fs.QueryDriveType("C:\\"), DriveType::Fixed);
    std::uint64_t free = 0;
    EXPECT_TRUE(fs.GetFreeSpace(dir, free));
    EXPECT_GT(free, 0u);
    EXPECT_TRUE(fs.IsFolder(dir));
    EXPECT_FALSE(fs.IsFolder(dir + "\\nothing"));
}

}  // namespace

#include "engine/worker/Controller.h"

namespace {

// Both operations through the controller's worker thread on real files; a
// cancel half-way leaves no partial output and no open handle.
TEST_F(Win32Files, ThreadedSplitRejoinAndCancel) {
    const support::Bytes source = support::Pattern(12000000);
    Write(dir + "\\film.avi", source);
    CreateDirectoryA((dir + "\\back").c_str(), nullptr);
    fake::FakeHost host;
    OperationController controller(fs, host, host);
    EngineSettings settings;
    auto run = [&](Mode mode, const std::string& source, const std::string& destination) {
        StartRequest request;
        request.mode = mode;
        request.sourceText = source;
        request.destinationText = destination;
        request.size.presetBytes = 5000000;
        const Prepared prepared = PrepareJob(request, fs, settings);
        EXPECT_TRUE(prepared.ok) << prepared.refusal.text;
        return prepared.ok && controller.Run(prepared.job, settings);
    };

    ASSERT_TRUE(run(Mode::Split, dir + "\\film.avi", dir));
    ASSERT_EQ(controller.lastOutcome(), Outcome::Completed);
    ASSERT_TRUE(run(Mode::Rejoin, dir + "\\film.avi.sio", dir + "\\back"));
    ASSERT_EQ(controller.lastOutcome(), Outcome::Completed);
    EXPECT_EQ(Read(dir + "\\back\\film.avi"), std::string(source.begin(), source.end()));

    // Stop a rejoin over the earlier output after its first piece: the file
    // of the earlier rejoin is still there, whole.
    host.loads = 0;
    bool clicked = false;
    std::atomic<bool> asking{false};
    // Hold the worker after its first load until the question is up.
    host.onLoad = [&] {
        if (host.loads == 1) {
            while (!asking) Sleep(1);
        }
    };
    host.onPump = [&] {
        if (!clicked && host.loads >= 1) {
            clicked = true;
            controller.OnCancel();
        }
    };
    host.answer = [&](const fake::Box& box) {
        if (box.caption != "User interruption") return Answer::Ok;
        asking = true;
        return Answer::Cancel;
    };
    ASSERT_TRUE(run(Mode::Rejoin, dir + "\\film.avi.sio", dir + "\\back"));
    EXPECT_TRUE(clicked);
    EXPECT_EQ(controller.lastOutcome(), Outcome::Cancelled);
    EXPECT_EQ(Read(dir + "\\back\\film.avi"), std::string(source.begin(), source.end()));
    DeleteFileA((dir + "\\back\\film.avi").c_str());

    // And a split stopped after its first load: nothing of it is left, and
    // every file is free to be deleted (no handle left open).
    clicked = false;
    asking = false;
    host.loads = 0;
    ASSERT_TRUE(run(Mode::Split, dir + "\\film.avi", dir + "\\back"));
    EXPECT_EQ(controller.lastOutcome(), Outcome::Cancelled);
    EXPECT_EQ(Read(dir + "\\back\\film.avi.sio"), "<missing>");
    EXPECT_EQ(Read(dir + "\\back\\film.avi.0.spl"), "<missing>");
    EXPECT_EQ(Read(dir + "\\back\\Go.bat"), "<missing>");
    EXPECT_TRUE(DeleteFileA((dir + "\\film.avi").c_str()));
    EXPECT_TRUE(RemoveDirectoryA((dir + "\\back").c_str()));
    EXPECT_FALSE(host.running);
}

}  // namespace
