#pragma once
// Folders held open so that nobody can rename, move or delete them, and so
// put a link in their place, while setup works in them. Windows only.

#include "platform/Owners.h"

#include <string>
#include <utility>
#include <vector>

class TFolderHolds {
public:
    // Opens the existing folder Path itself (a link is not followed) without
    // sharing deletion, with Access besides what reading its attributes and
    // its security needs. False, with the system's error code, when it
    // cannot be opened; Path is then not held.
    bool Hold(const std::string& Path, DWORD Access = 0);
    // The handle of a held folder; nullptr when Path is not held.
    HANDLE Handle(const std::string& Path) const;
    // Lets go of Path, so that setup can rename it itself.
    void Release(const std::string& Path);
    void ReleaseAll() { FHeld.clear(); }

private:
    std::vector<std::pair<std::string, THandle>> FHeld;
};
