#pragma once
// Runs a console program with its standard output and standard error
// captured, line by line, while it runs.

#include <cstdint>
#include <functional>
#include <string>

// One output line, converted to the ANSI code page; setting Abort asks for
// the program to be stopped.
using TCapturedLineEvent = std::function<void(const std::string& Line, bool& Abort)>;
// Called about every 30 ms while the program runs; Sender is always null.
using TCapturedIdleEvent = std::function<void(void* Sender)>;

// Starts "Program Parameters" (one blank between, even when Parameters is
// empty) in WorkingFolder (empty: the caller's current folder) and waits for
// it, delivering its output lines to OnLine. With UseInputPipe the program's
// standard input is a pipe through which an abort sends it eight Ctrl+C
// characters before it is stopped.
//
// ApplicationName, when given, is the full path of the program file to start;
// the system then does not search for Program, which stays the first word of
// the command line. Empty: the system searches for Program as usual.
//
// The output goes to a temporary file in the system's temp folder, deleted
// once the last handle to it is closed, and is read back from there as it
// grows; without such a file, through an anonymous pipe.
//
// Returns the program's exit code, -3 when it was stopped by force, -1 when
// it could not be started, and -2 when OnLine is not set, neither the file
// nor a pipe can be made for the output, the input pipe cannot be made, or
// the exit code cannot be read. Errors raised by the hooks propagate;
// every handle is closed on the way out.
std::int32_t RunCaptured(const std::string& Program, const std::string& Parameters,
                         const std::string& WorkingFolder, const TCapturedLineEvent& OnLine,
                         const TCapturedIdleEvent& OnIdle, bool UseInputPipe,
                         const std::string& ApplicationName = std::string());
