#include "app/PieceSizeChooser.h"

#include "app/FormState.h"
#include "resources/resource.h"
#include "window/WindowText.h"
#include "platform/win32/ScopedWin.h"

namespace app {

bool PieceSizeChooser::Create(HWND parent, const RECT& place) {
    if (!button_.Create("Custom si&ze", WS_CHILD | WS_VISIBLE | WS_TABSTOP, place, parent, IDC_SIZE_BUTTON)) {
        return false;
    }
    button_.SetBitmap(IDB_PIECE_SIZE, RGB(255, 0, 255));
    button_.AddMenuItem(ID_PRESET_FLOPPY, "1.44 MB &floppy", MF_STRING);
    button_.AddMenuItem(ID_PRESET_10MB, "1&0 MB Chunks", MF_STRING);
    button_.AddMenuItem(ID_PRESET_100MB, "&100 MB Chunks", MF_STRING);
    button_.AddMenuItem(ID_PRESET_CD, "&CD (700 MB)", MF_STRING);
    button_.AddMenuItem(ID_PRESET_FAT32, "&DVD or FAT32 (4 GB)", MF_STRING);
    button_.AddMenuItem(0, "", MF_SEPARATOR);
    platform::ScopedMenu units(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_UNITS_MENU)));
    if (units.get()) {
        HMENU popup = GetSubMenu(units.get(), 0);
        RemoveMenu(units.get(), 0, MF_BYPOSITION);  // the button's menu owns it from now on
        AppendMenuW(button_.menu(), MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"&User defined");
    }
    return true;
}

void PieceSizeChooser::Check(unsigned command) {
    for (unsigned id : kSizeMenuCommands) CheckMenuItem(button_.menu(), id, MF_BYCOMMAND | MF_UNCHECKED);
    CheckMenuItem(button_.menu(), command, MF_BYCOMMAND | MF_CHECKED);
    // The face names a preset, so that the size is seen without opening the
    // menu; a custom size is in the field beside it. The mnemonic stays.
    const SizeCommand* entry = FindSizeCommand(command);
    const std::string caption = entry && !entry->custom ? std::string("Si&ze: ") + entry->status : "Custom si&ze";
    if (window::TextOf(button_.hwnd()) != caption) {
        window::SetTextOf(button_.hwnd(), caption);
        InvalidateRect(button_.hwnd(), nullptr, TRUE);
    }
}

}  // namespace app
