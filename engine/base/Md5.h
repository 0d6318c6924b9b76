// MD5, which the PAR2 format names for its packets, files and slices. The
// system provides it (nettle on Linux, BCrypt on Windows), through
// Platform::NewMd5.
#pragma once

#include <array>
#include <cstddef>

namespace engine {

using Md5Digest = std::array<unsigned char, 16>;

class Md5 {
public:
    virtual ~Md5() = default;
    virtual void Update(const void* data, std::size_t size) = 0;
    // The digest of everything given since the last Final; starts afresh.
    virtual Md5Digest Final() = 0;
};

}  // namespace engine
