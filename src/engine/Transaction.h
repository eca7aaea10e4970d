#pragma once
// An install, update or repair as one transaction. What it replaces (our
// files in the installation folder, our links, the record and the entry in
// the list of installed apps, the component's registration) is kept until
// the new installation is complete, and put back when anything fails on the
// way: by the run itself, or, when that run was cut off (power loss, a
// killed process), by the next run of setup before it does anything else.
//
// The journal that makes the second possible lies in the registry beside
// the record, where only administrators can change it. Every step notes
// itself there before it changes anything, and the undoing goes by the
// journal alone, so that the run and its successor undo the same way. The
// old files wait in a backup folder beside the installation folder, on the
// same volume: moving them aside and back is a rename each, or a single one
// for the whole folder when it holds nothing else.

#include <string>
#include <vector>

class TInstallTransaction {
public:
    // Notes the record and the entry as they are, and makes a fresh backup
    // folder beside InstallDir. Raises when either cannot be done.
    explicit TInstallTransaction(const std::string& InstallDir);
    // Neither commits nor rolls back: a journal left behind is the next
    // run's to undo.
    ~TInstallTransaction() = default;
    TInstallTransaction(const TInstallTransaction&) = delete;
    TInstallTransaction& operator=(const TInstallTransaction&) = delete;

    // Files held open by another program: they stay where they are, and
    // their new content waits beside them for the next restart.
    void KeepInPlace(const std::vector<std::string>& Entries);
    // Moves the files of ours (relative paths) aside: the whole folder at
    // once when WholeFolder, else each file. False, with the line that says
    // why, when one of them cannot be moved.
    bool MoveAside(const std::vector<std::string>& Entries, bool WholeFolder, std::string& Error);
    // What the run is going to write (relative paths), noted before the
    // first of them is written; an undo removes exactly these.
    void WillWrite(const std::vector<std::string>& Entries);
    // The old component's registration is about to change: an undo
    // registers it again with RegSvr32 (of its own architecture).
    void ControlRegistrationChanges(const std::string& RegSvr32);
    // The new component is about to be registered: an undo unregisters it.
    void RegisteringControl();
    // Our links in Folder are about to be replaced: they are copied aside.
    void ReplacingLinks(const std::string& Folder);
    // A level of the program folder is about to be made.
    void CreatingFolder(const std::string& Folder);
    // The component is in use and is replaced at the next restart: the first
    // run of setup after it registers it.
    void RegisterAfterRestart(const std::string& Ocx);

    // Makes the new installation final: the journal goes, the old files go
    // to the Recycle Bin.
    void Commit();
    // Puts everything back as it was; the lines say what was done, and what
    // could not be (the journal then stays for the next run to finish).
    std::vector<std::string> Rollback();

    // The backup folder of this run.
    const std::string& BackupFolder() const { return FBackup; }

    // Undoes what an interrupted run left, and finishes what waited for a
    // restart; lines for the log, none when there was nothing to do.
    static std::vector<std::string> FinishEarlierRuns();

private:
    void Begin();
    std::string FInstallDir, FBackup;
};

// Where setup keeps its own state below HKEY_LOCAL_MACHINE (32-bit view):
// the journal of a run in progress and work left for after a restart.
std::string SetupStateKey();
