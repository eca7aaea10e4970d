#pragma once
// What the setup program and its extraction program, unrar.exe, say to each
// other: the switches it is run with, the exit codes it ends with and the
// beginnings and endings of the output lines the setup program reads. Both
// programs include this header, so neither can change a word alone.

#include <string_view>

namespace extraction {

// Before the archive, the masks and the destination on unrar.exe's line.
inline constexpr const char* ExtractSwitches = "x -c- -cfg- -dh -idp -o+ -r -y ";

enum TExitCode : int {
    ecSuccess = 0,
    ecWarning = 1,
    ecFatal = 2,
    ecDamaged = 3,
    ecWrite = 5,
    ecOpen = 6,
    ecCmdLine = 7,
    ecCreate = 9,
    ecNoFiles = 10,
    // Everything was extracted, but files that another program holds could
    // not be replaced: their new content lies beside them ("Pending" lines),
    // for the setup program to put in place at the next restart.
    ecPending = 11,
};

// Standard output: a line per entry, one of these labels, then the entry's
// path relative to the destination.
inline constexpr std::string_view Extracting = "Extracting  "; // a file written
inline constexpr std::string_view Creating = "Creating    ";   // a folder entry
inline constexpr std::string_view Skipping = "Skipping    ";   // an existing file kept
inline constexpr std::string_view Pending = "Pending     ";    // new content beside a held file

// Standard error: every line begins with this.
inline constexpr std::string_view ErrorPrefix = "unrar: ";
// A file that cannot be created: "unrar: cannot create <full path>: <why>",
// where these two endings are the reasons the setup program tells apart.
inline constexpr std::string_view CannotCreate = "cannot create ";
inline constexpr std::string_view InUseEnding = ": it is in use by another program";
inline constexpr std::string_view AccessDeniedEnding = ": access denied";

} // namespace extraction
