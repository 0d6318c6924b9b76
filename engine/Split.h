// The split: cuts the source into pieces, writes the info file and Go.bat,
// and continues a piece on another disk when a removable disk fills up.
#pragma once

#include <string>

#include "Operation.h"
#include "OperationRequest.h"

namespace engine {

// Runs on the worker. Returns Completed after the last piece; every other
// ending has already told the user and reset the operation state. Throws
// OperationCancelled when the checkpoint asks to stop.
Outcome SplitOperation(OperationContext& ctx);

// Empties `folder` (files deleted, subfolders emptied and removed) when it
// lies on a removable drive; does nothing elsewhere. Failures are ignored.
void EraseRemovableFolder(Platform& platform, const std::string& folder);

}  // namespace engine
