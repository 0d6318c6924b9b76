#include "engine/base/Format.h"

#include <cstring>

namespace engine {

std::string Fill(const std::string& pattern, const std::string& value, const char* marker) {
    std::string text = pattern;
    const std::size_t at = text.find(marker);
    if (at != std::string::npos) text.replace(at, std::strlen(marker), value);
    return text;
}

std::string WithKept(const std::string& text, const std::string& kept, const char* done) {
    if (kept.empty()) return text;
    std::string out = text;
    const std::string nothing = std::string("Nothing was ") + done;
    const std::size_t at = out.find(nothing);
    if (at != std::string::npos) {
        std::size_t end = at + nothing.size();
        for (const char* tail : {"; retry the operation.", "."}) {
            if (out.compare(end, std::strlen(tail), tail) == 0) {
                end += std::strlen(tail);
                break;
            }
        }
        std::size_t start = at;
        while (start > 0 && (out[start - 1] == ' ' || out[start - 1] == '\n')) --start;
        out.erase(start, end - start);
    }
    return out + "\n" + kept;
}

std::string Grouped(std::uint64_t value, const std::string& separator) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
        out += digits[i];
    }
    return out;
}

}  // namespace engine
