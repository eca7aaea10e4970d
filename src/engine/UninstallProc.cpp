// The uninstall procedure.

#include "engine/Compile.h"

#include "data/InstallData.h"
#include "data/Utils.h"
#include "engine/ShellOps.h"

#include <windows.h>

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
    InstallData->Installed = false;
    InstallData->SaveToRegistry();
    InstallData->Succeeded = true;

    SaveLog();
    WriteLine("Uninstall completed. Press Next to complete uninstall.");
    return true;
}

void TCompiler::UnregisterControl() {
    ShellExecuteAndWait(SystemRegSvr32(), " /u /s \"" + InstallData->OcxFileName() + "\"", "",
                        SW_SHOWNORMAL);
}

void TCompiler::DeleteComponentFiles() {
    RemoveTree(InstallData->InstallDir);
}

void TCompiler::DeleteProgramFolder() {
    // Without a program folder of its own the path would be the Programs
    // folder itself, with every other program's entries in it.
    if (InstallData->StartFolder.find_first_not_of('\\') == std::string::npos) return;
    const std::string Folder =
        AddTrailingBackslash(InstallData->ProgramsDir) + InstallData->StartFolder;
    if (DirectoryPresent(Folder)) RecycleFolder(Folder);
}
