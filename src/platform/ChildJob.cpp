#include "platform/ChildJob.h"

namespace {

// Made once and never closed by this program: the system closes it when
// the process ends, and that ends the job's programs.
HANDLE ChildJob() {
    static const HANDLE Job = [] {
        const HANDLE Made = CreateJobObjectA(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION Limits{};
        Limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (Made && !SetInformationJobObject(Made, JobObjectExtendedLimitInformation, &Limits,
                                             sizeof Limits)) {
            CloseHandle(Made);
            return HANDLE(nullptr);
        }
        return Made;
    }();
    return Job;
}

} // namespace

bool CreateChildProcess(const char* Application, std::string& CommandLine, bool InheritHandles,
                        const char* Folder, STARTUPINFOA& Startup, PROCESS_INFORMATION& Process) {
    if (!CreateProcessA(Application, CommandLine.data(), nullptr, nullptr, InheritHandles,
                        CREATE_SUSPENDED, nullptr, Folder, &Startup, &Process))
        return false;
    if (const HANDLE Job = ChildJob()) AssignProcessToJobObject(Job, Process.hProcess);
    return true;
}
