// The main window during a run: the worker's progress read on a timer and
// shown as a bar, a percentage in the caption, bytes done, speed and time
// left in the status bar, and on the taskbar button; how the run ended.
#include "app/HalvardDlg.h"

#include "engine/base/Format.h"
#include "engine/base/Texts.h"
#include "resources/resource.h"
#include "window/WindowText.h"

namespace app {

// What the worker last reported, when it is news.
void CHalvardDlg::ShowProgress() {
    const engine::ProgressSnapshot::View view = progress_.Read();
    if (view.reports == progressShown_) return;
    progressShown_ = view.reports;
    const engine::ProgressFigures figures = engine::Figures(view, engine::ProgressSnapshot::Clock::now());
    status_.SetProgress(figures.percent);
    SetText(IDC_PROGRESS_TEXT, view.text);
    status_.SetPart(StatusArea::kDestination,
                    figures.amount.empty() ? std::string() : figures.amount + " (" + std::to_string(figures.percent) + " %)");
    status_.SetPart(StatusArea::kSize, figures.speed.empty() ? std::string() : figures.speed + ", " + figures.timeLeft);
    // In a queue, the caption says which file of how many, then its share.
    SetCaption(queuePlace_ + std::to_string(figures.percent) + " % - " + texts::kAppTitle);
    taskbar_.Value(view.done, view.total);
}

void CHalvardDlg::RunToEnd(const engine::Job& job, const engine::EngineSettings& settings) {
    lastStartRan_ = true;
    controller_.Run(job, settings);
    EnableControls(true);
}

void CHalvardDlg::Started(engine::Mode mode) {
    EnableControls(false);
    statusBeforeRun_[0] = status_.PartText(StatusArea::kDestination);
    statusBeforeRun_[1] = status_.PartText(StatusArea::kSize);
    captionBeforeRun_ = window::TextOf(hwnd());
    status_.SetStep(10);
    status_.ShowProgress(true);
    progress_.Begin();
    progressShown_ = 0;
    taskbar_.Set(TaskbarProgress::State::Normal);
    SetTimer(hwnd(), kProgressTimer, kProgressInterval, nullptr);
    if (mode == engine::Mode::Split && !form_.size().custom) ShowCustomSize(false);
}

void CHalvardDlg::Finished(engine::Mode mode, engine::Outcome outcome) {
    KillTimer(hwnd(), kProgressTimer);
    ShowProgress();
    status_.SetPart(StatusArea::kDestination, statusBeforeRun_[0]);
    status_.SetPart(StatusArea::kSize, statusBeforeRun_[1]);
    SetCaption(captionBeforeRun_);
    if (outcome == engine::Outcome::Completed && mode == engine::Mode::Split) {
        // The resolved size stays the current one; the custom field goes.
        status_.SetProgress(100);
        ShowCustomSize(false);
        form_.SplitCompleted(lastPieceSize_);
    }
    // The controls come back in RunToEnd, once the worker is gone: a click
    // on Start now would find the run still going and do nothing.
    if (outcome == engine::Outcome::Completed) RefreshStatusBar("", false);
    status_.ShowProgress(false);
    taskbar_.Set(outcome == engine::Outcome::Failed ? TaskbarProgress::State::Error : TaskbarProgress::State::None);
    // A run that did not complete says so where the mode is shown, until the
    // next one.
    constexpr const char* kNames[] = {"Split", "Rejoin", "Verify", "Repair", "Protect", "Quick check"};
    const char* name = kNames[static_cast<int>(mode)];
    if (outcome == engine::Outcome::Cancelled || outcome == engine::Outcome::Stopped) {
        status_.SetPart(StatusArea::kMode, engine::Fill(texts::kStatusStopped, name));
    } else if (outcome == engine::Outcome::Failed) {
        status_.SetPart(StatusArea::kMode, engine::Fill(texts::kStatusFailed, name));
    }
}

// The question whether to go on pauses the taskbar's progress too.
engine::Answer CHalvardDlg::ShowMessage(const engine::Message& message) {
    // A queue's runs end without "Completed Successfully" each, and what
    // would be a box with only OK (a refusal, a failure) is said in the
    // summary, so the queue goes on while nobody watches. Questions are asked
    // as they come: only the user can answer them.
    if (queueRunning_ && message.buttons == engine::Buttons::Ok && message.question == engine::Question::None) {
        if (!message.information) queueSaid_ += message.text + "\n";
        return engine::Answer::Ok;
    }
    const bool suspension = message.question == engine::Question::Paused;
    if (suspension) taskbar_.Set(TaskbarProgress::State::Paused);
    const engine::Answer answer = WindowHost::ShowMessage(message);
    if (suspension) taskbar_.Set(TaskbarProgress::State::Normal);
    return answer;
}

}  // namespace app
