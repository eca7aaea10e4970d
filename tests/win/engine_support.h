#pragma once
// What the engine tests share beyond the common support: the log's lines,
// Explorer's folder windows and the Recycle Bin.

#include "platform/Owners.h"
#include "support/Checked.h"
#include "support/Files.h"
#include "support/System.h"

#include <windows.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace enginetest {

// Lines joined with CR LF after each, as install.log holds them.
inline std::string CrLfText(const std::vector<std::string>& Lines) {
    std::string Text;
    for (const auto& Line : Lines)
        Text += Line + "\r\n";
    return Text;
}

// Every entry below Folder: relative path to content ("<dir>" for folders)
// and attributes, so that "left exactly as it was" can be compared.
using TSnapshot = std::map<std::string, std::string>;

inline void Snap(const std::string& Folder, const std::string& Relative, TSnapshot& Into) {
    WIN32_FIND_DATAA Entry;
    const TFindHandle Find(FindFirstFileA((Folder + "\\*").c_str(), &Entry));
    if (!Find) return;
    do {
        const std::string Name = Entry.cFileName;
        if (Name == "." || Name == "..") continue;
        const std::string Path = Relative.empty() ? Name : Relative + "\\" + Name;
        const std::string Attributes =
            " [" + std::to_string(Entry.dwFileAttributes & ~FILE_ATTRIBUTE_ARCHIVE) + "]";
        if (Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Into[Path + "\\"] = "<dir>" + Attributes;
            Snap(Folder + "\\" + Name, Path, Into);
        } else {
            Into[Path] = ReadOrFail(Folder + "\\" + Name) + Attributes;
        }
    } while (FindNextFileA(Find.get(), &Entry));
}

inline TSnapshot Snapshot(const std::string& Folder) {
    TSnapshot Result;
    Snap(Folder, "", Result);
    return Result;
}

// Every value of a key below HKEY_LOCAL_MACHINE (32-bit view): name to type
// and bytes; nothing when the key is missing.
inline std::map<std::string, std::string> KeyValues(const std::string& Path) {
    std::map<std::string, std::string> Values;
    HKEY Raw;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &Raw) !=
        ERROR_SUCCESS)
        return Values;
    const TRegKey Key(Raw);
    for (DWORD Index = 0;; ++Index) {
        char Name[256];
        BYTE Data[4096];
        DWORD NameLength = sizeof Name, Size = sizeof Data, Type = 0;
        if (RegEnumValueA(Raw, Index, Name, &NameLength, nullptr, &Type, Data, &Size) !=
            ERROR_SUCCESS)
            break;
        Values[Name] =
            std::to_string(Type) + ":" + std::string(reinterpret_cast<char*>(Data), Size);
    }
    return Values;
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

// Closes every Explorer window titled Title, also those the shell opens a
// moment later, until none has shown for Quiet milliseconds: none may be
// left to come up over a later test and take its keyboard.
inline void CloseAllFolderWindows(const std::string& Title, DWORD Quiet = 3000) {
    for (DWORD Last = GetTickCount(); GetTickCount() - Last < Quiet; Sleep(100)) {
        TFolderWindowSearch Search{&Title};
        EnumWindows(VisitFolderWindow, reinterpret_cast<LPARAM>(&Search));
        if (!Search.Found) continue;
        PostMessageA(Search.Found, WM_CLOSE, 0, 0);
        Last = GetTickCount();
    }
}

// The Recycle Bin as Wine keeps it: the freedesktop trash below
// XDG_DATA_HOME, seen through drive Z:. Empty when XDG_DATA_HOME is unset.
inline std::string TrashFolder() {
    const char* Data = std::getenv("XDG_DATA_HOME");
    return Data ? WindowsPath(Data) + "\\Trash" : std::string();
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
        if (ReadWholeFile(Info + "\\" + Name).value_or("").find(Token) != std::string::npos)
            Names.push_back(Name.substr(0, Name.size() - 10));
    } while (FindNextFileA(Find.get(), &Entry));
    return Names;
}

// True when a file named Name lies anywhere in the trash, also inside a
// recycled folder (an update recycles the earlier installation whole).
inline bool TrashHolds(const std::string& Name, std::string Folder = {}) {
    if (Folder.empty()) Folder = TrashFolder() + "\\files";
    WIN32_FIND_DATAA Entry;
    const TFindHandle Find(FindFirstFileA((Folder + "\\*").c_str(), &Entry));
    if (!Find) return false;
    do {
        const std::string Child = Entry.cFileName;
        if (Child == "." || Child == "..") continue;
        if (Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (TrashHolds(Name, Folder + "\\" + Child)) return true;
        } else if (_stricmp(Child.c_str(), Name.c_str()) == 0) {
            return true;
        }
    } while (FindNextFileA(Find.get(), &Entry));
    return false;
}

// Empties the trash of what the tests with Token put there.
inline void CleanTrash(const std::string& Token) {
    for (const std::string& Name : TrashEntriesWith(Token)) {
        std::string Files = TrashFolder() + "\\files\\" + Name;
        if (FolderPresent(Files))
            WipeTree(Files);
        else
            DeleteFileA(Files.c_str());
        DeleteFileA((TrashFolder() + "\\info\\" + Name + ".trashinfo").c_str());
    }
}

} // namespace enginetest
