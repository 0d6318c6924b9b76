// What every operation runs in: the seams it reaches the outside through,
// the checkpoint that stops it, and the ways it ends.
#pragma once

#include <cstdint>
#include <string>

#include "engine/job/Host.h"
#include "engine/job/Job.h"
#include "engine/base/Platform.h"

namespace engine {

// Thrown through the engines when the checkpoint asks to stop.
struct OperationCancelled {};
// Thrown through an engine after the user has been told why it ends: a
// failure, or a stop the user chose at a question.
struct RunFailed {};
struct RunStopped {};

// The one way a run fails: the user is told why, then RunFailed ends it.
[[noreturn]] void FailRun(Prompts& prompts, const std::string& text, const std::string& caption = std::string());

// Runs an engine's body and names how it ended.
template <class Body>
Outcome EndingOf(Body&& body) {
    try {
        body();
        return Outcome::Completed;
    } catch (const RunFailed&) {
        return Outcome::Failed;
    } catch (const RunStopped&) {
        return Outcome::Stopped;
    } catch (const OperationCancelled&) {
        return Outcome::Cancelled;
    }
}

// Called by the engines between buffer loads. The controller pauses the
// worker inside it while the user is asked whether to go on, and answers true
// when the operation is to stop. The engines never get suspended or killed
// from outside.
class Checkpoint {
public:
    virtual ~Checkpoint() = default;
    virtual bool ShouldStop() = 0;
};

// Everything an engine needs for one operation.
struct OperationContext {
    Platform& platform;
    Prompts& prompts;
    Progress& progress;
    Events& events;
    EngineSettings settings;
    Checkpoint* checkpoint = nullptr;

    OperationContext(Platform& p, Host& host, EngineSettings s = {}, Checkpoint* c = nullptr)
        : platform(p), prompts(host), progress(host), events(host), settings(std::move(s)), checkpoint(c) {}
    OperationContext(Platform& p, Prompts& pr, Progress& pg, Events& ev, EngineSettings s, Checkpoint* c)
        : platform(p), prompts(pr), progress(pg), events(ev), settings(std::move(s)), checkpoint(c) {}

    void CheckPoint() const {
        if (checkpoint && checkpoint->ShouldStop()) throw OperationCancelled{};
    }
};

// `done` of `total` as a whole percentage, for any 64-bit sizes.
int Percent(std::uint64_t done, std::uint64_t total);

// `done` of `of` as the same share of `to` (0 when `of` is 0), for a phase
// of a run that reports its own units but counts into the run's one figure.
std::uint64_t Scaled(std::uint64_t done, std::uint64_t of, std::uint64_t to);

// The line under the progress bar: pieces done and pieces still to do.
std::string ProgressText(std::uint64_t done, std::uint64_t remaining);

}  // namespace engine
