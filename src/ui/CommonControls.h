#pragma once
// The common controls (tooltips, progress bars) come from a library that is
// not one of the system's known DLLs: a copy planted beside the program would
// be found first if the program imported it. So it is never imported; this
// loads the system's copy at run time and registers its window classes.

// True when the common controls are ready; loading happens once.
bool LoadCommonControls();
