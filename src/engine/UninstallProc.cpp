// The uninstall procedure.

#include "engine/Compile.h"

#include "data/InstallData.h"
#include "data/Product.h"
#include "data/InstalledFiles.h"
#include "data/Utils.h"
#include "engine/ShellOps.h"

#include <windows.h>
#include <shellapi.h>

namespace {

// Moves one empty folder to the Recycle Bin, as the whole program folder
// used to go there.
void RecycleEmptyFolder(const std::string& Folder) {
    std::vector<std::string> Names;
    if (CollectFileNames(AddTrailingBackslash(Folder) + "*", faAnyFile, Names) && !Names.empty())
        return;
    std::string From = Folder;
    From.append(2, '\0');
    SHFILEOPSTRUCTA Operation{};
    Operation.wFunc = FO_DELETE;
    Operation.pFrom = From.c_str();
    Operation.fFlags =
        FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    SHFileOperationA(&Operation);
}

std::string FilesText(std::size_t Count) {
    return std::to_string(Count) + (Count == 1 ? " file" : " files");
}

} // namespace

bool TCompiler::Uninstall() {
    Abort = false;
    // The system line goes to the log only; its leading SOH marks it as the
    // uninstaller's.
    if (auto Line = SystemLine()) {
        Output("\x01" + *Line, Abort);
        Output("", Abort);
    }

    WriteLine("Unregistering component in registry...");
    UnregisterControl();
    WriteLine("Completed");

    WriteLine("Delete component files...");
    DeleteComponentFiles();
    WriteLine("Completed");

    WriteLine("Delete Start menu Program Folder...");
    DeleteProgramFolder();
    WriteLine("Completed");

    WriteLine("");
    FData.Installed = false;
    FData.SaveToRegistry();
    FData.Succeeded = true;

    SaveLog();
    WriteLine("Uninstall completed. Press Next to complete uninstall.");
    return true;
}

void TCompiler::UnregisterControl() {
    ShellExecuteAndWait(SystemRegSvr32(), " /u /s \"" + FData.OcxFileName() + "\"", "",
                        SW_SHOWNORMAL);
}

void TCompiler::DeleteComponentFiles() {
    if (!CleanableInstallDir("Skipped removing component files")) return;
    const std::string& Folder = FData.InstallDir;
    if (!DirectoryPresent(Folder)) return;
    // Only the files setup installed go. An installation made before setup
    // kept a list has the same files as the archive it carries (maintenance
    // runs only for the version recorded).
    std::vector<std::string> Entries;
    if (!ReadInstalledFiles(Folder, Entries) && !ListArchive(Entries)) {
        Output("Kept every file in \"" + Folder +
                   "\": there is no list of installed files and data.arc could not be listed.",
               Abort);
        return;
    }
    const TRemovalReport Report = DeleteInstalledFiles(Folder, Entries);
    for (const std::string& Failure : Report.Failed)
        Output("Could not delete " + Failure, Abort);
    if (Report.Kept > 0)
        Output("Kept " + FilesText(Report.Kept) + " that setup did not install in \"" + Folder +
                   "\".",
               Abort);
}

void TCompiler::DeleteProgramFolder() {
    // Only our own links go; the folder goes only when nothing else is in it
    // (it may be shared with other programs).
    std::string Folder;
    if (!UsableProgramFolder("Skipped removing the program folder", Folder)) return;
    if (!DirectoryPresent(Folder)) return;
    std::vector<std::string> Links;
    for (const TProductShortcut& Shortcut : ProductShortcuts())
        Links.push_back(Shortcut.LinkName);
    RecycleInstalledFiles(Folder, Links);
    RecycleEmptyFolder(Folder);
}
