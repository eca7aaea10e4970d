#pragma once
// The list of installed files in the installation folder, and removing
// exactly those files. Windows only. Nothing here raises: the removal goes
// on after failures and reports them.

#include <cstddef>
#include <string>
#include <vector>

// The list's full path in Folder.
std::string InstalledFilesListPath(const std::string& Folder);
// The safe entries of the list in Folder; false when there is no list or it
// cannot be read (Entries is then empty).
bool ReadInstalledFiles(const std::string& Folder, std::vector<std::string>& Entries);
// Replaces the list in Folder as a whole: written to a new file beside it,
// then moved over the old one. False with the system's reason in Error.
bool WriteInstalledFiles(const std::string& Folder, const std::vector<std::string>& Entries,
                         std::string& Error);

// Moves the listed files that exist in Folder to the Recycle Bin in one
// shell operation, then removes the folders on their way that this left
// empty, deepest first. Folder itself stays. Returns how many were recycled;
// Left, when given, receives the full paths of those still there.
std::size_t RecycleInstalledFiles(const std::string& Folder,
                                  const std::vector<std::string>& Entries,
                                  std::vector<std::string>* Left = nullptr);

struct TRemovalReport {
    std::vector<std::string> Failed; // "full path": the reason, one entry each
    std::size_t Kept = 0;            // files left that the list does not name
    bool FolderRemoved = false;
};
// Deletes the listed files for good, then the list itself (kept when a file
// could not be deleted, for the next run to finish with), then the folders
// on their way that became empty (deepest first), then Folder if empty.
// Entries named in Spared are ours but stay, for their owner to remove.
TRemovalReport DeleteInstalledFiles(const std::string& Folder,
                                    const std::vector<std::string>& Entries,
                                    const std::vector<std::string>& Spared = {});
