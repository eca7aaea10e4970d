#include "app/Procedure.h"

#include "app/Deploy.h"
#include "data/InstallData.h"
#include "engine/Compile.h"

#include <exception>

void RunProcedure(TInstallData& Data, const std::vector<std::string>& Notes,
                  const std::function<void(TCompiler&)>& Setup, TProcedureOutcome& Outcome) {
    Outcome = TProcedureOutcome();
    TCompiler Engine(Data);
    if (Setup) Setup(Engine);
    for (const std::string& Note : Notes)
        Engine.Output(Note, Engine.Abort);
    try {
        if (Data.Mode == imUninstall)
            Engine.Uninstall();
        else
            Engine.Install();
        Outcome.Log = Engine.Log();
    } catch (const std::exception& E) {
        Outcome.Log.assign(1, E.what());
        Outcome.Raised = true;
    }
    Engine.Release();
    Outcome.LogFile = Engine.LogFilePath();
    // Writing install.log may have had to go elsewhere, which its first
    // line now says.
    if (!Outcome.Raised) Outcome.Log = Engine.Log();
}

std::vector<std::string> RunNotes(const TCmdOptions* Options, const TInstallData& Data) {
    std::vector<std::string> Notes = Data.EarlierRunNotes;
    if (Options)
        for (const std::string& Note : UnusedOptionNotes(*Options, Data))
            Notes.push_back(Note);
    return Notes;
}

int ExitCodeOf(const TProcedureOutcome& Outcome, const TInstallData& Data) {
    if (Data.Cancelled) return ExitCancelled;
    if (Data.Refused) return ExitBadOption;
    if (Outcome.Raised || !Data.Succeeded) return ExitFailed;
    return Data.RestartNeeded ? ExitRestartNeeded : ExitSuccess;
}
