#include "update/VersionDialog.h"

#include <shellapi.h>

#include <atomic>
#include <thread>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/WideText.h"
#include "window/MessagePump.h"
#include "resources/resource.h"
#include "window/WindowText.h"
#include "update/UrlFetcher.h"
#include "update/VersionText.h"

namespace update {

bool OpenWithShell(const std::string& address) {
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", platform::Widen(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    // ShellExecute's documented success: a value greater than 32.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

window::MessageTable<VersionDialog> VersionDialog::Messages() {
    static constexpr window::MessageEntry<VersionDialog> kRows[] = {
        {WM_INITDIALOG, 0, &VersionDialog::OnInitDialog},
        {WM_COMMAND, IDC_GET_LATEST, &VersionDialog::OnGetLatest},
        {WM_COMMAND, IDOK, &VersionDialog::OnClose},
        {WM_COMMAND, IDCANCEL, &VersionDialog::OnClose},
    };
    static_assert(window::EveryRowHasAHandler(kRows));
    return kRows;
}

VersionDialog::VersionDialog(std::string latest, std::string updatePage, PageOpener opener, std::string problem)
    : DialogImpl(IDD_VERSION),
      latest_(std::move(latest)),
      updatePage_(std::move(updatePage)),
      problem_(std::move(problem)),
      opener_(std::move(opener)) {}

// The read-only field is for reading: the focus goes to "Get later", so
// that the field shows its text from the start instead of a selection
// scrolled to its end.
INT_PTR VersionDialog::OnInitDialog(WPARAM, LPARAM) {
    window::SetItemText(hwnd(), IDC_LATEST_VERSION, latest_);
    window::SetItemText(hwnd(), IDC_VERSION_PROBLEM, problem_);
    SetFocus(Item(IDOK));
    return FALSE;
}

INT_PTR VersionDialog::OnGetLatest(WPARAM, LPARAM) {
    // The dialog stays open either way.
    if (!opener_(updatePage_)) {
        std::string text = kPageNotOpened;
        text.replace(text.find("%1"), 2, updatePage_);
        MessageBoxW(hwnd(), platform::Widen(text).c_str(), platform::Widen(kPageNotOpenedCaption).c_str(),
                    MB_OK | MB_ICONINFORMATION);
    }
    return TRUE;
}

INT_PTR VersionDialog::OnClose(WPARAM, LPARAM) {
    End(IDOK);
    return TRUE;
}

void CheckForUpdates(HWND owner, const std::string& server, PageOpener opener, unsigned long timeoutMs) {
    UrlFetcher fetcher(server + kVersionPath, 1024);
    fetcher.SetTimeout(timeoutMs);
    const platform::ScopedHandle fetched(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<bool> done{false};
    std::thread fetch([&] {
        fetcher.Run();
        done = true;
        SetEvent(fetched.get());
    });
    window::PumpUntil(owner, fetched.get(), [&] { return done.load(); });
    fetch.join();
    std::string problem;
    if (fetcher.body().empty() && !fetcher.errorText().empty()) {
        problem = fetcher.errorText();
        // The system's own texts often end in a full stop already.
        if (problem.back() != '.') problem += '.';
    }
    VersionDialog dialog(LatestVersionText(fetcher.body()), server + kUpdatePagePath, std::move(opener), problem);
    dialog.DoModal(owner);
}

}  // namespace update
