#include "update/VersionText.h"

namespace update {

std::string LatestVersionText(const std::string& body) {
    // An empty answer has no first line: nothing to show but the notice.
    if (body.empty()) return kDataUnavailable;
    const std::size_t end = body.find_first_of("\r\n");
    std::string line = body.substr(0, end == std::string::npos ? body.size() : end);
    if (line.size() > 1023) line.resize(1023);
    if (line.size() > 10) return kDataUnavailable;
    return line;
}

}  // namespace update
