#include "window/MessagePump.h"

namespace window {

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
        MsgWaitForMultipleObjectsEx(event ? 1 : 0, event ? &event : nullptr, INFINITE, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
    if (quit) PostQuitMessage(quitCode);
}

}  // namespace window
