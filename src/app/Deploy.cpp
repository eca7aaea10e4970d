#include "app/Deploy.h"

#include "app/Procedure.h"

#include "data/CmdLineUtils.h"
#include "platform/Console.h"
#include "platform/Error.h"
#include "data/FolderSafety.h"
#include "data/InstallData.h"
#include "platform/OsError.h"
#include "platform/OwnImage.h"
#include "data/Product.h"
#include "data/LockRules.h"
#include "data/Protection.h"
#include "platform/Utils.h"
#include "engine/Compile.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdlib>

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
    Verdict = CheckFolderOwnership(Data.InstallDir);
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

// The temporary folder: GetTempPath2 where the system has it (bound late:
// older systems and Wine 8 lack it), which gives LocalSystem a folder of
// its own instead of C:\Windows\Temp; empty when there is none.
std::string TempFolder() {
    using TGetTempPath2 = DWORD(WINAPI*)(DWORD, LPSTR);
    static const auto Path2 = reinterpret_cast<TGetTempPath2>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTempPath2A")));
    char Temp[MAX_PATH + 1];
    const DWORD Length = Path2 ? Path2(MAX_PATH + 1, Temp) : GetTempPathA(MAX_PATH + 1, Temp);
    if (Length == 0 || Length > MAX_PATH) return {};
    return std::string(Temp, Length);
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
        if (!Target || !WriteFileText(Target.get(), Bytes)) RaiseLastOSError();
    }
    THandle Held(CreateFileA(To.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!Held) RaiseLastOSError();
    return Held;
}

// Starts CommandLine with exactly Inherited as the handles it inherits,
// where the system can say so (Vista and later, bound late); elsewhere with
// every inheritable handle, as before.
bool StartWithHandles(const std::string& Program, std::string& CommandLine,
                      const std::string& Folder, STARTUPINFOA& Startup,
                      std::vector<HANDLE> Inherited, PROCESS_INFORMATION& Process) {
    using TInit = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD, PSIZE_T);
    using TUpdate = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD_PTR, PVOID, SIZE_T,
                                  PVOID, PSIZE_T);
    using TDelete = VOID(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST);
    const HMODULE Kernel = GetModuleHandleA("kernel32.dll");
    const auto Init = reinterpret_cast<TInit>(reinterpret_cast<void*>(
        GetProcAddress(Kernel, "InitializeProcThreadAttributeList")));
    const auto Update = reinterpret_cast<TUpdate>(
        reinterpret_cast<void*>(GetProcAddress(Kernel, "UpdateProcThreadAttribute")));
    const auto Delete = reinterpret_cast<TDelete>(reinterpret_cast<void*>(
        GetProcAddress(Kernel, "DeleteProcThreadAttributeList")));
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
    const bool Started =
        Update(List, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, Inherited.data(),
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

namespace {

// The private namespace functions, bound late: Wine 8 lacks them and ends a
// program that imports them.
struct TNamespaces {
    using TCreateBoundary = HANDLE(WINAPI*)(LPCSTR, ULONG);
    using TAddSid = BOOL(WINAPI*)(HANDLE*, PSID);
    using TCreate = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCSTR);
    using TOpen = HANDLE(WINAPI*)(LPVOID, LPCSTR);
    using TDeleteBoundary = VOID(WINAPI*)(HANDLE);
    TCreateBoundary CreateBoundary = nullptr;
    TAddSid AddSid = nullptr;
    TCreate Create = nullptr;
    TOpen Open = nullptr;
    TDeleteBoundary DeleteBoundary = nullptr;

    TNamespaces() {
        const HMODULE Kernel = GetModuleHandleA("kernel32.dll");
        Bind(Kernel, CreateBoundary, "CreateBoundaryDescriptorA");
        Bind(Kernel, AddSid, "AddSIDToBoundaryDescriptor");
        Bind(Kernel, Create, "CreatePrivateNamespaceA");
        Bind(Kernel, Open, "OpenPrivateNamespaceA");
        Bind(Kernel, DeleteBoundary, "DeleteBoundaryDescriptor");
    }
    bool Present() const { return CreateBoundary && AddSid && Create && Open && DeleteBoundary; }

private:
    template <class TProc> static void Bind(HMODULE Module, TProc& Proc, const char* Name) {
        Proc = reinterpret_cast<TProc>(reinterpret_cast<void*>(GetProcAddress(Module, Name)));
    }
};

bool RunsElevated() {
    THandle Token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, Token.put())) return false;
    TOKEN_ELEVATION Elevation{};
    DWORD Size = 0;
    // Before Vista there is no elevation to ask about: an administrator's
    // run counts as elevated.
    if (!GetTokenInformation(Token.get(), TokenElevation, &Elevation, sizeof Elevation, &Size))
        return IsUserAnAdmin() != FALSE;
    return Elevation.TokenIsElevated != 0;
}

} // namespace

TSetupLock::TSetupLock() {
    const std::string Name = std::string(Product.Name) + " Setup";
    static const TNamespaces Namespaces;
    for (TLockWay Way : LockWays(Namespaces.Present(), RunsElevated())) {
        switch (Way) {
        case TLockWay::PrivateNamespace:
            FMutex.reset(NamespaceMutex(Name));
            break;
        case TLockWay::GlobalName:
            // Machine-wide, so that a setup in another session counts too.
            FMutex.reset(CreateMutexA(nullptr, FALSE, ("Global\\" + Name).c_str()));
            break;
        case TLockWay::SessionName:
            FMutex.reset(CreateMutexA(nullptr, FALSE, ("Local\\" + Name).c_str()));
            break;
        }
        const DWORD Error = GetLastError();
        if (FMutex) {
            FState = Error == ERROR_ALREADY_EXISTS ? TLockState::OtherSetup : TLockState::Held;
            return;
        }
        // Someone else's object of that name that we may not open: another
        // setup's (of another user) or a squatter's, either way not ours.
        if (Error == ERROR_ACCESS_DENIED && Way != TLockWay::PrivateNamespace) {
            FState = TLockState::OtherSetup;
            return;
        }
        FReason = SysErrorMessage(Error);
    }
    FState = TLockState::None;
}

HANDLE TSetupLock::NamespaceMutex(const std::string& Name) {
    static const TNamespaces Namespaces;
    const std::string Alias = std::string(Product.ShortName) + "SetupLock";
    HANDLE Boundary = Namespaces.CreateBoundary(Alias.c_str(), 0);
    if (!Boundary) return nullptr;
    BYTE Sid[SECURITY_MAX_SID_SIZE];
    DWORD Size = sizeof Sid;
    HANDLE Mutex = nullptr;
    if (CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, Sid, &Size) &&
        Namespaces.AddSid(&Boundary, Sid)) {
        // Only the Administrators may open the namespace, as its boundary says.
        HANDLE Space = Namespaces.Create(nullptr, Boundary, Alias.c_str());
        if (!Space && GetLastError() == ERROR_ALREADY_EXISTS)
            Space = Namespaces.Open(Boundary, Alias.c_str());
        if (Space) {
            FNamespace.reset(Space);
            Mutex = CreateMutexA(nullptr, FALSE, (Alias + "\\" + Name).c_str());
        }
    }
    const DWORD Error = GetLastError();
    Namespaces.DeleteBoundary(Boundary);
    SetLastError(Error);
    return Mutex;
}

void TSetupLock::TCloseNamespace::operator()(HANDLE Space) const {
    using TClose = BOOLEAN(WINAPI*)(HANDLE, ULONG);
    static const auto Close = reinterpret_cast<TClose>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "ClosePrivateNamespace")));
    if (Close) Close(Space, 0);
}

std::string UnknownArgumentText(const std::string& Arg) {
    return "Unknown argument \"" + Arg +
           "\": a run without a window does nothing it was not clearly asked for.";
}

std::string NoLockText(const std::string& Reason) {
    return std::string("Setup of ") + Product.Name +
           " cannot make sure that no other setup of it runs at the same time, so it does not "
           "run: " +
           (Reason.empty() ? "the system offers no lock for it." : Reason);
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
    const THandle File(CreateFileA(FileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!File || !WriteFileText(File.get(), CrLfJoined(Lines)))
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
            RunProcedure(
                Data, RunNotes(&Options, Data),
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
           ComparablePath(PathIn(Recorded, MaintenanceFolderName), IsAnsiLeadByte);
}

namespace {

// The hand-over's folder: made fresh under a name nobody knows in advance
// and only SYSTEM and the Administrators may change; an existing one is
// never used.
std::string NewHandOverFolder() {
    const std::string Prefix = HandOverFolderPrefix();
    if (Prefix.empty()) RaiseLastOSError();
    for (int Attempt = 0;; ++Attempt) {
        std::string Folder = Prefix + RandomHex(16);
        if (CreateProtectedFolder(Folder, TProtection::HandOver)) return Folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS || Attempt == 15) RaiseLastOSError();
    }
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
    return CommandLine + " --uninstall --handover=" +
           std::to_string(reinterpret_cast<std::uintptr_t>(Write)) + "," +
           std::to_string(reinterpret_cast<std::uintptr_t>(Self));
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
    if (!ReadOwnImage(Bytes) || !ReadFileText(Own + "version", Version)) RaiseLastOSError();
    const THandle HeldProgram = HeldCopy(Bytes, Program);
    const THandle HeldVersion = HeldCopy(Version, Folder + "\\version");

    // The copy writes its exit code into the pipe when its work is done,
    // and waits on this process before it removes this program.
    SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
    THandle Read, Write, Self;
    if (!CreatePipe(Read.put(), Write.put(), &Inherit, 0)) RaiseLastOSError();
    SetHandleInformation(Read.get(), HANDLE_FLAG_INHERIT, 0);
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(),
                         Self.put(), SYNCHRONIZE, TRUE, 0))
        RaiseLastOSError();
    std::string CommandLine = HandOverCommandLine(Program, Write.get(), Self.get());

    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    Startup.dwFlags = STARTF_USESHOWWINDOW;
    Startup.wShowWindow = static_cast<WORD>(ShowCmd);
    PROCESS_INFORMATION Process{};
    AllowSetForegroundWindow(ASFW_ANY);
    if (!StartWithHandles(Program, CommandLine, Folder, Startup, {Write.get(), Self.get()}, Process))
        RaiseLastOSError();
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
