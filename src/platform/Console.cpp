#include "platform/Console.h"
#include "platform/Owners.h"

#include <windows.h>

#include <cstdlib>

namespace {

bool Usable(HANDLE Handle) {
    return Handle != nullptr && Handle != INVALID_HANDLE_VALUE &&
           GetFileType(Handle) != FILE_TYPE_UNKNOWN;
}

bool IsConsole(HANDLE Handle) {
    DWORD Mode;
    return GetConsoleMode(Handle, &Mode) != FALSE;
}

void WriteAll(HANDLE Out, const std::string& Text) {
    const char* Data = Text.data();
    DWORD Left = static_cast<DWORD>(Text.size());
    while (Left > 0) {
        DWORD Written = 0;
        BOOL Ok = IsConsole(Out) ? WriteConsoleA(Out, Data, Left, &Written, nullptr)
                                 : WriteFile(Out, Data, Left, &Written, nullptr);
        if (!Ok || Written == 0) return;
        Data += Written;
        Left -= Written;
    }
}

// Reads up to a line feed; gives up at the end of input or on an error, so
// that a help request from a script never waits.
void WaitForEnter(HANDLE In) {
    if (!Usable(In)) return;
    char C = 0;
    DWORD Read = 0;
    while (ReadFile(In, &C, 1, &Read, nullptr) && Read == 1)
        if (C == '\n') return;
}

HANDLE OpenConsoleDevice(const char* Name) {
    return CreateFileA(Name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

} // namespace

void ShowHelp(const std::string& Screen) {
    HANDLE Out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE In = GetStdHandle(STD_INPUT_HANDLE);
    THandle OwnOut, OwnIn;
    // Output already redirected, or a console we run in: use it. Otherwise
    // the console of the command prompt we were started from, else our own.
    if (!Usable(Out)) {
        const bool Attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
        if (!Attached) AllocConsole();
        OwnOut.reset(OpenConsoleDevice("CONOUT$"));
        Out = OwnOut.get();
        // A console of our own has nobody at it: a deployment tool started
        // setup without one. Nobody would ever press Enter there.
        if (Attached) OwnIn.reset(OpenConsoleDevice("CONIN$"));
        In = OwnIn.get();
    }
    if (Usable(Out)) WriteAll(Out, Screen);
    WaitForEnter(In);
}

std::vector<std::string> ProcessArguments() {
    std::vector<std::string> Args;
    for (int I = 1; I < __argc; ++I)
        Args.emplace_back(__argv[I]);
    return Args;
}

