#pragma once
// What deployment needs beyond the wizard: runs without a window and their
// exit codes, one setup at a time, the setup log in a file of the caller's
// choice, and the hand-over that lets an uninstall started from the
// installation folder remove that folder's copy of the setup program.

#include "platform/Owners.h"

#include <string>
#include <vector>

class TCmdOptions;
class TInstallData;

// Exit codes, in the convention deployment tools read for every installer.
enum TExitCode : int {
    ExitSuccess = 0,
    ExitStartError = 2,       // the installation data or the log file cannot be read or made
    ExitBadOption = 87,       // a destination or program folder that setup refuses
    ExitCancelled = 1602,     // the user cancelled
    ExitFailed = 1603,        // the procedure ended with errors
    ExitRestartNeeded = 3010, // done; a restart of Windows completes it
    ExitNotInstalled = 1605,  // an uninstall with nothing recorded
    ExitAnotherSetup = 1618,  // another setup of this product is running
};

enum class TLockState { Held, OtherSetup, None };

// Holds the product's setup lock for as long as it lives.
class TSetupLock {
public:
    TSetupLock();
    // Held; OtherSetup when another setup of this product holds it; None
    // when no lock could be had at all (Reason says why).
    TLockState State() const { return FState; }
    const std::string& Reason() const { return FReason; }

private:
    HANDLE NamespaceMutex(const std::string& Name);
    struct TCloseNamespace {
        void operator()(HANDLE Space) const;
    };
    THandleOwner<TCloseNamespace> FNamespace;
    THandle FMutex; // released before the namespace closes
    TLockState FState = TLockState::None;
    std::string FReason;
};

// The messages of these cases, for a message box or the log.
std::string AnotherSetupText();
std::string NoLockText(const std::string& Reason);
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

// True when this program is the copy that the recorded installation keeps
// in its own folder.
bool RunsAsMaintenanceCopy();
// Copies this program to a new folder of its own in the temporary folder,
// under a name nobody can know in advance and made for SYSTEM and the
// Administrators only, and runs the copy as an uninstall with the same
// options; returns its exit code as soon as it has ended its work. Raises
// when it cannot start it.
int HandOver(int ShowCmd);
// The copy's side, first thing: the handles of the hand-over stay with this
// process, nothing it starts inherits them.
void KeepHandOverToItself(const std::string& HandOver);
// The copy's side: reports ExitCode to the maintenance copy that started
// it, waits for that one to end, and removes its files when the
// installation is gone. This copy itself goes at the next start of Windows.
void FinishHandOver(const std::string& HandOver, int ExitCode, const TInstallData* Data);
