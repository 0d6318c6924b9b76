#include "update/VersionDialog.h"

#include <shellapi.h>

#include "resources/resource.h"
#include "update/UrlFetcher.h"
#include "update/VersionText.h"

namespace update {

void OpenWithShell(const std::string& address) {
    ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

const window::MessageEntry<VersionDialog> VersionDialog::kMessages[4] = {
    {WM_INITDIALOG, 0, &VersionDialog::OnInitDialog},
    {WM_COMMAND, IDC_GET_LATEST, &VersionDialog::OnGetLatest},
    {WM_COMMAND, IDOK, &VersionDialog::OnClose},
    {WM_COMMAND, IDCANCEL, &VersionDialog::OnClose},
};

VersionDialog::VersionDialog(std::string latest, std::string updatePage, PageOpener opener)
    : DialogImpl(IDD_VERSION), latest_(std::move(latest)), updatePage_(std::move(updatePage)), opener_(std::move(opener)) {}

INT_PTR VersionDialog::OnInitDialog(WPARAM, LPARAM) {
    SetDlgItemTextA(hwnd(), IDC_LATEST_VERSION, latest_.c_str());
    return TRUE;
}

INT_PTR VersionDialog::OnGetLatest(WPARAM, LPARAM) {
    opener_(updatePage_);  // the dialog stays open
    return TRUE;
}

INT_PTR VersionDialog::OnClose(WPARAM, LPARAM) {
    End(IDOK);
    return TRUE;
}

void CheckForUpdates(HWND owner, const std::string& server, PageOpener opener, unsigned long timeoutMs) {
    UrlFetcher fetcher(server + kVersionPath, 1024);
    fetcher.SetTimeout(timeoutMs);
    fetcher.Run();
    VersionDialog dialog(LatestVersionText(fetcher.body()), server + kUpdatePagePath, std::move(opener));
    dialog.DoModal(owner);
}

}  // namespace update
