// Keeps a window's thread serving its messages while it waits for work done
// elsewhere (the worker, the update check): woken by a message or by the
// work's event, never by a clock.
#pragma once

#include <functional>

#include "platform/win32/WinApi.h"

namespace window {

// Dispatches the thread's messages (through `dialog`'s keyboard handling
// when it is given) until `done` answers true; `event` is set when it may.
// A quit message is left for the loop that owns it.
void PumpUntil(HWND dialog, HANDLE event, const std::function<bool()>& done);

}  // namespace window
