// The engine's questions from the worker, carried over to the window's
// thread. The window's state (its fields, the form, the status bar) is only
// ever touched there; a call returns once the window has answered, as the
// engine expects of its host. The start and end of a run and its closing
// message are given on the window's thread already (by the controller) and
// pass straight through; progress does not come this way at all.
#pragma once

#include <functional>

#include "engine/job/Host.h"
#include "platform/win32/WinApi.h"

namespace app {

class ToWindowThread : public engine::Host {
public:
    // Sent to the window with a std::function<void()>* in lParam.
    static constexpr UINT kMessage = WM_APP + 17;

    explicit ToWindowThread(engine::Host& target) : target_(target) {}
    // The window whose thread runs the calls, once it exists.
    void Attach(HWND window);
    // The window's handler of kMessage.
    static void RunCall(LPARAM call) { (*reinterpret_cast<std::function<void()>*>(call))(); }

    engine::Answer ShowMessage(const engine::Message& message) override;
    engine::FileExistsAnswer AskFileExists(std::string& path) override;
    void ShowSplitNotice(std::uint32_t rebuildable) override;
    bool OffersRepair() const override { return target_.OffersRepair(); }
    void Started(engine::Mode mode) override;
    void Finished(engine::Mode mode, engine::Outcome outcome) override;

private:
    // Runs `call` on the window's thread; false when there is no window to
    // run it (it has gone), and `call` did not run.
    bool OnWindowThread(std::function<void()> call);

    engine::Host& target_;
    HWND window_ = nullptr;
    DWORD thread_ = 0;
};

}  // namespace app
