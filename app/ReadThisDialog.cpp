#include "app/ReadThisDialog.h"

#include "engine/set/RecoveryPlan.h"
#include "engine/base/Texts.h"
#include "resources/resource.h"
#include "window/WindowText.h"

namespace app {

window::MessageTable<ReadThisDialog> ReadThisDialog::Messages() {
    static constexpr window::MessageEntry<ReadThisDialog> kRows[] = {
        {WM_INITDIALOG, 0, &ReadThisDialog::OnInitDialog},
        {WM_COMMAND, IDOK, &ReadThisDialog::OnClose},
        {WM_COMMAND, IDCANCEL, &ReadThisDialog::OnClose},
    };
    static_assert(window::EveryRowHasAHandler(kRows));
    return kRows;
}

ReadThisDialog::ReadThisDialog(std::uint32_t rebuildable) : DialogImpl(IDD_READ_THIS), rebuildable_(rebuildable) {}

INT_PTR ReadThisDialog::OnInitDialog(WPARAM, LPARAM) {
    window::SetItemText(hwnd(), IDC_NOTICE_1, texts::kNoticeLine1);
    window::SetItemText(hwnd(), IDC_NOTICE_2, texts::kNoticeLine2);
    window::SetItemText(hwnd(), IDC_NOTICE_3, texts::kNoticeLine3);
    if (rebuildable_ > 0) {
        window::SetItemText(hwnd(), IDC_NOTICE_RECOVERY, engine::RebuildableText(rebuildable_));
        window::SetItemText(hwnd(), IDC_NOTICE_RECOVERY_FILES, texts::kNoticeRecoveryFiles);
    }
    return TRUE;
}

INT_PTR ReadThisDialog::OnClose(WPARAM, LPARAM) {
    End(IDOK);
    return TRUE;
}

}  // namespace app
