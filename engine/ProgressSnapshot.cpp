#include "ProgressSnapshot.h"

namespace engine {

void ProgressSnapshot::Begin() {
    std::lock_guard<std::mutex> lock(mutex_);
    view_ = View{};
    view_.startedAt = view_.at = Clock::now();
}

void ProgressSnapshot::Report(std::uint64_t done, std::uint64_t total, const std::string& text) {
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    view_.done = done;
    view_.total = total;
    view_.text = text;
    view_.at = now;
    ++view_.reports;
}

ProgressSnapshot::View ProgressSnapshot::Read() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return view_;
}

}  // namespace engine
