// Opens pages of the help file with HTML Help, owned by the desktop.
#pragma once

#include <functional>
#include <string>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/WinApi.h"

namespace app {

class HelpLauncher {
public:
    // Opens a help path; by default HTML Help's display-topic call. Tests
    // observe the requests here.
    using Opener = std::function<void(const std::string& path)>;

    HelpLauncher() = default;
    HelpLauncher(const HelpLauncher&) = delete;
    HelpLauncher& operator=(const HelpLauncher&) = delete;

    void SetOpener(Opener opener) { opener_ = std::move(opener); }
    void Open(const std::string& path);
    // HTML Help's library, loaded when first asked for; null without one.
    HMODULE Library();

private:
    Opener opener_;
    platform::ScopedLibrary library_;
    bool loaded_ = false;
};

}  // namespace app
