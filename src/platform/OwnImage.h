#pragma once
// The running program's own file. Setup runs elevated, and what it copies
// of itself (the copy an installation keeps for uninstalling, the copy an
// uninstall hands its work to) must be the program that runs, never what a
// user may have put under its name since it started (a downloads folder is
// the user's). So the file is opened once, first thing, without sharing
// write or delete: from then on nobody can change, rename or replace it,
// and every copy is read from that handle. Windows only.

#include <string>

// Opens and holds the running program's file the first time it is called
// (WinMain calls it before anything else); later calls answer the same.
// False when it cannot be opened so (another process writes to it).
bool HoldOwnImage();
// The running program's bytes, read from the held file; false when it is
// not held or cannot be read.
bool ReadOwnImage(std::string& Bytes);
