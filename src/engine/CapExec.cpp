#include "engine/CapExec.h"

#include "engine/LineSplitter.h"

#include <windows.h>

#include <memory>
#include <type_traits>
#include <vector>

// The sizes the platform calls of a 32-bit program expect.
static_assert(sizeof(STARTUPINFOA) == 68);
static_assert(sizeof(SECURITY_ATTRIBUTES) == 12);

namespace {

struct THandleCloser {
    void operator()(HANDLE Handle) const { CloseHandle(Handle); }
};
using TOwnedHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, THandleCloser>;

struct TPipe {
    TOwnedHandle Read;
    TOwnedHandle Write;
};

constexpr DWORD PollMilliseconds = 30;
constexpr DWORD AbortGraceMilliseconds = 500;
// Exit code of a program stopped by force: -3 read as a signed value.
constexpr UINT ForcedExitCode = 0xFFFFFFFD;
// TerminateProcess only starts the stop; the exit code is final once the
// process has ended, which takes a moment.
constexpr DWORD TerminationMilliseconds = 5000;

// Both ends are created inheritable (the child needs one of them); ParentEnd
// is the one this process keeps, and must not be inherited, or the child
// would hold its own pipe open from the other side.
bool MakePipe(SECURITY_ATTRIBUTES& Attributes, TPipe& Pipe, bool ParentReads) {
    HANDLE Read = nullptr;
    HANDLE Write = nullptr;
    if (!CreatePipe(&Read, &Write, &Attributes, 0)) return false;
    Pipe.Read.reset(Read);
    Pipe.Write.reset(Write);
    HANDLE ParentEnd = ParentReads ? Read : Write;
    return SetHandleInformation(ParentEnd, HANDLE_FLAG_INHERIT, 0) != 0;
}

std::string OemLineToAnsi(const std::string& Line) {
    std::string Converted(Line);
    if (!Converted.empty())
        OemToCharBuffA(Converted.data(), Converted.data(), static_cast<DWORD>(Converted.size()));
    return Converted;
}

// Reads what the pipe holds right now, never waiting for more.
void DrainPipe(HANDLE Pipe, TLineSplitter& Splitter, std::vector<char>& Buffer, bool& Abort) {
    DWORD Available = 0;
    if (!PeekNamedPipe(Pipe, nullptr, 0, nullptr, &Available, nullptr) || Available == 0) return;
    if (Buffer.size() < Available) Buffer.resize(Available);
    DWORD Read = 0;
    if (!ReadFile(Pipe, Buffer.data(), Available, &Read, nullptr)) Read = 0;
    Splitter.Append(Buffer.data(), Read, Abort);
}

void StopProcess(HANDLE Process) {
    if (TerminateProcess(Process, ForcedExitCode))
        WaitForSingleObject(Process, TerminationMilliseconds);
}

} // namespace

std::int32_t RunCaptured(const std::string& Program, const std::string& Parameters,
                         const std::string& WorkingFolder, const TCapturedLineEvent& OnLine,
                         const TCapturedIdleEvent& OnIdle, bool UseInputPipe,
                         const std::string& ApplicationName) {
    if (!OnLine) return -2;

    SECURITY_ATTRIBUTES Security{};
    Security.nLength = sizeof(Security);
    Security.lpSecurityDescriptor = nullptr;
    Security.bInheritHandle = TRUE;

    STARTUPINFOA Startup{};
    Startup.cb = sizeof(Startup);
    Startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    Startup.wShowWindow = SW_HIDE;

    bool Abort = false;

    // Declared in the reverse of their closing order: process, input pipe,
    // output pipe.
    TPipe Output;
    TPipe Input;
    TOwnedHandle Process;

    if (!MakePipe(Security, Output, true)) return -2;
    if (UseInputPipe && !MakePipe(Security, Input, false)) return -2;

    Startup.hStdInput = UseInputPipe ? Input.Read.get() : GetStdHandle(STD_INPUT_HANDLE);
    Startup.hStdOutput = Output.Write.get();
    Startup.hStdError = Output.Write.get();

    std::string CommandLine = Program + " " + Parameters;
    PROCESS_INFORMATION Info{};
    if (!CreateProcessA(ApplicationName.empty() ? nullptr : ApplicationName.c_str(),
                        CommandLine.data(), &Security, nullptr, TRUE, 0, nullptr,
                        WorkingFolder.empty() ? nullptr : WorkingFolder.c_str(), &Startup, &Info))
        return -1;
    Process.reset(Info.hProcess);
    CloseHandle(Info.hThread);

    TLineSplitter Splitter([&OnLine](const std::string& Line, bool& LineAbort) {
        OnLine(OemLineToAnsi(Line), LineAbort);
    });
    std::vector<char> Buffer;

    while (WaitForSingleObject(Process.get(), PollMilliseconds) == WAIT_TIMEOUT && !Abort) {
        DrainPipe(Output.Read.get(), Splitter, Buffer, Abort);
        if (OnIdle) OnIdle(nullptr);
    }
    DrainPipe(Output.Read.get(), Splitter, Buffer, Abort);
    Splitter.Finish(Abort);

    if (Abort) {
        if (UseInputPipe) {
            const char CtrlC[8] = {3, 3, 3, 3, 3, 3, 3, 3};
            DWORD Written = 0;
            WriteFile(Input.Write.get(), CtrlC, sizeof(CtrlC), &Written, nullptr);
            if (WaitForSingleObject(Process.get(), AbortGraceMilliseconds) != WAIT_OBJECT_0)
                StopProcess(Process.get());
        } else {
            StopProcess(Process.get());
        }
    }

    DWORD ExitCode = 0;
    if (!GetExitCodeProcess(Process.get(), &ExitCode)) return -2;
    return static_cast<std::int32_t>(ExitCode);
}
