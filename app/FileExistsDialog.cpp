#include "app/FileExistsDialog.h"

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

engine::Host::FileExists FileExistsDialog::Ask(HWND owner, std::string& path) {
    FileExistsDialog dialog(path);
    if (dialog.DoModal(owner) != IDOK) return engine::Host::FileExists::Overwrite;
    path = dialog.path();
    return engine::Host::FileExists::Rename;
}

INT_PTR FileExistsDialog::OnInitDialog(WPARAM, LPARAM) {
    SendMessageA(Item(IDC_SOURCE_PATH), EM_LIMITTEXT, kMaxPath, 0);
    SetDlgItemTextA(hwnd(), IDC_SOURCE_PATH, path_.c_str());
    return TRUE;
}

INT_PTR FileExistsDialog::OnOk(WPARAM, LPARAM) {
    char text[kMaxPath + 1] = {};
    GetDlgItemTextA(hwnd(), IDC_SOURCE_PATH, text, sizeof text);
    path_ = text;
    End(IDOK);
    return TRUE;
}

INT_PTR FileExistsDialog::OnCancel(WPARAM, LPARAM) {
    End(IDCANCEL);
    return TRUE;
}

}  // namespace app
