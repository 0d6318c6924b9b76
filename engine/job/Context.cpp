#include "engine/job/Context.h"

#include <algorithm>
#include <cstdint>

#include "engine/base/Format.h"
#include "engine/base/Texts.h"

namespace engine {

void FailRun(Prompts& prompts, const std::string& text, const std::string& caption) {
    prompts.Tell(text, caption);
    throw RunFailed{};
}

std::string ProgressText(std::uint64_t done, std::uint64_t remaining) {
    return Fill(Fill(texts::kProgressFormat, std::to_string(done), "%d"), std::to_string(remaining), "%d");
}

int Percent(std::uint64_t done, std::uint64_t total) {
    if (total == 0 || done >= total) return 100;
    // done × 100 would pass 64 bits for sizes beyond 184 PB.
    if (total > UINT64_MAX / 100) return static_cast<int>(std::min<std::uint64_t>(done / (total / 100), 99));
    return static_cast<int>(done * 100 / total);
}

std::uint64_t Scaled(std::uint64_t done, std::uint64_t of, std::uint64_t to) {
    if (of == 0) return 0;
    if (done >= of) return to;
    return static_cast<std::uint64_t>(static_cast<long double>(done) / static_cast<long double>(of) *
                                      static_cast<long double>(to));
}

}  // namespace engine
