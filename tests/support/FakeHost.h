// A front end for the engines that remembers what it was asked to show and
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

#include "engine/worker/Controller.h"
#include "engine/job/Host.h"

namespace fake {

struct Box {
    std::string text;
    std::string caption;
    engine::Buttons buttons;
    engine::Question question;
};

class FakeHost : public engine::Host, public engine::WorkerWait {
public:
    // Decides the answer to each box; by default every box is answered OK.
    std::function<engine::Answer(const Box&)> answer;
    // Answers the file-exists question; by default: overwrite.
    std::function<engine::FileExistsAnswer(std::string&)> fileExists;
    // Runs on the waiting thread between checks of the worker, as the
    // window's message loop would run a click.
    std::function<void()> onPump;
    // Runs on the worker after each progress report, so that a test can
    // hold the worker at a chosen load.
    std::function<void()> onLoad;
    // Whether the host offers a repair after a verification or a rejoin.
    bool offersRepair = false;
    bool OffersRepair() const override { return offersRepair; }

    engine::Answer ShowMessage(const engine::Message& message) override {
        const Box box{message.text, message.caption, message.buttons, message.question};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            boxes.push_back(box);
        }
        return answer ? answer(box) : engine::Answer::Ok;
    }
    engine::FileExistsAnswer AskFileExists(std::string& path) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            existsAsked.push_back(path);
        }
        return fileExists ? fileExists(path) : engine::FileExistsAnswer::Overwrite;
    }
    void ShowSplitNotice(std::uint32_t rebuildable) override {
        ++notices;
        noticeRebuildable = rebuildable;
        noticeThread = std::this_thread::get_id();
        if (onNotice) onNotice();
    }

    void Report(std::uint64_t done, std::uint64_t total, const std::string& text) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            progress.push_back(engine::Percent(done, total));
            progressTexts.push_back(text);
        }
        ++loads;
        if (onLoad) onLoad();
    }
    void Started(engine::Mode) override {
        ++starts;
        running = true;
        eventThread = std::this_thread::get_id();
    }
    void Finished(engine::Mode, engine::Outcome outcome) override {
        running = false;
        eventThread = std::this_thread::get_id();
        std::lock_guard<std::mutex> lock(mutex_);
        endings.push_back(outcome);
    }

    void WorkerStarting() override { workerFinished = false; }
    void WorkerFinished() override { workerFinished = true; }
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
    std::vector<std::string> existsAsked;
    std::vector<engine::Outcome> endings;
    std::atomic<int> loads{0};
    std::atomic<int> notices{0};
    std::atomic<std::uint32_t> noticeRebuildable{0};
    std::atomic<int> starts{0};
    std::atomic<bool> running{false};
    std::atomic<bool> workerFinished{false};  // the worker's own word that it is done
    // The threads the closing notice and the last event came on.
    std::thread::id noticeThread, eventThread;
    std::function<void()> onNotice;

private:
    mutable std::mutex mutex_;
};

// Lets the run go on for `calls` checks, then asks it to stop.
class StopAfter : public engine::Checkpoint {
public:
    explicit StopAfter(int calls) : left_(calls) {}
    bool ShouldStop() override { return left_-- <= 0; }

private:
    int left_;
};

}  // namespace fake
