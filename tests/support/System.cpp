#include "support/System.h"

#include "platform/Owners.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdio>

std::string OwnFolder() {
    char Path[MAX_PATH] = {};
    const std::string Own(Path, GetModuleFileNameA(nullptr, Path, MAX_PATH));
    return Own.substr(0, Own.find_last_of('\\'));
}

std::string WindowsPath(const std::string& Path) {
    if (Path.empty() || Path[0] != '/') return Path;
    std::string Result = "Z:" + Path;
    std::replace(Result.begin(), Result.end(), '/', '\\');
    return Result;
}

std::string ShellFolder(int Csidl) {
    char Buffer[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, Csidl, nullptr, SHGFP_TYPE_CURRENT, Buffer) != S_OK) return {};
    return Buffer;
}

std::string WindowsFolder() {
    char Buffer[MAX_PATH] = {};
    GetWindowsDirectoryA(Buffer, sizeof Buffer);
    return Buffer;
}

namespace {

std::vector<std::string> Entries(const std::string& Folder, const std::string& Pattern,
                                 bool Folders) {
    std::vector<std::string> Names;
    WIN32_FIND_DATAA Entry;
    const TFindHandle Find(FindFirstFileA((Folder + "\\" + Pattern).c_str(), &Entry));
    if (!Find) return Names;
    do {
        const std::string Name = Entry.cFileName;
        if (Name != "." && Name != ".." &&
            ((Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == Folders)
            Names.push_back(Name);
    } while (FindNextFileA(Find.get(), &Entry));
    std::sort(Names.begin(), Names.end());
    return Names;
}

} // namespace

std::vector<std::string> FilesIn(const std::string& Folder, const std::string& Pattern) {
    return Entries(Folder, Pattern, false);
}

std::vector<std::string> FoldersIn(const std::string& Folder) {
    return Entries(Folder, "*", true);
}

TCurrentFolder::TCurrentFolder(const std::string& Folder) {
    char Buffer[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof Buffer, Buffer);
    FPrevious = Buffer;
    SetCurrentDirectoryA(Folder.c_str());
}

TCurrentFolder::~TCurrentFolder() {
    SetCurrentDirectoryA(FPrevious.c_str());
}

long RunProgram(const std::string& CommandLine, const std::string& Folder, DWORD TimeoutMs,
                const std::string& Application) {
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Process{};
    // A program copied a moment ago has once failed to start at the first
    // try on a loaded machine; it gets a second and a third after a pause.
    for (int Try = 1;; ++Try) {
        std::string Line = CommandLine;
        if (CreateProcessA(Application.empty() ? nullptr : Application.c_str(), Line.data(),
                           nullptr, nullptr, FALSE, 0, nullptr,
                           Folder.empty() ? nullptr : Folder.c_str(), &Startup, &Process))
            break;
        std::fprintf(stderr, "cannot start %s (try %d): error %lu\n", CommandLine.c_str(), Try,
                     GetLastError());
        if (Try == 3) return -1;
        Sleep(500);
    }
    const THandle Thread(Process.hThread), Child(Process.hProcess);
    DWORD Code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(Child.get(), TimeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(Child.get(), &Code);
    else
        TerminateProcess(Child.get(), 1);
    return static_cast<long>(Code);
}

std::string UnixPath(const std::string& Path) {
    using TUnixName = char*(CDECL*)(LPCWSTR);
    const auto Unix = reinterpret_cast<TUnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!Unix) return {};
    std::wstring Wide(Path.size() + 1, L'\0');
    Wide.resize(MultiByteToWideChar(CP_ACP, 0, Path.c_str(), -1, Wide.data(),
                                    static_cast<int>(Wide.size())));
    char* Name = Unix(Wide.c_str());
    if (!Name) return {};
    const std::string Result = Name;
    HeapFree(GetProcessHeap(), 0, Name);
    return Result;
}

namespace {

// Runs a Unix program through Wine, which gives no exit code for it: Done
// tells when it has had its effect.
bool RunUnix(const std::string& Program, const std::string& Arguments,
             bool (*Done)(const std::string&), const std::string& Path) {
    RunProgram(Program + " " + Arguments, {}, 20000, Program);
    for (int Try = 0; Try < 50 && !Done(Path); ++Try)
        Sleep(100);
    return Done(Path);
}

bool Exists(const std::string& Path) {
    return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

bool MakeUnixLink(const std::string& Target, const std::string& Link) {
    const std::string From = UnixPath(Target), To = UnixPath(Link);
    return !From.empty() && !To.empty() &&
           RunUnix("/bin/ln", "-s \"" + From + "\" \"" + To + "\"", Exists, Link);
}

bool RemoveUnixLink(const std::string& Link) {
    const std::string Path = UnixPath(Link);
    return !Path.empty() && RunUnix(
                                "/bin/rm", "-f \"" + Path + "\"",
                                [](const std::string& Name) { return !Exists(Name); }, Link);
}

bool ReadLink(const std::string& LinkFile, TLinkContents& Out) {
    IShellLinkA* RawLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&RawLink))))
        return false;
    const TComPtr<IShellLinkA> Link(RawLink);
    IPersistFile* RawFile = nullptr;
    if (FAILED(Link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&RawFile))))
        return false;
    const TComPtr<IPersistFile> File(RawFile);
    WCHAR Wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, LinkFile.c_str(), -1, Wide, MAX_PATH);
    if (FAILED(File->Load(Wide, STGM_READ))) return false;
    char Buffer[1024];
    WIN32_FIND_DATAA Find;
    if (SUCCEEDED(Link->GetPath(Buffer, sizeof Buffer, &Find, SLGP_RAWPATH))) Out.Path = Buffer;
    if (SUCCEEDED(Link->GetArguments(Buffer, sizeof Buffer))) Out.Arguments = Buffer;
    if (SUCCEEDED(Link->GetWorkingDirectory(Buffer, sizeof Buffer))) Out.WorkingFolder = Buffer;
    if (SUCCEEDED(Link->GetDescription(Buffer, sizeof Buffer))) Out.Description = Buffer;
    if (SUCCEEDED(Link->GetIconLocation(Buffer, sizeof Buffer, &Out.IconIndex)))
        Out.IconFile = Buffer;
    Link->GetHotkey(&Out.HotKey);
    return true;
}

std::string LinkTarget(const std::string& LinkFile) {
    TLinkContents Contents;
    return ReadLink(LinkFile, Contents) ? Contents.Path : std::string();
}

TChildProcess::TChildProcess(const std::string& Exe, const std::string& Args,
                             const std::string& Dir, HANDLE StdIn, HANDLE StdOut, DWORD Flags) {
    STARTUPINFOA Startup{};
    Startup.cb = sizeof(Startup);
    const bool Redirect = StdIn || StdOut;
    if (Redirect) {
        Startup.dwFlags = STARTF_USESTDHANDLES;
        Startup.hStdInput = StdIn;
        Startup.hStdOutput = StdOut;
        Startup.hStdError = StdOut;
    }
    std::string CommandLine = "\"" + Exe + "\"";
    if (!Args.empty()) CommandLine += " " + Args;
    PROCESS_INFORMATION Info{};
    if (!CreateProcessA(Exe.c_str(), CommandLine.data(), nullptr, nullptr, Redirect, Flags,
                        nullptr, Dir.empty() ? nullptr : Dir.c_str(), &Startup, &Info)) {
        FStartError = GetLastError();
        return;
    }
    CloseHandle(Info.hThread);
    FProcess = Info.hProcess;
    FId = Info.dwProcessId;
}

TChildProcess::~TChildProcess() {
    Terminate();
    if (FProcess) CloseHandle(FProcess);
}

bool TChildProcess::Running() const {
    return FProcess && !Wait(0);
}

bool TChildProcess::Wait(DWORD Ms) const {
    return WaitForSingleObject(FProcess, Ms) == WAIT_OBJECT_0;
}

DWORD TChildProcess::ExitCode() const {
    DWORD Code = 0;
    GetExitCodeProcess(FProcess, &Code);
    return Code;
}

void TChildProcess::Terminate() {
    if (Running()) {
        TerminateProcess(FProcess, 255);
        Wait(10000);
    }
}
