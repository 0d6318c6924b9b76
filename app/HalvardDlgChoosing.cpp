// The main window: the file and folder choosers, drops, and a file named on
// the command line or by automation.
#include "app/HalvardDlg.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include <commdlg.h>
#include <cderr.h>
#include <shellapi.h>

#include "engine/base/Names.h"
#include "engine/set/SetFiles.h"
#include "engine/ops/Prepare.h"
#include "engine/base/Texts.h"
#include "platform/win32/WideText.h"
#include "resources/resource.h"
#include "window/Choosers.h"
#include "window/WindowText.h"

namespace app {

using window::Compact;

namespace {
// The share a set is protected with while the settings make no recovery data.
constexpr int kDefaultProtectPercent = 10;
// What the Rejoin chooser, the Verify command and a typed path take as a set:
// its info file, any of its pieces, its recovery files.
constexpr const wchar_t* kSetFilters =
    L"Split sets (*.sio;*.spl;*.par2)|*.sio;*.spl;*.par2|SIO files (*.sio)|*.sio|All Files (*.*)|*.*||";
bool IsSetOrRecoveryFile(const std::string& path) {
    return engine::IsSetFileName(path) || engine::EndsWithNoCase(path, ".par2");
}
}  // namespace

INT_PTR CHalvardDlg::OnChooseFile(WPARAM, LPARAM) {
    status_.ShowProgress(false);
    const bool split = form_.split();
    std::string chosen;
    std::vector<std::string> several;
    if (!AskForFile(split ? L"All Files (*.*)|*.*|Movie Files (*.dat)|*.dat|Music Files (*.wav;*.mp3)|*.wav;*.mp3||"
                          : kSetFilters,
                    split ? L"Choose a file for splitting" : L"Choose the SIO file from the location of split files",
                    chosen, &several)) {
        return TRUE;
    }
    // Several files chosen are a queue, as several dropped are.
    if (several.size() > 1) {
        QueueDropped(several);
        return TRUE;
    }
    if (split && IsSetOrRecoveryFile(chosen)) {
        OpenNamedFile(chosen);
        return TRUE;
    }
    SetText(IDC_SOURCE_PATH, chosen);
    if (!split && !IsSetOrRecoveryFile(chosen)) {
        Tell(texts::kEnterSio);
        return TRUE;
    }
    SetCaption(std::string(texts::kAppTitle) + ": " + Compact(chosen, 30));
    if (split) RefreshFileSize(chosen);
    if (!split) DefaultRejoinDestination(chosen);
    return TRUE;
}

// A rejoin goes beside its set unless the user chose where, as an archiver
// extracts beside the archive.
void CHalvardDlg::DefaultRejoinDestination(const std::string& setFile) {
    if (form_.split() || rejoinDestinationChosen_) return;
    const std::size_t cut = setFile.find_last_of("\\/");
    if (cut == std::string::npos) return;
    SetDestination(setFile.substr(0, cut == 2 && setFile[1] == ':' ? 3 : cut));
}

// "Verify a set...", "Repair a set..." and "Protect this set...": the set
// in the Rejoin field, or one chosen now, through the same start checks,
// worker and questions as a split or rejoin.
void CHalvardDlg::RunOnSet(engine::Mode mode, const wchar_t* title) {
    if (controller_.running() || checkingUpdates_) return;
    if (paneShown_) TogglePane();
    std::string path = form_.split() ? std::string() : Text(IDC_SOURCE_PATH);
    if (path.empty() && !AskForFile(kSetFilters, title, path)) return;
    engine::StartRequest request;
    request.mode = mode;
    request.sourceText = path;
    // Protect makes what a split with the settings' share would; a set is
    // protected at the usual 10 % while that share is off.
    const int percent = store_.record().recoveryPercent;
    request.recoveryPercent = static_cast<std::uint32_t>(percent > 0 ? percent : kDefaultProtectPercent);
    const engine::EngineSettings settings = store_.ForEngine();
    engine::Prepared prepared;
    if (!controller_.Prepare(request, settings, prepared)) return;
    if (!prepared.ok) {
        if (!prepared.refusal.silent) Tell(engine::RefusalMessage(prepared.refusal), prepared.refusal.caption);
        return;
    }
    RunToEnd(prepared.job, settings);
}

INT_PTR CHalvardDlg::OnVerifySet(WPARAM, LPARAM) {
    RunOnSet(engine::Mode::Verify, L"Choose a split set to verify");
    return TRUE;
}

INT_PTR CHalvardDlg::OnRepairSet(WPARAM, LPARAM) {
    RunOnSet(engine::Mode::Repair, L"Choose a split set to repair");
    return TRUE;
}

// Names, lengths, the info file and the recovery files' packets, no piece
// read: an answer in moments for a set on a slow disk.
INT_PTR CHalvardDlg::OnQuickCheck(WPARAM, LPARAM) {
    RunOnSet(engine::Mode::QuickCheck, L"Choose a split set to check quickly");
    return TRUE;
}

INT_PTR CHalvardDlg::OnProtectSet(WPARAM, LPARAM) {
    RunOnSet(engine::Mode::Protect, L"Choose a split set to protect");
    return TRUE;
}

bool CHalvardDlg::AskForFile(const std::wstring& filterList, const wchar_t* title, std::string& chosen,
                             std::vector<std::string>* several) {
    std::wstring filters = filterList;
    for (wchar_t& c : filters) {
        if (c == L'|') c = L'\0';
    }
    // Room for the longest path the system has.
    std::wstring path(32768, L'\0');
    // Where the last file was chosen, while it is there; else the startup folder.
    const std::string& last = remembered_.sourceFolder;
    const std::wstring initial =
        platform::Widen(!last.empty() && platform_.IsFolder(last) ? last : store_.record().startupFolder);
    OPENFILENAMEW open{};
    open.lStructSize = sizeof open;
    open.hwndOwner = hwnd();
    open.lpstrFilter = filters.c_str();
    open.lpstrFile = path.data();
    open.nMaxFile = static_cast<DWORD>(path.size());
    open.lpstrTitle = title;
    open.lpstrDefExt = L"All files";
    open.lpstrInitialDir = initial.c_str();
    open.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING | OFN_EXPLORER;
    if (several) open.Flags |= OFN_ALLOWMULTISELECT;
    if (!GetOpenFileNameW(&open)) {
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) Tell(texts::kPathTooLong);
        return false;
    }
    chosen = platform::Narrow(path.c_str());
    // Several files come as their folder, then each name, each ended by a
    // zero, the list by another.
    if (several) {
        several->clear();
        const std::wstring folder = path.c_str();
        for (std::size_t at = folder.size() + 1; at < path.size() && path[at]; at += wcslen(path.c_str() + at) + 1) {
            const std::wstring name = path.c_str() + at;
            several->push_back(platform::Narrow(folder.back() == L'\\' ? folder + name : folder + L"\\" + name));
        }
        if (!several->empty()) chosen = several->front();
    }
    const std::size_t cut = chosen.find_last_of("\\/");
    if (cut != std::string::npos) {
        remembered_.sourceFolder = chosen.substr(0, cut == 2 && chosen[1] == ':' ? 3 : cut);  // C:\ stays a root
        Remember();
    }
    return true;
}

void CHalvardDlg::SetDestination(const std::string& folder) {
    SetText(IDC_DESTINATION_PATH, folder);
    status_.SetPart(StatusArea::kDestination, Compact(folder, 23));
}

INT_PTR CHalvardDlg::OnChooseFolder(WPARAM, LPARAM) {
    status_.ShowProgress(false);
    std::string folder = Text(IDC_DESTINATION_PATH);
    const window::Browsed browsed =
        window::BrowseForFolder(hwnd(),
                                form_.split() ? "Choose a folder for keeping split files"
                                              : "Choose a folder to keep rejoined file ",
                                folder);
    if (browsed == window::Browsed::Chosen) {
        SetDestination(folder);
        if (!form_.split()) rejoinDestinationChosen_ = true;
    }
    if (browsed == window::Browsed::NoPath) Tell(texts::kPathTooLong);
    return TRUE;
}

// Sets are rejoined, each once however many of its files came; other files
// are split. A mix is no queue.
void CHalvardDlg::QueueDropped(const std::vector<std::string>& paths) {
    queueAllDone_ = false;
    const bool sets = std::all_of(paths.begin(), paths.end(), [](const std::string& p) { return IsSetOrRecoveryFile(p); });
    if (!sets && !form_.split()) {
        Tell(texts::kEnterSioOrSpl);
        return;
    }
    if (!sets && std::any_of(paths.begin(), paths.end(), [](const std::string& p) { return IsSetOrRecoveryFile(p); })) {
        Tell(texts::kSingleDrop);
        return;
    }
    std::vector<std::string> queue;
    for (const std::string& p : paths) {
        const std::string item = sets ? ClassifyNamedFile(p).sourceText : p;
        if (std::find(queue.begin(), queue.end(), item) == queue.end()) queue.push_back(item);
    }
    if (sets && form_.split()) SwitchMode(FormMode::Rejoin);
    RunQueue(queue);
}

INT_PTR CHalvardDlg::OnOpenNamedFiles(WPARAM, LPARAM) {
    const std::vector<std::string> files = std::move(filesToOpen_);
    filesToOpen_.clear();
    if (!controller_.running() && !files.empty()) QueueDropped(files);
    return TRUE;
}

INT_PTR CHalvardDlg::OnDropFiles(WPARAM wParam, LPARAM) {
    HDROP drop = reinterpret_cast<HDROP>(wParam);
    // The fields feed the next operation, not the running one.
    if (controller_.running()) {
        DragFinish(drop);
        return TRUE;
    }
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::string> paths;
    for (UINT i = 0; i < count; ++i) {
        std::wstring wide(DragQueryFileW(drop, i, nullptr, 0), L'\0');
        DragQueryFileW(drop, i, wide.data(), static_cast<UINT>(wide.size() + 1));
        paths.push_back(platform::Narrow(wide.c_str()));
    }
    DragFinish(drop);
    // Several files (no folder among them) are a queue: each split, or each
    // set rejoined, in turn.
    if (count > 1 && std::none_of(paths.begin(), paths.end(),
                                  [&](const std::string& p) { return engine::IsFolder(platform_, p); })) {
        QueueDropped(paths);
        return TRUE;
    }
    if (count != 1) {
        Tell(texts::kSingleDrop);
        return TRUE;
    }
    const std::string path = paths.front();
    const std::string display = Compact(path, 23);
    if (engine::IsFolder(platform_, path)) {
        SetDestination(path);
        return TRUE;
    }
    // A set's own file dropped in Split mode is a set to rejoin, as the
    // command line takes it.
    if (form_.split() && IsSetOrRecoveryFile(path)) {
        OpenNamedFile(path);
        return TRUE;
    }
    if (!form_.split()) {
        if (!IsSetOrRecoveryFile(path)) {
            Tell(texts::kEnterSioOrSpl);
            return TRUE;
        }
        SetCaption(std::string(texts::kAppTitle) + ": " + display);
        ApplyModeLook(false);
        const std::string info = ClassifyNamedFile(path).sourceText;
        SetText(IDC_SOURCE_PATH, info);
        if (!engine::Exists(platform_, info)) {
            Tell(info + texts::kNotFoundSuffix);
            SetCaption("");
            return TRUE;
        }
        SetCaption(info);
        return TRUE;
    }
    SetCaption(std::string(texts::kAppTitle) + ": " + display);
    SetText(IDC_SOURCE_PATH, path);
    RefreshFileSize(path);
    return TRUE;
}

// A piece or an info file opens Rejoin mode with the info file; any other
// file is the source of a split.
void CHalvardDlg::OpenNamedFile(const std::string& path) {
    if (!engine::Exists(platform_, path)) {
        Tell(texts::kFileMissing);
        return;
    }
    SetCaption(std::string(texts::kAppTitle) + ": " + Compact(path, 23));
    const NamedFile named = ClassifyNamedFile(path);
    if (named.rejoin) {
        SwitchMode(FormMode::Rejoin);
        SetText(IDC_SOURCE_PATH, named.sourceText);
        DefaultRejoinDestination(path);  // as the user spelled it
        if (engine::Exists(platform_, named.sourceText)) {
            SetCaption(named.sourceText);
        } else {
            Tell(named.sourceText + texts::kNotFoundSuffix);
            SetCaption("");
        }
        return;
    }
    SetText(IDC_SOURCE_PATH, path);
    if (form_.split()) RefreshFileSize(path);
}

}  // namespace app
