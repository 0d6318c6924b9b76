#include "app/HalvardDlg.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <vector>

#include "app/AutoProxy.h"
#include "app/ReadThisDialog.h"
#include "engine/base/Format.h"
#include "engine/set/PiecePlan.h"
#include "engine/set/RecoveryPlan.h"
#include "engine/ops/Prepare.h"
#include "engine/base/Texts.h"
#include "platform/win32/WideText.h"
#include "resources/resource.h"
#include "window/Dpi.h"
#include "window/WindowText.h"

namespace app {

using window::Compact;

window::MessageTable<CHalvardDlg> CHalvardDlg::Messages() {
    static constexpr window::MessageEntry<CHalvardDlg> kRows[] = {
        {WM_INITDIALOG, 0, &CHalvardDlg::OnInitDialog},
        {WM_COMMAND, IDC_CHOOSE_FILE, &CHalvardDlg::OnChooseFile},
        {WM_COMMAND, IDCANCEL, &CHalvardDlg::OnCancelCommand},
        {WM_COMMAND, IDC_SPLIT_MODE, &CHalvardDlg::OnSplitMode},
        {WM_COMMAND, IDC_REJOIN_MODE, &CHalvardDlg::OnRejoinMode},
        {WM_COMMAND, IDC_CHOOSE_FOLDER, &CHalvardDlg::OnChooseFolder},
        {WM_COMMAND, IDC_START, &CHalvardDlg::OnStart},
        {WM_COMMAND, ID_GENERAL_SETTINGS, &CHalvardDlg::OnToggleSettings},
        {WM_COMMAND, ID_PRESET_FLOPPY, &CHalvardDlg::OnSizeCommand},
        {WM_COMMAND, ID_PRESET_10MB, &CHalvardDlg::OnSizeCommand},
        {WM_COMMAND, ID_PRESET_100MB, &CHalvardDlg::OnSizeCommand},
        {WM_COMMAND, ID_PRESET_CD, &CHalvardDlg::OnSizeCommand},
        {WM_COMMAND, ID_PRESET_FAT32, &CHalvardDlg::OnSizeCommand},
        {WM_COMMAND, ID_UNIT_BYTES, &CHalvardDlg::OnSizeCommand},
        {WM_COMMAND, ID_UNIT_KB, &CHalvardDlg::OnSizeCommand},
        {WM_COMMAND, ID_UNIT_MB, &CHalvardDlg::OnSizeCommand},
        {WM_COMMAND, ID_UNIT_FILES, &CHalvardDlg::OnSizeCommand},
        {WM_COMMAND, ID_UNIT_BYTES_ALT, &CHalvardDlg::OnSizeCommand},
        {WM_COMMAND, IDC_SIZE_BUTTON, &CHalvardDlg::OnSizeCommand},
        {WM_COMMAND, IDC_CUSTOM_SIZE, &CHalvardDlg::OnCustomSizeChange},
        {settings::WM_SETTINGS_DONE, 0, &CHalvardDlg::OnSettingsDone},
        {WM_DROPFILES, 0, &CHalvardDlg::OnDropFiles},
        {WM_DRAWITEM, 0, &CHalvardDlg::OnDrawItem},
        {WM_CLOSE, 0, &CHalvardDlg::OnClose},
        {WM_QUERYDRAGICON, 0, &CHalvardDlg::OnQueryDragIcon},
        {WM_PAINT, 0, &CHalvardDlg::OnPaint},
        {WM_TIMER, 0, &CHalvardDlg::OnTimer},
        {WM_COMMAND, ID_CHECK_UPDATES, &CHalvardDlg::OnCheckUpdates},
        {WM_COMMAND, ID_ABOUT, &CHalvardDlg::OnAbout},
        {WM_COMMAND, ID_MOVE_TO_TRAY, &CHalvardDlg::OnMoveToTray},
        {WM_COMMAND, ID_VERIFY_SET, &CHalvardDlg::OnVerifySet},
        {WM_COMMAND, IDC_VERIFY, &CHalvardDlg::OnVerifySet},
        {WM_COMMAND, ID_REPAIR_SET, &CHalvardDlg::OnRepairSet},
        {WM_COMMAND, ID_PROTECT_SET, &CHalvardDlg::OnProtectSet},
        {WM_COMMAND, ID_QUICK_CHECK, &CHalvardDlg::OnQuickCheck},
        {WM_DPICHANGED, 0, &CHalvardDlg::OnDpiChanged},
        {WM_COMMAND, ID_TRAY_RESTORE, &CHalvardDlg::OnRestore},
        {WM_COMMAND, ID_TRAY_EXIT, &CHalvardDlg::OnCancelCommand},
        {WM_COMMAND, ID_HELP_CONTENTS, &CHalvardDlg::OnHelpContents},
        {WM_TRAYNOTIFY, 0, &CHalvardDlg::OnTrayNotify},
        {WM_SYSCOMMAND, 0, &CHalvardDlg::OnSysCommand},
        {WM_HELP, 0, &CHalvardDlg::OnContextHelp},
        {WM_DESTROY, 0, &CHalvardDlg::OnDestroy},
        {ToWindowThread::kMessage, 0, &CHalvardDlg::OnWorkerCall},
        {kOpenNamedFiles, 0, &CHalvardDlg::OnOpenNamedFiles},
    };
    static_assert(window::EveryRowHasAHandler(kRows));
    return kRows;
}

CHalvardDlg::CHalvardDlg(const CommandLine& line)
    : DialogImpl(IDD_MAIN),
      store_(registry_, platform_),
      pane_(store_, *this),
      tray_(kTrayIconId, WM_TRAYNOTIFY),
      controller_(platform_, toWindow_, *this, &progress_),
      startedForAutomation_(line.automation),
      fileToOpen_(line.file),
      filesToOpen_(line.files) {
    store_.ConstructWithDefaults();
    pane_.SetRoomText([this](std::uint32_t percent) { return RecoveryRoomText(percent); });
}

CHalvardDlg::~CHalvardDlg() {
    if (automation_) automation_->Forget();
}

// The shell's restart message has a number given at run time: no table row.
INT_PTR CHalvardDlg::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == tray_.taskbarCreated() && message != 0) return OnTaskbarCreated(wParam, lParam);
    return DialogImpl::Dispatch(message, wParam, lParam);
}

std::string CHalvardDlg::Text(int id) const { return window::ItemText(hwnd(), id); }

void CHalvardDlg::SetText(int id, const std::string& text) { window::SetItemText(hwnd(), id, text); }

Fields CHalvardDlg::ShownFields() const { return {Text(IDC_SOURCE_PATH), Text(IDC_DESTINATION_PATH)}; }

RECT CHalvardDlg::ClientRectOf(int id) const {
    RECT rect;
    GetWindowRect(Item(id), &rect);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Another monitor's DPI: the dialog manager scales the controls of the
// template; the ones made here follow their places, and the icons are made
// again at the new size.
INT_PTR CHalvardDlg::OnDpiChanged(WPARAM, LPARAM lParam) {
    const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
    SetWindowPos(hwnd(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceSizeButton();
    status_.Place(ClientRectOf(IDC_STATUS_PLACE));
    const RECT pane = ClientRectOf(IDC_PANE_PLACE);
    MoveWindow(pane_.hwnd(), pane.left, pane.top, pane.right - pane.left, pane.bottom - pane.top, TRUE);
    const int dpi = window::DpiOf(hwnd());
    bigIcon_.Reset(Icon(window::Scaled(32, dpi)));
    smallIcon_.Reset(Icon(window::Scaled(16, dpi)));
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    InvalidateRect(hwnd(), nullptr, TRUE);
    return TRUE;
}

void CHalvardDlg::SetCaption(const std::string& text) { window::SetTextOf(hwnd(), text); }

HICON CHalvardDlg::Icon(int size) const {
    return static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0));
}

INT_PTR CHalvardDlg::OnInitDialog(WPARAM, LPARAM) {
    SetOwner(hwnd());
    toWindow_.Attach(hwnd());
    taskbar_.Attach(hwnd());
    SetDlgItemInt(hwnd(), IDC_CUSTOM_SIZE, 0, TRUE);

    const std::wstring about = window::LoadText(GetModuleHandleW(nullptr), IDS_ABOUTBOX);
    if (!about.empty()) {
        HMENU system = GetSystemMenu(hwnd(), FALSE);
        AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, about.c_str());
        AppendMenuW(system, MF_STRING, IDM_ALWAYS_ON_TOP, L"&Always on top");
    }
    bigIcon_.Reset(Icon(GetSystemMetrics(SM_CXICON)));
    smallIcon_.Reset(Icon(GetSystemMetrics(SM_CXSMICON)));
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    CheckRadioButton(hwnd(), IDC_SPLIT_MODE, IDC_REJOIN_MODE, IDC_SPLIT_MODE);

    if (HWND pane = pane_.Create(hwnd())) {
        // Hidden while folded away: none of its controls is a Tab stop then.
        SetWindowLongW(pane, GWL_STYLE, (GetWindowLongW(pane, GWL_STYLE) | WS_CHILD | WS_TABSTOP) & ~WS_VISIBLE);
        SetWindowLongW(pane, GWL_EXSTYLE, GetWindowLongW(pane, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
        const RECT place = ClientRectOf(IDC_PANE_PLACE);
        MoveWindow(pane, place.left, place.top, place.right - place.left, place.bottom - place.top, FALSE);
    }
    sizeChooser_.Create(hwnd(), ClientRectOf(IDC_SIZE_BUTTON_PLACE));
    ShowCustomSize(false);
    std::string problem;
    if (!status_.Create(hwnd(), ClientRectOf(IDC_STATUS_PLACE), problem)) Tell(problem);
    // The button made here goes where its place is in the Tab order.
    SetWindowPos(sizeChooser_.hwnd(), Item(IDC_SIZE_BUTTON_PLACE), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    sizeChooser_.Check(ID_PRESET_FLOPPY);
    status_.SetPart(StatusArea::kSize, "1.44 MB");
    status_.SetPart(StatusArea::kMode, "Split");

    paneShown_ = true;
    OnSettingsDone(0, 0);
    CreateTooltips();
    InvalidateRect(hwnd(), nullptr, TRUE);

    RestoreRemembered();
    // Several files named (a selection in Explorer) are a queue, as several
    // dropped are: once the window is up.
    if (filesToOpen_.size() > 1) {
        PostMessageW(hwnd(), kOpenNamedFiles, 0, 0);
    } else if (!fileToOpen_.empty()) {
        OpenNamedFile(fileToOpen_);
    }

    if (store_.EnsureFolder(store_.record().workingFolder, texts::kCreateWorkingCaption, *this) ==
        settings::FolderCheck::Refused) {
        store_.record().workingFolder = "c:\\";
    }
    if (store_.EnsureFolder(store_.record().startupFolder, texts::kCreateStartupCaption, *this) ==
        settings::FolderCheck::Refused) {
        store_.record().startupFolder = "c:\\";
        static_cast<void>(platform_.SetCurrentFolder("c:\\"));  // the root is there, or nothing better is
    }
    return TRUE;
}

void CHalvardDlg::CreateTooltips() {
    tooltip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!tooltip_) return;
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 150);
    const struct {
        int id;
        const wchar_t* tip;
    } tips[] = {
        {IDC_CHOOSE_FILE, L"Select a file to split"}, {IDC_CHOOSE_FOLDER, L"Select the working folder"},
        {IDC_SPLIT_MODE, L"Select split mode"},       {IDC_REJOIN_MODE, L"Select rejoin mode"},
        {IDC_CUSTOM_SIZE, L"Enter the custom size"},  {IDCANCEL, L"Exit Corvane.Split"},
        {IDC_SIZE_BUTTON, L"Select chunk size"},
    };
    for (const auto& tip : tips) {
        TOOLINFOW info{};
        info.cbSize = TTTOOLINFOW_V1_SIZE;
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = hwnd();
        info.uId = reinterpret_cast<UINT_PTR>(Item(tip.id));
        info.lpszText = const_cast<wchar_t*>(tip.tip);
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    SendMessageW(tooltip_, TTM_ACTIVATE, TRUE, 0);
}

// --- modes -----------------------------------------------------------------

void CHalvardDlg::ApplyModeLook(bool split) {
    // Each control keeps its mnemonic in both modes, none of them the menu
    // bar's (File, Settings, Help) or another control's.
    SetText(IDC_SOURCE_LABEL, split ? "Source file:" : "Set to rejoin (.sio, .spl or .par2):");
    SetText(IDC_DESTINATION_LABEL, "Destination:");
    SetText(IDC_CHOOSE_FILE, "Select a fi&le");
    SetText(IDC_CHOOSE_FOLDER, "&Destination folder");
    SetText(IDC_START, split ? "S&plit" : "&Rejoin");
    sizeChooser_.Show(split);
    ShowWindow(Item(IDC_VERIFY), split ? SW_HIDE : SW_SHOW);
    status_.ShowProgress(false);
    ShowCustomSize(split && form_.size().custom);
}

void CHalvardDlg::SwitchMode(FormMode mode) {
    const bool split = mode == FormMode::Split;
    CheckRadioButton(hwnd(), IDC_SPLIT_MODE, IDC_REJOIN_MODE, split ? IDC_SPLIT_MODE : IDC_REJOIN_MODE);
    const bool changed = form_.mode() != mode;
    const Fields next = form_.SwitchTo(mode, ShownFields());
    if (changed) {
        SetText(IDC_SOURCE_PATH, next.source);
        SetText(IDC_DESTINATION_PATH, next.destination);
    }
    ApplyModeLook(split);
    RefreshStatusBar("", true);
    InvalidateRect(hwnd(), nullptr, TRUE);
}

INT_PTR CHalvardDlg::OnSplitMode(WPARAM, LPARAM) {
    SwitchMode(FormMode::Split);
    return TRUE;
}

INT_PTR CHalvardDlg::OnRejoinMode(WPARAM, LPARAM) {
    SwitchMode(FormMode::Rejoin);
    return TRUE;
}

// Mode, destination and caption; with `showSize` also the size part.
void CHalvardDlg::RefreshStatusBar(const std::string& sizeText, bool showSize) {
    status_.SetPart(StatusArea::kMode, form_.split() ? "Split" : "Rejoin");
    SetText(IDC_FILE_SIZE, "");
    if (showSize) status_.SetPart(StatusArea::kSize, sizeText);
    status_.SetPart(StatusArea::kDestination, Compact(Text(IDC_DESTINATION_PATH), 26));
    SetCaption(std::string(texts::kAppTitle) + " " + Compact(Text(IDC_SOURCE_PATH), 26));
    if (form_.split()) {
        RefreshFileSize(Text(IDC_SOURCE_PATH));
    } else {
        RefreshPlan();
    }
}

void CHalvardDlg::RefreshFileSize(const std::string& path) {
    engine::FileStatus status;
    // Nothing to show for a path whose status cannot be read; Start refuses it.
    if (path.empty() || platform_.Status(path, status) != engine::err::kNone || status.kind != engine::FileKind::Regular) {
        SetText(IDC_FILE_SIZE, "");
        sourceSizeKnown_ = false;
        RefreshPlan();
        return;
    }
    ShowSourceSize(status.size);
}

namespace {
std::string ThousandsSeparator() {
    wchar_t separator[8] = L",";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8);
    return platform::Narrow(separator);
}
}  // namespace

void CHalvardDlg::ShowSourceSize(std::uint64_t bytes) {
    sourceSize_ = bytes;
    sourceSizeKnown_ = true;
    SetText(IDC_FILE_SIZE, engine::Fill(texts::kFileSizeFormat, engine::Grouped(bytes, ThousandsSeparator()), "%u"));
    RefreshPlan();
}

// What a split will make of the chosen file, before it starts: the pieces,
// their size, and whether recovery data comes with them.
void CHalvardDlg::RefreshPlan() {
    std::string text;
    if (form_.split() && sourceSizeKnown_ && !controller_.running()) {
        engine::SizeChoice choice = form_.size();
        choice.customText = CustomSizeText();
        std::uint32_t pieceSize = 0;
        if (engine::ResolvePieceSize(choice, sourceSize_, pieceSize).ok &&
            engine::CheckPieceSize(sourceSize_, pieceSize).ok) {
            const std::uint64_t count = engine::CountPieces(sourceSize_, pieceSize);
            const std::string size = engine::ReadableSize(std::min<std::uint64_t>(pieceSize, sourceSize_));
            text = count == 1 ? engine::Fill(texts::kPlanOnePiece, size, "%2")
                              : engine::Fill(engine::Fill(texts::kPlanPieces, engine::Grouped(count, ThousandsSeparator())),
                                             size, "%2");
            const int percent = store_.record().recoveryPercent;
            text += "\n";
            text += percent > 0 ? engine::Fill(texts::kPlanRecovery, std::to_string(percent)) : texts::kPlanNoRecovery;
        }
    }
    SetText(IDC_PLAN_TEXT, text);
    ShowWindow(Item(IDC_PLAN_TEXT), text.empty() ? SW_HIDE : SW_SHOW);
}

void CHalvardDlg::ShowCustomSize(bool visible) {
    ShowWindow(Item(IDC_CUSTOM_SIZE), visible ? SW_SHOW : SW_HIDE);
    ShowWindow(Item(IDC_UNIT_LABEL), visible ? SW_SHOW : SW_HIDE);
    PlaceSizeButton();
}

// A preset's name needs more room than "Custom size": the button takes the
// custom field's place while that is hidden.
void CHalvardDlg::PlaceSizeButton() {
    RECT size = ClientRectOf(IDC_SIZE_BUTTON_PLACE);
    if (!(GetWindowLongW(Item(IDC_CUSTOM_SIZE), GWL_STYLE) & WS_VISIBLE)) size.right = ClientRectOf(IDC_CUSTOM_SIZE).right;
    MoveWindow(sizeChooser_.hwnd(), size.left, size.top, size.right - size.left, size.bottom - size.top, TRUE);
}

void CHalvardDlg::UseWorkingFolder(const std::string& folder) {
    SetText(IDC_DESTINATION_PATH, folder);
    SendMessageW(Item(IDC_DESTINATION_PATH), EM_SETMODIFY, FALSE, 0);
    status_.SetPart(StatusArea::kDestination, Compact(folder, 23));
}

void CHalvardDlg::EnableControls(bool enable) {
    for (int id : {IDC_SOURCE_PATH, IDC_DESTINATION_PATH, IDC_CHOOSE_FOLDER, IDC_CHOOSE_FILE, IDC_START, IDC_VERIFY}) {
        EnableWindow(Item(id), enable);
    }
    sizeChooser_.Enable(enable);
    // The piece counts belong to a run, not to the update check's wait; the
    // plan line to the time before one.
    ShowWindow(Item(IDC_PROGRESS_TEXT), !enable && controller_.running() ? SW_SHOW : SW_HIDE);
    if (enable) {
        RefreshPlan();
    } else {
        ShowWindow(Item(IDC_PLAN_TEXT), SW_HIDE);
    }
    // Settings and the update check change nothing while an operation runs.
    HMENU menu = GetMenu(hwnd());
    for (UINT command : {ID_GENERAL_SETTINGS, ID_CHECK_UPDATES, ID_VERIFY_SET, ID_REPAIR_SET, ID_PROTECT_SET,
                          ID_QUICK_CHECK}) {
        EnableMenuItem(menu, command, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
    }
    if (enable) {
        EnableWindow(Item(IDC_SPLIT_MODE), TRUE);
        EnableWindow(Item(IDC_REJOIN_MODE), TRUE);
    } else {
        EnableWindow(Item(form_.split() ? IDC_REJOIN_MODE : IDC_SPLIT_MODE), FALSE);
    }
}

INT_PTR CHalvardDlg::OnCancelCommand(WPARAM wParam, LPARAM) {
    if (LOWORD(wParam) == IDCANCEL && ForwardToPane(IDCANCEL)) return TRUE;
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

INT_PTR CHalvardDlg::OnTimer(WPARAM wParam, LPARAM) {
    if (wParam == kProgressTimer) {
        ShowProgress();
        return TRUE;
    }
    return slide_.OnTimer(wParam) ? TRUE : FALSE;
}

INT_PTR CHalvardDlg::OnDestroy(WPARAM, LPARAM) {
    tray_.Hide();
    if (tooltip_) DestroyWindow(tooltip_);
    return FALSE;
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
             LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)));
    EndPaint(hwnd(), &paint);
    return TRUE;
}

INT_PTR CHalvardDlg::OnQueryDragIcon(WPARAM, LPARAM) {
    return reinterpret_cast<INT_PTR>(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)));
}

}  // namespace app
