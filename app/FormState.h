// The main window's form apart from its controls: each mode keeps its own
// source and destination, Split keeps the piece size chosen from the menu.
// Portable, so that its rules are tested without a window.
#pragma once

#include <cstdint>
#include <string>

#include "engine/set/PiecePlan.h"

namespace app {

enum class FormMode { Split, Rejoin };

struct Fields {
    std::string source;
    std::string destination;
    bool operator==(const Fields& other) const {
        return source == other.source && destination == other.destination;
    }
};

// A command of the piece-size menu: a preset, or a unit of a custom size.
struct SizeCommand {
    unsigned command;
    bool custom;
    std::uint32_t value;  // preset bytes, or the unit
    const char* status;   // the status bar's size part
    const char* label;    // the custom field's label (units only)
    const char* name;     // as remembered between starts, and as automation may name it
};

// The command's entry, or null for a command of another kind.
const SizeCommand* FindSizeCommand(unsigned command);
// Automation's names of a size ("B", "KB", "megabytes", "floppy", ... in any
// case): the command they stand for, or 0.
unsigned SizeCommandForName(const std::string& name);
// The commands whose menu items carry check marks.
extern const unsigned kSizeMenuCommands[10];

class FormState {
public:
    FormMode mode() const { return mode_; }
    bool split() const { return mode_ == FormMode::Split; }

    // Switches to `mode`. `shown` is what the fields hold now; the result is
    // what they are to hold (the same when the mode does not change).
    Fields SwitchTo(FormMode mode, const Fields& shown);

    // The settings pane saved a working folder: the other mode's destination
    // becomes it too, unless the user chose one of their own there.
    void UseWorkingFolder(const std::string& folder, const std::string& previous) {
        if (other_.destination.empty() || other_.destination == previous) other_.destination = folder;
    }

    // The destination the other mode shows when it is switched to.
    void SetOtherDestination(const std::string& folder) { other_.destination = folder; }

    // A preset or unit chosen from the menu or by automation; null when the
    // command is none of them.
    const SizeCommand* ChooseSize(unsigned command);
    // A completed split: the custom field goes; the resolved size stays.
    void SplitCompleted(std::uint32_t pieceSize);
    const engine::SizeChoice& size() const { return size_; }
    // The name of the command the size menu checks now.
    const char* sizeName() const { return sizeName_; }

private:
    FormMode mode_ = FormMode::Split;
    Fields other_;
    engine::SizeChoice size_;
    const char* sizeName_ = "floppy";
};

}  // namespace app
