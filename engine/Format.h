// The program's texts with values put in: a marker (%1, %2, %d, ...) in the
// text is replaced by the value, at its first place.
#pragma once

#include <string>

namespace engine {

std::string Fill(const std::string& pattern, const std::string& value, const char* marker = "%1");

}  // namespace engine
