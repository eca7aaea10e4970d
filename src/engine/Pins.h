#pragma once
// A pinned setup program carries the SHA-256 of the unrar.exe and data.arc
// it was built with (a resource, so that its signature vouches for them).
// It opens both without sharing write or delete, checks them on those
// handles and keeps them open for as long as it may run the one or read the
// other, so that neither can change between the check and its use. A
// program without pins checks nothing: nothing vouches for it either.

#include "platform/Owners.h"

#include <string>
#include <vector>

class TPinnedFiles {
public:
    // Checks unrar.exe and data.arc in Folder once, the first time it is
    // asked; false, with the lines that say why, when either is not the one
    // this program carries the hash of (or cannot be read and checked).
    bool Check(const std::string& Folder, std::vector<std::string>& Lines);

    // True when this program carries pins at all.
    static bool Pinned();

private:
    bool FChecked = false, FGood = false;
    std::vector<std::string> FLines;
    THandle FUnrar, FArchive;
};

// The SHA-256 of what the handle reads from its start, as 64 lower-case
// hex digits; empty when the system cannot compute it.
std::string Sha256Of(HANDLE File);
