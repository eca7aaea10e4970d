#pragma once
// Files of ours that other programs hold open, and who holds them.

#include "data/InUseText.h"

#include <string>
#include <vector>

// The programs that hold Path open, as the system's Restart Manager names
// them; none when it cannot tell (it is missing, or names nobody).
std::vector<std::string> HoldersOf(const std::string& Path);

// Of Entries (relative to Folder), the files that another program holds so
// that they can be neither moved nor replaced, each with its holders.
std::vector<THeldFile> FilesInUse(const std::string& Folder,
                                  const std::vector<std::string>& Entries);
