// The settings store's rules, against the registry in memory here and, in
// the Windows build, against the real registry (settings_registry_test).
#include <gtest/gtest.h>

#include "engine/base/Texts.h"
#include "settings/SettingsStore.h"
#include "support/FakeHost.h"
#include "support/FakePlatform.h"
#include "support/FakeRegistry.h"

using namespace settings;

namespace {

struct Store {
    Store() { fs.AddFolder("C:\\Program Files\\Split\\Startup"); }
    fake::FakeRegistry registry;
    fake::FakePlatform fs;
    fake::FakeHost host;
    SettingsStore store{registry, fs};
};

TEST(SettingsStore, FlagsFromFolderOptions) {
    const struct {
        const char* stored;
        int remove, erase;
    } cases[] = {{"0", 0, 0}, {"1", 1, 0}, {"2", 0, 1}, {"3", 1, 1}, {"4", 0, 0},
                 {"x", 0, 0}, {"", 0, 0},  {"3 ", 1, 1}, {"12345678901", 0, 0}};
    for (const auto& c : cases) {
        Store s;
        s.registry.values[kFolderOptions] = c.stored;
        s.store.Load();
        EXPECT_EQ(s.store.record().removeAfterRejoin, c.remove) << c.stored;
        EXPECT_EQ(s.store.record().eraseRemovable, c.erase) << c.stored;
    }
    // Load only ever turns flags on.
    Store s;
    s.store.record().eraseRemovable = 1;
    s.registry.values[kFolderOptions] = "1";
    s.store.Load();
    EXPECT_EQ(s.store.record().eraseRemovable, 1);
}

TEST(SettingsStore, RecoveryPercentIsRememberedAndOnlyEverZeroToOneHundred) {
    const struct {
        const char* stored;
        int percent;
    } cases[] = {{"10", 10}, {"100", 100}, {"250", 100}, {"0", 0}, {"-5", 0}, {"1e3", 0}, {"", 0}, {"1000", 0}};
    for (const auto& c : cases) {
        Store s;
        s.registry.values[kRecoveryPercent] = c.stored;
        s.store.Load();
        EXPECT_EQ(s.store.record().recoveryPercent, c.percent) << c.stored;
    }
    Store s;
    SettingsRecord edited;
    edited.recoveryPercent = 140;
    s.store.Save(edited, s.host);
    EXPECT_EQ(s.registry.values[kRecoveryPercent].substr(0, 3), "100");
    s.store.Load();
    EXPECT_EQ(s.store.record().recoveryPercent, 100);
}

TEST(SettingsStore, DefaultsAtConstructionOnlyThenEmpty) {
    Store s;
    s.registry.values[kInstalledPath] = std::string("C:\\Program Files\\Split") + '\0';
    s.store.ConstructWithDefaults();
    EXPECT_EQ(s.store.record().workingFolder, "C:\\Program Files\\Split\\Working");
    EXPECT_EQ(s.store.record().startupFolder, "C:\\Program Files\\Split\\Startup");
    EXPECT_EQ(s.fs.currentFolder, "C:\\Program Files\\Split\\Startup");
    s.store.Reload();
    EXPECT_EQ(s.store.record().workingFolder, "");
    EXPECT_EQ(s.store.record().startupFolder, "");
    EXPECT_EQ(s.fs.currentFolder, "C:\\Program Files\\Split\\Startup");  // an empty one is not entered

    Store bare;
    bare.store.ConstructWithDefaults();
    EXPECT_EQ(bare.store.record().workingFolder, "\\Working");
    EXPECT_EQ(bare.store.record().startupFolder, "\\Startup");
}

TEST(SettingsStore, PathsUpToTheBufferAndNoFurther) {
    const std::string longest(259, 'p');
    const struct {
        std::string stored;
        std::string read;
    } cases[] = {
        {longest + '\0', longest},
        {longest, longest},                     // no terminator, but it fits with one
        {std::string(260, 'p'), ""},            // fills the buffer without a terminator
        {std::string(300, 'p') + '\0', ""},     // longer than the buffer: missing
        {std::string("C:\\a\0junk", 9), "C:\\a"},
    };
    for (const auto& c : cases) {
        Store s;
        s.registry.values[kWorkingFolder] = c.stored;
        s.store.Load();
        EXPECT_EQ(s.store.record().workingFolder, c.read) << c.stored.size();
    }
}

TEST(SettingsStore, SaveWritesTheStoredEncodings) {
    Store s;
    s.fs.AddFolder("D:\\work");
    s.fs.drive('D');
    s.fs.AddFolder("D:\\work");
    SettingsRecord edited;
    edited.eraseRemovable = 1;
    edited.workingFolder = "D:\\work";
    edited.startupFolder = "";
    s.store.Save(edited, s.host);
    EXPECT_EQ(s.registry.values[kFolderOptions], "2");  // one byte, no terminator
    ASSERT_EQ(s.registry.values[kWorkingFolder].size(), 260u);
    EXPECT_EQ(s.registry.values[kWorkingFolder], "D:\\work" + std::string(260 - 7, '\0'));
    EXPECT_EQ(s.registry.values[kStartupFolder], std::string(260, '\0'));
    EXPECT_TRUE(s.host.boxes.empty());
    s.store.Reload();
    EXPECT_EQ(s.store.record().workingFolder, "D:\\work");
}

TEST(SettingsStore, MissingFoldersAreOfferedForCreation) {
    const struct {
        const char* what;
        const char* path;
        engine::Answer answer;
        FolderCheck result;
        std::vector<std::string> texts;
    } cases[] = {
        {"created", "C:\\new", engine::Answer::Ok, FolderCheck::Created,
         {"C:\\new does not exist. \n Create it?"}},
        {"declined", "C:\\new", engine::Answer::Cancel, FolderCheck::Refused,
         {"C:\\new does not exist. \n Create it?"}},
        // Every missing level, after one question.
        {"nested", "C:\\no\\such\\deep", engine::Answer::Ok, FolderCheck::Created,
         {"C:\\no\\such\\deep does not exist. \n Create it?"}},
        {"cannot be created", "Q:\\no\\such", engine::Answer::Ok, FolderCheck::Refused,
         {"Q:\\no\\such does not exist. \n Create it?", "Cannot create directory Q:\\no"}},
        {"exists", "C:\\Program Files\\Split\\Startup", engine::Answer::Ok, FolderCheck::Kept, {}},
        {"empty", "", engine::Answer::Ok, FolderCheck::Kept, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Store s;
        s.host.answer = [&](const fake::Box&) { return c.answer; };
        EXPECT_EQ(s.store.EnsureFolder(c.path, texts::kCreateWorkingCaption, s.host), c.result);
        EXPECT_EQ(s.host.texts(), c.texts);
        if (!c.texts.empty()) {
            EXPECT_EQ(s.host.boxes[0].caption, "Create working directory");
        }
        if (c.texts.size() > 1) {
            EXPECT_EQ(s.host.boxes[1].caption, "Error creating directory");
        }
        EXPECT_EQ(s.fs.IsFolder(c.path), c.result != FolderCheck::Refused && *c.path);
    }
}

// The limit counts characters as the registry keeps them: a path of 259
// Cyrillic letters is kept whole; one of 260 is refused aloud, the stored
// value untouched.
TEST(SettingsStore, PathLengthCountsCharactersNotBytes) {
    std::string cyrillic;
    for (int i = 0; i < 256; ++i) cyrillic += "\xd0\xb6";  // ж, two bytes each
    const std::string fits = "D:\\" + cyrillic;                                   // 259 characters
    const std::string tooLong = "D:\\" + cyrillic.substr(2) + "\xf0\x9f\x8e\xac";  // 258 + a pair
    EXPECT_EQ(StoredLength(fits), 259u);
    EXPECT_EQ(StoredLength(tooLong), 260u);
    Store s;
    s.fs.drive('D');
    s.fs.AddFolder(fits);
    s.fs.AddFolder(tooLong);
    s.registry.values[kStartupFolder] = "C:\\old";
    SettingsRecord edited;
    edited.workingFolder = fits;
    edited.startupFolder = tooLong;
    s.store.Save(edited, s.host);
    ASSERT_EQ(s.host.boxes.size(), 1u);
    EXPECT_EQ(s.host.boxes[0].text, tooLong + "\nis too long to be kept in the settings (259 characters at most)."
                                              "\nChoose a folder with a shorter path.");
    EXPECT_EQ(s.registry.values[kStartupFolder], "C:\\old");
    s.store.Reload();
    EXPECT_EQ(s.store.record().workingFolder, fits);
    EXPECT_EQ(s.store.record().startupFolder, "C:\\old");
}

TEST(SettingsStore, RefusedFolderIsNotWritten) {
    Store s;
    s.registry.values[kWorkingFolder] = "C:\\old";
    s.host.answer = [](const fake::Box&) { return engine::Answer::Cancel; };
    SettingsRecord edited;
    edited.workingFolder = "C:\\elsewhere";
    EXPECT_FALSE(s.store.Save(edited, s.host));
    EXPECT_EQ(s.registry.values[kWorkingFolder], "C:\\old");
}

// What the window remembers comes back as it was written; a path too long
// for the stored format leaves the older one.
TEST(SettingsStore, RememberedComesBackAsWritten) {
    Store s;
    EXPECT_EQ(s.store.LoadRemembered().pieceSize, "");
    Remembered remembered{"MB", "1,5", true, "C:\\films", "D:\\out", "E:\\back"};
    s.store.Remember(remembered);
    const Remembered back = s.store.LoadRemembered();
    EXPECT_EQ(back.pieceSize, "MB");
    EXPECT_EQ(back.customSize, "1,5");
    EXPECT_TRUE(back.alwaysOnTop);
    EXPECT_EQ(back.sourceFolder, "C:\\films");
    EXPECT_EQ(back.destination, "D:\\out");
    EXPECT_EQ(back.rejoinDestination, "E:\\back");  // apart from the split's
    remembered.destination = "D:\\" + std::string(300, 'x');
    remembered.alwaysOnTop = false;
    s.store.Remember(remembered);
    EXPECT_EQ(s.store.LoadRemembered().destination, "D:\\out");
    EXPECT_FALSE(s.store.LoadRemembered().alwaysOnTop);
}

}  // namespace
