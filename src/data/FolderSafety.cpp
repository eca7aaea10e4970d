#include "data/FolderSafety.h"

#include "data/Product.h"
#include "platform/Owners.h"
#include "platform/Utils.h"

#include <windows.h>
#include <shlobj.h>

namespace {

std::string ShellFolder(int Csidl) {
    char Buffer[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, Csidl, nullptr, SHGFP_TYPE_CURRENT, Buffer) != S_OK) return {};
    return Buffer;
}

std::string EnvironmentFolder(const char* Name) {
    char Buffer[MAX_PATH];
    DWORD Length = GetEnvironmentVariableA(Name, Buffer, sizeof Buffer);
    if (Length == 0 || Length >= sizeof Buffer) return {};
    return std::string(Buffer, Length);
}

std::string LongName(const std::string& Path) {
    char Buffer[MAX_PATH];
    DWORD Length = GetLongPathNameA(Path.c_str(), Buffer, sizeof Buffer);
    if (Length == 0 || Length >= sizeof Buffer) return {};
    return std::string(Buffer, Length);
}

std::string ShortName(const std::string& Path) {
    char Buffer[MAX_PATH];
    DWORD Length = GetShortPathNameA(Path.c_str(), Buffer, sizeof Buffer);
    if (Length == 0 || Length >= sizeof Buffer) return {};
    return std::string(Buffer, Length);
}

bool Exists(const std::string& Path) {
    return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void AddSpellings(std::vector<std::string>& To, const std::string& Path) {
    for (const std::string& Spelling : PathSpellings(Path))
        To.push_back(Spelling);
}

} // namespace

bool IsAnsiLeadByte(unsigned char Byte) {
    return IsDBCSLeadByteEx(CP_ACP, Byte) != FALSE;
}


std::vector<std::string> PathSpellings(const std::string& Path) {
    std::vector<std::string> Spellings;
    if (Path.empty()) return Spellings;
    Spellings.push_back(Path);
    // The deepest folder on the way that exists; what follows is appended.
    std::string Existing = StripTrailingBackslash(Path);
    std::string Rest;
    while (!Existing.empty() && !Exists(Existing)) {
        std::string::size_type Slash = Existing.find_last_of("\\/");
        if (Slash == std::string::npos) return Spellings;
        Rest = Existing.substr(Slash) + Rest;
        Existing.erase(Slash);
    }
    if (Existing.empty()) return Spellings;
    if (Existing.size() == 2 && Existing[1] == ':') Existing += '\\';
    for (const std::string& Spelling :
         {LongName(Existing), ShortName(Existing), FinalPath(Existing, true)})
        if (!Spelling.empty()) Spellings.push_back(StripTrailingBackslash(Spelling) + Rest);
    return Spellings;
}

TSystemFolders SystemFolders() {
    TSystemFolders Folders;
    char Windows[MAX_PATH];
    UINT Length = GetWindowsDirectoryA(Windows, sizeof Windows);
    if (Length > 0 && Length < sizeof Windows) AddSpellings(Folders.Windows, Windows);
    AddSpellings(Folders.Windows, ShellFolder(CSIDL_WINDOWS));

    for (int Csidl : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON,
                      CSIDL_PROGRAM_FILES_COMMONX86})
        AddSpellings(Folders.ProgramFiles, ShellFolder(Csidl));
    // A 32-bit program on 64-bit Windows is told "Program Files (x86)"; the
    // 64-bit folder is named only in the environment.
    for (const char* Name : {"ProgramW6432", "CommonProgramW6432", "ProgramFiles"})
        AddSpellings(Folders.ProgramFiles, EnvironmentFolder(Name));

    for (int Csidl : {CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL,
                      CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_DOCUMENTS})
        AddSpellings(Folders.UserFolders, ShellFolder(Csidl));

    for (int Csidl :
         {CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS})
        AddSpellings(Folders.StartMenu, ShellFolder(Csidl));
    return Folders;
}

TFolderVerdict CheckInstallDir(const std::string& Path, const TSystemFolders& Folders) {
    TFolderVerdict Verdict = CheckDestinationText(Path, IsAnsiLeadByte);
    if (Verdict != TFolderVerdict::Ok) return Verdict;
    const DWORD Attributes = GetFileAttributesA(StripTrailingBackslash(Path).c_str());
    if (Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY))
        return TFolderVerdict::NotAFolder;
    for (const std::string& Spelling : PathSpellings(Path)) {
        Verdict = CheckDestinationPlace(Spelling, Folders, IsAnsiLeadByte);
        if (Verdict != TFolderVerdict::Ok) return Verdict;
    }
    return TFolderVerdict::Ok;
}

TFolderVerdict CheckInstallDir(const std::string& Path) {
    return CheckInstallDir(Path, SystemFolders());
}

TFolderVerdict CheckStartFolder(const std::string& Folder) {
    return CheckProgramFolder(Folder, IsAnsiLeadByte);
}

bool FolderHoldsForeignFiles(const std::string& Path) {
    if (!DirectoryPresent(Path)) return false;
    const std::string Folder = AddTrailingBackslash(Path);
    if (GetFileAttributesA((Folder + Product.InstalledFilesListName).c_str()) !=
        INVALID_FILE_ATTRIBUTES)
        return false;
    WIN32_FIND_DATAA Entry;
    const TFindHandle Find(FindFirstFileA((Folder + "*").c_str(), &Entry));
    if (!Find) return false;
    do {
        const std::string Name = Entry.cFileName;
        if (Name != "." && Name != "..") return true;
    } while (FindNextFileA(Find.get(), &Entry));
    return false;
}
