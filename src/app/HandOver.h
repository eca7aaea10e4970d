#pragma once
// The hand-over that lets an uninstall started from the installation folder
// remove that folder's copy of the setup program: the copy there starts a
// copy of itself in a new folder of the temporary folder, which does the
// work and removes the first one once that has ended.

#include <string>

class TInstallData;

// True when this program is the copy that the recorded installation keeps
// in its own folder.
bool RunsAsMaintenanceCopy();
// Copies this program to a new folder of its own in the temporary folder,
// under a name nobody can know in advance and made for SYSTEM and the
// Administrators only, and runs the copy as an uninstall with the same
// options; returns its exit code as soon as it has ended its work. Raises
// when it cannot start it.
int HandOver(int ShowCmd);
// The copy's side, first thing: the handles of the hand-over stay with this
// process, nothing it starts inherits them.
void KeepHandOverToItself(const std::string& HandOver);
// The copy's side: reports ExitCode to the maintenance copy that started
// it, waits for that one to end, and removes its files when the
// installation is gone (Data, when given, tells). This copy itself goes at
// the next start of Windows.
void FinishHandOver(const std::string& HandOver, int ExitCode, const TInstallData* Data);
