#include "Controller.h"

#include "FileErrors.h"
#include "PiecePlan.h"
#include "Split.h"
#include "Texts.h"

namespace engine {

StartCheck RunStartChecks(OperationContext& ctx, std::string sourceText,
                          const std::string& destinationText) {
    OperationRequest& r = ctx.request;
    Platform& platform = ctx.platform;
    ctx.host.CollapseSettings();
    ResetOperationState(ctx);

    while (!sourceText.empty() && sourceText.back() == ' ') sourceText.pop_back();
    r.sourcePath = sourceText;
    r.destinationFolder = destinationText;
    r.driveProblemReported = false;
    r.driveType = platform.QueryDriveType(destinationText);

    if (r.sourcePath.empty() || !platform.Exists(r.sourcePath)) {
        ctx.host.ShowMessage(texts::kSourceNotDefined, "", Buttons::Ok);
        return StartCheck::Refused;
    }
    if (r.destinationFolder.empty()) {
        r.destinationFolder = ctx.settings.workingFolder;
        ctx.host.UseWorkingFolder(r.destinationFolder);
    }
    if (r.destinationFolder.empty() ||
        (!platform.Exists(r.destinationFolder) && !platform.IsRoot(r.destinationFolder))) {
        ctx.host.ShowMessage(texts::kDestinationNotDefined, "", Buttons::Ok);
        return StartCheck::Refused;
    }

    r.sourceSize = 0;
    platform.FileSize(r.sourcePath, r.sourceSize);
    ctx.host.ShowSourceSize(r.sourceSize);
    // Refused here, before a worker exists, rather than by the split.
    if (r.splitMode && r.sourceSize > 0xFFFFFFFFull) {
        ctx.host.ShowMessage(texts::kSourceTooLarge, "", Buttons::Ok);
        return StartCheck::Refused;
    }
    r.sourceName = FileNamePart(platform, r.sourcePath);
    // The pieces of a rejoin are looked up beside the info file actually
    // named, also when its path was typed rather than chosen.
    const std::size_t cut = r.sourcePath.rfind(platform.Separator());
    r.sourceFolder = cut == std::string::npos ? std::string(".") : r.sourcePath.substr(0, cut == 0 ? 1 : cut);
    if (platform.IsRoot(r.sourceFolder + platform.Separator())) r.sourceFolder += platform.Separator();

    // Erasing is for a split's destination only: before a rejoin it would
    // remove files the user never named.
    if (r.splitMode && ctx.settings.eraseRemovableBeforeSplit) {
        EraseRemovableFolder(platform, r.destinationFolder);
    }

    // When the room cannot be measured the split measures again and refuses
    // on its own; nothing is compared with a stale value here.
    std::uint64_t room = 0;
    if (platform.GetFreeSpace(r.destinationFolder, room)) {
        r.freeSpace = room;
        if (room < r.sourceSize) {
            ctx.host.ShowMessage(texts::kNoRoomForSource, texts::kNoRoomCaption, Buttons::Ok);
            return StartCheck::NoSpace;
        }
    }
    return StartCheck::Passed;
}

// Where the worker waits while the user is asked whether to go on.
class OperationController::WorkerGate : public Checkpoint {
public:
    bool ShouldStop() override {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !paused_ || stop_; });
        return stop_;
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
};

// The window as the worker sees it: before each of its own prompts the worker
// passes the gate, so no prompt of a paused or stopped operation appears.
class OperationController::WorkerHost : public Host {
public:
    WorkerHost(Host& host, WorkerGate& gate) : host_(host), gate_(gate) {}

    Answer ShowMessage(const std::string& text, const std::string& caption, Buttons buttons) override {
        Pass();
        return host_.ShowMessage(text, caption, buttons);
    }
    void ShowSplitNotice() override {
        Pass();
        host_.ShowSplitNotice();
    }
    FileExists AskFileExists(std::string& path) override {
        Pass();
        return host_.AskFileExists(path);
    }
    void SetProgressStep(int step) override { host_.SetProgressStep(step); }
    void SetProgress(int percent) override { host_.SetProgress(percent); }
    void ShowProgress(bool visible) override { host_.ShowProgress(visible); }
    void SetProgressText(const std::string& text) override { host_.SetProgressText(text); }
    void EnableControls(bool enable) override { host_.EnableControls(enable); }
    void RefreshStatusBar(const std::string& text, int pane) override { host_.RefreshStatusBar(text, pane); }
    void ShowCustomSize(bool visible) override { host_.ShowCustomSize(visible); }
    void CollapseSettings() override { host_.CollapseSettings(); }
    void UseWorkingFolder(const std::string& folder) override { host_.UseWorkingFolder(folder); }
    void ShowSourceSize(std::uint64_t bytes) override { host_.ShowSourceSize(bytes); }
    void WaitForWorker(const std::function<bool()>& finished) override { host_.WaitForWorker(finished); }

private:
    void Pass() {
        if (gate_.ShouldStop()) throw OperationCancelled{};
    }

    Host& host_;
    WorkerGate& gate_;
};

OperationController::OperationController(OperationRequest& request, Platform& platform, Host& host)
    : request_(request),
      platform_(platform),
      host_(host),
      gate_(std::make_unique<WorkerGate>()),
      workerHost_(std::make_unique<WorkerHost>(host, *gate_)) {}

OperationController::~OperationController() {
    if (worker_.joinable()) {
        gate_->Stop();
        worker_.join();
    }
}

bool OperationController::OnStartOperation(const std::string& sourceText,
                                           const std::string& destinationText,
                                           const EngineSettings& settings) {
    if (running_) return true;  // one worker at a time
    settings_ = settings;
    OperationContext ctx{request_, platform_, host_, settings_, nullptr};
    const StartCheck check = RunStartChecks(ctx, sourceText, destinationText);
    if (check != StartCheck::Passed) return check != StartCheck::NoSpace;

    gate_->Reset();
    finished_ = false;
    running_ = true;
    worker_ = std::thread([this] {
        OperationContext work{request_, platform_, *workerHost_, settings_, gate_.get()};
        lastOutcome_ = RunOperation(work);
        finished_ = true;
    });
    host_.WaitForWorker([this] { return finished_.load(); });
    worker_.join();
    running_ = false;
    return true;
}

bool OperationController::OnCancel() {
    // A worker that has finished has nothing left to interrupt: the window
    // may close although the start has not quite returned.
    if (!running_ || finished_) return false;

    gate_->Pause();
    if (host_.ShowMessage(texts::kSuspended, texts::kSuspendedCaption, Buttons::OkCancel) == Answer::Ok) {
        gate_->Resume();
        return true;
    }
    gate_->Stop();
    host_.WaitForWorker([this] { return finished_.load(); });
    if (lastOutcome_ == Outcome::Cancelled) {
        OperationContext ctx{request_, platform_, host_, settings_, nullptr};
        CleanUpCancelled(ctx);
    }
    return true;
}

}  // namespace engine
