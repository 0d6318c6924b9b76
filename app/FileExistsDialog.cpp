#include "app/FileExistsDialog.h"

#include "engine/base/Format.h"
#include "engine/base/Texts.h"
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
        {WM_COMMAND, IDOK, &FileExistsDialog::OnSaveAs},
        {WM_COMMAND, IDC_EXISTS_REPLACE, &FileExistsDialog::OnReplace},
        {WM_COMMAND, IDCANCEL, &FileExistsDialog::OnStop},
        {WM_COMMAND, IDC_SOURCE_PATH, &FileExistsDialog::OnNameChange},
    };
    static_assert(window::EveryRowHasAHandler(kRows));
    return kRows;
}

FileExistsDialog::FileExistsDialog(std::string path)
    : DialogImpl(IDD_FILE_EXISTS), original_(path), path_(std::move(path)) {}

engine::FileExistsAnswer FileExistsDialog::Ask(HWND owner, std::string& path) {
    FileExistsDialog dialog(path);
    switch (dialog.DoModal(owner)) {
        case IDOK: path = dialog.path(); return engine::FileExistsAnswer::Rename;
        case IDC_EXISTS_REPLACE: return engine::FileExistsAnswer::Overwrite;
        default: return engine::FileExistsAnswer::Stop;
    }
}

INT_PTR FileExistsDialog::OnInitDialog(WPARAM, LPARAM) {
    window::SetItemText(hwnd(), IDC_EXISTS_TEXT, engine::Fill(texts::kFileExistsQuestion, original_));
    SendMessageW(Item(IDC_SOURCE_PATH), EM_LIMITTEXT, kMaxPath, 0);
    window::SetItemText(hwnd(), IDC_SOURCE_PATH, path_);
    return TRUE;
}

// A new name is one that differs from the file that is there.
INT_PTR FileExistsDialog::OnNameChange(WPARAM wParam, LPARAM) {
    if (HIWORD(wParam) != EN_CHANGE) return FALSE;
    const std::string typed = window::ItemText(hwnd(), IDC_SOURCE_PATH);
    const bool newName = !typed.empty() && typed != original_;
    EnableWindow(Item(IDOK), newName);
    // Enter then saves under the typed name; otherwise it stops.
    SendMessageW(hwnd(), DM_SETDEFID, newName ? IDOK : IDCANCEL, 0);
    return TRUE;
}

INT_PTR FileExistsDialog::OnSaveAs(WPARAM, LPARAM) {
    path_ = window::ItemText(hwnd(), IDC_SOURCE_PATH);
    if (path_.empty() || path_ == original_) return TRUE;
    End(IDOK);
    return TRUE;
}

INT_PTR FileExistsDialog::OnReplace(WPARAM, LPARAM) {
    End(IDC_EXISTS_REPLACE);
    return TRUE;
}

INT_PTR FileExistsDialog::OnStop(WPARAM, LPARAM) {
    End(IDCANCEL);
    return TRUE;
}

}  // namespace app
