// The faster build of XXH3, where the processor has it.
#pragma once

#include <cstddef>

namespace engine::wide {

// Whether this processor runs it.
bool Available();
// XXH3_128bits_update on an XXH3_state_t, by the AVX2 build.
void Update(void* state, const void* data, std::size_t size);

}  // namespace engine::wide
