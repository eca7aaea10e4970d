#include "platform/Owners.h"
#include "support/Files.h"
#include "support/HelpScreen.h"
#include "support/System.h"

#include <gtest/gtest.h>

namespace {

const std::string& HelpScreen = HelpScreenText;

struct TRun {
    std::string Output;
    DWORD ExitCode = 0xFFFFFFFF;
};

// Runs the probe with Args; its output goes to a pipe (or to OutFile), its
// input is Input followed by the end of input (or stays open with Input).
TRun RunProbe(const std::string& Args, const std::string& Input = "", HANDLE OutFile = nullptr,
              bool CloseInput = true) {
    SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
    HANDLE OutRead = nullptr, OutWrite = nullptr, InRead = nullptr, InWrite = nullptr;
    CreatePipe(&OutRead, &OutWrite, &Inherit, 0);
    CreatePipe(&InRead, &InWrite, &Inherit, 0);
    THandle OutReadOwner(OutRead), OutWriteOwner(OutWrite), InReadOwner(InRead),
        InWriteOwner(InWrite);
    SetHandleInformation(OutRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(InWrite, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    Startup.dwFlags = STARTF_USESTDHANDLES;
    Startup.hStdInput = InRead;
    Startup.hStdOutput = OutFile ? OutFile : OutWrite;
    Startup.hStdError = OutWrite;
    std::string CommandLine(1, '"');
    CommandLine.append(OwnFolder()).append("\\cmdline_probe.exe\" ").append(Args);
    PROCESS_INFORMATION Process{};
    TRun Run;
    if (!CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &Startup, &Process)) {
        ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
        return Run;
    }
    THandle ProcessOwner(Process.hProcess), ThreadOwner(Process.hThread);
    OutWriteOwner.reset();
    InReadOwner.reset();

    DWORD Written = 0;
    if (!Input.empty())
        WriteFile(InWrite, Input.data(), static_cast<DWORD>(Input.size()), &Written, nullptr);
    if (CloseInput) InWriteOwner.reset();

    char Buffer[4096];
    DWORD Read = 0;
    while (ReadFile(OutRead, Buffer, sizeof Buffer, &Read, nullptr) && Read > 0)
        Run.Output.append(Buffer, Read);
    if (WaitForSingleObject(Process.hProcess, 30000) != WAIT_OBJECT_0) {
        TerminateProcess(Process.hProcess, 99);
        ADD_FAILURE() << "probe did not end: " << Args;
    }
    GetExitCodeProcess(Process.hProcess, &Run.ExitCode);
    return Run;
}

struct HelpCase {
    const char* Args;
    bool Help;
};

class HelpSwitch : public testing::TestWithParam<HelpCase> {};

TEST_P(HelpSwitch, ScreenAndExitCode) {
    TRun Run = RunProbe(GetParam().Args);
    EXPECT_EQ(GetParam().Help ? HelpScreen : "", Run.Output);
    EXPECT_EQ(GetParam().Help ? 1u : 0u, Run.ExitCode);
}

INSTANTIATE_TEST_SUITE_P(Table, HelpSwitch,
                         testing::Values(HelpCase{"--help", true}, HelpCase{"/?", true},
                                         HelpCase{"-H", true}, HelpCase{"-h", true},
                                         HelpCase{"--HeLp --lang=de --lib-path=C:\\nowhere", true},
                                         HelpCase{"--ignore-ide \"\" -h", true},
                                         HelpCase{"--help --help-", false},
                                         HelpCase{"/? -h-", false}, HelpCase{"", false},
                                         HelpCase{"--ignore-ide --lang=de -rBDS=Win32Only", false},
                                         HelpCase{"--helpme /help -?", false}));

TEST(HelpScreen, WaitsForALineFromTheInput) {
    // Input still open: the probe ends once it has read the line feed.
    TRun Run = RunProbe("--help", "any text\r\n", nullptr, false);
    EXPECT_EQ(HelpScreen, Run.Output);
    EXPECT_EQ(1u, Run.ExitCode);
}

TEST(HelpScreen, GoesToAFileOutput) {
    TTempFolder Dir("helpfile");
    std::string Name = Dir / "help.txt";
    SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
    THandle File(CreateFileA(Name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &Inherit, CREATE_ALWAYS,
                             0, nullptr));
    ASSERT_TRUE(File);
    TRun Run = RunProbe("/?", "", File.get());
    File.reset();
    EXPECT_EQ(1u, Run.ExitCode);
    EXPECT_EQ("", Run.Output);

    EXPECT_EQ(ReadWholeFile(Name), HelpScreen);
}

// Started by a deployment tool: no console to attach, no input. The help
// screen is written to a console of its own and the program ends at once
// instead of waiting for an Enter nobody can press.
TEST(HelpScreen, WithoutAConsoleItDoesNotWait) {
    FreeConsole(); // nothing for the probe to attach to
    TChildProcess Probe(OwnFolder() + "\\cmdline_probe.exe", "--help", {}, nullptr, nullptr,
                        DETACHED_PROCESS);
    ASSERT_TRUE(Probe.Started());
    EXPECT_TRUE(Probe.Wait(20000)) << "the help screen waits for input nobody can give";
    EXPECT_EQ(1u, Probe.ExitCode());
}

} // namespace
