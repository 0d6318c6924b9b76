// The settings pane: a child dialog in the lower part of the main window whose
// OK saves the settings and whose Cancel discards the edits.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "settings/SettingsStore.h"
#include "window/Dialog.h"

namespace settings {

// Posted to the main window when the pane closes: wParam 0 saved, 777 cancelled.
inline constexpr UINT WM_SETTINGS_DONE = WM_USER + 45;
inline constexpr WPARAM kSettingsCancelled = 777;

class CSettingsDlg : public window::DialogImpl<CSettingsDlg> {
public:
    CSettingsDlg(SettingsStore& store, engine::Prompts& host);

    // Puts the settings in memory into the edits and check boxes.
    void FillFolders();
    // What tells the room recovery data of a given percentage takes.
    void SetRoomText(std::function<std::string(std::uint32_t)> roomText) { roomText_ = std::move(roomText); }

    static window::MessageTable<CSettingsDlg> Messages();

private:
    INT_PTR OnInitDialog(WPARAM, LPARAM);
    INT_PTR OnOk(WPARAM, LPARAM);
    INT_PTR OnCancel(WPARAM, LPARAM);
    INT_PTR OnBrowseStartup(WPARAM, LPARAM);
    INT_PTR OnBrowseWorking(WPARAM, LPARAM);
    INT_PTR OnRecoveryChange(WPARAM, LPARAM);
    int RecoveryPercent();
    void Browse(int edit);
    void ReadChecks();

    SettingsStore& store_;
    engine::Prompts& host_;
    std::function<std::string(std::uint32_t)> roomText_;
};

}  // namespace settings
