// parvex: split a file from the command line with the same engine, files and
// texts as the Windows program.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "ConsoleHost.h"
#include "engine/Operation.h"
#include "engine/PiecePlan.h"
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
    "\n"
    "Cuts SOURCE into pieces SOURCE.0.spl, SOURCE.1.spl, ... with SOURCE.sio and Go.bat\n"
    "in FOLDER (default: the current directory).\n"
    "  --floppy      pieces of 1,457,664 bytes (default)\n"
    "  --10mb        pieces of 10,000,000 bytes\n"
    "  --100mb       pieces of 100,000,000 bytes\n"
    "  --bytes N     pieces of N bytes; --kb N and --mb N count 1,000 and 1,000,000 bytes\n"
    "  --files N     about N pieces of equal size\n"
    "  --yes, --no   answer OK or Cancel to questions when not on a terminal\n"
    "                (without either, questions are answered Cancel)\n";

int Usage(const std::string& problem) {
    if (!problem.empty()) std::cerr << "parvex: " << problem << "\n";
    std::cerr << kUsage;
    return 2;
}

std::string CurrentFolder() {
#ifdef _WIN32
    char buffer[MAX_PATH * 4];
    const DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string(".");
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
    const DWORD m = GetFullPathNameA(path.c_str(), n, full.data(), nullptr);
    full.resize(m);
    return full;
#else
    if (!path.empty() && path[0] == '/') return path;
    return CurrentFolder() + "/" + path;
#endif
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

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage("");
    if (args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsage;
        return 0;
    }
    if (args[0] != "split") return Usage("unknown command '" + args[0] + "'");

    engine::OperationRequest request;
    std::string source;
    std::string folder;
    bool sizeChosen = false;
    int answer = -1;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const SizeChoice* size = nullptr;
        for (const SizeChoice& choice : kSizes) {
            if (arg == choice.option) size = &choice;
        }
        if (size) {
            if (sizeChosen) return Usage("choose one piece size");
            sizeChosen = true;
            request.customSize = size->custom;
            if (!size->custom) {
                request.pieceSize = size->value;
                continue;
            }
            if (++i == args.size()) return Usage(arg + " needs a number");
            request.unitMultiplier = size->value;
            request.customText = args[i];
        } else if (arg == "--to") {
            if (++i == args.size()) return Usage("--to needs a folder");
            folder = args[i];
        } else if (arg == "--yes" || arg == "--no") {
            if (answer != -1) return Usage("choose --yes or --no");
            answer = arg == "--yes";
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option '" + arg + "'");
        } else if (source.empty()) {
            source = arg;
        } else {
            return Usage("only one source file");
        }
    }
    if (source.empty()) return Usage("no source file");

    NativePlatform platform;
    cli::ConsoleHost host(answer == 1 ? engine::Answer::Ok : engine::Answer::Cancel,
                          isatty(fileno(stdin)) != 0, isatty(fileno(stderr)) != 0);

    request.sourcePath = FullPath(source);
    request.destinationFolder = folder.empty() ? CurrentFolder() : FullPath(folder);
    if (!platform.Exists(request.sourcePath) || platform.IsFolder(request.sourcePath) ||
        platform.FileSize(request.sourcePath, request.sourceSize) != engine::err::kNone) {
        host.ShowMessage(texts::kSourceNotDefined, "", engine::Buttons::Ok);
        return 1;
    }
    if (!platform.IsFolder(request.destinationFolder) && !platform.IsRoot(request.destinationFolder)) {
        host.ShowMessage(texts::kDestinationNotDefined, "", engine::Buttons::Ok);
        return 1;
    }
    request.sourceName = engine::FileNamePart(platform, request.sourcePath);
    request.driveType = platform.QueryDriveType(request.destinationFolder);

    engine::OperationContext ctx{request, platform, host, {}, nullptr};
    return engine::RunOperation(ctx) == engine::Outcome::Completed ? 0 : 1;
}
