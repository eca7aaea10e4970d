#pragma once
// The run without a window, for deployment tools: the options that choose
// the folders, the log file of the caller's choice, and the texts of the
// start-up refusals.

#include <string>
#include <vector>

class TCmdOptions;
class TInstallData;

// An argument that a run without a window does not know.
std::string UnknownArgumentText(const std::string& Arg);
std::string NotInstalledText();

// Writes Lines to FileName, each followed by CR LF, replacing the file.
// Raises "Cannot create file ..." when it cannot.
void WriteLogFile(const std::string& FileName, const std::vector<std::string>& Lines);

// Takes --dir and --group into a first installation's data. Before any
// window exists.
void ApplyFolderOptions(const TCmdOptions& Options, TInstallData& Data);
// Log lines for options that the run does not use (an update keeps the
// recorded folders).
std::vector<std::string> UnusedOptionNotes(const TCmdOptions& Options, const TInstallData& Data);

// The run without a window: install, update, repair or uninstall (an
// installation is recorded) as the wizard's default path would. Returns the
// exit code.
int RunSilent(const TCmdOptions& Options, TInstallData& Data);
