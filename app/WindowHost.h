// The engines' prompts on Windows: message boxes and dialogs owned by the
// main window, and a wait for the worker that keeps dispatching window
// messages. The main dialog derives from it to show progress in its own
// controls.
#pragma once

#include "engine/worker/Controller.h"
#include "engine/job/Host.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/WinApi.h"

namespace app {

class WindowHost : public engine::Host, public engine::WorkerWait {
public:
    explicit WindowHost(HWND owner = nullptr);
    void SetOwner(HWND owner) { owner_ = owner; }

    // A box with the program's title carries the exclamation icon; one with a
    // caption of its own carries none.
    engine::Answer ShowMessage(const engine::Message& message) override;
    engine::FileExistsAnswer AskFileExists(std::string& path) override;
    void WaitForWorker(const std::function<bool()>& finished) override;
    void WorkerStarting() override { ResetEvent(workerDone_.get()); }
    void WorkerFinished() override { SetEvent(workerDone_.get()); }

protected:
    HWND owner_;

private:
    // Set when the worker is finished: what the wait wakes for, besides
    // messages. Stays set, so that every wait for that run sees it.
    platform::ScopedHandle workerDone_;
};

}  // namespace app
