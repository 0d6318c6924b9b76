// What the version dialog shows of the version file: its first line, when
// it is short enough to be a version.
#pragma once

#include <string>

namespace update {

inline constexpr const char* kVersionPath = "/updatecenter/split/version.info";
inline constexpr const char* kUpdatePagePath = "/updatecenter/Split/index.htm";
// The maker's web server.
inline constexpr const char* kMakerServer = "http://www.corvane.example";
inline constexpr const char* kDataUnavailable = "Data unavailable from server";
// "Get latest" that could not open the page says so, with the address to
// type in by hand.
inline constexpr const char* kPageNotOpened = "The update page could not be opened here.\nIts address is %1";
inline constexpr const char* kPageNotOpenedCaption = "Check for Updates";

// The first line (ended by CR, LF or CR LF; at most 1023 characters), or
// "Data unavailable from server" when it is longer than 10 characters or
// there is no line at all.
std::string LatestVersionText(const std::string& body);

}  // namespace update
