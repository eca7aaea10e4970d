#pragma once
// The installation engine: one object per install or uninstall run. It
// records every line of the run in its log, passes step lines on to the
// progress page and writes the log to "install.log".
//
// How the engine (src/engine) reports failures:
// - Install and Uninstall answer with one outcome (TOutcome): how the run
//   ended and the lines that say why; each line is in the log too. Install
//   puts the earlier installation back before it answers with a failure.
//   Data.Succeeded is set from the outcome, as the finish page reads it.
// - What the engine cannot go on from raises (Exception, EOSError): after
//   the transaction has undone the run, the error travels on to the caller,
//   which shows its message (RunProcedure notes it in the setup log).
//   SaveLog and Release raise when install.log cannot be written anywhere.
// - The transaction's journal is written with Put* (raises); its undo never
//   raises and answers with the lines that tell its outcome.
// - RunCaptured answers with the program's exit code or its own -1, -2, -3
//   (CapExec.h); hooks' errors propagate through it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data/InUseText.h"
#include "engine/Pins.h"
#include "platform/FolderHold.h"

class TInstallData;
class TInstallTransaction;

// How a run ended.
enum class TOutcomeKind : std::uint8_t {
    Succeeded,
    RestartNeeded, // succeeded; a restart of Windows puts held files in place
    Failed,        // ended with errors (an install puts the earlier one back)
    Cancelled,     // the user chose to change nothing
    Refused,       // the installation folder is not setup's to use: nothing changed
};

struct TOutcome {
    TOutcomeKind Kind = TOutcomeKind::Failed;
    // The lines that explain it (none for a plain success), as the log has them.
    std::vector<std::string> Lines;
    bool Completed() const {
        return Kind == TOutcomeKind::Succeeded || Kind == TOutcomeKind::RestartNeeded;
    }
};

// What the user chooses when files of ours are in use.
enum TInUseChoice { icRetry, icContinue, icCancel };

// Receives one line and the engine's abort flag, which it may set.
using TLogLineEvent = std::function<void(const std::string& Line, bool& Abort)>;

// What the system reports about itself (the fields of OSVERSIONINFOA that
// name it).
struct TOsVersion {
    std::uint32_t PlatformId = 0;
    std::uint32_t Major = 0;
    std::uint32_t Minor = 0;
    std::uint32_t Build = 0;
    std::string ServicePack;
};

// The operating-system line for Version, e.g. "Windows XP Service Pack 2
// (5.1.2600)"; none for a system the installer does not name.
std::optional<std::string> SystemLineOf(const TOsVersion& Version);
// The line for the running system.
std::optional<std::string> SystemLine();

class TCompiler {
public:
    // The run works on Data (which must outlive the engine): it reads the
    // folders and the mode, and records the outcome there.
    explicit TCompiler(TInstallData& Data) : FData(Data) {}
    // Writes install.log unless Release already did; errors are swallowed
    // here because a destructor must not raise. Call Release to see them.
    virtual ~TCompiler();
    TCompiler(const TCompiler&) = delete;
    TCompiler& operator=(const TCompiler&) = delete;

    // The one way into the log: appends Line, calls OnLogLine, and hands the
    // engine's abort flag back through AbortFlag.
    virtual void Output(const std::string& Line, bool& AbortFlag);
    // Output with the engine's own abort flag.
    void LogLine(const std::string& Line);
    // A step line: into the log first, then to OnOutputLine.
    void WriteLine(const std::string& Line);
    void WriteLine(const char* Line); // the fixed lines: one string made here, not at each call
    // Writes the whole log to install.log in the current folder, replacing
    // the file. Where that cannot be written, into a new file in the
    // temporary folder instead, which the log's first line then names.
    // Raises "Cannot create file ..." when neither can be created.
    void SaveLog();
    // Where SaveLog writes the log (install.log in the current folder, or
    // the file in the temporary folder that took its place).
    std::string LogFilePath() const;
    // Ends the run: writes install.log for the last time and raises what
    // SaveLog raises. The destructor then writes nothing more.
    void Release();

    // First installation, update or repair, as one transaction. When
    // anything fails on the way the earlier installation is put back as it
    // was (a first installation leaves nothing behind). Raises what it
    // cannot go on from, after putting everything back.
    TOutcome Install();
    // Removes the installation: failed when the control could not be
    // unregistered or a file or link of ours is left, and then the record
    // stays for another try.
    TOutcome Uninstall();
    // The lines that explain the outcome so far (for a run that raised).
    const std::vector<std::string>& Reported() const { return FReport; }

    const std::vector<std::string>& Log() const { return FLog; }

    bool Abort = false;
    // Every line that enters the log.
    TLogLineEvent OnLogLine;
    // Step lines only: what the progress page shows.
    TLogLineEvent OnOutputLine;
    // Called about every 30 ms while the extraction program runs, so that a
    // window can go on painting and answering; optional.
    std::function<void()> OnIdle;
    // Progress of the extraction: files written so far out of the files in
    // the archive (0 when the archive cannot be listed); optional.
    std::function<void(int Done, int Total)> OnProgress;
    // Whether the program folder is shown in an Explorer window while its
    // links are made; a run without a window leaves it off.
    bool ShowProgramFolder = true;
    // Asked, before anything is changed, when files of ours are held open by
    // other programs: look again, go on (they are replaced at the next
    // restart) or change nothing. Unset: go on, as a run without a window does.
    std::function<TInUseChoice(const std::vector<THeldFile>& Files)> OnFilesInUse;

    // The maintenance copy's files, relative to the installation folder.
    static std::vector<std::string> MaintenanceEntries();

    // True for the line the extraction program writes for each file.
    static bool IsExtractedFileLine(const std::string& Line);

private:
    // Install steps.
    struct TExtraction;
    // A line that explains how the run ends: into the log (and, Shown, the
    // page) and into the outcome's lines.
    void Report(const std::string& Line, bool Shown = true);
    // The outcome of a run that ends now as Kind.
    TOutcome Ended(TOutcomeKind Kind);
    // Checks the installation folder and holds it in Holds; false, with the
    // lines that say why, when setup may not install into it.
    bool TakeInstallDir(TFolderHolds& Holds);
    // The files of ours now in the installation folder, to be moved aside.
    std::vector<std::string> OldFiles(bool& HaveList);
    bool AskAboutFilesInUse(const std::vector<std::string>& Old);
    bool RemoveOldFiles(const std::vector<std::string>& Old, bool HaveList,
                        TInstallTransaction& Transaction);
    bool RunTransaction(TInstallTransaction& Transaction, TFolderHolds& Holds);
    std::vector<std::string> FilesToWrite(bool FolderCleared) const;
    void ExtractFiles(TExtraction& Result);
    bool AcceptExtraction(const TExtraction& Result);
    bool FinishAtRestart();
    // Puts the earlier installation back; its lines join the report.
    void Fail(TInstallTransaction& Transaction, TFolderHolds& Holds);
    // The extraction's command as the log shows it.
    std::string ExtractionEcho() const;
    bool RecordInstalledFiles();
    // Copies the setup program and its version file into the maintenance
    // folder; false, with a log line, when it cannot.
    bool CopyMaintenanceFiles();
    // Empty when regsvr32 did its work, otherwise the line that says why not.
    std::string RegisterControl();
    // False, with the line that names the link and why, when one of them
    // cannot be made.
    bool CreateShortcuts(TInstallTransaction& Transaction);
    std::string CreateProgramFolder(TInstallTransaction& Transaction);
    void RemoveOldLinks(const std::string& Folder);
    // Uninstall steps.
    std::string UnregisterControl();
    // Both true when nothing of ours is left where they looked.
    bool DeleteComponentFiles();
    bool DeleteProgramFolder();
    // Shared by both.
    // The files of data.arc beside the installer, by its own extraction
    // program; false when it cannot tell. Nothing reaches the log; what the
    // program said about its failure goes into Errors, when given.
    bool ListArchive(std::vector<std::string>& Entries, std::vector<std::string>* Errors = nullptr);
    // The program folder's path when the data's folders allow setup to
    // touch it; otherwise a log line that Step was skipped, and false.
    bool UsableProgramFolder(const char* Step, std::string& Folder);
    // InstallDir when the folder rules let setup clean it; otherwise a log
    // line that Step was skipped, and false.
    bool CleanableInstallDir(const char* Step);

    TInstallData& FData;
    std::vector<std::string> FLog;
    // Where install.log went when the current folder could not take it.
    std::string FLogPath;
    bool FReleased = false;
    // The archive's files as listed before the extraction, for the progress
    // and for the record of installed files.
    std::vector<std::string> FArchiveFiles;
    // The lines that explain how the run ends.
    std::vector<std::string> FReport;
    // Files held open by other programs that the run goes on with: their new
    // content waits beside them for the next restart.
    std::vector<THeldFile> FHeld;
    // Of those, the ones the extraction wrote beside them.
    std::vector<THeldFile> FPending;
    bool FFolderCleared = false;
    // The architecture of the earlier installation's component (0: none).
    std::uint16_t FOldControlMachine = 0;
    bool FWasInstalled = false;
    // unrar.exe and data.arc as checked, held until the engine goes.
    TPinnedFiles FPins;
};

// The folder of the running executable, without a trailing backslash
// (except for a drive root, "C:\").
std::string InstallerFolder();
// The system's own regsvr32.exe, by full path.
std::string SystemRegSvr32();
// The architecture the library Path is built for (IMAGE_FILE_MACHINE_*);
// 0 when it cannot be read as one.
std::uint16_t ImageMachine(const std::string& Path);
// The regsvr32.exe for a library of Machine: the other view's one for a
// component of the other architecture (an earlier installation by the other
// build), else SystemRegSvr32().
std::string RegSvr32ForMachine(std::uint16_t Machine);
// The same for the library Path.
std::string RegSvr32ForImage(const std::string& Path);
// The regsvr32.exe that Windows itself runs for a library of Machine, as
// the command of a RunOnce entry names it.
std::string RunOnceRegSvr32(std::uint16_t Machine);
// How long regsvr32 may take: a component whose registration waits for
// ever (a dialog nobody sees) would hold setup for ever.
constexpr std::uint32_t RegistrationTimeLimitMs = 2 * 60 * 1000;
// Runs RegSvr32 silently with Switches on Ocx, as a child of setup's (see
// Children.h), and waits for it, RegistrationTimeLimitMs at most. Empty
// when it ended with 0; otherwise Failure, then ". Code: N." or why it did
// not run or end.
std::string RunRegSvr32(const std::string& RegSvr32, const char* Switches, const std::string& Ocx,
                        const char* Failure);
