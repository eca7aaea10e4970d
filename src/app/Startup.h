#pragma once
// The setup program from its command line to the end of its message loop,
// once the DLL search has been restricted (WinMain does that first).

class TCmdOptions;

// Exit codes: 1 after the help screen, 2 when the installation data or the
// log file cannot be read or made, 3 when the main window cannot be built
// (each error shown in a message box first, unless --silent), 1618 when
// another setup of the product runs, 1605 for an uninstall with nothing
// recorded; a run without a window ends with the codes of Deploy.h; the
// wizard with its message loop's.
int RunSetup(int ShowCmd);
