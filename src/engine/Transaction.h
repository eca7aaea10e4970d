#pragma once
// An install, update or repair as one transaction. What it replaces (our
// files in the installation folder, our links, the record and the entry in
// the list of installed apps, the component's registration) is kept until
// the new installation is complete, and put back when anything fails on the
// way: by the run itself, or, when that run was cut off (power loss, a
// killed process), by the next run of setup before it does anything else.
//
// The journal that makes the second possible lies in the registry beside
// the record, in a key only SYSTEM and the Administrators may open. Every
// step notes itself there, and the note reaches the disk, before it changes
// anything; the undoing goes by the journal alone, so that the run and its
// successor undo the same way, and each of its steps can be cut off and run
// again with the same result. The old files wait in a backup folder beside
// the installation folder, on the same volume: moving them aside and back
// is a rename each, or a single one for the whole folder when it holds
// nothing else. Files held open by other programs stay in place, and a copy
// of each waits in the backup.

#include "platform/FolderHold.h"
#include "platform/Owners.h"

#include <cstdint>
#include <string>
#include <vector>

class TInstallTransaction {
public:
    // Notes the record and the entry as they are, and makes a fresh backup
    // folder beside InstallDir (and the missing folders above it, which
    // Holds keeps from then on). Raises when either cannot be done.
    TInstallTransaction(const std::string& InstallDir, TFolderHolds& Holds);
    // Neither commits nor rolls back: a journal left behind is the next
    // run's to undo.
    ~TInstallTransaction() = default;
    TInstallTransaction(const TInstallTransaction&) = delete;
    TInstallTransaction& operator=(const TInstallTransaction&) = delete;

    // Files held open by another program: they stay where they are, their
    // new content waits beside them for the next restart, and a copy of
    // each goes into the backup, so that an undo can put it back should the
    // program let go and the extraction replace it. Raises when a copy
    // cannot be made.
    void KeepInPlace(const std::vector<std::string>& Entries);
    // Moves the files of ours (relative paths) aside: the whole folder at
    // once when WholeFolder, else each file. The installation folder is
    // held again afterwards (made anew after a whole-folder move). False,
    // with the line that says why, when one of them cannot be moved.
    bool MoveAside(const std::vector<std::string>& Entries, bool WholeFolder, std::string& Error);
    // What the run is going to write (relative paths), noted before the
    // first of them is written; an undo removes these where they did not
    // exist before or the backup still holds what they replaced.
    void WillWrite(const std::vector<std::string>& Entries);
    // The old component's registration is about to change: an undo
    // registers it again, with the regsvr32 of Machine (the component's
    // architecture, IMAGE_FILE_MACHINE_*).
    void ControlRegistrationChanges(std::uint16_t Machine);
    // The new component is about to be registered: an undo unregisters it.
    void RegisteringControl();
    // Our links in Folder are about to be replaced: they are copied aside.
    void ReplacingLinks(const std::string& Folder);
    // A level of the program folder is about to be made.
    void CreatingFolder(const std::string& Folder);
    // The component is in use and is replaced at the next restart: Windows
    // registers it then (an entry in RunOnce, which an undo removes).
    void RegisterAfterRestart(const std::string& Ocx);

    // Makes the new installation final: the journal goes, the old files go
    // to the Recycle Bin.
    void Commit();
    // Puts everything back as it was; the lines say what was done, and what
    // could not be (the journal then stays for the next run to finish).
    // The caller lets go of the folders it holds first.
    std::vector<std::string> Rollback();

    // The backup folder of this run.
    const std::string& BackupFolder() const { return FBackup; }

    // Ends a program an interrupted run left running, undoes what that run
    // left, and registers a component that waited for a restart when
    // Windows has not; lines for the log, none when there was nothing to do.
    static std::vector<std::string> FinishEarlierRuns();

private:
    void Begin();
    // A list of entries in the backup folder; raises when it cannot be made.
    void WriteBackupList(const char* Name, const std::vector<std::string>& Entries);
    std::string FInstallDir, FBackup;
    TFolderHolds& FHolds;
};

// Where setup keeps its own state below HKEY_LOCAL_MACHINE (32-bit view):
// the journal of a run in progress and the program it runs.
std::string SetupStateKey();
// That key, created when missing, with its protection (SYSTEM and the
// Administrators only); empty when it cannot be had.
TRegKey CreateSetupStateKey();
// Deletes the state key once nothing is left in it.
void DropEmptySetupStateKey();
// The name of the value in RunOnce (HKEY_LOCAL_MACHINE, the system's own
// view) that registers a component replaced at the restart.
std::string RunOnceValueName();
