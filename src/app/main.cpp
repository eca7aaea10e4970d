// Program entry of the setup wizard.

#include "platform/SafeLoad.h"
#include "app/Startup.h"
#include "platform/OwnImage.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int ShowCmd) {
    // First of all: from now on nobody can change, rename or replace the
    // program that runs, and the copies setup makes of itself are of it.
    HoldOwnImage();
    // Before anything else loads a library: never from our own folder or the
    // current one, where a downloads folder may hold a planted DLL.
    RestrictDllSearch();
    return RunSetup(ShowCmd);
}
