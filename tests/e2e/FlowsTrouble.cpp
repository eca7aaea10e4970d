// End-to-end flows where something goes wrong: files held by other programs, runs cut off, planted
// files, names, the restart.

#include "e2e/Flow.h"

namespace e2e {

// --- files held by other programs -----------------------------------------

// Another program's hold on a file: open for reading, sharing read only, as
// an editor or an IDE keeps the file it shows.
class THold {
public:
    explicit THold(const std::string& Path)
        : FHandle(CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {
        if (FHandle == INVALID_HANDLE_VALUE) Fail("hold " + Path, "it cannot be opened");
    }
    ~THold() { Release(); }
    THold(const THold&) = delete;
    THold& operator=(const THold&) = delete;
    void Release() {
        if (FHandle != INVALID_HANDLE_VALUE) CloseHandle(FHandle);
        FHandle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE FHandle;
};

void InstallSilently(const TFlow& Flow, const TPlaces& Places, const std::string& Setup) {
    const std::string Folders =
        Arg("--dir=", Places.InstallDir) + Arg("--group=", Places.StartFolder);
    if (RunWithoutWindow(Flow.Exe(Setup), "--silent" + Folders, Setup, "silent installation") != 0)
        Fail("silent installation", "it did not succeed");
}

// An update while an editor holds a file of the installation: before
// anything changes the wizard names the file; Try Again while it is still
// held asks again, and once it is free the update goes through.
void HeldDuringUpdate(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    InstallSilently(Flow, Places, Setup);
    WriteRecord(Places.InstallDir, Places.StartFolder, "2.5.0 Standard Edition");
    const std::string Held = JoinPath(Places.InstallDir, "Demos\\VBDemo\\VBDemo.vbp");
    THold Editor(Held);
    {
        // Cancel: nothing changes.
        TInstaller App(Flow.Exe(Setup), Setup, Flow.Shots);
        App.Expect(TPage::Welcome, "welcome page of the update");
        App.Press(Texts::Next, "Next on the welcome page of the update", false);
        App.AnswerMessage("Cancel", "files in use: Cancel");
        ExpectText(AwaitFinish(App, Places), Texts::Cancelled, "outcome after Cancel");
        FinishWithoutWebSite(App, 1602);
    }
    const auto Record = ReadRecord();
    ExpectText(Record ? Record->InstalledVersion : "<none>", "2.5.0 Standard Edition",
               "recorded version after Cancel");
    {
        TInstaller App(Flow.Exe(Setup), Setup, Flow.Shots);
        App.Expect(TPage::Welcome, "welcome page of the update");
        App.Press(Texts::Next, "Next on the welcome page of the update", false);
        for (const char* Step : {"files in use, still held", "files in use, released"}) {
            const std::string Message = App.AnswerMessage("&Try Again", Step);
            if (Message.find(Held) == std::string::npos)
                Fail(Step, "the message does not name " + Held + ": " + Message);
            Editor.Release();
        }
        ExpectText(AwaitFinish(App, Places), Texts::Installed, "outcome once the file was free");
        FinishWithoutWebSite(App);
    }
    CheckInstalled(Flow, Places);
}

// True while a process of this prefix runs the program Name.
bool RunsProgramNamed(const char* Name) {
    const THandle Snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 Entry{};
    Entry.dwSize = sizeof Entry;
    for (BOOL More = Snapshot && Process32First(Snapshot.get(), &Entry); More;
         More = Process32Next(Snapshot.get(), &Entry))
        if (_stricmp(Entry.szExeFile, Name) == 0) return true;
    return false;
}

// Ends every process of this prefix that runs the program Name.
void EndProcessesNamed(const char* Name) {
    const HANDLE Snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (Snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 Entry{};
    Entry.dwSize = sizeof Entry;
    for (BOOL More = Process32First(Snapshot, &Entry); More; More = Process32Next(Snapshot, &Entry))
        if (_stricmp(Entry.szExeFile, Name) == 0)
            if (HANDLE Process =
                    OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, Entry.th32ProcessID)) {
                TerminateProcess(Process, 9);
                WaitForSingleObject(Process, 5000);
                CloseHandle(Process);
            }
    CloseHandle(Snapshot);
}

// An update cut off half-way (setup ended while it extracts, its old files
// moved aside) is undone by the next start of setup before anything else:
// the log says so, and the run then does its own work.
void InterruptedUpdate(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    InstallSilently(Flow, Places, Setup);
    WriteRecord(Places.InstallDir, Places.StartFolder, "2.5.0 Standard Edition");
    const std::string Ocx = JoinPath(Places.InstallDir, OcxName);
    const std::string Component = ReadOrFail(Ocx);

    const std::string Stalled = Flow.CopyOfDist("stalled");
    if (!MoveFileA(JoinPath(Stalled, "unrar.exe").c_str(),
                   JoinPath(Stalled, "real_unrar.exe").c_str()) ||
        !CopyFileA(JoinPath(OwnFolder(), "stall_unrar.exe").c_str(),
                   JoinPath(Stalled, "unrar.exe").c_str(), FALSE))
        Fail("prepare the cut-off run", "the stand-in extraction program cannot be put in place");
    {
        TProcess Cut(Flow.Exe(Stalled), "--silent", Stalled);
        if (!WaitFor(ProcedureMs, [&] { return !FilePresent(Ocx) || !Cut.Running(); }) ||
            !Cut.Running())
            Fail("cut-off run", "the old files were not moved aside while it ran");
        Sleep(1000);
        // Setup alone is ended (End task): the extraction program it runs
        // ends with it, and writes nothing more into the folder.
        Cut.Terminate();
        if (!WaitFor(10000, [] { return !RunsProgramNamed("unrar.exe"); })) {
            EndProcessesNamed("unrar.exe");
            Fail("cut-off run", "the extraction program still ran after setup had ended");
        }
    }
    if (FilePresent(Ocx)) Fail("cut-off run", "the old component is still in place");

    const std::string LogFile = JoinPath(Flow.Work, "after.log");
    const DWORD Code = RunWithoutWindow(Flow.Exe(Setup), "--silent" + Arg("--log=", LogFile), Setup,
                                        "the run after the cut-off one");
    const TLines Log = CrLfLines(ReadOrFail(LogFile), "log after the cut-off run");
    if (Code != 0)
        Fail("the run after the cut-off one",
             "exit code " + std::to_string(Code) + ":\n" + Quote(Log));
    ExpectLines(TLines(Log.begin(), Log.begin() + std::min<size_t>(2, Log.size())),
                {"An earlier run of setup was interrupted before it had finished.",
                 "The earlier installation was restored."},
                "first lines of the run after the cut-off one");
    ExpectText(ReadOrFail(Ocx), Component, "the component after the next run");
    CheckInstalled(Flow, Places);
    CheckUninstallEntry(Flow, Places);
}

// A pinned setup program refuses an unrar.exe or a data.arc that is not the
// one it was built with, before anything changes; with the right ones it
// installs as any other.
void Pinned(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Folders =
        Arg("--dir=", Places.InstallDir) + Arg("--group=", Places.StartFolder);
    for (const char* Name : {"unrar.exe", "data.arc"}) {
        const std::string Setup = Flow.CopyOfDist(std::string("changed ") + Name);
        const std::string Changed = JoinPath(Setup, Name);
        // Still a working program (an overlay after its image), still an
        // archive as far as its first entries go.
        WriteOrFail(Changed, ReadOrFail(Changed) + std::string(512, '\0'));
        const std::string LogFile = JoinPath(Flow.Work, std::string(Name) + ".log");
        const std::string Step = std::string("pinned setup with a changed ") + Name;
        const DWORD Code = RunWithoutWindow(
            Flow.Exe(Setup), "--silent" + Folders + Arg("--log=", LogFile), Setup, Step);
        const TLines Log = CrLfLines(ReadOrFail(LogFile), Step + ": log");
        if (Code != 1603) Fail(Step, "exit code " + std::to_string(Code) + ":\n" + Quote(Log));
        const std::string Refusal = "\"" + Changed + "\" does not belong to this setup program.";
        if (std::find(Log.begin(), Log.end(), Refusal) == Log.end() ||
            Log.back() != FailedExtraction.back())
            Fail(Step, "the log does not say '" + Refusal + "' and end as a damaged archive:\n" +
                           Quote(Log));
        ExpectNothingInstalled(Places, Step);
    }
    InstallSilently(Flow, Places, Flow.CopyOfDist("setup"));
    CheckInstalled(Flow, Places);
}

// The kept copy hands its work over to a copy of itself in a new folder of
// the temporary folder. A folder planted there under the name it used to
// take (MorvaneSetup-<pid>) is never used, nor touched: the copy is started
// suspended, the folder planted, and the uninstall still succeeds.
void PlantedHandOver(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    InstallSilently(Flow, Places, Flow.CopyOfDist("setup"));
    char Buffer[MAX_PATH];
    const std::string Temp(Buffer, GetTempPathA(MAX_PATH, Buffer));
    const std::string Prefix = Product.ShortName + std::string("Setup-");
    const TLines Before = FoldersIn(Temp);

    const std::string Copy = JoinPath(JoinPath(Places.InstallDir, "Setup"), SetupExe);
    std::string Line = "\"" + Copy + "\" --uninstall --silent";
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Process{};
    if (!CreateProcessA(Copy.c_str(), Line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, Flow.Work.c_str(), &Startup, &Process))
        Fail("start the kept copy suspended", "it cannot be started");
    const std::string Planted = JoinPath(Temp, Prefix + std::to_string(Process.dwProcessId));
    MakeFoldersOrFail(Planted);
    WriteOrFail(JoinPath(Planted, SetupExe), "planted by another user\r\n");
    WriteOrFail(JoinPath(Planted, "version"), "9.9.9\r\n");
    ResumeThread(Process.hThread);
    const bool Ended = WaitForSingleObject(Process.hProcess, ProcedureMs) == WAIT_OBJECT_0;
    DWORD Code = 1;
    GetExitCodeProcess(Process.hProcess, &Code);
    CloseHandle(Process.hThread);
    CloseHandle(Process.hProcess);
    if (!Ended || Code != 0)
        Fail("uninstall by the kept copy", "exit code " + std::to_string(Code));
    WaitFor(20000, [&] { return !FolderPresent(Places.InstallDir); });
    ExpectNothingInstalled(Places, "after the uninstall with a planted folder");
    ExpectText(ReadOrFail(JoinPath(Planted, SetupExe)), "planted by another user\r\n",
               "the planted program");
    if (FilesIn(Planted) != TLines{SetupExe, "version"})
        Fail("the planted folder", "it was changed");
    std::string Used;
    for (const std::string& Folder : FoldersIn(Temp))
        if (Folder.rfind(Prefix, 0) == 0 &&
            Folder != Prefix + std::to_string(Process.dwProcessId) &&
            std::find(Before.begin(), Before.end(), Folder) == Before.end())
            Used = Folder;
    if (Used.size() != Prefix.size() + 16)
        Fail("the hand-over folder",
             "no new folder of an unpredictable name was made: '" + Used + "'");
    WipeTree(Planted);
}

// A product file named beyond ASCII ("Café.txt", UTF-8 in the archive):
// installed under its name, named so in the log and the list of installed
// files (ANSI text), and found again by the uninstall.
void NonAsciiName(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    const std::string LogFile = JoinPath(Flow.Work, "names.log");
    const std::string Folders =
        Arg("--dir=", Places.InstallDir) + Arg("--group=", Places.StartFolder);
    if (RunWithoutWindow(Flow.Exe(Setup), "--silent" + Folders + Arg("--log=", LogFile), Setup,
                         "installation with a name beyond ASCII") != 0)
        Fail("installation with a name beyond ASCII", ReadWholeFile(LogFile).value_or("<no log>"));
    const std::string Name = "Help\\Caf\xE9.txt"; // the ANSI code page 1252 of the prefix
    ExpectText(ReadOrFail(JoinPath(Places.InstallDir, Name)),
               "A product file whose name is beyond ASCII.\r\n", "the installed file");
    const TLines Log = CrLfLines(ReadOrFail(LogFile), "log of the installation");
    if (std::find(Log.begin(), Log.end(), "Extracting  " + Name) == Log.end())
        Fail("log of the installation", "no line for " + Name + ":\n" + Quote(Log));
    const std::string List =
        ReadOrFail(JoinPath(Places.InstallDir, Product.InstalledFilesListName));
    if (List.find("\r\n" + Name + "\r\n") == std::string::npos)
        Fail("list of installed files", "it does not name " + Name + ":\n" + List);
    CheckInstalled(Flow, Places);
    if (RunWithoutWindow(Flow.Exe(Setup), "--uninstall --silent", Setup, "the uninstall") != 0)
        Fail("the uninstall", "it did not succeed");
    ExpectNothingInstalled(Places, "after the uninstall of a name beyond ASCII");
}

// The restart flow's places, the same for both halves.
TPlaces RestartPlaces(const TFlow& Flow) {
    TFlow Both = Flow;
    Both.Name = "restart";
    return PlacesOf(Both);
}

const char* const HeldEntry = "Demos\\VBDemo\\VBDemo.vbp";

// Setup's entry in RunOnce (the system's own view of the registry); empty
// when there is none.
std::string RunOnceCommand() {
    HKEY Raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                      0, KEY_READ | KEY_WOW64_64KEY, &Raw) != ERROR_SUCCESS)
        return {};
    const TRegKey Key(Raw);
    char Value[1024] = {};
    DWORD Size = sizeof Value - 1, Type = 0;
    const std::string Name = Product.Name + std::string(" Setup");
    if (RegQueryValueExA(Raw, Name.c_str(), nullptr, &Type, reinterpret_cast<BYTE*>(Value),
                         &Size) != ERROR_SUCCESS ||
        Type != REG_SZ)
        return {};
    return Value;
}

// First half: a repair without a window while an editor holds a file ends
// with 3010, the file untouched and its new content beside it. The driver
// then ends (and the editor's hold with it); Windows restarts (restart-flow.sh).
void HeldUntilRestart(TFlow& Flow) {
    const TPlaces Places = RestartPlaces(Flow);
    Clean(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    InstallSilently(Flow, Places, Setup);
    const std::string Held = JoinPath(Places.InstallDir, HeldEntry);
    WriteOrFail(JoinPath(Flow.Work, "expected"), ReadOrFail(Held));
    WriteOrFail(Held, "changed by the user\r\n");
    THold Editor(Held);
    const std::string Ocx = JoinPath(Places.InstallDir, OcxName);
    THold Host(Ocx); // a program that uses the component
    const std::string LogFile = JoinPath(Flow.Work, "repair.log");
    const DWORD Code = RunWithoutWindow(Flow.Exe(Setup), "--silent" + Arg("--log=", LogFile), Setup,
                                        "silent repair with a file in use");
    const std::string Log = ReadOrFail(LogFile);
    if (Code != 3010)
        Fail("silent repair with a file in use",
             "exit code " + std::to_string(Code) + "; log:\n" + Log);
    const std::string Line =
        "\"" + Held +
        "\" is in use by another program: its new version is put in place when Windows restarts.";
    if (Log.find(Line + "\r\n") == std::string::npos)
        Fail("log of the repair", "no line '" + Line + "':\n" + Log);
    ExpectText(ReadOrFail(Held), "changed by the user\r\n", "the held file before the restart");
    ExpectText(ReadOrFail(Held + ".~new"), ReadOrFail(JoinPath(Flow.Work, "expected")),
               "the new content beside it");
    CheckInstalled(Flow, Places);
    // Windows registers the new component at the restart: an entry in
    // RunOnce runs the system's regsvr32 on it. Its registration goes now,
    // so that only that entry can bring it back.
    const std::string Command = RunOnceCommand();
    const std::string Tail = "\" /s \"" + Ocx + "\"";
    if (Command.size() < Tail.size() ||
        Lower(Command.substr(Command.size() - Tail.size())) != Lower(Tail) ||
        Lower(Command).find("\\regsvr32.exe\"") == std::string::npos)
        Fail("RunOnce after the repair", "the entry is '" + Command + "'");
    for (const std::string& Id : ServersOf(Ocx))
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + Id).c_str());
}

// Second half, after the restart: the new content is in place.
void AfterRestart(TFlow& Flow) {
    const TPlaces Places = RestartPlaces(Flow);
    const std::string Held = JoinPath(Places.InstallDir, HeldEntry);
    try {
        ExpectText(ReadOrFail(Held), ReadOrFail(JoinPath(Flow.Work, "expected")),
                   "the held file after the restart");
        if (FilePresent(Held + ".~new")) Fail("after the restart", Held + ".~new is still there");
        if (!RunOnceCommand().empty())
            Fail("after the restart", "the RunOnce entry is still there");
        CheckInstalled(Flow, Places);
    } catch (...) {
        Clean(Places, Flow.Programs);
        throw;
    }
    Clean(Places, Flow.Programs);
}

} // namespace e2e
