#include "data/InstalledFiles.h"

#include "data/FolderRules.h"
#include "data/FolderSafety.h"
#include "data/OsError.h"
#include "data/Product.h"
#include "data/Owners.h"
#include "data/Utils.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace {

std::string Key(const std::string& Entry) {
    return ComparablePath(Entry, IsAnsiLeadByte);
}

// Answers, once per folder, whether the folders on an entry's way are
// plain folders of the installation folder, not links that lead elsewhere.
class TInsideCheck {
public:
    explicit TInsideCheck(const std::string& Base)
        : FBase(Base), FBaseResolved(ResolvedPath(Base)) {}

    // Relative is a folder path below the base ("" for the base).
    bool FolderOk(const std::string& Relative) {
        if (Relative.empty()) return true;
        const std::string K = Key(Relative);
        auto Known = FVerdicts.find(K);
        if (Known != FVerdicts.end()) return Known->second;
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
                Ok = Key(ResolvedPath(Path)) == Key(FBaseResolved + "\\" + Relative);
        }
        FVerdicts.emplace(K, Ok);
        return Ok;
    }

    bool EntryOk(const std::string& Entry) {
        const std::string::size_type Slash = Entry.find_last_of('\\');
        return FolderOk(Slash == std::string::npos ? std::string() : Entry.substr(0, Slash));
    }

private:
    std::string FBase, FBaseResolved;
    std::unordered_map<std::string, bool> FVerdicts;
};

bool IsPlainFile(const std::string& Path) {
    const DWORD Attributes = GetFileAttributesA(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Removes the folders on the entries' way that are empty, deepest first.
void RemoveEmptyFolders(const std::string& Base, const std::vector<std::string>& Entries,
                        TInsideCheck& Inside) {
    std::vector<std::string> Folders;
    std::unordered_set<std::string> Seen;
    for (const std::string& Entry : Entries) {
        std::string Folder = Entry;
        for (std::string::size_type Slash;
             (Slash = Folder.find_last_of('\\')) != std::string::npos;) {
            Folder.erase(Slash);
            if (Seen.insert(Key(Folder)).second) Folders.push_back(Folder);
        }
    }
    const auto Depth = [](const std::string& Folder) {
        return std::count(Folder.begin(), Folder.end(), '\\');
    };
    std::stable_sort(
        Folders.begin(), Folders.end(),
        [&](const std::string& A, const std::string& B) { return Depth(A) > Depth(B); });
    for (const std::string& Folder : Folders)
        if (Inside.FolderOk(Folder)) RemoveDirectoryA((Base + "\\" + Folder).c_str());
}

// Files below Base (not through links) whose relative path Listed does not hold.
std::size_t CountUnlisted(const std::string& Base, const std::string& Relative,
                          const std::unordered_set<std::string>& Listed) {
    std::size_t Count = 0;
    const std::string Folder = Relative.empty() ? Base : Base + "\\" + Relative;
    WIN32_FIND_DATAA Entry;
    HANDLE Raw = FindFirstFileA((Folder + "\\*").c_str(), &Entry);
    if (Raw == INVALID_HANDLE_VALUE) return 0;
    TFindHandle Find(Raw);
    do {
        const std::string Name = Entry.cFileName;
        if (Name == "." || Name == "..") continue;
        const std::string Path = Relative.empty() ? Name : Relative + "\\" + Name;
        const DWORD Attributes = Entry.dwFileAttributes;
        if ((Attributes & FILE_ATTRIBUTE_DIRECTORY) && !(Attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            Count += CountUnlisted(Base, Path, Listed);
        else if (!Listed.count(Key(Path)))
            ++Count;
    } while (FindNextFileA(Raw, &Entry));
    return Count;
}

} // namespace

std::string InstalledFilesListPath(const std::string& Folder) {
    return AddTrailingBackslash(Folder) + Product.InstalledFilesListName;
}

bool ReadInstalledFiles(const std::string& Folder, std::vector<std::string>& Entries) {
    Entries.clear();
    HANDLE Raw = CreateFileA(InstalledFilesListPath(Folder).c_str(), GENERIC_READ, FILE_SHARE_READ,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (Raw == INVALID_HANDLE_VALUE) return false;
    THandle File(Raw);
    std::string Text;
    char Buffer[16384];
    DWORD Read = 0;
    while (ReadFile(Raw, Buffer, sizeof Buffer, &Read, nullptr) && Read > 0) {
        Text.append(Buffer, Read);
        // A list of a few thousand names is a few hundred kilobytes; a
        // file far beyond that is not one of ours.
        if (Text.size() > 64u * 1024 * 1024) return false;
    }
    Entries = ParseFileList(Text, IsAnsiLeadByte);
    return true;
}

bool WriteInstalledFiles(const std::string& Folder, const std::vector<std::string>& Entries,
                         std::string& Error) {
    const std::string Text = FormatFileList(Entries);
    char Temporary[MAX_PATH];
    if (!GetTempFileNameA(StripTrailingBackslash(Folder).c_str(), "mvf", 0, Temporary)) {
        Error = SysErrorMessage(GetLastError());
        return false;
    }
    bool Written = false;
    {
        HANDLE Raw = CreateFileA(Temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (Raw != INVALID_HANDLE_VALUE) {
            THandle File(Raw);
            DWORD Count = 0;
            Written =
                WriteFile(Raw, Text.data(), static_cast<DWORD>(Text.size()), &Count, nullptr) &&
                Count == Text.size() && FlushFileBuffers(Raw);
        }
    }
    if (Written && MoveFileExA(Temporary, InstalledFilesListPath(Folder).c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    Error = SysErrorMessage(GetLastError());
    DeleteFileA(Temporary);
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
    From += '\0'; // the list ends with an empty name
    SHFILEOPSTRUCTA Operation{};
    Operation.wFunc = FO_DELETE;
    Operation.pFrom = From.c_str();
    Operation.fFlags =
        FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    SHFileOperationA(&Operation);
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
    std::unordered_set<std::string> Listed;
    for (const std::string& Entry : Spared)
        Listed.insert(Key(Entry));
    for (const std::string& Entry : Entries) {
        if (!Listed.insert(Key(Entry)).second) continue;
        const std::string Path = Base + "\\" + Entry;
        if (!IsPlainFile(Path)) continue; // gone already, or a folder of someone else's
        if (!Inside.EntryOk(Entry)) {
            Report.Failed.push_back("\"" + Path + "\": a link on the way leads out of the folder.");
            continue;
        }
        const DWORD Attributes = GetFileAttributesA(Path.c_str());
        if (SetFileAttributesA(Path.c_str(), FILE_ATTRIBUTE_NORMAL) && DeleteFileA(Path.c_str()))
            continue;
        const DWORD Code = GetLastError();
        SetFileAttributesA(Path.c_str(), Attributes); // as it was, for whoever holds it
        Report.Failed.push_back("\"" + Path + "\": " + SysErrorMessage(Code));
    }
    // The list goes after the files it names, so a run broken off midway
    // can still be finished by the next one; while any of them is left it
    // stays, for the run that finishes the job.
    if (Report.Failed.empty()) DeleteFileA(InstalledFilesListPath(Base).c_str());
    Listed.insert(Key(Product.InstalledFilesListName));
    RemoveEmptyFolders(Base, Entries, Inside);
    Report.FolderRemoved = RemoveDirectoryA(Base.c_str()) != FALSE;
    if (!Report.FolderRemoved) Report.Kept = CountUnlisted(Base, std::string(), Listed);
    return Report;
}
