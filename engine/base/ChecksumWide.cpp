// xxHash's XXH3 built once more for processors with AVX2, chosen at run time
// (engine/base/Checksum.cpp): twice as fast as the build for every x86 processor,
// and the same checksum to the bit, as xxHash promises for all its builds.
#include "engine/base/ChecksumWide.h"

#if defined(PARVEX_WIDE_CHECKSUM)
#define XXH_INLINE_ALL
#define XXH_VECTOR XXH_AVX2
#include <xxhash.h>

namespace engine::wide {

bool Available() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

void Update(void* state, const void* data, std::size_t size) {
    XXH3_128bits_update(static_cast<XXH3_state_t*>(state), data, size);
}

}  // namespace engine::wide

#else

namespace engine::wide {

bool Available() { return false; }
void Update(void*, const void*, std::size_t) {}

}  // namespace engine::wide

#endif
