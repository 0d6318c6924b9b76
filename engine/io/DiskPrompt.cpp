#include "engine/io/DiskPrompt.h"

#include "engine/job/Context.h"

namespace engine {

std::string AwaitOtherDisk(Prompts& prompts, Platform& platform, const std::string& folder,
                           const std::string& previous, bool previousKnown, const DiskPromptTexts& texts,
                           const std::function<std::string()>& usable) {
    std::string text = texts.insert;
    for (int ask = 0; ask < kMaxDiskPrompts; ++ask) {
        const Message prompt{text, texts.caption, Buttons::OkCancel, Question::NextDisk};
        if (prompts.ShowMessage(prompt) != Answer::Ok) throw RunStopped{};
        std::string now;
        if (!platform.VolumeIdentity(folder, now)) {
            text = texts.insert;
            continue;
        }
        if (previousKnown && now == previous) {
            text = texts.same;
            continue;
        }
        if (usable) {
            text = usable();
            if (!text.empty()) continue;
        }
        return now;
    }
    throw RunStopped{};
}

}  // namespace engine
