// Parvex: the program's entry. Its whole interface is the main dialog.
#include "app/HalvardDlg.h"
#include "app/AutoProxy.h"

#include <commctrl.h>
#include <shellapi.h>
#include <ole2.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/StartupRules.h"
#include "platform/win32/WideText.h"
#include "resources/resource.h"

namespace {

// The program's own path at whatever length it has.
std::string ProgramPath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (FAILED(OleInitialize(nullptr))) {
        char text[256] = {};
        LoadStringA(instance, IDS_OLE_FAILED, text, sizeof text);
        MessageBoxA(nullptr, text, "Corvane.Split", MB_OK | MB_ICONEXCLAMATION);
        return 1;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    // The wide command line: the ANSI one holds best-fit look-alikes of the
    // names, which may name another file.
    std::vector<std::string> args;
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) args.push_back(platform::Narrow(wide[i]));
        LocalFree(wide);
    }
    const app::CommandLine line = app::ParseCommandLine(args);
    const std::string program = ProgramPath();
    if (line.registration != app::RegistrationSwitch::None) {
        if (line.registration == app::RegistrationSwitch::Register) app::RegisterAutomation(program.c_str());
        else app::UnregisterAutomation(program.c_str());
        OleUninitialize();
        return 0;
    }
    // Setup and uninstall look for this to avoid replacing files in use.
    HANDLE running = CreateMutexA(nullptr, FALSE, "Global\\Corvane.Split.Parvex");
    DWORD registration = 0;
    if (line.automation) {
        CoRegisterClassObject(app::kClsidHalvardApplication, app::AutomationFactory(), CLSCTX_LOCAL_SERVER,
                              REGCLS_SINGLEUSE, &registration);
    } else {
        app::RegisterAutomation(program.c_str());
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
    if (running) CloseHandle(running);
    return 0;
}
