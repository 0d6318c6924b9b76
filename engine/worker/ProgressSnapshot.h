// How far a run has got, as the worker last said, for a window to read when
// it likes. The worker only writes it (a lock held for a copy), so it never
// waits for the window; the window reads it on a timer.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "engine/job/Host.h"

namespace engine {

class ProgressSnapshot : public Progress {
public:
    using Clock = std::chrono::steady_clock;

    struct View {
        std::uint64_t done = 0;
        std::uint64_t total = 0;
        std::string text;
        std::uint64_t reports = 0;  // how many there were: a reader sees what is new
        Clock::time_point startedAt;
        Clock::time_point at;  // when the last one came
        // A step of the run (the pieces, then the recovery data) starts
        // when the total changes: its speed is measured from there.
        Clock::time_point stepAt;
        std::uint64_t stepDone = 0;
        bool entries = false;  // the units are entries, not bytes
    };

    // A new run: nothing done yet.
    void Begin();
    void Report(std::uint64_t done, std::uint64_t total, const std::string& text) override;
    void ReportEntries(std::uint64_t done, std::uint64_t total, const std::string& text) override;
    View Read() const;

private:
    void Store(std::uint64_t done, std::uint64_t total, const std::string& text, bool entries);

    mutable std::mutex mutex_;
    View view_;
};

// What a window shows of a run's progress: "42 %", "120.0 MB of 300.0 MB",
// "85.3 MB/s", "about 2 s left"; the last two empty until the speed can be
// told (half a second into a step).
struct ProgressFigures {
    int percent = 0;
    std::string amount, speed, timeLeft;
};
ProgressFigures Figures(const ProgressSnapshot::View& view, ProgressSnapshot::Clock::time_point now);

}  // namespace engine
