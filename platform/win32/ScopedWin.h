// Owners for the system's handles: each releases what it holds when it goes,
// on every way out. One template for every handle whose release is one
// call, and a few owners for what needs more (a window's DC, a selection, a
// COM pointer). Here, in the lowest Windows layer, so that every layer above
// spells each owner the same way.
#pragma once

#include <type_traits>
#include <utility>

#include "platform/win32/WinApi.h"

#include <commctrl.h>
#include <objbase.h>

namespace platform {

// Any handle whose release is one call: `Free(handle)` when it goes. A
// handle the system hands out as INVALID_HANDLE_VALUE on failure is held as
// none, so that a failed open needs no owner of its own.
template <class Handle, auto Free>
class Scoped {
public:
    explicit Scoped(Handle handle = Handle{}) : handle_(Held(handle)) {}
    ~Scoped() { Reset(); }
    Scoped(Scoped&& other) noexcept : handle_(std::exchange(other.handle_, Handle{})) {}
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, Handle{});
        }
        return *this;
    }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Handle{}; }
    // The handle now belongs to someone else.
    Handle Release() { return std::exchange(handle_, Handle{}); }
    void Reset(Handle handle = Handle{}) {
        if (handle_ != Handle{}) Free(handle_);
        handle_ = Held(handle);
    }
    // For the functions that hand out a handle through a pointer.
    Handle* Receive() {
        Reset();
        return &handle_;
    }

private:
    static Handle Held(Handle handle) {
        if constexpr (std::is_same_v<Handle, HANDLE>) {
            if (handle == INVALID_HANDLE_VALUE) return Handle{};
        }
        return handle;
    }

    Handle handle_;
};

// A kernel handle (file, process, thread, event, mutex).
using ScopedHandle = Scoped<HANDLE, CloseHandle>;
// A search of a folder (FindFirstFileW).
using ScopedFind = Scoped<HANDLE, FindClose>;
// A registry key.
using ScopedKey = Scoped<HKEY, RegCloseKey>;
// A library loaded by name.
using ScopedLibrary = Scoped<HMODULE, FreeLibrary>;
// A menu that no window owns; Release when a window or menu takes it.
using ScopedMenu = Scoped<HMENU, DestroyMenu>;
// An icon made for this program (LoadImage, CreateIcon): shared icons from
// LoadIcon are the system's and need no owner.
using ScopedIcon = Scoped<HICON, DestroyIcon>;
// A device context made for drawing off screen (CreateCompatibleDC).
using ScopedMemoryDc = Scoped<HDC, DeleteDC>;

// A GDI object: font, bitmap, brush.
template <class T>
void DeleteGdi(T object) {
    DeleteObject(object);
}
template <class T>
using ScopedGdi = Scoped<T, DeleteGdi<T>>;

// What the system allocated for us with LocalAlloc (FormatMessage's text,
// CommandLineToArgvW's list).
template <class T>
void FreeLocal(T memory) {
    LocalFree(reinterpret_cast<HLOCAL>(memory));
}
template <class T>
using ScopedLocal = Scoped<T, FreeLocal<T>>;

// An image list (the common controls').
inline void DestroyImageList(HIMAGELIST list) { ImageList_Destroy(list); }
using ScopedImageList = Scoped<HIMAGELIST, DestroyImageList>;

// A window's device context (GetDC), given back to the window (ReleaseDC).
class ScopedWindowDc {
public:
    explicit ScopedWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ScopedWindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    ScopedWindowDc(const ScopedWindowDc&) = delete;
    ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context, and selected out again, the
// context's earlier one back, when it goes.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? SelectObject(dc, object) : nullptr) {}
    ~ScopedSelect() {
        if (old_) SelectObject(dc_, old_);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
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

// COM for the life of a scope, on this thread: single-threaded (the
// window's dialogs), and uninitialised only if it was initialised here.
class ComScope {
public:
    explicit ComScope(DWORD model = COINIT_APARTMENTTHREADED) : result_(CoInitializeEx(nullptr, model)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    // S_FALSE: it was already initialised on this thread, the same way.
    HRESULT result() const { return result_; }

private:
    HRESULT result_;
};

}  // namespace platform
