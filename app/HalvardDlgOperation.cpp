#include "app/HalvardDlg.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <vector>

#include "app/AutoProxy.h"
#include "app/ReadThisDialog.h"
#include "engine/base/Format.h"
#include "engine/set/PiecePlan.h"
#include "engine/set/RecoveryPlan.h"
#include "engine/ops/Prepare.h"
#include "engine/base/Texts.h"
#include "platform/win32/WideText.h"
#include "resources/resource.h"
#include "window/Dpi.h"
#include "window/WindowText.h"

namespace app {

// --- an operation ------------------------------------------------------------

// The start checks are the engine's, the same for every front end; the
// window shows what they found and what they refused.
bool CHalvardDlg::StartOperation() {
    if (checkingUpdates_) return true;
    if (paneShown_) TogglePane();
    engine::StartRequest request;
    request.mode = form_.split() ? engine::Mode::Split : engine::Mode::Rejoin;
    request.sourceText = Text(IDC_SOURCE_PATH);
    request.destinationText = Text(IDC_DESTINATION_PATH);
    request.size = form_.size();
    request.size.customText = CustomSizeText();
    request.ownBatch = queueRunning_;
    if (form_.split()) request.recoveryPercent = static_cast<std::uint32_t>(store_.record().recoveryPercent);
    const engine::EngineSettings settings = store_.ForEngine();
    engine::Prepared prepared;
    const bool split = form_.split();
    if (!controller_.Prepare(request, settings, prepared)) return true;  // a check or run is under way
    if (form_.split() != split) return true;  // the mode changed while the checks looked
    if (!prepared.workingFolderUsed.empty()) UseWorkingFolder(prepared.workingFolderUsed);
    if (prepared.sourceSizeKnown && form_.split()) ShowSourceSize(prepared.sourceSize);
    if (!prepared.ok) {
        if (!prepared.refusal.silent) Tell(engine::RefusalMessage(prepared.refusal), prepared.refusal.caption);
        return !prepared.refusal.noSpace;
    }
    if (const auto* split = std::get_if<engine::SplitJob>(&prepared.job)) lastPieceSize_ = split->pieceSize;
    if (form_.split()) {
        remembered_.pieceSize = form_.sizeName();
        remembered_.customSize = form_.size().custom ? Text(IDC_CUSTOM_SIZE) : std::string();
    }
    // Each mode remembers its own; the rejoin's only when the user chose it.
    if (form_.split()) {
        remembered_.destination = Text(IDC_DESTINATION_PATH);
    } else if (rejoinDestinationChosen_) {
        remembered_.rejoinDestination = Text(IDC_DESTINATION_PATH);
    }
    Remember();
    RunToEnd(prepared.job, settings);
    return true;
}

// A call of the worker, run here on the window's thread.
INT_PTR CHalvardDlg::OnWorkerCall(WPARAM, LPARAM call) {
    ToWindowThread::RunCall(call);
    return TRUE;
}

// Enter and Esc in the settings pane are its own OK and Cancel: the dialog
// manager sends them to the window's default and cancel buttons whatever
// child dialog the focus is in.
bool CHalvardDlg::ForwardToPane(int command) {
    HWND focus = GetFocus();
    if (!paneShown_ || !focus || !IsChild(pane_.hwnd(), focus)) return false;
    SendMessageW(pane_.hwnd(), WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
    return true;
}

INT_PTR CHalvardDlg::OnStart(WPARAM, LPARAM) {
    if (ForwardToPane(IDOK)) return TRUE;
    StartOperation();
    return TRUE;
}

void CHalvardDlg::ShowSplitNotice(std::uint32_t rebuildable) {
    if (queueRunning_) {
        queueNoticeRebuildable_ = rebuildable;
        return;  // once, after the queue
    }
    ReadThisDialog(rebuildable).DoModal(hwnd());
}

namespace {

// What a file of a queue was told, under its line of the summary.
std::string Indented(const std::string& said) {
    std::string out;
    bool lineStart = true;
    for (char c : said) {
        if (lineStart && c != '\n') out += "    ";
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

}  // namespace

// Several files dropped or chosen: each a run of its own with the same
// settings, one after another; one that fails is reported and the others
// go on, one the user stops ends the queue. A summary says how each ended.
void CHalvardDlg::RunQueue(const std::vector<std::string>& files) {
    std::string summary;
    bool stopped = false, anySplit = false;
    queueNoticeRebuildable_ = 0;
    queueRunning_ = true;
    queueAllDone_ = true;
    // Sets with nowhere given to rejoin to go each beside itself.
    const bool besideEach = !form_.split() && !rejoinDestinationChosen_ && Text(IDC_DESTINATION_PATH).empty();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[i];
        const std::string name = engine::FileNamePart(platform_, file);
        if (stopped) {
            summary += engine::Fill(texts::kQueueNotStarted, name) + "\n";
            continue;
        }
        queuePlace_ = engine::Fill(engine::Fill(texts::kQueuePlace, std::to_string(i + 1)), std::to_string(files.size()), "%2");
        // The start checks measure the file, off the window's thread.
        SetText(IDC_SOURCE_PATH, file);
        if (besideEach) DefaultRejoinDestination(file);
        lastStartRan_ = false;
        queueSaid_.clear();
        StartOperation();
        const engine::Outcome outcome = controller_.lastOutcome();
        const char* line = !lastStartRan_                              ? texts::kQueueNotStarted
                           : outcome == engine::Outcome::Completed     ? texts::kQueueDone
                           : outcome == engine::Outcome::Failed        ? texts::kQueueFailed
                                                                       : texts::kQueueStopped;
        if (lastStartRan_ && (outcome == engine::Outcome::Cancelled || outcome == engine::Outcome::Stopped)) {
            stopped = true;
        }
        anySplit = anySplit || (lastStartRan_ && outcome == engine::Outcome::Completed && form_.split());
        summary += engine::Fill(line, name) + "\n" + Indented(queueSaid_);
        queueAllDone_ = queueAllDone_ && line == texts::kQueueDone;
    }
    queuePlace_.clear();
    queueSaid_.clear();
    queueRunning_ = false;
    SetCaption(texts::kAppTitle);
    if (queueAllDone_) {
        Inform(summary);
    } else {
        Tell(summary);
    }
    if (anySplit) ReadThisDialog(queueNoticeRebuildable_).DoModal(hwnd());
}

}  // namespace app
