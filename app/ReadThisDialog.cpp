#include "app/ReadThisDialog.h"

#include "engine/Texts.h"
#include "resources/resource.h"

namespace app {

const window::MessageEntry<ReadThisDialog> ReadThisDialog::kMessages[3] = {
    {WM_INITDIALOG, 0, &ReadThisDialog::OnInitDialog},
    {WM_COMMAND, IDOK, &ReadThisDialog::OnClose},
    {WM_COMMAND, IDCANCEL, &ReadThisDialog::OnClose},
};

ReadThisDialog::ReadThisDialog() : DialogImpl(IDD_READ_THIS) {}

INT_PTR ReadThisDialog::OnInitDialog(WPARAM, LPARAM) {
    SetDlgItemTextA(hwnd(), IDC_NOTICE_1, texts::kNoticeLine1);
    SetDlgItemTextA(hwnd(), IDC_NOTICE_2, texts::kNoticeLine2);
    SetDlgItemTextA(hwnd(), IDC_NOTICE_3, texts::kNoticeLine3);
    return TRUE;
}

INT_PTR ReadThisDialog::OnClose(WPARAM, LPARAM) {
    End(IDOK);
    return TRUE;
}

}  // namespace app
