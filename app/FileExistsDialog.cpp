#include "app/FileExistsDialog.h"

#include "platform/win32/WideText.h"
#include "resources/resource.h"

namespace app {

namespace {
constexpr int kMaxPath = 260;
}

const window::MessageEntry<FileExistsDialog> FileExistsDialog::kMessages[3] = {
    {WM_INITDIALOG, 0, &FileExistsDialog::OnInitDialog},
    {WM_COMMAND, IDOK, &FileExistsDialog::OnOk},
    {WM_COMMAND, IDCANCEL, &FileExistsDialog::OnCancel},
};

FileExistsDialog::FileExistsDialog(std::string path)
    : DialogImpl(IDD_FILE_EXISTS), path_(std::move(path)) {}

engine::FileExistsAnswer FileExistsDialog::Ask(HWND owner, std::string& path) {
    FileExistsDialog dialog(path);
    if (dialog.DoModal(owner) != IDOK) return engine::FileExistsAnswer::Overwrite;
    path = dialog.path();
    return engine::FileExistsAnswer::Rename;
}

INT_PTR FileExistsDialog::OnInitDialog(WPARAM, LPARAM) {
    SendMessageW(Item(IDC_SOURCE_PATH), EM_LIMITTEXT, kMaxPath, 0);
    SetDlgItemTextW(hwnd(), IDC_SOURCE_PATH, platform::Widen(path_).c_str());
    return TRUE;
}

INT_PTR FileExistsDialog::OnOk(WPARAM, LPARAM) {
    wchar_t text[kMaxPath + 1] = {};
    GetDlgItemTextW(hwnd(), IDC_SOURCE_PATH, text, kMaxPath + 1);
    path_ = platform::Narrow(text);
    End(IDOK);
    return TRUE;
}

INT_PTR FileExistsDialog::OnCancel(WPARAM, LPARAM) {
    End(IDCANCEL);
    return TRUE;
}

}  // namespace app
