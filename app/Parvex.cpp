// Parvex: the program's entry. Its whole interface is the main dialog.
#include "app/HalvardDlg.h"
#include "app/AutoProxy.h"

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
    DWORD registration = 0;
    if (line.automation) {
        CoRegisterClassObject(app::kClsidHalvardApplication, app::AutomationFactory(), CLSCTX_LOCAL_SERVER,
                              REGCLS_SINGLEUSE, &registration);
    } else {
        char program[MAX_PATH * 4] = {};
        GetModuleFileNameA(nullptr, program, sizeof program);
        app::RegisterAutomation(program);
    }
    {
        app::CHalvardDlg dialog(line);
        dialog.DoModal(nullptr);
    }
    if (registration) {
        CoRevokeClassObject(registration);
        // Ending COM can block when the client went first; a server process
        // that is done must end all the same.
        ExitProcess(0);
    }
    OleUninitialize();
    return 0;
}
