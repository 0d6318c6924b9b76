// Registry keys and values for every Windows layer: the one reader and
// writer of string and number values, at any length, with the key always
// owned. Header-only, so that the shell extension, which links no library of
// ours, uses the same code.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/ScopedWin.h"

namespace platform::registry {

inline LONG Open(HKEY root, const std::wstring& path, REGSAM access, ScopedKey& key) {
    return RegOpenKeyExW(root, path.c_str(), 0, access, key.Receive());
}

// Opens the key, making it (and the keys above it) where it is missing.
inline LONG Create(HKEY root, const std::wstring& path, REGSAM access, ScopedKey& key) {
    return RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key.Receive(),
                           nullptr);
}

// A value's bytes as stored, whatever their length; `name` null is the
// key's default value.
inline LONG ReadData(HKEY key, const wchar_t* name, DWORD& type, std::vector<BYTE>& data) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        LONG code = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
        if (code != ERROR_SUCCESS) return code;
        data.assign(size, 0);
        code = RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
        // Another program may have made the value longer meanwhile.
        if (code == ERROR_MORE_DATA) continue;
        if (code == ERROR_SUCCESS) data.resize(size);
        return code;
    }
    return ERROR_MORE_DATA;
}

// A string value up to its first terminator; false when it is missing or
// holds no string.
inline bool ReadString(HKEY key, const wchar_t* name, std::wstring& value) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (ReadData(key, name, type, data) != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    const auto* text = reinterpret_cast<const wchar_t*>(data.data());
    std::size_t length = 0;
    while (length < data.size() / sizeof(wchar_t) && text[length]) ++length;
    value.assign(text, length);
    return true;
}

inline bool ReadString(HKEY root, const std::wstring& path, const wchar_t* name, std::wstring& value) {
    ScopedKey key;
    return Open(root, path, KEY_QUERY_VALUE, key) == ERROR_SUCCESS && ReadString(key.get(), name, value);
}

inline LONG WriteData(HKEY key, const wchar_t* name, DWORD type, const void* data, std::size_t size) {
    return RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
}

inline LONG WriteString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return WriteData(key, name, REG_SZ, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
}

inline LONG WriteString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    ScopedKey key;
    const LONG code = Create(root, path, KEY_SET_VALUE, key);
    return code != ERROR_SUCCESS ? code : WriteString(key.get(), name, value);
}

inline bool ReadNumber(HKEY key, const wchar_t* name, DWORD& value) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (ReadData(key, name, type, data) != ERROR_SUCCESS || type != REG_DWORD || data.size() != sizeof(DWORD)) {
        return false;
    }
    value = *reinterpret_cast<const DWORD*>(data.data());
    return true;
}

inline LONG WriteNumber(HKEY key, const wchar_t* name, DWORD value) {
    return WriteData(key, name, REG_DWORD, &value, sizeof value);
}

}  // namespace platform::registry
