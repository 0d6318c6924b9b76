// The icon in the notification area while the main window is hidden there.
// It goes with its owner, and comes back when the shell restarts (the
// shell's "TaskbarCreated" message), so a hidden program never loses its
// way back.
#pragma once

#include <functional>
#include <string>

#include "platform/win32/WinApi.h"

#include <shellapi.h>

namespace app {

class TrayIcon {
public:
    // Hands a record to the shell; by default Shell_NotifyIconW. Tests
    // observe the records, or play a shell without a notification area.
    using Notifier = std::function<bool(DWORD message, NOTIFYICONDATAW* icon)>;

    TrayIcon(UINT id, UINT callbackMessage);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // False when the shell takes no icon (no notification area).
    bool Show(HWND owner, HICON icon, const std::string& tip);
    void Hide();
    bool shown() const { return shown_; }
    // The shell's restart message, registered by name.
    UINT taskbarCreated() const { return taskbarCreated_; }
    // After a restart of the shell: the icon again, if one was shown.
    void Restore();
    void SetNotifier(Notifier notifier) { notifier_ = std::move(notifier); }
    UINT id() const { return id_; }

private:
    bool Notify(DWORD message, NOTIFYICONDATAW& icon);
    NOTIFYICONDATAW Record() const;

    UINT id_;
    UINT callbackMessage_;
    UINT taskbarCreated_;
    HWND owner_ = nullptr;
    HICON icon_ = nullptr;
    std::wstring tip_;
    bool shown_ = false;
    Notifier notifier_;
};

}  // namespace app
