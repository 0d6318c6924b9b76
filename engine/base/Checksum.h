// The checksums that prove a piece, or a whole rejoined file, is the one that
// was split: XXH3 with 128 bits from xxHash, kept in its canonical byte order
// so that `xxhsum -H2` prints the same digits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace engine {

struct Checksum {
    std::array<unsigned char, 16> bytes{};
    bool operator==(const Checksum& other) const { return bytes == other.bytes; }
    bool operator!=(const Checksum& other) const { return bytes != other.bytes; }
    std::string Hex() const;
};

// A checksum computed over data that arrives in parts.
class ChecksumState {
public:
    ChecksumState();
    ~ChecksumState();
    ChecksumState(const ChecksumState&) = delete;
    ChecksumState& operator=(const ChecksumState&) = delete;
    ChecksumState(ChecksumState&&) noexcept;
    ChecksumState& operator=(ChecksumState&&) noexcept;

    void Reset();
    void Update(const void* data, std::size_t size);
    Checksum Digest() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

Checksum ChecksumOf(const void* data, std::size_t size);
// The 64-bit form, for the info file's check of its own bytes.
std::uint64_t Checksum64(const void* data, std::size_t size);

}  // namespace engine
