#include "engine/par2/Packets.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "engine/base/Texts.h"
#include "engine/par2/Crc32Fold.h"

#ifndef PARVEX_VERSION
#define PARVEX_VERSION ""
#endif

namespace engine::par2 {

namespace {

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void PutU64(std::string& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void PutHash(std::string& out, const Hash& h) { out.append(reinterpret_cast<const char*>(h.data()), h.size()); }
void Pad4(std::string& out) {
    while (out.size() % 4) out.push_back('\0');
}
}  // namespace

bool IdLess(const Hash& a, const Hash& b) {
    for (std::size_t i = a.size(); i-- > 0;) {
        if (a[i] != b[i]) return a[i] < b[i];
    }
    return false;
}

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size, bool folded) {
    const auto* p = static_cast<const unsigned char*>(data);
    if (folded && size >= 128 && fold::Available()) {
        const std::size_t blocks = size & ~std::size_t{15};
        crc = ~fold::Crc32Blocks(~crc, p, blocks);
        p += blocks;
        size -= blocks;
    }
    return static_cast<std::uint32_t>(crc32_z(crc, p, size));
}

Hash Md5Of(Md5& md5, const void* data, std::size_t size) {
    md5.Update(data, size);
    return md5.Final();
}

const FileDescription* RecoverySet::Describe(const Hash& file) const {
    for (const FileDescription& d : descriptions) {
        if (d.id == file) return &d;
    }
    return nullptr;
}

const std::vector<SliceCheck>* RecoverySet::ChecksOf(const Hash& file) const {
    for (const auto& [id, checks] : this->checks) {
        if (id == file) return &checks;
    }
    return nullptr;
}

Hash FileId(Md5& md5, const Hash& head, std::uint64_t length, const std::string& name, bool padded) {
    std::string bytes;
    PutHash(bytes, head);
    PutU64(bytes, length);
    bytes += name;
    if (padded) Pad4(bytes);
    return Md5Of(md5, bytes.data(), bytes.size());
}

std::string MainBody(std::uint64_t sliceSize, std::vector<Hash> ids) {
    std::sort(ids.begin(), ids.end(), IdLess);
    std::string body;
    PutU64(body, sliceSize);
    PutU32(body, static_cast<std::uint32_t>(ids.size()));
    for (const Hash& id : ids) PutHash(body, id);
    return body;
}

std::string FileDescriptionBody(const FileDescription& file) {
    std::string body;
    PutHash(body, file.id);
    PutHash(body, file.md5);
    PutHash(body, file.md5Head);
    PutU64(body, file.length);
    body += file.name;
    Pad4(body);
    return body;
}

std::string SliceChecksBody(const Hash& file, const std::vector<SliceCheck>& checks) {
    std::string body;
    PutHash(body, file);
    for (const SliceCheck& c : checks) {
        PutHash(body, c.md5);
        PutU32(body, c.crc);
    }
    return body;
}

std::string CreatorBody() {
    std::string body = std::string("Created by ") + texts::kAppTitle + " " PARVEX_VERSION " (parvex).";
    Pad4(body);
    return body;
}

std::string Packet(Md5& md5, const Hash& set, const char* type, const std::string& body) {
    std::string hashed;
    PutHash(hashed, set);
    hashed.append(type, kPacketTypeSize);
    hashed += body;
    std::string packet(reinterpret_cast<const char*>(kPacketMagic), sizeof kPacketMagic);
    PutU64(packet, kHeaderSize + body.size());
    PutHash(packet, Md5Of(md5, hashed.data(), hashed.size()));
    return packet + hashed;
}

std::string CriticalPackets(Md5& md5, const Hash& set, std::uint64_t sliceSize,
                            const std::vector<FileDescription>& files,
                            const std::vector<std::vector<SliceCheck>>& checks) {
    std::vector<Hash> ids;
    for (const FileDescription& f : files) ids.push_back(f.id);
    std::string out = Packet(md5, set, kMainType, MainBody(sliceSize, ids));
    for (std::size_t i = 0; i < files.size(); ++i) {
        out += Packet(md5, set, kFileType, FileDescriptionBody(files[i]));
        out += Packet(md5, set, kChecksType, SliceChecksBody(files[i].id, checks[i]));
    }
    return out + Packet(md5, set, kCreatorType, CreatorBody());
}

std::string RecoveryHeader(const Hash& packetMd5, const Hash& set, std::uint64_t sliceSize,
                           std::uint32_t exponent) {
    std::string out(reinterpret_cast<const char*>(kPacketMagic), sizeof kPacketMagic);
    PutU64(out, kRecoveryOverhead + sliceSize);
    PutHash(out, packetMd5);
    PutHash(out, set);
    out.append(kRecoveryType, kPacketTypeSize);
    PutU32(out, exponent);
    return out;
}

std::string RecoveryHashStart(const Hash& set, std::uint32_t exponent) {
    std::string start;
    PutHash(start, set);
    start.append(kRecoveryType, kPacketTypeSize);
    PutU32(start, exponent);
    return start;
}

void BeginRecoveryHash(Md5& md5, const Hash& set, std::uint32_t exponent) {
    const std::string start = RecoveryHashStart(set, exponent);
    md5.Update(start.data(), start.size());
}

std::string IndexName(const std::string& setName) { return setName + ".par2"; }

std::string VolumeName(const std::string& setName, std::uint32_t first, std::uint32_t count,
                       std::uint32_t lastExponent, std::uint32_t largestCount) {
    const auto padded = [](std::uint32_t value, std::uint32_t widest) {
        std::string digits = std::to_string(value);
        const std::size_t width = std::to_string(widest).size();
        return std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
    };
    return setName + ".vol" + padded(first, lastExponent) + "+" + padded(count, largestCount) + ".par2";
}

bool IsRecoveryFileOf(const std::string& entry, const std::string& setName, bool exact) {
    const auto same = [&](const std::string& a, const std::string& b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            char x = a[i], y = b[i];
            if (!exact) {
                if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
                if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
            }
            if (x != y) return false;
        }
        return true;
    };
    if (entry.size() < setName.size() + 5 || !same(entry.substr(0, setName.size()), setName)) return false;
    const std::string rest = entry.substr(setName.size());
    if (same(rest, ".par2")) return true;
    if (rest.size() < 4 + 5 || !same(rest.substr(0, 4), ".vol") || !same(rest.substr(rest.size() - 5), ".par2")) {
        return false;
    }
    const std::string range = rest.substr(4, rest.size() - 9);
    const std::size_t sign = range.find_first_of("+-");
    if (sign == 0 || sign == std::string::npos || sign + 1 == range.size()) return false;
    return std::all_of(range.begin(), range.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '+' || c == '-'; });
}

}  // namespace engine::par2
