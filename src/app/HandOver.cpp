#include "app/HandOver.h"

#include "app/ExitCodes.h"
#include "data/CmdLineUtils.h"
#include "data/FolderRules.h"
#include "data/FolderSafety.h"
#include "data/InstallData.h"
#include "data/Product.h"
#include "data/Protection.h"
#include "engine/Compile.h"
#include "platform/Console.h"
#include "platform/OsError.h"
#include "platform/OwnImage.h"
#include "platform/SystemLibrary.h"
#include "platform/Text.h"
#include "platform/Utils.h"

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

// The folders of the copies that do the work start with this, in the
// temporary folder; empty when there is no temporary folder.
std::string HandOverFolderPrefix() {
    const std::string Temp = TempFolder();
    if (Temp.empty()) return {};
    return PathIn(Temp, Product.ShortName) + "Setup-";
}

// Writes Bytes into a new file To (never an existing one) and hands back a
// handle on it that lets nobody write, rename or delete it while it is held.
THandle HeldCopy(const std::string& Bytes, const std::string& To) {
    {
        const THandle Target(CreateFileA(To.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!Target || !WriteFileText(Target.get(), Bytes))
            RaiseLastOSError("Writing the copy of setup", To);
    }
    THandle Held(CreateFileA(To.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!Held) RaiseLastOSError("Opening the copy of setup", To);
    return Held;
}

// Starts CommandLine with exactly Inherited as the handles it inherits,
// where the system can say so (Vista and later, bound late); elsewhere with
// every inheritable handle, as before.
bool StartWithHandles(const std::string& Program, std::string& CommandLine,
                      const std::string& Folder, STARTUPINFOA& Startup,
                      std::vector<HANDLE> Inherited, PROCESS_INFORMATION& Process) {
    static const TSystemFunction<BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD, PSIZE_T)>
        Init{"kernel32.dll", "InitializeProcThreadAttributeList"};
    static const TSystemFunction<BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD_PTR,
                                               PVOID, SIZE_T, PVOID, PSIZE_T)>
        Update{"kernel32.dll", "UpdateProcThreadAttribute"};
    static const TSystemFunction<VOID(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST)> Delete{
        "kernel32.dll", "DeleteProcThreadAttributeList"};
    SIZE_T Size = 0;
    if (!Init || !Update || !Delete || (Init(nullptr, 1, 0, &Size), Size == 0))
        return CreateProcessA(Program.c_str(), CommandLine.data(), nullptr, nullptr, TRUE, 0,
                              nullptr, Folder.c_str(), &Startup, &Process) != FALSE;
    std::vector<char> Storage(Size);
    const auto List = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(Storage.data());
    if (!Init(List, 1, 0, &Size)) return false;
    STARTUPINFOEXA Extended{};
    Extended.StartupInfo = Startup;
    Extended.StartupInfo.cb = sizeof Extended;
    Extended.lpAttributeList = List;
    const bool Started = Update(List, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, Inherited.data(),
                                Inherited.size() * sizeof(HANDLE), nullptr, nullptr) &&
                         CreateProcessA(Program.c_str(), CommandLine.data(), nullptr, nullptr, TRUE,
                                        EXTENDED_STARTUPINFO_PRESENT, nullptr, Folder.c_str(),
                                        &Extended.StartupInfo, &Process);
    const DWORD Error = GetLastError();
    Delete(List);
    SetLastError(Error);
    return Started;
}

} // namespace

bool RunsAsMaintenanceCopy() {
    const std::string Recorded = TInstallData::RecordedInstallDir();
    if (Recorded.empty()) return false;
    return ComparablePath(InstallerFolder(), IsAnsiLeadByte) ==
           ComparablePath(PathIn(Recorded, MaintenanceFolderName), IsAnsiLeadByte);
}

namespace {

// The hand-over's folder: made fresh under a name nobody knows in advance
// and only SYSTEM and the Administrators may change; an existing one is
// never used.
std::string NewHandOverFolder() {
    const std::string Prefix = HandOverFolderPrefix();
    if (Prefix.empty()) RaiseLastOSError("Finding the temporary folder");
    const std::string Folder = CreateUniqueProtectedFolder(Prefix, TProtection::HandOver);
    if (Folder.empty()) RaiseLastOSError("Creating a folder for the copy of setup", Prefix);
    return Folder;
}

// The copy's command line: this run's arguments, then the two handles it
// inherits.
std::string HandOverCommandLine(const std::string& Program, HANDLE Write, HANDLE Self) {
    std::string CommandLine = Quoted(Program);
    for (const std::string& Arg : ProcessArguments()) {
        // The copy runs in another folder: a relative log file stays where
        // it was meant.
        const bool Log = StartsText(Arg, "--log=") && Arg.size() > 6;
        CommandLine += " " + Quoted(Log ? "--log=" + FullPathOf(Arg.substr(6)) : Arg);
    }
    return CommandLine +
           " --uninstall --handover=" + std::to_string(reinterpret_cast<std::uintptr_t>(Write)) +
           "," + std::to_string(reinterpret_cast<std::uintptr_t>(Self));
}

} // namespace

int HandOver(int ShowCmd) {
    // The running program cannot delete itself: a copy in a folder of its
    // own does the work, and this one waits for its outcome.
    const std::string Folder = NewHandOverFolder();
    const std::string Program = Folder + "\\" + OwnProgramName();
    const std::string Own = AddTrailingBackslash(InstallerFolder());
    // The program that runs, from the file it holds since it started; the
    // version file from this protected folder. Held until the copy has done
    // its work: nothing can be changed in between what was copied and what
    // runs and reads.
    std::string Bytes, Version;
    if (!ReadOwnImage(Bytes)) RaiseLastOSError("Reading the running setup program");
    if (!ReadFileText(Own + "version", Version))
        RaiseLastOSError("Reading the version file", Own + "version");
    const THandle HeldProgram = HeldCopy(Bytes, Program);
    const THandle HeldVersion = HeldCopy(Version, Folder + "\\version");

    // The copy writes its exit code into the pipe when its work is done,
    // and waits on this process before it removes this program.
    SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
    THandle Read, Write, Self;
    if (!CreatePipe(Read.put(), Write.put(), &Inherit, 0))
        RaiseLastOSError("Making the pipe to the copy of setup");
    SetHandleInformation(Read.get(), HANDLE_FLAG_INHERIT, 0);
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), Self.put(),
                         SYNCHRONIZE, TRUE, 0))
        RaiseLastOSError("Handing this program to the copy of setup");
    std::string CommandLine = HandOverCommandLine(Program, Write.get(), Self.get());

    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    Startup.dwFlags = STARTF_USESHOWWINDOW;
    Startup.wShowWindow = static_cast<WORD>(ShowCmd);
    PROCESS_INFORMATION Process{};
    AllowSetForegroundWindow(ASFW_ANY);
    if (!StartWithHandles(Program, CommandLine, Folder, Startup, {Write.get(), Self.get()},
                          Process))
        RaiseLastOSError("Starting the copy of setup", Program);
    THandle Child(Process.hProcess), ChildThread(Process.hThread);
    Write.reset();
    Self.reset();

    DWORD Code = 0, Count = 0;
    if (!ReadFile(Read.get(), &Code, sizeof Code, &Count, nullptr) || Count != sizeof Code) {
        // It ended without a word: its own exit code tells.
        WaitForSingleObject(Child.get(), INFINITE);
        if (!GetExitCodeProcess(Child.get(), &Code)) Code = ExitFailed;
    }
    return static_cast<int>(Code);
}

namespace {

bool ParseHandOver(const std::string& HandOver, HANDLE& Pipe, HANDLE& Waiting) {
    // "<pipe>,<process>": the two handles this process inherited.
    std::uintptr_t Handles[2] = {};
    int Index = 0;
    for (char C : HandOver) {
        if (C == ',' && Index == 0)
            ++Index;
        else if (C >= '0' && C <= '9')
            Handles[Index] = Handles[Index] * 10 + static_cast<std::uintptr_t>(C - '0');
        else
            return false;
    }
    Pipe = reinterpret_cast<HANDLE>(Handles[0]);
    Waiting = reinterpret_cast<HANDLE>(Handles[1]);
    return Index == 1;
}

} // namespace

void KeepHandOverToItself(const std::string& HandOver) {
    // Nothing this copy starts (the extraction program, regsvr32) may get
    // hold of the pipe to its starter, or of the starter itself.
    HANDLE Pipe = nullptr, Waiting = nullptr;
    if (!ParseHandOver(HandOver, Pipe, Waiting)) return;
    SetHandleInformation(Pipe, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(Waiting, HANDLE_FLAG_INHERIT, 0);
}

void FinishHandOver(const std::string& HandOver, int ExitCode, const TInstallData* Data) {
    HANDLE Pipe = nullptr, Waiting = nullptr;
    if (!ParseHandOver(HandOver, Pipe, Waiting)) return;
    const DWORD Code = static_cast<DWORD>(ExitCode);
    DWORD Written = 0;
    WriteFile(Pipe, &Code, sizeof Code, &Written, nullptr);
    CloseHandle(Pipe);
    WaitForSingleObject(Waiting, 60000);
    CloseHandle(Waiting);

    if (Data && !Data->Installed) {
        // The installation is gone: so is the copy it kept for this.
        for (const std::string& Entry : TCompiler::MaintenanceEntries()) {
            const std::string Path = PathIn(Data->InstallDir, Entry);
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
    for (const std::string& Name :
         {OwnProgramName(), std::string("version"), std::string("install.log")})
        MoveFileExA((Own + Name).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExA(StripTrailingBackslash(Own).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
