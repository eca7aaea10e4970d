#include "ui/UiScale.h"

#include "platform/Owners.h"

#include <windows.h>

namespace {

int ScreenDpi() {
    static const int Dpi = [] {
        const TWindowDc Screen(GetDC(nullptr));
        int Value = Screen ? GetDeviceCaps(Screen.get(), LOGPIXELSY) : 96;
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

HFONT CreateUiFont(int Points, int Weight, const char* Face) {
    return CreateFontA(UiFontHeight(Points), 0, 0, 0, Weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, Face);
}
