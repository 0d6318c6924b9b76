#include "app/ToWindowThread.h"

namespace app {

void ToWindowThread::Attach(HWND window) {
    window_ = window;
    thread_ = GetWindowThreadProcessId(window, nullptr);
}

bool ToWindowThread::OnWindowThread(std::function<void()> call) {
    if (!window_ || GetCurrentThreadId() == thread_) {
        call();
        return true;
    }
    if (!IsWindow(window_)) return false;
    bool ran = false;
    std::function<void()> marked = [&] {
        call();
        ran = true;
    };
    SendMessageW(window_, kMessage, 0, reinterpret_cast<LPARAM>(&marked));
    return ran;
}

// Without a window to ask, a question is answered the cautious way.
engine::Answer ToWindowThread::ShowMessage(const engine::Message& message) {
    engine::Answer answer = engine::Answer::Cancel;
    OnWindowThread([&] { answer = target_.ShowMessage(message); });
    return answer;
}

engine::FileExistsAnswer ToWindowThread::AskFileExists(std::string& path) {
    engine::FileExistsAnswer answer = engine::FileExistsAnswer::Stop;
    OnWindowThread([&] { answer = target_.AskFileExists(path); });
    return answer;
}

void ToWindowThread::ShowSplitNotice(std::uint32_t rebuildable) {
    OnWindowThread([&] { target_.ShowSplitNotice(rebuildable); });
}

void ToWindowThread::Started(engine::Mode mode) {
    OnWindowThread([&] { target_.Started(mode); });
}

void ToWindowThread::Finished(engine::Mode mode, engine::Outcome outcome) {
    OnWindowThread([&] { target_.Finished(mode, outcome); });
}

}  // namespace app
