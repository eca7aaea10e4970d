#pragma once
// What the installer leaves on the machine, read and cleaned up from the
// outside: files, the registry record, the component's registration and the
// Start-menu shortcuts.

#include "support/Files.h"
#include "support/System.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// The shared file helpers as a step of a flow: what cannot be read, written
// or created fails the step.
std::string ReadOrFail(const std::string& Path);
void WriteOrFail(const std::string& Path, const std::string& Content);
void MakeFoldersOrFail(const std::string& Path);
void CopyTree(const std::string& From, const std::string& To);

// The current user's Start-menu Programs folder.
std::string ProgramsFolder();

// The installation record is at Product.RecordKey under HKLM (32-bit view,
// as the installer sees it).

struct TRecord {
    std::string InstallDir;
    std::string StartFolder;
    std::string InstalledVersion;
    std::vector<std::string> ValueNames; // every value of the key, in order
    bool AllStrings = true;              // every value is REG_SZ
};

std::optional<TRecord> ReadRecord();
void WriteRecord(const std::string& InstallDir, const std::string& StartFolder,
                 const std::string& InstalledVersion);
// Deletes the record and the entry in the list of installed apps.
void DeleteRecord();

// The entry in the list of installed apps (HKLM\...\Uninstall\<product
// name>, beside the record): every value by name, numbers in decimal.
using TValues = std::map<std::string, std::string>;
std::optional<TValues> ReadUninstallEntry();

// The in-process server registered for a class id ("{...}"), or nothing.
std::optional<std::string> RegisteredServer(const std::string& ClassId);
// The class ids whose in-process server is the file Path.
std::vector<std::string> ServersOf(const std::string& Path);
// Unregisters a component the way regsvr32 /u does; false when it could not.
bool UnregisterServer(const std::string& DllPath);

// Splits text into lines that each end in CR LF; fails the step on a line
// break of another kind or a last line without one.
std::vector<std::string> CrLfLines(const std::string& Text, const std::string& Step);

} // namespace e2e
