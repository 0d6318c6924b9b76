// What the engines need of the window that runs them. The Win32 dialog, the
// console front end and the test host implement it; the engines never format
// for a particular front end.
#pragma once

#include <cstdint>
#include <functional>
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

    // Checks before a start: the settings pane folds away, an empty
    // destination is replaced by the working folder (shown in the
    // destination field and, shortened, in the status bar), and the source's
    // size is shown.
    virtual void CollapseSettings() = 0;
    virtual void UseWorkingFolder(const std::string& folder) = 0;
    virtual void ShowSourceSize(std::uint64_t bytes) = 0;

    // Runs on the window's thread while the worker works: keeps the window
    // responsive (dispatching its messages) until `finished` answers true.
    virtual void WaitForWorker(const std::function<bool()>& finished) = 0;
};

}  // namespace engine
