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
    const std::string UnregisterError = UnregisterControl();
    WriteLine(UnregisterError.empty() ? "Completed" : UnregisterError);

    WriteLine("Delete component files...");
    const bool FilesGone = DeleteComponentFiles();
    WriteLine("Completed");

    WriteLine("Delete Start menu Program Folder...");
    const bool LinksGone = DeleteProgramFolder();
    WriteLine("Completed");

    WriteLine("");
    // While anything of ours is left, the record keeps the maintenance page
    // within reach to finish the job.
    if (FilesGone && LinksGone) {
        FData.Installed = false;
        FData.SaveToRegistry();
    }
    FData.Succeeded = UnregisterError.empty() && FilesGone && LinksGone;

    SaveLog();
    WriteLine("Uninstall completed. Press Next to complete uninstall.");
    return true;
}

std::string TCompiler::UnregisterControl() {
    // Without the file there is nothing to unregister (a second uninstall).
    const std::string Ocx = FData.OcxFileName();
    const DWORD Attributes = GetFileAttributesA(Ocx.c_str());
    if (Attributes == INVALID_FILE_ATTRIBUTES || (Attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    return RunRegSvr32("/u /s", Ocx, "Error unregistering component");
}

bool TCompiler::DeleteComponentFiles() {
    if (!CleanableInstallDir("Skipped removing component files")) return true;
    const std::string& Folder = FData.InstallDir;
    if (!DirectoryPresent(Folder)) return true;
    // Only the files setup installed go. An installation made before setup
    // kept a list has the same files as the archive it carries (maintenance
    // runs only for the version recorded).
    std::vector<std::string> Entries;
    if (!ReadInstalledFiles(Folder, Entries)) {
        if (!ListArchive(Entries)) {
            Output("Kept every file in \"" + Folder +
                       "\": there is no list of installed files and data.arc could not be listed.",
                   Abort);
            return false;
        }
        // Setup's own copy is not in the archive, but ours all the same.
        for (const std::string& Entry : MaintenanceEntries())
            Entries.push_back(Entry);
    }
    // The maintenance copy that started this run is still running: its
    // files go once it has ended (see the hand-over).
    const TRemovalReport Report = DeleteInstalledFiles(
        Folder, Entries, FData.MaintenanceDeferred ? MaintenanceEntries() : std::vector<std::string>{});
    for (const std::string& Failure : Report.Failed)
        Output("Could not delete " + Failure, Abort);
    if (Report.Kept > 0)
        Output("Kept " + FilesText(Report.Kept) + " that setup did not install in \"" + Folder +
                   "\".",
               Abort);
    return Report.Failed.empty();
}

bool TCompiler::DeleteProgramFolder() {
    // Only our own links go; the folder goes only when nothing else is in it
    // (it may be shared with other programs).
    std::string Folder;
    if (!UsableProgramFolder("Skipped removing the program folder", Folder)) return true;
    if (!DirectoryPresent(Folder)) return true;
    std::vector<std::string> Links;
    for (const TProductShortcut& Shortcut : ProductShortcuts())
        Links.push_back(Shortcut.LinkName);
    std::vector<std::string> Left;
    RecycleInstalledFiles(Folder, Links, &Left);
    for (const std::string& Link : Left)
        Output("Could not delete \"" + Link + "\": it could not be moved to the Recycle Bin.",
               Abort);
    RecycleEmptyFolder(Folder);
    return Left.empty();
}
