#pragma once
// What the wizard and the engine share about one run of the installer, and
// the registry record of an earlier installation.
//
// How the product's rules (src/data) report failures:
// - The pure rules (FolderRules.h, LockRules.h, InUseText.h, DeviceNames.h,
//   the option parser) never raise: they answer with a verdict or a text,
//   and unknown options are collected, not refused.
// - What cannot be had that a run needs raises Exception with the message
//   the user is shown: a missing or blank version (TVersion, TInstallData's
//   constructor), an incomplete or mistyped record, a record that cannot be
//   written (SaveToRegistry, which writes with Put*). The caller shows it and
//   ends the run, or (the engine) logs it and puts the installation back.

#include "data/Product.h"
#include "data/Version.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum TInstallMode : std::uint8_t { imInstall = 0, imUpdate = 1, imReinstall = 2, imUninstall = 3 };

class TInstallData {
public:
    // Reads the Programs folder, the registry record and the file "version"
    // of the current folder, and chooses Mode. Raises on a missing or blank
    // version file and on an incomplete or mistyped record.
    TInstallData();

    std::string OcxFileName() const;
    // Where an installation keeps what uninstalling needs once the
    // downloaded setup is gone: a copy of the setup program and its
    // "version" file, in a folder of the installation folder.
    std::string MaintenanceFolder() const;
    // The copy of the setup program there, which the system's list of
    // installed apps starts to uninstall.
    std::string MaintenanceProgram() const;
    void LoadFromRegistry();
    // Writes the record and the entry in the system's list of installed
    // apps when Installed, deletes both otherwise.
    void SaveToRegistry();
    // The installation folder of the record; empty when none is recorded.
    static std::string RecordedInstallDir();

    TInstallMode Mode = imInstall;
    bool Installed = false;
    std::optional<TVersion> InstalledVersion;
    TVersion SetupVersion;
    // The file "version" as setup read it at start: what an installation
    // keeps beside its copy of setup (the file may have changed since).
    std::string VersionFileText;
    std::string InstallDir;
    std::string StartFolder;
    // The Start menu's Programs folder of the account setup runs as, or the
    // all-users one when that is LocalSystem; OtherProgramsDir is the other
    // of the two, where an installation made under the other kind of
    // account has its links (an uninstall removes ours from both).
    std::string ProgramsDir;
    std::string OtherProgramsDir;
    std::vector<std::string> ProgramFolders;
    bool Succeeded = false;
    // What setup found and put right at start (an interrupted run's work
    // undone): the first lines of the run's log.
    std::vector<std::string> EarlierRunNotes;
    // Set while the maintenance copy itself waits for the uninstall: its
    // files are removed after it has ended, not by the engine.
    bool MaintenanceDeferred = false;
};

// The name of the folder MaintenanceFolder() names, inside the installation folder.
inline constexpr const char* MaintenanceFolderName = "Setup";
// The key of the entry in the list of installed apps, below HKEY_LOCAL_MACHINE.
std::string UninstallEntryKey();
// The file name of the running program, without its folder.
std::string OwnProgramName();
