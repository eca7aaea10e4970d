#pragma once
// One run of the procedure, the same for the wizard's progress page and for
// a run without a window: an engine prepared by the caller, the install or
// the uninstall that the mode asks for, install.log, the setup log and the
// exit code that the outcome means.
//
// How the program (src/app) reports failures: every failure ends as an exit
// code (Startup.h) and, unless the run is silent, a message box; the window
// shows a run's errors on its pages. RunProcedure catches what the engine
// raises into the outcome (Raised, the message as the log's last line) and
// lets only the final release's error travel on. A start-up step's error is
// caught where the step runs (Startup.cpp) and turned into its exit code.

#include "engine/Compile.h"

#include <functional>
#include <string>
#include <vector>

class TCmdOptions;
class TInstallData;

struct TProcedureOutcome {
    // How the run ended, an error it raised included (Failed, its message
    // the last line).
    TOutcome Result;
    // The setup log as the finish page saves it: the whole log, or, when
    // the procedure raised an error, what failed and the error's message.
    std::vector<std::string> Log;
    bool Raised = false;
    // Where install.log was written.
    std::string LogFile;
};

// Runs the procedure of Data.Mode on an engine that Setup prepares (hooks,
// switches), with Notes first in its log, then releases the engine, which
// writes install.log. Outcome is filled before the release, so that it
// holds the run's log also when the release raises (its error propagates).
void RunProcedure(TInstallData& Data, const std::vector<std::string>& Notes,
                  const std::function<void(TCompiler&)>& Setup, TProcedureOutcome& Outcome);

// Lines that come first in the log of a run with these options.
std::vector<std::string> RunNotes(const TCmdOptions* Options, const TInstallData& Data);

// 0 for success, 3010 when a restart completes it, 1602 when the user
// cancelled, 87 when setup refused the folder it found, 1603 otherwise.
int ExitCodeOf(const TOutcome& Outcome);
