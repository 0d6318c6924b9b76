#include <gtest/gtest.h>

#include "app/StartupRules.h"

using namespace app;

namespace {

TEST(StartupRules, CommandLineSwitchesAndFile) {
    const struct {
        std::vector<std::string> args;
        std::string file;
        bool automation;
        RegistrationSwitch registration = RegistrationSwitch::None;
    } cases[] = {
        {{}, "", false},
        {{"/Automation"}, "", true},
        {{"-Embedding"}, "", true},
        {{"/p", "D:\\x\\film.avi"}, "D:\\x\\film.avi", false},
        {{"a b.txt", "second.txt"}, "a b.txt", false},
        {{"/automation"}, "", false},  // switch names are exact
        {{"-Embedding", "D:\\f.sio"}, "D:\\f.sio", true},
        {{"/RegServer"}, "", false, RegistrationSwitch::Register},
        {{"-regserver"}, "", false, RegistrationSwitch::Register},
        {{"/UnregServer"}, "", false, RegistrationSwitch::Unregister},
        {{"/UNREGSERVER", "x.txt"}, "x.txt", false, RegistrationSwitch::Unregister},
        {{"/Reg"}, "", false, RegistrationSwitch::None},
        {{"/RegServerPerUser"}, "", false, RegistrationSwitch::RegisterForUser},
        {{"/UnregServerPerUser"}, "", false, RegistrationSwitch::Unregister},
    };
    for (const auto& c : cases) {
        const CommandLine line = ParseCommandLine(c.args);
        EXPECT_EQ(line.file, c.file);
        // Every file named is there, in order: several are a queue.
        std::vector<std::string> files;
        for (const std::string& arg : c.args) {
            if (arg[0] != '/' && arg[0] != '-') files.push_back(arg);
        }
        EXPECT_EQ(line.files, files);
        EXPECT_EQ(line.automation, c.automation);
        EXPECT_EQ(line.registration, c.registration);
    }
}

// The setup's PATH option: the folder once, at the end, every other entry
// as it was; taken off again whatever its case or final backslash.
TEST(StartupRules, TheProgramFolderOnTheUsersPath) {
    const struct {
        std::string value;
        bool present;
        std::string result;
    } cases[] = {
        {"", true, "C:\\Apps\\Split"},
        {"C:\\bin", true, "C:\\bin;C:\\Apps\\Split"},
        {"C:\\bin;", true, "C:\\bin;C:\\Apps\\Split"},
        {"c:\\apps\\split\\;C:\\bin", true, "c:\\apps\\split\\;C:\\bin"},
        {"C:\\bin;C:\\Apps\\Split;%USERPROFILE%\\x;C:\\APPS\\SPLIT", true, "C:\\bin;C:\\Apps\\Split;%USERPROFILE%\\x"},
        {"C:\\bin;C:\\Apps\\Split\\;;D:\\y", false, "C:\\bin;;D:\\y"},
        {"C:\\Apps\\Split", false, ""},
        {"C:\\Apps\\Splitter;C:\\Apps", false, "C:\\Apps\\Splitter;C:\\Apps"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WithFolderInPath(c.value, "C:\\Apps\\Split", c.present), c.result) << c.value;
    }
    const CommandLine add = ParseCommandLine({"/AddToPath"}), remove = ParseCommandLine({"-removefrompath"});
    EXPECT_EQ(add.path, PathSwitch::Add);
    EXPECT_EQ(remove.path, PathSwitch::Remove);
}

TEST(StartupRules, NamedFilesChooseTheMode) {
    const struct {
        const char* path;
        bool rejoin;
        const char* source;
    } cases[] = {
        {"D:\\x\\film.avi.3.spl", true, "D:\\X\\FILM.AVI.SIO"},
        {"C:\\data\\movie.avi.12.SPL", true, "C:\\DATA\\MOVIE.AVI.SIO"},
        {"D:\\x\\film.avi.123.spl", true, "D:\\X\\FILM.AVI.SIO"},
        {"D:\\x\\film.avi.sio", true, "D:\\X\\FILM.AVI.SIO"},
        {"D:\\x\\Film.Avi", false, "D:\\x\\Film.Avi"},
        {"D:\\x\\archive.spl.bak", false, "D:\\x\\archive.spl.bak"},
    };
    for (const auto& c : cases) {
        const NamedFile named = ClassifyNamedFile(c.path);
        EXPECT_EQ(named.rejoin, c.rejoin) << c.path;
        EXPECT_EQ(named.sourceText, c.source) << c.path;
    }
}

}  // namespace
