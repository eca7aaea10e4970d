#include "app/Procedure.h"

#include "app/ExitCodes.h"
#include "app/SilentRun.h"
#include "data/InstallData.h"
#include "engine/Compile.h"
#include "platform/OsError.h"

#include <exception>

namespace {

// The outcome of a procedure that raised Message: what had been reported,
// the line that names what failed, and the message, which the page shows
// last; all of it in the log too.
void Raised(TCompiler& Engine, const std::string& Context, const char* Message,
            TProcedureOutcome& Outcome) {
    Outcome.Raised = true;
    Outcome.Result = {TOutcomeKind::Failed, Engine.Reported()};
    Outcome.Log.clear();
    for (const std::string& Line : {Context, std::string(Message)})
        if (!Line.empty()) {
            Engine.LogLine(Line);
            Outcome.Result.Lines.push_back(Line);
            Outcome.Log.push_back(Line);
        }
}

} // namespace

void RunProcedure(TInstallData& Data, const std::vector<std::string>& Notes,
                  const std::function<void(TCompiler&)>& Setup, TProcedureOutcome& Outcome) {
    Outcome = TProcedureOutcome();
    TCompiler Engine(Data);
    if (Setup) Setup(Engine);
    for (const std::string& Note : Notes)
        Engine.Output(Note, Engine.Abort);
    try {
        Outcome.Result = Data.Mode == imUninstall ? Engine.Uninstall() : Engine.Install();
        Outcome.Log = Engine.Log();
    } catch (const EOSError& E) {
        Raised(Engine, E.Context(), E.what(), Outcome);
    } catch (const std::exception& E) {
        Raised(Engine, {}, E.what(), Outcome);
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

int ExitCodeOf(const TOutcome& Outcome) {
    switch (Outcome.Kind) {
    case TOutcomeKind::Succeeded:
        return ExitSuccess;
    case TOutcomeKind::RestartNeeded:
        return ExitRestartNeeded;
    case TOutcomeKind::Cancelled:
        return ExitCancelled;
    case TOutcomeKind::Refused:
        return ExitBadOption;
    case TOutcomeKind::Failed:
        break;
    }
    return ExitFailed;
}
