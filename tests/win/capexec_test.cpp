// Captured execution of real child programs (capexec_child.exe, beside this
// test) under the system's own process and pipe implementation.

#include "engine/CapExec.h"
#include "platform/Owners.h"
#include "support/Files.h"
#include "support/System.h"
#include "support/Ui.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const std::string& Child() {
    static const std::string Path = OwnFolder() + "\\capexec_child.exe";
    return Path;
}

// The open handles of this process. Wine keeps no handle count
// (GetProcessHandleCount reports 0), so the handle table is probed instead.
std::set<std::uintptr_t> OpenHandles() {
    std::set<std::uintptr_t> Open;
    for (std::uintptr_t Value = 4; Value < 0x10000; Value += 4) {
        DWORD Flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(Value), &Flags)) Open.insert(Value);
    }
    return Open;
}

bool AwaitFile(const std::string& Path, DWORD Milliseconds) {
    return WaitFor(Milliseconds, [&] { return FilePresent(Path); });
}

// The system's temp folder, as it was when the tests started.
const std::string& SystemTemp() {
    static const std::string Path = [] {
        char Temp[MAX_PATH + 1] = {};
        GetTempPathA(sizeof Temp, Temp);
        return std::string(Temp);
    }();
    return Path;
}

// The temporary files that captured output goes to.
// Ours only: other tests running beside this one capture output too.
std::vector<std::string> OutputFiles() {
    return FilesIn(SystemTemp(), "mvcap" + std::to_string(GetCurrentProcessId()) + "_*.tmp");
}

// Output files go away once the programs writing them have ended.
bool AwaitNoOutputFiles(DWORD Milliseconds) {
    return WaitFor(Milliseconds, [] { return OutputFiles().empty(); });
}

// While it lives, the temp folder cannot take a file, so output can only
// travel through a pipe.
class TTempFolderUnusable {
public:
    TTempFolderUnusable() {
        for (const char* Name : {"TMP", "TEMP"}) {
            char Value[MAX_PATH + 1] = {};
            const DWORD Length = GetEnvironmentVariableA(Name, Value, sizeof Value);
            FSaved.push_back({Name, std::string(Value), Length > 0});
            SetEnvironmentVariableA(Name, "C:\\no\\such\\temp");
        }
    }
    ~TTempFolderUnusable() {
        for (const auto& Saved : FSaved)
            SetEnvironmentVariableA(Saved.Name, Saved.Set ? Saved.Value.c_str() : nullptr);
    }
    TTempFolderUnusable(const TTempFolderUnusable&) = delete;
    TTempFolderUnusable& operator=(const TTempFolderUnusable&) = delete;

private:
    struct TSaved {
        const char* Name;
        std::string Value;
        bool Set;
    };
    std::vector<TSaved> FSaved;
};

struct TRun {
    std::int32_t Result = 0;
    std::vector<std::string> Lines;
    int IdleCalls = 0;
    bool IdleSenderAlwaysNull = true;
    long long Milliseconds = 0;
};

// Runs the child; the line hook sets the abort flag on the line AbortOn
// (when given).
TRun RunChild(const std::string& Parameters, bool UseInputPipe = false,
              const std::string& AbortOn = std::string(), const std::string& WorkingFolder = "") {
    TRun Outcome;
    const auto Start = std::chrono::steady_clock::now();
    Outcome.Result = RunCaptured(
        Child(), Parameters, WorkingFolder,
        [&](const std::string& Line, bool& Abort) {
            Outcome.Lines.push_back(Line);
            if (!AbortOn.empty() && Line == AbortOn) Abort = true;
        },
        [&](void* Sender) {
            ++Outcome.IdleCalls;
            Outcome.IdleSenderAlwaysNull = Outcome.IdleSenderAlwaysNull && Sender == nullptr;
        },
        UseInputPipe);
    Outcome.Milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - Start)
                               .count();
    return Outcome;
}

// Every test ends with as many handles open as it started with.
class CapExec : public testing::Test {
protected:
    static void SetUpTestSuite() {
        // The first process start and the first exception open handles that
        // the system and the runtime keep for later.
        RunChild("exit 0");
        try {
            throw std::runtime_error("warm-up");
        } catch (const std::runtime_error&) {
        }
    }
    void SetUp() override {
        FHandles = OpenHandles();
        ASSERT_FALSE(FHandles.empty());
    }
    void TearDown() override {
        EXPECT_EQ(OpenHandles(), FHandles) << "handles leaked";
        EXPECT_TRUE(AwaitNoOutputFiles(10000)) << "output file left in the temp folder";
    }

private:
    std::set<std::uintptr_t> FHandles;
};

struct TOutputCase {
    const char* Name;
    const char* Parameters;
    bool UseInputPipe;
    std::vector<std::string> Lines;
    std::int32_t Result;
};

void PrintTo(const TOutputCase& Case, std::ostream* Out) {
    *Out << Case.Name;
}

class CapExecOutput : public CapExec, public testing::WithParamInterface<TOutputCase> {
protected:
    void ExpectOutput() {
        const TRun Outcome = RunChild(GetParam().Parameters, GetParam().UseInputPipe);
        EXPECT_EQ(Outcome.Lines, GetParam().Lines);
        EXPECT_EQ(Outcome.Result, GetParam().Result);
    }
};

TEST_P(CapExecOutput, DeliversLinesAndExitCode) {
    ExpectOutput();
}

// The same through the pipe that stands in when no temporary file can be
// made.
class CapExecOutputByPipe : public CapExecOutput {
    TTempFolderUnusable FNoTempFolder;
};

TEST_P(CapExecOutputByPipe, DeliversLinesAndExitCode) {
    ExpectOutput();
}

const TOutputCase OutputCases[] = {
    {"LinesAndExitCode", "out a%0D%0Ab%0D%0A exit 7", false, {"a", "b"}, 7},
    {"NoOutput", "exit 0", false, {}, 0},
    {"EndsAtOnce", "out x%0Ay%0A", false, {"x", "y"}, 0},
    {"LastLineWithoutEnd", "out a%0D%0Alast", false, {"a", "last"}, 0},
    {"LastLineAfterPause", "out a%0A sleep 200 out last", false, {"a", "last"}, 0},
    {"StandardErrorToo", "out o%0A err e%0A out p", false, {"o", "e", "p"}, 0},
    // Both go to one place with one position: neither overwrites the other.
    {"StandardErrorInTurns",
     "out 1%0D%0A err 2%0D%0A out 3 err 4%0D%0A out 5%0D%0A err 6",
     false,
     {"1", "2", "34", "5", "6"},
     0},
    {"CrLfCrIsOneTerminator", "out a%0D%0A%0Db%0A", false, {"a", "b"}, 0},
    // The CR ends one read, the LF starts the next: an extra empty line.
    {"CrEndingARead", "out a%0D sleep 300 out %0Ab%0A", false, {"a", "", "b"}, 0},
    {"LineAcrossReads", "out ab sleep 300 out c%0A", false, {"abc"}, 0},
    {"NegativeExitCode", "exit -5", false, {}, -5},
    {"LargestExitCode", "exit 2147483647", false, {}, 2147483647},
    {"ExitCode255", "exit 255", false, {}, 255},
    {"WithInputPipe", "out a%0A exit 3", true, {"a"}, 3},
};

INSTANTIATE_TEST_SUITE_P(Table, CapExecOutput, testing::ValuesIn(OutputCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });
INSTANTIATE_TEST_SUITE_P(Table, CapExecOutputByPipe, testing::ValuesIn(OutputCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

struct TChannelCase {
    const char* Name;
    bool TempFolderUsable;
    // What the program's standard output and error are.
    const char* Kinds;
    std::size_t TempFilesDuringRun;
};

void PrintTo(const TChannelCase& Case, std::ostream* Out) {
    *Out << Case.Name;
}

class CapExecChannel : public CapExec, public testing::WithParamInterface<TChannelCase> {};

// The output goes to one file in the system's temp folder (never the
// working folder, which is the installation folder when unrar runs),
// deleted when the call is over; without a usable temp folder, to a pipe.
TEST_P(CapExecChannel, OutputTravelsThroughTempFileOrPipe) {
    TTempFolder Work("channel");
    std::optional<TTempFolderUnusable> NoTempFolder;
    if (!GetParam().TempFolderUsable) NoTempFolder.emplace();
    std::vector<std::string> Lines;
    std::size_t TempFiles = 99, WorkFiles = 99;
    const std::int32_t Result = RunCaptured(
        Child(), "stdtype", Work.Path(),
        [&](const std::string& Line, bool&) {
            Lines.push_back(Line);
            TempFiles = OutputFiles().size();
            WorkFiles = FilesIn(Work.Path()).size();
        },
        nullptr, false);
    EXPECT_EQ(Result, 0);
    EXPECT_EQ(Lines, std::vector<std::string>{GetParam().Kinds});
    EXPECT_EQ(TempFiles, GetParam().TempFilesDuringRun);
    EXPECT_EQ(WorkFiles, 0u);
    EXPECT_TRUE(OutputFiles().empty());
}

INSTANTIATE_TEST_SUITE_P(Table, CapExecChannel,
                         testing::Values(TChannelCase{"TempFile", true, "disk disk", 1},
                                         TChannelCase{"PipeWithoutTempFolder", false, "pipe pipe",
                                                      0}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// What lands in the log and the record of installed files comes from the
// program alone: while it runs, no other process can open its output file
// for writing (2: a sharing violation, so the file was found).
TEST_F(CapExec, NoOtherProcessCanWriteTheOutputFile) {
    std::int32_t Other = -1;
    RunCaptured(
        Child(), "out ready%0A sleep 5000", "",
        [&](const std::string& Line, bool& Abort) {
            if (Line != "ready") return;
            Abort = true;
            const std::vector<std::string> Files = OutputFiles();
            ASSERT_EQ(Files.size(), 1u);
            Other = RunCaptured(
                Child(), "openwrite \"" + SystemTemp() + *Files.begin() + "\"", "",
                [](const std::string&, bool&) {}, nullptr, false);
        },
        nullptr, false);
    EXPECT_EQ(Other, 2);
}

class CapExecLaterOutput : public CapExec, public testing::WithParamInterface<bool> {};

// A program that leaves behind a program of its own writing on its output:
// the call ends with the first program and its lines; what the other one
// writes later is not waited for. The output file goes once both are gone.
TEST_P(CapExecLaterOutput, EndsWithTheProgramItStarted) {
    std::optional<TTempFolderUnusable> NoTempFolder;
    if (!GetParam()) NoTempFolder.emplace();
    const TRun Outcome = RunChild("out early%0D%0A later 1500 late%0D%0A exit 6");
    EXPECT_EQ(Outcome.Result, 6);
    EXPECT_EQ(Outcome.Lines, std::vector<std::string>{"early"});
}

INSTANTIATE_TEST_SUITE_P(Table, CapExecLaterOutput, testing::Values(true, false),
                         [](const auto& Info) {
                             return std::string(Info.param ? "TempFile" : "Pipe");
                         });

class CapExecLongLine : public CapExec, public testing::WithParamInterface<unsigned> {};

// One write bigger than any single read, with its CR as the last byte of a
// read and the LF as the first of the next: the CR LF still ends one line,
// as it would had the whole write been read at once.
TEST_P(CapExecLongLine, CrLfAcrossReadsEndsOneLine) {
    const TRun Outcome = RunChild("long " + std::to_string(GetParam()));
    EXPECT_EQ(Outcome.Result, 0);
    ASSERT_EQ(Outcome.Lines.size(), 2u);
    EXPECT_EQ(Outcome.Lines[0], std::string(GetParam(), 'x'));
    EXPECT_EQ(Outcome.Lines[1], "end");
}

// The CR falls on the last byte of 64 KB, 256 KB, 1 MB and 4 MB.
INSTANTIATE_TEST_SUITE_P(Table, CapExecLongLine,
                         testing::Values(65535u, 262143u, 1048575u, 4194303u));

// The command line is "Program Parameters" exactly, one blank between even
// when there are no parameters.
TEST_F(CapExec, CommandLineIsProgramBlankParameters) {
    for (const std::string Parameters : {"", "cmdline", "cmdline  two  blanks \"quoted arg\""}) {
        const TRun Outcome = RunChild(Parameters);
        EXPECT_EQ(Outcome.Lines, std::vector<std::string>{Child() + " " + Parameters});
        EXPECT_EQ(Outcome.Result, 0);
    }
}

TEST_F(CapExec, WorkingFolderIsUsed) {
    TTempFolder Folder("cwd");
    EXPECT_EQ(RunChild("cwd", false, "", Folder.Path()).Lines,
              std::vector<std::string>{Folder.Path()});

    char Current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, Current);
    EXPECT_EQ(RunChild("cwd").Lines, std::vector<std::string>{Current});
}

TEST_F(CapExec, OemOutputArrivesInAnsiCodePage) {
    // Box drawing, accented letters and a block of the console code page.
    const std::string Oem = "\x82\x81\x8A\xA0\xC9\xCD\xBB\xB3\xDB";
    const TRun Outcome = RunChild("out %82%81%8A%A0%C9%CD%BB%B3%DB%0D%0Aplain");
    std::string Expected = Oem;
    OemToCharBuffA(Expected.data(), Expected.data(), static_cast<DWORD>(Expected.size()));
    ASSERT_EQ(Outcome.Lines, (std::vector<std::string>{Expected, "plain"}));
    EXPECT_NE(Outcome.Lines[0], Oem);

    // 0x82 is e acute in both Western console code pages, 0xE9 in the
    // Western ANSI one.
    const UINT OemPage = GetOEMCP();
    if ((OemPage != 437 && OemPage != 850) || GetACP() != 1252)
        GTEST_SKIP() << "code pages " << OemPage << "/" << GetACP();
    EXPECT_EQ(Outcome.Lines[0].substr(0, 4), "\xE9\xFC\xE8\xE1");
}

// Every byte value but the line ends, in one line: converted exactly as the
// system converts the whole line, whichever way the conversion is done.
TEST_F(CapExec, EveryOemByteConvertsAsTheSystemDoes) {
    std::string Bytes, Escaped;
    for (int Byte = 0; Byte < 256; ++Byte) {
        if (Byte == '\r' || Byte == '\n') continue;
        Bytes += static_cast<char>(Byte);
        char Hex[4];
        std::snprintf(Hex, sizeof Hex, "%%%02X", Byte);
        Escaped += Hex;
    }
    std::string Expected = Bytes;
    OemToCharBuffA(Expected.data(), Expected.data(), static_cast<DWORD>(Expected.size()));
    const TRun Outcome = RunChild("out " + Escaped + "%0D%0A%82%0D%0A");
    std::string Second = "\x82";
    OemToCharBuffA(Second.data(), Second.data(), 1);
    EXPECT_EQ(Outcome.Lines, (std::vector<std::string>{Expected, Second}));
}

// However fast the output comes, the idle hook keeps its pace of about one
// call per 30 ms: a busy program must not turn it into a call per read.
TEST_F(CapExec, IdleHookKeepsItsPaceDuringFlood) {
    constexpr unsigned LineCount = 100000; // 8 MB
    unsigned Lines = 0;
    int IdleCalls = 0;
    const auto Start = std::chrono::steady_clock::now();
    const std::int32_t Result = RunCaptured(
        Child(), "flood " + std::to_string(LineCount), "",
        [&](const std::string&, bool&) { ++Lines; }, [&](void*) { ++IdleCalls; }, false);
    const auto Milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - Start)
                                  .count();
    EXPECT_EQ(Result, 0);
    EXPECT_EQ(Lines, LineCount);
    EXPECT_LE(IdleCalls, Milliseconds / 30 + 2) << "in " << Milliseconds << " ms";
}

TEST_F(CapExec, IdleHookRunsWhileProgramRuns) {
    const TRun Outcome = RunChild("sleep 400 out a%0A");
    EXPECT_EQ(Outcome.Lines, std::vector<std::string>{"a"});
    EXPECT_GE(Outcome.IdleCalls, 3);
    EXPECT_TRUE(Outcome.IdleSenderAlwaysNull);
}

// Several megabytes through a pipe of a few kilobytes: every line whole and
// in order.
TEST_F(CapExec, LargeOutputArrivesWholeAndInOrder) {
    constexpr unsigned LineCount = 40000; // 80 bytes each: 3.2 MB
    std::vector<std::string> Lines;
    Lines.reserve(LineCount);
    std::int32_t Result = RunCaptured(
        Child(), "flood " + std::to_string(LineCount), "",
        [&](const std::string& Line, bool&) { Lines.push_back(Line); }, nullptr, false);
    EXPECT_EQ(Result, 0);
    ASSERT_EQ(Lines.size(), LineCount);
    for (unsigned N = 0; N < LineCount; ++N) {
        char Head[16];
        std::snprintf(Head, sizeof(Head), "%08u ", N);
        const std::string Expected = Head + std::string(69, static_cast<char>('a' + N % 26));
        if (Lines[N] != Expected) {
            ADD_FAILURE() << "line " << N << ": " << Lines[N];
            break;
        }
    }
}

struct TAbortCase {
    const char* Name;
    const char* Parameters;
    bool UseInputPipe;
    const char* AbortOn;
    std::int32_t Result;
    // Bounds of the time the call may take.
    long long MinMilliseconds;
    long long MaxMilliseconds;
};

void PrintTo(const TAbortCase& Case, std::ostream* Out) {
    *Out << Case.Name;
}

class CapExecAbort : public CapExec, public testing::WithParamInterface<TAbortCase> {};

TEST_P(CapExecAbort, StopsProgram) {
    const TRun Outcome =
        RunChild(GetParam().Parameters, GetParam().UseInputPipe, GetParam().AbortOn);
    EXPECT_EQ(Outcome.Result, GetParam().Result);
    EXPECT_EQ(Outcome.Lines, (std::vector<std::string>{GetParam().AbortOn}));
    EXPECT_GE(Outcome.Milliseconds, GetParam().MinMilliseconds);
    EXPECT_LE(Outcome.Milliseconds, GetParam().MaxMilliseconds);
}

const TAbortCase AbortCases[] = {
    // Without an input pipe the program is stopped at once.
    {"NoInputPipe", "out ready%0A sleep 20000 exit 5", false, "ready", -3, 0, 10000},
    // With one, it gets eight Ctrl+C characters and ends by itself...
    {"InputPipeProgramEnds", "out ready%0A ctrlc 42", true, "ready", 42, 0, 10000},
    // ...or is stopped after half a second.
    {"InputPipeProgramIgnores", "out ready%0A sleep 20000 exit 5", true, "ready", -3, 450, 10000},
    // A program that has already ended keeps its own exit code: the last
    // part comes only after its end.
    {"AfterEndNoInputPipe", "out tail exit 9", false, "tail", 9, 0, 10000},
    {"AfterEndInputPipe", "out tail exit 9", true, "tail", 9, 0, 10000},
};

INSTANTIATE_TEST_SUITE_P(Table, CapExecAbort, testing::ValuesIn(AbortCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// An abort in a flood of output stops the program at once; the lines read
// before the stop still arrive, whole and in order.
TEST_F(CapExec, AbortDuringFlood) {
    unsigned Lines = 0;
    bool InOrder = true;
    const std::int32_t Result = RunCaptured(
        Child(), "flood 1000000", "",
        [&](const std::string& Line, bool& Abort) {
            char Head[16];
            std::snprintf(Head, sizeof(Head), "%08u ", Lines++);
            InOrder = InOrder && Line.size() == 78 && Line.compare(0, 9, Head) == 0;
            Abort = true;
        },
        nullptr, false);
    EXPECT_EQ(Result, -3);
    EXPECT_TRUE(InOrder);
    EXPECT_GE(Lines, 1u);
    EXPECT_LT(Lines, 100000u) << "the program was not stopped";
}

struct TFloodAbortCase {
    const char* Name;
    unsigned AbortAt;
    bool UseInputPipe;
};

void PrintTo(const TFloodAbortCase& Case, std::ostream* Out) {
    *Out << Case.Name;
}

class CapExecFloodAbort : public CapExec, public testing::WithParamInterface<TFloodAbortCase> {};

// An abort in the middle of a flood: the program (which then keeps still)
// is stopped, and the lines up to the abort and the few read with them
// arrive whole and in order, none lost, none repeated, none cut off.
TEST_P(CapExecFloodAbort, StopsWithWholeLinesInOrder) {
    unsigned Lines = 0;
    std::string Wrong;
    const std::int32_t Result = RunCaptured(
        Child(), "flood 200000 sleep 20000 exit 5", "",
        [&](const std::string& Line, bool& Abort) {
            char Head[16];
            std::snprintf(Head, sizeof(Head), "%08u ", Lines);
            const std::string Expected =
                Head + std::string(69, static_cast<char>('a' + Lines % 26));
            if (Wrong.empty() && Line != Expected) Wrong = std::to_string(Lines) + ": " + Line;
            if (Lines++ == GetParam().AbortAt) Abort = true;
        },
        nullptr, GetParam().UseInputPipe);
    EXPECT_EQ(Result, -3);
    EXPECT_EQ(Wrong, "");
    EXPECT_GT(Lines, GetParam().AbortAt);
    EXPECT_LT(Lines, GetParam().AbortAt + 50000) << "reading went on after the abort";
}

INSTANTIATE_TEST_SUITE_P(Table, CapExecFloodAbort,
                         testing::Values(TFloodAbortCase{"FirstLine", 0, false},
                                         TFloodAbortCase{"Early", 5000, false},
                                         TFloodAbortCase{"MidwayInputPipe", 60000, true},
                                         TFloodAbortCase{"Late", 150000, false}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

struct TStartFailure {
    const char* Name;
    std::string Program;
    std::string WorkingFolder;
};

void PrintTo(const TStartFailure& Case, std::ostream* Out) {
    *Out << Case.Name;
}

class CapExecStartFailure : public CapExec, public testing::WithParamInterface<TStartFailure> {};

TEST_P(CapExecStartFailure, ReturnsMinusOneWithoutLines) {
    int Lines = 0;
    EXPECT_EQ(RunCaptured(
                  GetParam().Program, "exit 0", GetParam().WorkingFolder,
                  [&](const std::string&, bool&) { ++Lines; }, nullptr, true),
              -1);
    EXPECT_EQ(Lines, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CapExecStartFailure,
    testing::Values(TStartFailure{"MissingProgram", OwnFolder() + "\\no_such_program.exe", ""},
                    TStartFailure{"MissingWorkingFolder", Child(), "C:\\no\\such\\folder"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(CapExec, NoLineHookRunsNothing) {
    TTempFolder Folder("nohook");
    EXPECT_EQ(RunCaptured(Child(), "touch " + (Folder / "ran"), "", nullptr, nullptr, false), -2);
    Sleep(300);
    EXPECT_FALSE(FilePresent(Folder / "ran"));
}

// An error in a hook leaves the call with every handle closed; the program
// then sees its pipes closed (it holds no copy of our ends), so it is not
// left waiting on them forever.
TEST_F(CapExec, HookErrorClosesPipes) {
    TTempFolder Folder("hookerror");
    const auto Throwing = [](const std::string&, bool&) { throw std::runtime_error("hook"); };
    EXPECT_THROW(
        RunCaptured(Child(), "out a%0A eof " + (Folder / "eof"), "", Throwing, nullptr, true),
        std::runtime_error);
    EXPECT_TRUE(AwaitFile(Folder / "eof", 10000)) << "program never saw the end of its input";

    {
        TTempFolderUnusable OutputByPipe;
        EXPECT_THROW(
            RunCaptured(Child(), "floodfail " + (Folder / "broken"), "", Throwing, nullptr, false),
            std::runtime_error);
    }
    EXPECT_TRUE(AwaitFile(Folder / "broken", 10000)) << "program never saw its output closed";

    // Output into a file never holds the program up: it writes on to its
    // end, and the file goes with it.
    EXPECT_THROW(RunCaptured(Child(), "flood 50000 touch " + (Folder / "flooded"), "", Throwing,
                             nullptr, false),
                 std::runtime_error);
    EXPECT_TRUE(AwaitFile(Folder / "flooded", 10000)) << "program held up by its output";

    const auto ThrowingIdle = [](void*) { throw std::runtime_error("idle"); };
    EXPECT_THROW(
        RunCaptured(
            Child(), "sleep 200", "", [](const std::string&, bool&) {}, ThrowingIdle, true),
        std::runtime_error);
    Sleep(500); // let the program end before the handle count
}

// With an application name the given file runs, not whatever the search for
// the program name finds first (here: the same name in the current folder).
TEST_F(CapExec, ApplicationNameStartsThatFile) {
    TTempFolder Trusted("trusted");
    TTempFolder Planted("planted");
    ASSERT_TRUE(CopyFileA(Child().c_str(), (Trusted / "same.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(Child().c_str(), (Planted / "same.exe").c_str(), FALSE));

    char Current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, Current);
    ASSERT_TRUE(SetCurrentDirectoryA(Planted.Path().c_str()));
    std::vector<std::string> Searched, Named, CommandLine;
    const auto Collect = [](std::vector<std::string>& Into) {
        return [&Into](const std::string& Line, bool&) { Into.push_back(Line); };
    };
    const std::int32_t SearchedResult =
        RunCaptured("same.exe", "self", Trusted.Path(), Collect(Searched), nullptr, false);
    const std::int32_t NamedResult = RunCaptured("same.exe", "self", Trusted.Path(), Collect(Named),
                                                 nullptr, false, Trusted / "same.exe");
    const std::int32_t CommandLineResult =
        RunCaptured("same.exe", "cmdline", Trusted.Path(), Collect(CommandLine), nullptr, false,
                    Trusted / "same.exe");
    const std::int32_t MissingResult =
        RunCaptured("same.exe", "self", Trusted.Path(), Collect(Searched), nullptr, false,
                    Trusted / "missing.exe");
    SetCurrentDirectoryA(Current);

    EXPECT_EQ(SearchedResult, 0);
    ASSERT_EQ(Searched.size(), 1u);
    EXPECT_EQ(lstrcmpiA(Searched[0].c_str(), (Planted / "same.exe").c_str()), 0) << Searched[0];
    EXPECT_EQ(NamedResult, 0);
    ASSERT_EQ(Named.size(), 1u);
    EXPECT_EQ(lstrcmpiA(Named[0].c_str(), (Trusted / "same.exe").c_str()), 0) << Named[0];
    EXPECT_EQ(CommandLineResult, 0);
    EXPECT_EQ(CommandLine, std::vector<std::string>{"same.exe cmdline"});
    EXPECT_EQ(MissingResult, -1);
}

} // namespace
