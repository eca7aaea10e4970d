// The extraction program: its command line and its two commands.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace unrar {

enum class TCommand { Extract, ListBare };

struct TOptions {
    TCommand Command = TCommand::Extract;
    bool Overwrite = false;    // -o+ or -y: replace existing files
    bool KeepExisting = false; // -o-: never replace (wins over -y)
    bool Recurse = false;      // -r: masks without a folder match in every folder
    std::string Archive;
    std::vector<std::string> Masks; // "*" when none is given
    std::string Destination;        // empty: the current folder
};

// Reads the arguments after the program name:
//   x|lb [switches] archive [masks...] [destination\]
// The destination is the last argument when it ends with '\' or '/'. A
// quoted destination ending in a backslash, "C:\dir\", reaches a program
// started by the Windows C runtime as C:\dir" (the backslash escapes the
// quote), so a trailing quote also marks the destination and is dropped.
// Returns false with a message when the line is not understood.
bool ParseCommandLine(const std::vector<std::string>& args, TOptions& options, std::string& error);

extern const char* const UsageText;

// Writes text as it is. (The runtime's printf family would bring MinGW's
// own printf into unrar.exe, a tenth of it, for a few lines.)
void Put(std::FILE* to, std::string_view text);

// Runs the command; file lines and the summary go to out, errors to err.
// Returns the program's exit code (extraction::TExitCode), after an archive
// error too.
int Run(const TOptions& options, std::FILE* out, std::FILE* err);

} // namespace unrar
