#pragma once
// Scratch folders and files for the data tests under Wine.

#include "data/Owners.h"

#include <windows.h>

#include <string>

// A fresh folder below the temp folder, removed (with its contents, by the
// shell's own recursive delete rather than the code under test) at the end.
class TScratchDir {
public:
    explicit TScratchDir(const std::string& Tag) {
        char Temp[MAX_PATH];
        GetTempPathA(MAX_PATH, Temp);
        static unsigned Counter = 0;
        FPath = std::string(Temp) + "morvane-" + Tag + "-" + std::to_string(GetCurrentProcessId()) +
                "-" + std::to_string(++Counter);
        CreateDirectoryA(FPath.c_str(), nullptr);
    }
    ~TScratchDir() { Wipe(FPath); }
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;

    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& Name) const { return FPath + "\\" + Name; }

    // Best-effort removal that never follows directory links.
    static void Wipe(const std::string& Path) {
        WIN32_FIND_DATAA Data;
        if (const TFindHandle Find{FindFirstFileA((Path + "\\*").c_str(), &Data)}) {
            do {
                std::string Name = Data.cFileName;
                if (Name == "." || Name == "..") continue;
                std::string Entry = Path + "\\" + Name;
                // Deleting through a link may hit its target (Wine): leave links.
                if (Data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
                SetFileAttributesA(Entry.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    Wipe(Entry);
                else
                    DeleteFileA(Entry.c_str());
            } while (FindNextFileA(Find.get(), &Data));
        }
        SetFileAttributesA(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryA(Path.c_str());
    }

private:
    std::string FPath;
};

inline bool WriteTextFile(const std::string& Path, const std::string& Text,
                          DWORD Attributes = FILE_ATTRIBUTE_NORMAL) {
    const THandle File(
        CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, Attributes, nullptr));
    if (!File) return false;
    DWORD Written = 0;
    return WriteFile(File.get(), Text.data(), static_cast<DWORD>(Text.size()), &Written, nullptr) &&
           Written == Text.size();
}

inline bool PathExists(const std::string& Path) {
    return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The Windows name of a Unix path (Wine maps the Unix root to drive Z:).
inline std::string WindowsNameOfUnixPath(std::string Unix) {
    for (char& C : Unix)
        if (C == '/') C = '\\';
    return "Z:" + Unix;
}
