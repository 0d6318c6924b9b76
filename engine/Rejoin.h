// The rejoin: concatenates the pieces in index order into a temporary file
// beside the output, checking each piece's length and (when the info file
// records them) its checksum, and gives the file its name only when it is
// exactly the file that was split. An existing file of that name survives
// every failure.
#pragma once

#include <string>
#include <vector>

#include "Operation.h"

namespace engine {

// Runs on the worker. Completed only for an exact file under its final name.
Outcome RejoinOperation(const RejoinJob& job, OperationContext& ctx);

// What a verification found wrong with one piece.
struct PieceProblem {
    std::string path;
    enum class Kind { Missing, NotAFile, WrongLength, Damaged, Unreadable } kind;
    std::string detail;  // the standard text of an unreadable piece
};

struct VerifyReport {
    std::uint32_t pieces = 0;
    bool checksums = false;  // the info file records them, and they were compared
    std::vector<PieceProblem> problems;
};

// Checks every piece of a set (present, length, checksum) without writing
// anything, reporting progress piece by piece. Throws
// OperationCancelled when the checkpoint asks to stop.
VerifyReport VerifySet(const RejoinJob& job, OperationContext& ctx);

}  // namespace engine
