// UTF-8 inside, UTF-16 at the system's edge: the one place where text
// changes its form on Windows.
#pragma once

#include <string>

namespace platform {

// Invalid UTF-8 becomes U+FFFD, which names no file: a wrong byte never
// turns into a different, existing name.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);
std::string Narrow(const wchar_t* text);

// The form of a path that the file functions take at any length: \\?\C:\...
// or \\?\UNC\server\share\... for an absolute path, made absolute first.
std::wstring ExtendedPath(const std::string& path);

}  // namespace platform
