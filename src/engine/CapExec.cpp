#include "engine/CapExec.h"

#include "engine/LineSplitter.h"

#include <windows.h>

#include <algorithm>
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
// A program printing a line per file fills the system's default pipe (4 KB)
// within microseconds and then waits for us; a larger pipe lets it run on
// while we handle what it wrote. The size is a limit, not an allocation.
constexpr DWORD PipeBufferSize = 1024 * 1024;
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
    if (!CreatePipe(&Read, &Write, &Attributes, PipeBufferSize)) return false;
    Pipe.Read.reset(Read);
    Pipe.Write.reset(Write);
    HANDLE ParentEnd = ParentReads ? Read : Write;
    return SetHandleInformation(ParentEnd, HANDLE_FLAG_INHERIT, 0) != 0;
}

// Converts lines from the OEM to the ANSI code page, as OemToCharBuff does.
// Between two single-byte code pages every byte converts on its own, so the
// system's conversion of all 256 byte values, made once, converts a line by
// table lookup: a flood of lines then costs no system call per line.
// Multi-byte code pages convert line by line, as they must.
class TOemLineToAnsi {
public:
    TOemLineToAnsi() {
        CPINFO Oem{}, Ansi{};
        FByTable = GetCPInfo(CP_OEMCP, &Oem) && GetCPInfo(CP_ACP, &Ansi) && Oem.MaxCharSize == 1 &&
                   Ansi.MaxCharSize == 1;
        if (!FByTable) return;
        for (int Byte = 0; Byte < 256; ++Byte)
            FTable[Byte] = static_cast<char>(Byte);
        OemToCharBuffA(FTable, FTable, sizeof FTable);
    }

    // The converted copy of Line, valid until the next call.
    const std::string& operator()(const std::string& Line) {
        FConverted.assign(Line);
        if (FConverted.empty()) return FConverted;
        if (FByTable) {
            for (char& C : FConverted)
                C = FTable[static_cast<unsigned char>(C)];
        } else {
            OemToCharBuffA(FConverted.data(), FConverted.data(),
                           static_cast<DWORD>(FConverted.size()));
        }
        return FConverted;
    }

private:
    bool FByTable = false;
    char FTable[256] = {};
    std::string FConverted;
};

// Reads what the pipe holds right now, never waiting for more. Returns the
// number of bytes read.
DWORD DrainPipe(HANDLE Pipe, TLineSplitter& Splitter, std::vector<char>& Buffer, bool& Abort) {
    DWORD Available = 0;
    if (!PeekNamedPipe(Pipe, nullptr, 0, nullptr, &Available, nullptr) || Available == 0) return 0;
    if (Buffer.size() < Available) Buffer.resize(Available);
    DWORD Read = 0;
    if (!ReadFile(Pipe, Buffer.data(), Available, &Read, nullptr)) Read = 0;
    Splitter.Append(Buffer.data(), Read, Abort);
    return Read;
}

// How long to wait for the program before looking at the pipe again. Each
// look costs the writing program time too (under Wine both sides meet in
// one server), so while output flows we look every few milliseconds and
// take big reads; only a nearly full pipe is read again at once. A quiet
// program is looked at less and less often, down to once per polling step.
class TPollPace {
public:
    DWORD Next(DWORD BytesRead) {
        if (BytesRead >= PipeBufferSize / 2)
            FWait = 0;
        else if (BytesRead > 0)
            FWait = FlowingMilliseconds;
        else
            FWait =
                std::min<DWORD>(std::max<DWORD>(FWait, FlowingMilliseconds) * 2, PollMilliseconds);
        return FWait;
    }

private:
    static constexpr DWORD FlowingMilliseconds = 5;
    DWORD FWait = PollMilliseconds;
};

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

    TOemLineToAnsi OemLineToAnsi;
    TLineSplitter Splitter([&OnLine, &OemLineToAnsi](const std::string& Line, bool& LineAbort) {
        OnLine(OemLineToAnsi(Line), LineAbort);
    });
    std::vector<char> Buffer;

    // The idle hook keeps its rhythm of one call per polling step however
    // often the pipe is looked at.
    TPollPace Pace;
    DWORD LastIdle = GetTickCount();
    DWORD Wait = PollMilliseconds;
    while (WaitForSingleObject(Process.get(), Wait) == WAIT_TIMEOUT && !Abort) {
        const bool WholeStep = Wait == PollMilliseconds;
        Wait = Pace.Next(DrainPipe(Output.Read.get(), Splitter, Buffer, Abort));
        if (OnIdle && (WholeStep || GetTickCount() - LastIdle >= PollMilliseconds)) {
            LastIdle = GetTickCount();
            OnIdle(nullptr);
        }
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
