// Parvex: the program's entry. Its whole interface is the main dialog.
#include "app/HalvardDlg.h"

#include <commctrl.h>
#include <ole2.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/StartupRules.h"
#include "resources/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (FAILED(OleInitialize(nullptr))) {
        char text[256] = {};
        LoadStringA(instance, IDS_OLE_FAILED, text, sizeof text);
        MessageBoxA(nullptr, text, "Corvane.Split", MB_OK | MB_ICONEXCLAMATION);
        return 1;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    const std::vector<std::string> args(__argv + 1, __argv + __argc);
    const app::CommandLine line = app::ParseCommandLine(args);
    {
        app::CHalvardDlg dialog(line);
        dialog.DoModal(nullptr);
    }
    OleUninitialize();
    return 0;
}
