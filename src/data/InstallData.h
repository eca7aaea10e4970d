#pragma once
// What the wizard and the engine share about one run of the installer, and
// the registry record of an earlier installation.

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
    void LoadFromRegistry();
    // Writes the record when Installed, deletes its key otherwise.
    void SaveToRegistry();

    TInstallMode Mode = imInstall;
    bool Installed = false;
    std::optional<TVersion> InstalledVersion;
    TVersion SetupVersion;
    std::string InstallDir;
    std::string StartFolder;
    std::string ProgramsDir;
    std::vector<std::string> ProgramFolders;
    bool Succeeded = false;
};

// The one instance, owned by the program's start-up (tests set their own).
extern TInstallData* InstallData;
