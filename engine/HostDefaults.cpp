#include "Host.h"

#include "Platform.h"

namespace engine {

Answer Prompts::ShowMessage(const Message& message) {
    return message.buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
}

FileExistsAnswer Prompts::AskFileExists(std::string&) { return FileExistsAnswer::Stop; }

void Prompts::Tell(const std::string& text, const std::string& caption) {
    ShowMessage(Message{text, caption, Buttons::Ok, Question::None});
}

void Progress::Report(std::uint64_t, std::uint64_t, const std::string&) {}

void Events::Started(Mode) {}
void Events::Finished(Mode, Outcome) {}

bool SameFile(Platform& platform, const std::string& a, const std::string& b) {
    FileStatus sa, sb;
    if (platform.Status(a, sa) != err::kNone || platform.Status(b, sb) != err::kNone) return false;
    if (sa.kind == FileKind::Missing || sb.kind == FileKind::Missing) return false;
    return sa.id == sb.id;
}

}  // namespace engine
