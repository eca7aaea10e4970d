#pragma once
// The folder rules applied to this system: its own folders found through
// the shell, and every spelling of a path the file system knows (long and
// short names, links resolved). Windows only.

#include "data/FolderRules.h"

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

// True when Path is an existing folder that holds something and no list of
// installed files: files of someone else's.
bool FolderHoldsForeignFiles(const std::string& Path);
