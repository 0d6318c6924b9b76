#include "window/MessagePump.h"

namespace window {

namespace {
constexpr DWORD kPollMs = 20;
}  // namespace

void PumpUntil(HWND dialog, HANDLE event, const std::function<bool()>& done) {
    bool quit = false;
    int quitCode = 0;
    while (!done()) {
        MSG msg;
        // The work may end between two messages: a command that comes after
        // it (a new Start, say) is left to the window's own loop, where the
        // finished work no longer counts as running.
        while (!done() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Kept for the loop that owns it, once the work is done;
                // messages sent by the work are still served meanwhile.
                quit = true;
                quitCode = static_cast<int>(msg.wParam);
                continue;
            }
            if (!dialog || !IsDialogMessageW(dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (done()) break;
        // Without an event (the system had none to give) the work's end is
        // looked for again at short intervals instead of waited for.
        MsgWaitForMultipleObjectsEx(event ? 1 : 0, event ? &event : nullptr, event ? INFINITE : kPollMs, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
    if (quit) PostQuitMessage(quitCode);
}

}  // namespace window
