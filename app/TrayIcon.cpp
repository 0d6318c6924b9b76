#include "app/TrayIcon.h"

#include "platform/win32/WideText.h"

namespace app {

TrayIcon::TrayIcon(UINT id, UINT callbackMessage)
    : id_(id), callbackMessage_(callbackMessage), taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {}

TrayIcon::~TrayIcon() { Hide(); }

NOTIFYICONDATAW TrayIcon::Record() const {
    NOTIFYICONDATAW icon{};
    icon.cbSize = NOTIFYICONDATAW_V1_SIZE;
    icon.hWnd = owner_;
    icon.uID = id_;
    return icon;
}

bool TrayIcon::Notify(DWORD message, NOTIFYICONDATAW& icon) {
    if (notifier_) return notifier_(message, &icon);
    return Shell_NotifyIconW(message, &icon) != FALSE;
}

bool TrayIcon::Show(HWND owner, HICON icon, const std::string& tip) {
    owner_ = owner;
    icon_ = icon;
    tip_ = platform::Widen(tip);
    NOTIFYICONDATAW record = Record();
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = callbackMessage_;
    record.hIcon = icon_;
    lstrcpynW(record.szTip, tip_.c_str(), sizeof record.szTip / sizeof record.szTip[0]);
    // Asked again while it is there, the icon is brought up to date: a
    // second NIM_ADD would fail and leave the window with no way back.
    shown_ = (shown_ && Notify(NIM_MODIFY, record)) || Notify(NIM_ADD, record);
    return shown_;
}

void TrayIcon::Hide() {
    if (!shown_) return;
    NOTIFYICONDATAW record = Record();
    Notify(NIM_DELETE, record);
    shown_ = false;
}

// A restarted shell knows no icons: this one is added anew.
void TrayIcon::Restore() {
    if (!shown_) return;
    shown_ = false;
    Show(owner_, icon_, platform::Narrow(tip_));
}

}  // namespace app
