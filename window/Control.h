// A control window of ours: an existing window class (a button, say)
// subclassed so that a table of handler methods sees its messages first.
#pragma once

#include <cstddef>

#include "platform/win32/WinApi.h"
#include "window/MessageTable.h"

namespace window {

class Control {
public:
    Control() = default;
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    HWND hwnd() const { return hwnd_; }

protected:
    // Routes the window's messages through Dispatch from now on.
    void Subclass(HWND hwnd);
    // Handles a message from the subclass's table; `handled` false passes it
    // on to the window class.
    virtual LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) = 0;
    // The window class's own processing.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    WNDPROC original_ = nullptr;
};

template <class T>
struct ControlEntry {
    UINT message;
    LRESULT (T::*handler)(WPARAM, LPARAM);
};

template <class T>
using ControlTable = RowTable<ControlEntry<T>>;

// Base of concrete controls: T declares
//   static ControlTable<T> Messages();
// over a constexpr array whose size the compiler counts.
template <class T>
class ControlImpl : public Control {
protected:
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override {
        for (const ControlEntry<T>& entry : T::Messages()) {
            if (entry.message == message) {
                handled = true;
                return (static_cast<T*>(this)->*entry.handler)(wParam, lParam);
            }
        }
        handled = false;
        return 0;
    }
};

}  // namespace window
