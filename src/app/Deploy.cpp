#include "app/Deploy.h"

#include "app/Procedure.h"

#include "data/CmdLineUtils.h"
#include "data/Error.h"
#include "data/FolderSafety.h"
#include "data/InstallData.h"
#include "data/OsError.h"
#include "data/Product.h"
#include "data/Utils.h"
#include "engine/Compile.h"

#include <windows.h>

#include <cstdint>

namespace {

// One argument as the C runtime splits a command line: quoted when it holds
// blanks or quotes, with the backslashes before a quote doubled.
std::string Quoted(const std::string& Arg) {
    if (!Arg.empty() && Arg.find_first_of(" \t\"") == std::string::npos) return Arg;
    std::string Out = "\"";
    std::size_t Slashes = 0;
    for (char C : Arg) {
        if (C == '\\') {
            ++Slashes;
            continue;
        }
        Out.append(C == '"' ? Slashes * 2 + 1 : Slashes, '\\');
        Slashes = 0;
        Out += C;
    }
    Out.append(Slashes * 2, '\\');
    return Out + '"';
}

// The lines of a message box text, for the log.
void AppendLines(std::vector<std::string>& Lines, const std::string& Text) {
    std::size_t Start = 0;
    for (;;) {
        const std::size_t End = Text.find("\r\n", Start);
        Lines.push_back(Text.substr(Start, End - Start));
        if (End == std::string::npos) return;
        Start = End + 2;
    }
}

// Why setup does not install into the data's folders; empty when it does.
std::string FolderRefusal(const TInstallData& Data) {
    TFolderVerdict Verdict = CheckInstallDir(Data.InstallDir);
    if (Verdict != TFolderVerdict::Ok) return DestinationRefusalText(Verdict, Data.InstallDir);
    // The wizard asks first, and its answer unless the user changes it is No.
    if (FolderHoldsForeignFiles(Data.InstallDir))
        return "The folder \"" + Data.InstallDir +
               "\" already holds files that were not installed by this setup program. "
               "Setup installs into such a folder only when the user agrees to it in the "
               "wizard. Choose another folder with --dir.";
    Verdict = CheckStartFolder(Data.StartFolder);
    if (Verdict != TFolderVerdict::Ok) return ProgramFolderRefusalText(Verdict, Data.StartFolder);
    return {};
}

// The folders of the copies that do the work start with this, in the
// temporary folder; empty when there is no temporary folder.
std::string HandOverFolderPrefix() {
    char Temp[MAX_PATH];
    const DWORD Length = GetTempPathA(MAX_PATH, Temp);
    if (Length == 0 || Length >= MAX_PATH) return {};
    return AddTrailingBackslash(Temp) + Product.ShortName + "Setup-";
}

} // namespace

TSetupLock::TSetupLock() {
    const std::string Name = std::string(Product.Name) + " Setup";
    // Machine-wide, so that a setup in another session counts too; where
    // that is not allowed, this session's.
    FMutex.reset(CreateMutexA(nullptr, FALSE, ("Global\\" + Name).c_str()));
    if (!FMutex) FMutex.reset(CreateMutexA(nullptr, FALSE, ("Local\\" + Name).c_str()));
    FHeld = !FMutex || GetLastError() != ERROR_ALREADY_EXISTS;
}

std::string AnotherSetupText() {
    return std::string("Setup of ") + Product.Name +
           " is already running. Wait until it has ended, then start setup again.";
}

std::string NotInstalledText() {
    return std::string(Product.Name) + " is not installed on this computer: there is nothing to "
                                       "uninstall.";
}

void WriteLogFile(const std::string& FileName, const std::vector<std::string>& Lines) {
    std::string Text;
    for (const std::string& Line : Lines)
        Text += Line + "\r\n";
    const THandle File(CreateFileA(FileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD Written = 0;
    if (!File || !WriteFile(File.get(), Text.data(), static_cast<DWORD>(Text.size()), &Written,
                            nullptr) ||
        Written != Text.size())
        throw Exception("Cannot create file \"" + FullPathOf(FileName) + "\". " +
                        SysErrorMessage(GetLastError()));
}

void ApplyFolderOptions(const TCmdOptions& Options, TInstallData& Data) {
    if (Data.Mode != imInstall) return;
    if (!Options.Dir.empty()) Data.InstallDir = Options.Dir;
    if (!Options.Group.empty()) Data.StartFolder = Options.Group;
}

std::vector<std::string> UnusedOptionNotes(const TCmdOptions& Options, const TInstallData& Data) {
    std::vector<std::string> Notes;
    if (Data.Mode == imInstall) return Notes;
    if (!Options.Dir.empty())
        Notes.push_back("The folder given with --dir is not used: the installation stays in \"" +
                        Data.InstallDir + "\".");
    if (!Options.Group.empty())
        Notes.push_back(
            "The program folder given with --group is not used: the installation keeps \"" +
            Data.StartFolder + "\".");
    return Notes;
}

int RunSilent(const TCmdOptions& Options, TInstallData& Data) {
    std::vector<std::string> Log;
    int Code = ExitFailed;
    if (const std::string Refusal = Data.Mode == imInstall ? FolderRefusal(Data) : "";
               !Refusal.empty()) {
        // Nothing is touched: no record, no folder, no install.log.
        AppendLines(Log, Refusal);
        Code = ExitBadOption;
    } else {
        if (Options.Uninstall) Data.Mode = imUninstall;
        TProcedureOutcome Outcome;
        try {
            RunProcedure(Data, RunNotes(&Options, Data),
                         [](TCompiler& Engine) { Engine.ShowProgramFolder = false; }, Outcome);
        } catch (const std::exception& E) {
            Outcome.Log.push_back(E.what());
            Outcome.Raised = true;
        }
        Log = Outcome.Log;
        Code = ExitCodeOf(Outcome, Data);
    }
    if (!Options.LogFile.empty()) {
        try {
            WriteLogFile(Options.LogFile, Log);
        } catch (const std::exception&) {
            // It was made at start; there is nobody else to tell.
        }
    }
    return Code;
}

bool RunsAsMaintenanceCopy() {
    const std::string Recorded = TInstallData::RecordedInstallDir();
    if (Recorded.empty()) return false;
    return ComparablePath(InstallerFolder(), IsAnsiLeadByte) ==
           ComparablePath(AddTrailingBackslash(Recorded) + MaintenanceFolderName, IsAnsiLeadByte);
}

int HandOver(int ShowCmd) {
    // The running program cannot delete itself: a copy in a folder of its
    // own does the work, and this one waits for its outcome.
    const std::string Prefix = HandOverFolderPrefix();
    if (Prefix.empty()) RaiseLastOSError();
    const std::string Folder = Prefix + std::to_string(GetCurrentProcessId());
    if (!CreateDirectoryA(Folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        RaiseLastOSError();
    const std::string Program = Folder + "\\" + OwnProgramName();
    const std::string Own = AddTrailingBackslash(InstallerFolder());
    if (!CopyFileA((Own + OwnProgramName()).c_str(), Program.c_str(), FALSE) ||
        !CopyFileA((Own + "version").c_str(), (Folder + "\\version").c_str(), FALSE))
        RaiseLastOSError();

    // The copy writes its exit code into the pipe when its work is done,
    // and waits on this process before it removes this program.
    SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
    HANDLE RawRead = nullptr, RawWrite = nullptr, RawSelf = nullptr;
    if (!CreatePipe(&RawRead, &RawWrite, &Inherit, 0)) RaiseLastOSError();
    THandle Read(RawRead), Write(RawWrite);
    SetHandleInformation(RawRead, HANDLE_FLAG_INHERIT, 0);
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &RawSelf,
                         SYNCHRONIZE, TRUE, 0))
        RaiseLastOSError();
    THandle Self(RawSelf);

    std::string CommandLine = Quoted(Program);
    for (const std::string& Arg : ProcessArguments()) {
        // The copy runs in another folder: a relative log file stays where
        // it was meant.
        const bool Log = StartsText(Arg, "--log=") && Arg.size() > 6;
        CommandLine += " " + Quoted(Log ? "--log=" + FullPathOf(Arg.substr(6)) : Arg);
    }
    CommandLine += " --uninstall --handover=" +
                   std::to_string(reinterpret_cast<std::uintptr_t>(RawWrite)) + "," +
                   std::to_string(reinterpret_cast<std::uintptr_t>(RawSelf));

    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    Startup.dwFlags = STARTF_USESHOWWINDOW;
    Startup.wShowWindow = static_cast<WORD>(ShowCmd);
    PROCESS_INFORMATION Process{};
    AllowSetForegroundWindow(ASFW_ANY);
    if (!CreateProcessA(Program.c_str(), CommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        Folder.c_str(), &Startup, &Process))
        RaiseLastOSError();
    THandle Child(Process.hProcess), ChildThread(Process.hThread);
    Write.reset();
    Self.reset();

    DWORD Code = 0, Count = 0;
    if (!ReadFile(RawRead, &Code, sizeof Code, &Count, nullptr) || Count != sizeof Code) {
        // It ended without a word: its own exit code tells.
        WaitForSingleObject(Child.get(), INFINITE);
        if (!GetExitCodeProcess(Child.get(), &Code)) Code = ExitFailed;
    }
    return static_cast<int>(Code);
}

void FinishHandOver(const std::string& HandOver, int ExitCode, const TInstallData* Data) {
    // "<pipe>,<process>": the two handles this process inherited.
    std::uintptr_t Handles[2] = {};
    int Index = 0;
    for (char C : HandOver) {
        if (C == ',' && Index == 0)
            ++Index;
        else if (C >= '0' && C <= '9')
            Handles[Index] = Handles[Index] * 10 + static_cast<std::uintptr_t>(C - '0');
        else
            return;
    }
    const HANDLE Pipe = reinterpret_cast<HANDLE>(Handles[0]);
    const HANDLE Waiting = reinterpret_cast<HANDLE>(Handles[1]);
    const DWORD Code = static_cast<DWORD>(ExitCode);
    DWORD Written = 0;
    WriteFile(Pipe, &Code, sizeof Code, &Written, nullptr);
    CloseHandle(Pipe);
    WaitForSingleObject(Waiting, 60000);
    CloseHandle(Waiting);

    if (Data && !Data->Installed) {
        // The installation is gone: so is the copy it kept for this.
        for (const std::string& Entry : TCompiler::MaintenanceEntries()) {
            const std::string Path = AddTrailingBackslash(Data->InstallDir) + Entry;
            SetFileAttributesA(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(Path.c_str());
        }
        RemoveDirectoryA(Data->MaintenanceFolder().c_str());
        RemoveDirectoryA(StripTrailingBackslash(Data->InstallDir).c_str());
    }
    // This copy, its version file and log, then its folder; only in a
    // folder that the hand-over made.
    const std::string Own = AddTrailingBackslash(InstallerFolder());
    const std::string Prefix = HandOverFolderPrefix();
    if (Prefix.empty() || !StartsText(Own, Prefix)) return;
    for (const std::string& Name : {OwnProgramName(), std::string("version"), std::string("install.log")})
        MoveFileExA((Own + Name).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExA(StripTrailingBackslash(Own).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
