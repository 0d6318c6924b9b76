#include "settings/SettingsStore.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/base/Format.h"
#include "engine/base/Texts.h"

namespace settings {

std::size_t StoredLength(const std::string& text) {
    std::size_t units = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) ++units;  // a lead byte starts a character
        if (byte >= 0xF0) ++units;           // beyond the BMP: a surrogate pair
    }
    return units;
}

SettingsStore::SettingsStore(SettingsRegistry& registry, platform::DesktopFolders& folders)
    : registry_(registry), folders_(folders) {}

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
    std::string percent;
    record_.recoveryPercent = 0;
    if (registry_.Read(kRecoveryPercent, kOptionsBuffer, percent) && !percent.empty() && percent.size() <= 3 &&
        percent.find_first_not_of("0123456789") == std::string::npos) {
        record_.recoveryPercent = std::min(std::atoi(percent.c_str()), 100);
    }
}

void SettingsStore::ConstructWithDefaults() {
    record_ = SettingsRecord{};
    Load();
    if (record_.workingFolder.empty()) record_.workingFolder = record_.installedPath + "\\Working";
    if (record_.startupFolder.empty()) record_.startupFolder = record_.installedPath + "\\Startup";
    // The startup folder is where choosers open; one that is gone leaves
    // the current folder as it was, which serves as well.
    static_cast<void>(folders_.SetCurrentFolder(record_.startupFolder));
}

void SettingsStore::Reload() {
    Load();
    if (!record_.startupFolder.empty()) static_cast<void>(folders_.SetCurrentFolder(record_.startupFolder));
}

FolderCheck SettingsStore::EnsureFolder(const std::string& path, const std::string& caption,
                                        engine::Prompts& host) {
    if (path.empty() || folders_.IsFolder(path)) return FolderCheck::Kept;
    if (host.ShowMessage({path + texts::kCreateFolderSuffix, caption, engine::Buttons::OkCancel, engine::Question::Proceed}) !=
        engine::Answer::Ok) {
        return FolderCheck::Refused;
    }
    // The missing folders from the deepest existing one down; the walk up
    // ends at a drive or share root, which no one creates.
    std::vector<std::string> missing;
    std::string at = path;
    while (at.size() > 1 && (at.back() == '\\' || at.back() == '/')) at.pop_back();
    while (!at.empty() && !folders_.IsFolder(at)) {
        missing.push_back(at);
        const std::size_t cut = at.find_last_of("\\/");
        if (cut == std::string::npos || cut == 0 || (cut == 2 && at[1] == ':')) break;
        at.resize(cut);
    }
    for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
        const engine::ErrorCode error = folders_.CreateFolder(*level);
        if (error != engine::err::kNone && !folders_.IsFolder(*level)) {
            host.Tell(texts::kCannotCreateFolder + *level, texts::kCannotCreateCaption);
            return FolderCheck::Refused;
        }
    }
    return FolderCheck::Created;
}

Remembered SettingsStore::LoadRemembered() {
    Remembered remembered;
    std::string text;
    if (registry_.Read(kPieceSize, kOptionsBuffer, text)) remembered.pieceSize = text;
    if (registry_.Read(kCustomSize, kSizeBuffer, text)) remembered.customSize = text;
    remembered.alwaysOnTop = registry_.Read(kAlwaysOnTop, kOptionsBuffer, text) && text == "1";
    if (registry_.Read(kLastSourceFolder, kPathBuffer, text)) remembered.sourceFolder = text;
    if (registry_.Read(kLastDestination, kPathBuffer, text)) remembered.destination = text;
    if (registry_.Read(kLastRejoinDestination, kPathBuffer, text)) remembered.rejoinDestination = text;
    return remembered;
}

// A value that does not fit is left as it was: memory, not a setting.
void SettingsStore::Remember(const Remembered& remembered) {
    registry_.Write(kPieceSize, remembered.pieceSize, kOptionsBuffer);
    registry_.Write(kCustomSize, remembered.customSize, kSizeBuffer);
    registry_.Write(kAlwaysOnTop, remembered.alwaysOnTop ? "1" : "0", kOptionsBuffer);
    for (const auto& [name, path] : {std::pair{kLastSourceFolder, &remembered.sourceFolder},
                                     std::pair{kLastDestination, &remembered.destination},
                                     std::pair{kLastRejoinDestination, &remembered.rejoinDestination}}) {
        if (StoredLength(*path) < kPathBuffer) registry_.Write(name, *path, kPathBuffer);
    }
}

bool SettingsStore::Save(const SettingsRecord& record, engine::Prompts& host) {
    bool kept = true;
    const char digit = static_cast<char>('0' + 2 * (record.eraseRemovable == 1) + (record.removeAfterRejoin == 1));
    // The digit alone, no terminator.
    if (!registry_.Write(kFolderOptions, std::string(1, digit), 1)) host.Tell(engine::Fill(texts::kSettingNotSaved, kFolderOptions));
    record_.removeAfterRejoin = record.removeAfterRejoin;
    record_.eraseRemovable = record.eraseRemovable;
    const int percent = std::clamp(record.recoveryPercent, 0, 100);
    if (!registry_.Write(kRecoveryPercent, std::to_string(percent), kOptionsBuffer)) {
        host.Tell(engine::Fill(texts::kSettingNotSaved, kRecoveryPercent));
    } else {
        record_.recoveryPercent = percent;
    }

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
        // The stored format holds a path and its terminator in 260
        // characters: a longer one is refused aloud, never cut.
        if (StoredLength(folder.path) >= kPathBuffer) {
            host.Tell(engine::Fill(texts::kSettingTooLong, folder.path));
            kept = false;
            continue;
        }
        if (EnsureFolder(folder.path, folder.caption, host) == FolderCheck::Refused) {
            kept = false;
            continue;
        }
        if (!registry_.Write(folder.name, folder.path, kPathBuffer)) host.Tell(engine::Fill(texts::kSettingNotSaved, folder.name));
    }
    return kept;
}

engine::EngineSettings SettingsStore::ForEngine() const {
    engine::EngineSettings engineSettings;
    engineSettings.removeSplitFilesAfterRejoin = record_.removeAfterRejoin == 1;
    engineSettings.eraseRemovableBeforeSplit = record_.eraseRemovable == 1;
    engineSettings.workingFolder = record_.workingFolder;
    return engineSettings;
}

}  // namespace settings
