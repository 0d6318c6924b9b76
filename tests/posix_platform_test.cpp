// The POSIX platform on real files in a scratch folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "engine/ops/RunJob.h"
#include "engine/ops/Prepare.h"
#include "engine/set/RejoinBatch.h"
#include "platform/posix/PosixPlatform.h"
#include "support/FakeHost.h"
#include "support/SplitFixture.h"

using namespace engine;

namespace {

class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/parvex-test-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~ScratchFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string path;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const support::Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TEST(PosixPlatform, ErrnoBecomesThePlatformCodes) {
    const std::pair<int, ErrorCode> cases[] = {
        {ENOENT, 2}, {ENOTDIR, 3}, {EMFILE, 4}, {EACCES, 5}, {EPERM, 5}, {EROFS, 19},
        {ENOSPC, 112}, {EDQUOT, 112}, {EIO, 1117}, {ENOMEDIUM, 21}, {EBUSY, 32}, {ENAMETOOLONG, 206},
    };
    for (auto [error, code] : cases) EXPECT_EQ(platform::ErrorFromErrno(error), code) << error;
}

TEST(PosixPlatform, RealSplitConcatenatesToTheSource) {
    ScratchFolder dir;
    platform::PosixPlatform fs;
    fake::FakeHost host;
    const support::Bytes source = support::Pattern(7654321);
    WriteAll(dir.path + "/data file.bin", source);

    StartRequest request;
    request.sourceText = dir.path + "/data file.bin";
    request.destinationText = dir.path;
    request.size.presetBytes = 3000001;
    const Prepared prepared = PrepareJob(request, fs, {});
    ASSERT_TRUE(prepared.ok) << prepared.refusal.text;
    OperationContext ctx(fs, host);
    ASSERT_EQ(RunJob(prepared.job, ctx), Outcome::Completed);

    std::string joined;
    for (int i = 0; i < 3; ++i) joined += ReadAll(dir.path + "/data file.bin." + std::to_string(i) + ".spl");
    EXPECT_EQ(joined, std::string(source.begin(), source.end()));
    EXPECT_FALSE(engine::Exists(fs, dir.path + "/data file.bin.3.spl"));
    EXPECT_EQ(ReadAll(dir.path + "/data file.bin.sio").substr(0, 4), std::string("\x03\0\0\0", 4));
    EXPECT_EQ(ReadAll(dir.path + "/Go.bat"), RejoinBatchLine("data file.bin", 3));
}

TEST(PosixPlatform, RealErrorCodes) {
    ScratchFolder dir;
    platform::PosixPlatform fs;
    std::unique_ptr<File> file;
    EXPECT_EQ(fs.Open(dir.path + "/missing", {Access::Read, Share::Read, Creation::OpenExisting, true}, file), 2u);
    EXPECT_EQ(fs.Open(dir.path + "/no/such/x", {Access::Write, Share::None, Creation::CreateNew, false}, file), 2u);
    EXPECT_EQ(fs.Open(dir.path, {Access::Read, Share::Read, Creation::OpenExisting, false}, file), 5u);
    if (geteuid() != 0) {  // root may write anywhere
        WriteAll(dir.path + "/ro", {1});
        chmod((dir.path + "/ro").c_str(), 0444);
        EXPECT_EQ(fs.Open(dir.path + "/ro", {Access::Write, Share::None, Creation::OpenExisting, false}, file), 5u);
    }
    // A full file system, where one is at hand.
    // A device is no file to open, and opening it does not wait.
    EXPECT_EQ(fs.Open("/dev/null", {Access::Read, Share::Read, Creation::OpenExisting, false}, file), 1u);
    WriteAll(dir.path + "/five", {1, 2, 3, 4, 5});
    engine::FileStatus five;
    EXPECT_EQ(fs.Status(dir.path + "/five", five), 0u);
    EXPECT_EQ(five.size, 5u);
    std::uint64_t free = 0;
    EXPECT_TRUE(fs.GetFreeSpace(dir.path, free));
    EXPECT_GT(free, 0u);
    EXPECT_FALSE(fs.GetFreeSpace(dir.path + "/missing", free));
    EXPECT_TRUE(fs.IsRoot("/"));
    EXPECT_FALSE(fs.IsRoot(dir.path));
}

}  // namespace
