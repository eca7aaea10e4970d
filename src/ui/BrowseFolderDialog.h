#pragma once
// The shell's folder-browse dialog, centred on the screen, with the initial
// folder preselected when it exists and OK offered only on existing folders.

#include <windows.h>

#include <string>

#include <shlobj.h>

// The rule for the dialog's OK button: the item has a file-system path and
// that path is an existing directory now.
bool IsExistingFolderItem(LPCITEMIDLIST Item);

class TBrowseFolderDialog {
public:
    // Instruction text above the folder tree; empty shows none.
    std::string DialogText;
    // In: the folder to preselect. Out: the chosen folder, without a
    // trailing backslash (the root of drive C is "C:").
    std::string FolderName;
    // Owner of the dialog; none means the window active when Execute starts.
    HWND Owner = nullptr;

    // Shows the dialog modally. True when a folder was chosen; false, with
    // FolderName unchanged, when it was cancelled. Raises EOSError when the
    // chosen item has no file-system path.
    bool Execute();

private:
    static int CALLBACK BrowseCallback(HWND Wnd, UINT Msg, LPARAM Param, LPARAM Data);
    void HandleCallback(HWND Wnd, UINT Msg, LPARAM Param);
    // The timer's id is the dialog object.
    static void CALLBACK PreselectTick(HWND Wnd, UINT, UINT_PTR Id, DWORD);
    std::string FDisplayName;
    int FPreselectTicksLeft = 0;
};
