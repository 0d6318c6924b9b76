#include "platform/win32/WinApi.h"

#include <bcrypt.h>

#include <stdexcept>

#include "platform/SystemMd5.h"

namespace platform {

namespace {

// The provider is opened once for the process and never closed: its handle
// may be shared by every thread.
BCRYPT_ALG_HANDLE Provider() {
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE handle = nullptr;
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, BCRYPT_MD5_ALGORITHM, nullptr, 0))) handle = nullptr;
        return handle;
    }();
    if (!provider) throw std::runtime_error("MD5 is not available on this system.");
    return provider;
}

class BCryptMd5 : public engine::Md5 {
public:
    BCryptMd5() { Begin(); }
    ~BCryptMd5() override {
        if (hash_) BCryptDestroyHash(hash_);
    }
    BCryptMd5(const BCryptMd5&) = delete;
    BCryptMd5& operator=(const BCryptMd5&) = delete;

    void Update(const void* data, std::size_t size) override {
        auto* bytes = static_cast<unsigned char*>(const_cast<void*>(data));
        while (size > 0) {
            const ULONG part = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
            if (!BCRYPT_SUCCESS(BCryptHashData(hash_, bytes, part, 0))) throw std::runtime_error("MD5 failed.");
            bytes += part;
            size -= part;
        }
    }
    engine::Md5Digest Final() override {
        engine::Md5Digest digest{};
        if (!BCRYPT_SUCCESS(BCryptFinishHash(hash_, digest.data(), static_cast<ULONG>(digest.size()), 0))) {
            throw std::runtime_error("MD5 failed.");
        }
        BCryptDestroyHash(hash_);
        hash_ = nullptr;
        Begin();
        return digest;
    }

private:
    void Begin() {
        if (!BCRYPT_SUCCESS(BCryptCreateHash(Provider(), &hash_, nullptr, 0, nullptr, 0, 0))) {
            hash_ = nullptr;
            throw std::runtime_error("MD5 is not available on this system.");
        }
    }
    BCRYPT_HASH_HANDLE hash_ = nullptr;
};

}  // namespace

std::unique_ptr<engine::Md5> NewSystemMd5() { return std::make_unique<BCryptMd5>(); }

}  // namespace platform
