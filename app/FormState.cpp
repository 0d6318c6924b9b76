#include "app/FormState.h"

#include "engine/base/Names.h"
#include "resources/resource.h"

namespace app {

namespace {

const SizeCommand kCommands[] = {
    {ID_PRESET_FLOPPY, false, engine::kPresetFloppy, "1.44 MB", nullptr, "floppy"},
    {ID_PRESET_10MB, false, engine::kPreset10MB, "10 MB", nullptr, "10MB"},
    {ID_PRESET_100MB, false, engine::kPreset100MB, "100 MB", nullptr, "100MB"},
    {ID_PRESET_CD, false, engine::kPresetCd, "700 MB", nullptr, "CD"},
    // The largest piece there is: a DVD takes one, and so does FAT32.
    {ID_PRESET_FAT32, false, engine::kPresetFat32, "4 GB", nullptr, "FAT32"},
    {ID_UNIT_BYTES, true, engine::kUnitBytes, "Custom [bytes]", "In bytes:", "bytes"},
    {ID_UNIT_KB, true, engine::kUnitKB, "Custom [KB]", "In KB:", "KB"},
    {ID_UNIT_MB, true, engine::kUnitMB, "Custom [MB]", "In MB:", "MB"},
    {ID_UNIT_FILES, true, engine::kUnitFiles, "File count", "Total files:", "files"},
};

}  // namespace

const unsigned kSizeMenuCommands[10] = {ID_PRESET_FLOPPY, ID_PRESET_100MB, ID_UNIT_BYTES_ALT, ID_PRESET_10MB,
                                        ID_UNIT_KB,       ID_UNIT_MB,      ID_UNIT_BYTES,      ID_UNIT_FILES,
                                        ID_PRESET_CD,     ID_PRESET_FAT32};

const SizeCommand* FindSizeCommand(unsigned command) {
    // The button's own face and its second "bytes" item mean bytes.
    if (command == IDC_SIZE_BUTTON || command == ID_UNIT_BYTES_ALT) command = ID_UNIT_BYTES;
    for (const SizeCommand& entry : kCommands) {
        if (entry.command == command) return &entry;
    }
    return nullptr;
}

unsigned SizeCommandForName(const std::string& name) {
    static const struct {
        const char* spelling;
        unsigned command;
    } kNames[] = {
        {"FLOPPY", ID_PRESET_FLOPPY}, {"B", ID_UNIT_BYTES},          {"BYTES", ID_UNIT_BYTES},
        {"KB", ID_UNIT_KB},           {"KILOBYTES", ID_UNIT_KB},     {"KILO BYTES", ID_UNIT_KB},
        {"MB", ID_UNIT_MB},           {"MEGABYTES", ID_UNIT_MB},     {"MEGA BYTES", ID_UNIT_MB},
        {"FILE", ID_UNIT_FILES},      {"FILES", ID_UNIT_FILES},      {"10MB", ID_PRESET_10MB},
        {"100MB", ID_PRESET_100MB},   {"CD", ID_PRESET_CD},          {"DVD", ID_PRESET_FAT32},
        {"FAT32", ID_PRESET_FAT32},
    };
    const std::string upper = engine::AsciiUpper(name);
    for (const auto& entry : kNames) {
        if (upper == entry.spelling) return entry.command;
    }
    return 0;
}

Fields FormState::SwitchTo(FormMode mode, const Fields& shown) {
    if (mode == mode_) return shown;
    Fields next = other_;
    other_ = shown;
    mode_ = mode;
    return next;
}

const SizeCommand* FormState::ChooseSize(unsigned command) {
    const SizeCommand* entry = FindSizeCommand(command);
    if (!entry) return nullptr;
    size_.custom = entry->custom;
    sizeName_ = entry->name;
    if (entry->custom) {
        size_.unit = entry->value;
    } else {
        size_.presetBytes = entry->value;
    }
    return entry;
}

void FormState::SplitCompleted(std::uint32_t pieceSize) {
    if (!size_.custom) return;
    size_.custom = false;
    size_.presetBytes = pieceSize;
}

}  // namespace app
