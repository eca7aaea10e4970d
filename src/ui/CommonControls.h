#pragma once
// The common controls (tooltips, progress bars) come from a library that is
// not one of the system's known DLLs: a copy planted beside the program would
// be found first if the program imported it. So it is never imported; this
// loads the system's copy at run time and registers its window classes.

// True when the common controls are ready; loading happens once.
bool LoadCommonControls();

#include <windows.h>
#include <commctrl.h>

// The common controls' window subclassing (SetWindowSubclass and its two
// companions), bound from the system's copy like the rest of the library.
// SubclassWindow is false when the library lacks it; the other two do
// nothing then (DefSubclass answers 0).
bool SubclassWindow(HWND Window, SUBCLASSPROC Proc, UINT_PTR Id, DWORD_PTR Data);
bool RemoveSubclass(HWND Window, SUBCLASSPROC Proc, UINT_PTR Id);
LRESULT DefSubclass(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);
