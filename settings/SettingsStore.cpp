#include "SettingsStore.h"

#include <cstdlib>
#include <cstring>

#include "engine/Texts.h"

namespace settings {

SettingsStore::SettingsStore(SettingsRegistry& registry, engine::Platform& platform)
    : registry_(registry), platform_(platform) {}

void SettingsStore::Load() {
    std::string options;
    registry_.Read(kFolderOptions, kOptionsBuffer, options);
    const int n = std::atoi(options.c_str());
    std::string folder;
    record_.startupFolder = registry_.Read(kStartupFolder, kPathBuffer, folder) ? folder : "";
    record_.workingFolder = registry_.Read(kWorkingFolder, kPathBuffer, folder) ? folder : "";
    record_.installedPath = registry_.Read(kInstalledPath, kPathBuffer, folder) ? folder : "";
    if (n == 1 || n == 3) record_.removeAfterRejoin = 1;
    if (n == 2 || n == 3) record_.eraseRemovable = 1;
}

void SettingsStore::ConstructWithDefaults() {
    record_ = SettingsRecord{};
    Load();
    if (record_.workingFolder.empty()) record_.workingFolder = record_.installedPath + "\\Working";
    if (record_.startupFolder.empty()) record_.startupFolder = record_.installedPath + "\\Startup";
    platform_.SetCurrentFolder(record_.startupFolder);
}

void SettingsStore::Reload() {
    Load();
    if (!record_.startupFolder.empty()) platform_.SetCurrentFolder(record_.startupFolder);
}

FolderCheck SettingsStore::EnsureFolder(const std::string& path, const std::string& caption,
                                        engine::Prompts& host) {
    if (path.empty() || platform_.IsFolder(path)) return FolderCheck::Kept;
    if (host.ShowMessage({path + texts::kCreateFolderSuffix, caption, engine::Buttons::OkCancel, engine::Question::Proceed}) !=
        engine::Answer::Ok) {
        return FolderCheck::Refused;
    }
    if (platform_.CreateFolder(path) == engine::err::kNone) return FolderCheck::Created;
    host.Tell(texts::kCannotCreateFolder + path, texts::kCannotCreateCaption);
    return FolderCheck::Refused;
}

void SettingsStore::Save(const SettingsRecord& record, engine::Prompts& host) {
    const char digit = static_cast<char>('0' + 2 * (record.eraseRemovable == 1) + (record.removeAfterRejoin == 1));
    registry_.Write(kFolderOptions, &digit, 1);  // the digit alone, no terminator
    record_.removeAfterRejoin = record.removeAfterRejoin;
    record_.eraseRemovable = record.eraseRemovable;

    // The folders in memory come from the reload that follows: one that was
    // not written falls back to its stored value.
    const struct {
        const char* name;
        const std::string& path;
        const char* caption;
    } folders[] = {
        {kWorkingFolder, record.workingFolder, texts::kCreateWorkingCaption},
        {kStartupFolder, record.startupFolder, texts::kCreateStartupCaption},
    };
    for (const auto& folder : folders) {
        if (folder.path.size() >= kPathBuffer) continue;  // cannot be stored whole
        if (EnsureFolder(folder.path, folder.caption, host) == FolderCheck::Refused) continue;
        char buffer[kPathBuffer] = {};
        std::memcpy(buffer, folder.path.data(), folder.path.size());
        registry_.Write(folder.name, buffer, sizeof buffer);
    }
}

engine::EngineSettings SettingsStore::ForEngine() const {
    engine::EngineSettings engineSettings;
    engineSettings.removeSplitFilesAfterRejoin = record_.removeAfterRejoin == 1;
    engineSettings.eraseRemovableBeforeSplit = record_.eraseRemovable == 1;
    engineSettings.workingFolder = record_.workingFolder;
    return engineSettings;
}

}  // namespace settings
