// The persistent settings: two folders, the installation folder and two
// file-operation flags, kept in one registry key of the current user.
#pragma once

#include <cstddef>
#include <string>

#include "engine/job/Host.h"
#include "engine/job/Job.h"
#include "platform/DesktopFolders.h"
#include "settings/SettingsKey.h"

namespace settings {


// Read buffers of the stored format: a value that does not fit (with its
// terminator) is treated as missing, never cut to a different path.
inline constexpr std::size_t kOptionsBuffer = 10;
inline constexpr std::size_t kPathBuffer = 260;
inline constexpr std::size_t kSizeBuffer = 32;

// The settings key. Every call opens (creating) and closes it.
class SettingsRegistry {
public:
    virtual ~SettingsRegistry() = default;
    // The value's text up to its first zero byte. False when the value is
    // missing, unreadable, or has no terminator within `buffer` bytes.
    virtual bool Read(const char* name, std::size_t buffer, std::string& text) = 0;
    // Stores `text` as a string value padded with zeros to `slots`
    // characters of the stored format (no terminator when it fills them).
    // False, with nothing written, when it does not fit.
    virtual bool Write(const char* name, const std::string& text, std::size_t slots) = 0;
};

// How many characters of the stored format (UTF-16 code units, as the
// registry keeps them) a UTF-8 text takes.
std::size_t StoredLength(const std::string& text);

struct SettingsRecord {
    std::string startupFolder;
    std::string workingFolder;
    std::string installedPath;
    int removeAfterRejoin = 0;
    int eraseRemovable = 0;
    int recoveryPercent = 0;  // recovery data a split makes, 0 to 100
};

// What the window remembers from one start to the next: written as it
// changes, never asked about.
struct Remembered {
    std::string pieceSize;   // the size command's name ("floppy", "10MB", "MB", ...)
    std::string customSize;  // the custom field as typed
    bool alwaysOnTop = false;
    std::string sourceFolder;  // where the last source was chosen
    std::string destination;   // the last destination a split used
    // The rejoin's own, kept only when the user chose one; without it a
    // rejoin goes beside its set, as an archiver extracts beside the archive.
    std::string rejoinDestination;
};

enum class FolderCheck { Kept, Created, Refused };

class SettingsStore {
public:
    SettingsStore(SettingsRegistry& registry, platform::DesktopFolders& folders);

    // Fills the record from the registry. Flags are only ever turned on here.
    void Load();
    // Once, when the window is made: Load, folder defaults under the
    // installation folder, and the startup folder as current directory.
    void ConstructWithDefaults();
    // Load again without defaults, then the startup folder as current directory.
    void Reload();
    // The settings pane's OK: writes the flags, and each folder that passes
    // EnsureFolder (working folder first); then Reload picks them up.
    // False when a folder was refused: the pane then stays open with it.
    bool Save(const SettingsRecord& record, engine::Prompts& host);

    Remembered LoadRemembered();
    void Remember(const Remembered& remembered);

    // An empty or existing folder is kept; otherwise the user is asked
    // whether to create it, with every missing folder above it.
    FolderCheck EnsureFolder(const std::string& path, const std::string& caption, engine::Prompts& host);

    SettingsRecord& record() { return record_; }
    const SettingsRecord& record() const { return record_; }
    engine::EngineSettings ForEngine() const;

private:
    SettingsRegistry& registry_;
    platform::DesktopFolders& folders_;
    SettingsRecord record_;
};

}  // namespace settings
