// The rejoin: reads the info file, concatenates the pieces in index order into
// the destination folder and checks the total length.
#pragma once

#include <string>

#include "Operation.h"

namespace engine {

// Runs on the worker. Returns Completed after "Completed Successfully" has
// been closed; every other ending has told the user (where there was
// something to tell) and reset the operation state. Throws
// OperationCancelled when the checkpoint asks to stop.
Outcome RejoinOperation(OperationContext& ctx);

// The info file that belongs to a piece name: the suffix from the
// second-to-last dot is replaced by ".sio" (film.avi.3.spl -> film.avi.sio).
// Empty when the name has no such suffix.
std::string InfoFileForPiece(const std::string& piecePath);

}  // namespace engine
