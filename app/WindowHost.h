// The engines' host on Windows: message boxes and dialogs owned by the main
// window, and a wait for the worker that keeps dispatching window messages.
// The main dialog derives from it to show progress in its own controls.
#pragma once

#include "engine/Host.h"
#include "platform/win32/WinApi.h"

namespace app {

class WindowHost : public engine::Host {
public:
    explicit WindowHost(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }

    // A box with the program's title carries the exclamation icon; one with a
    // caption of its own carries none.
    engine::Answer ShowMessage(const std::string& text, const std::string& caption,
                               engine::Buttons buttons) override;
    FileExists AskFileExists(std::string& path) override;
    void WaitForWorker(const std::function<bool()>& finished) override;

    // Controls of the main window; nothing to show without one.
    void SetProgressStep(int) override {}
    void SetProgress(int) override {}
    void ShowProgress(bool) override {}
    void SetProgressText(const std::string&) override {}
    void EnableControls(bool) override {}
    void RefreshStatusBar(const std::string&, int) override {}
    void ShowCustomSize(bool) override {}
    void ShowSplitNotice() override {}
    void CollapseSettings() override {}
    void UseWorkingFolder(const std::string&) override {}
    void ShowSourceSize(std::uint64_t) override {}

protected:
    HWND owner_;
};

}  // namespace app
