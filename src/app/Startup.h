#pragma once
// The setup program from its command line to the end of its message loop,
// once the DLL search has been restricted (WinMain does that first).

// Exit codes: 1 after the help screen, 2 when the installation data cannot
// be read, 3 when the main window cannot be built (its error shown in a
// message box first), else the message loop's.
int RunSetup(int ShowCmd);
