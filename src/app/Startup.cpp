#include "app/Startup.h"

#include "app/ExitCodes.h"
#include "app/HandOver.h"
#include "app/SetupLock.h"
#include "app/SilentRun.h"
#include "app/uMain.h"
#include "data/CmdLineUtils.h"
#include "platform/Error.h"
#include "data/InstallData.h"
#include "platform/Owners.h"
#include "engine/Transaction.h"
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

// What setup put right before it started, for the user to know.
void ShowStartNotice(const std::vector<std::string>& Lines) {
    std::string Text;
    for (const std::string& Line : Lines)
        Text += (Text.empty() ? "" : "\r\n") + Line;
    MessageBoxA(nullptr, Text.c_str(), ApplicationTitle().c_str(),
                MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
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

namespace {

// Reported in the log file when there is one, and in a box unless the run
// has no window.
int StartError(const TCmdOptions& Options, const std::string& Message, int Code) {
    if (!Options.LogFile.empty()) {
        try {
            WriteLogFile(Options.LogFile, {Message});
        } catch (const std::exception&) {
        }
    }
    if (!Options.Silent) ShowStartError(Message.c_str());
    return Code;
}

// The wizard's run, until its window is closed.
int RunWizard(TInstallData& Data, const TCmdOptions& Options, int ShowCmd) {
    SetErrorReport([](const std::string& Message) {
        MessageBoxA(GetActiveWindow(), Message.c_str(), ApplicationTitle().c_str(),
                    MB_OK | MB_ICONERROR);
    });
    try {
        TfMain Main(Data, &Options);
        Main.Show(ShowCmd);
        RunMessageLoop(Main);
        return Main.ExitCode();
    } catch (const std::exception& E) {
        // The window is gone by now: the box's message loop meets nothing
        // of it.
        ShowStartError(E.what());
        return 3;
    }
}

// Everything after the options and the lock, with the installation data in
// Data.
int RunUnderLock(const TCmdOptions& Options, int ShowCmd, const TSetupLock& Lock,
                 std::unique_ptr<TInstallData>& Data) {
    const bool Silent = Options.Silent;

    // Nothing is touched while another setup of the product runs, not even
    // its log file.
    if (Lock.State() == TLockState::OtherSetup) {
        if (!Silent) ShowStartError(AnotherSetupText().c_str());
        return ExitAnotherSetup;
    }
    // Not "retry later": a lock that cannot be had now will not be had then.
    if (Lock.State() == TLockState::None)
        return StartError(Options, NoLockText(Lock.Reason()), ExitFailed);
    // Made now, so that a log file that cannot be written stops the run
    // before anything is changed.
    if (!Options.LogFile.empty()) {
        try {
            WriteLogFile(Options.LogFile, {});
        } catch (const std::exception& E) {
            if (!Silent) ShowStartError(E.what());
            return ExitStartError;
        }
    }
    // Before anything is read: a run that was cut off half-way is undone
    // first, so that the record and the folder are what they were before it.
    const std::vector<std::string> Earlier = TInstallTransaction::FinishEarlierRuns();
    // A run without a window does only what it was clearly asked: a
    // mistyped option ("--uninstal") would otherwise repair instead.
    if (Silent && !Options.Unknown.empty())
        return StartError(Options, UnknownArgumentText(Options.Unknown.front()), ExitBadOption);
    try {
        Data = std::make_unique<TInstallData>();
    } catch (const std::exception& E) {
        return StartError(Options, E.what(), ExitStartError);
    }
    Data->EarlierRunNotes = Earlier;
    if (!Silent && !Earlier.empty()) ShowStartNotice(Earlier);
    // The maintenance copy that handed over to this one removes nothing of
    // its own while it waits; this one removes it afterwards.
    Data->MaintenanceDeferred = !Options.Handover.empty();
    if (Options.Uninstall && !Data->Installed)
        return StartError(Options, NotInstalledText(), ExitNotInstalled);
    ApplyFolderOptions(Options, *Data);
    if (Silent) return RunSilent(Options, *Data);
    // The maintenance page, with Uninstall chosen, also for another version.
    if (Options.Uninstall) Data->Mode = imReinstall;

    return RunWizard(*Data, Options, ShowCmd);
}

int RunLocked(const TCmdOptions& Options, int ShowCmd) {
    const TSetupLock Lock;
    std::unique_ptr<TInstallData> Data;
    const int ExitCode = RunUnderLock(Options, ShowCmd, Lock, Data);
    // The copy that took over from the installation's own removes that one
    // and its folder while it still holds the lock: no other setup may
    // start on the folder in between.
    if (!Options.Handover.empty())
        FinishHandOver(Options.Handover, ExitCode,
                       Lock.State() == TLockState::Held ? Data.get() : nullptr);
    return ExitCode;
}

} // namespace

int RunSetup(int ShowCmd) {
    // A help request shows the help screen and ends the program here, with
    // exit code 1, before any window exists.
    TCmdOptions Options;
    // COM for the user-interface thread (apartment model), for the whole run.
    TComScope Com;
    LoadCommonControls();

    if (!Options.Handover.empty()) KeepHandOverToItself(Options.Handover);
    int ExitCode;
    if (Options.Handover.empty() && RunsAsMaintenanceCopy()) {
        try {
            // Without the archive it cannot repair: a run without a window
            // must ask for the uninstall it can do.
            if (Options.Silent && !Options.Uninstall)
                throw Exception(
                    "This copy of setup can only uninstall: start it with --uninstall.");
            ExitCode = HandOver(ShowCmd);
        } catch (const std::exception& E) {
            ExitCode = StartError(Options, E.what(), ExitStartError);
        }
    } else {
        ExitCode = RunLocked(Options, ShowCmd);
    }
    return ExitCode;
}
