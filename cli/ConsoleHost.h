// The engines' window on a terminal: message boxes go to standard error with
// their exact text, the closing notice to standard output, and questions are
// asked on the terminal or answered by a command-line switch.
#pragma once

#include <cstdio>

#include "engine/Host.h"

namespace cli {

class ConsoleHost : public engine::Host {
public:
    // `preset` answers questions when standard input is not a terminal.
    ConsoleHost(engine::Answer preset, bool interactive, bool showProgress)
        : preset_(preset), interactive_(interactive), showProgress_(showProgress) {}

    engine::Answer ShowMessage(const std::string& text, const std::string& caption,
                               engine::Buttons buttons) override;
    void SetProgressStep(int) override {}
    void SetProgress(int percent) override;
    void ShowProgress(bool visible) override;
    void SetProgressText(const std::string& text) override;
    void EnableControls(bool) override {}
    void RefreshStatusBar(const std::string&, int) override {}
    void ShowCustomSize(bool) override {}
    void ShowSplitNotice() override;
    FileExists AskFileExists(std::string& path) override;
    void CollapseSettings() override {}
    void UseWorkingFolder(const std::string&) override {}
    void ShowSourceSize(std::uint64_t) override {}
    void WaitForWorker(const std::function<bool()>& finished) override;

private:
    void DrawBar();
    void ClearBar();

    engine::Answer preset_;
    bool interactive_;
    bool showProgress_;
    bool barShown_ = false;
    int percent_ = 0;
    std::string status_;
};

}  // namespace cli
