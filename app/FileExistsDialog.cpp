#include "app/FileExistsDialog.h"

#include "resources/resource.h"
#include "window/WindowText.h"

namespace app {

namespace {
// The longest path Windows takes (with the \\?\ form); a field held to
// fewer characters would hand back a cut-off name for a long one.
constexpr int kMaxPath = 32767;
}

window::MessageTable<FileExistsDialog> FileExistsDialog::Messages() {
    static constexpr window::MessageEntry<FileExistsDialog> kRows[] = {
        {WM_INITDIALOG, 0, &FileExistsDialog::OnInitDialog},
        {WM_COMMAND, IDOK, &FileExistsDialog::OnOk},
        {WM_COMMAND, IDCANCEL, &FileExistsDialog::OnCancel},
    };
    static_assert(window::EveryRowHasAHandler(kRows));
    return kRows;
}

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
    window::SetItemText(hwnd(), IDC_SOURCE_PATH, path_);
    return TRUE;
}

INT_PTR FileExistsDialog::OnOk(WPARAM, LPARAM) {
    path_ = window::ItemText(hwnd(), IDC_SOURCE_PATH);
    End(IDOK);
    return TRUE;
}

INT_PTR FileExistsDialog::OnCancel(WPARAM, LPARAM) {
    End(IDCANCEL);
    return TRUE;
}

}  // namespace app
