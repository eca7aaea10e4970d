// The install procedure: first installation, update and repair alike.

#include "engine/Compile.h"

#include "data/FolderSafety.h"
#include "data/InstallData.h"
#include "data/InstalledFiles.h"
#include "data/OsError.h"
#include "data/Product.h"
#include "data/Utils.h"
#include "engine/CapExec.h"
#include "engine/ShellOps.h"

#include <windows.h>

#include <iterator>

namespace {

const char* const ExtractSwitches = "x -c- -cfg- -dh -idp -o+ -r -y ";

} // namespace

bool TCompiler::Install() {
    Abort = false;
    if (auto Line = SystemLine()) {
        WriteLine(*Line);
        WriteLine("");
    }

    WriteLine("Delete old files...");
    RemoveOldFiles();

    WriteLine("Extracting component files...");
    if (!ExtractFiles()) {
        WriteLine("Error extracting component files from archive.");
        WriteLine("Archive damaged.");
        FData.Succeeded = false;
        return false;
    }
    const bool MaintenanceCopied = CopyMaintenanceFiles();
    RecordInstalledFiles();
    WriteLine("Completed");

    // A failed registration does not stop the run: with the links and the
    // record in place the user can repair later.
    WriteLine("Registering component in registry...");
    const std::string RegisterError = RegisterControl();
    WriteLine(RegisterError.empty() ? "Completed" : RegisterError);

    WriteLine("Create Shortcuts in Start menu folder...");
    CreateShortcuts();
    WriteLine("Completed");

    FData.Installed = true;
    FData.SaveToRegistry();

    WriteLine("");
    WriteLine("All operations done. Press Next to complete installation.");
    FData.Succeeded = RegisterError.empty() && MaintenanceCopied;
    return true;
}

void TCompiler::RemoveOldFiles() {
    // Only what an earlier installation recorded goes: the folder may hold
    // files of the user's or of other programs. Without a record the
    // extraction simply overwrites the product's own files.
    if (!CleanableInstallDir("Skipped removing old files")) return;
    const std::string& Folder = FData.InstallDir;
    std::vector<std::string> Entries;
    if (!ReadInstalledFiles(Folder, Entries)) return;
    RecycleInstalledFiles(Folder, Entries);
    // It names files that are gone now; a new one follows the extraction.
    DeleteFileA(InstalledFilesListPath(Folder).c_str());
}

std::vector<std::string> TCompiler::MaintenanceEntries() {
    const std::string Folder = std::string(MaintenanceFolderName) + "\\";
    return {Folder + OwnProgramName(), Folder + "version"};
}

bool TCompiler::CopyMaintenanceFiles() {
    // What uninstalling needs once the downloaded setup is gone: this
    // program and the version file it read at start.
    const std::string Folder = FData.MaintenanceFolder();
    CreateDirectoryA(Folder.c_str(), nullptr);
    const std::string Sources[] = {AddTrailingBackslash(InstallerFolder()) + OwnProgramName(),
                                   "version"};
    const std::string Targets[] = {FData.MaintenanceProgram(), Folder + "\\version"};
    for (int I = 0; I < 2; ++I)
        if (!CopyFileA(Sources[I].c_str(), Targets[I].c_str(), FALSE)) {
            Output("Could not copy \"" + Sources[I] + "\" to \"" + Targets[I] +
                       "\": " + SysErrorMessage(GetLastError()) +
                       " The installation cannot be removed without the downloaded setup.",
                   Abort);
            return false;
        }
    return true;
}

void TCompiler::RecordInstalledFiles() {
    std::vector<std::string> Entries = FArchiveFiles;
    if (!FArchiveListed && !ListArchive(Entries)) {
        Output("Could not list the files of data.arc: no list of installed files was written.",
               Abort);
        return;
    }
    for (const std::string& Entry : MaintenanceEntries())
        Entries.push_back(Entry);
    std::string Error;
    if (!WriteInstalledFiles(FData.InstallDir, Entries, Error))
        Output("Could not write the list of installed files \"" +
                   InstalledFilesListPath(FData.InstallDir) + "\": " + Error,
               Abort);
}

bool TCompiler::ExtractFiles() {
    const std::string Destination = AddTrailingBackslash(FData.InstallDir);
    Output(std::string("unrar.exe ") + ExtractSwitches + " data.arc *.* \"" + Destination + "\"",
           Abort);

    const std::string Parameters =
        std::string(ExtractSwitches) + " data.arc *.*" + " \"" + Destination + "\"";
    const std::string Folder = InstallerFolder();
    if (Folder.empty()) return false;
    // The list first: it gives the progress its measure, and after a good
    // extraction it becomes the record of installed files.
    FArchiveListed = ListArchive(FArchiveFiles);
    const int Total = FArchiveListed ? static_cast<int>(FArchiveFiles.size()) : 0;
    int Done = 0;
    if (OnProgress) OnProgress(Done, Total);
    TCapturedIdleEvent Idle;
    if (OnIdle) Idle = [this](void*) { OnIdle(); };
    // Started by full path so that no other unrar.exe on the search path
    // (a downloads folder, say) can stand in for ours.
    const std::int32_t ExitCode = RunCaptured(
        "unrar.exe", Parameters, Folder,
        [this, &Done, Total](const std::string& Line, bool& AbortFlag) {
            Output(Line, AbortFlag);
            if (OnProgress && IsExtractedFileLine(Line)) OnProgress(++Done, Total);
        },
        Idle, false, AddTrailingBackslash(Folder) + "unrar.exe");
    return ExitCode == 0;
}

bool TCompiler::IsExtractedFileLine(const std::string& Line) {
    // "Extracting  <path>": folders are "Creating", kept files "Skipping".
    return Line.rfind("Extracting  ", 0) == 0;
}

std::string TCompiler::RegisterControl() {
    return RunRegSvr32("/s", FData.OcxFileName(), "Error registering component");
}

std::string TCompiler::CreateProgramFolder() {
    std::string Path = FData.ProgramsDir;
    std::string Rest = FData.StartFolder;
    for (;;) {
        const std::string::size_type Slash = Rest.find('\\');
        const std::string Level = Rest.substr(0, Slash);
        Path = AddTrailingBackslash(Path) + Level;
        if (!DirectoryPresent(Path) && !CreateDirectoryA(Path.c_str(), nullptr)) RaiseLastOSError();
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

void TCompiler::CreateShortcuts() {
    TShortcutSpec Spec;
    std::string Checked;
    if (!UsableProgramFolder("Skipped creating shortcuts", Checked)) return;
    std::string Folder = CreateProgramFolder();
    // The links appear in this window as they are written.
    if (ShowProgramFolder) OpenFolderWindow(Folder, nullptr);
    Folder = AddTrailingBackslash(Folder);
    RemoveOldLinks(Folder);

    const std::string Base = AddTrailingBackslash(FData.InstallDir);
    for (const TProductShortcut& Shortcut : ProductShortcuts()) {
        Spec.Target = Base + Shortcut.Target;
        CreateShellLink(Spec, Folder + Shortcut.LinkName);
    }
}
