#pragma once
// The list of installed files in the installation folder, and removing
// exactly those files. Windows only. Nothing here raises: the removal goes
// on after failures and reports them.

#include <windows.h>

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
// The same two for a list at Path.
bool ReadInstalledFilesAt(const std::string& Path, std::vector<std::string>& Entries);
bool WriteFileList(const std::string& Path, const std::vector<std::string>& Entries,
                   std::string& Error);

// The suffix of the file that holds the new content of a file another
// program held during an installation, until the restart puts it in place.
inline constexpr const char* PendingFileSuffix = ".~new";

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

// --- moving an installation aside and back -----------------------------------

// Of Entries, those present in Folder that another program holds open so
// that they can be neither moved nor replaced (an exclusive open for
// delete is refused), in their order.
std::vector<std::string> HeldEntries(const std::string& Folder,
                                     const std::vector<std::string>& Entries);
// True when Folder holds no file (links not followed) that Entries does not
// name, besides the list itself.
bool HoldsOnlyListedFiles(const std::string& Folder, const std::vector<std::string>& Entries);
// Moves the listed files present in Folder (plain files, reached without
// links) to the same places below Backup, making the folders on their way;
// Kept entries stay. Then removes the folders in Folder that this left
// empty. Stops at the first file that cannot be moved: false, with its full
// path and the system's error code.
bool MoveInstalledFiles(const std::string& Folder, const std::string& Backup,
                        const std::vector<std::string>& Entries,
                        const std::vector<std::string>& Kept, std::string& FailedPath,
                        DWORD& FailedCode);
// The plain files below Folder, relative to it (links are neither followed
// nor listed: nothing of ours is a link).
std::vector<std::string> FilesBelow(const std::string& Folder);
// Moves every file below From to the same place below To, replacing what is
// there and making folders as needed, then removes From's emptied folders.
// Each file that could not be moved: "full path": the reason, into Failed.
void MoveTreeInto(const std::string& From, const std::string& To, std::vector<std::string>& Failed);
// Deletes the listed files present in Folder (reached without links), then
// the folders on their way that this left empty. Failures are ignored.
void DeleteListedFiles(const std::string& Folder, const std::vector<std::string>& Entries);
