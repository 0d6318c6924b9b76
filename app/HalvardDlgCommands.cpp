// The main window's commands: the piece size, the settings pane, the update
// check, the tray, help, the About box, the system menu, and automation.
#include "app/HalvardDlg.h"

#include "app/AboutDialog.h"
#include "app/AutoProxy.h"
#include "app/HelpTopics.h"
#include "engine/set/PiecePlan.h"
#include "engine/base/Format.h"
#include "engine/set/RecoveryPlan.h"
#include "engine/base/Texts.h"
#include "platform/win32/WideText.h"
#include "resources/resource.h"
#include "update/VersionDialog.h"
#include "update/VersionText.h"
#include "window/WindowText.h"

#include <algorithm>

namespace app {

using window::Compact;

// --- piece size ------------------------------------------------------------

std::string CHalvardDlg::RecoveryRoomText(std::uint32_t percent) {
    if (percent == 0 || !form_.split()) return std::string();
    const std::string source = Text(IDC_SOURCE_PATH);
    // The source's size is looked up once for its path, not on every edit
    // of the percentage: the file may lie on a slow disk.
    if (source != roomSource_.path) {
        engine::FileStatus status;
        roomSource_.path = source;
        roomSource_.known = !source.empty() && platform_.Status(source, status) == engine::err::kNone &&
                            status.kind == engine::FileKind::Regular;
        roomSource_.size = roomSource_.known ? status.size : 0;
    }
    if (!roomSource_.known) return std::string();
    engine::FileStatus status;
    status.size = roomSource_.size;
    engine::SizeChoice size = form_.size();
    size.customText = CustomSizeText();
    std::uint32_t pieceSize = 0;
    if (!engine::ResolvePieceSize(size, status.size, pieceSize).ok || !engine::CheckPieceSize(status.size, pieceSize).ok) {
        return std::string();
    }
    const auto count = static_cast<std::uint32_t>(engine::CountPieces(status.size, pieceSize));
    engine::RecoveryPlan plan;
    if (!engine::PlanRecovery(engine::FileNamePart(platform_, source), status.size, count, pieceSize,
                              std::min<std::uint32_t>(percent, engine::kMaxRecoveryPercent), plan)
             .empty()) {
        return texts::kRecoveryNotHere;
    }
    return engine::Fill(texts::kRecoveryRoom, engine::ReadableSize(plan.TotalSize()));
}

void CHalvardDlg::ChooseSize(unsigned command) {
    const SizeCommand* entry = form_.ChooseSize(command);
    if (!entry) return;
    sizeChooser_.Check(entry->command);
    ShowCustomSize(entry->custom);
    RefreshStatusBar(entry->status, true);
    if (entry->custom) {
        SetText(IDC_UNIT_LABEL, entry->label);
        SetFocus(Item(IDC_CUSTOM_SIZE));
    } else {
        // Back where the menu was opened from, as a drop-down leaves it.
        SetFocus(sizeChooser_.hwnd());
    }
}

// A preset or a unit, from the size button's menu or its click.
INT_PTR CHalvardDlg::OnSizeCommand(WPARAM wParam, LPARAM) {
    // The button's mnemonic (Alt held) only takes the focus there, as a
    // label's does: the size stays what it was.
    if (LOWORD(wParam) == IDC_SIZE_BUTTON && GetKeyState(VK_MENU) < 0) {
        SetFocus(sizeChooser_.hwnd());
        return TRUE;
    }
    if (form_.split()) ChooseSize(LOWORD(wParam));
    return TRUE;
}

namespace {
std::string DecimalSeparator() {
    wchar_t separator[8] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    return platform::Narrow(separator);
}

// A size as typed, with the user's decimal separator as ".".
std::string WithPoint(std::string text) {
    const std::string separator = DecimalSeparator();
    if (separator.empty() || separator == ".") return text;
    for (std::size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, at + 1)) {
        text.replace(at, separator.size(), ".");
    }
    return text;
}
}  // namespace

std::string CHalvardDlg::CustomSizeText() const { return WithPoint(Text(IDC_CUSTOM_SIZE)); }

bool CHalvardDlg::IsSizeText(const std::string& normal) {
    return normal.find_first_not_of("0123456789.") == std::string::npos &&
           std::count(normal.begin(), normal.end(), '.') <= 1;
}

// The custom size takes digits and one decimal separator, in the user's
// form or as ".". Anything else is refused as it is typed, aloud: the field
// goes back to what it held, never to a number the user did not type.
INT_PTR CHalvardDlg::OnCustomSizeChange(WPARAM wParam, LPARAM) {
    if (HIWORD(wParam) != EN_CHANGE) return FALSE;
    const std::string typed = Text(IDC_CUSTOM_SIZE);
    if (IsSizeText(CustomSizeText())) {
        customAccepted_ = typed;
        RefreshPlan();
        return TRUE;
    }
    HWND edit = Item(IDC_CUSTOM_SIZE);
    SetText(IDC_CUSTOM_SIZE, customAccepted_);
    SendMessageW(edit, EM_SETSEL, customAccepted_.size(), customAccepted_.size());
    const std::wstring message = platform::Widen(engine::Fill(texts::kSizeCharacters, DecimalSeparator()));
    EDITBALLOONTIP tip{sizeof tip, L"Piece size", message.c_str(), TTI_ERROR};
    if (!SendMessageW(edit, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip))) {
        Tell(platform::Narrow(message.c_str()));
    }
    return TRUE;
}

INT_PTR CHalvardDlg::OnDrawItem(WPARAM wParam, LPARAM lParam) {
    if (wParam != IDC_SIZE_BUTTON) return FALSE;
    sizeChooser_.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    return TRUE;
}

// --- settings pane -----------------------------------------------------------

INT_PTR CHalvardDlg::OnToggleSettings(WPARAM, LPARAM) {
    if (controller_.running()) return TRUE;
    TogglePane();
    return TRUE;
}

void CHalvardDlg::TogglePane() {
    paneExpanded_ = !paneExpanded_;
    RECT w, p;
    GetWindowRect(hwnd(), &w);
    GetWindowRect(Item(IDC_PANE_PLACE), &p);
    if (margin_ < 0) margin_ = w.bottom - p.bottom;
    const int change = p.bottom - p.top + margin_;
    paneShown_ = paneExpanded_;
    if (paneExpanded_) pane_.FillFolders();
    // Focus never stays on a hidden control: the dialog manager would look
    // for the next one among hidden windows for ever.
    HWND focus = GetFocus();
    if (!paneExpanded_ && focus && IsChild(pane_.hwnd(), focus)) {
        SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetNextDlgTabItem(hwnd(), nullptr, FALSE)), TRUE);
    }
    ShowWindow(pane_.hwnd(), paneExpanded_ ? SW_SHOW : SW_HIDE);
    slide_.Start(hwnd(), paneExpanded_ ? change : -change);
}

INT_PTR CHalvardDlg::OnSettingsDone(WPARAM wParam, LPARAM) {
    if (paneShown_) TogglePane();
    if (wParam == settings::kSettingsCancelled) return TRUE;
    // The recovery share may have changed: the plan line says it.
    struct Refresh {
        CHalvardDlg& dlg;
        ~Refresh() { dlg.RefreshPlan(); }
    } refresh{*this};
    // A destination the user chose stays; one that was the working folder
    // (or none) follows the new working folder.
    const std::string previous = store_.record().workingFolder;
    store_.Reload();
    const std::string& working = store_.record().workingFolder;
    const std::string shown = Text(IDC_DESTINATION_PATH);
    if (shown.empty() || shown == previous) SetDestination(working);
    form_.UseWorkingFolder(working, previous);
    return TRUE;
}

// The window stays responsive while the check runs; it starts no operation
// and no second check meanwhile.
INT_PTR CHalvardDlg::OnCheckUpdates(WPARAM, LPARAM) {
    if (controller_.running() || checkingUpdates_) return TRUE;
    checkingUpdates_ = true;
    EnableControls(false);
    update::CheckForUpdates(hwnd(), update::kMakerServer);
    EnableControls(true);
    checkingUpdates_ = false;
    return TRUE;
}

INT_PTR CHalvardDlg::OnAbout(WPARAM, LPARAM) {
    AboutDialog().DoModal(hwnd());
    return TRUE;
}

// --- tray ------------------------------------------------------------------

INT_PTR CHalvardDlg::OnMoveToTray(WPARAM, LPARAM) {
    const bool shown = tray_.Show(hwnd(), LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)),
                                  "Restore window");
    // Without an icon (no notification area, say) a hidden window could not
    // be brought back; it goes to the taskbar instead.
    ShowWindow(hwnd(), shown ? SW_HIDE : SW_MINIMIZE);
    return TRUE;
}

INT_PTR CHalvardDlg::OnRestore(WPARAM, LPARAM) {
    ShowWindow(hwnd(), SW_SHOWNORMAL);
    tray_.Hide();
    SetForegroundWindow(hwnd());
    return TRUE;
}

INT_PTR CHalvardDlg::OnTaskbarCreated(WPARAM, LPARAM) {
    tray_.Restore();
    taskbar_.Attach(hwnd());
    return TRUE;
}

INT_PTR CHalvardDlg::OnTrayNotify(WPARAM wParam, LPARAM lParam) {
    if (wParam != tray_.id()) return TRUE;
    if (lParam == WM_RBUTTONUP) {
        if (!trayMenu_.get()) trayMenu_.Reset(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAY_MENU)));
        HMENU popup = GetSubMenu(trayMenu_.get(), 0);
        SetMenuDefaultItem(popup, 0, TRUE);
        POINT at;
        GetCursorPos(&at);
        SetForegroundWindow(hwnd());
        TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd(), nullptr);
        // Without a message after it, a tray menu can stay open after a click
        // elsewhere and swallow the next click on the icon.
        PostMessageW(hwnd(), WM_NULL, 0, 0);
    } else if (lParam == WM_LBUTTONDBLCLK) {
        PostMessageW(hwnd(), WM_COMMAND, ID_TRAY_RESTORE, 0);
        SetForegroundWindow(hwnd());
    }
    return TRUE;
}

// --- system menu, help -------------------------------------------------------

void CHalvardDlg::SetAlwaysOnTop(bool onTop) {
    SetWindowPos(hwnd(), onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    // The flag follows the window's state; reading the style back is not
    // reliable on every window manager.
    alwaysOnTop_ = onTop;
    remembered_.alwaysOnTop = onTop;
    CheckMenuItem(GetSystemMenu(hwnd(), FALSE), IDM_ALWAYS_ON_TOP, MF_BYCOMMAND | (onTop ? MF_CHECKED : MF_UNCHECKED));
}

void CHalvardDlg::RestoreRemembered() {
    remembered_ = store_.LoadRemembered();
    if (remembered_.alwaysOnTop) SetAlwaysOnTop(true);
    if (const unsigned command = SizeCommandForName(remembered_.pieceSize)) {
        ChooseSize(command);
        // A stored text the field would refuse (a hand-edited value) is not
        // brought back: no question at every start.
        if (form_.size().custom && IsSizeText(WithPoint(remembered_.customSize))) {
            SetText(IDC_CUSTOM_SIZE, remembered_.customSize);
        }
    }
    if (!remembered_.destination.empty() && platform_.IsFolder(remembered_.destination)) {
        SetDestination(remembered_.destination);
    }
    if (!remembered_.rejoinDestination.empty() && platform_.IsFolder(remembered_.rejoinDestination)) {
        rejoinDestinationChosen_ = true;
        if (form_.split()) {
            form_.SetOtherDestination(remembered_.rejoinDestination);
        } else {
            SetDestination(remembered_.rejoinDestination);
        }
    }
}

void CHalvardDlg::Remember() { store_.Remember(remembered_); }

INT_PTR CHalvardDlg::OnSysCommand(WPARAM wParam, LPARAM) {
    switch (wParam & 0xFFF0) {
        case IDM_ABOUTBOX:
            AboutDialog().DoModal(hwnd());
            return TRUE;
        case IDM_ALWAYS_ON_TOP:
            SetAlwaysOnTop(!alwaysOnTop_);
            Remember();
            return TRUE;
        default:
            return FALSE;  // the system's own handling
    }
}

// Help goes to the file beside the program.
void CHalvardDlg::ShowHelp(const std::string& topic) { help_.Open(store_.record().installedPath + topic); }

INT_PTR CHalvardDlg::OnHelpContents(WPARAM, LPARAM) {
    ShowHelp(kHelpFile);
    return TRUE;
}

INT_PTR CHalvardDlg::OnContextHelp(WPARAM, LPARAM lParam) {
    const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
    for (const std::string& topic :
         HelpTopicsFor(info->iCtrlId, info->iContextType == HELPINFO_MENUITEM, form_.split())) {
        ShowHelp(topic);
    }
    return TRUE;
}

// --- automation ------------------------------------------------------------

void CHalvardDlg::Attach(CHalvardDlgAutoProxy* proxy) { automation_ = proxy; }

void CHalvardDlg::Detach(CHalvardDlgAutoProxy* proxy) {
    if (automation_ != proxy) return;
    automation_ = nullptr;
    // Started only to serve that client: it is done.
    if (startedForAutomation_ && hwnd()) End(IDCANCEL);
}

bool CHalvardDlg::Run() {
    if (controller_.running()) return false;
    if (!automationFiles_.empty()) {
        const std::vector<std::string> files = std::move(automationFiles_);
        automationFiles_.clear();
        QueueDropped(files);
        return queueAllDone_;
    }
    return StartOperation();
}

void CHalvardDlg::AddFile(const std::string& path) {
    if (controller_.running() || path.empty()) return;
    automationFiles_.push_back(path);
}

void CHalvardDlg::SourceFile(const std::string& path) {
    if (controller_.running()) return;
    OpenNamedFile(path);
}

void CHalvardDlg::Destination(const std::string& path) {
    if (controller_.running()) return;
    if (!engine::IsFolder(platform_, path)) {
        Tell(texts::kNotAFolder);
        return;
    }
    SetDestination(path);
}

// Like the piece-size menu, but in either mode, and with the value put into
// the custom-size field.
void CHalvardDlg::Size(const std::string& unit, long value) {
    if (controller_.running()) return;
    const unsigned command = SizeCommandForName(unit);
    if (command == 0) return;
    ChooseSize(command);
    if (form_.size().custom) SetDlgItemInt(hwnd(), IDC_CUSTOM_SIZE, static_cast<UINT>(value), TRUE);
}

}  // namespace app
