// parvex: split, rejoin and inspect from the command line with the same
// engine, files and texts as the Windows program.
#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "ConsoleHost.h"
#include "engine/FileErrors.h"
#include "engine/Operation.h"
#include "engine/PiecePlan.h"
#include "engine/Rejoin.h"
#include "engine/SplitInfo.h"
#include "engine/Texts.h"

#ifdef _WIN32
#include <io.h>
#include "platform/win32/Win32Platform.h"
using NativePlatform = platform::Win32Platform;
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#include "platform/posix/PosixPlatform.h"
using NativePlatform = platform::PosixPlatform;
#endif

namespace {

const char kUsage[] =
    "usage: parvex split SOURCE [--to FOLDER]\n"
    "                    [--floppy | --10mb | --100mb | --bytes N | --kb N | --mb N | --files N]\n"
    "                    [--yes | --no]\n"
    "       parvex join INFO [--to FOLDER] [--remove-pieces] [--yes | --no]\n"
    "       parvex info INFO\n"
    "\n"
    "split  cuts SOURCE into pieces SOURCE.0.spl, SOURCE.1.spl, ... with SOURCE.sio and\n"
    "       Go.bat in FOLDER (default: the current directory).\n"
    "  --floppy      pieces of 1,457,664 bytes (default)\n"
    "  --10mb        pieces of 10,000,000 bytes\n"
    "  --100mb       pieces of 100,000,000 bytes\n"
    "  --bytes N     pieces of N bytes; --kb N and --mb N count 1,000 and 1,000,000 bytes\n"
    "  --files N     about N pieces of equal size\n"
    "join   rebuilds the file from its info file (or any of its pieces) in FOLDER.\n"
    "  --remove-pieces  delete the info file and the pieces afterwards\n"
    "info   prints the piece count, name and size recorded in an info file.\n"
    "  --yes, --no   answer OK or Cancel to questions when not on a terminal (without\n"
    "                either: Cancel); for join, --yes overwrites an existing file and\n"
    "                --no keeps it and stops\n";

int Usage(const std::string& problem) {
    if (!problem.empty()) std::cerr << "parvex: " << problem << "\n";
    std::cerr << kUsage;
    return 2;
}

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) { g_interrupted = true; }

// Ctrl-C stops the operation between blocks, as the window's Cancel does.
class InterruptCheckpoint : public engine::Checkpoint {
public:
    bool ShouldStop() override { return g_interrupted.load(); }
};

std::string CurrentFolder() {
#ifdef _WIN32
    const DWORD n = GetCurrentDirectoryA(0, nullptr);
    std::string folder(n, '\0');
    folder.resize(GetCurrentDirectoryA(n, folder.data()));
    return folder.empty() ? std::string(".") : folder;
#else
    std::vector<char> buffer(4096);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (buffer.size() > (1u << 20)) return ".";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
#endif
}

// Messages name files by their full path, as the window does.
std::string FullPath(const std::string& path) {
#ifdef _WIN32
    const DWORD n = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::string full(n, '\0');
    full.resize(GetFullPathNameA(path.c_str(), n, full.data(), nullptr));
    return full;
#else
    if (!path.empty() && path[0] == '/') return path;
    return CurrentFolder() + "/" + path;
#endif
}

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[text.size() - suffix.size() + i])) !=
            std::toupper(static_cast<unsigned char>(suffix[i]))) {
            return false;
        }
    }
    return true;
}

struct SizeChoice {
    const char* option;
    bool custom;
    std::uint32_t value;  // preset bytes, or the custom unit
};
const SizeChoice kSizes[] = {
    {"--floppy", false, engine::kPresetFloppy}, {"--10mb", false, engine::kPreset10MB},
    {"--100mb", false, engine::kPreset100MB},   {"--bytes", true, engine::kUnitBytes},
    {"--kb", true, engine::kUnitKB},            {"--mb", true, engine::kUnitMB},
    {"--files", true, engine::kUnitFiles},
};

struct Options {
    std::string command;
    std::string file;
    std::string folder;
    bool removePieces = false;
    int answer = -1;  // 1 --yes, 0 --no
    engine::OperationRequest request;
};

// Parses the arguments after the command; returns a usage problem or "".
std::string Parse(const std::vector<std::string>& args, Options& o) {
    bool sizeChosen = false;
    const bool split = o.command == "split";
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const SizeChoice* size = nullptr;
        for (const SizeChoice& choice : kSizes) {
            if (split && arg == choice.option) size = &choice;
        }
        if (size) {
            if (sizeChosen) return "choose one piece size";
            sizeChosen = true;
            o.request.customSize = size->custom;
            if (!size->custom) {
                o.request.pieceSize = size->value;
                continue;
            }
            if (++i == args.size()) return arg + " needs a number";
            o.request.unitMultiplier = size->value;
            o.request.customText = args[i];
        } else if (arg == "--to" && o.command != "info") {
            if (++i == args.size()) return "--to needs a folder";
            o.folder = args[i];
        } else if (arg == "--remove-pieces" && o.command == "join") {
            o.removePieces = true;
        } else if ((arg == "--yes" || arg == "--no") && o.command != "info") {
            if (o.answer != -1) return "choose --yes or --no";
            o.answer = arg == "--yes";
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option '" + arg + "'";
        } else if (o.file.empty()) {
            o.file = arg;
        } else {
            return "only one file";
        }
    }
    return o.file.empty() ? "no file named" : "";
}

int PrintInfo(NativePlatform& platform, const std::string& path) {
    try {
        const std::string folder = path.substr(0, path.rfind(platform.Separator()));
        const engine::ReadInfo read = engine::ReadSplitInfo(platform, path, folder);
        std::cout << "pieces: " << read.info.pieceCount << "\nname: " << read.info.fileName
                  << "\nsize: " << read.info.fileSize << "\n";
        return 0;
    } catch (const engine::InvalidSplitInfo& bad) {
        std::cerr << bad.what() << "\n";
    } catch (const engine::FileError& failure) {
        std::cerr << engine::StandardFileText(failure.cause, failure.path) << "\n";
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage("");
    if (args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsage;
        return 0;
    }
    Options o;
    o.command = args[0];
    if (o.command != "split" && o.command != "join" && o.command != "info") {
        return Usage("unknown command '" + o.command + "'");
    }
    if (const std::string problem = Parse(args, o); !problem.empty()) return Usage(problem);

    NativePlatform platform;
    cli::ConsoleHost host(o.answer == 1 ? engine::Answer::Ok : engine::Answer::Cancel,
                          isatty(fileno(stdin)) != 0, isatty(fileno(stderr)) != 0);
    engine::OperationRequest& r = o.request;
    r.splitMode = o.command == "split";
    r.sourcePath = FullPath(o.file);
    // A piece stands for its info file.
    if (!r.splitMode && EndsWithNoCase(r.sourcePath, ".spl")) r.sourcePath = engine::InfoFileForPiece(r.sourcePath);
    if (o.command == "info") return PrintInfo(platform, r.sourcePath);

    r.destinationFolder = o.folder.empty() ? CurrentFolder() : FullPath(o.folder);
    if (!platform.Exists(r.sourcePath) || platform.IsFolder(r.sourcePath) ||
        platform.FileSize(r.sourcePath, r.sourceSize) != engine::err::kNone) {
        host.ShowMessage(texts::kSourceNotDefined, "", engine::Buttons::Ok);
        return 1;
    }
    if (!platform.IsFolder(r.destinationFolder) && !platform.IsRoot(r.destinationFolder)) {
        host.ShowMessage(texts::kDestinationNotDefined, "", engine::Buttons::Ok);
        return 1;
    }
    r.sourceName = engine::FileNamePart(platform, r.sourcePath);
    const std::size_t slash = r.sourcePath.rfind(platform.Separator());
    r.sourceFolder = r.sourcePath.substr(0, slash == 0 ? 1 : slash);
    r.driveType = platform.QueryDriveType(r.destinationFolder);

    InterruptCheckpoint checkpoint;
    std::signal(SIGINT, OnInterrupt);
    engine::EngineSettings settings;
    settings.removeSplitFilesAfterRejoin = o.removePieces;
    engine::OperationContext ctx{r, platform, host, settings, &checkpoint};
    const engine::Outcome outcome = engine::RunOperation(ctx);
    if (outcome == engine::Outcome::Cancelled) {
        engine::CleanUpCancelled(ctx);
        if (g_interrupted) std::cerr << "Interrupted; the partial output was removed.\n";
    }
    return outcome == engine::Outcome::Completed ? 0 : 1;
}
