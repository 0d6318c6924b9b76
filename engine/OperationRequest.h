// State of one split or rejoin, shared between the window and the worker.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Host.h"
#include "Platform.h"

namespace engine {

// Presets of the piece-size button, in bytes.
inline constexpr std::uint32_t kPresetFloppy = 1457664;
inline constexpr std::uint32_t kPreset10MB = 10000000;
inline constexpr std::uint32_t kPreset100MB = 100000000;

// Units of a custom piece size; Files means the value is a number of pieces.
inline constexpr std::uint32_t kUnitBytes = 1;
inline constexpr std::uint32_t kUnitKB = 1000;
inline constexpr std::uint32_t kUnitMB = 1000000;
inline constexpr std::uint32_t kUnitFiles = 0;

struct OperationRequest {
    bool splitMode = true;
    std::string sourcePath;
    std::string sourceName;
    std::string sourceFolder;  // folder the source was chosen from (a rejoin's info folder)
    std::string destinationFolder;
    // Measured in 64 bits so that a file of 4 GiB or more is refused rather
    // than silently truncated; the piece format itself records 32 bits.
    std::uint64_t sourceSize = 0;

    bool customSize = false;
    std::string customText;
    std::uint32_t unitMultiplier = kUnitBytes;
    std::uint32_t pieceSize = kPresetFloppy;
    std::uint32_t pieceCount = 0;
    std::uint32_t currentPiece = 0;
    bool piecesStarted = false;  // currentPiece names a piece of this split
    std::uint32_t expectedSize = 0;

    DriveType driveType = DriveType::Unknown;
    std::uint64_t freeSpace = 0;
    bool driveProblemReported = false;
    std::string rejoinOutputPath;

    // Open files of the running operation. Whoever ends an operation closes
    // exactly those that are still open.
    std::unique_ptr<File> infoFile;
    std::unique_ptr<File> mainFile;  // split: the source; rejoin: the output
    std::unique_ptr<File> pieceFile;
    std::unique_ptr<File> rejoinPieceFile;

    bool infoOpen() const { return infoFile != nullptr; }
    bool sourceOpen() const { return mainFile != nullptr; }
    bool pieceOpen() const { return pieceFile != nullptr; }
    bool rejoinPieceOpen() const { return rejoinPieceFile != nullptr; }
};

// The settings the engines read.
struct EngineSettings {
    bool eraseRemovableBeforeSplit = false;
    bool removeSplitFilesAfterRejoin = false;
    std::string workingFolder;  // the destination when none is given
};

// Called by the engines between buffer loads. The controller pauses the
// worker inside it while the user is asked whether to go on, and answers true
// when the operation is to stop. The engines never get suspended or killed
// from outside.
class Checkpoint {
public:
    virtual ~Checkpoint() = default;
    virtual bool ShouldStop() = 0;
};

// Everything an engine needs for one operation.
struct OperationContext {
    OperationRequest& request;
    Platform& platform;
    Host& host;
    EngineSettings settings;
    Checkpoint* checkpoint = nullptr;
};

}  // namespace engine
