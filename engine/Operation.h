// The body of the worker: runs a split or a rejoin with the
// protection every operation needs, and the cleanup shared by all its endings.
#pragma once

#include <cstdint>
#include <string>

#include "OperationRequest.h"

namespace engine {

enum class Outcome {
    Completed,  // the closing notice has been shown
    Stopped,    // refused or given up; the user has been told
    Failed,     // a file failure ended it
    Cancelled,  // the checkpoint asked to stop; the caller cleans up
};

// Thrown through the engines when the checkpoint asks to stop.
struct OperationCancelled {};

// The line under the progress bar: pieces done and pieces still to do.
std::string ProgressText(std::uint32_t done, std::uint32_t remaining);

// Runs the operation of the request's mode on the calling thread: disables
// the inputs, shows progress, runs the engine, and ends with the closing
// notice or the cleanup. Never throws.
Outcome RunOperation(OperationContext& ctx);

// Closes the open files of the request (failures are ignored: cleanup must
// not fail), re-enables the inputs and hides the progress bar.
void ResetOperationState(OperationContext& ctx);

// The clean-up after the checkpoint stopped an operation: files closed, and
// the partial output deleted (a split's info file and pieces, a rejoin's
// output if it had been created). Go.bat stays.
void CleanUpCancelled(OperationContext& ctx);

// Deletes what a split that did not complete wrote: the info file and the
// pieces up to the current one. Go.bat stays; the source is never touched.
void DiscardSplitOutput(OperationContext& ctx);

}  // namespace engine
