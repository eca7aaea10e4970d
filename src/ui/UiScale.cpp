#include "ui/UiScale.h"

#include <windows.h>

namespace {

int ScreenDpi() {
    static const int Dpi = [] {
        HDC Screen = GetDC(nullptr);
        int Value = Screen ? GetDeviceCaps(Screen, LOGPIXELSY) : 96;
        if (Screen) ReleaseDC(nullptr, Screen);
        return Value > 0 ? Value : 96;
    }();
    return Dpi;
}

} // namespace

int UiScale(int DesignPixels) {
    return MulDiv(DesignPixels, ScreenDpi(), 96);
}

int UiFontHeight(int Points) {
    return -MulDiv(Points, ScreenDpi(), 72);
}
