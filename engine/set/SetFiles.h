// The kinds of file a set is made of, told by their names: a piece
// ("....3.spl") or an info file ("....sio"). The window, the command line and
// the shell extension open either in Rejoin mode. Header-only, so that the
// shell extension, which links nothing of the engine, shares the rule.
#pragma once

#include <cstddef>
#include <string>

namespace engine {

namespace detail {
// Narrow or wide text alike: only ASCII letters are compared.
template <class Text>
bool EndsWithAscii(const Text& text, const char* suffix) {
    std::size_t n = 0;
    while (suffix[n]) ++n;
    if (text.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        auto c = text[text.size() - n + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<decltype(c)>(c - 'A' + 'a');
        if (c != static_cast<decltype(c)>(suffix[i])) return false;
    }
    return true;
}
}  // namespace detail

template <class Text>
bool IsPieceFileName(const Text& path) { return detail::EndsWithAscii(path, ".spl"); }
template <class Text>
bool IsInfoFileName(const Text& path) { return detail::EndsWithAscii(path, ".sio"); }
template <class Text>
bool IsSetFileName(const Text& path) { return IsPieceFileName(path) || IsInfoFileName(path); }

}  // namespace engine
