// "Read This": the notice at the end of a split.
#pragma once

#include "window/Dialog.h"

namespace app {

class ReadThisDialog : public window::DialogImpl<ReadThisDialog> {
public:
    ReadThisDialog();
    static window::MessageTable<ReadThisDialog> Messages();

private:
    INT_PTR OnInitDialog(WPARAM, LPARAM);
    INT_PTR OnClose(WPARAM, LPARAM);
};

}  // namespace app
