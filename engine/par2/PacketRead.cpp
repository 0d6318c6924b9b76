#include "engine/par2/Packets.h"

#include "engine/par2/Md5Lanes.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>


namespace engine::par2 {

namespace {

// Packets other than recovery slices are small: a main packet of 32768
// files, or the slice checksums of a file of 32768 slices, is well under a
// megabyte. Anything claiming more is damage (or made to be hashed).
constexpr std::uint64_t kMaxSmallPacket = 2ull << 20;
// Distinct recovery blocks a set can use: exponents repeat beyond 65535.
constexpr std::size_t kMaxRecoverySlices = 65536;
// Packets taken between checkpoints when they are small.
constexpr unsigned kPacketsPerCheckpoint = 4096;
constexpr std::uint32_t kScanBuffer = 1u << 20;
// Searched at a time for the next packet: well inside the buffer, so that
// one read serves many small packets.
constexpr std::uint32_t kSearchWindow = 64u << 10;

std::uint32_t GetU32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
std::uint64_t GetU64(const unsigned char* p) { return GetU32(p) | std::uint64_t{GetU32(p + 4)} << 32; }
Hash GetHash(const unsigned char* p) {
    Hash h;
    std::memcpy(h.data(), p, h.size());
    return h;
}
bool IsType(const unsigned char* p, const char* type) { return std::memcmp(p, type, kPacketTypeSize) == 0; }

// Reads a file at any position through one buffer.
class ScanReader {
public:
    ScanReader(File& file, std::uint64_t length) : file_(file), length_(length), buffer_(kScanBuffer) {}
    std::uint64_t length() const { return length_; }
    // The bytes at [at, at + n), n at most the buffer; null past the end or
    // when the file cannot be read.
    const unsigned char* At(std::uint64_t at, std::uint32_t n) {
        if (at + n > length_ || n > buffer_.size()) return nullptr;
        if (at < start_ || at + n > start_ + filled_) {
            if (file_.Seek(at) != err::kNone) return nullptr;
            const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(buffer_.size(), length_ - at));
            std::uint32_t got = 0, total = 0;
            while (total < want) {
                if (file_.Read(buffer_.data() + total, want - total, got) != err::kNone || got == 0) break;
                total += got;
            }
            start_ = at;
            filled_ = total;
            if (at + n > start_ + filled_) return nullptr;
        }
        return buffer_.data() + (at - start_);
    }

private:
    File& file_;
    std::uint64_t length_;
    std::vector<unsigned char> buffer_;
    std::uint64_t start_ = 0;
    std::uint32_t filled_ = 0;
};

// Hashes [from, from + n) of the file; false when it cannot be read.
bool HashRange(ScanReader& reader, Md5& md5, std::uint64_t from, std::uint64_t n,
               const std::function<void()>& checkpoint) {
    while (n > 0) {
        const auto part = static_cast<std::uint32_t>(std::min<std::uint64_t>(n, kScanBuffer));
        const unsigned char* p = reader.At(from, part);
        if (!p) return false;
        md5.Update(p, part);
        from += part;
        n -= part;
        if (checkpoint) checkpoint();
    }
    return true;
}

// Below this a recovery block is hashed alone through the scan's buffer:
// the lanes would cost a read of its own for each block, and a file of many
// tiny blocks (which a hostile one may be) as many reads.
constexpr std::uint64_t kHashAheadFrom = 64u << 10;

// Recovery blocks that follow one another, as a volume holds them, are
// hashed many at a time (their MD5 is most of a reading's work): from
// `at`, each next one of the same length where the last ends, as far as
// the lanes go. What each one's hash proves is kept by its place, for the
// scan to take when it gets there; a block that fails leaves the scan to
// go on from it as it always does.
struct Proven {
    std::uint64_t size = 0;
    bool intact = false;
};

std::uint64_t HashAhead(File& file, ScanReader& reader, std::uint64_t at, std::uint64_t size,
                        const std::function<void()>& checkpoint, std::map<std::uint64_t, Proven>& proven) {
    struct Block {
        std::uint64_t at;
        Hash md5;
    };
    std::vector<Block> blocks;
    for (std::uint64_t next = at; blocks.size() < kMd5Lanes && next + size <= reader.length();) {
        const unsigned char* header = reader.At(next, static_cast<std::uint32_t>(kHeaderSize));
        if (!header || !std::equal(std::begin(kPacketMagic), std::end(kPacketMagic), header) ||
            GetU64(header + 8) != size || !IsType(header + 48, kRecoveryType)) {
            break;
        }
        blocks.push_back({next, GetHash(header + 16)});
        next += size;
    }
    constexpr std::uint64_t kChunk = 256u << 10;
    std::vector<std::vector<unsigned char>> chunks(
        blocks.size(), std::vector<unsigned char>(static_cast<std::size_t>(std::min(kChunk, size - 32))));
    std::vector<Md5Stream> streams(blocks.size());
    std::vector<bool> readable(blocks.size(), true);
    std::vector<Md5Stream*> lanes;
    std::vector<const unsigned char*> data;
    for (std::uint64_t done = 32; done < size;) {
        const auto part = static_cast<std::uint32_t>(std::min<std::uint64_t>(size - done, kChunk));
        lanes.clear();
        data.clear();
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            if (!readable[b]) continue;
            std::uint32_t total = 0, got = 0;
            if (file.Seek(blocks[b].at + done) == err::kNone) {
                while (total < part && file.Read(chunks[b].data() + total, part - total, got) == err::kNone && got > 0) {
                    total += got;
                }
            }
            if (total != part) {
                readable[b] = false;
                continue;
            }
            lanes.push_back(&streams[b]);
            data.push_back(chunks[b].data());
        }
        Md5Update(lanes.data(), data.data(), lanes.size(), part);
        done += part;
        if (checkpoint) checkpoint();
    }
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        proven[blocks[b].at] = {size, readable[b] && Md5Final(streams[b]) == blocks[b].md5};
    }
    // What was hashed beyond the block asked for.
    return blocks.empty() ? 0 : (blocks.size() - 1) * size;
}

struct Found {
    std::map<Hash, RecoverySet> sets;
    std::vector<Hash> order;  // sets in the order first seen
    // Where each set's recovery block of an exponent is, so that a file of
    // a million tiny packets costs no quadratic search.
    std::map<std::pair<Hash, std::uint32_t>, std::size_t> exponents;
    RecoverySet& Of(const Hash& id) {
        auto it = sets.find(id);
        if (it == sets.end()) {
            order.push_back(id);
            it = sets.emplace(id, RecoverySet{}).first;
            it->second.id = id;
        }
        return it->second;
    }
};

bool SameChecks(const std::vector<SliceCheck>& a, const std::vector<SliceCheck>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].md5 != b[i].md5 || a[i].crc != b[i].crc) return false;
    }
    return true;
}

void TakeSmallPacket(Found& found, Md5& md5, const Hash& set, const unsigned char* type, const unsigned char* body,
                     std::uint64_t size) {
    if (IsType(type, kMainType)) {
        // The set's ID is the MD5 of its main packet's body: a copy that is
        // not that body, however sound its own MD5, is not this set's.
        if (size < 12 || Md5Of(md5, body, static_cast<std::size_t>(size)) != set) return;
        RecoverySet& s = found.Of(set);
        if (s.hasMain) return;
        const std::uint64_t slice = GetU64(body);
        const std::uint32_t count = GetU32(body + 8);
        if (slice == 0 || slice % 4 != 0 || 12 + std::uint64_t{count} * 16 > size) return;
        if (count > kMaxInputSlices) {
            s.flaw = SetFlaw::TooLarge;
            return;
        }
        s.hasMain = true;
        s.sliceSize = slice;
        for (std::uint32_t i = 0; i < count; ++i) s.files.push_back(GetHash(body + 12 + 16 * i));
    } else if (IsType(type, kFileType)) {
        if (size < 56) return;
        FileDescription file;
        file.id = GetHash(body);
        file.md5 = GetHash(body + 16);
        file.md5Head = GetHash(body + 32);
        file.length = GetU64(body + 48);
        file.name.assign(reinterpret_cast<const char*>(body + 56), static_cast<std::size_t>(size - 56));
        while (!file.name.empty() && file.name.back() == '\0') file.name.pop_back();
        // The ID is the MD5 of the fields after it: a copy whose length or
        // name was changed, even under a sound packet MD5, proves nothing.
        if (FileId(md5, file.md5Head, file.length, file.name, true) != file.id &&
            FileId(md5, file.md5Head, file.length, file.name, false) != file.id) {
            return;
        }
        RecoverySet& s = found.Of(set);
        if (const FileDescription* known = s.Describe(file.id)) {
            if (known->md5 != file.md5) s.flaw = SetFlaw::Conflicting;
            return;
        }
        s.descriptions.push_back(std::move(file));
    } else if (IsType(type, kChecksType)) {
        if (size < 16 || (size - 16) % 20 != 0) return;
        const Hash file = GetHash(body);
        std::vector<SliceCheck> checks(static_cast<std::size_t>((size - 16) / 20));
        for (std::size_t i = 0; i < checks.size(); ++i) {
            checks[i].md5 = GetHash(body + 16 + 20 * i);
            checks[i].crc = GetU32(body + 16 + 20 * i + 16);
        }
        RecoverySet& s = found.Of(set);
        if (const std::vector<SliceCheck>* known = s.ChecksOf(file)) {
            if (!SameChecks(*known, checks)) s.flaw = SetFlaw::Conflicting;
            return;
        }
        s.checks.emplace_back(file, std::move(checks));
    } else if (IsType(type, kCreatorType)) {
        RecoverySet& s = found.Of(set);
        if (s.creator.empty()) s.creator.assign(reinterpret_cast<const char*>(body), static_cast<std::size_t>(size));
        while (!s.creator.empty() && s.creator.back() == '\0') s.creator.pop_back();
    }
}

void ScanFile(Platform& platform, const std::string& path, bool checkSlices, const std::function<void()>& checkpoint,
              Found& found) {
    std::unique_ptr<File> file;
    if (platform.Open(path, {Access::Read, Share::Read, Creation::OpenExisting, true}, file) != err::kNone) return;
    std::uint64_t length = 0;
    if (file->Length(length) != err::kNone) return;
    ScanReader reader(*file, length);
    std::unique_ptr<Md5> md5 = platform.NewMd5();
    std::uint64_t at = 0;
    unsigned candidates = 0;
    std::uint64_t wasted = 0;
    std::map<std::uint64_t, Proven> proven;  // recovery blocks hashed ahead, by place
    const std::uint64_t budget = 4 * length + (64ull << 20);
    while (at + kHeaderSize <= length) {
        if (checkpoint && ++candidates % kPacketsPerCheckpoint == 0) checkpoint();
        // The next magic sequence, wherever it lies: damage may have moved
        // what follows off its 4-byte places.
        const auto window = static_cast<std::uint32_t>(std::min<std::uint64_t>(kSearchWindow, length - at));
        const unsigned char* p = reader.At(at, window);
        if (!p) return;
        const unsigned char* hit = std::search(p, p + window, std::begin(kPacketMagic), std::end(kPacketMagic));
        if (hit == p + window) {
            // The magic may straddle the window's end.
            if (window < sizeof kPacketMagic) return;
            at += window - (sizeof kPacketMagic - 1);
            if (checkpoint) checkpoint();
            continue;
        }
        at += static_cast<std::uint64_t>(hit - p);
        const unsigned char* header = reader.At(at, static_cast<std::uint32_t>(kHeaderSize));
        if (!header) return;
        const std::uint64_t size = GetU64(header + 8);
        const Hash packetMd5 = GetHash(header + 16);
        const Hash set = GetHash(header + 32);
        unsigned char type[kPacketTypeSize];
        std::memcpy(type, header + 48, kPacketTypeSize);
        const bool recovery = IsType(type, kRecoveryType);
        const bool sound = size >= kHeaderSize && size % 4 == 0 && size <= length - at &&
                           (recovery ? size >= kRecoveryOverhead : size <= kMaxSmallPacket);
        if (!sound) {
            at += 1;
            continue;
        }
        if (recovery) {
            const unsigned char* exponent = reader.At(at + kHeaderSize, 4);
            if (!exponent) return;
            const std::uint32_t e = GetU32(exponent);
            bool intact = true;
            if (checkSlices && size < kHashAheadFrom) {
                intact = HashRange(reader, *md5, at + 32, size - 32, checkpoint) && md5->Final() == packetMd5;
            } else if (checkSlices) {
                auto ahead = proven.find(at);
                if (ahead == proven.end() || ahead->second.size != size) {
                    // Hashed ahead and not used yet counts as hashed for nothing.
                    wasted += HashAhead(*file, reader, at, size, checkpoint, proven);
                    if (wasted > budget) return;
                    ahead = proven.find(at);
                } else {
                    wasted -= std::min(wasted, size);
                }
                intact = ahead != proven.end() && ahead->second.intact;
                if (ahead != proven.end()) proven.erase(ahead);
            }
            if (!intact) {
                // Bytes hashed for nothing: a file made of overlapping
                // packets that fail would otherwise cost its length squared.
                wasted += size;
                if (wasted > budget) return;
                at += 1;
                continue;
            }
            RecoverySet& s = found.Of(set);
            const auto known = found.exponents.find({set, e});
            if (known == found.exponents.end()) {
                if (s.recovery.size() < kMaxRecoverySlices) {
                    found.exponents.emplace(std::make_pair(set, e), s.recovery.size());
                    s.recovery.push_back({e, path, at + kRecoveryOverhead, size - kRecoveryOverhead, packetMd5});
                }
            } else if (checkSlices && s.recovery[known->second].packet != packetMd5) {
                // Two proven blocks of one exponent that differ: one of them
                // was made to mislead.
                s.flaw = SetFlaw::Conflicting;
            }
            at += size;
            continue;
        }
        std::string packet;
        packet.reserve(static_cast<std::size_t>(size));
        bool readable = true;
        for (std::uint64_t done = 0; done < size;) {
            const auto part = static_cast<std::uint32_t>(std::min<std::uint64_t>(size - done, kScanBuffer));
            const unsigned char* q = reader.At(at + done, part);
            if (!q) {
                readable = false;
                break;
            }
            packet.append(reinterpret_cast<const char*>(q), part);
            if (checkpoint) checkpoint();
            done += part;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(packet.data());
        if (!readable || Md5Of(*md5, bytes + 32, packet.size() - 32) != packetMd5) {
            wasted += size;
            if (wasted > budget) return;
            at += 1;
            continue;
        }
        TakeSmallPacket(found, *md5, set, type, bytes + kHeaderSize, size - kHeaderSize);
        at += size;
    }
}

}  // namespace

std::vector<RecoverySet> ReadRecoveryFiles(Platform& platform, const std::vector<std::string>& paths,
                                           bool checkSlices, const std::function<void()>& checkpoint) {
    Found found;
    for (const std::string& path : paths) ScanFile(platform, path, checkSlices, checkpoint, found);
    std::vector<RecoverySet> sets;
    for (const Hash& id : found.order) {
        RecoverySet& s = found.sets[id];
        // Slices of another length than the set's cannot be its recovery.
        s.recovery.erase(std::remove_if(s.recovery.begin(), s.recovery.end(),
                                        [&](const RecoverySlice& r) { return !s.hasMain || r.size != s.sliceSize; }),
                         s.recovery.end());
        sets.push_back(std::move(s));
    }
    return sets;
}

}  // namespace engine::par2
