// The checks before every operation, the same for the window, the command
// line and automation: everything that can be refused is refused here,
// before any file is made. The front end decides how to show the outcome.
#pragma once

#include <string>

#include "engine/job/Job.h"

namespace engine {

struct Refusal {
    std::string text;
    // Which file and why, on a line after the text (the texts the program
    // has always shown stay as they are): "D:\\x.avi was not found."
    std::string detail;
    std::string caption;  // empty: the program's title
    bool noSpace = false; // the destination lacks room (automation's Run answers false)
    bool silent = false;  // nothing to say (an empty custom-size field)
};

struct Prepared {
    bool ok = false;
    Job job;
    Refusal refusal;
    // An empty destination became the working folder, to be shown as such.
    std::string workingFolderUsed;
    // The size of the chosen file, for the window's label.
    bool sourceSizeKnown = false;
    std::uint64_t sourceSize = 0;
};

// The text and its detail, as a message box or a terminal shows them.
std::string RefusalMessage(const Refusal& refusal);

// Validates the request and returns a job, or a refusal. It changes no file:
// what it finds to do (the erase of a removable disk included) is the run's.
Prepared PrepareJob(const StartRequest& request, Platform& platform, const EngineSettings& settings);

// The info file a rejoin or verification is started from: a piece stands
// for its set's info file in its own folder; any other path is taken as it is.
std::string InfoPathFor(const Platform& platform, const std::string& path);

}  // namespace engine
