#include <nettle/md5.h>

#include <cstdint>

#include "platform/SystemMd5.h"

namespace platform {

namespace {

class NettleMd5 : public engine::Md5 {
public:
    NettleMd5() { md5_init(&context_); }
    void Update(const void* data, std::size_t size) override {
        md5_update(&context_, size, static_cast<const std::uint8_t*>(data));
    }
    engine::Md5Digest Final() override {
        engine::Md5Digest digest{};
        md5_digest(&context_, MD5_DIGEST_SIZE, digest.data());  // also starts afresh
        return digest;
    }

private:
    md5_ctx context_;
};

}  // namespace

std::unique_ptr<engine::Md5> NewSystemMd5() { return std::make_unique<NettleMd5>(); }

}  // namespace platform
