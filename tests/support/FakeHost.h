// A window for the engines that remembers what it was asked to show and
// answers questions from a script. Safe to call from a worker thread while
// the test thread waits in WaitForWorker.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
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
    // Runs on the waiting thread between checks of the worker, as the
    // window's message loop would run a click.
    std::function<void()> onPump;
    // Runs on the worker after each load's progress text, so that a test can
    // hold the worker at a chosen load.
    std::function<void()> onLoad;

    engine::Answer ShowMessage(const std::string& text, const std::string& caption,
                               engine::Buttons buttons) override {
        const Box box{text, caption, buttons};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            boxes.push_back(box);
        }
        return answer ? answer(box) : engine::Answer::Ok;
    }
    void SetProgressStep(int step) override { progressStep = step; }
    void SetProgress(int percent) override {
        std::lock_guard<std::mutex> lock(mutex_);
        progress.push_back(percent);
    }
    void ShowProgress(bool visible) override { progressVisible = visible; }
    void SetProgressText(const std::string& text) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            progressTexts.push_back(text);
        }
        ++loads;
        if (onLoad) onLoad();
    }
    void EnableControls(bool enable) override { controlsEnabled = enable; }
    void RefreshStatusBar(const std::string&, int pane) override {
        std::lock_guard<std::mutex> lock(mutex_);
        statusRefreshes.push_back(pane);
    }
    void ShowCustomSize(bool visible) override { customSizeVisible = visible; }
    void ShowSplitNotice() override { ++notices; }
    FileExists AskFileExists(std::string& path) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            existsAsked.push_back(path);
        }
        return fileExists ? fileExists(path) : FileExists::Overwrite;
    }
    void CollapseSettings() override { ++collapses; }
    void UseWorkingFolder(const std::string& folder) override { workingFolderShown = folder; }
    void ShowSourceSize(std::uint64_t bytes) override { sizeShown = bytes; }
    void WaitForWorker(const std::function<bool()>& finished) override {
        while (!finished()) {
            if (onPump) onPump();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    std::vector<std::string> texts() const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> all;
        for (const Box& b : boxes) all.push_back(b.text);
        return all;
    }

    std::vector<Box> boxes;
    std::vector<int> progress;
    std::vector<std::string> progressTexts;
    std::vector<int> statusRefreshes;
    std::vector<std::string> existsAsked;
    std::atomic<int> loads{0};
    std::atomic<int> progressStep{0};
    std::atomic<bool> progressVisible{false};
    std::atomic<bool> controlsEnabled{true};
    std::atomic<bool> customSizeVisible{true};
    std::atomic<int> notices{0};
    int collapses = 0;
    std::string workingFolderShown;
    std::uint64_t sizeShown = 0;

private:
    mutable std::mutex mutex_;
};

}  // namespace fake
