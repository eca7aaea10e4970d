#include "engine/Children.h"

#include "engine/Transaction.h"
#include "platform/ChildJob.h"
#include "platform/Registry.h"

#include <windows.h>

#include <cstdlib>

namespace {

const char* const RunningChildValue = "RunningChild";

// A process is the one noted only with the same id and the same start:
// ids are used again.
std::uint64_t StartOf(HANDLE Process) {
    FILETIME Created{}, Exited{}, Kernel{}, User{};
    if (!GetProcessTimes(Process, &Created, &Exited, &Kernel, &User)) return 0;
    return (static_cast<std::uint64_t>(Created.dwHighDateTime) << 32) | Created.dwLowDateTime;
}

void DispatchPendingMessages() {
    MSG Message;
    while (PeekMessageA(&Message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&Message);
        DispatchMessageA(&Message);
    }
}

} // namespace

bool TChild::Start(const char* Application, std::string& CommandLine, bool InheritHandles,
                   const char* Folder, STARTUPINFOA& Startup) {
    PROCESS_INFORMATION Info{};
    if (!CreateChildProcess(Application, CommandLine, InheritHandles, Folder, Startup, Info))
        return false;
    FProcess.reset(Info.hProcess);
    const THandle Thread(Info.hThread);
    // The note is a second line of defence behind the job: a program that
    // cannot be noted still runs.
    if (const TRegKey State = CreateSetupStateKey()) {
        FNoted = WriteText(State.get(), RunningChildValue,
                           std::to_string(Info.dwProcessId) + " " +
                               std::to_string(StartOf(Info.hProcess)));
        RegFlushKey(State.get());
    }
    ResumeThread(Thread.get());
    return true;
}

TChild::~TChild() {
    if (!FNoted) return;
    if (const TRegKey State = OpenMachineKey(SetupStateKey(), KEY_ALL_ACCESS))
        RegDeleteValueA(State.get(), RunningChildValue);
    DropEmptySetupStateKey();
}

std::vector<std::string> EndLeftChild() {
    std::vector<std::string> Lines;
    TRegKey State = OpenMachineKey(SetupStateKey(), KEY_ALL_ACCESS);
    if (!State) return Lines;
    const std::string Note = ReadText(State.get(), RunningChildValue);
    if (Note.empty()) return Lines;
    char* End = nullptr;
    const unsigned long Id = std::strtoul(Note.c_str(), &End, 10);
    const unsigned long long Start = std::strtoull(End, nullptr, 10);
    const THandle Process(OpenProcess(
        PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, Id));
    if (Process && Start != 0 && StartOf(Process.get()) == Start &&
        WaitForSingleObject(Process.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(Process.get(), 1);
        WaitForSingleObject(Process.get(), 5000);
        Lines.push_back("A program that the interrupted run had started was still running "
                        "(process " +
                        std::to_string(Id) + "): setup ended it.");
    }
    RegDeleteValueA(State.get(), RunningChildValue);
    RegFlushKey(State.get());
    State.reset();
    DropEmptySetupStateKey();
    return Lines;
}

std::optional<std::uint32_t> RunAndWait(const std::string& Program, const std::string& Parameters,
                                        int ShowCmd, std::uint32_t LimitMs, bool& TimedOut) {
    TimedOut = false;
    std::string CommandLine = "\"" + Program + "\"" + Parameters;
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    Startup.dwFlags = STARTF_USESHOWWINDOW;
    Startup.wShowWindow = static_cast<WORD>(ShowCmd);
    TChild Child;
    if (!Child.Start(Program.c_str(), CommandLine, false, nullptr, Startup)) return std::nullopt;
    // This thread's windows stay alive while the program runs.
    const DWORD Started = GetTickCount();
    DWORD Waited;
    while ((Waited = WaitForSingleObject(Child.Process(), 10)) == WAIT_TIMEOUT) {
        if (GetTickCount() - Started >= LimitMs) {
            TerminateProcess(Child.Process(), 1);
            WaitForSingleObject(Child.Process(), 5000);
            TimedOut = true;
            return std::nullopt;
        }
        DispatchPendingMessages();
    }
    DWORD Code = 0;
    if (Waited != WAIT_OBJECT_0 || !GetExitCodeProcess(Child.Process(), &Code)) return std::nullopt;
    return Code;
}
