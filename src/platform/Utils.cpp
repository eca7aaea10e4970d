#include "platform/Utils.h"

#include "platform/Owners.h"
#include "platform/SystemLibrary.h"

#include <windows.h>
#include <shellapi.h>
#include <ntsecapi.h>

namespace {

// True when the last character of Path, read in CodePage, is a backslash.
// A trail byte of a double-byte character may have the backslash's code.
bool EndsWithBackslash(const std::string& Path, UINT CodePage) {
    std::size_t Last = 0;
    for (std::size_t I = 0; I < Path.size();) {
        Last = I;
        bool Lead = IsDBCSLeadByteEx(CodePage, static_cast<BYTE>(Path[I]));
        I += (Lead && I + 1 < Path.size()) ? 2 : 1;
    }
    return !Path.empty() && Last == Path.size() - 1 && Path[Last] == '\\';
}

bool IsLink(DWORD Attributes) {
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace

std::string FinalPathOf(void* File) {
    std::string Result(MAX_PATH, '\0');
    DWORD Length = GetFinalPathNameByHandleA(File, Result.data(), MAX_PATH, 0);
    if (Length >= MAX_PATH) {
        Result.resize(Length);
        Length = GetFinalPathNameByHandleA(File, Result.data(), Length, 0);
    }
    if (Length == 0 || Length > Result.size()) return {};
    Result.resize(Length);
    return Result;
}

std::string FinalPath(const std::string& Path, bool FollowLinks) {
    const THandle File(CreateFileA(
        Path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | (FollowLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr));
    if (!File) return {};
    return FinalPathOf(File.get());
}

std::string Unprefixed(std::string Path) {
    if (Path.rfind("\\\\?\\UNC\\", 0) == 0)
        Path = "\\\\" + Path.substr(8);
    else if (Path.rfind("\\\\?\\", 0) == 0)
        Path.erase(0, 4);
    return StripTrailingBackslash(Path);
}

bool ReachedUnderItsName(void* File, const std::string& Path) {
    const std::string Final = FinalPathOf(File);
    if (Final.empty()) return false;
    std::string Full = FullPathOf(Path);
    char Long[MAX_PATH];
    const DWORD Length = GetLongPathNameA(Full.c_str(), Long, sizeof Long);
    if (Length > 0 && Length < sizeof Long) Full.assign(Long, Length);
    return lstrcmpiA(Unprefixed(Final).c_str(), Unprefixed(Full).c_str()) == 0;
}

namespace {

// True when the entry Name of a directory resolving to ParentFinal resolves
// somewhere else: a link whose target the system follows even when asked
// not to (Wine does so for Unix symbolic links, and shows links to files as
// plain files). Deleting through such a name would delete the target.
bool ResolvesElsewhere(const std::string& ParentFinal, const std::string& Name,
                       const std::string& EntryFinal) {
    if (ParentFinal.empty() || EntryFinal.empty()) return false;
    // A drive root resolves with its backslash.
    std::string Expected = AddTrailingBackslashEx(ParentFinal, GetACP()) + Name;
    return lstrcmpiA(EntryFinal.c_str(), Expected.c_str()) != 0;
}

// Removes a link entry itself and never its target. An entry that the
// system cannot remove without following it stays, and counts as a failure.
bool RemoveLink(const std::string& Path, DWORD Attributes, bool Elsewhere) {
    if (Elsewhere) return false;
    if (Attributes & FILE_ATTRIBUTE_DIRECTORY) return RemoveDirectoryA(Path.c_str()) != FALSE;
    return DeleteFileA(Path.c_str()) != FALSE;
}

} // namespace

std::string AddTrailingBackslashEx(const std::string& Path, std::uint32_t CodePage) {
    return EndsWithBackslash(Path, CodePage) ? Path : Path + "\\";
}

std::string StripTrailingBackslashEx(const std::string& Path, std::uint32_t CodePage) {
    return EndsWithBackslash(Path, CodePage) ? Path.substr(0, Path.size() - 1) : Path;
}

std::string AddTrailingBackslash(const std::string& Path) {
    return AddTrailingBackslashEx(Path, GetACP());
}

std::string RandomHex(unsigned Digits) {
    static unsigned Calls = 0;
    std::string Text;
    unsigned int Value = 0;
    for (unsigned I = 0; I < Digits; ++I, Value >>= 4) {
        if (I % 8 == 0 && !RtlGenRandom(&Value, sizeof Value))
            Value = GetTickCount() ^ (GetCurrentProcessId() << 16) ^ (++Calls * 0x9E3779B9u);
        Text += "0123456789abcdef"[Value & 15];
    }
    return Text;
}

std::string PathIn(const std::string& Folder, std::string_view Name) {
    std::string Path = AddTrailingBackslash(Folder);
    Path += Name;
    return Path;
}

std::string StripTrailingBackslash(const std::string& Path) {
    return StripTrailingBackslashEx(Path, GetACP());
}

bool DirectoryPresent(const std::string& Path) {
    DWORD Attributes = GetFileAttributesA(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CollectFileNames(const std::string& Mask, std::uint32_t Attributes,
                      std::vector<std::string>& List) {
    const DWORD Filtered = faHidden | faSysFile | faVolumeID | faDirectory;
    const DWORD Excluded = Filtered & ~Attributes;

    WIN32_FIND_DATAA Data;
    const TFindHandle Find(FindFirstFileA(Mask.c_str(), &Data));
    if (!Find) return false;
    // The listing starts with the first entry that passes the filter.
    while (Data.dwFileAttributes & Excluded)
        if (!FindNextFileA(Find.get(), &Data)) return false;

    do {
        if (Data.dwFileAttributes & Excluded) continue;
        std::string Name = Data.cFileName;
        if (Name != "." && Name != "..") List.push_back(Name);
    } while (FindNextFileA(Find.get(), &Data));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

bool DeleteFileEvenReadOnly(const std::string& Path) {
    const char* const Name = Path.c_str();
    if (DeleteFileA(Name)) return true;
    DWORD Code = GetLastError();
    if (Code == ERROR_ACCESS_DENIED) {
        const DWORD Attributes = GetFileAttributesA(Name);
        if (Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_READONLY) &&
            SetFileAttributesA(Name, Attributes ^ FILE_ATTRIBUTE_READONLY)) {
            if (DeleteFileA(Name)) return true;
            Code = GetLastError();
            SetFileAttributesA(Name, Attributes); // as it was, for whoever holds it
        }
    }
    SetLastError(Code);
    return false;
}

bool MakeFoldersAbove(const std::string& Path) {
    const std::string::size_type Slash = Path.find_last_of('\\');
    if (Slash == std::string::npos || Slash < 3) return true;
    const std::string Folder = Path.substr(0, Slash);
    if (DirectoryPresent(Folder)) return true;
    return MakeFoldersAbove(Folder) &&
           (CreateDirectoryA(Folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
}

bool RemoveTree(const std::string& Path) {
    if (Path.empty()) return false;
    const std::string Base = StripTrailingBackslash(Path);
    const DWORD BaseAttributes = GetFileAttributesA(Base.c_str());
    const std::string BaseFinal = FinalPath(Base);
    if (IsLink(BaseAttributes)) {
        std::size_t Slash = Base.find_last_of('\\');
        bool Elsewhere =
            Slash == std::string::npos ||
            ResolvesElsewhere(FinalPath(Base.substr(0, Slash)), Base.substr(Slash + 1), BaseFinal);
        return RemoveLink(Base, BaseAttributes, Elsewhere);
    }

    std::vector<std::string> Names;
    CollectFileNames(Base + "\\*.*", faAnyFile, Names);

    bool AllRemoved = true;
    for (const std::string& Name : Names) {
        const std::string Entry = Base + "\\" + Name;
        const DWORD Attributes = GetFileAttributesA(Entry.c_str());
        const bool Elsewhere = ResolvesElsewhere(BaseFinal, Name, FinalPath(Entry));
        bool Removed;
        if (IsLink(Attributes) || Elsewhere)
            Removed = RemoveLink(Entry, Attributes, Elsewhere);
        else if (Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY))
            Removed = RemoveTree(Entry);
        else
            Removed = DeleteFileEvenReadOnly(Entry);
        if (!Removed) AllRemoved = false;
    }
    if (!AllRemoved) return false;
    return SetFileAttributesA(Base.c_str(), FILE_ATTRIBUTE_NORMAL) &&
           RemoveDirectoryA(Base.c_str());
}

std::string FullPathOf(const std::string& Name) {
    std::string Path(MAX_PATH, '\0');
    for (;;) {
        const DWORD Length =
            GetFullPathNameA(Name.c_str(), static_cast<DWORD>(Path.size()), Path.data(), nullptr);
        if (Length == 0) return Name;
        if (Length < Path.size()) {
            Path.resize(Length);
            return Path;
        }
        Path.resize(Length); // the size it needs, its end included
    }
}

bool RecycleFolder(const std::string& Path) {
    const std::string Folder = StripTrailingBackslash(Path);
    RecyclePaths(Folder + '\0');
    return GetFileAttributesA(Folder.c_str()) == INVALID_FILE_ATTRIBUTES;
}

void RecyclePaths(const std::string& NulSeparated) {
    const std::string From = NulSeparated + '\0'; // the list ends with an empty name
    SHFILEOPSTRUCTA Operation{};
    Operation.wFunc = FO_DELETE;
    Operation.pFrom = From.c_str();
    Operation.fFlags =
        FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    SHFileOperationA(&Operation);
}

bool ReadFileText(const std::string& Path, std::string& Text, std::size_t Limit) {
    Text.clear();
    const THandle File(CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!File) return false;
    char Buffer[16384];
    DWORD Read = 0;
    while (ReadFile(File.get(), Buffer, sizeof Buffer, &Read, nullptr) && Read > 0) {
        Text.append(Buffer, Read);
        if (Text.size() > Limit) return false;
    }
    return true;
}

bool WriteFileText(void* File, const std::string& Text) {
    DWORD Written = 0;
    return WriteFile(File, Text.data(), static_cast<DWORD>(Text.size()), &Written, nullptr) &&
           Written == Text.size();
}

void* OpenPlainFileForWriting(const std::string& Path, bool Empty) {
    constexpr DWORD Access = GENERIC_WRITE | FILE_READ_ATTRIBUTES;
    constexpr DWORD Flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    // Opened as it is, or made new: never created through a link that leads
    // to a file not there yet.
    HANDLE File =
        CreateFileA(Path.c_str(), Access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, Flags, nullptr);
    if (File == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND)
        return CreateFileA(Path.c_str(), Access, FILE_SHARE_READ, nullptr, CREATE_NEW, Flags,
                           nullptr);
    if (File == INVALID_HANDLE_VALUE) return File;
    BY_HANDLE_FILE_INFORMATION Information{};
    if (!GetFileInformationByHandle(File, &Information) ||
        (Information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        Information.nNumberOfLinks != 1 || !ReachedUnderItsName(File, Path)) {
        CloseHandle(File);
        SetLastError(ERROR_CANT_RESOLVE_FILENAME);
        return INVALID_HANDLE_VALUE;
    }
    LARGE_INTEGER Start{};
    if (!(Empty ? SetEndOfFile(File) : SetFilePointerEx(File, Start, nullptr, FILE_END))) {
        const DWORD Code = GetLastError();
        CloseHandle(File);
        SetLastError(Code);
        return INVALID_HANDLE_VALUE;
    }
    return File;
}

std::string TempFolder() {
    static const TSystemFunction<DWORD(WINAPI*)(DWORD, LPSTR)> GetTempPath2{"kernel32.dll",
                                                                            "GetTempPath2A"};
    char Temp[MAX_PATH + 1];
    const DWORD Length =
        GetTempPath2 ? GetTempPath2(sizeof Temp, Temp) : GetTempPathA(sizeof Temp, Temp);
    if (Length == 0 || Length >= sizeof Temp) return {};
    return AddTrailingBackslash(std::string(Temp, Length));
}

namespace {

// Names that nobody can know in advance: a name taken meanwhile is tried
// again with other digits, a few times.
constexpr int UniqueNameAttempts = 16;
constexpr unsigned UniqueNameDigits = 16;

} // namespace

void* CreateUniqueFile(const std::string& Prefix, const std::string& Suffix, unsigned long Access,
                       unsigned long Share, unsigned long Flags, void* Security,
                       std::string& Path) {
    for (int Attempt = 0; Attempt < UniqueNameAttempts; ++Attempt) {
        Path = Prefix + RandomHex(UniqueNameDigits) + Suffix;
        const HANDLE File =
            CreateFileA(Path.c_str(), Access, Share, static_cast<SECURITY_ATTRIBUTES*>(Security),
                        CREATE_NEW, Flags, nullptr);
        if (File != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return File;
    }
    return INVALID_HANDLE_VALUE;
}

std::string CreateUniqueFolder(const std::string& Prefix, void* Security,
                               const std::function<void(const std::string&)>& Noting) {
    for (int Attempt = 0; Attempt < UniqueNameAttempts; ++Attempt) {
        const std::string Path = Prefix + RandomHex(UniqueNameDigits);
        if (Noting) Noting(Path);
        if (CreateDirectoryA(Path.c_str(), static_cast<SECURITY_ATTRIBUTES*>(Security)))
            return Path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

bool ReplaceFileWith(const std::string& Path, const std::string& Bytes) {
    const std::string::size_type Slash = Path.find_last_of('\\');
    const std::string Folder =
        Slash == std::string::npos ? std::string() : Path.substr(0, Slash + 1);
    std::string Temporary;
    THandle File(CreateUniqueFile(Folder + "~", ".tmp", GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL,
                                  nullptr, Temporary));
    if (!File) return false;
    const bool Written = WriteFileText(File.get(), Bytes) && FlushFileBuffers(File.get());
    File.reset();
    if (Written && MoveFileExA(Temporary.c_str(), Path.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD Code = GetLastError();
    DeleteFileA(Temporary.c_str());
    SetLastError(Code);
    return false;
}

std::string CrLfJoined(const std::vector<std::string>& Lines) {
    std::string Text;
    for (const std::string& Line : Lines)
        Text.append(Line).append("\r\n");
    return Text;
}
