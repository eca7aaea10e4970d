// Program entry of the setup wizard.

#include "app/SafeLoad.h"
#include "app/Startup.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int ShowCmd) {
    // Before anything else loads a library: never from our own folder or the
    // current one, where a downloads folder may hold a planted DLL.
    RestrictDllSearch();
    return RunSetup(ShowCmd);
}
