// Owners for the system's handles: each releases what it holds when it goes,
// on every way out. Small on purpose; one per kind of handle. Here, in the
// lowest Windows layer, so that every layer above can use them.
#pragma once

#include <utility>

#include "platform/win32/WinApi.h"

#include <objbase.h>

namespace platform {

// Any handle whose release is one call: `Free(handle)` when it goes.
template <class Handle, auto Free, Handle kNone = Handle{}>
class Scoped {
public:
    explicit Scoped(Handle handle = kNone) : handle_(handle) {}
    ~Scoped() { Reset(); }
    Scoped(Scoped&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, kNone);
        }
        return *this;
    }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != kNone; }
    // The handle now belongs to someone else.
    Handle Release() { return std::exchange(handle_, kNone); }
    void Reset(Handle handle = kNone) {
        if (handle_ != kNone) Free(handle_);
        handle_ = handle;
    }

private:
    Handle handle_;
};

// A kernel handle (file, process, thread, event, mutex).
class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE handle = nullptr) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~ScopedHandle() { Reset(); }
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // The handle now belongs to someone else.
    HANDLE Release() { return std::exchange(handle_, nullptr); }
    void Reset(HANDLE handle = nullptr) {
        if (handle_) CloseHandle(handle_);
        handle_ = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }

private:
    HANDLE handle_;
};

// A registry key.
class ScopedKey {
public:
    ScopedKey() = default;
    ~ScopedKey() { Reset(); }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    HKEY get() const { return key_; }
    // For the functions that hand out a key.
    HKEY* Receive() {
        Reset();
        return &key_;
    }
    explicit operator bool() const { return key_ != nullptr; }
    void Reset() {
        if (key_) RegCloseKey(key_);
        key_ = nullptr;
    }

private:
    HKEY key_ = nullptr;
};

// A search of a folder (FindFirstFileW).
class ScopedFind {
public:
    explicit ScopedFind(HANDLE find = INVALID_HANDLE_VALUE) : find_(find) {}
    ~ScopedFind() {
        if (find_ != INVALID_HANDLE_VALUE) FindClose(find_);
    }
    ScopedFind(const ScopedFind&) = delete;
    ScopedFind& operator=(const ScopedFind&) = delete;
    HANDLE get() const { return find_; }
    explicit operator bool() const { return find_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE find_;
};

// A COM interface pointer that it releases.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}

    T* get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For the functions that hand out an interface.
    T** Receive() {
        Reset();
        return &pointer_;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
    void Reset() {
        if (pointer_) pointer_->Release();
        pointer_ = nullptr;
    }

private:
    T* pointer_ = nullptr;
};

// COM for the life of a scope, on this thread.
class ComScope {
public:
    ComScope() : result_(CoInitialize(nullptr)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

}  // namespace platform
