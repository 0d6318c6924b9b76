#include "app/WindowHost.h"

#include "app/FileExistsDialog.h"
#include "engine/Texts.h"
#include "platform/win32/WideText.h"
#include "window/MessagePump.h"

namespace app {

WindowHost::WindowHost(HWND owner) : owner_(owner), workerDone_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

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
    window::PumpUntil(owner_, workerDone_.get(), finished);
}

}  // namespace app
