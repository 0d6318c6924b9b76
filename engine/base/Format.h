// The program's texts with values put in: a marker (%1, %2, %d, ...) in the
// text is replaced by the value, at its first place.
#pragma once

#include <cstdint>
#include <string>

namespace engine {

std::string Fill(const std::string& pattern, const std::string& value, const char* marker = "%1");

// A failure's text followed by what the run keeps for the next one: its
// "Nothing was <done>" would no longer be true, so it goes (with a "; retry
// the operation" after it, which the kept sentence says better).
std::string WithKept(const std::string& text, const std::string& kept, const char* done);

// 12,345,678: digits in groups of three, with `separator` between them.
std::string Grouped(std::uint64_t value, const std::string& separator = ",");

}  // namespace engine
