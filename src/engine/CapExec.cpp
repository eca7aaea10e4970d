#include "engine/CapExec.h"

#include "platform/Owners.h"
#include "engine/Children.h"
#include "engine/LineSplitter.h"
#include "platform/SystemLibrary.h"
#include "platform/Utils.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

namespace {

struct TPipe {
    THandle Read;
    THandle Write;
};

constexpr DWORD PollMilliseconds = 30;
// A program printing a line per file fills the system's default pipe (4 KB)
// within microseconds and then waits for us; a larger pipe lets it run on
// while we handle what it wrote. The size is a limit, not an allocation.
constexpr DWORD PipeBufferSize = 1024 * 1024;
// Reads of the output file are taken in blocks of this size.
constexpr DWORD FileBlockSize = 1024 * 1024;
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
    if (!CreatePipe(Pipe.Read.put(), Pipe.Write.put(), &Attributes, PipeBufferSize)) return false;
    const HANDLE ParentEnd = ParentReads ? Pipe.Read.get() : Pipe.Write.get();
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
        FAsciiUnchanged = true;
        for (int Byte = 0; Byte < 0x80; ++Byte)
            FAsciiUnchanged = FAsciiUnchanged && FTable[Byte] == static_cast<char>(Byte);
    }

    // The converted copy of Line (or Line itself, when the conversion would
    // not change it), valid until the next call.
    const std::string& operator()(const std::string& Line) {
        // Console tools mostly print plain ASCII, which the table leaves as
        // it is: such a line is passed on without a copy.
        if (FAsciiUnchanged && IsAscii(Line)) return Line;
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
    // No byte of Text has its high bit set; looks at a word at a time.
    static bool IsAscii(const std::string& Text) {
        using TWord = std::size_t;
        constexpr TWord Highs = ~TWord(0) / 255 * 0x80;
        const char* First = Text.data();
        const char* const Last = First + Text.size();
        TWord Seen = 0;
        for (; Last - First >= static_cast<std::ptrdiff_t>(sizeof(TWord)); First += sizeof(TWord)) {
            TWord Word;
            std::memcpy(&Word, First, sizeof Word);
            Seen |= Word;
        }
        for (; First != Last; ++First)
            Seen |= static_cast<unsigned char>(*First);
        return (Seen & Highs) == 0;
    }

    bool FByTable = false;
    bool FAsciiUnchanged = false;
    char FTable[256] = {};
    std::string FConverted;
};

struct TDrained {
    DWORD Bytes = 0;
    // False when more output was waiting when the drain stopped.
    bool CaughtUp = true;
};

// Where the program's standard output and standard error go, and how we
// read them back.
//
// Preferably a temporary file: under Wine every write into a pipe is a round
// trip through the Wine server, so a program printing a line per file runs
// several times slower into a pipe than into a file, whose writes go
// straight to the disk cache. We follow the file through a handle of our own,
// with its own position, while the program appends to it. Should no
// temporary file be possible, an anonymous pipe does the same job.
class TOutputChannel {
public:
    bool OpenFile(SECURITY_ATTRIBUTES& Attributes);
    bool OpenPipe(SECURITY_ATTRIBUTES& Attributes);

    // The handle the program writes to.
    HANDLE ProgramEnd() const { return FProgramEnd.get(); }

    // Reads what has arrived, never waiting for more, and hands it to
    // Splitter. Stops once Abort is set (after the first read) or, for the
    // file, after about Milliseconds.
    TDrained Drain(TLineSplitter& Splitter, bool& Abort, DWORD Milliseconds);

    // The last read after the program has ended or is to be stopped.
    void DrainRest(TLineSplitter& Splitter, bool& Abort);

private:
    DWORD ReadPipe(TLineSplitter& Splitter, bool& Abort);
    DWORD ReadFileBlock(TLineSplitter& Splitter, bool& Abort, DWORD Size = FileBlockSize);
    void ReleaseCarriedCR(TLineSplitter& Splitter, bool& Abort);

    // The file goes away once its last handle is closed: ours, the
    // program's, and those of programs it started.
    THandle FProgramEnd;
    THandle FOurEnd;
    bool FIsFile = false;
    std::vector<char> FBuffer;
    // Bytes of the file read so far.
    unsigned long long FPosition = 0;
    // A CR that ends a full block is held for the next read: a full block
    // means more output was waiting, so the boundary is our block size, not
    // a pause of the program, and must not split a CR LF into two line ends.
    bool FCarriedCR = false;
    // The last byte read ends a line.
    bool FAtLineEnd = false;
};

namespace {

// A second handle, for reading, on the file that Write is open on: by
// ReOpenFile where the system has it (Vista and later; bound late so that
// the program still starts on XP, which only knows the name, Path).
HANDLE ReopenForReading(HANDLE Write, const std::string& Path, DWORD Share) {
    static const TSystemFunction<HANDLE(WINAPI*)(HANDLE, DWORD, DWORD, DWORD)> Reopen{
        "kernel32.dll", "ReOpenFile"};
    if (Reopen) return Reopen(Write, GENERIC_READ, Share, FILE_FLAG_SEQUENTIAL_SCAN);
    return CreateFileA(Path.c_str(), GENERIC_READ, Share, nullptr, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

} // namespace

bool TOutputChannel::OpenFile(SECURITY_ATTRIBUTES& Attributes) {
    const std::string Temp = TempFolder();
    if (Temp.empty()) return false;
    // A name of our own with CREATE_NEW rather than GetTempFileName: the file
    // then never exists without its delete-on-close flag, not even for a
    // moment, and nothing is left behind by a crash.
    // The program's end is the file's only writer: no other process can
    // open it to add lines to what we log and record as installed. Our
    // read end must share writing with it, and deletion for the flag.
    constexpr DWORD ProgramShare = FILE_SHARE_READ | FILE_SHARE_DELETE;
    constexpr DWORD OurShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    // The process's id in the name tells whose file it is.
    std::string Path;
    const std::string Prefix = Temp + "mvcap" + std::to_string(GetCurrentProcessId()) + "_";
    FProgramEnd.reset(CreateUniqueFile(Prefix, ".tmp", GENERIC_WRITE, ProgramShare,
                                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                       &Attributes, Path));
    if (!FProgramEnd) return false;
    // Not inheritable: only the program's end goes to the program. Made
    // from the program's end itself, not by the name, which another
    // process could have taken over in the meantime.
    FOurEnd.reset(ReopenForReading(FProgramEnd.get(), Path, OurShare));
    if (!FOurEnd) {
        FProgramEnd.reset();
        return false;
    }
    FIsFile = true;
    return true;
}

bool TOutputChannel::OpenPipe(SECURITY_ATTRIBUTES& Attributes) {
    TPipe Pipe;
    if (!MakePipe(Attributes, Pipe, true)) return false;
    FOurEnd = std::move(Pipe.Read);
    FProgramEnd = std::move(Pipe.Write);
    FIsFile = false;
    return true;
}

DWORD TOutputChannel::ReadPipe(TLineSplitter& Splitter, bool& Abort) {
    DWORD Available = 0;
    if (!PeekNamedPipe(FOurEnd.get(), nullptr, 0, nullptr, &Available, nullptr) || Available == 0)
        return 0;
    if (FBuffer.size() < Available) FBuffer.resize(Available);
    DWORD Read = 0;
    if (!ReadFile(FOurEnd.get(), FBuffer.data(), Available, &Read, nullptr)) Read = 0;
    Splitter.Append(FBuffer.data(), Read, Abort);
    return Read;
}

// Reads up to Size bytes of the file; returns the number of bytes read.
DWORD TOutputChannel::ReadFileBlock(TLineSplitter& Splitter, bool& Abort, DWORD Size) {
    if (FBuffer.size() < Size + 1) FBuffer.resize(Size + 1);
    const DWORD Carried = FCarriedCR ? 1 : 0;
    FBuffer[0] = '\r';
    DWORD Read = 0;
    if (!ReadFile(FOurEnd.get(), FBuffer.data() + Carried, Size, &Read, nullptr)) Read = 0;
    FPosition += Read;
    DWORD Count = Carried + Read;
    if (Read > 0) FAtLineEnd = FBuffer[Count - 1] == '\r' || FBuffer[Count - 1] == '\n';
    FCarriedCR = Read == Size && FBuffer[Count - 1] == '\r';
    if (FCarriedCR) --Count;
    Splitter.Append(FBuffer.data(), Count, Abort);
    return Read;
}

void TOutputChannel::ReleaseCarriedCR(TLineSplitter& Splitter, bool& Abort) {
    if (!FCarriedCR) return;
    FCarriedCR = false;
    Splitter.Append("\r", 1, Abort);
}

TDrained TOutputChannel::Drain(TLineSplitter& Splitter, bool& Abort, DWORD Milliseconds) {
    TDrained Drained;
    if (!FIsFile) {
        Drained.Bytes = ReadPipe(Splitter, Abort);
        Drained.CaughtUp = Drained.Bytes < PipeBufferSize / 2;
        return Drained;
    }
    const DWORD Start = GetTickCount();
    for (;;) {
        const DWORD Read = ReadFileBlock(Splitter, Abort);
        Drained.Bytes += Read;
        Drained.CaughtUp = Read < FileBlockSize;
        if (Drained.CaughtUp || Abort || GetTickCount() - Start >= Milliseconds) break;
    }
    // Nothing follows the CR yet: it ends the data we have, so it ends the
    // line now, as a CR at the end of any read does.
    if (Drained.CaughtUp) ReleaseCarriedCR(Splitter, Abort);
    return Drained;
}

void TOutputChannel::DrainRest(TLineSplitter& Splitter, bool& Abort) {
    if (!FIsFile) {
        ReadPipe(Splitter, Abort);
        return;
    }
    // What the file holds now, and no more: a program it started may still
    // write into it, and we do not wait for that one (a pipe would not
    // either).
    LARGE_INTEGER Size{};
    const unsigned long long End =
        GetFileSizeEx(FOurEnd.get(), &Size) ? static_cast<unsigned long long>(Size.QuadPart) : 0;
    // After an abort the rest of the output is not wanted, but the line our
    // read cut off is read up to its end, so that it arrives whole, as the
    // program wrote it. The program may be in the middle of writing it, so
    // it gets a few milliseconds for that.
    constexpr DWORD LineRestSize = 4096;
    constexpr DWORD LineRestLimit = 64 * 1024;
    constexpr DWORD LineRestMilliseconds = 20;
    DWORD Block = FileBlockSize;
    DWORD RestRead = 0;
    DWORD RestStart = 0;
    for (;;) {
        const DWORD Read = ReadFileBlock(Splitter, Abort, Block);
        if (!Abort) {
            if (Read < Block || FPosition >= End) break;
            continue;
        }
        if (FAtLineEnd || RestRead >= LineRestLimit) break;
        if (Block == LineRestSize) {
            RestRead += Read;
        } else {
            Block = LineRestSize;
            RestStart = GetTickCount();
        }
        if (Read < Block) {
            if (GetTickCount() - RestStart >= LineRestMilliseconds) break;
            Sleep(1);
        }
    }
    ReleaseCarriedCR(Splitter, Abort);
}

// How long to wait for the program before looking at its output again.
// Each look at a pipe costs the writing program time too (under Wine both
// sides meet in one server), so while output flows we look every few
// milliseconds and take big reads; output that was not read up yet is read
// again at once. A quiet program is looked at less and less often, down to
// once per polling step.
class TPollPace {
public:
    DWORD Next(const TDrained& Drained) {
        if (!Drained.CaughtUp)
            FWait = 0;
        else if (Drained.Bytes > 0)
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

// Hands the program's output to Splitter until the program ends or a line
// asks to stop. The idle hook keeps its rhythm of one call per polling step
// however often the output is looked at.
void Capture(HANDLE Process, TOutputChannel& Output, TLineSplitter& Splitter,
             const TCapturedIdleEvent& OnIdle, bool& Abort) {
    TPollPace Pace;
    DWORD LastIdle = GetTickCount();
    DWORD Wait = PollMilliseconds;
    while (WaitForSingleObject(Process, Wait) == WAIT_TIMEOUT && !Abort) {
        const bool WholeStep = Wait == PollMilliseconds;
        Wait = Pace.Next(Output.Drain(Splitter, Abort, PollMilliseconds));
        if (OnIdle && (WholeStep || GetTickCount() - LastIdle >= PollMilliseconds)) {
            LastIdle = GetTickCount();
            OnIdle(nullptr);
        }
    }
    Output.DrainRest(Splitter, Abort);
    Splitter.Finish(Abort);
}

// A program asked to stop gets Ctrl+C on its input when it has one, and a
// moment to end by itself; then it is stopped.
void EndAborted(HANDLE Process, const TPipe* Input) {
    if (Input) {
        const char CtrlC[8] = {3, 3, 3, 3, 3, 3, 3, 3};
        DWORD Written = 0;
        WriteFile(Input->Write.get(), CtrlC, sizeof(CtrlC), &Written, nullptr);
        if (WaitForSingleObject(Process, AbortGraceMilliseconds) == WAIT_OBJECT_0) return;
    }
    StopProcess(Process);
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

    // Declared in the reverse of their closing order: process (below),
    // input pipe, output channel.
    TOutputChannel Output;
    TPipe Input;

    if (!Output.OpenFile(Security) && !Output.OpenPipe(Security)) return -2;
    if (UseInputPipe && !MakePipe(Security, Input, false)) return -2;

    Startup.hStdInput = UseInputPipe ? Input.Read.get() : GetStdHandle(STD_INPUT_HANDLE);
    Startup.hStdOutput = Output.ProgramEnd();
    Startup.hStdError = Output.ProgramEnd();

    std::string CommandLine = Program + " " + Parameters;
    // In setup's job: it ends with setup, whichever ends first.
    TChild Child;
    if (!Child.Start(ApplicationName.empty() ? nullptr : ApplicationName.c_str(), CommandLine, true,
                     WorkingFolder.empty() ? nullptr : WorkingFolder.c_str(), Startup))
        return -1;
    const HANDLE Process = Child.Process();

    TOemLineToAnsi OemLineToAnsi;
    TLineSplitter Splitter([&OnLine, &OemLineToAnsi](const std::string& Line, bool& LineAbort) {
        OnLine(OemLineToAnsi(Line), LineAbort);
    });

    Capture(Process, Output, Splitter, OnIdle, Abort);
    if (Abort) EndAborted(Process, UseInputPipe ? &Input : nullptr);

    DWORD ExitCode = 0;
    if (!GetExitCodeProcess(Process, &ExitCode)) return -2;
    return static_cast<std::int32_t>(ExitCode);
}
