// The install procedure: first installation, update and repair alike, as one
// transaction (see Transaction.h).

#include "engine/Compile.h"

#include "data/FolderRules.h"
#include "data/FolderSafety.h"
#include "data/InstallData.h"
#include "data/InstalledFiles.h"
#include "platform/NameSet.h"
#include "platform/OsError.h"
#include "platform/OwnImage.h"
#include "platform/ScopeExit.h"
#include "data/Extraction.h"
#include "data/Product.h"
#include "data/Protection.h"
#include "platform/Utils.h"
#include "engine/CapExec.h"
#include "engine/HeldFiles.h"
#include "engine/ShellOps.h"
#include "engine/Transaction.h"

#include <windows.h>

#include <iterator>

namespace {


bool FilePresent(const std::string& Path) {
    const DWORD Attributes = GetFileAttributesA(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Comparable(const std::string& Entry) {
    return ComparablePath(Entry, IsAnsiLeadByte);
}

bool StartsWith(std::string_view Line, std::string_view Prefix) {
    return Line.substr(0, Prefix.size()) == Prefix;
}

// The path of unrar's line "unrar: cannot create <path><Ending>".
bool NotCreated(std::string_view Line, std::string_view Ending, std::string& Path) {
    using extraction::CannotCreate, extraction::ErrorPrefix;
    const std::size_t Start = ErrorPrefix.size() + CannotCreate.size();
    if (Line.size() < Start + Ending.size() || !StartsWith(Line, ErrorPrefix) ||
        !StartsWith(Line.substr(ErrorPrefix.size()), CannotCreate) ||
        Line.substr(Line.size() - Ending.size()) != Ending)
        return false;
    Path = Line.substr(Start, Line.size() - Start - Ending.size());
    return true;
}

} // namespace

// What the extraction program reported beyond its exit code.
struct TCompiler::TExtraction {
    std::int32_t ExitCode = -1;
    std::vector<std::string> Pending; // relative: written beside a held file
    std::vector<std::string> InUse;   // full paths that could not be created: held
    std::vector<std::string> Denied;  // full paths that could not be created: access denied
};

TOutcome TCompiler::Install() {
    Abort = false;
    FReport.clear();
    FWasInstalled = FData.Installed;
    FHeld.clear();
    FPending.clear();
    if (auto Line = SystemLine()) {
        WriteLine(*Line);
        WriteLine("");
    }

    WriteLine("Delete old files...");
    // Held from here to the end of the run, so that nothing can take the
    // folder's place; let go on every way out.
    TFolderHolds Holds;
    if (!TakeInstallDir(Holds)) return Ended(TOutcomeKind::Refused);
    // Nothing changes before the archive is known to be readable (and, in
    // a pinned program, to be the one it was built with): its list says
    // what the run writes, and so what an undo removes.
    std::vector<std::string> ListingErrors;
    const bool Listed = ListArchive(FArchiveFiles, &ListingErrors);
    bool HaveList = false;
    const std::vector<std::string> Old = OldFiles(HaveList);
    if (!Listed) {
        WriteLine("Extracting component files...");
        LogLine(ExtractionEcho());
        for (const std::string& Line : ListingErrors)
            LogLine(Line);
        Report("Error extracting component files from archive.");
        Report("Archive damaged.");
        return Ended(TOutcomeKind::Failed);
    }
    if (!AskAboutFilesInUse(Old)) {
        Report("Setup was cancelled. Nothing was changed.");
        return Ended(TOutcomeKind::Cancelled);
    }

    TInstallTransaction Transaction(FData.InstallDir, Holds);
    try {
        if (RemoveOldFiles(Old, HaveList, Transaction) && RunTransaction(Transaction, Holds))
            return Ended(FPending.empty() ? TOutcomeKind::Succeeded : TOutcomeKind::RestartNeeded);
    } catch (...) {
        Fail(Transaction, Holds);
        throw;
    }
    Fail(Transaction, Holds);
    return Ended(TOutcomeKind::Failed);
}

TOutcome TCompiler::Ended(TOutcomeKind Kind) {
    // The design's flag: true only for a run that completed.
    FData.Succeeded = Kind == TOutcomeKind::Succeeded || Kind == TOutcomeKind::RestartNeeded;
    return TOutcome{Kind, FReport};
}

bool TCompiler::TakeInstallDir(TFolderHolds& Holds) {
    bool Protected = false;
    const TFolderVerdict Verdict = TakeInstallFolder(FData.InstallDir, Holds, true, Protected);
    if (Verdict == TFolderVerdict::Ok) {
        if (Protected)
            LogLine("\"" + FData.InstallDir +
                    "\" let other users change what is in it: setup gave it the protection of "
                    "a folder it makes (SYSTEM and the Administrators change it, Users read it).");
        return true;
    }
    // An update of a recorded folder is refused as a destination would be.
    std::string::size_type Start = 0;
    const std::string Text = DestinationRefusalText(Verdict, FData.InstallDir);
    for (std::string::size_type End; (End = Text.find("\r\n", Start)) != std::string::npos;
         Start = End + 2)
        Report(Text.substr(Start, End - Start));
    Report(Text.substr(Start));
    Report("Setup changed nothing.");
    return false;
}

std::vector<std::string> TCompiler::OldFiles(bool& HaveList) {
    std::vector<std::string> Old;
    HaveList = false;
    if (!CleanableInstallDir("Skipped removing old files")) return Old;
    if (!DirectoryPresent(FData.InstallDir)) return Old;
    HaveList = ReadInstalledFiles(FData.InstallDir, Old);
    // Whatever of the archive lies there already would be overwritten: it
    // goes aside too, also without a list (an installation of an older
    // setup, or a first installation into a folder that has our files).
    TNameSet Seen;
    for (const std::string& Entry : Old)
        Seen.Insert(Comparable(Entry));
    std::vector<std::string> More = FArchiveFiles;
    for (const std::string& Entry : MaintenanceEntries())
        More.push_back(Entry);
    for (const std::string& Entry : More)
        if (Seen.Insert(Comparable(Entry))) Old.push_back(Entry);
    Old.push_back(Product.InstalledFilesListName);
    return Old;
}

bool TCompiler::AskAboutFilesInUse(const std::vector<std::string>& Old) {
    if (Old.empty()) return true;
    for (;;) {
        FHeld = FilesInUse(FData.InstallDir, Old);
        if (FHeld.empty()) return true;
        const TInUseChoice Choice = OnFilesInUse ? OnFilesInUse(FHeld) : icContinue;
        if (Choice == icContinue) return true;
        if (Choice == icCancel) return false;
    }
}

bool TCompiler::RemoveOldFiles(const std::vector<std::string>& Old, bool HaveList,
                               TInstallTransaction& Transaction) {
    std::vector<std::string> Kept;
    for (const THeldFile& File : FHeld)
        Kept.push_back(File.Entry);
    if (!Kept.empty()) Transaction.KeepInPlace(Kept);
    FFolderCleared = false;
    if (Old.empty()) {
        FFolderCleared = !DirectoryPresent(FData.InstallDir);
        return true;
    }
    // An earlier installation by the other build registered its component
    // in the other registry view: that registration goes with it.
    const std::string Ocx = FData.OcxFileName();
    const bool OcxHeld = std::any_of(FHeld.begin(), FHeld.end(), [&](const THeldFile& File) {
        return Comparable(File.Entry) == Comparable(Product.OcxFileName);
    });
    FOldControlMachine = FilePresent(Ocx) ? ImageMachine(Ocx) : 0;
    // A held component stays registered as it is; should the program let go
    // of it and the extraction replace it, an undo registers it again.
    if (OcxHeld && FOldControlMachine) Transaction.ControlRegistrationChanges(FOldControlMachine);
    const std::string OldRegSvr32 = RegSvr32ForMachine(FOldControlMachine);
    if (!OcxHeld && FOldControlMachine && Comparable(OldRegSvr32) != Comparable(SystemRegSvr32())) {
        Transaction.ControlRegistrationChanges(FOldControlMachine);
        const std::string Error =
            RunRegSvr32(OldRegSvr32, "/u /s", Ocx, "Error unregistering the earlier component");
        if (!Error.empty()) LogLine(Error);
    }
    const bool WholeFolder =
        HaveList && FHeld.empty() && HoldsOnlyListedFiles(FData.InstallDir, Old);
    std::string Error;
    if (!Transaction.MoveAside(Old, WholeFolder, Error)) {
        Report(Error);
        return false;
    }
    // Moved whole, the folder was made anew: it is empty.
    FFolderCleared = WholeFolder;
    return true;
}

std::vector<std::string> TCompiler::FilesToWrite(bool FolderCleared) const {
    std::vector<std::string> Entries = FArchiveFiles;
    for (const std::string& Entry : MaintenanceEntries())
        Entries.push_back(Entry);
    Entries.push_back(Product.InstalledFilesListName);
    if (FolderCleared || CheckInstallDir(FData.InstallDir) == TFolderVerdict::Ok) return Entries;
    // Nothing was moved out of a folder setup may not clean: only what does
    // not exist yet is the run's to remove again.
    std::vector<std::string> New;
    for (const std::string& Entry : Entries)
        if (!FilePresent(PathIn(FData.InstallDir, Entry))) New.push_back(Entry);
    return New;
}

bool TCompiler::RunTransaction(TInstallTransaction& Transaction, TFolderHolds& Holds) {
    Transaction.WillWrite(FilesToWrite(FFolderCleared));
    // Made here rather than by the extraction program: outside Program
    // Files it gets Program Files' protection instead of what the drive
    // root passes on (any user may change what is in C:\).
    // A folder that is there now was checked and is held (made anew after a
    // whole-folder move): one that appears only now is no folder of setup's,
    // and the making fails on it.
    const std::string Folder = StripTrailingBackslash(FData.InstallDir);
    if (!Holds.Handle(Folder) && CheckInstallDir(Folder) == TFolderVerdict::Ok &&
        !MakeInstallFolder(Folder, Holds))
        RaiseLastOSError("Create the installation folder", Folder);
    WriteLine("Extracting component files...");
    TExtraction Extraction;
    ExtractFiles(Extraction);
    if (!AcceptExtraction(Extraction)) return false;
    if (!CopyMaintenanceFiles() || !RecordInstalledFiles()) return false;
    WriteLine("Completed");

    WriteLine("Registering component in registry...");
    const std::string Ocx = FData.OcxFileName();
    const bool OcxPending = std::any_of(FPending.begin(), FPending.end(), [](const THeldFile& F) {
        return Comparable(F.Entry) == Comparable(Product.OcxFileName);
    });
    if (OcxPending) {
        // Registering now would register the old file that is still there.
        LogLine("The component is in use: Windows registers its new version when it restarts.");
        Transaction.RegisterAfterRestart(Ocx);
    } else {
        // Registering the new component changes what the old one registered.
        if (FOldControlMachine) Transaction.ControlRegistrationChanges(FOldControlMachine);
        Transaction.RegisteringControl();
        const std::string RegisterError = RegisterControl();
        if (!RegisterError.empty()) {
            Report(RegisterError);
            return false;
        }
    }
    WriteLine("Completed");

    WriteLine("Create Shortcuts in Start menu folder...");
    if (!CreateShortcuts(Transaction)) return false;
    WriteLine("Completed");

    FData.Installed = true;
    FData.SaveToRegistry();
    if (!FinishAtRestart()) return false;

    WriteLine("");
    WriteLine("All operations done. Press Next to complete installation.");
    // Only now is the new installation final: up to here any failure, a
    // hook's error included, puts the earlier one back.
    Transaction.Commit();
    return true;
}

void TCompiler::Fail(TInstallTransaction& Transaction, TFolderHolds& Holds) {
    // The undo renames and removes the folders setup holds.
    Holds.ReleaseAll();
    for (const std::string& Line : Transaction.Rollback())
        Report(Line);
    FData.Installed = FWasInstalled;
}

bool TCompiler::FinishAtRestart() {
    // The new content of each held file replaces it when Windows starts next;
    // a held file that the new version no longer has goes then.
    const std::string Base = AddTrailingBackslash(FData.InstallDir);
    for (const THeldFile& File : FPending)
        if (!MoveFileExA((File.Path + PendingFileSuffix).c_str(), File.Path.c_str(),
                         MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)) {
            Report("Could not arrange for \"" + File.Path +
                   "\" to be replaced at the restart: " + SysErrorMessage(GetLastError()));
            return false;
        }
    TNameSet Written;
    for (const std::string& Entry : FArchiveFiles)
        Written.Insert(Comparable(Entry));
    for (const THeldFile& File : FHeld)
        if (!Written.Contains(Comparable(File.Entry)))
            MoveFileExA(File.Path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return true;
}

std::vector<std::string> TCompiler::MaintenanceEntries() {
    const std::string Folder = std::string(MaintenanceFolderName) + "\\";
    return {Folder + OwnProgramName(), Folder + "version"};
}

bool TCompiler::CopyMaintenanceFiles() {
    // What uninstalling needs once the downloaded setup is gone: the program
    // that runs (from the file it holds since it started, not by name from
    // a folder a user may change) and the version text it read at start.
    const std::string Folder = FData.MaintenanceFolder();
    CreateDirectoryA(Folder.c_str(), nullptr);
    std::string Program;
    const bool Read = ReadOwnImage(Program);
    const std::string Targets[] = {FData.MaintenanceProgram(), Folder + "\\version"};
    const std::string* Contents[] = {&Program, &FData.VersionFileText};
    for (int I = 0; I < 2; ++I)
        if ((I == 0 && !Read) || !ReplaceFileWith(Targets[I], *Contents[I])) {
            Report("Could not write \"" + Targets[I] + "\": " + SysErrorMessage(GetLastError()) +
                   " The installation cannot be removed without the downloaded setup.");
            return false;
        }
    return true;
}

bool TCompiler::RecordInstalledFiles() {
    std::vector<std::string> Entries = FArchiveFiles;
    for (const std::string& Entry : MaintenanceEntries())
        Entries.push_back(Entry);
    // Ours too: until the restart the new content lies beside the old, and
    // a held file the new version dropped is still there.
    TNameSet Listed;
    for (const std::string& Entry : Entries)
        Listed.Insert(Comparable(Entry));
    for (const THeldFile& File : FPending)
        Entries.push_back(File.Entry + PendingFileSuffix);
    for (const THeldFile& File : FHeld)
        if (!Listed.Contains(Comparable(File.Entry))) Entries.push_back(File.Entry);
    std::string Error;
    if (WriteInstalledFiles(FData.InstallDir, Entries, Error)) return true;
    Report("Could not write the list of installed files \"" +
           InstalledFilesListPath(FData.InstallDir) + "\": " + Error);
    return false;
}

std::string TCompiler::ExtractionEcho() const {
    return std::string("unrar.exe ") + extraction::ExtractSwitches + " data.arc *.* \"" +
           AddTrailingBackslash(FData.InstallDir) + "\"";
}

void TCompiler::ExtractFiles(TExtraction& Result) {
    const std::string Destination = AddTrailingBackslash(FData.InstallDir);
    LogLine(ExtractionEcho());

    const std::string Parameters =
        std::string(extraction::ExtractSwitches) + " data.arc *.*" + " \"" + Destination + "\"";
    const std::string Folder = InstallerFolder();
    if (Folder.empty()) return;
    const int Total = static_cast<int>(FArchiveFiles.size());
    int Done = 0;
    if (OnProgress) OnProgress(Done, Total);
    TCapturedIdleEvent Idle;
    if (OnIdle) Idle = [this](void*) { OnIdle(); };
    // Started by full path so that no other unrar.exe on the search path
    // (a downloads folder, say) can stand in for ours.
    Result.ExitCode = RunCaptured(
        "unrar.exe", Parameters, Folder,
        [this, &Done, Total, &Result](const std::string& Line, bool& AbortFlag) {
            Output(Line, AbortFlag);
            std::string Path;
            if (StartsWith(Line, extraction::Pending))
                Result.Pending.push_back(Line.substr(extraction::Pending.size()));
            else if (NotCreated(Line, extraction::InUseEnding, Path))
                Result.InUse.push_back(Path);
            else if (NotCreated(Line, extraction::AccessDeniedEnding, Path))
                Result.Denied.push_back(Path);
            else if (!IsExtractedFileLine(Line))
                return;
            if (OnProgress) OnProgress(++Done, Total);
        },
        Idle, false, PathIn(Folder, "unrar.exe"));
}

bool TCompiler::AcceptExtraction(const TExtraction& Result) {
    const std::string Base = AddTrailingBackslash(FData.InstallDir);
    std::vector<std::string> Taken; // held, but not by the user's leave
    for (const std::string& Entry : Result.Pending) {
        const auto Agreed = std::find_if(FHeld.begin(), FHeld.end(), [&](const THeldFile& File) {
            return Comparable(File.Entry) == Comparable(Entry);
        });
        if (Agreed != FHeld.end())
            FPending.push_back(*Agreed);
        else
            Taken.push_back(Base + Entry);
    }
    const bool Pending = Result.ExitCode == extraction::ecPending;
    if ((Result.ExitCode == 0 || Pending) && Taken.empty()) {
        for (const THeldFile& File : FPending)
            LogLine(RestartLine(File.Path, File.Holders));
        return true;
    }
    // A file that another program holds, or that setup may not write, is no
    // damaged archive: the log says which file it is and why.
    Taken.insert(Taken.end(), Result.InUse.begin(), Result.InUse.end());
    for (const std::string& Path : Taken)
        Report(InUseLine(Path, HoldersOf(Path)));
    for (const std::string& Path : Result.Denied)
        Report("\"" + Path + "\": access denied.");
    Report("Error extracting component files from archive.");
    if (Abort)
        Report("Setup was cancelled.");
    else if (Pending || !Result.InUse.empty() || !Result.Denied.empty())
        Report("The archive is intact: setup could not write these files.");
    else
        Report("Archive damaged.");
    return false;
}

bool TCompiler::IsExtractedFileLine(const std::string& Line) {
    // Folders are "Creating", kept files "Skipping".
    return StartsWith(Line, extraction::Extracting);
}

std::string TCompiler::RegisterControl() {
    return RunRegSvr32(SystemRegSvr32(), "/s", FData.OcxFileName(), "Error registering component");
}

std::string TCompiler::CreateProgramFolder(TInstallTransaction& Transaction) {
    std::string Path = FData.ProgramsDir;
    std::string Rest = FData.StartFolder;
    for (;;) {
        const std::string::size_type Slash = Rest.find('\\');
        const std::string Level = Rest.substr(0, Slash);
        Path = PathIn(Path, Level);
        if (!DirectoryPresent(Path)) {
            Transaction.CreatingFolder(Path);
            if (!CreateDirectoryA(Path.c_str(), nullptr))
                RaiseLastOSError("Create the program folder", Path);
        }
        if (Slash == std::string::npos) break;
        Rest.erase(0, Slash + 1);
    }
    return Path;
}

void TCompiler::RemoveOldLinks(const std::string& Folder) {
    // Only our own link names: the folder may be shared with other programs.
    for (const TProductShortcut& Shortcut : ProductShortcuts())
        DeleteFileA((Folder + Shortcut.LinkName).c_str());
}

bool TCompiler::CreateShortcuts(TInstallTransaction& Transaction) {
    TShortcutSpec Spec;
    std::string Checked;
    if (!UsableProgramFolder("Skipped creating shortcuts", Checked)) return true;
    std::string Folder = CreateProgramFolder(Transaction);
    // The links appear in this window as they are written. It is opened
    // by the desktop's shell, as the user at the desktop, or not at all.
    if (ShowProgramFolder && !OpenFolderWindow(Folder, nullptr))
        LogLine("The program folder was not shown in a window: the desktop's shell did not "
                "answer.");
    Folder = AddTrailingBackslash(Folder);
    Transaction.ReplacingLinks(Folder);
    RemoveOldLinks(Folder);

    const std::string Base = AddTrailingBackslash(FData.InstallDir);
    for (const TProductShortcut& Shortcut : ProductShortcuts()) {
        Spec.Target = Base + Shortcut.Target;
        const std::string Link = Folder + Shortcut.LinkName;
        const HRESULT Result = CreateShellLink(Spec, Link);
        if (FAILED(Result)) {
            Report("Could not create the link \"" + Link + "\": " + HResultText(Result));
            return false;
        }
    }
    return true;
}
