// Names as the archive format says they are, and as this system holds and
// prints them. Inside the program every name is UTF-8; on Windows files are
// made with the wide API, and what is printed for the setup program is in
// the OEM code page, as console programs print. Natively (Linux) names are
// bytes, which is what GNU tar makes of them too.
#pragma once

#include <string>

namespace unrar::names {

// True when Text is well-formed UTF-8 (shortest forms, no surrogates).
bool IsUtf8(const std::string& Text);

// An entry's name as UTF-8: a pax name is UTF-8 already; a ustar or GNU
// name is UTF-8 when it reads as such, else (on Windows) text of the ANSI
// code page. Natively the bytes stay as they are.
std::string EntryName(const std::string& Bytes, bool IsPax);

// A command-line argument (the ANSI code page on Windows) as UTF-8.
std::string Argument(const std::string& Text);

// True when the setup program, whose text is 8-bit, can hold the name:
// both the ANSI and the OEM code page have every character of it (its
// output reaches the setup program in the one, its list in the other).
// Always true natively.
bool FitsSetupProgram(const std::string& Utf8);

// Text to print: OEM code page on Windows, unchanged natively.
std::string ForConsole(const std::string& Utf8);

#ifdef _WIN32
std::wstring Wide(const std::string& Utf8);
std::string Utf8(const std::wstring& Wide);
#endif

} // namespace unrar::names
