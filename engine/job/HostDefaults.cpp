#include "engine/job/Host.h"

#include "engine/job/Report.h"

namespace engine {

Answer Prompts::ShowMessage(const Message& message) {
    return message.buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
}

FileExistsAnswer Prompts::AskFileExists(std::string&) { return FileExistsAnswer::Stop; }

void Prompts::ShowVerifyReport(const VerifyReport& report) {
    if (report.problems.empty()) {
        Inform(VerifySummary(report));
    } else {
        Tell(VerifySummary(report));
    }
}

void Prompts::Tell(const std::string& text, const std::string& caption) {
    ShowMessage(Message{text, caption, Buttons::Ok, Question::None});
}

void Prompts::Inform(const std::string& text) {
    Message message{text, std::string(), Buttons::Ok, Question::None};
    message.information = true;
    ShowMessage(message);
}

void Progress::Report(std::uint64_t, std::uint64_t, const std::string&) {}

void Events::Started(Mode) {}
void Events::Finished(Mode, Outcome) {}

}  // namespace engine
