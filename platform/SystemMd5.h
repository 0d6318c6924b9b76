// The system's MD5, for every implementation of the platform seam (the fake
// one of the tests included).
#pragma once

#include <memory>

#include "engine/base/Md5.h"

namespace platform {

std::unique_ptr<engine::Md5> NewSystemMd5();

}  // namespace platform
