// Shared by the dialog and control tables.
#pragma once

#include <cstddef>

namespace window {

// For a static_assert beside each table: a row without a handler would call
// a null member pointer.
template <class Entry, std::size_t N>
constexpr bool EveryRowHasAHandler(const Entry (&rows)[N]) {
    for (const Entry& row : rows) {
        if (!row.handler) return false;
    }
    return true;
}

}  // namespace window
