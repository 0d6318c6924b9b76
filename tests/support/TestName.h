// A name for one row of a table of cases, as GoogleTest wants it (letters,
// digits and underscores), made from the row's own description, so that a
// failing row names itself in the test list.
#pragma once

#include <cctype>
#include <string>

namespace support {

inline std::string TestName(const std::string& description) {
    std::string name;
    bool upper = true;
    for (unsigned char c : description) {
        if (std::isalnum(c)) {
            name += static_cast<char>(upper ? std::toupper(c) : c);
            upper = false;
        } else {
            upper = true;
        }
    }
    return name.empty() ? "Case" : name;
}

}  // namespace support
