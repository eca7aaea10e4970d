#pragma once
// Who may change what setup makes. Setup runs elevated, and as LocalSystem
// under deployment tools: nothing it runs, registers or leaves for
// administrators to run later may be writable by an ordinary user. Folders
// get that from the security descriptor they are created with. Windows only.

#include <string>

enum class TProtection {
    // The hand-over copy's folder in the temporary folder: only SYSTEM and
    // the Administrators, nobody else even reads it.
    HandOver,
    // An installation folder outside Program Files (and its backup), with
    // Program Files' protection: SYSTEM and the Administrators change it,
    // Users read and execute.
    Installation,
};

// The descriptor of Kind in SDDL, as the system writes it back; empty when
// the system cannot build it.
std::string ProtectionSddl(TProtection Kind);

// Creates one folder with the descriptor of Kind (never an existing one:
// false, with ERROR_ALREADY_EXISTS, when it is there). False with the
// system's error code in GetLastError().
bool CreateProtectedFolder(const std::string& Path, TProtection Kind);

// True when Path lies in one of the system's Program Files folders, whose
// protection a folder made there inherits.
bool InProtectedLocation(const std::string& Path);

// Creates a folder of an installation (the installation folder, a folder
// above it, its backup): in Program Files as any folder there, elsewhere
// with the Installation protection. False as CreateDirectory is.
bool CreateInstallationFolder(const std::string& Path);
