#include "engine/worker/ProgressSnapshot.h"

#include <algorithm>

#include "engine/base/Format.h"
#include "engine/job/Context.h"
#include "engine/set/RecoveryPlan.h"
#include "engine/base/Texts.h"

namespace engine {

void ProgressSnapshot::Begin() {
    std::lock_guard<std::mutex> lock(mutex_);
    view_ = View{};
    view_.startedAt = view_.at = view_.stepAt = Clock::now();
}

void ProgressSnapshot::Report(std::uint64_t done, std::uint64_t total, const std::string& text) {
    Store(done, total, text, false);
}

void ProgressSnapshot::ReportEntries(std::uint64_t done, std::uint64_t total, const std::string& text) {
    Store(done, total, text, true);
}

void ProgressSnapshot::Store(std::uint64_t done, std::uint64_t total, const std::string& text, bool entries) {
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    if (total != view_.total) {
        view_.stepAt = now;
        view_.stepDone = done;
    }
    view_.done = done;
    view_.total = total;
    view_.text = text;
    view_.entries = entries;
    view_.at = now;
    ++view_.reports;
}

ProgressSnapshot::View ProgressSnapshot::Read() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return view_;
}

namespace {
std::string Duration(double seconds) {
    const auto s = static_cast<std::uint64_t>(seconds + 0.5);
    if (s < 60) return std::to_string(s == 0 ? 1 : s) + " s";
    if (s < 3600) return std::to_string((s + 30) / 60) + " min";
    const std::uint64_t minutes = (s + 30) / 60;
    return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}
}  // namespace

ProgressFigures Figures(const ProgressSnapshot::View& view, ProgressSnapshot::Clock::time_point now) {
    ProgressFigures f;
    f.percent = Percent(view.done, view.total);
    if (view.entries) return f;
    f.amount = Fill(Fill(texts::kProgressAmount, ReadableSize(view.done)), ReadableSize(view.total), "%2");
    const double seconds = std::chrono::duration<double>(now - view.stepAt).count();
    if (seconds < 0.5 || view.done < view.stepDone) return f;
    const double rate = static_cast<double>(view.done - view.stepDone) / seconds;
    if (rate <= 0) return f;
    f.speed = ReadableSize(static_cast<std::uint64_t>(rate)) + "/s";
    f.timeLeft = Fill(texts::kTimeLeft, Duration(static_cast<double>(view.total - std::min(view.total, view.done)) / rate));
    return f;
}

}  // namespace engine
