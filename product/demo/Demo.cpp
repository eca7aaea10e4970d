// The compiled demos of the sample product: one small GUI program built once
// per demo, each with its own title (DEMO_TITLE).
#include <windows.h>

#ifndef DEMO_TITLE
#define DEMO_TITLE "Morvane ActiveX Demo"
#endif

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MessageBoxA(nullptr,
                "This demo shows the Morvane XControls at work.\n"
                "The controls are registered by the Morvane ActiveX installer.",
                DEMO_TITLE, MB_OK | MB_ICONINFORMATION);
    return 0;
}
