// The command-line front end, run as a user would run it, on real files:
// full and read-only file systems, links, pipes and signals included.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "engine/base/Checksum.h"
#include "engine/base/FileErrors.h"
#include "engine/io/RunOutputs.h"
#include "engine/base/Texts.h"
#include "platform/posix/PosixPlatform.h"
#include "support/SplitFixture.h"

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// Every entry of a folder with its content (a link as "-> target").
std::map<std::string, std::string> Listing(const std::string& folder) {
    std::map<std::string, std::string> all;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return all;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "/" + name;
        struct stat st {};
        lstat(path.c_str(), &st);
        if (S_ISLNK(st.st_mode)) {
            char target[4096] = {};
            readlink(path.c_str(), target, sizeof target - 1);
            all[name] = std::string("-> ") + target;
        } else if (S_ISREG(st.st_mode)) {
            all[name] = Slurp(path);
        } else {
            all[name] = "(special)";
        }
    }
    closedir(dir);
    return all;
}

// The listing of `folder` besides what a stopped split of `name` keeps for
// the next run: its state file and the pieces it lists, each as recorded.
std::map<std::string, std::string> BesidesKept(const std::string& folder, const std::string& name) {
    std::map<std::string, std::string> all = Listing(folder);
    const auto state = all.find(engine::StateFileName(name));
    if (state == all.end()) return all;
    engine::SplitState kept;
    EXPECT_TRUE(engine::DecodeSplitState(state->second, kept));
    all.erase(state);
    for (std::size_t i = 0; i < kept.pieces.size(); ++i) {
        const auto piece = all.find(name + "." + std::to_string(i) + ".spl");
        EXPECT_NE(piece, all.end()) << i;
        if (piece == all.end()) continue;
        EXPECT_EQ(engine::ChecksumOf(piece->second.data(), piece->second.size()), kept.pieces[i]) << i;
        all.erase(piece);
    }
    return all;
}

// The listing of `folder` besides what a stopped join to `name` keeps for
// the next run: its state file and the part of the file it made, each
// piece the state lists there as in `whole`.
std::map<std::string, std::string> BesidesPartial(const std::string& folder, const std::string& name,
                                                  const std::string& whole) {
    std::map<std::string, std::string> all = Listing(folder);
    const auto state = all.find(engine::RejoinStateFileName(name));
    if (state == all.end()) return all;
    engine::SplitState kept;
    EXPECT_TRUE(engine::DecodeSplitState(state->second, kept));
    all.erase(state);
    const auto part = all.find(engine::PartialFileName(name));
    if (part == all.end()) return all;
    const std::size_t proven = std::min<std::size_t>(whole.size(), std::size_t{kept.pieceSize} * kept.pieces.size());
    EXPECT_TRUE(part->second.size() >= proven && part->second.compare(0, proven, whole, 0, proven) == 0)
        << "the part does not hold the " << kept.pieces.size() << " pieces listed";
    all.erase(part);
    return all;
}

// The file's XXH3-128, as the info file and `xxhsum -H2` write it.
std::string ChecksumOfFile(const std::string& path) {
    engine::ChecksumState sum;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        sum.Update(buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    return sum.Digest().Hex();
}

struct Result {
    int status;
    std::string out, err;
};

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/parvex-cli-XXXXXX";
        dir = mkdtemp(pattern);
        const support::Bytes bytes = support::Pattern(25000);
        data.assign(bytes.begin(), bytes.end());
        std::ofstream(dir + "/sample.dat", std::ios::binary) << data;
    }
    void TearDown() override {
        for (const std::string& mount : mounts) umount2(mount.c_str(), MNT_DETACH);
        std::system(("rm -rf '" + dir + "'").c_str());
    }

    Result Parvex(const std::string& args) {
        const std::string command = "cd '" + dir + "' && '" PARVEX_CLI "' " + args + " >'" + dir +
                                    "/.out' 2>'" + dir + "/.err' </dev/null";
        const int raw = std::system(command.c_str());
        Result run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(dir + "/.out"), Slurp(dir + "/.err")};
        std::remove((dir + "/.out").c_str());
        std::remove((dir + "/.err").c_str());
        return run;
    }

    // Starts parvex without waiting; its output goes nowhere.
    // `said`, when given, takes what the program writes to its error output.
    pid_t Start(const std::vector<std::string>& args, const std::string& said = std::string()) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0) _exit(127);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(said.empty() ? null : open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            std::vector<char*> argv{const_cast<char*>(PARVEX_CLI)};
            for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(PARVEX_CLI, argv.data());
            _exit(127);
        }
        return pid;
    }

    // Stops the process (SIGSTOP) as soon as `ready` holds, so that a test
    // acts at a known point of a run instead of at a time; false when the
    // run ended first.
    bool StopWhen(pid_t pid, const std::function<bool()>& ready) {
        for (int wait = 0; wait < 100000; ++wait) {
            if (ready()) return kill(pid, SIGSTOP) == 0;
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) return false;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        return false;
    }

    // How many entries a folder has whose names contain `part`.
    int Count(const std::string& folder, const std::string& part) {
        int n = 0;
        DIR* d = opendir(folder.c_str());
        if (!d) return 0;
        while (const dirent* entry = readdir(d)) n += std::string(entry->d_name).find(part) != std::string::npos;
        closedir(d);
        return n;
    }

    int Finish(pid_t pid, int signal = 0) {
        if (signal) kill(pid, signal);
        kill(pid, SIGCONT);
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }

    // A tmpfs of `options` at `folder`, or a reason why there is none.
    std::string Mount(const std::string& folder, const std::string& options, unsigned long flags = 0) {
        mkdir(folder.c_str(), 0755);
        if (mount("parvex-test", folder.c_str(), "tmpfs", flags, options.c_str()) != 0) {
            return "cannot mount a tmpfs here (" + std::string(strerror(errno)) + "); run the tests as root";
        }
        mounts.push_back(folder);
        return std::string();
    }

    void Write(const std::string& name, const std::string& content) {
        std::ofstream(dir + "/" + name, std::ios::binary) << content;
    }

    std::string dir;
    std::string data;
    std::vector<std::string> mounts;
};

TEST_F(Cli, SplitsIntoTheCurrentFolderOrAnother) {
    Result run = Parvex("split sample.dat --bytes 10000");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Successfully sliced. \n"), std::string::npos);
    EXPECT_EQ(Slurp(dir + "/sample.dat.0.spl") + Slurp(dir + "/sample.dat.1.spl") +
                  Slurp(dir + "/sample.dat.2.spl"),
              data);
    EXPECT_EQ(Slurp(dir + "/sample.dat.sio").substr(0, 4), std::string("\x03\0\0\0", 4));

    ASSERT_EQ(mkdir((dir + "/out").c_str(), 0755), 0);
    run = Parvex("split " + dir + "/sample.dat --to out --files 4");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Slurp(dir + "/out/sample.dat.0.spl").size(), 6252u);
    EXPECT_EQ(Slurp(dir + "/out/sample.dat.3.spl").size(), 25000u - 3 * 6252u);
    EXPECT_NE(Slurp(dir + "/out/Go.bat").find("\"sample.dat\" /B\r\n"), std::string::npos);
}

TEST_F(Cli, RefusalsPrintTheExactTextAndFail) {
    const struct {
        const char* args;
        int status;
        std::string err;
    } cases[] = {
        // The program's texts on one line each, then which file and why.
        {"split missing.dat", 1, "Source file not defined or is not correct\n" + dir + "/missing.dat was not found.\n"},
        {"split sample.dat --to nowhere", 1,
         "Destination folder is not defined or is wrong\n" + dir + "/nowhere was not found.\n"},
        {"split sample.dat --to sample.dat", 1,
         "Destination folder is not defined or is wrong\n" + dir + "/sample.dat is a file, not a folder.\n"},
        {"verify Go.bat", 1,
         dir + "/Go.bat is not a valid split info file.\n" + texts::kChooseASetFile + "\n"},
        {"split sample.dat --files 0", 1, std::string(texts::kVerifyValues) + "\n"},
        {"split sample.dat --bytes 25000", 1, std::string(texts::kChunkSame) + "\n"},
        {"split sample.dat --mb 5000", 1, std::string(texts::kCheckValues) + "\n"},
        {"split sample.dat", 1, std::string(texts::kChunkLarger) + "\n"},
        {"split empty.dat", 1, dir + "/empty.dat is empty: there is nothing to split.\n"},
        {"split sample.dat --bytes 1.5", 1, std::string(texts::kWholeNumber) + "\n"},
        {"split sample.dat --kb 1.0005", 1, std::string(texts::kCheckValues) + "\n"},
    };
    // A larger piece than the file leaves an earlier set of that name alone.
    ASSERT_EQ(Parvex("split sample.dat --bytes 5000").status, 0);
    Write("empty.dat", "");
    Write("Go.bat", "copy /B sample.dat.0.spl sample.dat");
    const auto before = Listing(dir);
    for (const auto& c : cases) {
        const Result run = Parvex(c.args);
        EXPECT_EQ(run.status, c.status) << c.args;
        EXPECT_EQ(run.err, c.err) << c.args;
        EXPECT_EQ(run.out, "") << c.args;
        EXPECT_EQ(Listing(dir), before) << c.args;
    }
}

TEST_F(Cli, SplitThenJoinGivesTheSameFile) {
    ASSERT_EQ(mkdir((dir + "/parts").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "/back").c_str(), 0755), 0);
    ASSERT_EQ(Parvex("split sample.dat --to parts --kb 7.0").status, 0);

    Result run = Parvex("info parts/sample.dat.sio");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find("checksum")),
              "pieces: 4\nname: sample.dat\nsize: 25000\npiece size: 7000\n");
    run = Parvex("verify parts/sample.dat.1.spl");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "4 pieces checked: all good\n");
    // A piece one byte short is named for its length, not only as damaged.
    const std::string piece1 = Slurp(dir + "/parts/sample.dat.1.spl");
    Write("parts/sample.dat.1.spl", piece1.substr(0, piece1.size() - 1));
    run = Parvex("verify parts/sample.dat.sio");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out + run.err, "wrong length: " + dir + "/parts/sample.dat.1.spl\n4 pieces checked: 1 bad\n");
    Write("parts/sample.dat.1.spl", piece1);

    run = Parvex("join parts/sample.dat.2.spl --to back");  // any piece names its info file
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "Completed Successfully\n");
    EXPECT_EQ(Slurp(dir + "/back/sample.dat"), data);

    // An existing file is kept with --no, replaced with --yes.
    std::ofstream(dir + "/back/sample.dat") << "old";
    run = Parvex("join parts/sample.dat.sio --to back --no");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Slurp(dir + "/back/sample.dat"), "old");
    run = Parvex("join parts/sample.dat.sio --to back --yes --remove-pieces");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Slurp(dir + "/back/sample.dat"), data);
    EXPECT_FALSE(Exists(dir + "/parts/sample.dat.sio"));
    EXPECT_FALSE(Exists(dir + "/parts/sample.dat.0.spl"));
    EXPECT_FALSE(Exists(dir + "/parts/Go.bat"));  // the set's own goes with it
    EXPECT_EQ(Listing(dir + "/back").size(), 1u);  // no temporary file left
}

TEST_F(Cli, UsageErrors) {
    for (const char* args : {"", "frob x", "split", "join", "info", "verify", "join a --bytes 5", "info a --to b",
                             "verify a --yes", "join a --quick", "split a --bytes", "split a --kb 1 --mb 2",
                             "split a --frobnicate", "split a --yes --no", "split a --codepage nonesuch",
                             "split a --mb 1,5", "split a --kb 1.5.2", "split a --bytes -5", "split a --kb ."}) {
        const Result run = Parvex(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.err.find("usage: parvex split SOURCE"), std::string::npos) << args;
    }
    // Help as Windows and Unix users ask for it, and the version.
    for (const char* args : {"--help", "-h", "help", "'/?'"}) {
        const Result run = Parvex(args);
        EXPECT_EQ(run.status, 0) << args;
        EXPECT_EQ(run.out.find("usage: parvex split SOURCE"), 0u) << args;
    }
    const Result version = Parvex("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.find("parvex "), 0u) << version.out;
    EXPECT_NE(version.out.find("(Corvane.Split)"), std::string::npos) << version.out;
    // The usage names the program as it was run.
    ASSERT_EQ(symlink(PARVEX_CLI, (dir + "/parvex-cli.exe").c_str()), 0);
    const std::string command = "cd '" + dir + "' && ./parvex-cli.exe frob 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[256] = {};
    const std::size_t got = fread(buffer, 1, sizeof buffer - 1, pipe);
    pclose(pipe);
    EXPECT_NE(std::string(buffer, got).find("usage: parvex-cli split SOURCE"), std::string::npos) << buffer;
}

// A piece of 1,000 bytes takes a page of 4 KiB on a tmpfs: the room the
// checks measure runs out half-way. A fixed disk that is full is a failure,
// never a disk change, and everything the run wrote goes again.
TEST_F(Cli, AFullDiskFailsWithItsTextAndLeavesTheDiskAsItWas) {
    const std::string small = dir + "/small";
    const std::string reason = Mount(small, "size=256k");
    if (!reason.empty()) GTEST_SKIP() << reason;
    Write("small/Go.bat", "another set's batch\r\n");
    Write("hundred.bin", std::string(100000, 'h'));
    const auto before = Listing(small);
    // Go.bat belongs to another set: without --yes it is kept and the split
    // stops; with it the split goes on, and the disk fills up.
    for (const char* answer : {"", " --yes"}) {
        const Result run = Parvex(std::string("split hundred.bin --to small --bytes 1000") + answer);
        EXPECT_EQ(run.status, 1) << answer;
        EXPECT_NE(run.err.find(small + "/Go.bat already exists."), std::string::npos) << run.err;
        if (*answer) {
            EXPECT_NE(run.err.find("Disk full while accessing " + small + "/hundred.bin."), std::string::npos)
                << run.err;
        } else {
            EXPECT_NE(run.err.find("-> kept"), std::string::npos) << run.err;
        }
        EXPECT_EQ(run.err.find(texts::kInsertDisk), std::string::npos);
        EXPECT_EQ(BesidesKept(small, "hundred.bin"), before);
    }
}

TEST_F(Cli, AReadOnlyDestinationEndsWithoutLooping) {
    const std::string locked = dir + "/locked";
    const std::string reason = Mount(locked, "size=1m", MS_RDONLY);
    if (!reason.empty()) GTEST_SKIP() << reason;
    const auto start = std::chrono::steady_clock::now();
    const Result run = Parvex("split sample.dat --to locked --bytes 10000 --yes");
    EXPECT_EQ(run.status, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_NE(run.err.find("-> Cancel"), std::string::npos) << run.err;
    EXPECT_LT(std::count(run.err.begin(), run.err.end(), '\n'), 10);
    EXPECT_TRUE(Listing(locked).empty());
}

TEST_F(Cli, OutputsNeverReplaceTheSource) {
    struct Case {
        const char* what;
        std::string source;
        std::function<void()> arrange;
        std::string args;
    };
    const std::vector<Case> cases = {
        {"Go.bat split where it lies", "Go.bat", [&] { Write("Go.bat", std::string(3000000, 'g')); },
         "split Go.bat --bytes 1000000"},
        {"a piece name linked to the source", "data", [&] {
             Write("data", std::string(3000000, 'd'));
             symlink("data", (dir + "/data.0.spl").c_str());
         }, "split data --bytes 1000000"},
        {"the info name hard-linked to the source", "data2", [&] {
             Write("data2", std::string(3000000, 'e'));
             link((dir + "/data2").c_str(), (dir + "/data2.sio").c_str());
         }, "split data2 --bytes 1000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        const auto before = Listing(dir);
        const Result run = Parvex(c.args);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("is the file being split"), std::string::npos) << run.err;
        EXPECT_EQ(Listing(dir), before);
    }
}

TEST_F(Cli, LinksAtOutputNamesAreReplacedNeverFollowed) {
    ASSERT_EQ(mkdir((dir + "/out").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "/elsewhere").c_str(), 0755), 0);
    ASSERT_EQ(Parvex("split sample.dat --bytes 10000").status, 0);
    // A join through a dangling link would create a file outside the folder.
    symlink("../elsewhere/victim", (dir + "/out/sample.dat").c_str());
    Result run = Parvex("join sample.dat.sio --to out --yes");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(Exists(dir + "/elsewhere/victim"));
    EXPECT_EQ(Slurp(dir + "/out/sample.dat"), data);
    // Piece names too: the split removes the link, never writes through it.
    Write("elsewhere/kept", "kept");
    ASSERT_EQ(mkdir((dir + "/parts").c_str(), 0755), 0);
    symlink("../elsewhere/kept", (dir + "/parts/sample.dat.1.spl").c_str());
    symlink("../elsewhere/new", (dir + "/parts/sample.dat.2.spl").c_str());
    run = Parvex("split sample.dat --to parts --bytes 10000 --yes");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Slurp(dir + "/elsewhere/kept"), "kept");
    EXPECT_FALSE(Exists(dir + "/elsewhere/new"));
    EXPECT_EQ(Slurp(dir + "/parts/sample.dat.1.spl"), data.substr(10000, 10000));
}

TEST_F(Cli, PipesAndDevicesAreRefusedWithoutWaiting) {
    ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0644), 0);
    Result run = Parvex("split pipe --bytes 10");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is not an ordinary file"), std::string::npos) << run.err;
    run = Parvex("split /dev/zero --bytes 10");
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(Parvex("split sample.dat --bytes 10000").status, 0);
    std::remove((dir + "/sample.dat.1.spl").c_str());
    ASSERT_EQ(mkfifo((dir + "/sample.dat.1.spl").c_str(), 0644), 0);
    ASSERT_EQ(mkdir((dir + "/out").c_str(), 0755), 0);
    run = Parvex("join sample.dat.sio --to out");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("sample.dat.1.spl is not an ordinary file"), std::string::npos) << run.err;
    EXPECT_TRUE(Listing(dir + "/out").empty());
}

TEST_F(Cli, NamesThatWindowsOrCmdWouldMisreadAreRefused) {
    for (const char* name : {"a\"b&echo INJECTED>pwned.txt", "col:on", "back\\slash", "tab\there", "aux.log",
                             "COM\u00b9.txt", "lpt\u00b3", "com0.bin", "LPT0"}) {
        Write(name, "x");
        const Result run = Parvex(std::string("split '") + name + "' --bytes 1");
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.err.find("cannot be used on Windows"), std::string::npos) << run.err;
        EXPECT_FALSE(Exists(dir + "/Go.bat")) << name;
    }
    Write("100% sure.bin", "abcdef");
    ASSERT_EQ(Parvex("split '100% sure.bin' --bytes 4").status, 0);
    EXPECT_EQ(Slurp(dir + "/Go.bat"),
              "copy /B \"100%% sure.bin.0.spl\" /B+ \"100%% sure.bin.1.spl\" /B \"100%% sure.bin\" /B\r\n");
}

TEST_F(Cli, APieceInAFolderWithADotNeverNamesAnotherSet) {
    ASSERT_EQ(mkdir((dir + "/dir.x").c_str(), 0755), 0);
    ASSERT_EQ(Parvex("split sample.dat --bytes 10000").status, 0);
    rename((dir + "/sample.dat.sio").c_str(), (dir + "/dir.sio").c_str());
    Write("dir.x/foo.spl", "f");
    const auto before = Listing(dir);
    const Result run = Parvex("join dir.x/foo.spl --to . --remove-pieces --yes");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Listing(dir), before);
}

// A join stopped by a signal, at whatever point it is caught: the older file
// under the output's name stays as it was, and nothing else is left.
TEST_F(Cli, SignalsDuringAJoinNeverLeaveAPartialFile) {
    const std::string big(48 << 20, 'b');
    Write("big.bin", big);
    ASSERT_EQ(Parvex("split big.bin --10mb").status, 0);
    ASSERT_EQ(mkdir((dir + "/out").c_str(), 0755), 0);
    int caught = 0;
    for (int trial = 0; trial < 12; ++trial) {
        const int signal = trial % 3 == 0 ? SIGKILL : trial % 3 == 1 ? SIGTERM : SIGHUP;
        SCOPED_TRACE(trial);
        Write("out/big.bin", "older");
        const pid_t pid = Start({"join", "big.bin.sio", "--to", "out", "--yes"});
        // Wait until the temporary file is being written, then stop it.
        for (int wait = 0; wait < 2000 && Listing(dir + "/out").size() < 2; ++wait) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        kill(pid, signal);
        int status = 0;
        waitpid(pid, &status, 0);
        const auto out = Listing(dir + "/out");
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            EXPECT_EQ(Slurp(dir + "/out/big.bin"), big);
            EXPECT_EQ(out.size(), 1u);
            continue;
        }
        ++caught;
        EXPECT_EQ(out.at("big.bin"), "older");
        if (signal != SIGKILL) {
            // The run removed its own file, but for what it keeps to continue.
            EXPECT_EQ(BesidesPartial(dir + "/out", "big.bin", big).size(), 1u);
        }
        for (const auto& [name, content] : out) {
            if (name != "big.bin") std::remove((dir + "/out/" + name).c_str());
        }
    }
    EXPECT_GT(caught, 0);
}

// A join that failed on a damaged piece keeps what it made: once the
// piece is mended, --yes continues after the pieces it proves (so a first
// piece damaged since is never read again), and --restart starts over.
TEST_F(Cli, AJoinContinuesAfterThePiecesItKept) {
    std::string big(48 << 20, 0);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 131) >> 9);
    Write("big.bin", big);
    ASSERT_EQ(Parvex("split big.bin --10mb").status, 0);
    ASSERT_EQ(mkdir((dir + "/out").c_str(), 0755), 0);
    const std::string piece3 = dir + "/big.bin.3.spl";
    for (const char* again : {"--yes", "--restart"}) {
        SCOPED_TRACE(again);
        const std::string good3 = Slurp(piece3);
        std::string bad3 = good3;
        bad3[12345] ^= 1;
        Write("big.bin.3.spl", bad3);
        Result run = Parvex("join big.bin.sio --to out");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("(3 of 6 pieces) is kept: rejoin"), std::string::npos) << run.err;
        EXPECT_TRUE(BesidesPartial(dir + "/out", "big.bin", big).empty());
        Write("big.bin.3.spl", good3);
        const std::string piece0 = Slurp(dir + "/big.bin.0.spl");
        Write("big.bin.0.spl", std::string(piece0.size(), 'x'));
        run = Parvex(std::string("join big.bin.sio --to out ") + again);
        Write("big.bin.0.spl", piece0);
        if (std::string(again) == "--yes") {
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(Listing(dir + "/out").size(), 1u);
            EXPECT_EQ(Slurp(dir + "/out/big.bin"), big);
            std::remove((dir + "/out/big.bin").c_str());
        } else {
            EXPECT_EQ(run.status, 1);
            EXPECT_NE(run.err.find("big.bin.0.spl"), std::string::npos) << run.err;
            EXPECT_EQ(run.err.find("Continue"), std::string::npos) << run.err;
            EXPECT_TRUE(Listing(dir + "/out").empty());
        }
    }
}

// A split stopped half-way leaves no set that a join or Go.bat accepts, and
// another set's Go.bat as it was; once pieces are finished it says they are
// kept for the next run, not that everything was removed.
TEST_F(Cli, AnInterruptedSplitLeavesNothingCompleteLooking) {
    Write("big.bin", std::string(48 << 20, 's'));
    ASSERT_EQ(mkdir((dir + "/parts").c_str(), 0755), 0);
    const std::string said = dir + "/said.txt";
    for (int trial = 0; trial < 4; ++trial) {
        SCOPED_TRACE(trial);
        Write("parts/Go.bat", "other set\r\n");
        const pid_t pid = Start({"split", "big.bin", "--to", "parts", "--floppy", "--yes"}, said);
        ASSERT_TRUE(StopWhen(pid, [&] { return Count(dir + "/parts", ".spl") >= 1 + trial * 8; }));
        EXPECT_EQ(Finish(pid, trial % 2 ? SIGINT : SIGTERM), 1);
        EXPECT_EQ(BesidesKept(dir + "/parts", "big.bin"),
                  (std::map<std::string, std::string>{{"Go.bat", "other set\r\n"}}));
        if (trial > 0) {
            EXPECT_NE(Slurp(said).find("the part finished is kept"), std::string::npos) << Slurp(said);
        }
    }
}

// Two runs of one set: while one holds it, the other is refused before it
// writes; started together, each either completes or is refused, and the
// set left is exact.
TEST_F(Cli, OneRunOfASetAtATime) {
    Write("c.bin", std::string(30 << 20, 'c'));
    ASSERT_EQ(mkdir((dir + "/cc").c_str(), 0755), 0);
    {
        platform::PosixPlatform fs;
        std::unique_ptr<engine::Folder> folder;
        std::unique_ptr<engine::Lock> held;
        ASSERT_EQ(fs.OpenFolder(dir + "/cc", folder), 0u);
        ASSERT_EQ(folder->Lock(engine::LockFileName("c.bin"), held), 0u);
        const Result run = Parvex("split c.bin --to cc --10mb");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(engine::Fill(texts::kSetInUse, dir + "/cc/c.bin")), std::string::npos) << run.err;
        EXPECT_EQ(Listing(dir + "/cc").size(), 1u);  // the other run's lock
    }
    // Two runs at once: at most one of them is refused, and what they leave
    // verifies, with nothing temporary beside it.
    const auto race = [&](const std::vector<std::string>& first, const std::vector<std::string>& second,
                          const std::string& sets) {
        const pid_t a = Start(first);
        const pid_t b = Start(second);
        int sa = 0, sb = 0;
        waitpid(a, &sa, 0);
        waitpid(b, &sb, 0);
        ASSERT_TRUE(WIFEXITED(sa) && WIFEXITED(sb));
        EXPECT_LE(WEXITSTATUS(sa) + WEXITSTATUS(sb), 1) << "both failed";
        const Result verified = Parvex("verify " + sets);
        EXPECT_EQ(verified.status, 0) << verified.out;
        EXPECT_EQ(Count(dir + "/cc", "~pvx"), 0);
    };
    for (int trial = 0; trial < 6; ++trial) {
        race({"split", "c.bin", "--to", "cc", "--10mb", "--yes"}, {"split", "c.bin", "--to", "cc", "--mb", "7", "--yes"},
             "cc/c.bin.sio");
    }
    ASSERT_EQ(mkdir((dir + "/back").c_str(), 0755), 0);
    EXPECT_EQ(Parvex("join cc/c.bin.sio --to back").status, 0);
    EXPECT_EQ(Slurp(dir + "/back/c.bin"), std::string(30 << 20, 'c'));
    // Two queues into one folder, one file in both: each set is claimed on
    // its own, so the other files of both queues are split whatever happens
    // to the shared one.
    for (const char* name : {"x.bin", "y.bin", "z.bin"}) Write(name, std::string(12 << 20, name[0]));
    for (int trial = 0; trial < 3; ++trial) {
        race({"split", "x.bin", "y.bin", "--to", "cc", "--mb", "3", "--yes"},
             {"split", "y.bin", "z.bin", "--to", "cc", "--mb", "5", "--yes"}, "cc/x.bin.sio cc/y.bin.sio cc/z.bin.sio");
    }
}

// Another program writes to the source while it is split, or the
// destination is renamed, or a join is killed: nothing is published from a
// changed source, a stopped run leaves nothing in the folder it worked in,
// and the next join of a killed one leaves no temporary file.
TEST_F(Cli, ChangesDuringARunNeverLeaveAWrongOrLeftoverFile) {
    const std::string big(48 << 20, 'b');
    Write("big.bin", big);
    ASSERT_EQ(mkdir((dir + "/parts").c_str(), 0755), 0);
    pid_t pid = Start({"split", "big.bin", "--to", "parts", "--floppy"});
    ASSERT_TRUE(StopWhen(pid, [&] { return Count(dir + "/parts", ".spl") >= 3; }));
    {
        const int fd = open((dir + "/big.bin").c_str(), O_WRONLY);
        ASSERT_EQ(pwrite(fd, "X", 1, 40 << 20), 1);
        close(fd);
    }
    EXPECT_EQ(Finish(pid), 1);
    EXPECT_TRUE(Listing(dir + "/parts").empty());
    Write("big.bin", big);

    pid = Start({"split", "big.bin", "--to", "parts", "--floppy"});
    ASSERT_TRUE(StopWhen(pid, [&] { return Count(dir + "/parts", ".spl") >= 3; }));
    ASSERT_EQ(rename((dir + "/parts").c_str(), (dir + "/moved").c_str()), 0);
    EXPECT_EQ(Finish(pid, SIGTERM), 1);
    EXPECT_TRUE(BesidesKept(dir + "/moved", "big.bin").empty());
    ASSERT_EQ(rename((dir + "/moved").c_str(), (dir + "/parts").c_str()), 0);

    // Another plan: the pieces kept are no start for it, and replaced.
    ASSERT_EQ(Parvex("split big.bin --to parts --10mb --yes").status, 0);
    ASSERT_EQ(mkdir((dir + "/out").c_str(), 0755), 0);
    for (int kills = 0; kills < 2; ++kills) {
        pid = Start({"join", "parts/big.bin.sio", "--to", "out"});
        ASSERT_TRUE(StopWhen(pid, [&] { return Count(dir + "/out", ".tmp") == 1; }));
        EXPECT_EQ(Finish(pid, SIGKILL), -SIGKILL);
    }
    EXPECT_EQ(Count(dir + "/out", ".tmp"), 1);
    const Result joined = Parvex("join parts/big.bin.sio --to out");
    EXPECT_EQ(joined.status, 0) << joined.err;
    EXPECT_EQ(Listing(dir + "/out"), (std::map<std::string, std::string>{{"big.bin", big}}));
}

// Pieces, info file and Go.bat are no more readable than the source; a
// rejoined file keeps what it replaces, or takes the pieces'.
TEST_F(Cli, PermissionsFollowTheSource) {
    Write("secret.bin", std::string(25000, 's'));
    ASSERT_EQ(chmod((dir + "/secret.bin").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((dir + "/parts").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "/out").c_str(), 0755), 0);
    ASSERT_EQ(Parvex("split secret.bin --to parts --bytes 10000").status, 0);
    auto mode = [&](const std::string& path) {
        struct stat st {};
        stat((dir + "/" + path).c_str(), &st);
        return st.st_mode & 0777;
    };
    for (const auto& [name, content] : Listing(dir + "/parts")) EXPECT_EQ(mode("parts/" + name), 0600u) << name;
    ASSERT_EQ(Parvex("join parts/secret.bin.sio --to out").status, 0);
    EXPECT_EQ(mode("out/secret.bin"), 0600u);
    ASSERT_EQ(chmod((dir + "/out/secret.bin").c_str(), 0640), 0);
    ASSERT_EQ(Parvex("join parts/secret.bin.sio --to out --yes").status, 0);
    EXPECT_EQ(mode("out/secret.bin"), 0640u);
}

// A set cut across disks, copied one disk a folder: join and verify read on
// in the folders given; in the wrong order the join is refused, naming the
// piece that does not fit.
TEST_F(Cli, JoinFromTheCopiesOfSeveralDisks) {
    const std::string whole = Slurp(dir + "/sample.dat");
    ASSERT_EQ(mkdir((dir + "/all").c_str(), 0755), 0);
    ASSERT_EQ(Parvex("split sample.dat --to all --bytes 10000").status, 0);
    for (const char* disk : {"d1", "d2", "d3", "out"}) ASSERT_EQ(mkdir((dir + "/" + disk).c_str(), 0755), 0);
    const std::string p0 = Slurp(dir + "/all/sample.dat.0.spl"), p1 = Slurp(dir + "/all/sample.dat.1.spl"),
                      p2 = Slurp(dir + "/all/sample.dat.2.spl");
    Write("d1/sample.dat.sio", Slurp(dir + "/all/sample.dat.sio"));
    Write("d1/sample.dat.0.spl", p0.substr(0, 6000));
    Write("d2/sample.dat.0.spl", p0.substr(6000));
    Write("d2/sample.dat.1.spl", p1.substr(0, 1000));
    Write("d3/sample.dat.1.spl", p1.substr(1000));
    Write("d3/sample.dat.2.spl", p2);
    Result run = Parvex("verify d1/sample.dat.sio --from d2 d3");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    run = Parvex("join d1/sample.dat.sio --to out --from d3 d2");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(dir + "/d1/sample.dat.0.spl is damaged: its length"), std::string::npos) << run.err;
    EXPECT_TRUE(Listing(dir + "/out").empty());
    run = Parvex("join d1/sample.dat.sio --to out --from d2 --from d3");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Slurp(dir + "/out/sample.dat"), whole);
    EXPECT_EQ(Parvex("join d1/sample.dat.sio --from").status, 2);
}

// A set as earlier versions wrote it (268-byte info file), with pieces of
// 300 and 700 bytes that no split makes: verify and join both refuse it,
// naming the same piece.
TEST_F(Cli, VerifyAndJoinAgreeOnAnOldSet) {
    std::string record(268, '\0');
    record[0] = 2;
    record.replace(4, 7, "old.bin");
    record[264] = static_cast<char>(1000 & 0xFF), record[265] = static_cast<char>(1000 >> 8);
    Write("old.bin.sio", record);
    Write("old.bin.0.spl", std::string(300, 'a'));
    Write("old.bin.1.spl", std::string(700, 'b'));
    ASSERT_EQ(mkdir((dir + "/out").c_str(), 0755), 0);
    const Result verified = Parvex("verify old.bin.sio");
    const Result joined = Parvex("join old.bin.sio --to out");
    EXPECT_EQ(verified.status, 1);
    EXPECT_EQ(joined.status, 1);
    EXPECT_NE(verified.out.find("wrong length: " + dir + "/old.bin.0.spl"), std::string::npos) << verified.out;
    EXPECT_NE(joined.err.find(dir + "/old.bin.0.spl is damaged: its length"), std::string::npos) << joined.err;
    EXPECT_TRUE(Listing(dir + "/out").empty());
}

// A sparse source of 5 GiB, split into FAT32-sized pieces and into three,
// then rejoined: the output's checksum is the source's, and the info file
// records both its size and that checksum.
TEST_F(Cli, FilesOf5GiBSplitAndJoinExactly) {
    constexpr std::uint64_t kSize = 5ull << 30;
    struct statvfs room {};
    if (statvfs(dir.c_str(), &room) != 0 || std::uint64_t{room.f_bavail} * room.f_frsize < 2 * kSize + (2ull << 30)) {
        GTEST_SKIP() << "needs 12 GiB free beside " << dir << " for the pieces and the rejoined file";
    }
    const std::string source = dir + "/disk.img";
    {
        const int fd = open(source.c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kSize)), 0);
        // A few marks, so that a piece in the wrong place shows.
        for (std::uint64_t at : {std::uint64_t{0}, std::uint64_t{0xFFFFFFFF}, kSize / 3, kSize - 1}) {
            ASSERT_EQ(pwrite(fd, "x", 1, static_cast<off_t>(at)), 1);
        }
        close(fd);
    }
    const std::string sum = ChecksumOfFile(source);
    ASSERT_EQ(mkdir((dir + "/parts").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "/back").c_str(), 0755), 0);
    for (const char* size : {"--fat32", "--files 3"}) {
        SCOPED_TRACE(size);
        Result run = Parvex(std::string("split disk.img --to parts ") + size);
        ASSERT_EQ(run.status, 0) << run.err;
        run = Parvex("info parts/disk.img.sio");
        EXPECT_NE(run.out.find("size: 5368709120\n"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("checksum: " + sum), std::string::npos) << run.out;
        run = Parvex("join parts/disk.img.sio --to back --remove-pieces");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(ChecksumOfFile(dir + "/back/disk.img"), sum);
        std::remove((dir + "/back/disk.img").c_str());
        EXPECT_TRUE(Listing(dir + "/parts").empty());  // Go.bat went with the set
    }
}

// A set of that name already in the destination is another file's as far
// as a split can tell: without a terminal, and with --no, it stays and the
// split ends with 1 saying why; --yes replaces it.
TEST_F(Cli, ASplitNeverReplacesAnotherSetUnasked) {
    for (const char* folder : {"a", "b", "x"}) ASSERT_EQ(mkdir((dir + "/" + folder).c_str(), 0755), 0);
    Write("a/movie.mkv", data);
    Write("b/movie.mkv", data.substr(0, 15000) + "different");
    ASSERT_EQ(Parvex("split a/movie.mkv --to x --bytes 10000").status, 0);
    const auto first = Listing(dir + "/x");
    for (const char* answer : {"", " --no"}) {
        const Result run = Parvex(std::string("split b/movie.mkv --to x --bytes 4000") + answer);
        EXPECT_EQ(run.status, 1) << answer;
        EXPECT_NE(run.err.find(dir + "/x/movie.mkv.sio already exists."), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("nothing was written"), std::string::npos) << run.err;
        EXPECT_EQ(Listing(dir + "/x"), first);
    }
    const Result replaced = Parvex("split b/movie.mkv --to x --bytes 4000 --yes");
    ASSERT_EQ(replaced.status, 0) << replaced.err;
    ASSERT_EQ(mkdir((dir + "/back").c_str(), 0755), 0);
    ASSERT_EQ(Parvex("join x/movie.mkv.sio --to back").status, 0);
    EXPECT_EQ(Slurp(dir + "/back/movie.mkv"), data.substr(0, 15000) + "different");
}

// Several files are each a run of their own: one set per file, each with a
// Go.bat of its own, a line for each at the end, and a status that is 0 only
// when all were good. A quick check reads no piece, and says so.
TEST_F(Cli, SeveralFilesAndAQuickCheck) {
    ASSERT_EQ(mkdir((dir + "/x").c_str(), 0755), 0);
    Write("other.dat", data.substr(0, 12000));
    const Result split = Parvex("split sample.dat other.dat --to x --bytes 10000");
    ASSERT_EQ(split.status, 0) << split.err;
    EXPECT_NE(split.out.find("sample.dat: good\nother.dat: good\n"), std::string::npos) << split.out;
    EXPECT_NE(Slurp(dir + "/x/Go.bat").find("sample.dat.0.spl"), std::string::npos);
    EXPECT_NE(Slurp(dir + "/x/Go other.dat.bat").find("other.dat.0.spl"), std::string::npos);

    ASSERT_EQ(std::remove((dir + "/x/other.dat.1.spl").c_str()), 0);
    std::string piece = Slurp(dir + "/x/sample.dat.1.spl");
    piece[5] ^= 1;  // same length: only reading finds it
    Write("x/sample.dat.1.spl", piece);
    const Result quick = Parvex("verify --quick x/sample.dat.sio x/other.dat.sio");
    EXPECT_EQ(quick.status, 1);
    EXPECT_NE(quick.out.find("Quick check: no data was read."), std::string::npos) << quick.out;
    EXPECT_NE(quick.out.find("missing: " + dir + "/x/other.dat.1.spl"), std::string::npos) << quick.out;
    EXPECT_NE(quick.out.find("x/sample.dat.sio: good\nx/other.dat.sio: failed\n"), std::string::npos) << quick.out;
    const Result full = Parvex("verify x/sample.dat.sio");
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.out.find("damaged"), std::string::npos) << full.out;
}

// Another file's recovery files of the same name and size beside an old
// set (no checksums) and beside a set with them: nothing changes, and
// verify and repair say whose they are. A rebuilt piece keeps its mode, and
// protect at 0 % makes no recovery files, as a split at 0 % does not.
TEST_F(Cli, RecoveryFilesOfAnotherFileNeverReplaceIntactPieces) {
    std::string other = data;
    for (char& c : other) c = static_cast<char>(c ^ 0x33);
    for (const char* folder : {"a", "b", "c"}) ASSERT_EQ(mkdir((dir + "/" + folder).c_str(), 0755), 0);
    Write("b/sample.dat", other);
    ASSERT_EQ(Parvex("split b/sample.dat --to b --bytes 4000 --recovery 70").status, 0);
    for (const bool old : {true, false}) {
        SCOPED_TRACE(old ? "an old set" : "a set with checksums");
        std::system(("rm -f '" + dir + "'/a/*").c_str());
        ASSERT_EQ(Parvex("split sample.dat --to a --bytes 4000").status, 0);
        if (old) {
            ASSERT_EQ(truncate((dir + "/a/sample.dat.sio").c_str(), 268), 0);
        }
        ASSERT_EQ(std::system(("cp '" + dir + "'/b/*.par2 '" + dir + "/a/'").c_str()), 0);
        const auto before = Listing(dir + "/a");
        const Result verified = Parvex("verify a/sample.dat.sio");
        EXPECT_NE(verified.out.find("Recovery files found, but they belong to another file."), std::string::npos)
            << verified.out;
        const Result repaired = Parvex("repair a/sample.dat.sio");
        EXPECT_EQ(Listing(dir + "/a"), before) << repaired.out << repaired.err;
        EXPECT_NE((repaired.out + repaired.err).find("belong to another file"), std::string::npos) << repaired.out;
    }
    Write("c/sample.dat", data);
    ASSERT_EQ(Parvex("split c/sample.dat --to c --bytes 4000 --recovery 30").status, 0);
    const std::string piece = dir + "/c/sample.dat.2.spl";
    const std::string intact = Slurp(piece);
    std::string bad = intact;
    bad[10] ^= 1;
    Write("c/sample.dat.2.spl", bad);
    ASSERT_EQ(chmod(piece.c_str(), 0440), 0);
    const Result repaired = Parvex("repair c/sample.dat.sio");
    ASSERT_EQ(repaired.status, 0) << repaired.out << repaired.err;
    EXPECT_EQ(Slurp(piece), intact);
    struct stat st {};
    ASSERT_EQ(stat(piece.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0440u);
    std::system(("rm -f '" + dir + "'/c/*.par2").c_str());
    const Result none = Parvex("protect c/sample.dat.sio --recovery 0");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE((none.out + none.err).find("No recovery files were made"), std::string::npos) << none.err;
    EXPECT_EQ(Count(dir + "/c", ".par2"), 0);
}

// A rebuild that takes long (thousands of lost pieces to solve for at once)
// ends within a second of Ctrl-C or SIGTERM, and changes nothing.
TEST_F(Cli, ALongRebuildStopsAtOnce) {
    std::string big(2560000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 2654435761u) >> 13);
    Write("many.bin", big);
    ASSERT_EQ(mkdir((dir + "/parts").c_str(), 0755), 0);
    ASSERT_EQ(Parvex("split many.bin --to parts --bytes 1024 --recovery 60").status, 0);
    for (int i = 0; i < 2500; i += 2) {
        std::remove((dir + "/parts/many.bin." + std::to_string(i) + ".spl").c_str());
    }
    for (int i = 1; i < 2500; i += 16) {
        std::remove((dir + "/parts/many.bin." + std::to_string(i) + ".spl").c_str());
    }
    const auto before = Listing(dir + "/parts");
    for (const int signal : {SIGINT, SIGTERM}) {
        const pid_t pid = Start({"repair", "parts/many.bin.sio"});
        // Once the pieces are read, the solve is under way for seconds.
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        const auto sent = std::chrono::steady_clock::now();
        kill(pid, signal);
        int status = 0;
        waitpid(pid, &status, 0);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
        EXPECT_LT(took, 1.0) << "signal " << signal;
        EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(Listing(dir + "/parts"), before);
    }
}

}  // namespace

// Recovery files that par2cmdline, the reference PAR2 program, reads and
// writes as its own: both ways, with a set name outside ASCII.
class Par2Exchange : public Cli {
protected:
    void SetUp() override {
        Cli::SetUp();
        if (std::system("par2 --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "par2cmdline is not installed";
        name = "Vacances été 🎬.dat";
        std::ofstream(dir + "/" + name, std::ios::binary) << data;
        ASSERT_EQ(mkdir((dir + "/parts").c_str(), 0755), 0);
    }
    // par2 in the set's folder, its output kept for a failure message.
    int Par2(const std::string& args, std::string* output = nullptr) {
        const std::string command = "cd '" + dir + "/parts' && par2 " + args + " >'" + dir + "/.par2' 2>&1";
        const int raw = std::system(command.c_str());
        if (output) *output = Slurp(dir + "/.par2");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::string Piece(int i) const { return dir + "/parts/" + name + "." + std::to_string(i) + ".spl"; }
    std::string name;
};

TEST_F(Par2Exchange, Par2cmdlineVerifiesAndRepairsOurSets) {
    const Result split = Parvex("split '" + name + "' --to parts --bytes 4000 --recovery 25");
    ASSERT_EQ(split.status, 0) << split.err;
    EXPECT_NE((split.out + split.err).find("The recovery data can rebuild up to 2 lost or damaged pieces."), std::string::npos);
    std::string said;
    EXPECT_EQ(Par2("verify -q '" + name + ".par2'", &said), 0) << said;
    const std::string lost = Slurp(Piece(2)), flipped = Slurp(Piece(6));
    std::remove(Piece(2).c_str());
    std::string bad = flipped;
    bad[100] ^= 1;
    std::ofstream(Piece(6), std::ios::binary) << bad;
    ASSERT_EQ(Par2("repair -q '" + name + ".par2'", &said), 0) << said;
    EXPECT_EQ(Slurp(Piece(2)), lost);
    EXPECT_EQ(Slurp(Piece(6)), flipped);
}

TEST_F(Par2Exchange, WeRepairAndJoinWithRecoveryFilesPar2cmdlineMade) {
    ASSERT_EQ(Parvex("split '" + name + "' --to parts --bytes 4000").status, 0);
    std::string said;
    // 40 % in 70 blocks: one lost piece of seven and a flipped byte.
    ASSERT_EQ(Par2("create -q -b70 -r40 '" + name + ".par2' '" + name + "'.*.spl", &said), 0) << said;
    const std::string lost = Slurp(Piece(3)), flipped = Slurp(Piece(5));
    std::remove(Piece(3).c_str());
    std::string bad = flipped;
    bad[17] ^= 0x80;
    std::ofstream(Piece(5), std::ios::binary) << bad;
    const auto damaged = Listing(dir + "/parts");

    ASSERT_EQ(mkdir((dir + "/out").c_str(), 0755), 0);
    Result run = Parvex("join 'parts/" + name + ".sio' --to out");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(Slurp(dir + "/out/" + name), data);
    EXPECT_NE((run.out + run.err)
                  .find(dir + "/out/" + name + " is complete: the recovery data stood in for " + name + ".3.spl, " +
                        name + ".5.spl.\nThose pieces were left as they were; Repair rebuilds them in place."),
              std::string::npos)
        << run.out << run.err;
    EXPECT_EQ(Listing(dir + "/parts"), damaged);  // a join never mends the pieces

    run = Parvex("verify 'parts/" + name + ".par2'");
    EXPECT_NE(run.out.find("2 pieces damaged or missing; the recovery data can rebuild them."), std::string::npos)
        << run.out;
    run = Parvex("repair 'parts/" + name + ".par2'");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(Slurp(Piece(3)), lost);
    EXPECT_EQ(Slurp(Piece(5)), flipped);
    EXPECT_EQ(Par2("verify -q '" + name + ".par2'", &said), 0) << said;
}

TEST_F(Par2Exchange, ProtectAddsRecoveryToAnOldSetAndRemovePiecesTakesItToo) {
    ASSERT_EQ(Parvex("split '" + name + "' --to parts --bytes 4000").status, 0);
    Result run = Parvex("protect 'parts/" + name + ".sio' --recovery 10");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE((run.out + run.err).find("The recovery data can rebuild 1 lost or damaged piece."), std::string::npos)
        << run.out << run.err;
    run = Parvex("info 'parts/" + name + ".sio'");
    EXPECT_NE(run.out.find("recovery files: 2, 1 recovery blocks"), std::string::npos) << run.out;
    std::string said;
    EXPECT_EQ(Par2("verify -q '" + name + ".par2'", &said), 0) << said;
    ASSERT_EQ(mkdir((dir + "/out").c_str(), 0755), 0);
    run = Parvex("join 'parts/" + name + ".sio' --to out --remove-pieces");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Slurp(dir + "/out/" + name), data);
    EXPECT_TRUE(Listing(dir + "/parts").empty());  // the set's own Go.bat goes too
}

// Damage anywhere, up to what the recovery data holds: a changed byte in
// each of 20 pieces of 120, then a lost piece with three damaged ones, both
// mended exactly, with par2cmdline agreeing before and after; and the
// slices asked for on the command line, which par2cmdline reads alike.
TEST_F(Par2Exchange, ScatteredDamageIsMendedAsFarAsTheRecoveryDataGoes) {
    // No two slices alike: par2cmdline finds slices by their content.
    std::string whole(120 * 40000, '\0');
    std::mt19937 random(29);
    for (char& c : whole) c = static_cast<char>(random());
    std::ofstream(dir + "/" + name, std::ios::binary) << whole;
    struct Case {
        const char* options;
        std::vector<int> lost, flipped;
    };
    std::vector<int> twenty;
    for (int i = 0; i < 20; ++i) twenty.push_back(i * 6 + 1);
    const Case cases[] = {
        {"--recovery 10", {}, twenty},
        {"--recovery 10", {7}, {30, 31, 90}},
        {"--recovery 10 --slices 1200", {}, {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
                                             25, 26, 27, 28, 29, 30, 31, 32, 33, 34}},
        {"--recovery 5 --slice-size 4000", {3, 50}, {60}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        for (const auto& [e, content] : Listing(dir + "/parts")) std::remove((dir + "/parts/" + e).c_str());
        const Result split = Parvex("split '" + name + "' --to parts --bytes 40000 " + c.options);
        ASSERT_EQ(split.status, 0) << split.err;
        std::vector<std::string> pieces(120);
        for (int i = 0; i < 120; ++i) pieces[i] = Slurp(Piece(i));
        for (int i : c.lost) std::remove(Piece(i).c_str());
        for (int i : c.flipped) {
            std::string bad = pieces[i];
            bad[(i * 7919) % bad.size()] ^= 0x20;
            std::ofstream(Piece(i), std::ios::binary) << bad;
        }
        std::string said;
        EXPECT_EQ(Par2("verify -q '" + name + ".par2'", &said), 1) << said;  // 1: repair is possible
        const Result repair = Parvex("repair 'parts/" + name + ".sio'");
        ASSERT_EQ(repair.status, 0) << repair.out << repair.err;
        for (int i = 0; i < 120; ++i) EXPECT_EQ(Slurp(Piece(i)), pieces[i]) << i;
        EXPECT_EQ(Par2("verify -q '" + name + ".par2'", &said), 0) << said;
    }
    EXPECT_EQ(Parvex("split '" + name + "' --to parts --recovery 10 --slice-size 4002").status, 1);
    EXPECT_EQ(Parvex("split '" + name + "' --to parts --recovery 10 --slices 0").status, 2);
    EXPECT_EQ(Parvex("split '" + name + "' --to parts --recovery 10 --slices 9 --slice-size 8").status, 2);
}
