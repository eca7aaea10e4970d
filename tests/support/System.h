#pragma once
// The Windows side of the tests: this program's folder, Unix paths as Wine
// shows them, the shell's folders, the current folder and child programs.

#include <windows.h>

#include <string>
#include <vector>

// The folder this program was started from, without a trailing backslash.
std::string OwnFolder();
// "/tmp/x" as a Windows program sees it under Wine ("Z:\tmp\x"); Windows
// paths pass unchanged.
std::string WindowsPath(const std::string& Path);
// A folder of the shell (CSIDL_...); empty when the shell has none.
std::string ShellFolder(int Csidl);
std::string WindowsFolder();

// Names of the plain files, or of the sub-folders, of Folder that match
// Pattern, sorted.
std::vector<std::string> FilesIn(const std::string& Folder, const std::string& Pattern = "*");
std::vector<std::string> FoldersIn(const std::string& Folder);

// Makes Folder the current folder for the lifetime of the object.
class TCurrentFolder {
public:
    explicit TCurrentFolder(const std::string& Folder);
    ~TCurrentFolder();
    TCurrentFolder(const TCurrentFolder&) = delete;
    TCurrentFolder& operator=(const TCurrentFolder&) = delete;

private:
    std::string FPrevious;
};

// Runs CommandLine in Folder (empty: this one) and returns its exit code;
// -1 when it did not start or end within TimeoutMs (it is stopped then).
// Application, when given, is the file started, whatever the command line names.
long RunProgram(const std::string& CommandLine, const std::string& Folder = {},
                DWORD TimeoutMs = 120000, const std::string& Application = {});

// The Unix path of a Windows path under Wine; empty when there is none.
std::string UnixPath(const std::string& Path);
// Makes Link a Unix symbolic link to Target (both Windows paths), which a
// Windows program sees as a junction is seen: its final path is Target's.
// Under Wine only: Windows has no /bin/ln.
bool MakeUnixLink(const std::string& Target, const std::string& Link);
// Removes such a link, never what it leads to.
bool RemoveUnixLink(const std::string& Link);

// A program started for a test; it is ended (exit code 255) when the object
// goes and it still runs.
class TChildProcess {
public:
    // Runs Exe with Args (already quoted as needed) in the folder Dir (empty:
    // this one). StdIn/StdOut, when given, become the child's standard
    // handles (and are inherited); Flags go to CreateProcess.
    TChildProcess(const std::string& Exe, const std::string& Args, const std::string& Dir = {},
                  HANDLE StdIn = nullptr, HANDLE StdOut = nullptr, DWORD Flags = 0);
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    // False when it could not be started (StartError tells why).
    bool Started() const { return FProcess != nullptr; }
    DWORD StartError() const { return FStartError; }
    DWORD Id() const { return FId; }
    HANDLE Handle() const { return FProcess; }
    bool Running() const;
    // True when the process has ended within Ms milliseconds.
    bool Wait(DWORD Ms) const;
    DWORD ExitCode() const;
    void Terminate();

private:
    HANDLE FProcess = nullptr;
    DWORD FId = 0, FStartError = 0;
};

// A shell link file as the shell reads it back (COM set up by the caller).
struct TLinkContents {
    std::string Path, Arguments, WorkingFolder, Description, IconFile;
    int IconIndex = -1;
    WORD HotKey = 0xFFFF;
};
// False when the file cannot be loaded as a link.
bool ReadLink(const std::string& LinkFile, TLinkContents& Out);
// The link's target path; empty when the file cannot be loaded as a link.
std::string LinkTarget(const std::string& LinkFile);
