#pragma once
// Shell operations of the engine: shortcut files, running a program through
// the shell and waiting for it, opening a folder window. All of them need
// COM initialised for the apartment model on the calling thread.

#include "platform/Owners.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <optional>
#include <string>

// One shell link. Empty texts and zero numbers leave a property unset.
struct TShortcutSpec {
    std::string Arguments;
    std::int32_t ShowCmd = 0;
    std::string WorkingFolder;
    TItemIdList ItemIdList; // kept for callers; CreateShellLink does not use it
    std::string Target;
    std::string Description;
    std::string IconFile;
    std::int32_t IconIndex = 0;
    std::uint16_t HotKey = 0;
};

// Writes the link file, replacing one of the same name. Returns the HRESULT
// of the last call made (a failure when the name does not fit MAX_PATH).
// Raises when the link object cannot be saved to a file at all.
HRESULT CreateShellLink(const TShortcutSpec& Spec, const std::string& LinkFileName);

// Starts File through the shell and returns once it has ended, dispatching
// this thread's window messages every 10 ms meanwhile. Empty Parameters or
// Verb are passed as none. False when the shell could not start the file
// (GetLastError tells why). ExitCode, when given, receives the program's
// exit code, or none when the shell handed back no process to wait for.
bool ShellExecuteAndWait(const std::string& File, const std::string& Parameters,
                         const std::string& Verb, int ShowCmd,
                         std::optional<DWORD>* ExitCode = nullptr);

// Asks the desktop's shell for an Explorer window on Folder, without
// waiting for it: the window belongs to the user at the desktop, never to
// this (elevated) program. False for a path that is not an existing folder,
// and when no desktop shell answers (Parent is not used then).
bool OpenFolderWindow(const std::string& Folder, HWND Parent);

// Opens Target (a web address, a file) through the desktop's shell, in
// Explorer's process, so that it runs as the user who is logged on and not
// with this program's (elevated) rights. False when there is no desktop
// shell to ask (none runs, or it does not answer, as under Wine).
bool ShellExecuteAsDesktop(const std::string& Target);
