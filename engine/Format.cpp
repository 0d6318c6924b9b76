#include "Format.h"

#include <cstring>

namespace engine {

std::string Fill(const std::string& pattern, const std::string& value, const char* marker) {
    std::string text = pattern;
    const std::size_t at = text.find(marker);
    if (at != std::string::npos) text.replace(at, std::strlen(marker), value);
    return text;
}

}  // namespace engine
