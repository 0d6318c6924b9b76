// The rejoin's run, cut by concern: its body (Rejoin.cpp) and the
// continuing of a rejoin that stopped (RejoinResume.cpp). Only the
// rejoin's own files include this.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/Checksum.h"
#include "engine/base/Platform.h"
#include "engine/io/PieceReader.h"
#include "engine/io/RunOutputs.h"
#include "engine/io/SetClaim.h"
#include "engine/io/SetRepair.h"
#include "engine/job/Context.h"
#include "engine/job/Job.h"
#include "engine/set/SplitState.h"

namespace engine::rejoining {

class Rejoiner {
public:
    Rejoiner(const RejoinJob& job, OperationContext& ctx)
        : job_(job), ctx_(ctx), platform_(ctx.platform), prompts_(ctx.prompts), set_(ctx.platform, ctx.prompts),
          output_(ctx.platform, ctx.prompts), outputs_(ctx.platform) {}

    Outcome Run();
    const std::vector<std::string>& rebuilt() const { return rebuilt_; }

private:
    [[noreturn]] void Fail(const std::string& text, const std::string& caption = std::string());
    [[noreturn]] void Fail(const PieceProblem& problem);
    bool IsInput(const std::string& path);
    void ChooseOutput();
    std::uint32_t OutputPermissions();
    void RemoveSet(const PieceReader& reader);
    void Rebuild(const PieceReader& reader, const std::vector<PieceProblem>& problems, Folder& folder,
                 const std::string& temporary);
    void ProveRebuilt(SetRepair& repair, Folder& folder, const std::string& temporary, std::uint32_t pieceSize);
    // Continuing a rejoin that stopped (RejoinResume.cpp).
    void OpenOutput(PieceReader& reader);
    bool ReadState(SplitState& state);
    bool Continue(const SplitState& state, PieceReader& reader);
    bool ProveKept(const SplitState& state, std::uint32_t index, ChecksumState& whole);
    void PieceDone(std::uint32_t index);
    void KeepForNextRun(Outcome outcome);
    std::string KeptSentence() const;
    void DeleteState();

    const RejoinJob& job_;
    OperationContext& ctx_;
    Platform& platform_;
    Prompts& prompts_;
    // In this order: the output closes before what the run made is removed,
    // and that happens while the names are still claimed and the folder open.
    SetClaim set_;
    SetClaim output_;
    std::unique_ptr<Folder> opened_;
    RunOutputs outputs_;
    std::unique_ptr<File> file_;
    Folder* folder_ = nullptr;  // the output's
    std::string outputPath_;
    std::string outputName_;
    std::string temporary_;  // the output until it is complete
    std::uint64_t progressTotal_ = 0;
    std::vector<std::string> rebuilt_;

    // A rejoin that can be continued keeps its output under a name of its
    // own and a state file saying which pieces it holds.
    bool resumable_ = false;
    std::string stateName_;
    FileId partialId_;
    std::uint32_t permissions_ = 0;
    std::uint32_t done_ = 0;         // pieces written and found as recorded, from the first
    std::uint32_t stateCovers_ = 0;  // the pieces the state on the disk lists
    std::uint64_t sinceState_ = 0;   // bytes written since
    bool wholeWrong_ = false;        // what the pieces make is not the file that was split
    bool keptTold_ = false;          // the failure's message said what is kept
};

}  // namespace engine::rejoining
