// "File already exists": replace the file, save under another name, or stop
// with nothing changed. Stop is the default, and what Esc and closing the
// box mean: no answer but Replace ever replaces anything.
#pragma once

#include <string>

#include "engine/job/Host.h"
#include "window/Dialog.h"

namespace app {

class FileExistsDialog : public window::DialogImpl<FileExistsDialog> {
public:
    explicit FileExistsDialog(std::string path);

    // The engine's question, as the window's host answers it.
    static engine::FileExistsAnswer Ask(HWND owner, std::string& path);

    // The new path after "Save under the new name"; unchanged otherwise.
    const std::string& path() const { return path_; }

    static window::MessageTable<FileExistsDialog> Messages();

private:
    INT_PTR OnInitDialog(WPARAM, LPARAM);
    INT_PTR OnSaveAs(WPARAM, LPARAM);
    INT_PTR OnReplace(WPARAM, LPARAM);
    INT_PTR OnStop(WPARAM, LPARAM);
    INT_PTR OnNameChange(WPARAM, LPARAM);

    std::string original_;
    std::string path_;
};

}  // namespace app
