// "File already exists": asks for another name for a rejoin's output, or
// leaves it to be overwritten.
#pragma once

#include <string>

#include "engine/Host.h"
#include "window/Dialog.h"

namespace app {

class FileExistsDialog : public window::DialogImpl<FileExistsDialog> {
public:
    explicit FileExistsDialog(std::string path);

    // The rejoin's question, as the window's host answers it: OK renames,
    // Cancel overwrites.
    static engine::FileExistsAnswer Ask(HWND owner, std::string& path);

    // The new output path after OK; unchanged after Cancel.
    const std::string& path() const { return path_; }

    static window::MessageTable<FileExistsDialog> Messages();

private:
    INT_PTR OnInitDialog(WPARAM, LPARAM);
    INT_PTR OnOk(WPARAM, LPARAM);
    INT_PTR OnCancel(WPARAM, LPARAM);

    std::string path_;
};

}  // namespace app
