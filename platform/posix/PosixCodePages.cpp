// Names and texts between UTF-8 and the Windows code pages a set's info
// file and Go.bat are written in, by iconv.
#include "platform/posix/PosixPlatform.h"

#include <iconv.h>

#include <algorithm>

namespace platform {

namespace {

// Converts with iconv; false when a character has no place in the target.
bool Convert(const char* to, const char* from, const std::string& in, std::string& out) {
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.assign(in.size() * 4 + 8, '\0');
    char* source = const_cast<char*>(in.data());
    std::size_t sourceLeft = in.size();
    char* target = out.data();
    std::size_t targetLeft = out.size();
    const std::size_t done = ::iconv(cd, &source, &sourceLeft, &target, &targetLeft);
    ::iconv_close(cd);
    if (done == static_cast<std::size_t>(-1) || sourceLeft != 0) return false;
    out.resize(out.size() - targetLeft);
    return true;
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

bool PosixPlatform::CodePageKnown(const std::string& codePage) {
    iconv_t cd = ::iconv_open(codePage.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    ::iconv_close(cd);
    return true;
}

bool PosixPlatform::ToAnsiName(const std::string& name, std::string& ansi) const {
    std::string back;
    return Convert(codePage_.c_str(), "UTF-8", name, ansi) &&
           Convert("UTF-8", codePage_.c_str(), ansi, back) && back == name;
}

bool PosixPlatform::FromAnsiName(const std::string& ansi, std::string& name) const {
    return Convert("UTF-8", codePage_.c_str(), ansi, name);
}

// Which OEM code page the Windows machine that runs Go.bat has is unknown
// here; plain ASCII reads the same in all of them.
bool PosixPlatform::ToOemText(const std::string& text, std::string& oem) const {
    if (!IsAscii(text)) return false;
    oem = text;
    return true;
}

}  // namespace platform
