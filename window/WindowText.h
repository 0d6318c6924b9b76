// The text of a window or control, at whatever length it has, in UTF-8.
#pragma once

#include <string>

#include "platform/win32/WinApi.h"

namespace window {

std::string TextOf(HWND hwnd);
void SetTextOf(HWND hwnd, const std::string& text);
std::string ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::string& text);
// The shell's compaction of a path to `chars` characters (the terminator
// included), with an ellipsis in the middle; for display only.
std::string Compact(const std::string& path, UINT chars);
// A string resource at whatever length it has; empty when there is none.
std::wstring LoadText(HINSTANCE instance, UINT id);
// A menu item's text by position, at whatever length it has.
std::wstring MenuText(HMENU menu, UINT position);

}  // namespace window
