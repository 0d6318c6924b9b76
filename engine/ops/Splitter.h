// The split's run, cut by concern: its body (Split.cpp), the destination
// and its disks (SplitDisks.cpp), and the set that may exist already there
// (SplitExisting.cpp). Only the split's own files include this.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/base/Checksum.h"
#include "engine/base/FileErrors.h"
#include "engine/base/Names.h"
#include "engine/base/Platform.h"
#include "engine/base/TransferBuffer.h"
#include "engine/io/DiskPrompt.h"
#include "engine/io/RecoveryMaker.h"
#include "engine/io/RecoveryOutputs.h"
#include "engine/io/RunOutputs.h"
#include "engine/io/SetClaim.h"
#include "engine/job/Context.h"
#include "engine/job/Job.h"
#include "engine/set/SplitState.h"

namespace engine::splitting {

inline constexpr OpenMode kSourceMode{Access::Read, Share::Read, Creation::OpenExisting, true};
inline constexpr OpenMode kPieceMode{Access::Write, Share::ReadWrite, Creation::CreateNew, true};
inline constexpr OpenMode kSmallFileMode{Access::ReadWrite, Share::None, Creation::CreateNew, false};
// A creation the user retries this often without success is given up.
inline constexpr int kMaxRetries = 100;
// And so is a question about Go.bat answered this often with names that
// cannot be used (a disk prompt's limit is the disk prompt's).
inline constexpr int kMaxBatchQuestions = 100;

class Splitter {
public:
    Splitter(const SplitJob& job, OperationContext& ctx)
        : job_(job), ctx_(ctx), platform_(ctx.platform), prompts_(ctx.prompts), outputs_(ctx.platform) {}

    Outcome Run();

private:
    [[noreturn]] void Abort(const FileError& failure);
    [[noreturn]] void Fail(const std::string& text);
    std::string PathOf(const std::string& name) const { return FolderPrefix(platform_, job_.destinationFolder) + name; }
    void OpenDestination();
    void SwitchDisk();
    void FlushDestination();
    void EraseDestination();
    void EraseInside(const std::string& folder, bool top);
    bool RejoinsThisSet(const std::string& name);
    std::string ExistingSetFile();
    void ConfirmReplacing();
    bool Rename(const std::string& chosen);
    void ChooseBatchName();
    void CreateWithRetry(const std::string& name, const OpenMode& mode, std::unique_ptr<File>& file);
    void ClearOldSet();
    void RemoveStale();
    void WriteWhole(const std::string& name, const std::string& bytes);
    void Publish(const std::string& name, const std::string& bytes);
    std::string InfoBytes(bool checksums) const;
    std::string BatchBytes() const;
    std::uint32_t MoveLoad(std::uint32_t size);
    void WriteSlice(const unsigned char* data, std::uint32_t size);
    FileError WriteFailure(ErrorCode code, std::uint32_t written) const;
    bool IsDiskChange(const FileError& failure);
    void ChangeDisk(const unsigned char* data, std::uint32_t size, std::uint32_t stored);
    void AwaitNewDisk();
    void CopyPiece(std::uint32_t index);
    void FlushPieces();
    void StartRecoveryHashing();
    void MakeRecoveryFiles();
    void FinishRecoveryBeside();
    void ReadSource(std::uint64_t at, unsigned char* data, std::uint32_t size);
    void CheckSourceUnchanged();
    void CloseAll();
    // Continuing a split that stopped (SplitResume.cpp).
    bool ReadState(SplitState& state);
    bool OfferToContinue();
    void ProveKept(const SplitState& state);
    bool ReadKept(std::uint32_t index, ChecksumState& piece, ChecksumState* whole, FileId& id);
    void SaveState();
    void KeepForNextRun(Outcome outcome);
    std::string KeptSentence() const;
    void DeleteState();
    // What the run's progress counts: the pieces' bytes, and as many again
    // for the recovery data (which reads them all once more).
    std::uint64_t RunWork() const { return job_.recovery.empty() ? job_.sourceSize : 2 * job_.sourceSize; }
    OpenMode WithPermissions(OpenMode mode) const {
        mode.permissions = permissions_;
        return mode;
    }

    // A copy: the user may choose another name for the set at the start.
    SplitJob job_;
    OperationContext& ctx_;
    Platform& platform_;
    Prompts& prompts_;
    // In this order: the files close before the outputs are removed, and
    // those go while the set is still claimed and its folder still open.
    std::unique_ptr<Folder> folder_;
    std::unique_ptr<Lock> lock_;
    RunOutputs outputs_;
    std::unique_ptr<File> source_;
    std::unique_ptr<File> piece_;
    // The recovery data's reading of the source beside the copy; stopped
    // and joined before the files close, on every way out.
    // On a fixed disk it makes the recovery data too, into files made
    // before the copy starts; the run names them once they are complete.
    struct RecoveryHashing {
        std::thread thread;
        std::atomic<bool> stop{false};
        std::unique_ptr<File> source;
        std::vector<PieceSums> sums;
        std::exception_ptr error;
        std::unique_ptr<RecoveryOutputs> out;
        std::unique_ptr<RecoveryFiles> ahead;
        // How far it has got (the checksums' reading, then the sums': twice
        // the source), and whether it has ended.
        std::mutex mutex;
        std::condition_variable moved;
        std::uint64_t done = 0;
        bool finished = false;
        void Moved(std::uint64_t now);
        void Finish();
        void Stop();
        ~RecoveryHashing() { Stop(); }
    };
    std::unique_ptr<RecoveryHashing> hashing_;

    bool removable_ = false;
    std::string volume_;
    bool volumeKnown_ = false;
    std::uint32_t bufferSize_ = 0;
    TransferBuffer buffer_;
    std::uint64_t processed_ = 0;
    FileStatus sourceAtStart_;
    std::uint32_t permissions_ = 0;
    std::string infoName_;
    std::string batchName_ = "Go.bat";
    std::string pieceName_;
    ChecksumState whole_;
    ChecksumState pieceSum_;
    std::vector<Checksum> sums_;
    // The names this run made on each disk taken out of the drive, and on
    // the one in it.
    std::vector<std::vector<std::string>> leftOnDisks_;
    std::vector<std::string> onThisDisk_;
    // Pieces written and closed, not yet flushed: they are flushed together,
    // once the disk has had time to take most of them.
    std::vector<std::pair<std::string, FileId>> unflushed_;
    // A split that can be continued where it stops (not one across disks):
    // the state file that says so, how many pieces its last version covers,
    // and how many pieces this run kept from the one before, proven.
    bool resumable_ = false;
    std::string stateName_;
    std::uint32_t stateCovers_ = 0;
    std::uint64_t sinceState_ = 0;
    std::uint32_t kept_ = 0;
    bool sourceChanged_ = false;
    bool keptTold_ = false;  // the failure's message said what is kept
};

}  // namespace engine::splitting
