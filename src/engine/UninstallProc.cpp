// The uninstall procedure.

#include "engine/Compile.h"

#include "data/FolderSafety.h"
#include "data/InstallData.h"
#include "platform/OsError.h"
#include "data/Product.h"
#include "data/InstalledFiles.h"
#include "platform/Utils.h"
#include "engine/ShellOps.h"

#include <windows.h>

namespace {

// Moves one empty folder to the Recycle Bin, as the whole program folder
// used to go there.
void RecycleEmptyFolder(const std::string& Folder) {
    std::vector<std::string> Names;
    if (CollectFileNames(PathIn(Folder, "*"), faAnyFile, Names) && !Names.empty())
        return;
    RecycleFolder(Folder);
}

// Why the drive or network share of Path cannot be reached; empty when it can.
std::string UnreachableReason(const std::string& Path) {
    std::string Root;
    if (Path.size() >= 2 && Path[1] == ':') {
        Root = Path.substr(0, 2) + "\\";
    } else if (Path.rfind("\\\\", 0) == 0) {
        // "\\server\share\"
        const std::string::size_type Server = Path.find('\\', 2);
        if (Server == std::string::npos) return {};
        const std::string::size_type Share = Path.find('\\', Server + 1);
        Root = AddTrailingBackslash(Share == std::string::npos ? Path : Path.substr(0, Share));
    } else {
        return {};
    }
    if (GetFileAttributesA(Root.c_str()) != INVALID_FILE_ATTRIBUTES) return {};
    const std::string Text = SysErrorMessage(GetLastError());
    return Text.empty() ? "the drive or network share is not available." : Text;
}

std::string FilesText(std::size_t Count) {
    return std::to_string(Count) + (Count == 1 ? " file" : " files");
}

} // namespace

TOutcome TCompiler::Uninstall() {
    Abort = false;
    FReport.clear();
    // The system line goes to the log only; its leading SOH marks it as the
    // uninstaller's.
    if (auto Line = SystemLine()) {
        LogLine("\x01" + *Line);
        LogLine("");
    }

    WriteLine("Unregistering component in registry...");
    const std::string UnregisterError = UnregisterControl();
    if (UnregisterError.empty())
        WriteLine("Completed");
    else
        Report(UnregisterError);

    // While the component stays registered, everything else stays too: the
    // record keeps the maintenance page within reach to try again.
    const bool Keep = !UnregisterError.empty();
    WriteLine("Delete component files...");
    if (Keep)
        Report("Kept the component files and the program folder: the component is still "
               "registered.",
               false);
    const bool FilesGone = !Keep && DeleteComponentFiles();
    WriteLine("Completed");

    WriteLine("Delete Start menu Program Folder...");
    const bool LinksGone = !Keep && DeleteProgramFolder();
    WriteLine("Completed");

    WriteLine("");
    // While anything of ours is left, the record keeps the maintenance page
    // within reach to finish the job.
    if (FilesGone && LinksGone) {
        FData.Installed = false;
        FData.SaveToRegistry();
    }
    const TOutcome Outcome =
        Ended(FilesGone && LinksGone ? TOutcomeKind::Succeeded : TOutcomeKind::Failed);

    SaveLog();
    WriteLine("Uninstall completed. Press Next to complete uninstall.");
    return Outcome;
}

std::string TCompiler::UnregisterControl() {
    // Without the file there is nothing to unregister (a second uninstall).
    const std::string Ocx = FData.OcxFileName();
    const DWORD Attributes = GetFileAttributesA(Ocx.c_str());
    if (Attributes == INVALID_FILE_ATTRIBUTES || (Attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    // regsvr32 loads the component with setup's rights: never from a folder
    // that is not setup's (a link in its place, another owner's), and the
    // folder is held while it runs.
    TFolderHolds Holds;
    bool Protected = false;
    const TFolderVerdict Verdict = TakeInstallFolder(FData.InstallDir, Holds, false, Protected);
    if (Verdict != TFolderVerdict::Ok)
        return "Did not unregister the component: \"" + FData.InstallDir +
               "\" is not a folder setup may use (" + VerdictReason(Verdict) + ").";
    return RunRegSvr32(RegSvr32ForImage(Ocx), "/u /s", Ocx, "Error unregistering component");
}

bool TCompiler::DeleteComponentFiles() {
    // A folder setup may not clean, or one it cannot reach, is no folder
    // that is gone: the record stays until the files have really gone.
    if (!CleanableInstallDir("Skipped removing component files")) return false;
    const std::string& Folder = FData.InstallDir;
    if (const std::string Why = UnreachableReason(Folder); !Why.empty()) {
        Report("Could not reach \"" + Folder + "\": " + Why, false);
        return false;
    }
    if (!DirectoryPresent(Folder)) return true;
    // Only the files setup installed go. An installation made before setup
    // kept a list has the same files as the archive it carries (maintenance
    // runs only for the version recorded).
    std::vector<std::string> Entries;
    if (!ReadInstalledFiles(Folder, Entries)) {
        if (!ListArchive(Entries)) {
            Report("Kept every file in \"" + Folder +
                       "\": there is no list of installed files and data.arc could not be listed.",
                   false);
            return false;
        }
        // Setup's own copy is not in the archive, but ours all the same.
        for (const std::string& Entry : MaintenanceEntries())
            Entries.push_back(Entry);
    }
    // The maintenance copy that started this run is still running: its
    // files go once it has ended (see the hand-over).
    const TRemovalReport Removal = DeleteInstalledFiles(
        Folder, Entries,
        FData.MaintenanceDeferred ? MaintenanceEntries() : std::vector<std::string>{});
    for (const std::string& Failure : Removal.Failed)
        Report("Could not delete " + Failure, false);
    if (Removal.Kept > 0)
        LogLine("Kept " + FilesText(Removal.Kept) + " that setup did not install in \"" + Folder +
                "\".");
    return Removal.Failed.empty();
}

bool TCompiler::DeleteProgramFolder() {
    // Only our own links go; the folder goes only when nothing else is in it
    // (it may be shared with other programs). The links are where the
    // account that installed put them: the all-users Start menu when that
    // was LocalSystem, the user's own otherwise; both are looked at.
    std::string Folder;
    if (!UsableProgramFolder("Skipped removing the program folder", Folder)) return true;
    std::vector<std::string> Folders = {Folder};
    const std::string Other = FData.OtherProgramsDir;
    if (!Other.empty() && CheckDestinationText(Other, IsAnsiLeadByte) == TFolderVerdict::Ok &&
        ComparablePath(Other, IsAnsiLeadByte) != ComparablePath(FData.ProgramsDir, IsAnsiLeadByte))
        Folders.push_back(PathIn(Other, FData.StartFolder));
    std::vector<std::string> Links;
    for (const TProductShortcut& Shortcut : ProductShortcuts())
        Links.push_back(Shortcut.LinkName);
    std::vector<std::string> Left;
    for (const std::string& Path : Folders) {
        if (!DirectoryPresent(Path)) continue;
        RecycleInstalledFiles(Path, Links, &Left);
        RecycleEmptyFolder(Path);
    }
    for (const std::string& Link : Left)
        Report("Could not delete \"" + Link + "\": it could not be moved to the Recycle Bin.",
               false);
    return Left.empty();
}
