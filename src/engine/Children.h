#pragma once
// The programs setup runs, each in setup's job (platform/ChildJob.h) and
// noted in setup's state in the registry while it runs: should setup be
// cut off before the job could end it (a power loss leaves nothing running,
// but a program may have been started outside a job), the next start of
// setup ends it before it undoes anything.

#include "platform/Owners.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TChild {
public:
    TChild() = default;
    // Forgets the note; the program itself is not ended here.
    ~TChild();
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

    // Starts the program suspended in setup's job, notes it, then lets it
    // run. False, with the system's error code, when it cannot be started.
    bool Start(const char* Application, std::string& CommandLine, bool InheritHandles,
               const char* Folder, STARTUPINFOA& Startup);
    HANDLE Process() const { return FProcess.get(); }

private:
    THandle FProcess;
    bool FNoted = false;
};

// Ends the program that a cut-off run of setup left running, if it still
// runs; the line says so (none when there was nothing to end).
std::vector<std::string> EndLeftChild();

// Runs Program with Parameters (shown with ShowCmd) as a child and waits
// for it, dispatching this thread's window messages every 10 ms meanwhile,
// for at most LimitMs: then it is ended, and TimedOut says so. Its exit
// code; none when it could not be started (GetLastError tells why) or was
// ended.
std::optional<std::uint32_t> RunAndWait(const std::string& Program, const std::string& Parameters,
                                        int ShowCmd, std::uint32_t LimitMs, bool& TimedOut);
