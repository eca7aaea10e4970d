#pragma once
// Sizes of the controls are given in design pixels (96 dpi); this is the one
// place that turns them into device pixels.

#include <windows.h>

// Design pixels to device pixels at the system's DPI.
int UiScale(int DesignPixels);
// Point size to a font height for CreateFont (negative: character height).
int UiFontHeight(int Points);
// The dialog font Face (a sans-serif one) at Points for this display.
HFONT CreateUiFont(int Points, int Weight, const char* Face = "MS Shell Dlg 2");
