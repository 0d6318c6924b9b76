// Module-wide state of Glimber: the lock count that decides whether the DLL
// may be unloaded, and the module's handle.
#pragma once

#include <string>

#include "platform/win32/WinApi.h"

namespace glimber {

void LockModule();
void UnlockModule();
LONG ModuleLocks();
HMODULE ModuleHandle();
std::wstring ModulePath();

}  // namespace glimber
