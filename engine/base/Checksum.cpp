#include "engine/base/Checksum.h"

#include "engine/base/ChecksumWide.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace engine {

namespace {
Checksum FromHash(const XXH128_hash_t& hash) {
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, hash);
    Checksum sum;
    for (std::size_t i = 0; i < sum.bytes.size(); ++i) sum.bytes[i] = canonical.digest[i];
    return sum;
}
}  // namespace

std::string Checksum::Hex() const {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

// XXH3's state wants 64-byte alignment, which `new` of the struct gives.
struct ChecksumState::State {
    XXH3_state_t xxh;
};

ChecksumState::ChecksumState() : state_(std::make_unique<State>()) { Reset(); }
ChecksumState::~ChecksumState() = default;
ChecksumState::ChecksumState(ChecksumState&&) noexcept = default;
ChecksumState& ChecksumState::operator=(ChecksumState&&) noexcept = default;

void ChecksumState::Reset() { XXH3_128bits_reset(&state_->xxh); }

void ChecksumState::Update(const void* data, std::size_t size) {
    // Both builds keep the state alike; only the speed differs.
    if (wide::Available()) {
        wide::Update(&state_->xxh, data, size);
        return;
    }
    XXH3_128bits_update(&state_->xxh, data, size);
}

Checksum ChecksumState::Digest() const { return FromHash(XXH3_128bits_digest(&state_->xxh)); }

Checksum ChecksumOf(const void* data, std::size_t size) { return FromHash(XXH3_128bits(data, size)); }

std::uint64_t Checksum64(const void* data, std::size_t size) { return XXH3_64bits(data, size); }

}  // namespace engine
