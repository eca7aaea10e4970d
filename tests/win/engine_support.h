#pragma once
// Temporary folders, file helpers and COM set-up shared by the engine tests.

#include "data/Owners.h"

#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace enginetest {

inline std::string TempRoot() {
    char Buffer[MAX_PATH];
    DWORD Length = GetTempPathA(sizeof Buffer, Buffer);
    return std::string(Buffer, Length);
}

// Deletes a tree for good, whatever its attributes; for test clean-up only.
inline void WipeTree(const std::string& Path) {
    WIN32_FIND_DATAA Entry;
    if (const TFindHandle Find{FindFirstFileA((Path + "\\*").c_str(), &Entry)}) {
        do {
            std::string Name = Entry.cFileName;
            if (Name == "." || Name == "..") continue;
            std::string Full = Path + "\\" + Name;
            SetFileAttributesA(Full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                WipeTree(Full);
            else
                DeleteFileA(Full.c_str());
        } while (FindNextFileA(Find.get(), &Entry));
    }
    SetFileAttributesA(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(Path.c_str());
}

// A fresh, empty folder under %TEMP%, removed again on destruction.
class TTempFolder {
public:
    explicit TTempFolder(const std::string& Hint) {
        static unsigned Counter = 0;
        char Name[96];
        std::snprintf(Name, sizeof Name, "morvane-%s-%lu-%u", Hint.c_str(),
                      static_cast<unsigned long>(GetCurrentProcessId()), ++Counter);
        FPath = TempRoot() + Name;
        WipeTree(FPath);
        CreateDirectoryA(FPath.c_str(), nullptr);
    }
    ~TTempFolder() { WipeTree(FPath); }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& Name) const { return FPath + "\\" + Name; }

private:
    std::string FPath;
};

// Makes Folder the current folder for the lifetime of the object.
class TCurrentFolder {
public:
    explicit TCurrentFolder(const std::string& Folder) {
        char Buffer[MAX_PATH];
        GetCurrentDirectoryA(sizeof Buffer, Buffer);
        FPrevious = Buffer;
        SetCurrentDirectoryA(Folder.c_str());
    }
    ~TCurrentFolder() { SetCurrentDirectoryA(FPrevious.c_str()); }
    TCurrentFolder(const TCurrentFolder&) = delete;
    TCurrentFolder& operator=(const TCurrentFolder&) = delete;

private:
    std::string FPrevious;
};

inline bool FileExists(const std::string& Path) {
    DWORD Attributes = GetFileAttributesA(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool FolderExists(const std::string& Path) {
    DWORD Attributes = GetFileAttributesA(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The whole file as bytes; fails the test when it cannot be read.
inline std::string ReadFileBytes(const std::string& Path) {
    std::string Bytes;
    FILE* File = std::fopen(Path.c_str(), "rb");
    if (!File) {
        ADD_FAILURE() << "cannot read " << Path;
        return Bytes;
    }
    char Buffer[4096];
    size_t Count;
    while ((Count = std::fread(Buffer, 1, sizeof Buffer, File)) > 0)
        Bytes.append(Buffer, Count);
    std::fclose(File);
    return Bytes;
}

inline void WriteFileBytes(const std::string& Path, const std::string& Bytes) {
    FILE* File = std::fopen(Path.c_str(), "wb");
    ASSERT_NE(File, nullptr) << Path;
    std::fwrite(Bytes.data(), 1, Bytes.size(), File);
    std::fclose(File);
}

// Lines joined with CR LF after each, as install.log holds them.
inline std::string CrLfText(const std::vector<std::string>& Lines) {
    std::string Text;
    for (const auto& Line : Lines)
        Text += Line + "\r\n";
    return Text;
}

// Waits up to TimeoutMs for Explorer's window on a folder whose last
// component is Title, and asks it to close. False when none appeared.
struct TFolderWindowSearch {
    const std::string* Title;
    HWND Found = nullptr;
};

inline BOOL CALLBACK VisitFolderWindow(HWND Window, LPARAM Data) {
    auto* S = reinterpret_cast<TFolderWindowSearch*>(Data);
    char Class[64], Text[MAX_PATH];
    GetClassNameA(Window, Class, sizeof Class);
    GetWindowTextA(Window, Text, sizeof Text);
    if (std::string(Class) == "ExplorerWClass" && *S->Title == Text) {
        S->Found = Window;
        return FALSE;
    }
    return TRUE;
}

inline bool CloseFolderWindow(const std::string& Title, DWORD TimeoutMs) {
    TFolderWindowSearch Search{&Title};
    for (DWORD Start = GetTickCount(); GetTickCount() - Start < TimeoutMs; Sleep(100)) {
        EnumWindows(VisitFolderWindow, reinterpret_cast<LPARAM>(&Search));
        if (Search.Found) {
            PostMessageA(Search.Found, WM_CLOSE, 0, 0);
            return true;
        }
    }
    return false;
}

// The target path stored in a link file, as the shell reads it back;
// empty when the file cannot be loaded as a link.
inline std::string LinkTarget(const std::string& LinkFile) {
    std::string Result;
    IShellLinkA* RawLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&RawLink))))
        return Result;
    const TComPtr<IShellLinkA> Link(RawLink);
    IPersistFile* RawFile = nullptr;
    if (SUCCEEDED(Link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&RawFile)))) {
        const TComPtr<IPersistFile> File(RawFile);
        WCHAR Wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, LinkFile.c_str(), -1, Wide, MAX_PATH);
        char Buffer[MAX_PATH];
        WIN32_FIND_DATAA Find;
        if (SUCCEEDED(File->Load(Wide, STGM_READ)) &&
            SUCCEEDED(Link->GetPath(Buffer, sizeof Buffer, &Find, SLGP_RAWPATH)))
            Result = Buffer;
    }
    return Result;
}

// Runs CommandLine in Folder and returns its exit code (-1: not started or
// not ended within TimeoutMs, in which case it is stopped).
inline long RunProgram(const std::string& CommandLine, const std::string& Folder,
                       DWORD TimeoutMs = 120000) {
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Process{};
    std::string Line = CommandLine;
    if (!CreateProcessA(nullptr, Line.data(), nullptr, nullptr, FALSE, 0, nullptr, Folder.c_str(),
                        &Startup, &Process))
        return -1;
    const THandle Thread(Process.hThread), Child(Process.hProcess);
    DWORD Code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(Child.get(), TimeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(Child.get(), &Code);
    else
        TerminateProcess(Child.get(), 1);
    return static_cast<long>(Code);
}

// The Recycle Bin as Wine keeps it: the freedesktop trash below
// XDG_DATA_HOME, seen through drive Z:. Empty when XDG_DATA_HOME is unset.
inline std::string TrashFolder() {
    char Buffer[MAX_PATH];
    DWORD Length = GetEnvironmentVariableA("XDG_DATA_HOME", Buffer, sizeof Buffer);
    if (Length == 0 || Length >= sizeof Buffer) return {};
    std::string Path = std::string("Z:") + Buffer + "/Trash";
    for (char& C : Path)
        if (C == '/') C = '\\';
    return Path;
}

// Wine keeps no trash unless the folder above it exists; without one it
// deletes for good what should be recycled.
inline void EnsureTrashHome() {
    std::string Trash = TrashFolder();
    if (!Trash.empty()) CreateDirectoryA(Trash.substr(0, Trash.rfind('\\')).c_str(), nullptr);
}

// Names of the trash's entries whose original path contains Token.
inline std::vector<std::string> TrashEntriesWith(const std::string& Token) {
    std::vector<std::string> Names;
    std::string Info = TrashFolder() + "\\info";
    WIN32_FIND_DATAA Entry;
    const TFindHandle Find(FindFirstFileA((Info + "\\*.trashinfo").c_str(), &Entry));
    if (!Find) return Names;
    do {
        std::string Name = Entry.cFileName;
        FILE* File = std::fopen((Info + "\\" + Name).c_str(), "rb");
        if (!File) continue;
        char Text[4096];
        size_t Count = std::fread(Text, 1, sizeof Text - 1, File);
        std::fclose(File);
        if (std::string(Text, Count).find(Token) != std::string::npos)
            Names.push_back(Name.substr(0, Name.size() - 10));
    } while (FindNextFileA(Find.get(), &Entry));
    return Names;
}

// Empties the trash of what the tests with Token put there.
inline void CleanTrash(const std::string& Token) {
    for (const std::string& Name : TrashEntriesWith(Token)) {
        std::string Files = TrashFolder() + "\\files\\" + Name;
        if (FolderExists(Files))
            WipeTree(Files);
        else
            DeleteFileA(Files.c_str());
        DeleteFileA((TrashFolder() + "\\info\\" + Name + ".trashinfo").c_str());
    }
}

} // namespace enginetest
