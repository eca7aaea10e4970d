#pragma once
// Text of the names the shell hands out (Windows only).

#include <windows.h>
#include <shlobj.h>

#include <string>

// The text of a display name, whichever of its three kinds the shell chose
// (wide string, offset into Item, inline text). A wide string is freed
// (task allocator, which is the shell's) and its pointer cleared.
std::string StrRetToText(STRRET& Value, PCUITEMID_CHILD Item);
