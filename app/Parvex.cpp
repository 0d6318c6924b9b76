// Parvex: the program's entry and its composition root. It reads the command
// line, writes or removes the automation registration, makes the main window
// and the automation object that drives it, and runs the window.
#include "app/HalvardDlg.h"

#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/AutoProxy.h"
#include "app/AutomationRegistration.h"
#include "app/UserPath.h"
#include "app/StartupRules.h"
#include "engine/base/Texts.h"
#include "platform/win32/WideText.h"
#include "resources/resource.h"
#include "platform/win32/ScopedWin.h"
#include "window/WindowText.h"

namespace {

// The program's own path at whatever length it has.
std::string ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return platform::Narrow(path);
        }
        path.resize(path.size() * 2);
    }
}

// The wide command line: the ANSI one holds best-fit look-alikes of the
// names, which may name another file.
std::vector<std::string> Arguments() {
    std::vector<std::string> args;
    int count = 0;
    const platform::ScopedLocal<LPWSTR*> wide(CommandLineToArgvW(GetCommandLineW(), &count));
    for (int i = 1; wide && i < count; ++i) args.push_back(platform::Narrow(wide.get()[i]));
    return args;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (FAILED(OleInitialize(nullptr))) {
        MessageBoxW(nullptr, window::LoadText(instance, IDS_OLE_FAILED).c_str(), platform::Widen(texts::kAppTitle).c_str(),
                    MB_OK | MB_ICONEXCLAMATION);
        return 1;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    const app::CommandLine line = app::ParseCommandLine(Arguments());
    const std::string program = ProgramPath();
    if (line.registration != app::RegistrationSwitch::None) {
        // The setup program reads the exit code: 1 when the registry could
        // not be changed.
        bool done = false;
        switch (line.registration) {
            case app::RegistrationSwitch::Register: done = app::RegisterAutomation(program, false); break;
            case app::RegistrationSwitch::RegisterForUser: done = app::RegisterAutomationForUser(program); break;
            default: done = app::UnregisterAutomation(program); break;
        }
        OleUninitialize();
        return done ? 0 : 1;
    }
    if (line.path != app::PathSwitch::None) {
        const std::string folder = program.substr(0, program.find_last_of("\\/"));
        const bool done = app::SetFolderOnUserPath(folder, line.path == app::PathSwitch::Add);
        OleUninitialize();
        return done ? 0 : 1;
    }
    // Setup and uninstall look for this to avoid replacing files in use.
    platform::ScopedHandle running(CreateMutexW(nullptr, FALSE, L"Global\\Corvane.Split.Parvex"));
    // An ordinary start that cannot register (a locked-down machine) still
    // works; only automation clients cannot find it.
    if (!line.automation) app::RegisterAutomation(program, true);

    DWORD registration = 0;
    {
        app::CHalvardDlg dialog(line);
        // A client that started this program waits for the class until its
        // own timeout: one that cannot be offered ends the program at once,
        // so that the client's call fails now and says why.
        if (line.automation && FAILED(CoRegisterClassObject(app::kClsidHalvardApplication,
                                                           app::AutomationFactory(&dialog), CLSCTX_LOCAL_SERVER,
                                                           REGCLS_SINGLEUSE, &registration))) {
            registration = 0;
            app::AutomationFactory(nullptr);
            OleUninitialize();
            return 1;
        }
        dialog.DoModal(nullptr);
        if (registration) CoRevokeClassObject(registration);
        app::AutomationFactory(nullptr);
    }
    if (registration) {
        // Ending COM can block when the client went first; a server process
        // that is done must end all the same.
        ExitProcess(0);
    }
    OleUninitialize();
    return 0;
}
