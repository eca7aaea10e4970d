#include "app/SilentRun.h"

#include "app/ExitCodes.h"
#include "app/Procedure.h"
#include "data/CmdLineUtils.h"
#include "data/FolderSafety.h"
#include "data/InstallData.h"
#include "data/Product.h"
#include "engine/Compile.h"
#include "platform/Error.h"
#include "platform/OsError.h"
#include "platform/Owners.h"
#include "platform/Utils.h"

#include <windows.h>

namespace {

// The lines of a message box text, for the log.
void AppendLines(std::vector<std::string>& Lines, const std::string& Text) {
    std::size_t Start = 0;
    for (;;) {
        const std::size_t End = Text.find("\r\n", Start);
        Lines.push_back(Text.substr(Start, End - Start));
        if (End == std::string::npos) return;
        Start = End + 2;
    }
}

// Why setup does not install into the data's folders; empty when it does.
std::string FolderRefusal(const TInstallData& Data) {
    TFolderVerdict Verdict = CheckInstallDir(Data.InstallDir);
    if (Verdict != TFolderVerdict::Ok) return DestinationRefusalText(Verdict, Data.InstallDir);
    Verdict = CheckFolderOwnership(Data.InstallDir);
    if (Verdict != TFolderVerdict::Ok) return DestinationRefusalText(Verdict, Data.InstallDir);
    // The wizard asks first, and its answer unless the user changes it is No.
    if (FolderHoldsForeignFiles(Data.InstallDir))
        return "The folder \"" + Data.InstallDir +
               "\" already holds files that were not installed by this setup program. "
               "Setup installs into such a folder only when the user agrees to it in the "
               "wizard. Choose another folder with --dir.";
    Verdict = CheckStartFolder(Data.StartFolder);
    if (Verdict != TFolderVerdict::Ok) return ProgramFolderRefusalText(Verdict, Data.StartFolder);
    return {};
}

} // namespace

std::string UnknownArgumentText(const std::string& Arg) {
    return "Unknown argument \"" + Arg +
           "\": a run without a window does nothing it was not clearly asked for.";
}

std::string NotInstalledText() {
    return std::string(Product.Name) + " is not installed on this computer: there is nothing to "
                                       "uninstall.";
}

void WriteLogFile(const std::string& FileName, const std::vector<std::string>& Lines) {
    const THandle File(CreateFileA(FileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!File || !WriteFileText(File.get(), CrLfJoined(Lines)))
        throw Exception("Cannot create file \"" + FullPathOf(FileName) + "\". " +
                        SysErrorMessage(GetLastError()));
}

void ApplyFolderOptions(const TCmdOptions& Options, TInstallData& Data) {
    if (Data.Mode != imInstall) return;
    if (!Options.Dir.empty()) Data.InstallDir = Options.Dir;
    if (!Options.Group.empty()) Data.StartFolder = Options.Group;
}

std::vector<std::string> UnusedOptionNotes(const TCmdOptions& Options, const TInstallData& Data) {
    std::vector<std::string> Notes;
    if (Data.Mode == imInstall) return Notes;
    if (!Options.Dir.empty())
        Notes.push_back("The folder given with --dir is not used: the installation stays in \"" +
                        Data.InstallDir + "\".");
    if (!Options.Group.empty())
        Notes.push_back(
            "The program folder given with --group is not used: the installation keeps \"" +
            Data.StartFolder + "\".");
    return Notes;
}

int RunSilent(const TCmdOptions& Options, TInstallData& Data) {
    std::vector<std::string> Log;
    int Code = ExitFailed;
    if (const std::string Refusal = Data.Mode == imInstall ? FolderRefusal(Data) : "";
        !Refusal.empty()) {
        // Nothing is touched: no record, no folder, no install.log.
        AppendLines(Log, Refusal);
        Code = ExitBadOption;
    } else {
        if (Options.Uninstall) Data.Mode = imUninstall;
        TProcedureOutcome Outcome;
        try {
            RunProcedure(
                Data, RunNotes(&Options, Data),
                [](TCompiler& Engine) { Engine.ShowProgramFolder = false; }, Outcome);
        } catch (const std::exception& E) {
            // install.log could not be written anywhere.
            Outcome.Log.push_back(E.what());
            Outcome.Result.Kind = TOutcomeKind::Failed;
        }
        Log = Outcome.Log;
        Code = ExitCodeOf(Outcome.Result);
    }
    if (!Options.LogFile.empty()) {
        try {
            WriteLogFile(Options.LogFile, Log);
        } catch (const std::exception&) {
            // It was made at start; there is nobody else to tell.
        }
    }
    return Code;
}
