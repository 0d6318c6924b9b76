// The terminal the command line talks to: UTF-8 text out and in, whatever
// the system's console wants underneath.
#pragma once

#include <string>
#include <vector>

namespace cli {

// The program's arguments after its name, in UTF-8.
std::vector<std::string> Arguments(int argc, char** argv);

// Whether standard input / standard error are a terminal a person uses (a
// redirection from a file or from the null device is not).
bool InputIsTerminal();
bool ErrorIsTerminal();

void WriteOut(const std::string& text);
void WriteErr(const std::string& text);
// One line typed by the user, without its line end; false at end of input.
bool ReadLine(std::string& line);

// The current folder and the full form of a path, in UTF-8.
std::string CurrentFolder();
std::string FullPath(const std::string& path);

}  // namespace cli
