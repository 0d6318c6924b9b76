// The version dialog: the installed version beside the latest one the maker's
// server names, and a button that opens the update page.
#pragma once

#include <functional>
#include <string>

#include "window/Dialog.h"

namespace update {

// Opens an address in the user's browser (the shell's "open" verb); false
// when nothing could open it (no browser, a refused address).
using PageOpener = std::function<bool(const std::string& address)>;
bool OpenWithShell(const std::string& address);

class VersionDialog : public window::DialogImpl<VersionDialog> {
public:
    // `problem`: why nothing could be read, when it was so (shown under the
    // field).
    VersionDialog(std::string latest, std::string updatePage, PageOpener opener = OpenWithShell,
                  std::string problem = "");

    static window::MessageTable<VersionDialog> Messages();

private:
    INT_PTR OnInitDialog(WPARAM, LPARAM);
    INT_PTR OnGetLatest(WPARAM, LPARAM);
    INT_PTR OnClose(WPARAM, LPARAM);

    std::string latest_;
    std::string updatePage_;
    std::string problem_;
    PageOpener opener_;
};

// "Check for Updates": fetches the version file from `server` on a thread of
// its own while `owner` stays responsive, then shows the dialog over it until
// it is closed.
void CheckForUpdates(HWND owner, const std::string& server, PageOpener opener = OpenWithShell,
                     unsigned long timeoutMs = 15000);

}  // namespace update
