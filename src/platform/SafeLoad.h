#pragma once
// Where the program loads libraries from. A setup program is often started
// from a downloads folder, next to files it never asked for: no library may
// come from its own folder or the current folder.

// Limits the search of every later LoadLibrary to the system folder and
// takes the current folder out of it. Call first thing in the program.
void RestrictDllSearch();
