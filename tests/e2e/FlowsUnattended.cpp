// End-to-end flows without a window: the help screen, silent runs, the uninstall from Installed
// apps.

#include "e2e/Flow.h"

namespace e2e {

// The help switches print the option summary to standard output and end
// with exit code 1 without showing any window.
void Help(TFlow& Flow) {
    const std::string Setup = Flow.CopyOfDist("setup");
    auto Row = [](std::string Option, const std::string& Text) {
        Option.resize(std::max<size_t>(Option.size(), 20), ' ');
        return Option + "  " + Text;
    };
    const TLines Screen = {
        "",
        Row("--ignore-ide", "Start installer even if Delphi/BCB is running."),
        Row("--ignore-bcb", "Do not display and compile BCB versions."),
        Row("--ignore-delphi", "Do not display and compile Delphi versions."),
        "",
        Row("--lib-path=X", "Set the library root directory to X."),
        Row("--keep-files", "Do not call \"clean\"."),
        Row("--autoupdate", "Updates all IDEs where ZIVI 3 is installed."),
        "",
        Row("-rDelphi=X", "Sets the Registry path for the Delphi IDEs."),
        Row("-rBCB=X", "Sets the Registry path for the BCB IDEs."),
        Row("-rBDS=X", "Sets the Registry path for the BDS IDEs. (-rBDS=Win32Only)"),
        Row("--lang=X", "Sets the Installer's language to X."),
        Row("--help", "Show this screen."),
        "",
        Row("--silent", "Install, update or repair without a window."),
        Row("--uninstall", "Uninstall; with --silent, without a window."),
        Row("--dir=X", "Install into folder X (first installation)."),
        Row("--group=X", "Put the shortcuts into program folder X."),
        Row("--log=X", "Also write the setup log to file X."),
        "",
    };
    for (const char* Switch : {"--help", "/?", "-H"}) {
        const std::string Step = std::string("help switch ") + Switch;
        SECURITY_ATTRIBUTES Inherit{sizeof(Inherit), nullptr, TRUE};
        HANDLE OutRead, OutWrite, InRead, InWrite;
        if (!CreatePipe(&OutRead, &OutWrite, &Inherit, 0) ||
            !CreatePipe(&InRead, &InWrite, &Inherit, 0))
            Fail(Step, "no pipes");
        THandle Reader(OutRead), Writer(OutWrite), Input(InRead), Feeder(InWrite);
        SetHandleInformation(OutRead, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(InWrite, HANDLE_FLAG_INHERIT, 0);
        // The help screen waits for Enter.
        DWORD Written = 0;
        WriteFile(InWrite, "\r\n", 2, &Written, nullptr);
        Feeder.reset();

        TProcess Program(JoinPath(Setup, SetupExe), Switch, Setup, InRead, OutWrite);
        Writer.reset();
        Input.reset();
        std::string Output;
        bool WindowSeen = false;
        const bool Ended = WaitFor(60000, [&] {
            if (!TopWindows(Program.Id()).empty()) WindowSeen = true;
            DWORD Available = 0;
            while (PeekNamedPipe(OutRead, nullptr, 0, nullptr, &Available, nullptr) && Available) {
                char Buffer[4096];
                DWORD Read = 0;
                if (!ReadFile(OutRead, Buffer, sizeof(Buffer), &Read, nullptr) || !Read) break;
                Output.append(Buffer, Read);
            }
            return !Program.Running();
        });
        if (!Ended) Fail(Step, "the program still runs after 60 s");
        for (;;) {
            char Buffer[4096];
            DWORD Read = 0;
            if (!ReadFile(OutRead, Buffer, sizeof(Buffer), &Read, nullptr) || !Read) break;
            Output.append(Buffer, Read);
        }
        if (WindowSeen) Fail(Step, "a window was shown");
        if (Program.ExitCode() != 1)
            Fail(Step, "exit code " + std::to_string(Program.ExitCode()) + ", expected 1");
        ExpectLines(CrLfLines(Output, Step + " output"), Screen, Step + " output");
    }
}

//
// Deployment: runs without a window, one setup at a time, and the entry in
// the list of installed apps with the copy of the setup it keeps.
//

// One run of setup without a window, as a deployment tool makes it: the
// setup folder and its log file, the folders the flow installs to.
struct TSilentRuns {
    TFlow& Flow;
    const TPlaces Places = PlacesOf(Flow);
    const std::string Setup = Flow.CopyOfDist("setup");
    const std::string Exe = Flow.Exe(Setup);
    const std::string LogFile = JoinPath(JoinPath(Flow.Work, "deployment logs"), "setup.log");
    const std::string Log = Arg("--log=", LogFile);
    const std::string Folders =
        Arg("--dir=", Places.InstallDir) + Arg("--group=", Places.StartFolder);

    // Runs setup from Folder with Args; fails unless it ends with Wanted.
    // The lines of the log file.
    TLines Run(const std::string& Folder, const std::string& Args, DWORD Wanted,
               const std::string& Step) const {
        DeleteFileA(LogFile.c_str());
        const DWORD Code = RunWithoutWindow(JoinPath(Folder, SetupExe), Args, Folder, Step);
        if (Code != Wanted)
            Fail(Step, "exit code " + std::to_string(Code) + ", expected " +
                           std::to_string(Wanted) + "; log file:\n" +
                           ReadWholeFile(LogFile).value_or("<none>"));
        return CrLfLines(ReadOrFail(LogFile), Step + ": log file");
    }
};

// Nothing asked for clearly, or nothing to do: nothing is done.
void SilentNothingToDo(const TSilentRuns& R) {
    const TPlaces& Places = R.Places;
    ExpectLines(R.Run(R.Setup, "--uninstall --silent" + R.Log, 1605, "silent uninstall of nothing"),
                {NotInstalled}, "log of a silent uninstall of nothing");
    // A mistyped option is refused, not taken for a repair.
    ExpectLines(R.Run(R.Setup, "--uninstal --silent" + R.Folders + R.Log, 87,
                      "silent run with a mistyped option"),
                {"Unknown argument \"--uninstal\": a run without a window does nothing it was not "
                 "clearly asked for."},
                "log of the mistyped option");
    ExpectNothingInstalled(Places, "after a mistyped option");
    ExpectNothingInstalled(Places, "after a silent uninstall of nothing");
}

// Refused folders: nothing is made, not even install.log.
void SilentRefusedFolders(const TSilentRuns& R) {
    TFlow& Flow = R.Flow;
    const TPlaces& Places = R.Places;
    const std::string& Setup = R.Setup;
    const std::string Shared = JoinPath(Flow.Work, "Shared Tools");
    MakeFoldersOrFail(Shared);
    WriteOrFail(JoinPath(Shared, "notes.txt"), "mine\r\n");
    // A folder that is a link (a Unix one, seen as a junction is seen).
    const std::string Target = JoinPath(Flow.Work, "Link target"),
                      Linked = JoinPath(Flow.Work, "Linked");
    MakeFoldersOrFail(Target);
    if (!MakeUnixLink(Target, Linked)) Fail("refused link", "the link cannot be made");
    const std::pair<std::string, std::string> Refused[] = {
        {Arg("--dir=", Shared), Shared},
        {Arg("--dir=", Linked), Linked},
        {Arg("--dir=", JoinPath(WindowsFolder(), "Morvane")), WindowsFolder()},
        {Arg("--dir=", "relative\\folder"), "relative\\folder"},
        {Arg("--dir=", Places.InstallDir) + Arg("--group=", "..\\Escape"), "..\\Escape"},
    };
    for (const auto& [Args, Named] : Refused) {
        const TLines Lines = R.Run(Setup, "--silent" + Args + R.Log, 87, "refused" + Args);
        std::string Text;
        for (const std::string& Line : Lines)
            Text += Line + "\n";
        if (Text.find(Named) == std::string::npos)
            Fail("log of the refused" + Args, "it does not name " + Named + ":\n" + Text);
        ExpectNothingInstalled(Places, "after the refused" + Args);
        if (FilePresent(JoinPath(Setup, "install.log")))
            Fail("refused" + Args, "install.log was written");
    }
    const bool Untouched = FilesIn(Target).empty() && FoldersIn(Target).empty();
    RemoveUnixLink(Linked);
    if (!Untouched) Fail("refused link", "something was written where it leads");
    if (FilesIn(Shared) != TLines{"notes.txt"} ||
        ReadOrFail(JoinPath(Shared, "notes.txt")) != "mine\r\n")
        Fail("refused shared folder", "its files were changed");
}

// Start-up errors: no message box, the text in the log file when it can be
// written at all.
void SilentStartErrors(const TSilentRuns& R) {
    TFlow& Flow = R.Flow;
    const std::string NoVersion = Flow.CopyOfDist("no version");
    DeleteFileA(JoinPath(NoVersion, "version").c_str());
    const TLines Error =
        R.Run(NoVersion, "--silent" + R.Folders + R.Log, 2, "silent run without version");
    if (Error.size() != 1 || Error[0].find(JoinPath(NoVersion, "version")) == std::string::npos)
        Fail("log of the run without version", "the lines are\n" + Quote(Error));
    const std::string Unwritable =
        Arg("--log=", JoinPath(JoinPath(Flow.Work, "no such folder"), "x.log"));
    if (const DWORD Code = RunWithoutWindow(R.Exe, "--silent" + R.Folders + Unwritable, R.Setup,
                                            "log file that cannot be made");
        Code != 2)
        Fail("log file that cannot be made", "exit code " + std::to_string(Code) + ", expected 2");
    ExpectNothingInstalled(R.Places, "after the start-up errors");
}

// A damaged archive: 1603, and the log tells why.
void SilentDamagedArchive(const TSilentRuns& R) {
    const std::string Damaged = R.Flow.CopyOfDist("damaged");
    WriteOrFail(JoinPath(Damaged, "data.arc"), "this is not an archive\r\n");
    const TLines Lines =
        R.Run(Damaged, "--silent" + R.Folders + R.Log, 1603, "silent run, damaged archive");
    if (Lines.empty() || Lines.back() != FailedExtraction.back())
        Fail("log of the damaged run", "the lines are\n" + Quote(Lines));
    ExpectLines(Lines, CrLfLines(ReadOrFail(JoinPath(Damaged, "install.log")), "install.log"),
                "log file against install.log of the damaged run");
    Clean(R.Places, R.Flow.Programs);
}

// One setup at a time: while the wizard runs, another copy touches nothing.
void SilentWhileTheWizardRuns(const TSilentRuns& R) {
    const std::string& Exe = R.Exe;
    const std::string& Setup = R.Setup;
    TInstaller Wizard(Exe, Setup, R.Flow.Shots);
    Wizard.Expect(TPage::Welcome, "welcome page of the setup that runs first");
    WriteOrFail(R.LogFile, "the log of someone else\r\n");
    const std::string Step = "silent setup while the wizard runs";
    const DWORD Code = RunWithoutWindow(Exe, "--silent" + R.Folders + R.Log, Setup, Step);
    if (Code != 1618) Fail(Step, "exit code " + std::to_string(Code) + ", expected 1618");
    ExpectNothingInstalled(R.Places, Step);
    ExpectText(ReadOrFail(R.LogFile), "the log of someone else\r\n", Step + ": the log file");

    TProcess Second(Exe, "", Setup);
    HWND Box = nullptr;
    WaitFor(20000, [&] {
        for (HWND Window : TopWindows(Second.Id()))
            if (ClassName(Window) == "#32770") Box = Window;
        return Box || !Second.Running();
    });
    if (!Box) Fail("second wizard", "no message box appeared");
    ExpectText(DialogText(Box), AnotherSetup, "message of the second wizard");
    R.Flow.Shots.Take("another-setup");
    Click(RequireVisible(Box, TKind::PushButton, "OK", "second wizard"), "OK on the message");
    if (!Second.Wait(EndMs) || Second.ExitCode() != 1618)
        Fail("second wizard", "it did not end with exit code 1618");
    Wizard.Press(Texts::Cancel, "Cancel on the welcome page", false);
    Wizard.ExpectEnd(1602, CancelEndMs, "end after Cancel");
}

// First installation (no window, not even the program folder's), repair
// and update, which keep the recorded folders.
void SilentInstallRepairUpdate(const TSilentRuns& R) {
    TFlow& Flow = R.Flow;
    const TPlaces& Places = R.Places;
    const std::string& Setup = R.Setup;
    const std::string& Log = R.Log;
    const TLines Installed =
        R.Run(Setup, "--silent" + R.Folders + Log, 0, "silent first installation");
    ExpectLines(Installed, CrLfLines(ReadOrFail(JoinPath(Setup, "install.log")), "install.log"),
                "log file against install.log");
    CheckInstallLog(ReadOrFail(R.LogFile), Places, "log file of the silent installation");
    Sleep(3000);
    if (!FolderWindows(Places.ProgramFolder).empty())
        Fail("silent first installation", "a window on the program folder was opened");
    CheckInstalled(Flow, Places);
    CheckUninstallEntry(Flow, Places);

    // Repair (the same version) and update.
    const std::string Elsewhere = JoinPath(Flow.Work, "Elsewhere");
    const TLines Repaired =
        R.Run(Setup, "--silent" + Arg("--dir=", Elsewhere) + Log, 0, "silent repair");
    const std::string Note =
        "The folder given with --dir is not used: the installation stays in \"" +
        Places.InstallDir + "\".";
    if (Repaired.empty() || Repaired.front() != Note)
        Fail("log of the silent repair",
             "it does not start with '" + Note + "':\n" + Quote(Repaired));
    if (FolderPresent(Elsewhere)) Fail("silent repair", Elsewhere + " was made");
    CheckInstalled(Flow, Places);
    WriteRecord(Places.InstallDir, Places.StartFolder, "2.5.0 Standard Edition");
    R.Run(Setup, "--silent" + Log, 0, "silent update");
    CheckInstalled(Flow, Places);
    CheckUninstallEntry(Flow, Places);
}

// The kept copy can only uninstall; the quiet uninstall command of
// Installed apps does, with the downloaded setup gone.
void SilentKeptCopy(const TSilentRuns& R) {
    TFlow& Flow = R.Flow;
    const TPlaces& Places = R.Places;
    const std::string& LogFile = R.LogFile;
    const std::string& Log = R.Log;
    // The copy kept in the installation folder has no archive to repair with.
    const std::string Kept = JoinPath(Places.InstallDir, "Setup");
    ExpectLines(R.Run(Kept, "--silent" + Log, 2, "the kept copy without --uninstall"),
                {"This copy of setup can only uninstall: start it with --uninstall."},
                "log of the kept copy without --uninstall");
    CheckInstalled(Flow, Places);

    // The quiet uninstall command of Installed apps, the downloaded setup gone.
    WipeTree(R.Setup);
    const std::string Command = ReadUninstallEntry()->at("QuietUninstallString");
    DeleteFileA(LogFile.c_str());
    const long Code = RunProgram(Command + Log, Flow.Work, ProcedureMs);
    if (Code != 0)
        Fail("quiet uninstall command", "exit code " + std::to_string(Code) + "; log file:\n" +
                                            ReadWholeFile(LogFile).value_or("<none>"));
    const TLines Uninstalled = CrLfLines(ReadOrFail(LogFile), "log file of the quiet uninstall");
    if (Uninstalled.size() < UninstallSteps.size() ||
        !std::equal(UninstallSteps.begin(), UninstallSteps.end(),
                    Uninstalled.end() - UninstallSteps.size()))
        Fail("log file of the quiet uninstall", "the lines are\n" + Quote(Uninstalled));
    // The copy that did the work removes the one that started it as soon
    // as that one has ended.
    WaitFor(20000, [&] { return !FolderPresent(Places.InstallDir); });
    ExpectNothingInstalled(Places, "after the quiet uninstall command");
    if (!ServersOf(JoinPath(Places.InstallDir, OcxName)).empty())
        Fail("quiet uninstall command", "the component is still registered");
}

void Silent(TFlow& Flow) {
    const TSilentRuns Runs{Flow};
    TCleanup Cleanup(Runs.Places, Flow.Programs);
    MakeFoldersOrFail(JoinPath(Flow.Work, "deployment logs"));
    SilentNothingToDo(Runs);
    SilentRefusedFolders(Runs);
    SilentStartErrors(Runs);
    SilentDamagedArchive(Runs);
    SilentWhileTheWizardRuns(Runs);
    SilentInstallRepairUpdate(Runs);
    SilentKeptCopy(Runs);
}

// Installed apps' uninstall command opens the wizard on the maintenance page
// with Uninstall chosen; the copy kept can only uninstall.
void UninstallFromInstalledApps(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    const std::string Folders =
        Arg("--dir=", Places.InstallDir) + Arg("--group=", Places.StartFolder);
    if (RunWithoutWindow(Flow.Exe(Setup), "--silent" + Folders, Setup, "silent installation") != 0)
        Fail("silent installation", "it did not succeed");
    WipeTree(Setup);
    const std::string Command = ReadUninstallEntry()->at("UninstallString");
    const std::string Copy = JoinPath(JoinPath(Places.InstallDir, "Setup"), SetupExe);
    ExpectText(Command, "\"" + Copy + "\" --uninstall", "uninstall command");
    // A relative log file is where it was meant to be, although the work is
    // done by a copy in another folder.
    const std::string LogFile = JoinPath(Flow.Work, "apps.log");
    {
        TInstaller App(Copy, Flow.Work, Flow.Shots, "--uninstall --log=apps.log");
        App.Expect(TPage::Maintenance, "maintenance page from Installed apps");
        ExpectChecked(App.Control(TKind::RadioButton, Texts::Uninstall, "maintenance page"), true,
                      "Uninstall chosen");
        ExpectEnabled(App.Control(TKind::RadioButton, Texts::Reinstall, "maintenance page"), false,
                      "Reinstall without the archive");
        App.Press(Texts::Next, "Next on the maintenance page", false);
        ExpectText(AwaitFinish(App, Places), Texts::Uninstalled, "outcome sentence");
        FinishWithoutWebSite(App);
    }
    WaitFor(20000, [&] { return !FolderPresent(Places.InstallDir); });
    ExpectNothingInstalled(Places, "after the uninstall from Installed apps");
    const TLines Lines = CrLfLines(ReadOrFail(LogFile), "log file of the wizard");
    if (Lines.size() < UninstallSteps.size() ||
        !std::equal(UninstallSteps.begin(), UninstallSteps.end(),
                    Lines.end() - UninstallSteps.size()))
        Fail("log file of the wizard", "the lines are\n" + Quote(Lines));
}

} // namespace e2e
