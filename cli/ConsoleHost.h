// The engines' window on a terminal: message boxes go to standard error with
// their exact text, the closing notice to standard output, and questions are
// asked on the terminal or answered by a command-line switch.
#pragma once

#include <string>

#include "engine/job/Host.h"

namespace cli {

class ConsoleHost : public engine::Host {
public:
    // `preset` (--yes OK, --no or neither Cancel) answers what a person is not
    // there to answer. It never answers OK to a retry or a disk change: their
    // cause cannot have changed without someone to change it.
    ConsoleHost(engine::Answer preset, bool interactive, bool showProgress)
        : preset_(preset), interactive_(interactive), showProgress_(showProgress) {}

    engine::Answer ShowMessage(const engine::Message& message) override;
    engine::FileExistsAnswer AskFileExists(std::string& path) override;
    void ShowSplitNotice(std::uint32_t rebuildable) override;
    void ShowVerifyReport(const engine::VerifyReport& report) override;
    void Report(std::uint64_t done, std::uint64_t total, const std::string& text) override;
    void Finished(engine::Mode mode, engine::Outcome outcome) override;

    // A line of its own on standard error, clear of the progress bar.
    void Say(const std::string& text);
    // Whether the verification that ran found every piece good.
    bool verifiedGood() const { return verifiedGood_; }
    // Before the next set's run: nothing verified yet.
    void ForgetVerified() { verifiedGood_ = false; }

private:
    void DrawBar();
    void ClearBar();

    engine::Answer preset_;
    bool interactive_;
    bool showProgress_;
    bool barShown_ = false;
    bool verifiedGood_ = false;
    int percent_ = 0;
    std::string status_;
};

}  // namespace cli
