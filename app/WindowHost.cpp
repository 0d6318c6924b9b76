#include "app/WindowHost.h"

#include "app/FileExistsDialog.h"
#include "engine/Texts.h"
#include "platform/win32/WideText.h"

namespace app {

engine::Answer WindowHost::ShowMessage(const engine::Message& message) {
    UINT style = message.buttons == engine::Buttons::OkCancel ? MB_OKCANCEL : MB_OK;
    if (message.caption.empty()) style |= MB_ICONEXCLAMATION;
    const std::string caption = message.caption.empty() ? texts::kAppTitle : message.caption;
    const int answer =
        MessageBoxW(owner_, platform::Widen(message.text).c_str(), platform::Widen(caption).c_str(), style);
    return answer == IDOK ? engine::Answer::Ok : engine::Answer::Cancel;
}

engine::FileExistsAnswer WindowHost::AskFileExists(std::string& path) {
    return FileExistsDialog::Ask(owner_, path);
}

void WindowHost::WaitForWorker(const std::function<bool()>& finished) {
    while (!finished()) {
        MSG msg;
        // The worker may end between two messages: a command that comes after
        // it (a new Start, say) is left to the window's own loop, where the
        // finished operation no longer counts as running.
        while (!finished() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Leave the quit for the loop that owns it, after the worker.
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (!owner_ || !IsDialogMessageW(owner_, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (finished()) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

}  // namespace app
