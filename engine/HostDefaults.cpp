#include "Host.h"

#include "Rejoin.h"

namespace engine {

Answer Prompts::ShowMessage(const Message& message) {
    return message.buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
}

FileExistsAnswer Prompts::AskFileExists(std::string&) { return FileExistsAnswer::Stop; }

void Prompts::ShowVerifyReport(const VerifyReport& report) { Tell(VerifySummary(report)); }

void Prompts::Tell(const std::string& text, const std::string& caption) {
    ShowMessage(Message{text, caption, Buttons::Ok, Question::None});
}

void Progress::Report(std::uint64_t, std::uint64_t, const std::string&) {}

void Events::Started(Mode) {}
void Events::Finished(Mode, Outcome) {}

}  // namespace engine
