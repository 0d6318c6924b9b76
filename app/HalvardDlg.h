// The program's main window: mode, source, destination and piece size, the
// status bar with the progress bar, the settings pane, and the engines' host.
#pragma once

#include <functional>
#include <string>

#include "app/StartupRules.h"
#include "app/WindowHost.h"
#include "controls/MenuButton.h"
#include "engine/Controller.h"
#include "platform/win32/Win32Platform.h"
#include "settings/SettingsDlg.h"
#include "settings/Win32Registry.h"
#include "window/Dialog.h"

#include <shellapi.h>

namespace app {

// Posted by the tray icon.
inline constexpr UINT WM_TRAYNOTIFY = WM_USER + 52;
inline constexpr UINT kTrayIconId = 143;

class CHalvardDlg : public window::DialogImpl<CHalvardDlg>, public WindowHost {
public:
    explicit CHalvardDlg(const CommandLine& line);
    ~CHalvardDlg() override;

    // The one main window of the process, for the automation object.
    static CHalvardDlg* Instance();
    void AttachAutomation(class CHalvardDlgAutoProxy* proxy);
    void DetachAutomation(class CHalvardDlgAutoProxy* proxy);
    bool AutomationRun();
    void AutomationSourceFile(const std::string& path);
    void AutomationDestination(const std::string& path);
    void AutomationSize(const std::string& unit, long value);

    static const window::MessageEntry<CHalvardDlg> kMessages[34];

    // Opens a help path; by default HTML Help's display-topic call, owned by
    // the desktop. Tests observe the requests here.
    using HelpOpener = std::function<void(const std::string& path)>;
    void SetHelpOpener(HelpOpener opener) { helpOpener_ = std::move(opener); }

    // Hands the tray icon to the shell; by default Shell_NotifyIconA. Tests
    // observe the records, or play a shell without a notification area.
    using TrayNotifier = std::function<bool(DWORD message, NOTIFYICONDATAA* icon)>;
    void SetTrayNotifier(TrayNotifier notifier) { trayNotifier_ = std::move(notifier); }

    // The engines' progress and events, as the window shows them. They
    // arrive from the worker; every call reaches the window synchronously.
    void Report(std::uint64_t done, std::uint64_t total, const std::string& text) override;
    void Started(engine::Mode mode) override;
    void Finished(engine::Mode mode, engine::Outcome outcome) override;
    void ShowSplitNotice() override;

private:
    INT_PTR OnInitDialog(WPARAM, LPARAM);
    INT_PTR OnChooseFile(WPARAM, LPARAM);
    INT_PTR OnCancelCommand(WPARAM, LPARAM);
    INT_PTR OnSplitMode(WPARAM, LPARAM);
    INT_PTR OnRejoinMode(WPARAM, LPARAM);
    INT_PTR OnChooseFolder(WPARAM, LPARAM);
    INT_PTR OnStart(WPARAM, LPARAM);
    INT_PTR OnToggleSettings(WPARAM, LPARAM);
    INT_PTR OnSettingsDone(WPARAM, LPARAM);
    INT_PTR OnPreset(WPARAM, LPARAM);
    INT_PTR OnUnit(WPARAM, LPARAM);
    INT_PTR OnCustomSizeChange(WPARAM, LPARAM);
    INT_PTR OnDropFiles(WPARAM, LPARAM);
    INT_PTR OnDrawItem(WPARAM, LPARAM);
    INT_PTR OnClose(WPARAM, LPARAM);
    INT_PTR OnQueryDragIcon(WPARAM, LPARAM);
    INT_PTR OnPaint(WPARAM, LPARAM);
    INT_PTR OnCheckUpdates(WPARAM, LPARAM);
    INT_PTR OnAbout(WPARAM, LPARAM);
    INT_PTR OnMoveToTray(WPARAM, LPARAM);
    INT_PTR OnRestore(WPARAM, LPARAM);
    INT_PTR OnTrayNotify(WPARAM, LPARAM);
    INT_PTR OnSysCommand(WPARAM, LPARAM);
    INT_PTR OnHelpContents(WPARAM, LPARAM);
    INT_PTR OnContextHelp(WPARAM, LPARAM);
    INT_PTR OnDestroy(WPARAM, LPARAM);
    void ShowHelp(const std::string& topic);
    void RemoveTrayIcon();
    bool NotifyTray(DWORD message, NOTIFYICONDATAA* icon);

    bool StartOperation();
    void SetProgressStep(int step);
    void SetProgress(int percent);
    void ShowProgress(bool visible);
    void SetProgressText(const std::string& text);
    void EnableControls(bool enable);
    void RefreshStatusBar(const std::string& text, int pane);
    void ShowCustomSize(bool visible);
    void CollapseSettings();
    void UseWorkingFolder(const std::string& folder);
    void ShowSourceSize(std::uint64_t bytes);
    void SetText(int id, const std::string& text);
    void ApplyPreset(UINT command);
    void ApplyUnit(UINT command);
    void SwitchMode(bool split);
    void ApplyModeLook(bool split);
    void ExchangeModeValues(int mode);
    void RefreshFileSize(const std::string& path);
    void OpenNamedFile();
    void TogglePane();
    void SetStatus(int part, const std::string& text);
    void SetCaption(const std::string& text);
    void CheckSizeItem(UINT command);
    // A control's text at its real length, in UTF-8.
    std::string Text(int id) const;
    RECT ClientRectOf(int id) const;
    void CreateStatusBar();
    void CreateTooltips();

    platform::Win32Platform platform_;
    settings::Win32Registry registry_;
    settings::SettingsStore store_;
    settings::CSettingsDlg pane_;
    controls::MenuButton sizeButton_;
    engine::SizeChoice size_;  // the piece size chosen in split mode
    engine::OperationController controller_;

    HWND status_ = nullptr;
    HWND progress_ = nullptr;
    HWND tooltip_ = nullptr;
    int mode_ = 1;        // 1 Split, 0 Rejoin
    int loadedMode_ = 1;  // the mode whose values are in the fields
    std::string otherSource_, otherDestination_;
    bool paneExpanded_ = true;
    bool paneShown_ = false;
    int margin_ = -1;
    bool alwaysOnTop_ = false;
    bool trayIconShown_ = false;
    HMENU trayMenu_ = nullptr;
    HelpOpener helpOpener_;
    TrayNotifier trayNotifier_;
    class CHalvardDlgAutoProxy* automation_ = nullptr;
    bool startedForAutomation_ = false;
    std::string fileToOpen_;
    bool openAtStartup_ = false;
};

}  // namespace app
