// How far a run has got, as the worker last said, for a window to read when
// it likes. The worker only writes it (a lock held for a copy), so it never
// waits for the window; the window reads it on a timer.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "Host.h"

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
    };

    // A new run: nothing done yet.
    void Begin();
    void Report(std::uint64_t done, std::uint64_t total, const std::string& text) override;
    View Read() const;

private:
    mutable std::mutex mutex_;
    View view_;
};

}  // namespace engine
