#include "engine/Transaction.h"

#include "platform/Error.h"
#include "data/FolderRules.h"
#include "data/InstallData.h"
#include "data/InstalledFiles.h"
#include "platform/OsError.h"
#include "data/Product.h"
#include "data/Protection.h"
#include "platform/Registry.h"
#include "platform/Utils.h"
#include "engine/Compile.h"
#include "engine/HeldFiles.h"

#include "platform/Owners.h"

#include <windows.h>

#include <cstdlib>

namespace {

// The stages of a run as the journal tells them.
enum TStage : DWORD {
    stMoving = 0,    // old files are being moved aside; nothing new is written yet
    stWriting = 1,   // the new installation is being written
    stCommitted = 2, // complete: only the backup is left to clear away
};

const char* const WrittenListName = "written.lst";
const char* const LinksFolderName = "Links";

std::string JournalKey() {
    return SetupStateKey() + "\\Journal";
}

std::string LeafOf(const std::string& Folder) {
    const std::string::size_type Slash = Folder.find_last_of('\\');
    return Slash == std::string::npos ? Folder : Folder.substr(Slash + 1);
}

// Where the old files wait: a folder named like the installation folder,
// so that it shows under that name in the Recycle Bin afterwards.
std::string FilesFolder(const std::string& Backup, const std::string& InstallDir) {
    return Backup + "\\" + LeafOf(InstallDir);
}

bool FilePresent(const std::string& Path) {
    const DWORD Attributes = GetFileAttributesA(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Contains(const std::vector<std::string>& Entries, const std::string& Entry) {
    const std::string Wanted = ComparablePath(Entry);
    for (const std::string& Item : Entries)
        if (ComparablePath(Item) == Wanted) return true;
    return false;
}

TRegKey OpenJournal() {
    TRegKey Key = OpenMachineKey(JournalKey(), KEY_ALL_ACCESS);
    if (!Key) throw Exception("The journal of setup in the registry cannot be opened.");
    return Key;
}

// Each note reaches the registry before the step it announces runs.
void Note(const char* Name, DWORD Value) {
    PutNumber(OpenJournal().get(), Name, Value);
}

void Note(const char* Name, const std::string& Value) {
    PutText(OpenJournal().get(), Name, Value);
}

void NoteAppended(const char* Name, const std::string& Value) {
    TRegKey Journal = OpenJournal();
    std::vector<std::string> Values = ReadTexts(Journal.get(), Name);
    Values.push_back(Value);
    PutTexts(Journal.get(), Name, Values);
}

// The values of the key at Path, copied into the journal's sub-key Name;
// no sub-key when there is no such key.
void Snapshot(HKEY Journal, const char* Name, const std::string& Path) {
    const TRegKey Source = OpenMachineKey(Path);
    if (!Source) return;
    TRegKey Copy;
    if (RegCreateKeyExA(Journal, Name, 0, nullptr, 0, KEY_ALL_ACCESS | MachineView, nullptr,
                        Copy.put(), nullptr) != ERROR_SUCCESS)
        RaiseLastOSError();
    if (!CopyValues(Source.get(), Copy.get()))
        throw Exception("The record of the installation cannot be noted in the journal.");
}

// The key at Path as the snapshot Name has it: gone when there is none.
bool RestoreSnapshot(HKEY Journal, const char* Name, const std::string& Path) {
    DeleteMachineKey(Path);
    TRegKey Copy;
    if (RegOpenKeyExA(Journal, Name, 0, KEY_READ | MachineView, Copy.put()) != ERROR_SUCCESS)
        return true;
    const TRegKey Target = CreateMachineKey(Path);
    return Target && CopyValues(Copy.get(), Target.get());
}

// Removes the setup state key once nothing is left in it.
void DropEmptyStateKey() {
    const TRegKey Key = OpenMachineKey(SetupStateKey());
    if (!Key) return;
    DWORD SubKeys = 0, Values = 0;
    if (RegQueryInfoKeyA(Key.get(), nullptr, nullptr, nullptr, &SubKeys, nullptr, nullptr, &Values,
                         nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        SubKeys == 0 && Values == 0)
        DeleteMachineKey(SetupStateKey());
}

void DeleteJournal() {
    DeleteMachineKey(JournalKey());
    DropEmptyStateKey();
}

// Folders noted under Name, deepest (last made) first, removed when empty.
void RemoveNotedFolders(HKEY Journal, const char* Name) {
    const std::vector<std::string> Folders = ReadTexts(Journal, Name);
    for (auto Folder = Folders.rbegin(); Folder != Folders.rend(); ++Folder)
        RemoveDirectoryA(Folder->c_str());
}

void RestoreLinks(HKEY Journal, const std::string& Backup) {
    const std::string Folder = AddTrailingBackslash(ReadText(Journal, "ProgramFolder"));
    if (Folder.size() > 1)
        for (const TProductShortcut& Shortcut : ProductShortcuts())
            DeleteFileA((Folder + Shortcut.LinkName).c_str());
    const std::string Saved = Backup + "\\" + LinksFolderName;
    std::vector<std::string> Names;
    if (Folder.size() > 1 && CollectFileNames(Saved + "\\*", faAnyFile & ~faDirectory, Names))
        for (const std::string& Name : Names)
            CopyFileA((Saved + "\\" + Name).c_str(), (Folder + Name).c_str(), FALSE);
    RemoveNotedFolders(Journal, "CreatedFolders");
}

// Removes the empty folders below Folder, deepest first, and Folder itself
// when that leaves it empty: what an extraction made of folders without
// files. Files are never touched.
bool RemoveEmptyTree(const std::string& Folder) {
    WIN32_FIND_DATAA Entry;
    bool Empty = true;
    {
        const TFindHandle Find(FindFirstFileA((Folder + "\\*").c_str(), &Entry));
        if (!Find) return false;
        do {
            const std::string Name = Entry.cFileName;
            if (Name == "." || Name == "..") continue;
            const bool Folder_ = (Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                                 !(Entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
            if (!Folder_ || !RemoveEmptyTree(Folder + "\\" + Name)) Empty = false;
        } while (FindNextFileA(Find.get(), &Entry));
    }
    return Empty && RemoveDirectoryA(Folder.c_str());
}

// The written entries gone again, with the new content of held files.
void RemoveWritten(HKEY Journal, const std::string& InstallDir, const std::string& Backup) {
    std::vector<std::string> Written, Pending;
    std::string Error;
    ReadInstalledFilesAt(Backup + "\\" + WrittenListName, Written);
    const std::vector<std::string> Kept = ReadTexts(Journal, "Kept");
    std::vector<std::string> Ours;
    for (const std::string& Entry : Written) {
        Pending.push_back(Entry + PendingFileSuffix);
        if (!Contains(Kept, Entry)) Ours.push_back(Entry);
    }
    DeleteListedFiles(InstallDir, Ours);
    DeleteListedFiles(InstallDir, Pending);
    // A list of files never names itself.
    if (ReadNumber(Journal, "WritesList")) DeleteFileA(InstalledFilesListPath(InstallDir).c_str());
}

// Undoes the steps that came after the files were moved aside: the new
// component's registration, the links, the files this run wrote. Each step
// notes that it is done, so that an undo cut off in its turn is finished by
// the next run without doing anything twice. The marks are written with
// Write*: an undo goes on whatever it cannot note, because stopping half-way
// would leave less put back.
void UndoLaterSteps(HKEY J, const std::string& InstallDir, const std::string& Backup,
                    const std::string& Ocx) {
    const bool OcxKept = Contains(ReadTexts(J, "Kept"), Product.OcxFileName);
    if (ReadNumber(J, "Registered")) {
        if (!OcxKept && FilePresent(Ocx))
            RunRegSvr32(SystemRegSvr32(), "/u /s", Ocx, "Error unregistering component");
        WriteNumber(J, "Registered", 0);
    }
    if (ReadNumber(J, "Links")) {
        RestoreLinks(J, Backup);
        WriteNumber(J, "Links", 0);
    }
    if (ReadNumber(J, "Stage") == stWriting) {
        RemoveWritten(J, InstallDir, Backup);
        WriteNumber(J, "Stage", stMoving);
    }
}

// The backup's files back where they were (the whole folder in one rename
// when it can); what could not be put back is added to Failed.
void PutBackFiles(HKEY J, const std::string& InstallDir, const std::string& Files,
                  std::vector<std::string>& Failed) {
    if (DirectoryPresent(Files)) {
        RemoveEmptyTree(InstallDir);
        if (DirectoryPresent(InstallDir) || !MoveFileExA(Files.c_str(), InstallDir.c_str(), 0))
            MoveTreeInto(Files, InstallDir, Failed);
    } else if (!ReadNumber(J, "FolderExisted")) {
        RemoveEmptyTree(InstallDir);
    }
    RemoveNotedFolders(J, "MadeParents");
}

// Puts back what the journal says; the lines tell the outcome.
std::vector<std::string> Undo() {
    std::vector<std::string> Lines;
    TRegKey Journal = OpenMachineKey(JournalKey(), KEY_ALL_ACCESS);
    if (!Journal) return Lines;
    HKEY J = Journal.get();
    const std::string InstallDir = ReadText(J, "InstallDir");
    const std::string Backup = ReadText(J, "Backup");
    const std::string Files = FilesFolder(Backup, InstallDir);
    if (InstallDir.empty() || Backup.empty()) {
        DeleteJournal();
        return Lines;
    }
    if (ReadNumber(J, "Stage") == stCommitted) {
        if (DirectoryPresent(Files)) RecycleFolder(Files);
        RemoveTree(Backup);
        DeleteJournal();
        return Lines;
    }
    const std::string Ocx = PathIn(InstallDir, Product.OcxFileName);
    UndoLaterSteps(J, InstallDir, Backup, Ocx);
    std::vector<std::string> Failed;
    PutBackFiles(J, InstallDir, Files, Failed);
    for (const std::string& Failure : Failed)
        Lines.push_back("Could not put back " + Failure);
    const bool HadRecord = static_cast<bool>(OpenMachineKey(JournalKey() + "\\Record"));
    if (!RestoreSnapshot(J, "Record", Product.RecordKey) ||
        !RestoreSnapshot(J, "Entry", UninstallEntryKey())) {
        Lines.push_back("Could not put back the record of the installation in the registry.");
        Failed.push_back("");
    }
    const std::string RegisterOld = ReadText(J, "RegisterOld");
    if (!RegisterOld.empty() && FilePresent(Ocx)) {
        const std::string Error =
            RunRegSvr32(RegisterOld, "/s", Ocx, "Error registering the earlier component");
        if (!Error.empty()) Lines.push_back(Error);
    }
    if (!Failed.empty()) {
        Lines.push_back(
            "Setup could not put everything back. It tries again the next time it runs.");
        return Lines;
    }
    Journal.reset();
    RemoveTree(Backup);
    DeleteJournal();
    Lines.push_back(HadRecord ? "The earlier installation was restored."
                              : "Setup removed what it had installed: nothing was installed.");
    return Lines;
}

// A component replaced at the restart is registered once Windows has put
// it in place.
std::vector<std::string> RegisterReplacedControl() {
    std::vector<std::string> Lines;
    TRegKey State = OpenMachineKey(SetupStateKey(), KEY_ALL_ACCESS);
    if (!State) return Lines;
    const std::string Ocx = ReadText(State.get(), "RegisterAfterRestart");
    if (Ocx.empty() || FilePresent(Ocx + PendingFileSuffix)) return Lines;
    if (FilePresent(Ocx)) {
        const std::string Error =
            RunRegSvr32(SystemRegSvr32(), "/s", Ocx, "Error registering component");
        Lines.push_back(Error.empty() ? "The component that was replaced at the restart of "
                                        "Windows has been registered."
                                      : Error);
        if (!Error.empty()) return Lines;
    }
    RegDeleteValueA(State.get(), "RegisterAfterRestart");
    State.reset();
    DropEmptyStateKey();
    return Lines;
}

} // namespace

std::string SetupStateKey() {
    return std::string(Product.RecordKey) + " Setup";
}

TInstallTransaction::TInstallTransaction(const std::string& InstallDir)
    : FInstallDir(StripTrailingBackslash(InstallDir)) {
    if (OpenMachineKey(JournalKey()))
        throw Exception("An earlier run of setup left work unfinished: start setup again.");
    try {
        Begin();
    } catch (...) {
        Undo();
        throw;
    }
}

void TInstallTransaction::Begin() {
    // The folders above the installation folder that do not exist yet: the
    // backup goes beside it, and an undo removes them again.
    std::vector<std::string> Missing;
    for (std::string Parent = FInstallDir;;) {
        const std::string::size_type Slash = Parent.find_last_of('\\');
        if (Slash == std::string::npos || Slash < 3) break;
        Parent.erase(Slash);
        if (DirectoryPresent(Parent)) break;
        Missing.insert(Missing.begin(), Parent);
    }
    {
        const TRegKey Journal = CreateMachineKey(JournalKey());
        if (!Journal) RaiseLastOSError();
        HKEY J = Journal.get();
        if (!WriteText(J, "InstallDir", FInstallDir) || !WriteNumber(J, "Stage", stMoving) ||
            !WriteNumber(J, "FolderExisted", DirectoryPresent(FInstallDir) ? 1 : 0) ||
            !WriteTexts(J, "MadeParents", Missing))
            throw Exception("Failed to set data for the journal of setup");
        Snapshot(J, "Record", Product.RecordKey);
        Snapshot(J, "Entry", UninstallEntryKey());
    }
    for (const std::string& Parent : Missing)
        if (!CreateInstallationFolder(Parent) && GetLastError() != ERROR_ALREADY_EXISTS)
            RaiseLastOSError();
    // A fresh folder of a name nobody can know in advance: an existing one
    // is never used.
    for (int Attempt = 0;; ++Attempt) {
        FBackup = FInstallDir + ".backup-" + RandomHex(8);
        Note("Backup", FBackup);
        if (CreateInstallationFolder(FBackup)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS || Attempt == 15) RaiseLastOSError();
    }
    SetFileAttributesA(FBackup.c_str(), FILE_ATTRIBUTE_HIDDEN);
}

void TInstallTransaction::KeepInPlace(const std::vector<std::string>& Entries) {
    PutTexts(OpenJournal().get(), "Kept", Entries);
}

bool TInstallTransaction::MoveAside(const std::vector<std::string>& Entries, bool WholeFolder,
                                    std::string& Error) {
    const std::string Files = FilesFolder(FBackup, FInstallDir);
    // One rename when nothing else lies in the folder. Windows refuses it
    // while anything inside is open; then each file goes on its own.
    if (WholeFolder && MoveFileExA(FInstallDir.c_str(), Files.c_str(), 0)) return true;
    if (!CreateDirectoryA(Files.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        RaiseLastOSError();
    std::vector<std::string> Kept = ReadTexts(OpenJournal().get(), "Kept");
    std::string FailedPath;
    DWORD Code = 0;
    if (MoveInstalledFiles(FInstallDir, Files, Entries, Kept, FailedPath, Code)) return true;
    Error = Code == ERROR_SHARING_VIOLATION || Code == ERROR_LOCK_VIOLATION
                ? InUseLine(FailedPath, HoldersOf(FailedPath))
                : "Could not move \"" + FailedPath + "\" aside: " + SysErrorMessage(Code);
    return false;
}

void TInstallTransaction::WillWrite(const std::vector<std::string>& Entries) {
    Note("WritesList", Contains(Entries, Product.InstalledFilesListName) ? 1 : 0);
    std::string Error;
    if (!WriteFileList(FBackup + "\\" + WrittenListName, Entries, Error))
        throw Exception("Cannot create file \"" + FBackup + "\\" + WrittenListName + "\". " +
                        Error);
    Note("Stage", stWriting);
}

void TInstallTransaction::ControlRegistrationChanges(const std::string& RegSvr32) {
    if (ReadText(OpenJournal().get(), "RegisterOld").empty()) Note("RegisterOld", RegSvr32);
}

void TInstallTransaction::RegisteringControl() {
    Note("Registered", 1);
}

void TInstallTransaction::ReplacingLinks(const std::string& Folder) {
    Note("ProgramFolder", Folder);
    const std::string Saved = FBackup + "\\" + LinksFolderName;
    if (!CreateDirectoryA(Saved.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        RaiseLastOSError();
    const std::string From = AddTrailingBackslash(Folder);
    for (const TProductShortcut& Shortcut : ProductShortcuts())
        if (FilePresent(From + Shortcut.LinkName) &&
            !CopyFileA((From + Shortcut.LinkName).c_str(),
                       (Saved + "\\" + Shortcut.LinkName).c_str(), FALSE))
            RaiseLastOSError();
    Note("Links", 1);
}

void TInstallTransaction::CreatingFolder(const std::string& Folder) {
    NoteAppended("CreatedFolders", Folder);
    Note("Links", 1);
}

void TInstallTransaction::RegisterAfterRestart(const std::string& Ocx) {
    const TRegKey State = CreateMachineKey(SetupStateKey());
    if (!State) throw Exception("Failed to set data for 'RegisterAfterRestart'");
    PutText(State.get(), "RegisterAfterRestart", Ocx);
}

void TInstallTransaction::Commit() {
    Note("Stage", stCommitted);
    // From here on the new installation stands, whatever happens next: a
    // run cut off now only leaves the backup for the next one to clear.
    const std::string Files = FilesFolder(FBackup, FInstallDir);
    if (DirectoryPresent(Files)) RecycleFolder(Files);
    RemoveTree(FBackup);
    DeleteJournal();
}

std::vector<std::string> TInstallTransaction::Rollback() {
    try {
        return Undo();
    } catch (const std::exception& E) {
        return {std::string("Could not put back the earlier installation: ") + E.what()};
    }
}

std::vector<std::string> TInstallTransaction::FinishEarlierRuns() {
    std::vector<std::string> Lines;
    if (OpenMachineKey(JournalKey())) {
        std::vector<std::string> Undone;
        try {
            Undone = Undo();
        } catch (const std::exception& E) {
            Undone = {std::string("Could not put back the earlier installation: ") + E.what()};
        }
        if (!Undone.empty()) {
            Lines.push_back("An earlier run of setup was interrupted before it had finished.");
            Lines.insert(Lines.end(), Undone.begin(), Undone.end());
        }
    }
    const std::vector<std::string> Registered = RegisterReplacedControl();
    Lines.insert(Lines.end(), Registered.begin(), Registered.end());
    return Lines;
}
