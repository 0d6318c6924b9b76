#include "engine/base/Format.h"

#include <cstring>

namespace engine {

std::string Fill(const std::string& pattern, const std::string& value, const char* marker) {
    std::string text = pattern;
    const std::size_t at = text.find(marker);
    if (at != std::string::npos) text.replace(at, std::strlen(marker), value);
    return text;
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
