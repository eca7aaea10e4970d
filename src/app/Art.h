#pragma once
// The picture along the left of the welcome and finish pages, drawn by code
// so that no bitmap has to travel with the sources.

#include <windows.h>

// A new bitmap of Width x Height pixels; the caller owns it (DeleteObject).
HBITMAP CreateSideArt(int Width, int Height);
