// The install procedure: first installation, update and repair alike.

#include "engine/Compile.h"

#include "data/InstallData.h"
#include "data/OsError.h"
#include "data/Utils.h"
#include "engine/CapExec.h"
#include "engine/ShellOps.h"

#include <windows.h>

#include <iterator>

namespace {

struct TShortcut {
    const char* Target; // relative to the installation folder
    const char* LinkName;
};

const TShortcut Shortcuts[] = {
    {"Demos\\Compiled\\VCDemo.exe", "Morvane ActiveX VC++ 6 Compiled Demo.lnk"},
    {"Demos\\Compiled\\VBDemo.exe", "Morvane ActiveX VB6 Compiled Demo.lnk"},
    {"Demos\\Compiled\\CSDemo.exe", "Morvane ActiveX .NET Compiled Demo.lnk"},
    {"Demos\\CSDemo\\CSDemo.sln", "Morvane ActiveX C# Demo.lnk"},
    {"Demos\\VBNetDemo\\VBNetDemo.sln", "Morvane ActiveX VB.NET Demo.lnk"},
    {"Demos\\VBDemo\\VBDemo.vbp", "Morvane ActiveX VB6 Demo.lnk"},
    {"Demos\\VCDemo\\VCDemo.dsw", "Morvane ActiveX VC++ 6 Demo.lnk"},
    {"Help\\ZelkX.HLP", "Morvane ActiveX Help.lnk"},
    {"Morvane.url", "Morvane Web Site.lnk"},
};

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
        InstallData->Succeeded = false;
        return false;
    }
    WriteLine("Completed");

    WriteLine("Registering component in registry...");
    RegisterControl();
    WriteLine("Completed");

    WriteLine("Create Shortcuts in Start menu folder...");
    CreateShortcuts();
    WriteLine("Completed");

    InstallData->Installed = true;
    InstallData->SaveToRegistry();

    WriteLine("");
    WriteLine("All operations done. Press Next to complete installation.");
    InstallData->Succeeded = true;
    return true;
}

void TCompiler::RemoveOldFiles() {
    // An empty destination would make the mask "\*.*": the root of the
    // current drive.
    if (InstallData->InstallDir.empty()) return;
    RecycleFolder(InstallData->InstallDir);
}

bool TCompiler::ExtractFiles() {
    const std::string Destination = AddTrailingBackslash(InstallData->InstallDir);
    Output(std::string("unrar.exe ") + ExtractSwitches + " data.arc *.* \"" + Destination + "\"",
           Abort);

    const std::string Parameters =
        std::string(ExtractSwitches) + " data.arc *.*" + " \"" + Destination + "\"";
    const std::string Folder = InstallerFolder();
    if (Folder.empty()) return false;
    // Started by full path so that no other unrar.exe on the search path
    // (a downloads folder, say) can stand in for ours.
    const std::int32_t ExitCode = RunCaptured(
        "unrar.exe", Parameters, Folder,
        [this](const std::string& Line, bool& AbortFlag) { Output(Line, AbortFlag); }, nullptr,
        false, AddTrailingBackslash(Folder) + "unrar.exe");
    return ExitCode == 0;
}

void TCompiler::RegisterControl() {
    ShellExecuteAndWait(SystemRegSvr32(), " /s \"" + InstallData->OcxFileName() + "\"", "",
                        SW_SHOWNORMAL);
}

std::string TCompiler::CreateProgramFolder() {
    std::string Path = InstallData->ProgramsDir;
    std::string Rest = InstallData->StartFolder;
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
    std::vector<std::string> Names;
    if (!CollectFileNames(Folder + "*.*", 0, Names)) return;
    for (const std::string& Name : Names)
        DeleteFileA((Folder + Name).c_str());
}

void TCompiler::CreateShortcuts() {
    TShortcutSpec Spec;
    std::string Folder = CreateProgramFolder();
    // The links appear in this window as they are written.
    OpenFolderWindow(Folder, nullptr);
    Folder = AddTrailingBackslash(Folder);
    RemoveOldLinks(Folder);

    const std::string Base = AddTrailingBackslash(InstallData->InstallDir);
    for (const TShortcut& Shortcut : Shortcuts) {
        Spec.Target = Base + Shortcut.Target;
        CreateShellLink(Spec, Folder + Shortcut.LinkName);
    }
}
