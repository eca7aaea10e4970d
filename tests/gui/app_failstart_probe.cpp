// The setup program with a failure injected while its pages are built: after
// the page whose number MORVANE_FAIL_AT_PAGE names.

#include "app/Startup.h"
#include "app/uMain.h"
#include "platform/Error.h"

#include <windows.h>

#include <cstdlib>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int ShowCmd) {
    const char* At = std::getenv("MORVANE_FAIL_AT_PAGE");
    const int FailAt = At ? std::atoi(At) : 0;
    TfMain::OnPageBuilt = [FailAt](int Pages) {
        if (Pages == FailAt)
            throw Exception("Injected failure after page " + std::to_string(Pages));
    };
    return RunSetup(ShowCmd);
}
