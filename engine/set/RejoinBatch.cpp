#include "engine/set/RejoinBatch.h"

#include "engine/set/PiecePlan.h"

namespace engine {

namespace {

// A name as cmd must see it inside quotes: only `%` is still special there.
std::string Quoted(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '%') quoted += '%';
    }
    return quoted + '"';
}

constexpr const char kUtf8Switch[] = "chcp 65001 >nul\r\n";

}  // namespace

std::string RejoinBatchLine(const std::string& sourceName, std::uint64_t pieceCount) {
    std::string line = "copy /B ";
    for (std::uint64_t i = 0; i < pieceCount; ++i) {
        line += Quoted(PieceFileName(sourceName, i)) + " /B+ ";
    }
    while (!line.empty() && (line.back() == '+' || line.back() == ' ')) line.pop_back();
    line += " " + Quoted(sourceName) + " /B\r\n";
    return line;
}

std::string RejoinBatchText(const std::string& sourceName, std::uint64_t pieceCount) {
    const std::string single = RejoinBatchLine(sourceName, pieceCount);
    if (single.size() - 2 <= kBatchLineLimit) return single;

    // Too long for one line: the first line makes the file, every further
    // line appends to it. A line never passes the limit (names are bounded).
    const std::string output = Quoted(sourceName);
    const std::string tail = " " + output + " /B\r\n";
    std::string text;
    std::uint64_t next = 0;
    while (next < pieceCount) {
        std::string line = "copy /B ";
        bool first = true;
        if (next > 0) {
            line += output + " /B";
            first = false;
        }
        while (next < pieceCount) {
            const std::string entry = (first ? "" : " + ") + Quoted(PieceFileName(sourceName, next)) + " /B";
            if (!first && line.size() + entry.size() + tail.size() - 2 > kBatchLineLimit) break;
            line += entry;
            first = false;
            ++next;
        }
        text += line + tail;
    }
    return text;
}

std::string EncodeBatch(const Platform& platform, const std::string& text) {
    std::string oem;
    if (platform.ToOemText(text, oem)) return oem;
    return kUtf8Switch + text;
}

bool BatchRejoins(const Platform& platform, const std::string& content, const std::string& sourceName) {
    const std::string first = Quoted(PieceFileName(sourceName, 0));
    if (content.find(first) != std::string::npos) return true;
    std::string oem;
    return platform.ToOemText(first, oem) && content.find(oem) != std::string::npos;
}

}  // namespace engine
