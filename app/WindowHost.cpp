#include "app/WindowHost.h"

#include "app/FileExistsDialog.h"
#include "engine/base/Texts.h"
#include "platform/win32/WideText.h"
#include "window/MessagePump.h"

namespace app {

WindowHost::WindowHost(HWND owner) : owner_(owner), workerDone_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

namespace {

// The labels the next message box of this thread puts on OK and Cancel: a
// hook sees the box before it shows, and lets go of it at once.
thread_local const engine::Message* g_labelled = nullptr;
thread_local HHOOK g_hook = nullptr;

LRESULT CALLBACK LabelButtons(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && g_labelled) {
        const auto box = reinterpret_cast<HWND>(wParam);
        if (!g_labelled->okLabel.empty()) SetDlgItemTextW(box, IDOK, platform::Widen(g_labelled->okLabel).c_str());
        if (!g_labelled->cancelLabel.empty()) {
            SetDlgItemTextW(box, IDCANCEL, platform::Widen(g_labelled->cancelLabel).c_str());
        }
        g_labelled = nullptr;
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

}  // namespace

engine::Answer WindowHost::ShowMessage(const engine::Message& message) {
    UINT style = message.buttons == engine::Buttons::OkCancel ? MB_OKCANCEL : MB_OK;
    if (message.information) {
        style |= MB_ICONINFORMATION;
    } else if (message.caption.empty()) {
        style |= MB_ICONEXCLAMATION;
    }
    const std::string caption = message.caption.empty() ? texts::kAppTitle : message.caption;
    const bool labelled = !message.okLabel.empty() || !message.cancelLabel.empty();
    if (labelled) {
        g_labelled = &message;
        g_hook = SetWindowsHookExW(WH_CBT, LabelButtons, nullptr, GetCurrentThreadId());
    }
    const int answer =
        MessageBoxW(owner_, platform::Widen(message.text).c_str(), platform::Widen(caption).c_str(), style);
    if (labelled) {
        if (g_hook) UnhookWindowsHookEx(g_hook);
        g_hook = nullptr;
        g_labelled = nullptr;
    }
    return answer == IDOK ? engine::Answer::Ok : engine::Answer::Cancel;
}

engine::FileExistsAnswer WindowHost::AskFileExists(std::string& path) {
    return FileExistsDialog::Ask(owner_, path);
}

void WindowHost::WaitForWorker(const std::function<bool()>& finished) {
    window::PumpUntil(owner_, workerDone_.get(), finished);
}

}  // namespace app
