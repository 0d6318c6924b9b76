// Where the settings live: one key of the current user. Header-only, so
// that the shell extension reads "Installed Path" from the same key.
#pragma once

namespace settings {

inline constexpr const char* kKeyPath = "Software\\Corvane Software\\Corvane.Split\\Settings";
inline constexpr const char* kFolderOptions = "Folder Options";
inline constexpr const char* kStartupFolder = "Startup Folder";
inline constexpr const char* kWorkingFolder = "Working Folder";
inline constexpr const char* kInstalledPath = "Installed Path";
inline constexpr const char* kRecoveryPercent = "Recovery Percent";
// What the window remembers from one start to the next.
inline constexpr const char* kPieceSize = "Piece Size";
inline constexpr const char* kCustomSize = "Custom Size";
inline constexpr const char* kAlwaysOnTop = "Always On Top";
inline constexpr const char* kLastSourceFolder = "Last Source Folder";
inline constexpr const char* kLastDestination = "Last Destination";
inline constexpr const char* kLastRejoinDestination = "Last Rejoin Destination";

}  // namespace settings
