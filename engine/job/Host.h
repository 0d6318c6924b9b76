// What an operation needs of the program that runs it, in three narrow parts:
// the questions and messages it asks (Prompts), how far it has got
// (Progress), and when it starts and ends (Events). Every method has a
// harmless default, so a front end overrides only what it shows; the engines
// never format for a particular front end.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace engine {

enum class Buttons { Ok, OkCancel };
enum class Answer { Ok, Cancel };

// What a question is about. A front end that answers for an absent user (a
// script's --yes) may answer OK only where that is safe: a retry whose cause
// has not changed, or a disk that nobody can swap, must not loop.
enum class Question {
    None,      // a message with only OK
    Retry,     // try the same thing again on the destination drive
    NextDisk,  // another disk has been put in the drive
    Proceed,   // any other OK/Cancel question
    Paused,    // the run is held while the user chooses to go on or stop
};

struct Message {
    Message(std::string t = std::string(), std::string c = std::string(), Buttons b = Buttons::Ok,
            Question q = Question::None)
        : text(std::move(t)), caption(std::move(c)), buttons(b), question(q) {}
    std::string text;
    // Empty: the program's title (and, by the house style, the exclamation
    // icon); a box with a caption of its own carries no icon.
    std::string caption;
    Buttons buttons = Buttons::Ok;
    Question question = Question::None;
    // A message that something went as asked carries the information icon.
    bool information = false;
    // What OK and Cancel do, said on their buttons ("Continue", "Stop");
    // empty: OK and Cancel.
    std::string okLabel, cancelLabel;
};

enum class FileExistsAnswer {
    Rename,     // the path was replaced by the new name
    Overwrite,  // keep the path; the existing file is replaced when done
    Stop,       // end the operation before anything is written
};

// What is wrong with one piece of a set, or (WholeDamaged) with the file
// its pieces make.
struct PieceProblem {
    enum class Kind { Missing, NotAFile, WrongLength, Damaged, Unreadable, WholeDamaged };
    Kind kind;
    std::string path;
    std::uint32_t code = 0;  // why an unreadable piece could not be read
    std::uint32_t piece = kNoPiece;  // which piece (none for WholeDamaged)
    static constexpr std::uint32_t kNoPiece = 0xFFFFFFFF;
};

// What the set's recovery files can do.
// Why recovery files beside a set were not used.
enum class RecoveryProblem {
    None,
    OtherFile,    // they confirm none of the pieces present
    Disagrees,    // with the info file, or with a piece proven intact
    Conflicting,  // two sound copies of one thing say different things
    Incomplete,   // a file of theirs is not described
    TooLarge,     // more than the format, or the memory, allows
};

struct RecoveryState {
    bool found = false;                 // recovery files describe the set and are confirmed by it
    RecoveryProblem problem = RecoveryProblem::None;  // with found false: why none serve
    std::uint32_t blocksNeeded = 0;     // slices lost from the pieces
    std::uint32_t blocksAvailable = 0;  // intact recovery slices
    std::uint32_t wholePieces = 0;      // pieces that many slices rebuild, if lost
    std::uint32_t notCovered = 0;       // bad pieces the recovery files do not describe
    bool canRebuild = false;            // every bad piece can be rebuilt
};

// What a verification found.
struct VerifyReport {
    std::uint32_t pieces = 0;
    bool checksums = false;  // the set records checksums and they were compared
    std::vector<PieceProblem> problems;
    RecoveryState recovery;
    std::vector<std::string> rebuilt;  // pieces a repair rebuilt
    // A quick check: names and lengths, the info file and the recovery
    // files' packets, no piece's data read (recovery: what the packets say).
    bool quick = false;
    std::uint32_t recoveryFiles = 0;
};

class Prompts {
public:
    virtual ~Prompts() = default;
    // A modal message box owned by the main window.
    virtual Answer ShowMessage(const Message& message);
    // The "File already exists" question, asked with `path` in its edit box.
    virtual FileExistsAnswer AskFileExists(std::string& path);
    // The end-of-split notice; returns when the user has closed it.
    // `rebuildable`: how many lost pieces the recovery files can rebuild.
    virtual void ShowSplitNotice(std::uint32_t rebuildable) { (void)rebuildable; }
    // The closing message of a verification: what it found.
    virtual void ShowVerifyReport(const VerifyReport& report);

    // Whether the front end offers to repair the pieces in place after a
    // verification or a rejoin found them damaged (the window does; the
    // command line has `repair` for it).
    virtual bool OffersRepair() const { return false; }

    // Shorthand for a box with only OK under the program's title.
    void Tell(const std::string& text, const std::string& caption = std::string());
    // The same for news that something went as asked.
    void Inform(const std::string& text);
};

class Progress {
public:
    virtual ~Progress() = default;
    // `done` of `total` units (bytes for a split, pieces for a rejoin), and
    // the "Processed / Remaining" line.
    virtual void Report(std::uint64_t done, std::uint64_t total, const std::string& text);
    // The same for a step that counts entries, not bytes (the erase of a
    // removable disk): no amount or speed can be told of it.
    virtual void ReportEntries(std::uint64_t done, std::uint64_t total, const std::string& text) {
        Report(done, total, text);
    }
};

// Repair and Protect come from the command line only.
enum class Mode { Split, Rejoin, Verify, Repair, Protect, QuickCheck };

enum class Outcome {
    Completed,  // the output is exactly right; the closing message follows
    Stopped,    // refused or given up; the user has been told
    Failed,     // a file failure ended it; the user has been told
    Cancelled,  // the user stopped it
};

class Events {
public:
    virtual ~Events() = default;
    // The run begins: the inputs are to be disabled, progress shown.
    virtual void Started(Mode mode);
    // Every ending, before the closing message of a completed operation.
    virtual void Finished(Mode mode, Outcome outcome);
};

// The three parts in one object, for front ends that show all of them.
class Host : public Prompts, public Progress, public Events {};

}  // namespace engine
