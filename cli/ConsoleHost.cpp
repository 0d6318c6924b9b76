#include "cli/ConsoleHost.h"

#include "cli/Console.h"
#include "engine/ops/RunJob.h"
#include "engine/ops/Rejoin.h"
#include "engine/base/Names.h"
#include "engine/base/Texts.h"

#include <cctype>

namespace cli {

namespace {

// The program's texts break lines where a message box needs them ("Source
// file not defined \n or is not correct"); a terminal keeps a sentence on
// one line, and a new line for a new sentence.
std::string ForTerminal(std::string text) {
    for (std::size_t at; (at = text.find(" \n ")) != std::string::npos;) text.replace(at, 3, " ");
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "\n");
    return text;
}

}  // namespace

void ConsoleHost::Say(const std::string& text) {
    ClearBar();
    WriteErr(ForTerminal(text) + "\n");
}

engine::Answer ConsoleHost::ShowMessage(const engine::Message& message) {
    ClearBar();
    std::string line;
    if (!message.caption.empty()) line = "[" + message.caption + "] ";
    WriteErr(line + ForTerminal(message.text) + "\n");
    if (message.buttons == engine::Buttons::Ok) return engine::Answer::Ok;

    if (!interactive_) {
        const bool mayAnswer =
            message.question == engine::Question::Proceed || message.question == engine::Question::Paused;
        const engine::Answer answer = mayAnswer ? preset_ : engine::Answer::Cancel;
        WriteErr("-> " + (answer == engine::Answer::Ok ? (message.okLabel.empty() ? "OK" : message.okLabel)
                                                      : (message.cancelLabel.empty() ? "Cancel" : message.cancelLabel)) +
                 "\n");
        return answer;
    }
    // A question whose buttons say what they do is asked in their words.
    const std::string ok = message.okLabel.empty() ? "OK" : message.okLabel;
    const std::string cancel = message.cancelLabel.empty() ? "Cancel" : message.cancelLabel;
    const auto is = [](const std::string& reply, const std::string& word) {
        return !reply.empty() && (engine::AsciiUpper(reply) == engine::AsciiUpper(word) ||
                                  engine::AsciiUpper(reply) == engine::AsciiUpper(word.substr(0, 1)));
    };
    for (;;) {
        WriteErr(ok + " or " + cancel + "? [" + std::string(1, static_cast<char>(std::tolower(ok[0]))) + "/" +
                 std::string(1, static_cast<char>(std::tolower(cancel[0]))) + "] ");
        std::string reply;
        if (!ReadLine(reply)) return engine::Answer::Cancel;
        if (is(reply, ok)) return engine::Answer::Ok;
        if (is(reply, cancel)) return engine::Answer::Cancel;
    }
}

void ConsoleHost::Report(std::uint64_t done, std::uint64_t total, const std::string& text) {
    percent_ = engine::Percent(done, total);
    status_ = text;
    for (char& c : status_) {
        if (c == '\n') c = ' ';
    }
    DrawBar();
}

void ConsoleHost::Finished(engine::Mode, engine::Outcome) { ClearBar(); }

void ConsoleHost::DrawBar() {
    if (!showProgress_) return;
    constexpr int kWidth = 30;
    const int filled = percent_ * kWidth / 100;
    WriteErr("\r[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + "] " +
             std::to_string(percent_) + "%  " + status_ + "   ");
    barShown_ = true;
}

void ConsoleHost::ClearBar() {
    if (!barShown_) return;
    WriteErr("\r" + std::string(79, ' ') + "\r");
    barShown_ = false;
}

engine::FileExistsAnswer ConsoleHost::AskFileExists(std::string& path) {
    ClearBar();
    WriteErr(path + " already exists.\n");
    if (!interactive_) {
        const bool overwrite = preset_ == engine::Answer::Ok;
        WriteErr(overwrite ? "-> to be replaced once the new file is complete\n"
                           : "-> kept, and nothing was written (--yes replaces it)\n");
        return overwrite ? engine::FileExistsAnswer::Overwrite : engine::FileExistsAnswer::Stop;
    }
    WriteErr("Type a new full path, or press Enter to overwrite: ");
    std::string line;
    if (!ReadLine(line)) return engine::FileExistsAnswer::Stop;
    if (line.empty()) return engine::FileExistsAnswer::Overwrite;
    path = line;
    return engine::FileExistsAnswer::Rename;
}

void ConsoleHost::ShowSplitNotice(std::uint32_t rebuildable) {
    ClearBar();
    WriteOut(std::string(texts::kNoticeLine1) + "\n" + texts::kNoticeLine2 + "\n" + texts::kNoticeLine3 + "\n");
    if (rebuildable > 0) WriteOut(engine::RebuildableText(rebuildable) + "\n" + texts::kNoticeRecoveryFiles + "\n");
}

}  // namespace cli

namespace cli {

void ConsoleHost::ShowVerifyReport(const engine::VerifyReport& report) {
    ClearBar();
    verifiedGood_ = report.problems.empty();
    WriteOut(engine::VerifySummary(report));
}

}  // namespace cli
