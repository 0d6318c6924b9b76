// Which names a set may carry: names every Windows user can store, that cmd
// reads as one quoted word, and that never lead a rejoin out of its folders.
#pragma once

#include <string>

namespace engine {

// Empty when `name` can be a set's file name; otherwise what is wrong with
// it, worded to follow "it ": "contains the character \"*\"", ...
std::string NameProblem(const std::string& name);

// Whether a name read from an info file may be written by a rejoin.
inline bool IsPlainFileName(const std::string& name) { return NameProblem(name).empty(); }

// ASCII letters in upper case, as the program spells info-file paths; every
// other byte (UTF-8 included) stays as it is.
std::string AsciiUpper(std::string text);
// Whether `text` ends in `suffix`, ASCII letters compared without case.
bool EndsWithNoCase(const std::string& text, const std::string& suffix);

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(const std::string& text);

// A set's info file is its name and this; every name of it is spelled here.
inline constexpr const char* kInfoSuffix = ".sio";
inline std::string InfoFileName(const std::string& setName) { return setName + kInfoSuffix; }

// The info file that belongs to a piece: in the piece's own folder, the
// piece's file name without its last two dot-suffixes, then ".sio"
// (film.avi.3.spl -> film.avi.sio). Empty when the name has no such suffix.
// `separators` lists the characters that end a folder part.
std::string InfoFileForPiece(const std::string& piecePath, const std::string& separators = "\\/");
// The same for a recovery file: NAME.par2 and NAME.volA+B.par2 belong to
// NAME.sio. Empty when the name is no recovery file's.
std::string InfoFileForRecoveryFile(const std::string& path);

}  // namespace engine
