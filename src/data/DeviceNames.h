#pragma once
// The names Windows does not let a file have, as one rule for the setup
// program and the extraction program alike. Pure text: the names come in
// the ANSI code page (the setup program) or in UTF-8 (the extraction
// program), and both spellings of the superscripts are known.

#include <string>

// True when Windows opens a file of this name (one level of a path) as a
// device, whatever its extension and blanks before it: CON, PRN, AUX, NUL,
// CONIN$, CONOUT$, COM0 to COM9 and LPT0 to LPT9, and COM and LPT with a
// superscript one, two or three.
bool IsDeviceName(const std::string& Name);

// True when Name has the form of an 8.3 short name ("PROGRA~1",
// "MORVAN~1.OCX"): such a name may be another file's alias, and writing to
// it would write to that file.
bool LooksLikeShortName(const std::string& Name);
