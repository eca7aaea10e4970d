#pragma once
// Sizes of the controls are given in design pixels (96 dpi); this is the one
// place that turns them into device pixels.

// Design pixels to device pixels at the system's DPI.
int UiScale(int DesignPixels);
// Point size to a font height for CreateFont (negative: character height).
int UiFontHeight(int Points);
