// The fixed identifiers of Glimber, chosen once and never changed.
#pragma once

#include "platform/win32/WinApi.h"

#include <objbase.h>

namespace glimber {

inline constexpr GUID kClsidSplitContext = {0xD4F29B63, 0x7A18, 0x4C5E, {0xB0, 0xD7, 0x9E, 0x3A, 0x6F, 0x1C, 0x8B, 0x42}};
inline constexpr GUID kIidISplitContext = {0xA3C85F17, 0x2E49, 0x4D6B, {0x9F, 0x0A, 0x71, 0xB4, 0xE8, 0xC2, 0xD5, 0xA6}};
inline constexpr GUID kLibidGlimber = {0x6B1E4C2A, 0x93D4, 0x4F0B, {0x8E, 0x61, 0x2C, 0x7A, 0x5D, 0x9F, 0x3B, 0x10}};

inline constexpr const char* kClsidText = "{D4F29B63-7A18-4C5E-B0D7-9E3A6F1C8B42}";
inline constexpr const char* kLibidText = "{6B1E4C2A-93D4-4F0B-8E61-2C7A5D9F3B10}";

inline constexpr int kMenuBitmap = 201;

// The dual interface of the type library; it adds nothing to IDispatch.
struct ISplitContext : public IDispatch {};

}  // namespace glimber
