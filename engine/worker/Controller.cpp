#include "engine/worker/Controller.h"

#include <condition_variable>
#include <mutex>

#include "engine/base/Texts.h"

namespace engine {

// Where the worker waits while the user is asked whether to go on.
class OperationController::WorkerGate : public Checkpoint {
public:
    bool ShouldStop() override {
        std::unique_lock<std::mutex> lock(mutex_);
        ++held_;
        changed_.wait(lock, [this] { return !paused_ || stop_; });
        --held_;
        return stop_;
    }
    // Whether the worker waits here now, paused.
    bool Holding() {
        std::lock_guard<std::mutex> lock(mutex_);
        return paused_ && held_ > 0;
    }
    void Reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        paused_ = stop_ = false;
    }
    void Pause() {
        std::lock_guard<std::mutex> lock(mutex_);
        paused_ = true;
    }
    void Resume() {
        std::lock_guard<std::mutex> lock(mutex_);
        paused_ = false;
        changed_.notify_all();
    }
    void Stop() {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool paused_ = false;
    bool stop_ = false;
    int held_ = 0;
};

// The window's prompts as the worker sees them: before each the worker
// passes the gate, so no prompt of a paused or stopped operation appears.
class OperationController::GatedPrompts : public Prompts {
public:
    GatedPrompts(Prompts& prompts, WorkerGate& gate) : prompts_(prompts), gate_(gate) {}

    Answer ShowMessage(const Message& message) override {
        Pass();
        return prompts_.ShowMessage(message);
    }
    FileExistsAnswer AskFileExists(std::string& path) override {
        Pass();
        return prompts_.AskFileExists(path);
    }
    void ShowSplitNotice(std::uint32_t rebuildable) override {
        Pass();
        prompts_.ShowSplitNotice(rebuildable);
    }
    bool OffersRepair() const override { return prompts_.OffersRepair(); }

private:
    void Pass() {
        if (gate_.ShouldStop()) throw OperationCancelled{};
    }

    Prompts& prompts_;
    WorkerGate& gate_;
};

OperationController::OperationController(Platform& platform, Host& host, WorkerWait& wait, Progress* progress)
    : platform_(platform),
      host_(host),
      wait_(wait),
      progress_(progress ? *progress : static_cast<Progress&>(host)),
      gate_(std::make_unique<WorkerGate>()),
      prompts_(std::make_unique<GatedPrompts>(host, *gate_)) {}

OperationController::~OperationController() {
    if (worker_.joinable()) {
        gate_->Stop();
        worker_.join();
    }
}

bool OperationController::Prepare(const StartRequest& request, const EngineSettings& settings, Prepared& prepared) {
    if (running_) return false;
    finished_ = false;
    running_ = true;
    preparing_ = true;
    wait_.WorkerStarting();
    worker_ = std::thread([this, &request, &settings, &prepared] {
        prepared = PrepareJob(request, platform_, settings);
        finished_ = true;
        wait_.WorkerFinished();
    });
    wait_.WaitForWorker([this] { return finished_.load(); });
    worker_.join();
    preparing_ = false;
    running_ = false;
    return true;
}

bool OperationController::Run(const Job& job, const EngineSettings& settings) {
    if (running_) return false;  // one worker at a time
    gate_->Reset();
    finished_ = false;
    running_ = true;
    // The front end hears of the start and the end on its own thread, and
    // shows the closing message once the worker has ended: the worker never
    // waits on the window for either.
    const Mode mode = ModeOf(job);
    host_.Started(mode);
    wait_.WorkerStarting();
    RunResult result;
    worker_ = std::thread([this, &job, &settings, &result] {
        Events unheard;
        OperationContext work(platform_, *prompts_, progress_, unheard, settings, gate_.get());
        result = RunWork(job, work);
        finished_ = true;
        wait_.WorkerFinished();
    });
    wait_.WaitForWorker([this] { return finished_.load(); });
    worker_.join();
    running_ = false;
    lastOutcome_ = result.outcome;
    host_.Finished(mode, result.outcome);
    if (const std::optional<Job> repair = ShowClosing(job, result, host_)) {
        Run(*repair, settings);
        lastOutcome_ = result.outcome;  // the run asked for; the repair has told its own
    }
    return true;
}

bool OperationController::workerHeld() const { return gate_->Holding(); }

bool OperationController::OnCancel() {
    // A worker that has finished has nothing left to interrupt: the window
    // may close although the start has not quite returned.
    if (!running_ || finished_) return false;
    // The checks only look and end soon; there is nothing to stop yet.
    if (preparing_) return true;

    gate_->Pause();
    Message question{texts::kSuspended, texts::kSuspendedCaption, Buttons::OkCancel, Question::Paused};
    question.okLabel = texts::kContinueButton;
    question.cancelLabel = texts::kStopButton;
    // The worker may pass its last checkpoint while the question is open:
    // then the work is complete and kept, and a late Cancel lets its closing
    // message through, so that nobody takes a finished split for a stopped
    // one.
    if (host_.ShowMessage(question) == Answer::Ok || finished_) {
        gate_->Resume();
        return true;
    }
    gate_->Stop();
    wait_.WaitForWorker([this] { return finished_.load(); });
    return true;
}

}  // namespace engine
