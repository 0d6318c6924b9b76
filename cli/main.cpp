// parvex: split, rejoin, verify and inspect from the command line with the
// same engine, checks, files and texts as the Windows program.
#include <atomic>
#include <csignal>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "cli/Console.h"
#include "cli/ConsoleHost.h"
#include "engine/base/FileErrors.h"
#include "engine/base/Names.h"
#include "engine/ops/RunJob.h"
#include "engine/set/PiecePlan.h"
#include "engine/set/RecoveryPlan.h"
#include "engine/io/SetRepair.h"
#include "engine/io/StateFile.h"
#include "engine/set/SplitInfo.h"
#include "engine/ops/Prepare.h"
#include "engine/base/Texts.h"

#ifdef _WIN32
#include "platform/win32/Win32Platform.h"
using NativePlatform = platform::Win32Platform;
#else
#include "platform/posix/PosixPlatform.h"
using NativePlatform = platform::PosixPlatform;
#endif

namespace {

#ifdef _WIN32
#define CODEPAGE_USAGE ""
#define CODEPAGE_HELP ""
#else
#define CODEPAGE_USAGE " [--codepage CP]"
#define CODEPAGE_HELP                                                                          \
    "  --codepage CP the Windows code page of the name in the info file (default 1252),\n"     \
    "                so that sets move between this system and Windows\n"
#endif

#ifndef PARVEX_VERSION
#define PARVEX_VERSION ""
#endif

const char kUsage[] =
    "usage: parvex split SOURCE... [--to FOLDER]\n"
    "                    [--floppy | --10mb | --100mb | --cd | --fat32 | --bytes N | --kb N | --mb N | --files N]\n"
    "                    [--recovery PERCENT [--slices N | --slice-size BYTES]] [--yes | --no | --restart]"
    CODEPAGE_USAGE "\n"
    "       parvex join INFO... [--to FOLDER] [--from FOLDER...] [--remove-pieces] [--yes | --no | --restart]" CODEPAGE_USAGE "\n"
    "       parvex verify INFO... [--quick] [--from FOLDER...]" CODEPAGE_USAGE "\n"
    "       parvex repair INFO... [--from FOLDER...]" CODEPAGE_USAGE "\n"
    "       parvex protect INFO... [--recovery PERCENT] [--slices N | --slice-size BYTES]" CODEPAGE_USAGE "\n"
    "       parvex info INFO" CODEPAGE_USAGE "\n"
    "\n"
    "split  cuts SOURCE into pieces SOURCE.0.spl, SOURCE.1.spl, ... with SOURCE.sio and\n"
    "       Go.bat in FOLDER (default: the current directory).\n"
    "  --floppy      pieces of 1,457,664 bytes (default)\n"
    "  --10mb        pieces of 10,000,000 bytes\n"
    "  --100mb       pieces of 100,000,000 bytes\n"
    "  --cd          pieces of 700,000,000 bytes, one on each CD-R\n"
    "  --fat32       pieces of 4,294,967,295 bytes, the largest file FAT32 holds (and\n"
    "                the largest piece, one on each DVD)\n"
    "  --bytes N     pieces of N bytes; --kb N and --mb N count 1,000 and 1,000,000 bytes\n"
    "                and take decimals with a point (--mb 1.5)\n"
    "  --files N     about N pieces of equal size\n"
    "  --recovery PERCENT  also write PAR2 recovery files (SOURCE.par2, SOURCE.vol*.par2)\n"
    "                of PERCENT % of the file (0 to 100, default 0): that many pieces'\n"
    "                worth of lost or damaged pieces can be rebuilt, by repair, by join\n"
    "                or by any PAR2 program\n"
    "  --slices N    cut the pieces into about N slices in all for the recovery data\n"
    "                (each piece a whole number of slices; at most 32768): each damaged\n"
    "                place costs one recovery slice, so more slices mend more scattered\n"
    "                damage, and take longer to make. The default mends a lost piece\n"
    "                and damage in 20 places where the percentage allows\n"
    "  --slice-size BYTES  slices of BYTES each instead (a multiple of 4, under 1 GB)\n"
    "join   rebuilds the file from its info file (or any of its pieces) in FOLDER,\n"
    "       checking every piece and the whole file against the checksums the info\n"
    "       file records.\n"
    "  --from FOLDER...  the copies of the later disks of a set split across removable\n"
    "                disks, one folder a disk, in order: a piece cut by a disk change\n"
    "                goes on in the next folder\n"
    "  --remove-pieces  delete the info file, the pieces and the recovery files afterwards\n"
    "       With recovery files beside the set, pieces that are missing or damaged are\n"
    "       rebuilt into the output (the pieces themselves are not touched).\n"
    "verify checks every piece (present, length, checksum) and writes nothing; it\n"
    "       says what the recovery files can rebuild.\n"
    "  --quick       only names, lengths, the info file and the recovery files' packets:\n"
    "                no piece is read, and the report says so\n"
    "repair rebuilds missing or damaged pieces in place from the recovery files; INFO\n"
    "       may also be a piece or SOURCE.par2.\n"
    "protect writes recovery files for a set that has none (default 10 %).\n"
    "info   prints the piece count, name and size recorded in an info file.\n"
    "  --yes, --no   answer questions when not on a terminal: --yes lets join replace\n"
    "                an existing file and split an existing set of the name (or a\n"
    "                Go.bat of another kind), --no (or neither) keeps it and stops;\n"
    "                a retry or a disk change is never answered for you; a split or join\n"
    "                that stopped is continued after the pieces it finished with --yes,\n"
    "                started over with --no (or neither)\n"
    "  --restart     split or join anew, without offering to continue one that stopped\n" CODEPAGE_HELP
    "Several files or sets are each a run of their own, one after another; a line for\n"
    "each says how it ended, and the exit status is 0 only when all were good.\n"
    "Exit status: 0 done (verify: every piece good), 1 refused or failed, 2 usage error.\n";

// The program as the user ran it: parvex, or parvex-cli on Windows.
std::string g_program = "parvex";

std::string ProgramName(const char* argv0) {
    std::string name = argv0 ? argv0 : "";
    const std::size_t cut = name.find_last_of("/\\");
    if (cut != std::string::npos) name = name.substr(cut + 1);
    if (name.size() > 4 && engine::EndsWithNoCase(name, ".exe")) name.resize(name.size() - 4);
    return name.empty() ? std::string("parvex") : name;
}

// The usage with the name the program was run by.
std::string UsageText() {
    std::string text = kUsage;
    for (const char* lead : {"usage: ", "       "}) {
        const std::string from = std::string(lead) + "parvex ";
        const std::string to = std::string(lead) + g_program + " ";
        for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
            text.replace(at, from.size(), to);
        }
    }
    return text;
}

int Usage(const std::string& problem) {
    if (!problem.empty()) cli::WriteErr(g_program + ": " + problem + "\n");
    cli::WriteErr(UsageText());
    return 2;
}

std::atomic<bool> g_interrupted{false};

// Ctrl-C, a terminal that goes away and a polite kill stop the operation
// between blocks, as the window's Cancel does; what it made is removed.
class InterruptCheckpoint : public engine::Checkpoint {
public:
    bool ShouldStop() override { return g_interrupted.load(); }
};

#ifdef _WIN32
BOOL WINAPI OnConsoleEvent(DWORD) {
    g_interrupted = true;
    return TRUE;
}
void CatchInterrupts() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }
#else
extern "C" void OnSignal(int) { g_interrupted = true; }
void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}
#endif

struct SizeOption {
    const char* option;
    bool custom;
    std::uint32_t value;  // preset bytes, or the custom unit
};
const SizeOption kSizes[] = {
    {"--floppy", false, engine::kPresetFloppy}, {"--10mb", false, engine::kPreset10MB},
    {"--100mb", false, engine::kPreset100MB},   {"--fat32", false, engine::kPresetFat32},
    {"--cd", false, engine::kPresetCd},
    {"--bytes", true, engine::kUnitBytes},      {"--kb", true, engine::kUnitKB},
    {"--mb", true, engine::kUnitMB},            {"--files", true, engine::kUnitFiles},
};

struct Options {
    std::string command;
    std::vector<std::string> files;
    bool quick = false;
    std::string folder;
    bool removePieces = false;
    std::vector<std::string> laterFolders;
    int answer = -1;  // 1 --yes, 0 --no
    bool restart = false;
    std::string codePage = "1252";
    engine::SizeChoice size;
    int recovery = -1;  // percent; -1 not given
    engine::SliceChoice slices;
};

// A whole number of at most 12 digits, for the slice options.
bool ReadCount(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stoull(text);
    return value > 0;
}

// Parses the arguments after the command; returns a usage problem or "".
std::string Parse(const std::vector<std::string>& args, Options& o) {
    bool sizeChosen = false;
    const bool split = o.command == "split";
    const bool writes = split || o.command == "join";
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const SizeOption* size = nullptr;
        for (const SizeOption& choice : kSizes) {
            if (split && arg == choice.option) size = &choice;
        }
        if (size) {
            if (sizeChosen) return "choose one piece size";
            sizeChosen = true;
            o.size.custom = size->custom;
            if (!size->custom) {
                o.size.presetBytes = size->value;
                continue;
            }
            if (++i == args.size()) return arg + " needs a number";
            // Digits, with a decimal point for KB and MB: "1,5" is no size
            // here, never the 1 before the comma.
            const std::string& number = args[i];
            if (number.empty() || number.find_first_not_of("0123456789.") != std::string::npos ||
                (number.find('.') != std::string::npos && !engine::IsDecimalText(number))) {
                return arg + " needs a number, such as 1500 or 1.5";
            }
            o.size.unit = size->value;
            o.size.customText = number;
        } else if (arg == "--to" && writes) {
            if (++i == args.size()) return "--to needs a folder";
            o.folder = args[i];
        } else if (arg == "--recovery" && (split || o.command == "protect")) {
            if (++i == args.size()) return "--recovery needs a percentage";
            const std::string& value = args[i];
            if (value.empty() || value.size() > 3 || value.find_first_not_of("0123456789") != std::string::npos ||
                std::stoi(value) > 100) {
                return "--recovery takes a percentage from 0 to 100";
            }
            o.recovery = std::stoi(value);
        } else if ((arg == "--slices" || arg == "--slice-size") && (split || o.command == "protect")) {
            if (o.slices.count != 0 || o.slices.size != 0) return "choose --slices or --slice-size";
            std::uint64_t value = 0;
            if (++i == args.size() || !ReadCount(args[i], value)) return arg + " needs a whole number above 0";
            if (arg == "--slice-size") {
                o.slices.size = value;
            } else {
                if (value > 32768) return "--slices takes at most 32768";
                o.slices.count = static_cast<std::uint32_t>(value);
            }
        } else if (arg == "--from" && (o.command == "join" || o.command == "verify" || o.command == "repair")) {
            const std::size_t before = o.laterFolders.size();
            while (i + 1 < args.size() && args[i + 1].compare(0, 2, "--") != 0) o.laterFolders.push_back(args[++i]);
            if (o.laterFolders.size() == before) return "--from needs a folder";
        } else if (arg == "--restart" && (o.command == "split" || o.command == "join")) {
            o.restart = true;
        } else if (arg == "--quick" && o.command == "verify") {
            o.quick = true;
        } else if (arg == "--remove-pieces" && o.command == "join") {
            o.removePieces = true;
        } else if ((arg == "--yes" || arg == "--no") && writes) {
            if (o.answer != -1) return "choose --yes or --no";
            o.answer = arg == "--yes";
#ifndef _WIN32
        } else if (arg == "--codepage") {
            if (++i == args.size()) return "--codepage needs a code page";
            o.codePage = args[i];
            if (!platform::PosixPlatform::CodePageKnown("CP" + o.codePage)) {
                return "unknown code page '" + o.codePage + "'";
            }
#endif
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option '" + arg + "'";
        } else {
            o.files.push_back(arg);
        }
    }
    return o.files.empty() ? "no file named" : "";
}

int PrintInfo(NativePlatform& platform, const std::string& path, cli::ConsoleHost& host) {
    try {
        const engine::SetInfo set = engine::ReadInfoFile(platform, path);
        std::string text = "pieces: " + std::to_string(set.pieceCount) + "\nname: " + set.name +
                           "\nsize: " + std::to_string(set.size) + "\n";
        if (set.extended) text += "piece size: " + std::to_string(set.pieceSize) + "\n";
        if (set.hasChecksums) text += "checksum: " + set.whole.Hex() + " (XXH3-128 of the whole file)\n";
        engine::RejoinJob job;
        job.infoPath = path;
        job.infoFolder = engine::FolderPart(platform, path);
        job.set = set;
        const engine::RecoveryFilesSummary recovery = engine::SummarizeRecoveryFiles(platform, job);
        if (recovery.files > 0) {
            text += "recovery files: " + std::to_string(recovery.files) + ", " + std::to_string(recovery.blocks) +
                    " recovery blocks (not checked; verify checks them)\n" +
                    engine::RebuildableText(recovery.wholePieces) + "\n";
        }
        cli::WriteOut(text);
        return 0;
    } catch (const engine::InvalidSplitInfo& bad) {
        host.Say(bad.what());
    } catch (const engine::FileError& failure) {
        host.Say(engine::StandardFileText(failure.cause, failure.path));
    }
    return 1;
}

// One file's run, from its start checks to its ending: the exit status.
int RunOne(const Options& o, const std::string& file, NativePlatform& platform, cli::ConsoleHost& host) {
    const std::string path = cli::FullPath(file);
    host.ForgetVerified();
    if (o.command == "info") return PrintInfo(platform, engine::InfoPathFor(platform, path), host);

    engine::StartRequest request;
    request.mode = o.command == "split"     ? engine::Mode::Split
                   : o.quick                ? engine::Mode::QuickCheck
                   : o.command == "join"    ? engine::Mode::Rejoin
                   : o.command == "repair"  ? engine::Mode::Repair
                   : o.command == "protect" ? engine::Mode::Protect
                                            : engine::Mode::Verify;
    request.recoveryPercent = static_cast<std::uint32_t>(o.recovery >= 0 ? o.recovery : o.command == "protect" ? 10 : 0);
    request.sourceText = path;
    request.destinationText = o.folder.empty() ? cli::CurrentFolder() : cli::FullPath(o.folder);
    request.size = o.size;
    request.slices = o.slices;
    request.ownBatch = o.files.size() > 1;
    request.restart = o.restart;
    for (const std::string& folder : o.laterFolders) request.laterFolders.push_back(cli::FullPath(folder));
    engine::EngineSettings settings;
    settings.removeSplitFilesAfterRejoin = o.removePieces;

    const engine::Prepared prepared = engine::PrepareJob(request, platform, settings);
    if (!prepared.ok) {
        if (!prepared.refusal.silent) host.ShowMessage({engine::RefusalMessage(prepared.refusal), prepared.refusal.caption});
        return 1;
    }
    InterruptCheckpoint checkpoint;
    CatchInterrupts();
    engine::OperationContext ctx(platform, host, settings, &checkpoint);
    const engine::Outcome outcome = engine::RunJob(prepared.job, ctx);
    if (outcome == engine::Outcome::Cancelled && g_interrupted) {
        // A split or join stopped keeps what it finished for the next run.
        const bool kept = std::visit(
            [&](const auto& job) -> bool {
                using Job = std::decay_t<decltype(job)>;
                if constexpr (std::is_same_v<Job, engine::SplitJob> || std::is_same_v<Job, engine::RejoinJob>) {
                    return engine::HeldByStoppedRun(platform, job) > 0;
                }
                return false;
            },
            prepared.job);
        host.Say(request.mode == engine::Mode::Verify || request.mode == engine::Mode::QuickCheck ? "Interrupted."
                 : kept ? "Interrupted; the part finished is kept: the same command continues after it."
                        : "Interrupted; the partial output was removed.");
    }
    if (outcome != engine::Outcome::Completed) return 1;
    const bool checks = request.mode == engine::Mode::Verify || request.mode == engine::Mode::QuickCheck;
    return checks && !host.verifiedGood() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = cli::Arguments(argc, argv);
    g_program = ProgramName(argc > 0 ? argv[0] : nullptr);
    if (args.empty()) return Usage("");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "/?" || args[0] == "-?" || args[0] == "help") {
        cli::WriteOut(UsageText());
        return 0;
    }
    if (args[0] == "--version" || args[0] == "-V" || args[0] == "version") {
        cli::WriteOut(g_program + " " PARVEX_VERSION " (" + std::string(texts::kAppTitle) + ")\n");
        return 0;
    }
    Options o;
    o.command = args[0];
    if (o.command != "split" && o.command != "join" && o.command != "verify" && o.command != "repair" &&
        o.command != "protect" && o.command != "info") {
        return Usage("unknown command '" + o.command + "'");
    }
    if (const std::string problem = Parse(args, o); !problem.empty()) return Usage(problem);

#ifdef _WIN32
    NativePlatform platform;
#else
    NativePlatform platform("CP" + o.codePage);
#endif
    cli::ConsoleHost host(o.answer == 1 ? engine::Answer::Ok : engine::Answer::Cancel,
                          cli::InputIsTerminal(), cli::ErrorIsTerminal());
    if (o.files.size() == 1) return RunOne(o, o.files.front(), platform, host);
    // Several files: each a run of its own, one failing does not stop the
    // others; a line for each at the end, and 0 only when all were good.
    CatchInterrupts();
    std::string summary;
    bool allGood = true;
    for (const std::string& file : o.files) {
        cli::WriteOut("== " + file + "\n");
        const int code = RunOne(o, file, platform, host);
        allGood = allGood && code == 0;
        summary += file + ": " + (code == 0 ? "good" : "failed") + "\n";
        if (g_interrupted) {
            summary += "(interrupted: the files after it were not started)\n";
            break;
        }
    }
    cli::WriteOut("\n" + summary);
    return allGood ? 0 : 1;
}
