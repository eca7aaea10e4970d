#pragma once
// The programs setup starts (the extraction program, regsvr32) live and die
// with it: each runs in one job object whose only handle this process
// holds, and which ends everything in it when that handle is closed, that
// is when setup ends, however it ends (End task, a crash). Windows only.

#include <windows.h>

#include <string>

// CreateProcessA, with the program created suspended and put into the job
// before it runs a single instruction; the caller lets it run
// (ResumeThread). Where the system cannot put it into a job (Windows 7,
// when setup itself runs in a job that allows no other), it runs outside
// one. False, with the system's error code, when it cannot be started.
bool CreateChildProcess(const char* Application, std::string& CommandLine, bool InheritHandles,
                        const char* Folder, STARTUPINFOA& Startup, PROCESS_INFORMATION& Process);
