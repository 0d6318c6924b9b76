// Shared by the dialog and control tables.
#pragma once

#include <cstddef>

namespace window {

// The rows of a table, whatever their number: the compiler counts them.
template <class Entry>
struct RowTable {
    const Entry* rows;
    std::size_t count;
    template <std::size_t N>
    constexpr RowTable(const Entry (&all)[N]) : rows(all), count(N) {}
    const Entry* begin() const { return rows; }
    const Entry* end() const { return rows + count; }
};

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
