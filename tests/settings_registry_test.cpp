// The settings store on the real registry of the current user (under Wine,
// the test's own prefix).
#include <gtest/gtest.h>

#include "platform/win32/Win32Platform.h"
#include "settings/SettingsStore.h"
#include "settings/Win32Registry.h"
#include "support/FakeHost.h"
#include "support/WindowDriver.h"

using namespace settings;

namespace {

class Registry : public ::testing::Test {
protected:
    // Each test starts with no key; the key as it was comes back on any exit.
    void SetUp() override { guard.Clear(); }

    void Put(const char* name, const std::string& data, DWORD type = REG_SZ) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
        RegCloseKey(key);
    }
    std::string Get(const char* name) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "<no key>";
        char data[1024];
        DWORD size = sizeof data;
        const LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(key);
        return result == ERROR_SUCCESS ? std::string(data, size) : "<missing>";
    }

    drive::SettingsKeyGuard guard;
    Win32Registry registry;
    platform::Win32Platform fs;
    fake::FakeHost host;
    SettingsStore store{registry, fs};
};

TEST_F(Registry, MissingKeyGivesEmptySettingsAndIsCreated) {
    store.Load();
    EXPECT_EQ(store.record().workingFolder, "");
    EXPECT_EQ(store.record().installedPath, "");
    EXPECT_EQ(store.record().removeAfterRejoin + store.record().eraseRemovable, 0);
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(Registry, FolderOptionsAsStored) {
    for (const auto& [stored, remove, erase] :
         {std::tuple{"3", 1, 1}, {"4", 0, 0}, {"x", 0, 0}, {"", 0, 0}, {"1", 1, 0}, {"0123456789abc", 0, 0}}) {
        Put(kFolderOptions, stored);
        SettingsStore fresh(registry, fs);
        fresh.Load();
        EXPECT_EQ(fresh.record().removeAfterRejoin, remove) << stored;
        EXPECT_EQ(fresh.record().eraseRemovable, erase) << stored;
    }
}

TEST_F(Registry, PathsOfEveryLength) {
    const std::string longest = "C:\\" + std::string(256, 'p');  // 259 characters
    Put(kWorkingFolder, longest + '\0');
    Put(kStartupFolder, std::string(300, 'q') + '\0');
    Put(kInstalledPath, "");
    store.Load();
    EXPECT_EQ(store.record().workingFolder, longest);
    EXPECT_EQ(store.record().startupFolder, "");  // too long for the format: missing
    EXPECT_EQ(store.record().installedPath, "");
}

TEST_F(Registry, SaveWritesOneByteAndFullPathBuffers) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder(temp);
    folder.pop_back();  // no trailing backslash
    SettingsRecord edited;
    edited.eraseRemovable = 1;
    edited.workingFolder = folder;
    store.Save(edited, host);
    EXPECT_EQ(Get(kFolderOptions).substr(0, 1), "2");
    EXPECT_LE(Get(kFolderOptions).size(), 2u);  // the digit, and at most the terminator Wine adds
    const std::string stored = Get(kWorkingFolder);
    EXPECT_GE(stored.size(), 260u);
    EXPECT_EQ(stored.substr(0, folder.size()), folder);
    EXPECT_EQ(stored[folder.size()], '\0');
    store.Reload();
    EXPECT_EQ(store.record().workingFolder, folder);
    EXPECT_EQ(store.record().eraseRemovable, 1);
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(Registry, ConstructionUsesTheInstallationFolder) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string install(temp);
    install.pop_back();
    CreateDirectoryA((install + "\\Startup").c_str(), nullptr);
    Put(kInstalledPath, install + '\0');
    store.ConstructWithDefaults();
    EXPECT_EQ(store.record().workingFolder, install + "\\Working");
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_STRCASEEQ(current, (install + "\\Startup").c_str());
    RemoveDirectoryA((install + "\\Startup").c_str());
}

}  // namespace
