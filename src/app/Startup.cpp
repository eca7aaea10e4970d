#include "app/Startup.h"

#include "app/uMain.h"
#include "data/CmdLineUtils.h"
#include "data/InstallData.h"
#include "data/Owners.h"
#include "ui/AppError.h"
#include "ui/CommonControls.h"

#include <windows.h>
#include <objbase.h>

#include <exception>
#include <memory>

namespace {

void ShowStartError(const char* Message) {
    MessageBoxA(nullptr, Message, ApplicationTitle().c_str(),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

int RunMessageLoop(TfMain& Main) {
    MSG Msg;
    while (GetMessageA(&Msg, nullptr, 0, 0) > 0) {
        if (Main.PreTranslateMessage(Msg)) continue;
        TranslateMessage(&Msg);
        DispatchMessageA(&Msg);
    }
    return static_cast<int>(Msg.wParam);
}

} // namespace

// The option set lives for the whole run.
TCmdOptions* CmdOptions = nullptr;

int RunSetup(int ShowCmd) {
    // A help request shows the help screen and ends the program here, with
    // exit code 1, before any window exists.
    TCmdOptions Options;
    CmdOptions = &Options;
    // COM for the user-interface thread (apartment model), for the whole run.
    TComScope Com;
    LoadCommonControls();

    std::unique_ptr<TInstallData> Data;
    try {
        Data = std::make_unique<TInstallData>();
    } catch (const std::exception& E) {
        ShowStartError(E.what());
        return 2;
    }
    InstallData = Data.get();

    SetErrorReport([](const std::string& Message) {
        MessageBoxA(GetActiveWindow(), Message.c_str(), ApplicationTitle().c_str(),
                    MB_OK | MB_ICONERROR);
    });

    int ExitCode = 0;
    try {
        TfMain Main;
        Main.Show(ShowCmd);
        ExitCode = RunMessageLoop(Main);
    } catch (const std::exception& E) {
        // The window is gone by now: the box's message loop meets nothing
        // of it.
        ShowStartError(E.what());
        ExitCode = 3;
    }
    InstallData = nullptr;
    CmdOptions = nullptr;
    return ExitCode;
}
