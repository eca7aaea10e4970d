#include "data/InstalledFiles.h"

#include "data/FolderRules.h"
#include "data/FolderSafety.h"
#include "platform/NameSet.h"
#include "platform/OsError.h"
#include "data/Product.h"
#include "platform/Owners.h"
#include "platform/Utils.h"

#include <windows.h>

#include <algorithm>

namespace {

std::string Key(const std::string& Entry) {
    return ComparablePath(Entry, IsAnsiLeadByte);
}

// Answers, once per folder, whether the folders on an entry's way are
// plain folders of the installation folder, not links that lead elsewhere.
class TInsideCheck {
public:
    explicit TInsideCheck(const std::string& Base)
        : FBase(Base), FBaseResolved(FinalPath(Base, true)) {}

    // Relative is a folder path below the base ("" for the base).
    bool FolderOk(const std::string& Relative) {
        if (Relative.empty()) return true;
        const std::string K = Key(Relative);
        if (FGood.Contains(K)) return true;
        if (FBad.Contains(K)) return false;
        const std::string::size_type Slash = Relative.find_last_of('\\');
        bool Ok = FolderOk(Slash == std::string::npos ? std::string() : Relative.substr(0, Slash));
        if (Ok) {
            const std::string Path = FBase + "\\" + Relative;
            const DWORD Attributes = GetFileAttributesA(Path.c_str());
            if (Attributes == INVALID_FILE_ATTRIBUTES)
                Ok = true; // nothing there: nothing to be misled by
            else if (!(Attributes & FILE_ATTRIBUTE_DIRECTORY) ||
                     (Attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                Ok = false;
            else if (!FBaseResolved.empty())
                // Wine shows a Unix link to a folder as a plain folder; where
                // it resolves to tells.
                Ok = Key(FinalPath(Path, true)) == Key(FBaseResolved + "\\" + Relative);
        }
        (Ok ? FGood : FBad).Insert(K);
        return Ok;
    }

    bool EntryOk(const std::string& Entry) {
        const std::string::size_type Slash = Entry.find_last_of('\\');
        return FolderOk(Slash == std::string::npos ? std::string() : Entry.substr(0, Slash));
    }

private:
    std::string FBase, FBaseResolved;
    TNameSet FGood, FBad; // the folders answered so far
};

bool IsPlainFile(const std::string& Path) {
    const DWORD Attributes = GetFileAttributesA(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Removes the folders on the entries' way that are empty, deepest first.
void RemoveEmptyFolders(const std::string& Base, const std::vector<std::string>& Entries,
                        TInsideCheck& Inside) {
    std::vector<std::string> Folders;
    std::vector<std::size_t> Depths; // backslashes in each
    std::size_t Deepest = 0;
    TNameSet Seen;
    for (const std::string& Entry : Entries) {
        std::string Folder = Entry;
        for (std::string::size_type Slash;
             (Slash = Folder.find_last_of('\\')) != std::string::npos;) {
            Folder.erase(Slash);
            if (!Seen.Insert(Key(Folder))) continue;
            Depths.push_back(
                static_cast<std::size_t>(std::count(Folder.begin(), Folder.end(), '\\')));
            Deepest = std::max(Deepest, Depths.back());
            Folders.push_back(Folder);
        }
    }
    // Level by level from the deepest; within a level in the entries' order.
    for (std::size_t Level = Deepest + 1; Level-- > 0;)
        for (std::size_t I = 0; I < Folders.size(); ++I)
            if (Depths[I] == Level && Inside.FolderOk(Folders[I]))
                RemoveDirectoryA((Base + "\\" + Folders[I]).c_str());
}

// Files below Base (not through links) whose relative path Listed does not hold.
std::size_t CountUnlisted(const std::string& Base, const std::string& Relative,
                          const TNameSet& Listed) {
    std::size_t Count = 0;
    const std::string Folder = Relative.empty() ? Base : Base + "\\" + Relative;
    WIN32_FIND_DATAA Entry;
    const TFindHandle Find(FindFirstFileA((Folder + "\\*").c_str(), &Entry));
    if (!Find) return 0;
    do {
        const std::string Name = Entry.cFileName;
        if (Name == "." || Name == "..") continue;
        const std::string Path = Relative.empty() ? Name : Relative + "\\" + Name;
        const DWORD Attributes = Entry.dwFileAttributes;
        if ((Attributes & FILE_ATTRIBUTE_DIRECTORY) && !(Attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            Count += CountUnlisted(Base, Path, Listed);
        else if (!Listed.Contains(Key(Path)))
            ++Count;
    } while (FindNextFileA(Find.get(), &Entry));
    return Count;
}

} // namespace

std::string InstalledFilesListPath(const std::string& Folder) {
    return PathIn(Folder, Product.InstalledFilesListName);
}

bool ReadInstalledFiles(const std::string& Folder, std::vector<std::string>& Entries) {
    return ReadInstalledFilesAt(InstalledFilesListPath(Folder), Entries);
}

bool ReadInstalledFilesAt(const std::string& Path, std::vector<std::string>& Entries) {
    Entries.clear();
    // A list of a few thousand names is a few hundred kilobytes; a file far
    // beyond that is not one of ours.
    std::string Text;
    if (!ReadFileText(Path, Text, 64u * 1024 * 1024)) return false;
    Entries = ParseFileList(Text, IsAnsiLeadByte);
    return true;
}

bool WriteInstalledFiles(const std::string& Folder, const std::vector<std::string>& Entries,
                         std::string& Error) {
    return WriteFileList(InstalledFilesListPath(Folder), Entries, Error);
}

bool WriteFileList(const std::string& Path, const std::vector<std::string>& Entries,
                   std::string& Error) {
    if (ReplaceFileWith(Path, FormatFileList(Entries))) return true;
    Error = SysErrorMessage(GetLastError());
    return false;
}

std::size_t RecycleInstalledFiles(const std::string& Folder,
                                  const std::vector<std::string>& Entries,
                                  std::vector<std::string>* Left) {
    const std::string Base = StripTrailingBackslash(Folder);
    TInsideCheck Inside(Base);
    std::string From;
    std::vector<std::string> Present;
    for (const std::string& Entry : Entries) {
        const std::string Path = Base + "\\" + Entry;
        if (!IsPlainFile(Path) || !Inside.EntryOk(Entry)) continue;
        From += Path;
        From += '\0';
        Present.push_back(Path);
    }
    if (Present.empty()) return 0;
    RecyclePaths(From);
    RemoveEmptyFolders(Base, Entries, Inside);
    std::size_t Recycled = 0;
    for (const std::string& Path : Present) {
        if (!IsPlainFile(Path))
            ++Recycled;
        else if (Left)
            Left->push_back(Path);
    }
    return Recycled;
}

TRemovalReport DeleteInstalledFiles(const std::string& Folder,
                                    const std::vector<std::string>& Entries,
                                    const std::vector<std::string>& Spared) {
    TRemovalReport Report;
    const std::string Base = StripTrailingBackslash(Folder);
    TInsideCheck Inside(Base);
    TNameSet Listed;
    for (const std::string& Entry : Spared)
        Listed.Insert(Key(Entry));
    for (const std::string& Entry : Entries) {
        if (!Listed.Insert(Key(Entry))) continue;
        const std::string Path = Base + "\\" + Entry;
        if (!IsPlainFile(Path)) continue; // gone already, or a folder of someone else's
        std::string Why;
        if (!Inside.EntryOk(Entry))
            Why = "a link on the way leads out of the folder.";
        else if (DeleteFileEvenReadOnly(Path))
            continue;
        else
            Why = SysErrorMessage(GetLastError());
        Report.Failed.push_back("\"" + Path + "\": " + Why);
    }
    // The list goes after the files it names, so a run broken off midway
    // can still be finished by the next one; while any of them is left it
    // stays, for the run that finishes the job.
    if (Report.Failed.empty()) DeleteFileA(InstalledFilesListPath(Base).c_str());
    Listed.Insert(Key(Product.InstalledFilesListName));
    RemoveEmptyFolders(Base, Entries, Inside);
    Report.FolderRemoved = RemoveDirectoryA(Base.c_str()) != FALSE;
    if (!Report.FolderRemoved) Report.Kept = CountUnlisted(Base, std::string(), Listed);
    return Report;
}

std::vector<std::string> HeldEntries(const std::string& Folder,
                                     const std::vector<std::string>& Entries) {
    std::vector<std::string> Held;
    const std::string Base = StripTrailingBackslash(Folder);
    for (const std::string& Entry : Entries) {
        const THandle File(CreateFileA((Base + "\\" + Entry).c_str(), DELETE, 0, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (File) continue;
        const DWORD Code = GetLastError();
        if (Code == ERROR_SHARING_VIOLATION || Code == ERROR_LOCK_VIOLATION) Held.push_back(Entry);
    }
    return Held;
}

bool HoldsOnlyListedFiles(const std::string& Folder, const std::vector<std::string>& Entries) {
    TNameSet Listed;
    for (const std::string& Entry : Entries)
        Listed.Insert(Key(Entry));
    Listed.Insert(Key(Product.InstalledFilesListName));
    return CountUnlisted(StripTrailingBackslash(Folder), std::string(), Listed) == 0;
}

namespace {

// Makes the folders above Relative below Base, once per folder.
bool MakeFoldersFor(const std::string& Base, const std::string& Relative, TNameSet& Made) {
    for (std::string::size_type Slash = Relative.find('\\'); Slash != std::string::npos;
         Slash = Relative.find('\\', Slash + 1)) {
        const std::string Folder = Base + "\\" + Relative.substr(0, Slash);
        if (!Made.Insert(Key(Folder))) continue;
        if (!CreateDirectoryA(Folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return true;
}

// The plain files below Folder, relative to it (links are neither followed
// nor listed: nothing of ours is a link).
void CollectTree(const std::string& Folder, const std::string& Relative,
                 std::vector<std::string>& Files) {
    WIN32_FIND_DATAA Entry;
    const std::string Path = Relative.empty() ? Folder : Folder + "\\" + Relative;
    const TFindHandle Find(FindFirstFileA((Path + "\\*").c_str(), &Entry));
    if (!Find) return;
    do {
        const std::string Name = Entry.cFileName;
        if (Name == "." || Name == ".." || (Entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        const std::string Child = Relative.empty() ? Name : Relative + "\\" + Name;
        if (Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CollectTree(Folder, Child, Files);
        else
            Files.push_back(Child);
    } while (FindNextFileA(Find.get(), &Entry));
}

} // namespace

bool MoveInstalledFiles(const std::string& Folder, const std::string& Backup,
                        const std::vector<std::string>& Entries,
                        const std::vector<std::string>& Kept, std::string& FailedPath,
                        DWORD& FailedCode) {
    const std::string Base = StripTrailingBackslash(Folder);
    TInsideCheck Inside(Base);
    TNameSet Skip, Made;
    for (const std::string& Entry : Kept)
        Skip.Insert(Key(Entry));
    for (const std::string& Entry : Entries) {
        const std::string Path = Base + "\\" + Entry;
        if (Skip.Contains(Key(Entry)) || !IsPlainFile(Path) || !Inside.EntryOk(Entry)) continue;
        if (!MakeFoldersFor(Backup, Entry, Made) ||
            !MoveFileExA(Path.c_str(), (Backup + "\\" + Entry).c_str(), 0)) {
            FailedPath = Path;
            FailedCode = GetLastError();
            return false;
        }
    }
    RemoveEmptyFolders(Base, Entries, Inside);
    return true;
}

std::vector<std::string> FilesBelow(const std::string& Folder) {
    std::vector<std::string> Files;
    CollectTree(Folder, std::string(), Files);
    return Files;
}

void MoveTreeInto(const std::string& From, const std::string& To,
                  std::vector<std::string>& Failed) {
    std::vector<std::string> Files;
    CollectTree(From, std::string(), Files);
    TNameSet Made;
    for (const std::string& File : Files) {
        const std::string Target = To + "\\" + File;
        if (MakeFoldersFor(To, File, Made) &&
            MoveFileExA((From + "\\" + File).c_str(), Target.c_str(), MOVEFILE_REPLACE_EXISTING))
            continue;
        Failed.push_back("\"" + Target + "\": " + SysErrorMessage(GetLastError()));
    }
    TInsideCheck Inside(From);
    RemoveEmptyFolders(From, Files, Inside);
}

void DeleteListedFiles(const std::string& Folder, const std::vector<std::string>& Entries) {
    const std::string Base = StripTrailingBackslash(Folder);
    TInsideCheck Inside(Base);
    for (const std::string& Entry : Entries) {
        const std::string Path = Base + "\\" + Entry;
        if (!IsPlainFile(Path) || !Inside.EntryOk(Entry)) continue;
        DeleteFileEvenReadOnly(Path);
    }
    RemoveEmptyFolders(Base, Entries, Inside);
}
