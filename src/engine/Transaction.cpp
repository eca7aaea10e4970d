#include "engine/Transaction.h"

#include "data/FolderRules.h"
#include "data/FolderSafety.h"
#include "data/InstallData.h"
#include "data/InstalledFiles.h"
#include "data/Product.h"
#include "data/Protection.h"
#include "engine/Children.h"
#include "engine/Compile.h"
#include "engine/HeldFiles.h"
#include "platform/Error.h"
#include "platform/NameSet.h"
#include "platform/OsError.h"
#include "platform/Registry.h"
#include "platform/Utils.h"

#include <windows.h>

#include <utility>

namespace {

// The stages of a run as the journal tells them.
enum TStage : DWORD {
    stMoving = 0,    // old files are being moved aside; nothing new is written yet
    stWriting = 1,   // the new installation is being written
    stCommitted = 2, // complete: only the backup is left to clear away
};

// The journal's values.
namespace jv {
constexpr const char* InstallDir = "InstallDir";       // the installation folder
constexpr const char* Backup = "Backup";               // the backup folder
constexpr const char* Stage = "Stage";                 // a TStage
constexpr const char* FolderExisted = "FolderExisted"; // 1: the installation folder was there
constexpr const char* MadeParents = "MadeParents";     // folders made above it, outer first
constexpr const char* Kept = "Kept";                   // held files left in place
constexpr const char* WritesList = "WritesList";       // 1: the run writes the list of files
constexpr const char* ListIsNew = "ListIsNew";         // 1: ... where there was none
constexpr const char* RegisterOldMachine = "RegisterOldMachine"; // the old component's
// Left by setup before it noted an architecture: the old component is then
// registered again by the regsvr32 of its own file's architecture.
constexpr const char* RegisterOld = "RegisterOld";
constexpr const char* Registered = "Registered";         // 1: the new component was registered
constexpr const char* RunOnce = "RunOnce";               // 1: the RunOnce entry was written
constexpr const char* ProgramFolder = "ProgramFolder";   // where the links were replaced
constexpr const char* Links = "Links";                   // 1: the links were replaced
constexpr const char* CreatedFolders = "CreatedFolders"; // levels of the program folder made
constexpr const char* Record = "Record";                 // sub-key: the record as it was
constexpr const char* Entry = "Entry";                   // sub-key: the Installed-apps entry
} // namespace jv

// Files in the backup folder besides the old installation's.
const char* const WrittenListName = "written.lst"; // what the run writes
const char* const NewListName = "new.lst";         // of that, what did not exist before
const char* const LinksFolderName = "Links";       // the links as they were
const char* const HeldFolderName = "Held";         // copies of the held files

const char* const RunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
// An earlier setup's note of a component to register after the restart.
const char* const LegacyRegisterValue = "RegisterAfterRestart";

// RunOnce as Windows itself reads it: in the system's own registry view,
// not in the 32-bit one where setup's keys are.
TRegKey OpenRunOnce(REGSAM Access) {
    TRegKey Key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RunOnceKey, 0, Access | KEY_WOW64_64KEY, Key.put()) !=
        ERROR_SUCCESS)
        Key.reset();
    return Key;
}

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

TNameSet NameSetOf(const std::vector<std::string>& Entries) {
    TNameSet Set;
    for (const std::string& Entry : Entries)
        Set.Insert(ComparablePath(Entry, IsAnsiLeadByte));
    return Set;
}

bool Contains(const std::vector<std::string>& Entries, const std::string& Entry) {
    return NameSetOf(Entries).Contains(ComparablePath(Entry, IsAnsiLeadByte));
}

TRegKey OpenJournal() {
    TRegKey Key = OpenMachineKey(JournalKey(), KEY_ALL_ACCESS);
    if (!Key) throw Exception("The journal of setup in the registry cannot be opened.");
    return Key;
}

// Each note reaches the disk before the step it announces runs.
void Note(const char* Name, DWORD Value) {
    const TRegKey Journal = OpenJournal();
    PutNumber(Journal.get(), Name, Value);
    RegFlushKey(Journal.get());
}

void Note(const char* Name, const std::string& Value) {
    const TRegKey Journal = OpenJournal();
    PutText(Journal.get(), Name, Value);
    RegFlushKey(Journal.get());
}

void NoteAppended(const char* Name, const std::string& Value) {
    const TRegKey Journal = OpenJournal();
    std::vector<std::string> Values = ReadTexts(Journal.get(), Name);
    Values.push_back(Value);
    PutTexts(Journal.get(), Name, Values);
    RegFlushKey(Journal.get());
}

// A mark of the undo that a step is done. An undo goes on whatever it
// cannot note, because stopping half-way would leave less put back.
void Mark(HKEY Journal, const char* Name, DWORD Value) {
    WriteNumber(Journal, Name, Value);
    RegFlushKey(Journal);
}

// The values of the key at Path, copied into the journal's sub-key Name;
// no sub-key when there is no such key.
void Snapshot(HKEY Journal, const char* Name, const std::string& Path) {
    const TRegKey Source = OpenMachineKey(Path);
    if (!Source) return;
    TRegKey Copy;
    const LONG Status = RegCreateKeyExA(Journal, Name, 0, nullptr, 0, KEY_ALL_ACCESS | MachineView,
                                        nullptr, Copy.put(), nullptr);
    if (Status != ERROR_SUCCESS)
        throw EOSError(static_cast<std::uint32_t>(Status), "Noting the registry key", Path);
    if (!CopyValues(Source.get(), Copy.get()))
        throw Exception("The record of the installation cannot be noted in the journal.");
}

// Deletes every value of Key.
bool DeleteValues(HKEY Key) {
    for (;;) {
        char Name[16384];
        DWORD Length = sizeof Name;
        const LONG Status =
            RegEnumValueA(Key, 0, Name, &Length, nullptr, nullptr, nullptr, nullptr);
        if (Status == ERROR_NO_MORE_ITEMS) return true;
        if (Status != ERROR_SUCCESS || RegDeleteValueA(Key, Name) != ERROR_SUCCESS) return false;
    }
}

bool HasSubKeys(HKEY Key) {
    DWORD SubKeys = 0;
    return RegQueryInfoKeyA(Key, nullptr, nullptr, nullptr, &SubKeys, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           SubKeys > 0;
}

// The values of the key at Path as the snapshot Name has them. Its sub-keys
// are not setup's and stay; the key goes when there was none and nothing
// else is in it.
bool RestoreSnapshot(HKEY Journal, const char* Name, const std::string& Path) {
    TRegKey Copy;
    const bool Saved =
        RegOpenKeyExA(Journal, Name, 0, KEY_READ | MachineView, Copy.put()) == ERROR_SUCCESS;
    TRegKey Target = Saved ? CreateMachineKey(Path) : OpenMachineKey(Path, KEY_ALL_ACCESS);
    if (!Target) return !Saved;
    if (!DeleteValues(Target.get())) return false;
    if (Saved) return CopyValues(Copy.get(), Target.get());
    const bool Empty = !HasSubKeys(Target.get());
    Target.reset();
    if (Empty) DeleteMachineKey(Path);
    return true;
}

void DeleteJournal() {
    DeleteMachineKey(JournalKey());
    DropEmptySetupStateKey();
}

// Folders noted under Name, deepest (last made) first, removed when empty.
void RemoveNotedFolders(HKEY Journal, const char* Name) {
    const std::vector<std::string> Folders = ReadTexts(Journal, Name);
    for (auto Folder = Folders.rbegin(); Folder != Folders.rend(); ++Folder)
        RemoveDirectoryA(Folder->c_str());
}

void RestoreLinks(HKEY Journal, const std::string& Backup) {
    const std::string Folder = AddTrailingBackslash(ReadText(Journal, jv::ProgramFolder));
    if (Folder.size() > 1)
        for (const TProductShortcut& Shortcut : ProductShortcuts())
            DeleteFileA((Folder + Shortcut.LinkName).c_str());
    const std::string Saved = Backup + "\\" + LinksFolderName;
    std::vector<std::string> Names;
    if (Folder.size() > 1 && CollectFileNames(Saved + "\\*", faAnyFile & ~faDirectory, Names))
        for (const std::string& Name : Names)
            CopyFileA((Saved + "\\" + Name).c_str(), (Folder + Name).c_str(), FALSE);
    RemoveNotedFolders(Journal, jv::CreatedFolders);
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

// The written entries gone again, with the new content of held files. A
// name goes only where it did not exist before the run or the backup still
// holds what it replaced: an undo cut off after putting the old files back
// must not delete them when it runs again.
void RemoveWritten(HKEY Journal, const std::string& InstallDir, const std::string& Backup) {
    std::vector<std::string> Written, New, Pending, Ours;
    ReadInstalledFilesAt(Backup + "\\" + WrittenListName, Written);
    // A journal of an earlier setup has no such list: all written names go.
    const bool KnowsNew = ReadInstalledFilesAt(Backup + "\\" + NewListName, New);
    const TNameSet NewNames = NameSetOf(New);
    const TNameSet Kept = NameSetOf(ReadTexts(Journal, jv::Kept));
    const std::string Files = FilesFolder(Backup, InstallDir);
    for (const std::string& Entry : Written) {
        Pending.push_back(Entry + PendingFileSuffix);
        if (Kept.Contains(ComparablePath(Entry, IsAnsiLeadByte))) continue;
        if (!KnowsNew || NewNames.Contains(ComparablePath(Entry, IsAnsiLeadByte)) ||
            FilePresent(Files + "\\" + Entry))
            Ours.push_back(Entry);
    }
    DeleteListedFiles(InstallDir, Ours);
    DeleteListedFiles(InstallDir, Pending);
    // A list of files never names itself.
    const std::string List = Product.InstalledFilesListName;
    if (ReadNumber(Journal, jv::WritesList) &&
        (!KnowsNew || ReadNumber(Journal, jv::ListIsNew) || FilePresent(Files + "\\" + List)))
        DeleteFileA(InstalledFilesListPath(InstallDir).c_str());
}

// The copies of held files back in their place. One still held cannot be
// replaced: where it differs from its copy (a program changed it after the
// extraction did), the copy takes its place when Windows restarts.
void RestoreHeldFiles(const std::string& InstallDir, const std::string& Backup,
                      std::vector<std::string>& Lines) {
    const std::string Copies = Backup + "\\" + HeldFolderName;
    for (const std::string& Entry : FilesBelow(Copies)) {
        const std::string Copy = Copies + "\\" + Entry, Path = PathIn(InstallDir, Entry);
        if (MoveFileExA(Copy.c_str(), Path.c_str(), MOVEFILE_REPLACE_EXISTING)) continue;
        std::string Old, Now;
        if (ReadFileText(Copy, Old) && ReadFileText(Path, Now) && Old == Now) {
            DeleteFileA(Copy.c_str());
            continue;
        }
        const std::string Waiting = Path + PendingFileSuffix;
        if (MoveFileExA(Copy.c_str(), Waiting.c_str(), MOVEFILE_REPLACE_EXISTING) &&
            MoveFileExA(Waiting.c_str(), Path.c_str(),
                        MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING))
            Lines.push_back("\"" + Path +
                            "\" is in use by another program: its earlier version is put back "
                            "when Windows restarts.");
        else
            Lines.push_back("Could not put back \"" + Path +
                            "\": " + SysErrorMessage(GetLastError()));
    }
}

// Undoes the steps that came after the files were moved aside: the new
// component's registration, the entry in RunOnce, the links, the files this
// run wrote. Each step marks that it is done, so that an undo cut off in
// its turn is finished by the next run without doing anything twice.
void UndoLaterSteps(HKEY J, const std::string& InstallDir, const std::string& Backup,
                    const std::string& Ocx) {
    if (ReadNumber(J, jv::Registered)) {
        if (FilePresent(Ocx))
            RunRegSvr32(SystemRegSvr32(), "/u /s", Ocx, "Error unregistering component");
        Mark(J, jv::Registered, 0);
    }
    if (ReadNumber(J, jv::RunOnce)) {
        if (const TRegKey RunOnce = OpenRunOnce(KEY_SET_VALUE))
            RegDeleteValueA(RunOnce.get(), RunOnceValueName().c_str());
        Mark(J, jv::RunOnce, 0);
    }
    if (ReadNumber(J, jv::Links)) {
        RestoreLinks(J, Backup);
        Mark(J, jv::Links, 0);
    }
    if (ReadNumber(J, jv::Stage) == stWriting) {
        RemoveWritten(J, InstallDir, Backup);
        Mark(J, jv::Stage, stMoving);
    }
}

// The backup's files back where they were (the whole folder in one rename
// when it can); what could not be put back is added to Failed. Files go
// only into a folder that is setup's to fill.
void PutBackFiles(HKEY J, const std::string& InstallDir, const std::string& Files,
                  std::vector<std::string>& Failed) {
    if (DirectoryPresent(Files)) {
        RemoveEmptyTree(InstallDir);
        if (DirectoryPresent(InstallDir) || !MoveFileExA(Files.c_str(), InstallDir.c_str(), 0)) {
            TFolderHolds Holds;
            bool Protected = false;
            const TFolderVerdict Verdict = TakeInstallFolder(InstallDir, Holds, false, Protected);
            if (Verdict != TFolderVerdict::Ok) {
                Failed.push_back("\"" + InstallDir + "\": " + VerdictReason(Verdict) + ".");
                return;
            }
            MoveTreeInto(Files, InstallDir, Failed);
        }
    } else if (!ReadNumber(J, jv::FolderExisted)) {
        RemoveEmptyTree(InstallDir);
    }
    RemoveNotedFolders(J, jv::MadeParents);
}

// The regsvr32 that registers the old component again; empty when none.
std::string OldControlRegSvr32(HKEY J, const std::string& Ocx) {
    if (const DWORD Machine = ReadNumber(J, jv::RegisterOldMachine))
        return RegSvr32ForMachine(static_cast<std::uint16_t>(Machine));
    if (!ReadText(J, jv::RegisterOld).empty()) return RegSvr32ForImage(Ocx);
    return {};
}

// The last line of an undo that put everything back.
std::string RestoredLine(bool HadRecord, bool Registered) {
    if (!HadRecord) return "Setup removed what it had installed: nothing was installed.";
    if (Registered) return "The earlier installation was restored.";
    return "The earlier installation's files, links and record were restored; its component "
           "could not be registered again.";
}

// Puts back what the journal says; the lines tell the outcome.
// Registers the earlier component again where the journal asks for it;
// false, with the line that says why, when regsvr32 refused.
bool RegisterOldAgain(HKEY J, const std::string& Ocx, std::vector<std::string>& Lines) {
    const std::string RegisterOld = OldControlRegSvr32(J, Ocx);
    if (RegisterOld.empty() || !FilePresent(Ocx)) return true;
    const std::string Error =
        RunRegSvr32(RegisterOld, "/s", Ocx, "Error registering the earlier component");
    if (Error.empty()) return true;
    Lines.push_back(Error);
    return false;
}

// The undo of a run that had not committed, in the installation folder
// that is still setup's (Holds has it); the lines tell the outcome.
std::vector<std::string> UndoRun(TRegKey Journal, const std::string& InstallDir,
                                 const std::string& Backup, TFolderHolds& Holds) {
    HKEY J = Journal.get();
    std::vector<std::string> Lines;
    const std::string Ocx = PathIn(InstallDir, Product.OcxFileName);
    UndoLaterSteps(J, InstallDir, Backup, Ocx);
    RestoreHeldFiles(InstallDir, Backup, Lines);
    // Let go, so that the backup can take the folder's place again.
    Holds.ReleaseAll();
    std::vector<std::string> Failed;
    PutBackFiles(J, InstallDir, FilesFolder(Backup, InstallDir), Failed);
    for (const std::string& Failure : Failed)
        Lines.push_back("Could not put back " + Failure);
    const bool HadRecord = static_cast<bool>(OpenMachineKey(JournalKey() + "\\" + jv::Record));
    if (!RestoreSnapshot(J, jv::Record, Product.RecordKey) ||
        !RestoreSnapshot(J, jv::Entry, UninstallEntryKey())) {
        Lines.push_back("Could not put back the record of the installation in the registry.");
        Failed.push_back("");
    }
    const bool Registered = RegisterOldAgain(J, Ocx, Lines);
    if (!Failed.empty()) {
        Lines.push_back(
            "Setup could not put everything back. It tries again the next time it runs.");
        return Lines;
    }
    Journal.reset();
    RemoveTree(Backup);
    DeleteJournal();
    Lines.push_back(RestoredLine(HadRecord, Registered));
    return Lines;
}

// Puts back what the journal says; the lines tell the outcome.
std::vector<std::string> Undo() {
    TRegKey Journal = OpenMachineKey(JournalKey(), KEY_ALL_ACCESS);
    if (!Journal) return {};
    const std::string InstallDir = ReadText(Journal.get(), jv::InstallDir);
    const std::string Backup = ReadText(Journal.get(), jv::Backup);
    if (InstallDir.empty() || Backup.empty()) {
        DeleteJournal();
        return {};
    }
    if (ReadNumber(Journal.get(), jv::Stage) == stCommitted) {
        const std::string Files = FilesFolder(Backup, InstallDir);
        if (DirectoryPresent(Files)) RecycleFolder(Files);
        RemoveTree(Backup);
        DeleteJournal();
        return {};
    }
    // Nothing is loaded from, deleted in or put into a folder that is not
    // setup's any more (a link put in its place): the journal then stays,
    // for an administrator to look at.
    TFolderHolds Holds;
    bool Protected = false;
    const TFolderVerdict Verdict = TakeInstallFolder(InstallDir, Holds, false, Protected);
    if (Verdict != TFolderVerdict::Ok)
        return {"Could not put back \"" + InstallDir + "\": " + VerdictReason(Verdict) + ".",
                "Setup could not put everything back. It tries again the next time it runs."};
    return UndoRun(std::move(Journal), InstallDir, Backup, Holds);
}

// The component in the command of a RunOnce entry of ours: its last quoted
// text. Only the component's path is taken from it; which regsvr32 runs is
// setup's own choice.
std::string ComponentOf(const std::string& Command) {
    const std::string::size_type Close = Command.find_last_of('"');
    if (Close == std::string::npos || Close == 0) return {};
    const std::string::size_type Open = Command.find_last_of('"', Close - 1);
    return Open == std::string::npos ? std::string() : Command.substr(Open + 1, Close - Open - 1);
}

// Registers Ocx when Windows has put it in place; Done tells whether the
// note that asked for it may go.
std::vector<std::string> RegisterReplaced(const std::string& Ocx, bool& Done) {
    Done = !Ocx.empty() && !FilePresent(Ocx + PendingFileSuffix);
    if (!Done || !FilePresent(Ocx)) return {};
    const std::string Error =
        RunRegSvr32(RegSvr32ForImage(Ocx), "/s", Ocx, "Error registering component");
    Done = Error.empty();
    return {Done ? "The component that was replaced at the restart of Windows has been "
                   "registered."
                 : Error};
}

// A component replaced at the restart that Windows has not registered yet
// (nobody has logged on since, who runs RunOnce): setup registers it.
std::vector<std::string> RegisterReplacedControl() {
    std::vector<std::string> Lines;
    bool Done = false;
    if (const TRegKey RunOnce = OpenRunOnce(KEY_READ | KEY_SET_VALUE)) {
        const std::string Command = ReadText(RunOnce.get(), RunOnceValueName().c_str());
        if (!Command.empty()) {
            Lines = RegisterReplaced(ComponentOf(Command), Done);
            if (Done) RegDeleteValueA(RunOnce.get(), RunOnceValueName().c_str());
        }
    }
    if (TRegKey State = OpenMachineKey(SetupStateKey(), KEY_ALL_ACCESS)) {
        const std::string Ocx = ReadText(State.get(), LegacyRegisterValue);
        if (!Ocx.empty()) {
            for (const std::string& Line : RegisterReplaced(Ocx, Done))
                Lines.push_back(Line);
            if (Done) RegDeleteValueA(State.get(), LegacyRegisterValue);
        }
        State.reset();
        DropEmptySetupStateKey();
    }
    return Lines;
}

} // namespace

std::string SetupStateKey() {
    return std::string(Product.RecordKey) + " Setup";
}

TRegKey CreateSetupStateKey() {
    TRegKey Key = CreateMachineKey(SetupStateKey());
    // Explicit, not inherited: whatever the key above lets others do, this
    // one (and the journal in it) only SYSTEM and the Administrators may.
    if (Key && !ProtectSetupKey(Key.get())) Key.reset();
    return Key;
}

void DropEmptySetupStateKey() {
    const TRegKey Key = OpenMachineKey(SetupStateKey());
    if (!Key) return;
    DWORD SubKeys = 0, Values = 0;
    if (RegQueryInfoKeyA(Key.get(), nullptr, nullptr, nullptr, &SubKeys, nullptr, nullptr, &Values,
                         nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        SubKeys == 0 && Values == 0)
        DeleteMachineKey(SetupStateKey());
}

std::string RunOnceValueName() {
    return std::string(Product.Name) + " Setup";
}

TInstallTransaction::TInstallTransaction(const std::string& InstallDir, TFolderHolds& Holds)
    : FInstallDir(StripTrailingBackslash(InstallDir)), FHolds(Holds) {
    if (OpenMachineKey(JournalKey()))
        throw Exception("An earlier run of setup left work unfinished: start setup again.");
    try {
        Begin();
    } catch (...) {
        FHolds.ReleaseAll();
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
        const TRegKey Journal = CreateSetupStateKey() ? CreateMachineKey(JournalKey()) : TRegKey();
        if (!Journal || !ProtectSetupKey(Journal.get()))
            throw Exception("The journal of setup in the registry cannot be made.");
        HKEY J = Journal.get();
        if (!WriteText(J, jv::InstallDir, FInstallDir) || !WriteNumber(J, jv::Stage, stMoving) ||
            !WriteNumber(J, jv::FolderExisted, DirectoryPresent(FInstallDir) ? 1 : 0) ||
            !WriteTexts(J, jv::MadeParents, Missing))
            throw Exception("Failed to set data for the journal of setup");
        Snapshot(J, jv::Record, Product.RecordKey);
        Snapshot(J, jv::Entry, UninstallEntryKey());
        RegFlushKey(J);
    }
    // Each one made is held at once, so that the next is made in it.
    for (const std::string& Parent : Missing)
        if (!MakeInstallFolder(Parent, FHolds)) RaiseLastOSError("Creating the folder", Parent);
    // A fresh folder of a name nobody can know in advance (an existing one
    // is never used), noted before it is made.
    FBackup = CreateUniqueInstallationFolder(
        FInstallDir + ".backup-", [](const std::string& Name) { Note(jv::Backup, Name); });
    if (FBackup.empty()) RaiseLastOSError("Creating the backup folder", FInstallDir + ".backup-");
    SetFileAttributesA(FBackup.c_str(), FILE_ATTRIBUTE_HIDDEN);
}

void TInstallTransaction::KeepInPlace(const std::vector<std::string>& Entries) {
    {
        const TRegKey Journal = OpenJournal();
        PutTexts(Journal.get(), jv::Kept, Entries);
        RegFlushKey(Journal.get());
    }
    const std::string Copies = FBackup + "\\" + HeldFolderName;
    for (const std::string& Entry : Entries) {
        const std::string From = PathIn(FInstallDir, Entry), To = Copies + "\\" + Entry;
        if (!MakeFoldersAbove(To) || !CopyFileA(From.c_str(), To.c_str(), TRUE))
            throw Exception(
                "Could not keep a copy of \"" + From +
                "\", which another program holds open: " + SysErrorMessage(GetLastError()));
    }
}

bool TInstallTransaction::MoveAside(const std::vector<std::string>& Entries, bool WholeFolder,
                                    std::string& Error) {
    const std::string Files = FilesFolder(FBackup, FInstallDir);
    // One rename when nothing else lies in the folder. Windows refuses it
    // while anything inside is open; then each file goes on its own.
    if (WholeFolder) {
        FHolds.Release(FInstallDir);
        if (MoveFileExA(FInstallDir.c_str(), Files.c_str(), 0)) {
            // Made again at once, by setup, and held: its name was free for
            // a moment, and whatever else took it is no folder of setup's.
            if (!MakeInstallFolder(FInstallDir, FHolds))
                RaiseLastOSError("Creating the installation folder", FInstallDir);
            return true;
        }
        if (!FHolds.Hold(FInstallDir))
            RaiseLastOSError("Opening the installation folder", FInstallDir);
    }
    if (!CreateDirectoryA(Files.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        RaiseLastOSError("Creating the folder", Files);
    std::vector<std::string> Kept = ReadTexts(OpenJournal().get(), jv::Kept);
    std::string FailedPath;
    DWORD Code = 0;
    if (MoveInstalledFiles(FInstallDir, Files, Entries, Kept, FailedPath, Code)) return true;
    Error = Code == ERROR_SHARING_VIOLATION || Code == ERROR_LOCK_VIOLATION
                ? InUseLine(FailedPath, HoldersOf(FailedPath))
                : "Could not move \"" + FailedPath + "\" aside: " + SysErrorMessage(Code);
    return false;
}

void TInstallTransaction::WillWrite(const std::vector<std::string>& Entries) {
    // What lies in the backup now existed before the run; the held files
    // existed too and are never removed.
    const TNameSet Before = NameSetOf(FilesBelow(FilesFolder(FBackup, FInstallDir)));
    const TNameSet Kept = NameSetOf(ReadTexts(OpenJournal().get(), jv::Kept));
    std::vector<std::string> New;
    for (const std::string& Entry : Entries) {
        const std::string Key = ComparablePath(Entry, IsAnsiLeadByte);
        if (!Before.Contains(Key) && !Kept.Contains(Key)) New.push_back(Entry);
    }
    const std::string List = Product.InstalledFilesListName;
    Note(jv::WritesList, Contains(Entries, List) ? 1 : 0);
    Note(jv::ListIsNew, Before.Contains(ComparablePath(List, IsAnsiLeadByte)) ? 0 : 1);
    WriteBackupList(WrittenListName, Entries);
    WriteBackupList(NewListName, New);
    Note(jv::Stage, stWriting);
}

void TInstallTransaction::WriteBackupList(const char* Name,
                                          const std::vector<std::string>& Entries) {
    std::string Error;
    if (!WriteFileList(FBackup + "\\" + Name, Entries, Error))
        throw Exception("Cannot create file \"" + FBackup + "\\" + Name + "\". " + Error);
}

void TInstallTransaction::ControlRegistrationChanges(std::uint16_t Machine) {
    if (!ReadNumber(OpenJournal().get(), jv::RegisterOldMachine))
        Note(jv::RegisterOldMachine, Machine);
}

void TInstallTransaction::RegisteringControl() {
    Note(jv::Registered, 1);
}

void TInstallTransaction::ReplacingLinks(const std::string& Folder) {
    Note(jv::ProgramFolder, Folder);
    const std::string Saved = FBackup + "\\" + LinksFolderName;
    if (!CreateDirectoryA(Saved.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        RaiseLastOSError("Creating the folder", Saved);
    const std::string From = AddTrailingBackslash(Folder);
    for (const TProductShortcut& Shortcut : ProductShortcuts())
        if (FilePresent(From + Shortcut.LinkName) &&
            !CopyFileA((From + Shortcut.LinkName).c_str(),
                       (Saved + "\\" + Shortcut.LinkName).c_str(), FALSE))
            RaiseLastOSError("Keeping a copy of the link", From + Shortcut.LinkName);
    Note(jv::Links, 1);
}

void TInstallTransaction::CreatingFolder(const std::string& Folder) {
    NoteAppended(jv::CreatedFolders, Folder);
    Note(jv::Links, 1);
}

void TInstallTransaction::RegisterAfterRestart(const std::string& Ocx) {
    Note(jv::RunOnce, 1);
    // Run by Windows with the rights of the administrator who logs on
    // first after the restart, once the new file is in place: the system's
    // regsvr32 of the new file's architecture, as the system's own view of
    // the registry names it.
    const std::string Command =
        "\"" + RunOnceRegSvr32(ImageMachine(Ocx + PendingFileSuffix)) + "\" /s \"" + Ocx + "\"";
    TRegKey RunOnce;
    const LONG Status =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, RunOnceKey, 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, RunOnce.put(), nullptr);
    if (Status != ERROR_SUCCESS)
        throw EOSError(static_cast<std::uint32_t>(Status), "Opening the registry key",
                       std::string("HKEY_LOCAL_MACHINE\\") + RunOnceKey);
    PutText(RunOnce.get(), RunOnceValueName().c_str(), Command);
    RegFlushKey(RunOnce.get());
}

void TInstallTransaction::Commit() {
    Note(jv::Stage, stCommitted);
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
    // A program the cut-off run started goes first: the extraction program
    // would go on writing into what is being put back.
    std::vector<std::string> Lines = EndLeftChild();
    if (OpenMachineKey(JournalKey())) {
        std::vector<std::string> Undone;
        try {
            Undone = Undo();
        } catch (const std::exception& E) {
            Undone = {std::string("Could not put back the earlier installation: ") + E.what()};
        }
        Lines.insert(Lines.end(), Undone.begin(), Undone.end());
    }
    if (!Lines.empty())
        Lines.insert(Lines.begin(),
                     "An earlier run of setup was interrupted before it had finished.");
    const std::vector<std::string> Registered = RegisterReplacedControl();
    Lines.insert(Lines.end(), Registered.begin(), Registered.end());
    return Lines;
}
