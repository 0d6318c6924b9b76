// The program's main window. It owns the parts that serve it and dispatches
// to them; each concern lives in a file of its own:
//   HalvardDlg.cpp           set-up, modes, the fields
//   HalvardDlgOperation.cpp  starting an operation, the queue of several files
//   HalvardDlgProgress.cpp   the run's progress and how it ended
//   HalvardDlgChoosing.cpp   the file and folder choosers, drops, a named file
//   HalvardDlgCommands.cpp   piece size, settings pane, tray, help, About,
//                            the system menu, automation
#pragma once

#include <memory>
#include <vector>
#include <atomic>
#include <string>

#include "app/AutomationTarget.h"
#include "app/FormState.h"
#include "app/HelpLauncher.h"
#include "app/PaneSlide.h"
#include "app/PieceSizeChooser.h"
#include "app/StartupRules.h"
#include "app/StatusArea.h"
#include "app/ToWindowThread.h"
#include "app/TrayIcon.h"
#include "app/TaskbarProgress.h"
#include "app/WindowHost.h"
#include "engine/worker/Controller.h"
#include "engine/worker/ProgressSnapshot.h"
#include "platform/win32/Win32Platform.h"
#include "settings/SettingsDlg.h"
#include "settings/Win32Registry.h"
#include "window/Dialog.h"
#include "platform/win32/ScopedWin.h"

namespace app {

// Posted by the tray icon.
inline constexpr UINT WM_TRAYNOTIFY = WM_USER + 52;
inline constexpr UINT kTrayIconId = 143;

class CHalvardDlg : public window::DialogImpl<CHalvardDlg>, public WindowHost, public AutomationTarget {
public:
    explicit CHalvardDlg(const CommandLine& line);
    ~CHalvardDlg() override;

    static window::MessageTable<CHalvardDlg> Messages();

    HelpLauncher& help() { return help_; }
    TrayIcon& tray() { return tray_; }
    const PieceSizeChooser& sizeChooser() const { return sizeChooser_; }

    // AutomationTarget: a client's calls. During an operation they change
    // nothing (the worker runs on what it was started with) and Run answers
    // false.
    bool Run() override;
    void SourceFile(const std::string& path) override;
    void Destination(const std::string& path) override;
    void Size(const std::string& unit, long value) override;
    void AddFile(const std::string& path) override;
    void Attach(CHalvardDlgAutoProxy* proxy) override;
    void Detach(CHalvardDlgAutoProxy* proxy) override;

    // The engines' events, as the window shows them; the worker's calls
    // reach them on the window's thread (ToWindowThread). Progress does not
    // cross: the worker writes it into a snapshot that a timer shows.
    void Started(engine::Mode mode) override;
    engine::Answer ShowMessage(const engine::Message& message) override;
    void Finished(engine::Mode mode, engine::Outcome outcome) override;
    // A script that drives the window is never held up by an offer.
    // Not in a queue: its summary comes first, and Repair is a run of its own.
    bool OffersRepair() const override { return !startedForAutomation_ && !queueRunning_; }
    void ShowSplitNotice(std::uint32_t rebuildable) override;

protected:
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // HalvardDlg.cpp
    INT_PTR OnInitDialog(WPARAM, LPARAM);
    INT_PTR OnSplitMode(WPARAM, LPARAM);
    INT_PTR OnRejoinMode(WPARAM, LPARAM);
    INT_PTR OnStart(WPARAM, LPARAM);
    INT_PTR OnCancelCommand(WPARAM, LPARAM);
    INT_PTR OnClose(WPARAM, LPARAM);
    INT_PTR OnDestroy(WPARAM, LPARAM);
    INT_PTR OnPaint(WPARAM, LPARAM);
    INT_PTR OnQueryDragIcon(WPARAM, LPARAM);
    INT_PTR OnTimer(WPARAM, LPARAM);
    void ShowProgress();
    bool StartOperation();
    void SwitchMode(FormMode mode);
    void ApplyModeLook(bool split);
    void EnableControls(bool enable);
    void RefreshStatusBar(const std::string& sizeText, bool showSize);
    void RefreshFileSize(const std::string& path);
    void ShowSourceSize(std::uint64_t bytes);
    void ShowCustomSize(bool visible);
    void RunQueue(const std::vector<std::string>& files);
    void QueueDropped(const std::vector<std::string>& paths);
    void PlaceSizeButton();
    void UseWorkingFolder(const std::string& folder);
    void SetCaption(const std::string& text);
    std::string Text(int id) const;
    void SetText(int id, const std::string& text);
    Fields ShownFields() const;
    RECT ClientRectOf(int id) const;
    void CreateTooltips();
    HICON Icon(int size) const;

    // HalvardDlgChoosing.cpp
    INT_PTR OnChooseFile(WPARAM, LPARAM);
    INT_PTR OnVerifySet(WPARAM, LPARAM);
    INT_PTR OnRepairSet(WPARAM, LPARAM);
    INT_PTR OnProtectSet(WPARAM, LPARAM);
    INT_PTR OnQuickCheck(WPARAM, LPARAM);
    void RunOnSet(engine::Mode mode, const wchar_t* title);
    // `several`, when given, lets the user choose more than one file: then
    // it lists them all (and `chosen` is the first).
    bool AskForFile(const std::wstring& filters, const wchar_t* title, std::string& chosen,
                    std::vector<std::string>* several = nullptr);
    // "about 2.9 MB for this file": the room recovery data of `percent` %
    // takes for the file in the Split field; empty when it is not known.
    std::string RecoveryRoomText(std::uint32_t percent);
    INT_PTR OnChooseFolder(WPARAM, LPARAM);
    INT_PTR OnDropFiles(WPARAM, LPARAM);
    void OpenNamedFile(const std::string& path);
    void SetDestination(const std::string& folder);

    // HalvardDlgCommands.cpp
    INT_PTR OnSizeCommand(WPARAM, LPARAM);
    INT_PTR OnCustomSizeChange(WPARAM, LPARAM);
    INT_PTR OnDrawItem(WPARAM, LPARAM);
    INT_PTR OnToggleSettings(WPARAM, LPARAM);
    INT_PTR OnSettingsDone(WPARAM, LPARAM);
    INT_PTR OnCheckUpdates(WPARAM, LPARAM);
    INT_PTR OnAbout(WPARAM, LPARAM);
    INT_PTR OnMoveToTray(WPARAM, LPARAM);
    INT_PTR OnRestore(WPARAM, LPARAM);
    INT_PTR OnTrayNotify(WPARAM, LPARAM);
    INT_PTR OnSysCommand(WPARAM, LPARAM);
    INT_PTR OnHelpContents(WPARAM, LPARAM);
    INT_PTR OnContextHelp(WPARAM, LPARAM);
    INT_PTR OnTaskbarCreated(WPARAM, LPARAM);
    INT_PTR OnWorkerCall(WPARAM, LPARAM);
    // Posted at start-up when the command line names several files.
    static constexpr UINT kOpenNamedFiles = WM_APP + 18;
    INT_PTR OnOpenNamedFiles(WPARAM, LPARAM);
    INT_PTR OnDpiChanged(WPARAM, LPARAM);
    // Runs the job on the worker, the window responsive meanwhile; the
    // controls come back only once the worker has ended.
    void RunToEnd(const engine::Job& job, const engine::EngineSettings& settings);
    void ChooseSize(unsigned command);
    // The custom field's text with the user's decimal separator as ".".
    std::string CustomSizeText() const;
    // Digits with at most one ".": what the custom field lets through.
    static bool IsSizeText(const std::string& normal);
    void SetAlwaysOnTop(bool onTop);
    // What the window remembers between starts: brought back once, written
    // as it changes.
    void RestoreRemembered();
    void Remember();
    void TogglePane();
    bool ForwardToPane(int command);
    void RefreshPlan();
    void DefaultRejoinDestination(const std::string& setFile);
    void ShowHelp(const std::string& topic);

    platform::Win32Platform platform_;
    settings::Win32Registry registry_;
    settings::SettingsStore store_;
    settings::CSettingsDlg pane_;
    FormState form_;
    StatusArea status_;
    PieceSizeChooser sizeChooser_;
    TrayIcon tray_;
    HelpLauncher help_;
    PaneSlide slide_;
    ToWindowThread toWindow_{*this};
    engine::ProgressSnapshot progress_;
    std::uint64_t progressShown_ = 0;  // reports of the snapshot already on screen
    // How often the window looks at the worker's progress.
    static constexpr UINT_PTR kProgressTimer = 0x5D2;
    static constexpr UINT kProgressInterval = 150;
    TaskbarProgress taskbar_;
    // What the status bar and caption showed before the run's figures.
    std::string statusBeforeRun_[2];
    std::string captionBeforeRun_;
    engine::OperationController controller_;

    HWND tooltip_ = nullptr;
    bool paneExpanded_ = true;
    bool paneShown_ = false;
    int margin_ = -1;
    bool alwaysOnTop_ = false;
    std::string customAccepted_;  // the custom field's last text that passed
    settings::Remembered remembered_;
    bool checkingUpdates_ = false;
    platform::ScopedMenu trayMenu_;
    platform::ScopedIcon bigIcon_;
    platform::ScopedIcon smallIcon_;
    std::uint32_t lastPieceSize_ = 0;  // of the split running or last run
    // The chosen file's size, as last measured, for the plan line.
    // While a queue runs: "2 of 5: " for the caption; empty otherwise.
    std::string queuePlace_;
    std::atomic<bool> queueRunning_{false};
    std::uint32_t queueNoticeRebuildable_ = 0;
    // What the file of the queue now running was told (a refusal, a failure):
    // said in the summary, so that a queue left alone is never held by a box.
    std::string queueSaid_;
    bool queueAllDone_ = false;                  // the last queue: every file done
    std::vector<std::string> automationFiles_;  // a client's, for its next Run
    // Whether the last Start got past its checks to a run.
    bool lastStartRan_ = false;
    // The source the recovery preview last measured.
    struct {
        std::string path;
        bool known = false;
        std::uint64_t size = 0;
    } roomSource_;
    std::uint64_t sourceSize_ = 0;
    bool sourceSizeKnown_ = false;
    // The user chose the rejoin's destination (now or at an earlier start).
    bool rejoinDestinationChosen_ = false;
    class CHalvardDlgAutoProxy* automation_ = nullptr;
    bool startedForAutomation_ = false;
    std::string fileToOpen_;
    std::vector<std::string> filesToOpen_;
};

}  // namespace app
