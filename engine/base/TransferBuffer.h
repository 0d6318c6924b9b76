// The one buffer an operation moves its bytes through. Page-aligned, so that
// the kernel copies whole pages to and from the file cache.
#pragma once

#include <cstdint>
#include <new>

namespace engine {

// Every engine moves its bytes in slices of this size: small enough to stay
// in the processor's cache while the checksums and the write look at them,
// large enough that the calls cost little.
inline constexpr std::uint32_t kSlice = 256 * 1024;

class TransferBuffer {
public:
    TransferBuffer() = default;
    TransferBuffer(const TransferBuffer&) = delete;
    TransferBuffer& operator=(const TransferBuffer&) = delete;
    ~TransferBuffer() { Release(); }

    // False when the memory cannot be had. A buffer already large enough is
    // kept: mapping fresh pages for every piece costs more than the copy.
    bool Allocate(std::uint32_t size) noexcept {
        if (data_ && size <= capacity_) return true;
        Release();
        data_ = static_cast<unsigned char*>(::operator new(size ? size : 1, kAlignment, std::nothrow));
        capacity_ = data_ ? size : 0;
        return data_ != nullptr;
    }
    void Release() noexcept {
        if (data_) ::operator delete(data_, kAlignment);
        data_ = nullptr;
        capacity_ = 0;
    }
    unsigned char* get() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    static constexpr std::align_val_t kAlignment{4096};
    unsigned char* data_ = nullptr;
    std::uint32_t capacity_ = 0;
};

}  // namespace engine
