// A window for the engines that remembers what it was asked to show and
// answers questions from a script.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/Host.h"

namespace fake {

struct Box {
    std::string text;
    std::string caption;
    engine::Buttons buttons;
};

class FakeHost : public engine::Host {
public:
    // Decides the answer to each box; by default every box is answered OK.
    std::function<engine::Answer(const Box&)> answer;
    // Answers the file-exists question; by default: overwrite.
    std::function<FileExists(std::string&)> fileExists;

    engine::Answer ShowMessage(const std::string& text, const std::string& caption,
                               engine::Buttons buttons) override {
        boxes.push_back({text, caption, buttons});
        return answer ? answer(boxes.back()) : engine::Answer::Ok;
    }
    void SetProgressStep(int step) override { progressStep = step; }
    void SetProgress(int percent) override { progress.push_back(percent); }
    void ShowProgress(bool visible) override { progressVisible = visible; }
    void SetProgressText(const std::string& text) override { progressTexts.push_back(text); }
    void EnableControls(bool enable) override { controlsEnabled = enable; }
    void RefreshStatusBar(const std::string&, int pane) override { statusRefreshes.push_back(pane); }
    void ShowCustomSize(bool visible) override { customSizeVisible = visible; }
    void ShowSplitNotice() override { ++notices; }
    FileExists AskFileExists(std::string& path) override {
        existsAsked.push_back(path);
        return fileExists ? fileExists(path) : FileExists::Overwrite;
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> all;
        for (const Box& b : boxes) all.push_back(b.text);
        return all;
    }

    std::vector<Box> boxes;
    std::vector<int> progress;
    std::vector<std::string> progressTexts;
    std::vector<int> statusRefreshes;
    int progressStep = 0;
    bool progressVisible = false;
    bool controlsEnabled = true;
    bool customSizeVisible = true;
    int notices = 0;
    std::vector<std::string> existsAsked;
};

}  // namespace fake
