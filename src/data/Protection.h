#pragma once
// Who may change what setup makes. Setup runs elevated, and as LocalSystem
// under deployment tools: nothing it runs, registers or leaves for
// administrators to run later may be writable by an ordinary user. Folders
// get that from the security descriptor they are created with. Windows only.

#include <windows.h>

#include <functional>
#include <string>

enum class TProtection {
    // The hand-over copy's folder in the temporary folder: only SYSTEM and
    // the Administrators, nobody else even reads it.
    HandOver,
    // An installation folder outside Program Files (and its backup), with
    // Program Files' protection: SYSTEM and the Administrators change it,
    // Users read and execute.
    Installation,
    // Setup's own keys in the registry (its state and the journal of a
    // run): SYSTEM and the Administrators, nobody else, not even to read.
    SetupState,
};

// The descriptor of Kind in SDDL, as the system writes it back; empty when
// the system cannot build it.
std::string ProtectionSddl(TProtection Kind);

// Creates one folder with the descriptor of Kind (never an existing one:
// false, with ERROR_ALREADY_EXISTS, when it is there). False with the
// system's error code in GetLastError().
bool CreateProtectedFolder(const std::string& Path, TProtection Kind);

// A new folder Prefix and random hexadecimal digits, nobody can know its
// name in advance, with the descriptor of Kind; its path, empty with the
// system's error code when none can be made.
std::string CreateUniqueProtectedFolder(const std::string& Prefix, TProtection Kind);

// True when Path lies in one of the system's Program Files folders, whose
// protection a folder made there inherits.
bool InProtectedLocation(const std::string& Path);

// What setup makes of a folder that is already there where it is to
// install.
enum class TFolderTrust {
    // Owned by SYSTEM, the Administrators, TrustedInstaller or the account
    // setup runs as, and nobody else may change it.
    Trusted,
    // Owned so, but others may write into it, delete it or change who may:
    // setup gives it the protection of a folder it makes.
    OpenToOthers,
    // Owned by somebody else (or by nobody): refused.
    ForeignOwner,
};

// The verdict on a folder's security descriptor in SDDL (owner and DACL);
// SelfSid is the account setup runs as, in its string form.
TFolderTrust JudgeFolderSecurity(const std::string& Sddl, const std::string& SelfSid);

// The owner and DACL of the open file or folder, in SDDL; empty when the
// system cannot tell.
std::string SecuritySddlOf(HANDLE Object);
// The account this process runs as, in its string form ("S-1-5-18").
std::string OwnAccountSid();

// Gives the open folder (opened with WRITE_DAC) the Installation
// protection, which its files and folders inherit. False with the system's
// error code in GetLastError().
bool ProtectOpenFolder(HANDLE Folder);
// Gives the open key the SetupState protection, which its sub-keys inherit.
bool ProtectSetupKey(HKEY Key);

// Creates a folder of an installation (the installation folder, a folder
// above it, its backup): in Program Files as any folder there, elsewhere
// with the Installation protection. False as CreateDirectory is.
bool CreateInstallationFolder(const std::string& Path);
// A new folder of an installation (its backup) named Prefix and random
// hexadecimal digits, made as CreateInstallationFolder makes one; Noting is
// told each name before it is tried. Its path, empty as above.
std::string CreateUniqueInstallationFolder(const std::string& Prefix,
                                           const std::function<void(const std::string&)>& Noting);
