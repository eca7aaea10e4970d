// The engine's setup log: which route a line takes, in which order the hooks
// see it, and what install.log holds on disk.

#include "engine/Compile.h"
#include "platform/Error.h"
#include "data/InstallData.h"
#include "platform/OsError.h"
#include "platform/Owners.h"

#include "win/engine_support.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace enginetest;

namespace {

// The engine's data as start-up reads it, from a "version" file in the
// folder; the log never looks at it.
TInstallData DataIn(const TTempFolder& Folder) {
    EXPECT_TRUE(WriteWholeFile(Folder / "version", "2.5.1\r\n"));
    return TInstallData();
}

class LogTest : public ::testing::Test {
protected:
    TTempFolder Folder{"log"};
    TCurrentFolder Current{Folder.Path()};
    TInstallData Data = DataIn(Folder);
    std::string LogPath() const { return Folder / "install.log"; }
};

// Records each hook call as "<hook>:<line>" plus what the log held then.
struct TRecorder {
    std::vector<std::string> Calls;
    std::vector<size_t> LogSizeAtCall;
};

TEST_F(LogTest, StepLinesReachBothHooksLogLinesOnlyTheLogHook) {
    TCompiler Engine(Data);
    TRecorder Seen;
    Engine.OnLogLine = [&](const std::string& Line, bool&) {
        Seen.Calls.push_back("log:" + Line);
        Seen.LogSizeAtCall.push_back(Engine.Log().size());
    };
    Engine.OnOutputLine = [&](const std::string& Line, bool&) {
        Seen.Calls.push_back("page:" + Line);
        Seen.LogSizeAtCall.push_back(Engine.Log().size());
    };
    bool Flag = true;
    Engine.WriteLine("step");
    Engine.Output("echo", Flag);
    Engine.WriteLine("");
    Engine.Release();

    EXPECT_EQ(Engine.Log(), (std::vector<std::string>{"step", "echo", ""}));
    EXPECT_EQ(Seen.Calls,
              (std::vector<std::string>{"log:step", "page:step", "log:echo", "log:", "page:"}));
    // The page never sees a line the log does not hold yet.
    EXPECT_EQ(Seen.LogSizeAtCall, (std::vector<size_t>{1, 1, 2, 3, 3}));
    // Output hands the engine's (clear) flag back, whatever the caller passed.
    EXPECT_FALSE(Flag);
}

TEST_F(LogTest, AbortSetByAHookComesBackThroughOutput) {
    TCompiler Engine(Data);
    Engine.OnLogLine = [](const std::string& Line, bool& Abort) {
        if (Line == "stop") Abort = true;
    };
    bool Flag = false;
    Engine.Output("go on", Flag);
    EXPECT_FALSE(Flag);
    Engine.Output("stop", Flag);
    EXPECT_TRUE(Flag);
    EXPECT_TRUE(Engine.Abort);

    TCompiler Other(Data);
    Other.OnOutputLine = [](const std::string&, bool& Abort) { Abort = true; };
    Other.WriteLine("x");
    EXPECT_TRUE(Other.Abort);
    Engine.Release();
    Other.Release();
}

// WriteLine must go through the virtual Output, so a derived engine sees
// step lines too.
class TCountingCompiler : public TCompiler {
public:
    using TCompiler::TCompiler;
    void Output(const std::string& Line, bool& AbortFlag) override {
        Seen.push_back(Line);
        TCompiler::Output(Line, AbortFlag);
    }
    std::vector<std::string> Seen;
};

TEST_F(LogTest, WriteLineDispatchesThroughOverriddenOutput) {
    TCountingCompiler Engine(Data);
    Engine.WriteLine("one");
    Engine.WriteLine("two");
    EXPECT_EQ(Engine.Seen, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(Engine.Log(), Engine.Seen);
    Engine.Release();
}

TEST_F(LogTest, HookErrorTravelsOutOfWriteLineAfterTheLineIsLogged) {
    TCompiler Engine(Data);
    Engine.OnOutputLine = [](const std::string&, bool&) { throw std::runtime_error("page gone"); };
    EXPECT_THROW(Engine.WriteLine("x"), std::runtime_error);
    EXPECT_EQ(Engine.Log(), (std::vector<std::string>{"x"}));
    Engine.Release();
}

struct FileCase {
    const char* Name;
    std::vector<std::string> Lines;
    std::string Bytes;
};

class LogFileTest : public LogTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(LogFileTest, ReleaseWritesEveryLineWithCrLf) {
    {
        TCompiler Engine(Data);
        for (const auto& Line : GetParam().Lines)
            Engine.WriteLine(Line);
        Engine.Release();
    }
    ASSERT_TRUE(FilePresent(LogPath()));
    EXPECT_EQ(ReadOrFail(LogPath()), GetParam().Bytes);
}

INSTANTIATE_TEST_SUITE_P(Contents, LogFileTest,
                         ::testing::Values(FileCase{"NoLine", {}, ""},
                                           FileCase{"EmptyLine", {""}, "\r\n"},
                                           FileCase{"Mixed", {"a", "", "b"}, "a\r\n\r\nb\r\n"},
                                           FileCase{"EightBit",
                                                    {"\x01Windows XP", "Gr\xFC\xDF"
                                                                       "e \xA9"},
                                                    "\x01Windows XP\r\nGr\xFC\xDF"
                                                    "e \xA9\r\n"}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(LogTest, WritingReplacesAnEarlierFile) {
    ASSERT_TRUE(WriteWholeFile(LogPath(), std::string(10000, 'z')));
    TCompiler Engine(Data);
    Engine.WriteLine("new");
    Engine.SaveLog();
    EXPECT_EQ(ReadOrFail(LogPath()), "new\r\n");
    Engine.WriteLine("more");
    Engine.Release();
    EXPECT_EQ(ReadOrFail(LogPath()), "new\r\nmore\r\n");
}

TEST_F(LogTest, DestructorWritesTheLogWhenNotReleased) {
    {
        TCompiler Engine(Data);
        Engine.WriteLine("kept");
    }
    EXPECT_EQ(ReadOrFail(LogPath()), "kept\r\n");
}

TEST_F(LogTest, DestructorWritesNothingAfterRelease) {
    {
        TCompiler Engine(Data);
        Engine.WriteLine("once");
        Engine.Release();
        ASSERT_TRUE(DeleteFileA(LogPath().c_str()));
        Engine.WriteLine("late");
    }
    EXPECT_FALSE(FilePresent(LogPath()));
}

// What stands in the way of install.log, and the system's reason for it.
struct BlockCase {
    const char* Name;
    // Puts the obstacle at Path; returns a handle to keep open meanwhile.
    HANDLE (*Block)(const std::string& Path);
    DWORD Code;
};

class LogBlockedTest : public LogTest, public ::testing::WithParamInterface<BlockCase> {
protected:
    void SetUp() override { FHold.reset(GetParam().Block(LogPath())); }
    void TearDown() override {
        FHold.reset();
        RemoveDirectoryA(LogPath().c_str());
        DeleteFileA(LogPath().c_str());
    }
    THandle FHold;
};

// The log that cannot be written where it belongs goes to the temporary
// folder, and its first line says so; only when that fails too does the
// release raise, with the full path and the system's text.
TEST_P(LogBlockedTest, ReleaseWritesTheLogElsewhereOrRaisesCannotCreate) {
    TCompiler Moved(Data);
    Moved.WriteLine("line");
    EXPECT_NO_THROW(Moved.Release());
    ASSERT_EQ(Moved.Log().size(), 2u);
    const std::string Head =
        "\"" + LogPath() + "\" cannot be written (" + SysErrorMessage(GetParam().Code) + "): ";
    EXPECT_EQ(Moved.Log().front().rfind(Head + "the setup log is in \"", 0), 0u)
        << Moved.Log().front();
    EXPECT_EQ(Moved.Log().back(), "line");
    const std::string& First = Moved.Log().front();
    const std::string::size_type At = First.find("the setup log is in \"");
    if (At != std::string::npos) DeleteFileA(First.substr(At + 21, First.size() - At - 23).c_str());

    char Temp[MAX_PATH];
    GetEnvironmentVariableA("TMP", Temp, MAX_PATH);
    SetEnvironmentVariableA("TMP", "Q:\\no temporary folder");
    TCompiler Engine(Data);
    Engine.WriteLine("line");
    const std::string Expected =
        "Cannot create file \"" + LogPath() + "\". " + SysErrorMessage(GetParam().Code);
    try {
        Engine.Release();
        ADD_FAILURE() << "Release did not raise";
    } catch (const Exception& Error) {
        EXPECT_EQ(std::string(Error.what()), Expected);
    }
    SetEnvironmentVariableA("TMP", Temp);
    // The lines in memory are not affected.
    EXPECT_EQ(Engine.Log(), (std::vector<std::string>{"line"}));
}

TEST_P(LogBlockedTest, DestructorSwallowsTheFailure) {
    EXPECT_NO_THROW({
        TCompiler Engine(Data);
        Engine.WriteLine("line");
    });
}

INSTANTIATE_TEST_SUITE_P(Targets, LogBlockedTest,
                         ::testing::Values(BlockCase{"Directory",
                                                     [](const std::string& Path) {
                                                         CreateDirectoryA(Path.c_str(), nullptr);
                                                         return INVALID_HANDLE_VALUE;
                                                     },
                                                     ERROR_ACCESS_DENIED},
                                           BlockCase{"LockedFile",
                                                     [](const std::string& Path) {
                                                         // Open without sharing, as another program
                                                         // holding it.
                                                         return CreateFileA(
                                                             Path.c_str(), GENERIC_WRITE, 0,
                                                             nullptr, CREATE_ALWAYS,
                                                             FILE_ATTRIBUTE_NORMAL, nullptr);
                                                     },
                                                     ERROR_SHARING_VIOLATION}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// The current folder is the user's: an install.log planted there as a link
// to a file elsewhere, or as another name of such a file, is not written
// through; the log goes to the temporary folder, as for a folder that
// cannot be written.
struct PlantCase {
    const char* Name;
    bool (*Plant)(const std::string& Target, const std::string& Log);
};

class PlantedLogTest : public LogTest, public ::testing::WithParamInterface<PlantCase> {};

TEST_P(PlantedLogTest, IsNotWrittenThrough) {
    TTempFolder Elsewhere("log-target");
    const std::string Target = Elsewhere / "system.ini";
    ASSERT_TRUE(WriteWholeFile(Target, "not setup's\r\n"));
    ASSERT_TRUE(GetParam().Plant(Target, LogPath()));
    TCompiler Engine(Data);
    Engine.WriteLine("line");
    EXPECT_NO_THROW(Engine.Release());
    EXPECT_EQ(ReadOrFail(Target), "not setup's\r\n");
    const std::string Head = "\"" + LogPath() +
                             "\" cannot be written (it is a link): the setup "
                             "log is in \"";
    ASSERT_EQ(Engine.Log().front().rfind(Head, 0), 0u) << Engine.Log().front();
    const std::string Moved = Engine.LogFilePath();
    EXPECT_EQ(ReadOrFail(Moved), CrLfText(Engine.Log()));
    DeleteFileA(Moved.c_str());
    if (!DeleteFileA(LogPath().c_str())) RemoveUnixLink(LogPath());
}

INSTANTIATE_TEST_SUITE_P(
    Links, PlantedLogTest,
    ::testing::Values(PlantCase{"HardLink",
                                [](const std::string& Target, const std::string& Log) {
                                    return CreateHardLinkA(Log.c_str(), Target.c_str(), nullptr) !=
                                           FALSE;
                                }},
                      PlantCase{"SymbolicLink", &MakeUnixLink}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// Corners of the operating-system table that no Windows version of Wine
// reaches (each version Wine offers is checked by the probe test).
struct OsCase {
    const char* Name;
    TOsVersion Version;
    const char* Line; // nullptr: no line
};

class SystemLineTest : public ::testing::TestWithParam<OsCase> {};

TEST_P(SystemLineTest, NameAndNumbers) {
    auto Line = SystemLineOf(GetParam().Version);
    if (GetParam().Line == nullptr)
        EXPECT_FALSE(Line.has_value()) << *Line;
    else
        EXPECT_EQ(Line.value_or("<none>"), GetParam().Line);
}

constexpr std::uint32_t Win9x = 1, WinNT = 2;

INSTANTIATE_TEST_SUITE_P(
    Table, SystemLineTest,
    ::testing::Values(
        OsCase{"Win2000NoServicePack", {WinNT, 5, 0, 2195, ""}, "Windows 2000  (5.0.2195)"},
        OsCase{"NT4AnyMinor",
               {WinNT, 4, 7, 1381, "Service Pack 6"},
               "Windows NT4 Service Pack 6 (4.7.1381)"},
        OsCase{"NTBuildKeptWhole", {WinNT, 5, 1, 0x12345678, ""}, "Windows XP  (5.1.305419896)"},
        OsCase{"Win98Minor89", {Win9x, 4, 89, 0x04590001, ""}, "Windows 98  (4.89.1)"},
        OsCase{"Win9xMinor91", {Win9x, 4, 91, 3000, ""}, nullptr},
        OsCase{"NT6Minor0", {WinNT, 6, 0, 6000, ""}, nullptr},
        OsCase{"NT3", {WinNT, 3, 51, 1057, ""}, nullptr}),
    [](const auto& Info) { return std::string(Info.param.Name); });

} // namespace
