#include "data/FolderSafety.h"

#include "data/Product.h"
#include "data/Protection.h"
#include "platform/Owners.h"
#include "platform/Utils.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

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

THandle OpenItself(const std::string& Path) {
    return THandle(CreateFileA(Path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Walks the folders from the root to Folder, which exists. False when a link
// (a junction, a symbolic link, a mount point; a Unix link under Wine) leads
// from one of them to another place and setup does not trust the link (its
// owner is not SYSTEM, the Administrators, TrustedInstaller or the account
// setup runs as, or others may change it), and, with LastPlain, when Folder
// itself is any link.
bool PlainWay(const std::string& Folder, bool LastPlain) {
    const std::string Full = StripTrailingBackslash(FullPathOf(Folder));
    std::string::size_type Start = 3; // after "C:\"
    if (Full.rfind("\\\\", 0) == 0) {
        // "\\server\share": the share is the root.
        const std::string::size_type Server = Full.find('\\', 2);
        Start = Server == std::string::npos ? Full.size() : Full.find('\\', Server + 1);
        Start = Start == std::string::npos ? Full.size() : Start + 1;
    }
    std::string Current = Full.substr(0, std::min(Start, Full.size()));
    std::string Reached = Unprefixed(FinalPath(Current, true));
    const std::string Self = OwnAccountSid();
    while (Start < Full.size()) {
        std::string::size_type End = Full.find('\\', Start);
        if (End == std::string::npos) End = Full.size();
        const std::string Name = Full.substr(Start, End - Start);
        Current = AddTrailingBackslash(Current) + Name;
        const THandle Entry = OpenItself(Current);
        BY_HANDLE_FILE_INFORMATION Information{};
        if (!Entry || !GetFileInformationByHandle(Entry.get(), &Information)) return false;
        const std::string Expected = AddTrailingBackslash(Reached) + Name;
        const bool Link =
            (Information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
            lstrcmpiA(Unprefixed(FinalPathOf(Entry.get())).c_str(), Expected.c_str()) != 0;
        if (Link &&
            ((LastPlain && End == Full.size()) ||
             JudgeFolderSecurity(SecuritySddlOf(Entry.get()), Self) != TFolderTrust::Trusted))
            return false;
        Reached = Link ? Unprefixed(FinalPath(Current, true)) : Expected;
        Start = End + 1;
    }
    return true;
}

// The deepest folder of Path's that exists; empty when none does (not
// even its drive).
std::string DeepestExisting(std::string Path) {
    while (!Exists(Path)) {
        const std::string::size_type Slash = Path.find_last_of('\\');
        if (Slash == std::string::npos || Slash + 1 == Path.size()) return {};
        // A drive's root keeps its backslash.
        Path.erase(Slash > 0 && Path[Slash - 1] == ':' ? Slash + 1 : Slash);
    }
    return Path;
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

TFolderVerdict TakeInstallFolder(const std::string& Path, TFolderHolds& Holds, bool Protect,
                                 bool& Protected) {
    Protected = false;
    const std::string Folder = StripTrailingBackslash(Path);
    const DWORD Attributes = GetFileAttributesA(Folder.c_str());
    // Nothing there (or no name the system takes): nothing to take, but
    // what setup makes must not end up elsewhere through a link above it. A
    // folder setup may not even look at is nobody's it trusts.
    if (Attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() == ERROR_ACCESS_DENIED) return TFolderVerdict::NotOwned;
        const std::string Existing = DeepestExisting(Folder);
        return Existing.empty() || PlainWay(Existing, false) ? TFolderVerdict::Ok
                                                             : TFolderVerdict::Link;
    }
    if (!(Attributes & FILE_ATTRIBUTE_DIRECTORY)) return TFolderVerdict::NotAFolder;
    if (Attributes & FILE_ATTRIBUTE_REPARSE_POINT) return TFolderVerdict::Link;
    if (!Holds.Hold(Folder)) return TFolderVerdict::NotOwned;
    // Judged on the held folder: what is checked is what setup then uses.
    const HANDLE Held = Holds.Handle(Folder);
    BY_HANDLE_FILE_INFORMATION Information{};
    TFolderVerdict Verdict = TFolderVerdict::Ok;
    if (!GetFileInformationByHandle(Held, &Information) ||
        (Information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !PlainWay(Folder, true))
        Verdict = TFolderVerdict::Link;
    else
        switch (JudgeFolderSecurity(SecuritySddlOf(Held), OwnAccountSid())) {
        case TFolderTrust::Trusted:
            break;
        case TFolderTrust::ForeignOwner:
            Verdict = TFolderVerdict::NotOwned;
            break;
        case TFolderTrust::OpenToOthers: {
            if (!Protect) break;
            // A second handle that may change the permissions: the held one
            // keeps the name meanwhile.
            const THandle Changer(
                CreateFileA(Folder.c_str(), WRITE_DAC | READ_CONTROL,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
            Protected = Changer && ProtectOpenFolder(Changer.get());
            if (!Protected) Verdict = TFolderVerdict::NotOwned;
            break;
        }
        }
    if (Verdict != TFolderVerdict::Ok) Holds.Release(Folder);
    return Verdict;
}

TFolderVerdict CheckFolderOwnership(const std::string& Path) {
    TFolderHolds Holds;
    bool Protected = false;
    return TakeInstallFolder(Path, Holds, false, Protected);
}

bool MakeInstallFolder(const std::string& Path, TFolderHolds& Holds) {
    if (!CreateInstallationFolder(Path) || !Holds.Hold(Path)) return false;
    if (PlainWay(Path, true)) return true;
    // A link above it was put in place meanwhile: the folder is not where
    // it was asked for, and goes again.
    Holds.Release(Path);
    RemoveDirectoryA(Path.c_str());
    SetLastError(ERROR_CANT_RESOLVE_FILENAME);
    return false;
}
