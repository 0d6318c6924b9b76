// <windows.h> for our Win32 code. Include this instead of <windows.h>.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// A 16-bit era macro that would swallow Platform::GetFreeSpace.
#undef GetFreeSpace
