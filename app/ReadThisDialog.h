// "Read This": the notice at the end of a split.
#pragma once

#include <cstdint>

#include "window/Dialog.h"

namespace app {

class ReadThisDialog : public window::DialogImpl<ReadThisDialog> {
public:
    // `rebuildable`: the pieces the recovery files can rebuild (0: none made).
    explicit ReadThisDialog(std::uint32_t rebuildable = 0);
    static window::MessageTable<ReadThisDialog> Messages();

private:
    INT_PTR OnInitDialog(WPARAM, LPARAM);
    INT_PTR OnClose(WPARAM, LPARAM);

    std::uint32_t rebuildable_;
};

}  // namespace app
