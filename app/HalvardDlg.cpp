#include "app/HalvardDlg.h"

#include <commctrl.h>
#include <commdlg.h>
#include <cderr.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cctype>
#include <cstring>
#include <vector>

#include "app/AboutDialog.h"
#include "app/AutoProxy.h"
#include "app/ReadThisDialog.h"
#include "engine/PiecePlan.h"
#include "engine/StartChecks.h"
#include "platform/win32/WideText.h"
#include "engine/Texts.h"
#include "resources/resource.h"
#include "update/VersionDialog.h"
#include "window/Choosers.h"
#include "update/VersionText.h"

namespace app {

namespace {

const char kCaption[] = "Corvane.Split";
CHalvardDlg* g_instance = nullptr;

// The shell's path compaction into a buffer of `chars` characters, the
// terminator included.
std::string Compact(const std::string& path, UINT chars) {
    std::vector<wchar_t> buffer(chars + 1, L'\0');
    const std::wstring wide = platform::Widen(path);
    if (!PathCompactPathExW(buffer.data(), wide.c_str(), chars, 0)) {
        return platform::Narrow(wide.substr(0, chars - 1));
    }
    return platform::Narrow(buffer.data());
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool EndsWith(const std::string& s, const char* tail) {
    const std::size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

struct Preset {
    UINT command;
    std::uint32_t bytes;
    const char* status;
};
const Preset kPresets[] = {
    {ID_PRESET_FLOPPY, engine::kPresetFloppy, "1.44 MB"},
    {ID_PRESET_10MB, engine::kPreset10MB, "10 MB"},
    {ID_PRESET_100MB, engine::kPreset100MB, "100 MB"},
};

struct Unit {
    UINT command;
    std::uint32_t multiplier;
    const char* status;
    const char* label;
};
const Unit kUnits[] = {
    {ID_UNIT_BYTES, engine::kUnitBytes, "Custom [bytes]", "In bytes:"},
    {ID_UNIT_KB, engine::kUnitKB, "Custom [KB]", "In kilo bytes:"},
    {ID_UNIT_MB, engine::kUnitMB, "Custom [MB]", "In mega bytes:"},
    {ID_UNIT_FILES, engine::kUnitFiles, "File count", "Total files:"},
};

const UINT kSizeCommands[] = {ID_PRESET_FLOPPY, ID_PRESET_100MB, ID_UNIT_BYTES_ALT, ID_PRESET_10MB,
                              ID_UNIT_KB,       ID_UNIT_MB,      ID_UNIT_BYTES,      ID_UNIT_FILES};

}  // namespace

const window::MessageEntry<CHalvardDlg> CHalvardDlg::kMessages[34] = {
    {WM_INITDIALOG, 0, &CHalvardDlg::OnInitDialog},
    {WM_COMMAND, IDC_CHOOSE_FILE, &CHalvardDlg::OnChooseFile},
    {WM_COMMAND, IDCANCEL, &CHalvardDlg::OnCancelCommand},
    {WM_COMMAND, IDC_SPLIT_MODE, &CHalvardDlg::OnSplitMode},
    {WM_COMMAND, IDC_REJOIN_MODE, &CHalvardDlg::OnRejoinMode},
    {WM_COMMAND, IDC_CHOOSE_FOLDER, &CHalvardDlg::OnChooseFolder},
    {WM_COMMAND, IDC_START, &CHalvardDlg::OnStart},
    {WM_COMMAND, ID_GENERAL_SETTINGS, &CHalvardDlg::OnToggleSettings},
    {WM_COMMAND, ID_PRESET_FLOPPY, &CHalvardDlg::OnPreset},
    {WM_COMMAND, ID_PRESET_10MB, &CHalvardDlg::OnPreset},
    {WM_COMMAND, ID_PRESET_100MB, &CHalvardDlg::OnPreset},
    {WM_COMMAND, ID_UNIT_BYTES, &CHalvardDlg::OnUnit},
    {WM_COMMAND, ID_UNIT_KB, &CHalvardDlg::OnUnit},
    {WM_COMMAND, ID_UNIT_MB, &CHalvardDlg::OnUnit},
    {WM_COMMAND, ID_UNIT_FILES, &CHalvardDlg::OnUnit},
    {WM_COMMAND, ID_UNIT_BYTES_ALT, &CHalvardDlg::OnUnit},
    {WM_COMMAND, IDC_SIZE_BUTTON, &CHalvardDlg::OnUnit},
    {WM_COMMAND, IDC_CUSTOM_SIZE, &CHalvardDlg::OnCustomSizeChange},
    {settings::WM_SETTINGS_DONE, 0, &CHalvardDlg::OnSettingsDone},
    {WM_DROPFILES, 0, &CHalvardDlg::OnDropFiles},
    {WM_DRAWITEM, 0, &CHalvardDlg::OnDrawItem},
    {WM_CLOSE, 0, &CHalvardDlg::OnClose},
    {WM_QUERYDRAGICON, 0, &CHalvardDlg::OnQueryDragIcon},
    {WM_PAINT, 0, &CHalvardDlg::OnPaint},
    {WM_COMMAND, ID_CHECK_UPDATES, &CHalvardDlg::OnCheckUpdates},
    {WM_COMMAND, ID_ABOUT, &CHalvardDlg::OnAbout},
    {WM_COMMAND, ID_MOVE_TO_TRAY, &CHalvardDlg::OnMoveToTray},
    {WM_COMMAND, ID_TRAY_RESTORE, &CHalvardDlg::OnRestore},
    {WM_COMMAND, ID_TRAY_EXIT, &CHalvardDlg::OnCancelCommand},
    {WM_COMMAND, ID_HELP_CONTENTS, &CHalvardDlg::OnHelpContents},
    {WM_TRAYNOTIFY, 0, &CHalvardDlg::OnTrayNotify},
    {WM_SYSCOMMAND, 0, &CHalvardDlg::OnSysCommand},
    {WM_HELP, 0, &CHalvardDlg::OnContextHelp},
    {WM_DESTROY, 0, &CHalvardDlg::OnDestroy},
};

CHalvardDlg::CHalvardDlg(const CommandLine& line)
    : DialogImpl(IDD_MAIN),
      store_(registry_, platform_),
      pane_(store_, *this),
      controller_(platform_, *this, *this),
      startedForAutomation_(line.automation),
      fileToOpen_(line.file),
      openAtStartup_(!line.file.empty()) {
    store_.ConstructWithDefaults();
    g_instance = this;
}

CHalvardDlg::~CHalvardDlg() {
    if (automation_) automation_->Forget();
    if (g_instance == this) g_instance = nullptr;
}

CHalvardDlg* CHalvardDlg::Instance() { return g_instance; }

void CHalvardDlg::AttachAutomation(CHalvardDlgAutoProxy* proxy) { automation_ = proxy; }

void CHalvardDlg::DetachAutomation(CHalvardDlgAutoProxy* proxy) {
    if (automation_ != proxy) return;
    automation_ = nullptr;
    // Started only to serve that client: it is done.
    if (startedForAutomation_ && hwnd()) End(IDCANCEL);
}

// A client's calls can arrive while the window waits for a worker (its
// message loop runs meanwhile). The worker reads the request and the fields
// it was started with, so these calls change nothing then, and a second Run
// is refused rather than reported as started.
bool CHalvardDlg::AutomationRun() {
    if (controller_.running()) return false;
    return StartOperation();
}

void CHalvardDlg::AutomationSourceFile(const std::string& path) {
    if (controller_.running()) return;
    fileToOpen_ = path;
    OpenNamedFile();
}

void CHalvardDlg::AutomationDestination(const std::string& path) {
    if (controller_.running()) return;
    if (!platform_.IsFolder(path)) {
        Tell(texts::kNotAFolder);
        return;
    }
    SetStatus(1, Compact(path, 23));
    SetText(IDC_DESTINATION_PATH, path);
}

// Like the piece-size menu, but in either mode, and with the value put into
// the custom-size field.
void CHalvardDlg::AutomationSize(const std::string& unit, long value) {
    if (controller_.running()) return;
    const std::string name = Upper(unit);
    const struct {
        const char* spelling;
        UINT command;
    } units[] = {
        {"B", ID_UNIT_BYTES},     {"BYTES", ID_UNIT_BYTES},      {"KB", ID_UNIT_KB},
        {"KILOBYTES", ID_UNIT_KB}, {"KILO BYTES", ID_UNIT_KB},   {"MB", ID_UNIT_MB},
        {"MEGABYTES", ID_UNIT_MB}, {"MEGA BYTES", ID_UNIT_MB},   {"FILE", ID_UNIT_FILES},
        {"FILES", ID_UNIT_FILES},
    };
    if (name == "FLOPPY") {
        ApplyPreset(ID_PRESET_FLOPPY);
        return;
    }
    for (const auto& entry : units) {
        if (name != entry.spelling) continue;
        ApplyUnit(entry.command);
        SetDlgItemInt(hwnd(), IDC_CUSTOM_SIZE, static_cast<UINT>(value), TRUE);
        return;
    }
}

std::string CHalvardDlg::Text(int id) const {
    HWND item = Item(id);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return platform::Narrow(text);
}

void CHalvardDlg::SetText(int id, const std::string& text) {
    SetDlgItemTextW(hwnd(), id, platform::Widen(text).c_str());
}

RECT CHalvardDlg::ClientRectOf(int id) const {
    RECT rect;
    GetWindowRect(Item(id), &rect);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void CHalvardDlg::SetStatus(int part, const std::string& text) {
    if (status_) SendMessageW(status_, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(platform::Widen(text).c_str()));
}

void CHalvardDlg::SetCaption(const std::string& text) { SetWindowTextW(hwnd(), platform::Widen(text).c_str()); }

INT_PTR CHalvardDlg::OnInitDialog(WPARAM, LPARAM) {
    SetOwner(hwnd());
    SetDlgItemInt(hwnd(), IDC_CUSTOM_SIZE, 0, TRUE);

    char about[128] = {};
    if (LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUTBOX, about, sizeof about) > 0) {
        HMENU system = GetSystemMenu(hwnd(), FALSE);
        AppendMenuA(system, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(system, MF_STRING, IDM_ABOUTBOX, about);
        AppendMenuA(system, MF_STRING, IDM_ALWAYS_ON_TOP, "Always on top");
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadImageA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 32, 32, 0)));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadImageA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 16, 16, 0)));

    CheckRadioButton(hwnd(), IDC_SPLIT_MODE, IDC_REJOIN_MODE, IDC_SPLIT_MODE);
    mode_ = loadedMode_ = 1;
    size_ = engine::SizeChoice{};

    if (HWND pane = pane_.Create(hwnd())) {
        SetWindowLongA(pane, GWL_STYLE, GetWindowLongA(pane, GWL_STYLE) | WS_CHILD | WS_VISIBLE | WS_TABSTOP);
        SetWindowLongA(pane, GWL_EXSTYLE, GetWindowLongA(pane, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
        const RECT place = ClientRectOf(IDC_PANE_PLACE);
        MoveWindow(pane, place.left, place.top, place.right - place.left, place.bottom - place.top, FALSE);
    }

    const RECT place = ClientRectOf(IDC_SIZE_BUTTON_PLACE);
    if (sizeButton_.Create("Custom si&ze", WS_CHILD | WS_VISIBLE | WS_TABSTOP, place, hwnd(), IDC_SIZE_BUTTON)) {
        sizeButton_.SetBitmap(IDB_PIECE_SIZE, RGB(255, 0, 255));
        sizeButton_.AddMenuItem(ID_PRESET_FLOPPY, "&Floppy(1.44 MB)", MF_STRING);
        sizeButton_.AddMenuItem(ID_PRESET_10MB, "1&0 MB Chunks", MF_STRING);
        sizeButton_.AddMenuItem(ID_PRESET_100MB, "&100 MB Chunks", MF_STRING);
        sizeButton_.AddMenuItem(0, "", MF_SEPARATOR);
        if (HMENU units = LoadMenuA(instance, MAKEINTRESOURCEA(IDR_UNITS_MENU))) {
            HMENU popup = GetSubMenu(units, 0);
            RemoveMenu(units, 0, MF_BYPOSITION);  // the button's menu owns it from now on
            DestroyMenu(units);
            AppendMenuA(sizeButton_.menu(), MF_POPUP, reinterpret_cast<UINT_PTR>(popup), "&User defined");
        }
    }

    ShowCustomSize(false);
    CreateStatusBar();
    CheckSizeItem(ID_PRESET_FLOPPY);
    SetStatus(2, "1.44 MB");
    SetStatus(0, "Split");

    paneShown_ = true;
    OnSettingsDone(0, 0);
    CreateTooltips();
    InvalidateRect(hwnd(), nullptr, TRUE);

    if (openAtStartup_) {
        OpenNamedFile();
        openAtStartup_ = false;
    }

    if (store_.EnsureFolder(store_.record().workingFolder, texts::kCreateWorkingCaption, *this) ==
        settings::FolderCheck::Refused) {
        store_.record().workingFolder = "c:\\";
    }
    if (store_.EnsureFolder(store_.record().startupFolder, texts::kCreateStartupCaption, *this) ==
        settings::FolderCheck::Refused) {
        store_.record().startupFolder = "c:\\";
        platform_.SetCurrentFolder("c:\\");
    }
    return TRUE;
}

void CHalvardDlg::CreateStatusBar() {
    const RECT place = ClientRectOf(IDC_STATUS_PLACE);
    status_ = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | CCS_NOPARENTALIGN | CCS_NORESIZE,
                              place.left, place.top, place.right - place.left, place.bottom - place.top, hwnd(),
                              reinterpret_cast<HMENU>(IDC_STATUS_BAR), GetModuleHandleA(nullptr), nullptr);
    if (!status_) {
        Tell(texts::kNoStatusBar);
        return;
    }
    RECT client;
    GetClientRect(status_, &client);
    const int tenth = client.right * 10 / 100;
    int edges[4] = {tenth, 5 * tenth, 7 * tenth, -1};
    SendMessageA(status_, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges));

    RECT part;
    SendMessageA(status_, SB_GETRECT, 3, reinterpret_cast<LPARAM>(&part));
    progress_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | PBS_SMOOTH, part.left, part.top,
                                part.right - part.left, part.bottom - part.top, status_,
                                reinterpret_cast<HMENU>(IDC_PROGRESS_BAR), GetModuleHandleA(nullptr), nullptr);
    if (!progress_) {
        Tell(texts::kNoProgressBar);
        return;
    }
    SendMessageA(progress_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
}

void CHalvardDlg::CreateTooltips() {
    tooltip_ = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!tooltip_) return;
    SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, 150);
    const struct {
        int id;
        const char* tip;
    } tips[] = {
        {IDC_CHOOSE_FILE, "Select a file to split"}, {IDC_CHOOSE_FOLDER, "Select the working folder"},
        {IDC_SPLIT_MODE, "Select split mode"},       {IDC_REJOIN_MODE, "Select rejoin mode"},
        {IDC_CUSTOM_SIZE, "Enter the custom size"},  {IDCANCEL, "Exit Corvane.Split"},
        {IDC_SIZE_BUTTON, "Select chunk size"},
    };
    for (const auto& tip : tips) {
        TOOLINFOA info{};
        info.cbSize = TTTOOLINFOA_V1_SIZE;
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = hwnd();
        info.uId = reinterpret_cast<UINT_PTR>(Item(tip.id));
        info.lpszText = const_cast<char*>(tip.tip);
        SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
    }
    SendMessageA(tooltip_, TTM_ACTIVATE, TRUE, 0);
}

// --- modes -----------------------------------------------------------------

void CHalvardDlg::ExchangeModeValues(int mode) {
    if (mode == loadedMode_) return;
    const std::string source = Text(IDC_SOURCE_PATH), destination = Text(IDC_DESTINATION_PATH);
    SetText(IDC_SOURCE_PATH, otherSource_);
    SetText(IDC_DESTINATION_PATH, otherDestination_);
    if (mode == 1) RefreshFileSize(otherSource_);
    otherSource_ = source;
    otherDestination_ = destination;
    loadedMode_ = mode;
}

void CHalvardDlg::ApplyModeLook(bool split) {
    SetDlgItemTextA(hwnd(), IDC_SOURCE_LABEL, split ? "&Open source" : "&Open .sio file");
    SetDlgItemTextA(hwnd(), IDC_DESTINATION_LABEL, "&Choose destination");
    SetDlgItemTextA(hwnd(), IDC_CHOOSE_FILE, "Select a &file");
    SetDlgItemTextA(hwnd(), IDC_CHOOSE_FOLDER, "&Destination folder");
    SetDlgItemTextA(hwnd(), IDC_START, split ? "S&plit" : "&Rejoin");
    ShowWindow(sizeButton_.hwnd(), split ? SW_SHOW : SW_HIDE);
    ShowProgress(false);
    ShowCustomSize(split && size_.custom);
}

void CHalvardDlg::SwitchMode(bool split) {
    CheckRadioButton(hwnd(), IDC_SPLIT_MODE, IDC_REJOIN_MODE, split ? IDC_SPLIT_MODE : IDC_REJOIN_MODE);
    mode_ = split ? 1 : 0;
    ExchangeModeValues(mode_);
    ApplyModeLook(split);
    RefreshStatusBar("", 2);
    InvalidateRect(hwnd(), nullptr, TRUE);
}

INT_PTR CHalvardDlg::OnSplitMode(WPARAM, LPARAM) {
    SwitchMode(true);
    return TRUE;
}

INT_PTR CHalvardDlg::OnRejoinMode(WPARAM, LPARAM) {
    SwitchMode(false);
    return TRUE;
}

void CHalvardDlg::RefreshStatusBar(const std::string& text, int pane) {
    SetStatus(0, mode_ == 1 ? "Split" : "Rejoin");
    SetDlgItemTextA(hwnd(), IDC_FILE_SIZE, "");
    if (pane == 2) SetStatus(2, text);
    SetStatus(1, Compact(Text(IDC_DESTINATION_PATH), 26));
    SetCaption(std::string(kCaption) + " " + Compact(Text(IDC_SOURCE_PATH), 26));
    if (mode_ == 1) RefreshFileSize(Text(IDC_SOURCE_PATH));
}

void CHalvardDlg::RefreshFileSize(const std::string& path) {
    if (path.empty()) {
        SetDlgItemTextA(hwnd(), IDC_FILE_SIZE, "");
        return;
    }
    std::uint64_t size = 0;
    if (platform_.FileSize(path, size) != engine::err::kNone) {
        // Nothing to show for a path whose status cannot be read; Start refuses it.
        SetDlgItemTextA(hwnd(), IDC_FILE_SIZE, "");
        return;
    }
    ShowSourceSize(size);
}

// --- host ------------------------------------------------------------------

void CHalvardDlg::SetProgressStep(int step) {
    if (progress_) SendMessageA(progress_, PBM_SETSTEP, step, 0);
}

void CHalvardDlg::SetProgress(int percent) {
    if (progress_) SendMessageA(progress_, PBM_SETPOS, percent, 0);
}

void CHalvardDlg::ShowProgress(bool visible) {
    if (!progress_) return;
    // A new operation does not start from where the last one ended.
    if (visible && !IsWindowVisible(progress_)) SendMessageA(progress_, PBM_SETPOS, 0, 0);
    ShowWindow(progress_, visible ? SW_SHOW : SW_HIDE);
}

void CHalvardDlg::SetProgressText(const std::string& text) {
    SetText(IDC_PROGRESS_TEXT, text);
}

void CHalvardDlg::EnableControls(bool enable) {
    for (int id : {IDC_SOURCE_PATH, IDC_DESTINATION_PATH, IDC_CHOOSE_FOLDER, IDC_CHOOSE_FILE, IDC_START}) {
        EnableWindow(Item(id), enable);
    }
    EnableWindow(sizeButton_.hwnd(), enable);
    ShowWindow(Item(IDC_PROGRESS_TEXT), enable ? SW_HIDE : SW_SHOW);
    // Settings and the update check change nothing while an operation runs.
    HMENU menu = GetMenu(hwnd());
    for (UINT command : {ID_GENERAL_SETTINGS, ID_CHECK_UPDATES}) {
        EnableMenuItem(menu, command, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
    }
    if (enable) {
        EnableWindow(Item(IDC_SPLIT_MODE), TRUE);
        EnableWindow(Item(IDC_REJOIN_MODE), TRUE);
    } else {
        EnableWindow(Item(mode_ == 1 ? IDC_REJOIN_MODE : IDC_SPLIT_MODE), FALSE);
    }
}

void CHalvardDlg::ShowCustomSize(bool visible) {
    ShowWindow(Item(IDC_CUSTOM_SIZE), visible ? SW_SHOW : SW_HIDE);
    ShowWindow(Item(IDC_UNIT_LABEL), visible ? SW_SHOW : SW_HIDE);
}

void CHalvardDlg::ShowSplitNotice() { ReadThisDialog().DoModal(hwnd()); }

void CHalvardDlg::CollapseSettings() {
    if (paneShown_) TogglePane();
}

void CHalvardDlg::UseWorkingFolder(const std::string& folder) {
    SetText(IDC_DESTINATION_PATH, folder);
    SendMessageA(Item(IDC_DESTINATION_PATH), EM_SETMODIFY, FALSE, 0);
    SetStatus(1, Compact(folder, 23));
}

void CHalvardDlg::ShowSourceSize(std::uint64_t bytes) {
    std::string text = texts::kFileSizeFormat;
    text.replace(text.find("%u"), 2, std::to_string(bytes));
    SetText(IDC_FILE_SIZE, text);
}

// --- operation -------------------------------------------------------------

// The start checks are the engine's, the same for every front end; the
// window shows what they found and what they refused.
bool CHalvardDlg::StartOperation() {
    CollapseSettings();
    engine::StartRequest request;
    request.mode = mode_ == 1 ? engine::Mode::Split : engine::Mode::Rejoin;
    request.sourceText = Text(IDC_SOURCE_PATH);
    request.destinationText = Text(IDC_DESTINATION_PATH);
    request.size = size_;
    request.size.customText = Text(IDC_CUSTOM_SIZE);
    const engine::EngineSettings settings = store_.ForEngine();
    const engine::Prepared prepared = engine::PrepareJob(request, platform_, settings);
    if (!prepared.workingFolderUsed.empty()) UseWorkingFolder(prepared.workingFolderUsed);
    if (prepared.sourceSizeKnown && mode_ == 1) ShowSourceSize(prepared.sourceSize);
    if (!prepared.ok) {
        if (!prepared.refusal.silent) Tell(prepared.refusal.text, prepared.refusal.caption);
        return !prepared.refusal.noSpace;
    }
    controller_.Run(prepared.job, settings);
    return true;
}

void CHalvardDlg::Report(std::uint64_t done, std::uint64_t total, const std::string& text) {
    SetProgress(engine::Percent(done, total));
    SetProgressText(text);
}

void CHalvardDlg::Started(engine::Mode mode) {
    EnableControls(false);
    SetProgressStep(10);
    ShowProgress(true);
    if (mode == engine::Mode::Split && !size_.custom) ShowCustomSize(false);
}

void CHalvardDlg::Finished(engine::Mode mode, engine::Outcome outcome) {
    if (outcome == engine::Outcome::Completed && mode == engine::Mode::Split) {
        // The resolved size stays the current one; the custom field goes.
        SetProgress(100);
        ShowCustomSize(false);
        size_.custom = false;
    }
    EnableControls(true);
    if (outcome == engine::Outcome::Completed) RefreshStatusBar("", 1);
    ShowProgress(false);
}

INT_PTR CHalvardDlg::OnStart(WPARAM, LPARAM) {
    StartOperation();
    return TRUE;
}

INT_PTR CHalvardDlg::OnCancelCommand(WPARAM, LPARAM) {
    if (controller_.OnCancel()) return TRUE;
    // A client holds the automation object: the window only hides.
    if (automation_) {
        ShowWindow(hwnd(), SW_HIDE);
        return TRUE;
    }
    End(IDCANCEL);
    return TRUE;
}

INT_PTR CHalvardDlg::OnClose(WPARAM, LPARAM) { return OnCancelCommand(0, 0); }

INT_PTR CHalvardDlg::OnAbout(WPARAM, LPARAM) {
    AboutDialog().DoModal(hwnd());
    return TRUE;
}

// --- tray, always on top, help -------------------------------------------------

INT_PTR CHalvardDlg::OnMoveToTray(WPARAM, LPARAM) {
    NOTIFYICONDATAA icon{};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = hwnd();
    icon.uID = kTrayIconId;
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = WM_TRAYNOTIFY;
    icon.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
    lstrcpynA(icon.szTip, "Restore window", sizeof icon.szTip);
    trayIconShown_ = NotifyTray(NIM_ADD, &icon);
    // Without an icon (no notification area, say) a hidden window could not
    // be brought back; it goes to the taskbar instead.
    ShowWindow(hwnd(), trayIconShown_ ? SW_HIDE : SW_MINIMIZE);
    return TRUE;
}

bool CHalvardDlg::NotifyTray(DWORD message, NOTIFYICONDATAA* icon) {
    if (trayNotifier_) return trayNotifier_(message, icon);
    return Shell_NotifyIconA(message, icon) != FALSE;
}

void CHalvardDlg::RemoveTrayIcon() {
    if (!trayIconShown_) return;
    NOTIFYICONDATAA icon{};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = hwnd();
    icon.uID = kTrayIconId;
    NotifyTray(NIM_DELETE, &icon);
    trayIconShown_ = false;
}

INT_PTR CHalvardDlg::OnRestore(WPARAM, LPARAM) {
    ShowWindow(hwnd(), SW_SHOWNORMAL);
    Sleep(500);
    RemoveTrayIcon();
    SetForegroundWindow(hwnd());
    return TRUE;
}

INT_PTR CHalvardDlg::OnTrayNotify(WPARAM wParam, LPARAM lParam) {
    if (wParam != kTrayIconId) return TRUE;
    if (lParam == WM_RBUTTONUP) {
        if (!trayMenu_) trayMenu_ = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU));
        HMENU popup = GetSubMenu(trayMenu_, 0);
        SetMenuDefaultItem(popup, 0, TRUE);
        POINT at;
        GetCursorPos(&at);
        SetForegroundWindow(hwnd());
        TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd(), nullptr);
    } else if (lParam == WM_LBUTTONDBLCLK) {
        PostMessageA(hwnd(), WM_COMMAND, ID_TRAY_RESTORE, 0);
        SetForegroundWindow(hwnd());
    }
    return TRUE;
}

INT_PTR CHalvardDlg::OnSysCommand(WPARAM wParam, LPARAM) {
    switch (wParam & 0xFFF0) {
        case IDM_ABOUTBOX:
            AboutDialog().DoModal(hwnd());
            return TRUE;
        case IDM_ALWAYS_ON_TOP: {
            // The flag follows the window's state; reading the style back is
            // not reliable on every window manager.
            const bool topmost = alwaysOnTop_;
            SetWindowPos(hwnd(), topmost ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | (topmost ? 0 : SWP_NOREDRAW));
            alwaysOnTop_ = !alwaysOnTop_;
            HMENU system = GetSystemMenu(hwnd(), FALSE);
            DeleteMenu(system, IDM_ALWAYS_ON_TOP, MF_BYCOMMAND);
            AppendMenuA(system, MF_STRING | (topmost ? MF_UNCHECKED : MF_CHECKED), IDM_ALWAYS_ON_TOP,
                        "&Always On Top");
            return TRUE;
        }
        default:
            return FALSE;  // the system's own handling
    }
}

// Help goes to the file beside the program, through HTML Help loaded when
// first asked for, owned by the desktop.
void CHalvardDlg::ShowHelp(const std::string& topic) {
    const std::string path = store_.record().installedPath + topic;
    if (helpOpener_) {
        helpOpener_(path);
        return;
    }
    using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
    static HMODULE library = LoadLibraryA("hhctrl.ocx");
    if (!library) return;
    const auto htmlHelp = reinterpret_cast<HtmlHelpFunction>(reinterpret_cast<void*>(GetProcAddress(library, "HtmlHelpA")));
    if (htmlHelp) htmlHelp(GetDesktopWindow(), path.c_str(), 0 /* display topic */, 0);
}

INT_PTR CHalvardDlg::OnHelpContents(WPARAM, LPARAM) {
    ShowHelp("\\Corvane Split.chm");
    return TRUE;
}

INT_PTR CHalvardDlg::OnContextHelp(WPARAM, LPARAM lParam) {
    const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
    const char* topic = "\\Corvane Split.chm";
    switch (info->iCtrlId) {
        case IDC_SPLIT_MODE: topic = "\\Corvane Split.chm ::/Splitting a file.htm"; break;
        case IDC_REJOIN_MODE: topic = "\\Corvane Split.chm ::/Joining split files.htm"; break;
        case IDC_START:
            topic = mode_ == 1 ? "\\Corvane Split.chm::/Splitting a file.htm" : "\\Corvane Split.chm::/Joining split files.htm";
            break;
        default: break;
    }
    if (info->iContextType == HELPINFO_MENUITEM) topic = "\\Corvane Split.chm";
    ShowHelp(topic);
    if (info->iContextType == HELPINFO_MENUITEM) {
        if (info->iCtrlId == ID_GENERAL_SETTINGS) ShowHelp("\\Corvane Split.chm::/Setting up options.htm");
        if (info->iCtrlId == ID_HELP_CONTENTS) ShowHelp("\\Corvane Split.chm");
    }
    return TRUE;
}

INT_PTR CHalvardDlg::OnDestroy(WPARAM, LPARAM) {
    RemoveTrayIcon();
    if (tooltip_) DestroyWindow(tooltip_);
    if (trayMenu_) DestroyMenu(trayMenu_);
    return FALSE;
}

INT_PTR CHalvardDlg::OnCheckUpdates(WPARAM, LPARAM) {
    if (controller_.running()) return TRUE;
    update::CheckForUpdates(hwnd(), update::kMakerServer);
    return TRUE;
}

// Minimised, the window shows its icon centred; otherwise the dialog paints.
INT_PTR CHalvardDlg::OnPaint(WPARAM, LPARAM) {
    if (!IsIconic(hwnd())) return FALSE;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd(), &paint);
    RECT client;
    GetClientRect(hwnd(), &client);
    const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
    DrawIcon(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2,
             LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME)));
    EndPaint(hwnd(), &paint);
    return TRUE;
}

INT_PTR CHalvardDlg::OnQueryDragIcon(WPARAM, LPARAM) {
    return reinterpret_cast<INT_PTR>(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME)));
}

// --- piece size ------------------------------------------------------------

void CHalvardDlg::CheckSizeItem(UINT command) {
    for (UINT id : kSizeCommands) CheckMenuItem(sizeButton_.menu(), id, MF_BYCOMMAND | MF_UNCHECKED);
    CheckMenuItem(sizeButton_.menu(), command, MF_BYCOMMAND | MF_CHECKED);
}

INT_PTR CHalvardDlg::OnPreset(WPARAM wParam, LPARAM) {
    if (mode_ == 1) ApplyPreset(LOWORD(wParam));
    return TRUE;
}

void CHalvardDlg::ApplyPreset(UINT command) {
    for (const Preset& preset : kPresets) {
        if (preset.command != command) continue;
        size_.custom = false;
        ShowCustomSize(false);
        size_.presetBytes = preset.bytes;
        CheckSizeItem(preset.command);
        RefreshStatusBar(preset.status, 2);
        SetFocus(hwnd());
    }
}

INT_PTR CHalvardDlg::OnUnit(WPARAM wParam, LPARAM) {
    if (mode_ != 1) return TRUE;
    UINT command = LOWORD(wParam);
    if (command == IDC_SIZE_BUTTON || command == ID_UNIT_BYTES_ALT) command = ID_UNIT_BYTES;
    ApplyUnit(command);
    return TRUE;
}

void CHalvardDlg::ApplyUnit(UINT command) {
    for (const Unit& unit : kUnits) {
        if (unit.command != command) continue;
        size_.custom = true;
        ShowCustomSize(true);
        CheckSizeItem(command);
        RefreshStatusBar(unit.status, 2);
        SetDlgItemTextA(hwnd(), IDC_UNIT_LABEL, unit.label);
        size_.unit = unit.multiplier;
        SetFocus(Item(IDC_CUSTOM_SIZE));
    }
}

INT_PTR CHalvardDlg::OnCustomSizeChange(WPARAM wParam, LPARAM) {
    if (HIWORD(wParam) != EN_CHANGE) return FALSE;
    const std::string text = Text(IDC_CUSTOM_SIZE);
    for (char c : text) {
        if (c < '0' || c > '9') {
            SetDlgItemTextA(hwnd(), IDC_CUSTOM_SIZE, "");
            break;
        }
    }
    return TRUE;
}

INT_PTR CHalvardDlg::OnDrawItem(WPARAM wParam, LPARAM lParam) {
    if (wParam != IDC_SIZE_BUTTON) return FALSE;
    sizeButton_.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    return TRUE;
}

// --- choosing files and folders ---------------------------------------------

INT_PTR CHalvardDlg::OnChooseFile(WPARAM, LPARAM) {
    ShowProgress(false);
    const bool split = mode_ == 1;
    const wchar_t* filter = split ? L"All Files (*.*)|*.*|Movie Files (*.dat)|*.dat|Music Files (*.wav;*.mp3)|*.wav;*.mp3||"
                                  : L"SIO files (*.sio)|*.sio||";
    std::wstring filters = filter;
    for (wchar_t& c : filters) {
        if (c == L'|') c = L'\0';
    }
    // Room for the longest path the system has.
    std::wstring path(32768, L'\0');
    const std::wstring initial = platform::Widen(store_.record().startupFolder);
    OPENFILENAMEW open{};
    open.lStructSize = sizeof open;
    open.hwndOwner = hwnd();
    open.lpstrFilter = filters.c_str();
    open.lpstrFile = path.data();
    open.nMaxFile = static_cast<DWORD>(path.size());
    open.lpstrTitle = split ? L"Choose a file for splitting" : L"Choose the SIO file from the location of split files";
    open.lpstrDefExt = L"All files";
    open.lpstrInitialDir = initial.c_str();
    open.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING | OFN_EXPLORER;
    if (!GetOpenFileNameW(&open)) {
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) Tell(texts::kPathTooLong);
        return TRUE;
    }
    const std::string chosen = platform::Narrow(path.c_str());
    SetText(IDC_SOURCE_PATH, chosen);
    if (!split && !EndsWith(Upper(chosen), ".SIO")) {
        Tell(texts::kEnterSio);
        return TRUE;
    }
    SetCaption(std::string(kCaption) + ": " + Compact(chosen, 30));
    if (split) RefreshFileSize(chosen);
    return TRUE;
}

INT_PTR CHalvardDlg::OnChooseFolder(WPARAM, LPARAM) {
    ShowProgress(false);
    std::string folder;
    if (window::BrowseForFolder(hwnd(), mode_ == 1 ? "Choose a folder for keeping split files"
                                                   : "Choose a folder to keep rejoined file ",
                                folder)) {
        SetText(IDC_DESTINATION_PATH, folder);
        SetStatus(1, Compact(folder, 23));
    }
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
    std::wstring wide;
    if (count >= 1) {
        wide.resize(DragQueryFileW(drop, 0, nullptr, 0));
        DragQueryFileW(drop, 0, wide.data(), static_cast<UINT>(wide.size() + 1));
    }
    DragFinish(drop);
    const std::string path = platform::Narrow(wide);
    if (count != 1) {
        Tell(texts::kSingleDrop);
        return TRUE;
    }
    const std::string display = Compact(path, 23);
    if (platform_.IsFolder(path)) {
        SetStatus(1, display);
        SetText(IDC_DESTINATION_PATH, path);
        return TRUE;
    }
    if (mode_ == 0) {
        const std::string upper = Upper(path);
        if (!EndsWith(upper, ".SIO") && !EndsWith(upper, ".SPL")) {
            Tell(texts::kEnterSioOrSpl);
            return TRUE;
        }
        SetCaption(std::string(kCaption) + ": " + display);
        ApplyModeLook(false);
        const std::string info = ClassifyNamedFile(path).sourceText;
        SetText(IDC_SOURCE_PATH, info);
        if (!platform_.Exists(info)) {
            Tell(info + texts::kNotFoundSuffix);
            SetCaption("");
            return TRUE;
        }
        SetCaption(info);
        return TRUE;
    }
    SetCaption(std::string(kCaption) + ": " + display);
    SetText(IDC_SOURCE_PATH, path);
    RefreshFileSize(path);
    return TRUE;
}

void CHalvardDlg::OpenNamedFile() {
    const std::string path = fileToOpen_;
    if (!platform_.Exists(path)) {
        Tell(texts::kFileMissing);
        return;
    }
    SetCaption(std::string(kCaption) + ": " + Compact(path, 23));
    const NamedFile named = ClassifyNamedFile(path);
    if (named.rejoin) {
        SwitchMode(false);
        SetText(IDC_SOURCE_PATH, named.sourceText);
        if (platform_.Exists(named.sourceText)) {
            SetCaption(named.sourceText);
        } else {
            Tell(named.sourceText + texts::kNotFoundSuffix);
            SetCaption("");
        }
        return;
    }
    SetText(IDC_SOURCE_PATH, path);
    if (mode_ == 1) RefreshFileSize(path);
}

// --- settings pane ---------------------------------------------------------

INT_PTR CHalvardDlg::OnToggleSettings(WPARAM, LPARAM) {
    if (controller_.running()) return TRUE;
    TogglePane();
    return TRUE;
}

void CHalvardDlg::TogglePane() {
    paneExpanded_ = !paneExpanded_;
    RECT w, p;
    GetWindowRect(hwnd(), &w);
    GetWindowRect(Item(IDC_PANE_PLACE), &p);
    if (margin_ < 0) margin_ = w.bottom - p.bottom;
    const int paneHeight = p.bottom - p.top;
    int targetBottom;
    if (paneExpanded_) {
        paneShown_ = true;
        pane_.FillFolders();
        targetBottom = w.bottom + paneHeight + margin_;
    } else {
        paneShown_ = false;
        targetBottom = w.bottom - paneHeight - margin_;
    }
    if (IsWindowVisible(hwnd())) {
        const int steps = (paneHeight + margin_) / 25 - 1;
        RECT step = w;
        for (int i = 0; i < steps; ++i) {
            step.bottom += paneExpanded_ ? 25 : -25;
            MoveWindow(hwnd(), step.left, step.top, step.right - step.left, step.bottom - step.top, TRUE);
            UpdateWindow(hwnd());
            Sleep(10);
        }
    }
    const int width = w.right - w.left, height = targetBottom - w.top;
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    MoveWindow(hwnd(), (screenWidth - width) / 2, (screenHeight - height) / 2, width, height, TRUE);
}

INT_PTR CHalvardDlg::OnSettingsDone(WPARAM wParam, LPARAM) {
    if (paneShown_) TogglePane();
    if (wParam == settings::kSettingsCancelled) return TRUE;
    store_.Reload();
    const std::string& working = store_.record().workingFolder;
    SetStatus(1, Compact(working, 23));
    SetText(IDC_DESTINATION_PATH, working);
    otherDestination_ = working;
    return TRUE;
}

}  // namespace app
