// The command-line front end, run as a user would run it, on real files.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "engine/Texts.h"
#include "support/SplitFixture.h"

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
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
        const fake::Bytes bytes = fake::Pattern(25000);
        data.assign(bytes.begin(), bytes.end());
        std::ofstream(dir + "/sample.dat", std::ios::binary) << data;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    Result Parvex(const std::string& args) {
        const std::string command = "cd '" + dir + "' && '" PARVEX_CLI "' " + args + " >'" + dir +
                                    "/.out' 2>'" + dir + "/.err' </dev/null";
        const int raw = std::system(command.c_str());
        Result run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(dir + "/.out"), Slurp(dir + "/.err")};
        std::remove((dir + "/.out").c_str());
        std::remove((dir + "/.err").c_str());
        return run;
    }

    std::string dir;
    std::string data;
};

TEST_F(Cli, SplitsIntoTheCurrentFolderOrAnother) {
    Result run = Parvex("split sample.dat --bytes 10000");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Successfully sliced. \n"), std::string::npos);
    EXPECT_EQ(Slurp(dir + "/sample.dat.0.spl") + Slurp(dir + "/sample.dat.1.spl") +
                  Slurp(dir + "/sample.dat.2.spl"),
              data);
    EXPECT_EQ(Slurp(dir + "/sample.dat.sio").size(), 268u);

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
        {"split missing.dat", 1, std::string(texts::kSourceNotDefined) + "\n"},
        {"split sample.dat --to nowhere", 1, std::string(texts::kDestinationNotDefined) + "\n"},
        {"split sample.dat --files 0", 1, std::string(texts::kVerifyValues) + "\n"},
        {"split sample.dat --bytes 25000", 1, std::string(texts::kChunkSame) + "\n"},
        {"split sample.dat --mb 5000", 1, std::string(texts::kCheckValues) + "\n"},
        {"split sample.dat", 1, std::string(texts::kChunkLarger) + "\n"},
    };
    for (const auto& c : cases) {
        const Result run = Parvex(c.args);
        EXPECT_EQ(run.status, c.status) << c.args;
        EXPECT_EQ(run.err, c.err) << c.args;
        EXPECT_EQ(run.out, "") << c.args;
    }
    EXPECT_FALSE(std::ifstream(dir + "/sample.dat.sio").good());
}

TEST_F(Cli, SplitThenJoinGivesTheSameFile) {
    ASSERT_EQ(mkdir((dir + "/parts").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "/back").c_str(), 0755), 0);
    ASSERT_EQ(Parvex("split sample.dat --to parts --kb 7").status, 0);

    Result run = Parvex("info parts/sample.dat.sio");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "pieces: 4\nname: sample.dat\nsize: 25000\n");

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
    EXPECT_FALSE(std::ifstream(dir + "/parts/sample.dat.sio").good());
    EXPECT_FALSE(std::ifstream(dir + "/parts/sample.dat.0.spl").good());
    EXPECT_TRUE(std::ifstream(dir + "/parts/Go.bat").good());
}

TEST_F(Cli, UsageErrors) {
    for (const char* args : {"", "frob x", "split", "join", "info", "join a --bytes 5", "info a --to b", "split a b", "split a --bytes", "split a --kb 1 --mb 2",
                             "split a --frobnicate", "split a --yes --no"}) {
        const Result run = Parvex(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.err.find("usage: parvex split SOURCE"), std::string::npos) << args;
    }
    EXPECT_EQ(Parvex("--help").status, 0);
}

}  // namespace
