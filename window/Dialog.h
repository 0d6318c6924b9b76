// Our window layer: a dialog whose subclass declares, in one table, which
// handler method serves which window message or command. Include only from
// Windows code.
#pragma once

#include <cstddef>

#include "platform/win32/WinApi.h"
#include "window/MessageTable.h"

namespace window {

class Dialog {
public:
    explicit Dialog(UINT templateId) : templateId_(templateId) {}
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally; returns the code it ended with (-1 when the
    // template could not be loaded).
    INT_PTR DoModal(HWND owner);
    // Creates the dialog modeless, as a child or popup of `parent`.
    HWND Create(HWND parent);
    HWND hwnd() const { return hwnd_; }

protected:
    // Answers a message from the subclass's table; FALSE when it has no entry.
    virtual INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    void End(INT_PTR code) { EndDialog(hwnd_, code); }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

private:
    static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    HWND hwnd_ = nullptr;
};

// One row of a message table: the message, for WM_COMMAND the command id
// (0 matches every id), and the handler.
template <class T>
struct MessageEntry {
    UINT message;
    UINT commandId;
    INT_PTR (T::*handler)(WPARAM, LPARAM);
};

template <class T>
using MessageTable = RowTable<MessageEntry<T>>;

// Base of concrete dialogs: T declares
//   static MessageTable<T> Messages();
// and defines it over a constexpr array whose size the compiler counts.
template <class T>
class DialogImpl : public Dialog {
public:
    using Dialog::Dialog;

protected:
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam) override {
        for (const MessageEntry<T>& entry : T::Messages()) {
            if (entry.message != message) continue;
            if (message == WM_COMMAND && entry.commandId != 0 && entry.commandId != LOWORD(wParam)) continue;
            return (static_cast<T*>(this)->*entry.handler)(wParam, lParam);
        }
        return FALSE;
    }
};

}  // namespace window
