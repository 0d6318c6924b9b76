#include "app/WindowHost.h"

#include "app/FileExistsDialog.h"
#include "engine/Texts.h"

namespace app {

engine::Answer WindowHost::ShowMessage(const std::string& text, const std::string& caption,
                                       engine::Buttons buttons) {
    UINT style = buttons == engine::Buttons::OkCancel ? MB_OKCANCEL : MB_OK;
    if (caption.empty()) style |= MB_ICONEXCLAMATION;
    const int answer =
        MessageBoxA(owner_, text.c_str(), caption.empty() ? texts::kAppTitle : caption.c_str(), style);
    return answer == IDOK ? engine::Answer::Ok : engine::Answer::Cancel;
}

engine::Host::FileExists WindowHost::AskFileExists(std::string& path) {
    return FileExistsDialog::Ask(owner_, path);
}

void WindowHost::WaitForWorker(const std::function<bool()>& finished) {
    while (!finished()) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Leave the quit for the loop that owns it, after the worker.
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (!owner_ || !IsDialogMessageA(owner_, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        if (finished()) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

}  // namespace app
