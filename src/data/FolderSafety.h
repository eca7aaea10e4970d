#pragma once
// The folder rules applied to this system: its own folders found through
// the shell, and every spelling of a path the file system knows (long and
// short names, links resolved). Windows only.

#include "data/FolderRules.h"
#include "platform/FolderHold.h"

#include <string>
#include <vector>

// True when Byte starts a double-byte character in the ANSI code page.
bool IsAnsiLeadByte(unsigned char Byte);

// The Windows, Program Files, user and Start-menu folders of this system,
// each in all its spellings.
TSystemFolders SystemFolders();

// The spellings of Path: as given, and for its deepest existing folder the
// long name, the short name and the resolved path, with the rest appended.
std::vector<std::string> PathSpellings(const std::string& Path);

// The destination rules for Path on this system: its form, an existing file
// of that name, then its place in every spelling.
TFolderVerdict CheckInstallDir(const std::string& Path, const TSystemFolders& Folders);
TFolderVerdict CheckInstallDir(const std::string& Path);
// The program-folder rules.
TFolderVerdict CheckStartFolder(const std::string& Folder);

// Checks the folder Path that setup is to install into and, from then on,
// holds it in Holds: Ok for a folder that does not exist yet (setup makes
// it), and for one that is no link itself (a junction, a symbolic link, a
// mount point) and is owned by SYSTEM, the Administrators, TrustedInstaller
// or the account setup runs as. A link on the way to either must be one of
// those accounts' that nobody else may change. Link, NotOwned or NotAFolder
// otherwise, and then nothing is held. With Protect, a folder
// that lets others change it gets the protection of a folder setup makes,
// and Protected says so; without, nothing is changed.
TFolderVerdict TakeInstallFolder(const std::string& Path, TFolderHolds& Holds, bool Protect,
                                 bool& Protected);
// Makes a folder of an installation (CreateInstallationFolder) and holds
// it; false, with the system's error code, when it cannot be made or is not
// where it was asked for (a link above it leads elsewhere: it goes again).
bool MakeInstallFolder(const std::string& Path, TFolderHolds& Holds);
// The same check alone, for a page or an option: nothing held or changed.
TFolderVerdict CheckFolderOwnership(const std::string& Path);

// True when Path is an existing folder that holds something and no list of
// installed files: files of someone else's.
bool FolderHoldsForeignFiles(const std::string& Path);
