#include "engine/base/Names.h"

namespace engine {

std::string AsciiUpper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           AsciiUpper(text.substr(text.size() - suffix.size())) == AsciiUpper(suffix);
}

namespace {

// Device names Windows keeps for itself, also with an extension: CON, PRN,
// AUX, NUL, COM and LPT with a digit 0 to 9 or a superscript 1, 2 or 3,
// and the console's own names.
bool IsReservedDevice(const std::string& name) {
    std::string base = AsciiUpper(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    static const char* const kFixed[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kFixed) {
        if (base == device) return true;
    }
    if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
    const std::string number = base.substr(3);
    if (number.size() == 1) return number[0] >= '0' && number[0] <= '9';
    // The superscript digits in UTF-8: U+00B9, U+00B2, U+00B3.
    return number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
}

}  // namespace

bool IsValidUtf8(const std::string& text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        std::size_t length;
        std::uint32_t point;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            length = 2;
            point = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            point = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            point = c & 0x07;
        } else {
            return false;
        }
        if (i + length > n) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            point = (point << 6) | (s[i + k] & 0x3F);
        }
        static const std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kSmallest[length] || point > 0x10FFFF) return false;
        if (point >= 0xD800 && point <= 0xDFFF) return false;
        i += length;
    }
    return true;
}

std::string NameProblem(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return "is empty";
    if (!IsValidUtf8(name)) return "is not valid text";
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) return "contains a control character";
        static const char kForbidden[] = "\"<>|*?:\\/";
        for (const char* f = kForbidden; *f; ++f) {
            if (c == static_cast<unsigned char>(*f)) return std::string("contains the character ") + *f;
        }
    }
    if (name.back() == '.' || name.back() == ' ') return "ends in a dot or a blank";
    if (IsReservedDevice(name)) return "is a name Windows keeps for a device";
    return std::string();
}

std::string InfoFileForPiece(const std::string& piecePath, const std::string& separators) {
    const std::size_t cut = piecePath.find_last_of(separators);
    const std::size_t nameStart = cut == std::string::npos ? 0 : cut + 1;
    const std::string name = piecePath.substr(nameStart);
    const std::size_t last = name.rfind('.');
    if (last == std::string::npos || last == 0) return std::string();
    const std::size_t secondLast = name.rfind('.', last - 1);
    if (secondLast == std::string::npos || secondLast == 0) return std::string();
    return piecePath.substr(0, nameStart) + InfoFileName(name.substr(0, secondLast));
}

std::string InfoFileForRecoveryFile(const std::string& path) {
    if (!EndsWithNoCase(path, ".par2") || path.size() <= 5) return std::string();
    std::string base = path.substr(0, path.size() - 5);
    const std::size_t vol = base.rfind('.');
    if (vol != std::string::npos && base.size() > vol + 4 && EndsWithNoCase(base.substr(0, vol + 4), ".vol") &&
        base.find_first_not_of("0123456789+-", vol + 4) == std::string::npos) {
        base.resize(vol);
    }
    return InfoFileName(base);
}

}  // namespace engine
