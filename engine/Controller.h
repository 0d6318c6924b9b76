// Runs one split or rejoin at a time on a worker thread while the window
// stays responsive, and lets the user pause and stop it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "Operation.h"
#include "OperationRequest.h"

namespace engine {

enum class StartCheck { Passed, Refused, NoSpace };

// The checks before an operation, in their order, on the window's thread:
// source found, destination found or a root (an empty one takes the working
// folder), the source's size, the optional erase of a removable destination
// before a split, and room for the source on the destination.
StartCheck RunStartChecks(OperationContext& ctx, std::string sourceText,
                          const std::string& destinationText);

class OperationController {
public:
    OperationController(OperationRequest& request, Platform& platform, Host& host);
    ~OperationController();

    // The Split/Rejoin command: checks, then runs the worker and waits for it
    // while the window keeps working. False only when the destination lacks
    // room for the source. A start while an operation runs is refused.
    bool OnStartOperation(const std::string& sourceText, const std::string& destinationText,
                          const EngineSettings& settings);

    // Cancel or closing the window. False when no operation runs or the
    // worker has already finished (the caller then ends or hides the window). Otherwise the worker stops at its next
    // checkpoint while the user is asked; OK continues exactly there, Cancel
    // stops it and removes its partial output.
    bool OnCancel();

    bool running() const { return running_; }
    Outcome lastOutcome() const { return lastOutcome_; }

private:
    class WorkerGate;
    class WorkerHost;

    OperationRequest& request_;
    Platform& platform_;
    Host& host_;
    EngineSettings settings_;
    std::unique_ptr<WorkerGate> gate_;
    std::unique_ptr<WorkerHost> workerHost_;
    std::thread worker_;
    std::atomic<bool> running_{false};
    std::atomic<bool> finished_{false};
    Outcome lastOutcome_ = Outcome::Completed;
};

}  // namespace engine
