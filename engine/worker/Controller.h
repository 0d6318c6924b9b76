// Runs one job at a time on a worker thread while the window stays
// responsive, and lets the user pause and stop it.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "engine/ops/Prepare.h"
#include "engine/ops/RunJob.h"

namespace engine {

// The window's side of the wait: keeps it responsive (dispatching its
// messages) on its own thread until `finished` answers true. The worker
// tells it when it starts and when it is finished, so that it can wait for
// that instead of looking again and again.
class WorkerWait {
public:
    virtual ~WorkerWait() = default;
    virtual void WaitForWorker(const std::function<bool()>& finished) = 0;
    // On the window's thread, before the worker starts.
    virtual void WorkerStarting() {}
    // On the worker's thread, once `finished` answers true.
    virtual void WorkerFinished() {}
};

class OperationController {
public:
    // The worker's progress goes to `progress` when one is given (a
    // snapshot the window reads when it likes), else to the host.
    OperationController(Platform& platform, Host& host, WorkerWait& wait, Progress* progress = nullptr);
    ~OperationController();

    // Runs the start checks on a worker and waits for them while the window
    // keeps working: they may walk a slow disk or a folder of many files.
    // False, with nothing done, while another job or check runs.
    bool Prepare(const StartRequest& request, const EngineSettings& settings, Prepared& prepared);

    // Runs the job on a worker and waits for it while the window keeps
    // working; then, on the caller's thread, tells the host it finished and
    // shows the closing message (and runs the repair the user takes there).
    // False, with nothing done, while another job runs.
    bool Run(const Job& job, const EngineSettings& settings);

    // Cancel or closing the window. False when no operation runs or the
    // worker has already finished (the caller then ends or hides the window).
    // Otherwise the worker stops at its next checkpoint while the user is
    // asked; OK continues exactly there, Cancel stops it, and the run removes
    // what it made before the worker ends.
    bool OnCancel();

    bool running() const { return running_; }
    // The worker is held at its checkpoint while the user is asked.
    bool workerHeld() const;
    Outcome lastOutcome() const { return lastOutcome_; }

private:
    class WorkerGate;
    class GatedPrompts;

    Platform& platform_;
    Host& host_;
    WorkerWait& wait_;
    Progress& progress_;
    std::unique_ptr<WorkerGate> gate_;
    std::unique_ptr<GatedPrompts> prompts_;
    std::thread worker_;
    std::atomic<bool> running_{false};
    std::atomic<bool> preparing_{false};
    std::atomic<bool> finished_{false};
    std::atomic<Outcome> lastOutcome_{Outcome::Completed};
};

}  // namespace engine
