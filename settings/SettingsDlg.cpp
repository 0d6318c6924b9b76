#include "settings/SettingsDlg.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "engine/base/Texts.h"
#include "platform/win32/WideText.h"
#include "resources/resource.h"
#include "window/Choosers.h"

namespace settings {

window::MessageTable<CSettingsDlg> CSettingsDlg::Messages() {
    static constexpr window::MessageEntry<CSettingsDlg> kRows[] = {
        {WM_INITDIALOG, 0, &CSettingsDlg::OnInitDialog},
        {WM_COMMAND, IDOK, &CSettingsDlg::OnOk},
        {WM_COMMAND, IDCANCEL, &CSettingsDlg::OnCancel},
        {WM_COMMAND, IDC_BROWSE_STARTUP, &CSettingsDlg::OnBrowseStartup},
        {WM_COMMAND, IDC_BROWSE_WORKING, &CSettingsDlg::OnBrowseWorking},
        {WM_COMMAND, IDC_RECOVERY_PERCENT, &CSettingsDlg::OnRecoveryChange},
    };
    static_assert(window::EveryRowHasAHandler(kRows));
    return kRows;
}

namespace {
std::string EditText(HWND dialog, int id, int limit) {
    std::wstring text(static_cast<std::size_t>(limit) + 1, L'\0');
    text.resize(GetDlgItemTextW(dialog, id, text.data(), limit + 1));
    return platform::Narrow(text);
}
}  // namespace

CSettingsDlg::CSettingsDlg(SettingsStore& store, engine::Prompts& host)
    : DialogImpl(IDD_SETTINGS), store_(store), host_(host) {}

INT_PTR CSettingsDlg::OnInitDialog(WPARAM, LPARAM) {
    SendDlgItemMessageW(hwnd(), IDC_STARTUP_FOLDER, EM_LIMITTEXT, kPathBuffer - 1, 0);
    SendDlgItemMessageW(hwnd(), IDC_WORKING_FOLDER, EM_LIMITTEXT, kPathBuffer - 1, 0);
    SendDlgItemMessageW(hwnd(), IDC_RECOVERY_PERCENT, EM_LIMITTEXT, 3, 0);
    FillFolders();
    return TRUE;
}

void CSettingsDlg::FillFolders() {
    SetDlgItemTextW(hwnd(), IDC_STARTUP_FOLDER, platform::Widen(store_.record().startupFolder).c_str());
    SetDlgItemTextW(hwnd(), IDC_WORKING_FOLDER, platform::Widen(store_.record().workingFolder).c_str());
    CheckDlgButton(hwnd(), IDC_REMOVE_AFTER_REJOIN, store_.record().removeAfterRejoin ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd(), IDC_ERASE_REMOVABLE, store_.record().eraseRemovable ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextW(hwnd(), IDC_RECOVERY_PERCENT, std::to_wstring(store_.record().recoveryPercent).c_str());
    OnRecoveryChange(MAKEWPARAM(IDC_RECOVERY_PERCENT, EN_CHANGE), 0);
}

// The field takes digits only; more than 100 counts as 100.
int CSettingsDlg::RecoveryPercent() {
    const std::string text = EditText(hwnd(), IDC_RECOVERY_PERCENT, 3);
    return text.empty() ? 0 : std::min(std::atoi(text.c_str()), 100);
}

INT_PTR CSettingsDlg::OnRecoveryChange(WPARAM wParam, LPARAM) {
    if (HIWORD(wParam) != EN_CHANGE) return FALSE;
    const std::string room = roomText_ ? roomText_(static_cast<std::uint32_t>(RecoveryPercent())) : std::string();
    SetDlgItemTextW(hwnd(), IDC_RECOVERY_ROOM, platform::Widen(room).c_str());
    return TRUE;
}

void CSettingsDlg::ReadChecks() {
    store_.record().removeAfterRejoin = IsDlgButtonChecked(hwnd(), IDC_REMOVE_AFTER_REJOIN) == BST_CHECKED;
    store_.record().eraseRemovable = IsDlgButtonChecked(hwnd(), IDC_ERASE_REMOVABLE) == BST_CHECKED;
}

INT_PTR CSettingsDlg::OnOk(WPARAM, LPARAM) {
    SettingsRecord edited = store_.record();
    edited.removeAfterRejoin = IsDlgButtonChecked(hwnd(), IDC_REMOVE_AFTER_REJOIN) == BST_CHECKED;
    edited.eraseRemovable = IsDlgButtonChecked(hwnd(), IDC_ERASE_REMOVABLE) == BST_CHECKED;
    edited.workingFolder = EditText(hwnd(), IDC_WORKING_FOLDER, kPathBuffer - 1);
    edited.startupFolder = EditText(hwnd(), IDC_STARTUP_FOLDER, kPathBuffer - 1);
    edited.recoveryPercent = RecoveryPercent();
    // A folder refused stays in its field, for the user to correct.
    if (!store_.Save(edited, host_)) return TRUE;
    PostMessageW(GetParent(hwnd()), WM_SETTINGS_DONE, 0, 0);
    return TRUE;
}

INT_PTR CSettingsDlg::OnCancel(WPARAM, LPARAM) {
    PostMessageW(GetParent(hwnd()), WM_SETTINGS_DONE, kSettingsCancelled, 0);
    return TRUE;
}

INT_PTR CSettingsDlg::OnBrowseStartup(WPARAM, LPARAM) {
    Browse(IDC_STARTUP_FOLDER);
    return TRUE;
}

INT_PTR CSettingsDlg::OnBrowseWorking(WPARAM, LPARAM) {
    Browse(IDC_WORKING_FOLDER);
    return TRUE;
}

void CSettingsDlg::Browse(int edit) {
    std::string folder;
    const window::Browsed browsed = window::BrowseForFolder(hwnd(), "Choose a startup folder", folder);
    if (browsed == window::Browsed::Chosen) {
        SetDlgItemTextW(hwnd(), edit, platform::Widen(folder).c_str());
        ReadChecks();
    } else if (browsed == window::Browsed::NoPath) {
        host_.Tell(texts::kPathTooLong);
    }
}

}  // namespace settings
