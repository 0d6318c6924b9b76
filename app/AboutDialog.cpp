#include "app/AboutDialog.h"

#include "resources/resource.h"

namespace app {

window::MessageTable<AboutDialog> AboutDialog::Messages() {
    static constexpr window::MessageEntry<AboutDialog> kRows[] = {
        {WM_INITDIALOG, 0, &AboutDialog::OnInitDialog},
        {WM_COMMAND, IDOK, &AboutDialog::OnClose},
        {WM_COMMAND, IDCANCEL, &AboutDialog::OnClose},
        {WM_COMMAND, 0, &AboutDialog::OnLabelCommand},
        {WM_CTLCOLORSTATIC, 0, &AboutDialog::OnCtlColorStatic},
    };
    static_assert(window::EveryRowHasAHandler(kRows));
    return kRows;
}

AboutDialog::AboutDialog() : DialogImpl(IDD_ABOUT) {}

INT_PTR AboutDialog::OnInitDialog(WPARAM, LPARAM) {
    support_.Attach(Item(IDC_SUPPORT));
    sales_.Attach(Item(IDC_SALES));
    website_.Attach(Item(IDC_WEBSITE));
    website_.SetUrl(kWebsite);
    sales_.SetUrl(kSales);
    support_.SetUrl(kSupport);
    return TRUE;
}

INT_PTR AboutDialog::OnClose(WPARAM, LPARAM) {
    End(IDOK);
    return TRUE;
}

controls::CHotStatic* AboutDialog::Label(HWND control) {
    for (controls::CHotStatic* label : {&support_, &sales_, &website_}) {
        if (label->hwnd() == control) return label;
    }
    return nullptr;
}

// The labels' clicks come to the dialog; each goes back to its label.
INT_PTR AboutDialog::OnLabelCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) != STN_CLICKED) return FALSE;
    if (controls::CHotStatic* label = Label(reinterpret_cast<HWND>(lParam))) label->OnClicked();
    return TRUE;
}

INT_PTR AboutDialog::OnCtlColorStatic(WPARAM wParam, LPARAM lParam) {
    controls::CHotStatic* label = Label(reinterpret_cast<HWND>(lParam));
    if (!label) return FALSE;
    return reinterpret_cast<INT_PTR>(label->OnCtlColor(reinterpret_cast<HDC>(wParam)));
}

}  // namespace app
