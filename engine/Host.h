// What the engines need of the window that runs them. The Win32 dialog, the
// console front end and the test host implement it; the engines never format
// for a particular front end.
#pragma once

#include <string>

namespace engine {

enum class Buttons { Ok, OkCancel };
enum class Answer { Ok, Cancel };

class Host {
public:
    virtual ~Host() = default;

    // A modal message box owned by the main window. An empty caption means the
    // program's title (and, by the house style, the exclamation icon); a box
    // with a caption of its own carries no icon.
    virtual Answer ShowMessage(const std::string& text, const std::string& caption,
                               Buttons buttons) = 0;

    virtual void SetProgressStep(int step) = 0;
    virtual void SetProgress(int percent) = 0;
    virtual void ShowProgress(bool visible) = 0;
    // The "Processed / Remaining" line under the progress bar.
    virtual void SetProgressText(const std::string& text) = 0;

    virtual void EnableControls(bool enable) = 0;
    virtual void RefreshStatusBar(const std::string& text, int pane) = 0;
    // The custom piece-size field and its label.
    virtual void ShowCustomSize(bool visible) = 0;

    // The modal end-of-split notice; returns when the user has closed it.
    virtual void ShowSplitNotice() = 0;

    // The "File already exists" question, asked with `path` in its edit box.
    // Rename replaces `path` by the new name; Overwrite keeps it; Stop ends the
    // operation before anything is written (the window's dialog has no Stop).
    enum class FileExists { Rename, Overwrite, Stop };
    virtual FileExists AskFileExists(std::string& path) = 0;
};

}  // namespace engine
