#include "engine/set/RejoinBatch.h"

#include <memory>

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

bool BatchFileRejoins(const Platform& platform, Folder& folder, const std::string& name,
                      const std::string& sourceName) {
    // The first piece is named on the first line, well within this.
    constexpr std::uint32_t kProbe = 4096;
    std::unique_ptr<File> file;
    if (folder.Open(name, {Access::Read, Share::ReadWrite, Creation::OpenExisting, false}, file) != err::kNone) {
        return false;
    }
    std::string head(kProbe, '\0');
    std::uint32_t got = 0;
    const ErrorCode read = file->Read(head.data(), kProbe, got);
    static_cast<void>(file->Close());  // read only
    head.resize(got);
    return read == err::kNone && BatchRejoins(platform, head, sourceName);
}

}  // namespace engine
