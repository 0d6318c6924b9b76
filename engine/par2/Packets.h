// The PAR 2.0 file format, as far as recovery files over a set's pieces need
// it: the packets that say what the pieces are (main, file description,
// slice checksums, creator) and the recovery slices, written and read. Every
// packet carries its own MD5; a damaged one is skipped and the rest of its
// file still read, as the format intends.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/base/Md5.h"
#include "engine/base/Platform.h"

namespace engine::par2 {

using Hash = Md5Digest;

// A set of input slices gets one constant each, and there are this many.
inline constexpr std::uint32_t kMaxInputSlices = 32768;
inline constexpr std::uint64_t kHeaderSize = 64;
// Every packet starts with the magic; its type is 16 bytes.
inline constexpr unsigned char kPacketMagic[8] = {'P', 'A', 'R', '2', 0, 'P', 'K', 'T'};
inline constexpr std::size_t kPacketTypeSize = 16;
// A recovery slice packet: the header, the exponent, the slice.
inline constexpr std::uint64_t kRecoveryOverhead = kHeaderSize + 4;

struct SliceCheck {
    Hash md5{};
    std::uint32_t crc = 0;
};

struct FileDescription {
    Hash id{};
    Hash md5{};      // of the whole file
    Hash md5Head{};  // of its first 16 KiB
    std::uint64_t length = 0;
    std::string name;  // UTF-8, as the pieces are named
};

// Where an intact recovery slice lies.
struct RecoverySlice {
    std::uint32_t exponent = 0;
    std::string path;
    std::uint64_t offset = 0;  // of its data in the file
    std::uint64_t size = 0;
    Hash packet{};  // the packet's MD5: two copies of one exponent must agree
};

// Why a recovery set that was read cannot be used, whatever the files it
// describes hold.
enum class SetFlaw {
    None,
    // Two sound packets say different things of one file, one file's slices
    // or one exponent: there is no telling which is the set's.
    Conflicting,
    // More files or slices than the format allows.
    TooLarge,
};

// What the recovery files found say about one recovery set.
struct RecoverySet {
    Hash id{};
    bool hasMain = false;
    std::uint64_t sliceSize = 0;
    std::vector<Hash> files;  // in the main packet's order
    std::vector<FileDescription> descriptions;
    std::vector<std::pair<Hash, std::vector<SliceCheck>>> checks;
    std::vector<RecoverySlice> recovery;  // one per exponent, in the order found
    std::string creator;
    SetFlaw flaw = SetFlaw::None;

    const FileDescription* Describe(const Hash& file) const;
    const std::vector<SliceCheck>* ChecksOf(const Hash& file) const;
    // How many slices a file of the set is cut into.
    std::uint64_t SlicesOf(std::uint64_t length) const { return sliceSize ? (length + sliceSize - 1) / sliceSize : 0; }
};

// File IDs in the order of the main packet: as 16-byte little-endian numbers,
// which is how par2cmdline reads the format's "numerical value".
bool IdLess(const Hash& a, const Hash& b);
// zlib's crc32; `folded` false: zlib's own code throughout (the tests' reference).
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size, bool folded = true);
Hash Md5Of(Md5& md5, const void* data, std::size_t size);

// The file ID as this program writes it: the name padded to 4 bytes, as it
// stands in the packet. Some tools hash the name without its padding;
// `padded` false gives theirs.
Hash FileId(Md5& md5, const Hash& head, std::uint64_t length, const std::string& name, bool padded = true);
std::string MainBody(std::uint64_t sliceSize, std::vector<Hash> ids);
std::string FileDescriptionBody(const FileDescription& file);
std::string SliceChecksBody(const Hash& file, const std::vector<SliceCheck>& checks);
std::string CreatorBody();
// A whole packet: header and body, the body a multiple of 4 bytes.
std::string Packet(Md5& md5, const Hash& set, const char* type, const std::string& body);
// The packets every recovery file carries, in the order they are written.
std::string CriticalPackets(Md5& md5, const Hash& set, std::uint64_t sliceSize,
                            const std::vector<FileDescription>& files,
                            const std::vector<std::vector<SliceCheck>>& checks);
inline constexpr const char* kMainType = "PAR 2.0\0Main\0\0\0\0";
inline constexpr const char* kFileType = "PAR 2.0\0FileDesc";
inline constexpr const char* kChecksType = "PAR 2.0\0IFSC\0\0\0\0";
inline constexpr const char* kRecoveryType = "PAR 2.0\0RecvSlic";
inline constexpr const char* kCreatorType = "PAR 2.0\0Creator\0";
// The header of a recovery slice packet, and the start of what its MD5
// covers, for data that is hashed as it is made.
std::string RecoveryHeader(const Hash& packetMd5, const Hash& set, std::uint64_t sliceSize,
                           std::uint32_t exponent);
void BeginRecoveryHash(Md5& md5, const Hash& set, std::uint32_t exponent);
// What that hash takes in before the slice's bytes.
std::string RecoveryHashStart(const Hash& set, std::uint32_t exponent);

// NAME.par2 and NAME.volFIRST+COUNT.par2, the digits padded as par2cmdline
// pads them, so that the files sort in order.
std::string IndexName(const std::string& setName);
std::string VolumeName(const std::string& setName, std::uint32_t first, std::uint32_t count,
                       std::uint32_t lastExponent, std::uint32_t largestCount);
bool IsRecoveryFileOf(const std::string& entry, const std::string& setName, bool exact);

// Reads every packet of the files; `checkSlices` also proves each recovery
// slice by its MD5 (off only where its data is not going to be used).
// `checkpoint` is called between megabytes. Files that cannot be opened
// are passed over. A packet is taken only when it proves itself: its MD5,
// a main packet whose MD5 is the set's ID, a file description whose ID is
// the MD5 of its fields; a damaged copy gives way to a sound one, and two
// sound ones that differ mark the set Conflicting.
std::vector<RecoverySet> ReadRecoveryFiles(Platform& platform, const std::vector<std::string>& paths,
                                           bool checkSlices, const std::function<void()>& checkpoint);

}  // namespace engine::par2
