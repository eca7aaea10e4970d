// Install and uninstall for real under Wine: the extraction program unpacks
// data.arc, regsvr32 registers the sample control, links land in the Start
// menu, the record goes into the registry and things go to the trash.
// unrar.exe and data.arc lie beside this program, as beside the installer.

#include "data/InstallData.h"
#include "platform/OsError.h"
#include "platform/Utils.h"
#include "engine/Compile.h"
#include "engine/ShellOps.h"
#include "MorvaneXControls.h"

#include "support/Steps.h"
#include "win/engine_run_fixture.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace enginetest;

namespace {

// Marks everything this process creates outside its temp folders.
std::string Token() {
    static const std::string Value = "MorvaneEngineTest-" + std::to_string(GetCurrentProcessId());
    return Value;
}


std::string EchoFor(const std::string& InstallDir) {
    return "unrar.exe x -c- -cfg- -dh -idp -o+ -r -y  data.arc *.* \"" +
           AddTrailingBackslash(InstallDir) + "\"";
}

TLines InstallHead() {
    TLines Lines;
    if (auto System = SystemLine()) Lines = {*System, ""};
    return Lines + InstallStart;
}



const TLines ExtractionFailed = {"Error extracting component files from archive.",
                                 "Archive damaged."};
// The last line of a failed run: what the rollback did.
const std::string NothingInstalled = "Setup removed what it had installed: nothing was installed.";
const std::string Restored = "The earlier installation was restored.";

// --- registry -------------------------------------------------------------

struct TRecord {
    bool Exists = false;
    std::string InstallDir, StartFolder, InstalledVersion;
};

std::string ReadString(HKEY Root, const std::string& Key, const char* Value) {
    char Buffer[1024];
    DWORD Size = sizeof Buffer;
    if (RegGetValueA(Root, Key.c_str(), Value, RRF_RT_REG_SZ, nullptr, Buffer, &Size) !=
        ERROR_SUCCESS)
        return {};
    return Buffer;
}

TRecord ReadRecord() {
    TRecord Record;
    HKEY Key;
    // The record is in the 32-bit view whichever the installer's architecture.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Product.RecordKey, 0, KEY_READ | KEY_WOW64_32KEY, &Key) !=
        ERROR_SUCCESS)
        return Record;
    const TRegKey Opened(Key);
    Record.Exists = true;
    Record.InstallDir = ReadString(Key, "", Product.InstallDirValue);
    Record.StartFolder = ReadString(Key, "", Product.StartFolderValue);
    Record.InstalledVersion = ReadString(Key, "", Product.InstalledVersionValue);
    return Record;
}

// The file the control is registered with; empty when not registered.
std::string RegisteredServer() {
    return ReadString(HKEY_CLASSES_ROOT, ControlClsidKey + "\\InprocServer32", nullptr);
}

bool SamePath(const std::string& A, const std::string& B) {
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, A.c_str(), -1, B.c_str(), -1) ==
           CSTR_EQUAL;
}

// --- fixture --------------------------------------------------------------

// A run of the installer as the progress page makes it: the installation
// data read from a "version" file in the current folder, a destination and
// a program folder of the test's own.
class ProcedureTest : public TEngineRunTest {
protected:
    ProcedureTest() : TEngineRunTest("engine", Token()) {}

    void SetUp() override {
        TEngineRunTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(RegisteredServer().empty()) << "the control is registered before the test";
    }

    std::string LogFile() const { return Work / "install.log"; }

    void InstallNow(TCompiler& Engine) { EXPECT_TRUE(Engine.Install().Completed()); }

    // The lines the extraction program wrote: between the echo and the
    // first "Completed".
    static TLines Captured(const TLines& Log, size_t After) {
        auto End = std::find(Log.begin() + After, Log.end(), "Completed");
        return TLines(Log.begin() + After, End);
    }
};

TEST_F(ProcedureTest, InstallThenUninstallThenUninstallAgain) {
    const std::string Dest = Data->InstallDir;
    // What an earlier installation left in the program folder: one of our
    // links, stale. (Files of anyone else stay: see engine_safety_test.)
    const std::string Programs = AddTrailingBackslash(Data->ProgramsDir);
    ASSERT_TRUE(CreateDirectoryA((Programs + Outer).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(ProgramFolder().c_str(), nullptr));
    ASSERT_TRUE(
        WriteWholeFile(ProgramFolder() + "\\" + ProductShortcuts().front().LinkName, "old"));

    auto Engine = NewEngine();
    InstallNow(*Engine);
    const TLines Log = Engine->Log();

    // The log: step lines, the echo, then the extraction program's output.
    const TLines Head = InstallHead() + TLines{EchoFor(Dest)};
    ASSERT_GE(Log.size(), Head.size());
    const TLines Output = Captured(Log, Head.size());
    EXPECT_EQ(Log, Head + Output + InstallEnd);
    EXPECT_FALSE(Output.empty());
    for (const TProductShortcut& Link : ProductShortcuts()) {
        std::string Name =
            std::string(Link.Target).substr(std::string(Link.Target).rfind('\\') + 1);
        EXPECT_TRUE(std::any_of(Output.begin(), Output.end(),
                                [&](const std::string& L) { return L.find(Name) != L.npos; }))
            << Name << " not mentioned by the extraction program";
    }
    // The page saw the step lines only.
    TLines PageExpected = InstallHead() + InstallEnd;
    EXPECT_EQ(Page, PageExpected);

    // Files, registration, links, record.
    for (const TProductShortcut& Link : ProductShortcuts())
        EXPECT_TRUE(FilePresent(Dest + "\\" + Link.Target)) << Link.Target;
    EXPECT_TRUE(FilePresent(Data->OcxFileName()));
    EXPECT_TRUE(SamePath(RegisteredServer(), Data->OcxFileName())) << RegisteredServer();

    TLines LinkNames;
    for (const TProductShortcut& Link : ProductShortcuts()) {
        LinkNames.push_back(Link.LinkName);
        EXPECT_EQ(LinkTarget(ProgramFolder() + "\\" + Link.LinkName), Dest + "\\" + Link.Target);
    }
    std::sort(LinkNames.begin(), LinkNames.end());
    EXPECT_EQ(FilesIn(ProgramFolder()), LinkNames) << "a link missing";

    TRecord Record = ReadRecord();
    EXPECT_TRUE(Record.Exists);
    EXPECT_EQ(Record.InstallDir, Dest);
    EXPECT_EQ(Record.StartFolder, Data->StartFolder);
    EXPECT_EQ(Record.InstalledVersion, "2.5.1 Standard Edition");
    EXPECT_TRUE(Data->Installed);
    EXPECT_TRUE(Data->Succeeded);

    Engine->Release();
    EXPECT_EQ(ReadOrFail(LogFile()), CrLfText(Log));
    Engine.reset();

    // Uninstall.
    Data->Succeeded = false;
    auto Remover = NewEngine();
    Remover->Uninstall();
    TLines SystemPart;
    if (auto System = SystemLine()) SystemPart = {"\x01" + *System, ""};
    EXPECT_EQ(Remover->Log(), SystemPart + UninstallSteps);
    EXPECT_EQ(Page, UninstallSteps);
    // Written inside the procedure, before its closing line ...
    EXPECT_EQ(ReadOrFail(LogFile()),
              CrLfText(SystemPart + TLines(UninstallSteps.begin(), UninstallSteps.end() - 1)));
    Remover->Release();
    // ... and again on release, with it.
    EXPECT_EQ(ReadOrFail(LogFile()), CrLfText(SystemPart + UninstallSteps));
    Remover.reset();

    EXPECT_TRUE(RegisteredServer().empty()) << "the control is still registered";
    EXPECT_FALSE(FolderPresent(Dest));
    EXPECT_FALSE(FolderPresent(ProgramFolder()));
    EXPECT_TRUE(FolderPresent(Programs + Outer)) << "the outer level goes too";
    TLines Trashed = TrashEntriesWith(Outer); // (the blank of Inner is escaped there)
    EXPECT_NE(std::find(Trashed.begin(), Trashed.end(), Inner), Trashed.end())
        << "the program folder is not in the trash";
    EXPECT_FALSE(ReadRecord().Exists);
    EXPECT_FALSE(Data->Installed);
    EXPECT_TRUE(Data->Succeeded);

    // Nothing left to remove: the same steps, each one quietly.
    Data->Succeeded = false;
    auto Again = NewEngine();
    Again->Uninstall();
    EXPECT_EQ(Page, UninstallSteps);
    EXPECT_TRUE(Data->Succeeded);
    Again->Release();
}

TEST_F(ProcedureTest, TrailingBackslashAndAFileHeldOpen) {
    const std::string Dest = Data->InstallDir;
    Data->InstallDir += "\\";
    auto Engine = NewEngine();
    InstallNow(*Engine);
    ASSERT_TRUE(Data->Succeeded);
    // One backslash where the destination meets what follows.
    const TLines& Log = Engine->Log();
    EXPECT_NE(std::find(Log.begin(), Log.end(), EchoFor(Dest)), Log.end());
    EXPECT_EQ(EchoFor(Dest).find("\\\\"), std::string::npos);
    EXPECT_TRUE(SamePath(RegisteredServer(), Dest + "\\" + Product.OcxFileName))
        << RegisteredServer();
    for (const TProductShortcut& Link : ProductShortcuts())
        EXPECT_EQ(LinkTarget(ProgramFolder() + "\\" + Link.LinkName), Dest + "\\" + Link.Target);
    Engine->Release();

    // Another program holds one file open while the uninstall runs; a
    // read-only file is no obstacle.
    const std::string Held = Dest + "\\Help\\ZelkX.HLP";
    const std::string ReadOnly = Dest + "\\Morvane.url";
    ASSERT_TRUE(SetFileAttributesA(ReadOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string HeldLink = ProgramFolder() + "\\Morvane ActiveX Help.lnk";
    THandle File(CreateFileA(Held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    THandle Link(CreateFileA(HeldLink.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(File && Link);
    Data->Succeeded = true;
    auto Remover = NewEngine();
    Remover->Uninstall();
    Remover->Release();
    File.reset();
    Link.reset();

    EXPECT_EQ(Page, UninstallSteps);
    const TLines& Left = Remover->Log();
    EXPECT_EQ(std::count_if(Left.begin(), Left.end(),
                            [&](const std::string& L) { return L.find(Held) != L.npos; }),
              1);
    EXPECT_NE(std::find_if(Left.begin(), Left.end(),
                           [&](const std::string& L) {
                               return L.rfind("Could not delete \"" + Held + "\": ", 0) == 0;
                           }),
              Left.end());
    EXPECT_NE(std::find(Left.begin(), Left.end(),
                        "Could not delete \"" + HeldLink +
                            "\": it could not be moved to the Recycle Bin."),
              Left.end());
    EXPECT_TRUE(FilePresent(HeldLink));
    EXPECT_FALSE(Data->Succeeded);
    EXPECT_TRUE(ReadRecord().Exists) << "the record goes while a file of ours is left";
    EXPECT_TRUE(FilePresent(Held));
    EXPECT_TRUE(FolderPresent(Dest + "\\Help"));
    EXPECT_FALSE(FolderPresent(Dest + "\\Demos"));
    EXPECT_FALSE(FilePresent(Dest + "\\" + Product.OcxFileName));
    EXPECT_FALSE(FilePresent(ReadOnly));
    EXPECT_TRUE(RegisteredServer().empty());

    // Once it is free, the next uninstall finishes the job.
    auto Finisher = NewEngine();
    Finisher->Uninstall();
    Finisher->Release();
    EXPECT_EQ(Page, UninstallSteps);
    EXPECT_TRUE(Data->Succeeded);
    EXPECT_FALSE(FolderPresent(Dest));
    EXPECT_FALSE(FolderPresent(ProgramFolder()));
    EXPECT_FALSE(ReadRecord().Exists);
}

TEST_F(ProcedureTest, ProgramFolderThatCannotBeCreatedEndsInstallWithSystemError) {
    // A file where the outer level of the program folder should go.
    ASSERT_TRUE(WriteWholeFile(AddTrailingBackslash(Data->ProgramsDir) + Outer, "in the way"));
    auto Engine = NewEngine();
    try {
        Engine->Install();
        ADD_FAILURE() << "Install did not raise";
    } catch (const EOSError& Error) {
        EXPECT_EQ(std::string(Error.what()),
                  "System Error.  Code: 183.\r\n" + SysErrorMessage(ERROR_ALREADY_EXISTS));
    }
    ASSERT_GE(Page.size(), 2u);
    EXPECT_EQ(TLines(Page.end() - 2, Page.end()),
              (TLines{"Create Shortcuts in Start menu folder...", NothingInstalled}));
    EXPECT_FALSE(Data->Succeeded);
    EXPECT_FALSE(ReadRecord().Exists);
    // Rolled back after the registration: a first installation leaves nothing.
    EXPECT_TRUE(RegisteredServer().empty());
    EXPECT_FALSE(FolderPresent(Data->InstallDir));
    Engine->Release();
    DeleteFileA((AddTrailingBackslash(Data->ProgramsDir) + Outer).c_str());
}

// A recorded folder on a drive that is not there (a share offline) is no
// folder that is gone: the uninstall ends with errors and keeps the record.
TEST_F(ProcedureTest, UninstallFromADriveThatIsNotThereKeepsTheRecord) {
    Data->InstallDir = "Q:\\Morvane ActiveX"; // no drive Q: in the prefix
    Data->Installed = true;
    Data->SaveToRegistry();
    auto Engine = NewEngine();
    Engine->Uninstall();
    Engine->Release();
    EXPECT_EQ(Page, UninstallSteps);
    EXPECT_FALSE(Data->Succeeded);
    EXPECT_TRUE(ReadRecord().Exists);
    const TLines& Log = Engine->Log();
    EXPECT_TRUE(std::any_of(Log.begin(), Log.end(), [](const std::string& Line) {
        return Line.rfind("Could not reach \"Q:\\Morvane ActiveX\": ", 0) == 0;
    })) << testing::PrintToString(Log);
}

// A current folder that takes no install.log (here a folder of that name
// stands in its place) costs the log its place, not the run its outcome:
// the log goes into the temporary folder, and its first line says where.
TEST_F(ProcedureTest, LogThatCannotBeWrittenGoesToTheTempFolder) {
    ASSERT_TRUE(CreateDirectoryA(LogFile().c_str(), nullptr));
    auto Engine = NewEngine();
    Engine->Uninstall();
    EXPECT_NO_THROW(Engine->Release());
    EXPECT_TRUE(Data->Succeeded);
    const TLines& Log = Engine->Log();
    ASSERT_FALSE(Log.empty());
    const std::string Head = "\"" + LogFile() + "\" cannot be written (";
    ASSERT_EQ(Log.front().rfind(Head, 0), 0u) << Log.front();
    const std::string::size_type At = Log.front().find("the setup log is in \"");
    ASSERT_NE(At, std::string::npos);
    const std::string Elsewhere = Log.front().substr(At + 21, Log.front().size() - At - 23);
    EXPECT_EQ(ReadOrFail(Elsewhere), CrLfText(Log));
    DeleteFileA(Elsewhere.c_str());
    RemoveDirectoryA(LogFile().c_str());
}

// Links an installation made as LocalSystem put into the all-users Start
// menu go when any account uninstalls.
TEST_F(ProcedureTest, UninstallRemovesTheLinksFromTheOtherStartMenuToo) {
    const std::string Common = ShellFolder(CSIDL_COMMON_PROGRAMS);
    ASSERT_FALSE(Common.empty());
    const std::string Mine = Data->ProgramsDir;
    Data->ProgramsDir = Common; // as installed by LocalSystem
    auto Engine = NewEngine();
    InstallNow(*Engine);
    Engine->Release();
    const std::string Links = AddTrailingBackslash(Common) + Data->StartFolder;
    ASSERT_TRUE(FilePresent(Links + "\\" + ProductShortcuts().front().LinkName));
    Data->ProgramsDir = Mine; // uninstalled by a user
    Data->OtherProgramsDir = Common;
    auto Remover = NewEngine();
    Remover->Uninstall();
    Remover->Release();
    EXPECT_TRUE(Data->Succeeded);
    EXPECT_FALSE(FolderPresent(Links));
    WipeTree(AddTrailingBackslash(Common) + Outer);
}

TEST_F(ProcedureTest, UninstallWithoutFolderNamesLeavesOtherProgramsAlone) {
    // Without a program folder name the path would be the Programs folder
    // itself, and without a destination the tree would be the drive's root.
    const std::string Programs = Work / "Programs";
    ASSERT_TRUE(CreateDirectoryA(Programs.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((Programs + "\\Other Program").c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(Programs + "\\Other.lnk", "other"));
    ASSERT_TRUE(WriteWholeFile(Programs + "\\Other Program\\Other.lnk", "other"));
    Data->ProgramsDir = Programs;
    Data->InstallDir.clear();
    for (const char* StartFolder : {"", "\\"}) {
        Data->StartFolder = StartFolder;
        auto Engine = NewEngine();
        Engine->Uninstall();
        EXPECT_EQ(Page, UninstallSteps);
        Engine->Release();
        EXPECT_TRUE(FilePresent(Programs + "\\Other.lnk"))
            << "StartFolder \"" << StartFolder << '"';
        EXPECT_TRUE(FilePresent(Programs + "\\Other Program\\Other.lnk"));
        EXPECT_TRUE(FilePresent(Work / "version"));
    }
}

// --- separate processes ---------------------------------------------------

struct TProbeResult {
    std::string System;
    TLines Log, Page, Errors;
    bool Result = false, Succeeded = false;
};

TProbeResult ReadProbe(const std::string& Path) {
    TProbeResult Probe;
    std::string Bytes = ReadOrFail(Path);
    size_t Start = 0;
    for (size_t End; (End = Bytes.find('\n', Start)) != std::string::npos; Start = End + 1) {
        std::string Text = Bytes.substr(Start + 1, End - Start - 1);
        switch (Bytes[Start]) {
        case 'Y':
            Probe.System = Text;
            break;
        case 'L':
            Probe.Log.push_back(Text);
            break;
        case 'P':
            Probe.Page.push_back(Text);
            break;
        case 'E':
            Probe.Errors.push_back(Text);
            break;
        case 'R':
            Probe.Result = Text == "1";
            break;
        case 'S':
            Probe.Succeeded = Text == "1";
            break;
        }
    }
    return Probe;
}

bool CopyBeside(const std::string& Name, const std::string& ToFolder,
                const std::string& AsName = {}) {
    return CopyFileA((InstallerFolder() + "\\" + Name).c_str(),
                     (ToFolder + "\\" + (AsName.empty() ? Name : AsName)).c_str(), FALSE);
}

// The probe program copied into an installer folder of the test's making,
// run with a current folder that holds "version".
class ProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureTrashHome();
        DeleteRecord();
        ASSERT_TRUE(WriteWholeFile(Work / "version", "2.5.1\r\n"));
        static int Run = 0;
        Outer = Token() + "-probe-" + std::to_string(++Run);
        WipeTree(ProgramsOuter());
        ASSERT_TRUE(CopyBeside("engine_probe.exe", Setup.Path(), ProbeName));
    }
    void TearDown() override {
        // The windows the shell opened on the program folder, late ones too.
        CloseAllFolderWindows("Edition");
        RemoveRegistration();
        DeleteRecord();
        WipeTree(ProgramsOuter());
        CleanTrash(Token());
    }

    // Fault and its exit code: see engine_probe.cpp.
    TProbeResult Run(const std::string& Mode, const std::string& Fault = {}, long Exit = 0) {
        std::string ResultFile = Work / (Mode + ".out");
        DeleteFileA(ResultFile.c_str());
        long Code =
            RunProgram("\"" + Setup / ProbeName + "\" \"" + ResultFile + "\" " + Mode + " \"" +
                           Dest() + "\" \"" + Outer + "\\Edition\" \"" + Fault + "\"",
                       Work.Path());
        EXPECT_EQ(Code, Exit) << "probe " << Mode << " " << Fault;
        return ReadProbe(ResultFile);
    }

    std::string Dest() const { return Work / ("Dest " + Outer); }
    std::string ProgramsOuter() const {
        char Programs[MAX_PATH];
        if (SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, Programs) != S_OK) return {};
        return AddTrailingBackslash(Programs) + Outer;
    }

    std::string ProbeName = "morvane_probe.exe";
    TComScope Com; // for reading links
    TTempFolder Work{"probework"};
    TTempFolder Setup{"setup"};
    std::string Outer;
};

enum TArchive { arMissing, arWhole, arTruncated, arCorrupted };

struct ExtractCase {
    const char* Name;
    bool Unrar;      // the extraction program beside the installer
    bool StandIn;    // our command-line recorder in its place
    bool PlantInCwd; // a working unrar.exe in the current folder
    TArchive Archive;
    bool OutputExpected; // the extraction program says something
    bool Listed;         // the archive could be listed: the run started and was undone
};

class ExtractionFailureTest : public ProbeTest,
                              public ::testing::WithParamInterface<ExtractCase> {};

TEST_P(ExtractionFailureTest, TwoFailureLinesAfterTheEchoAndNothingElseHappens) {
    const ExtractCase& Case = GetParam();
    if (Case.Unrar) {
        ASSERT_TRUE(CopyBeside("unrar.exe", Setup.Path()));
    }
    if (Case.StandIn) {
        ASSERT_TRUE(CopyBeside("engine_child.exe", Setup.Path(), "unrar.exe"));
    }
    if (Case.PlantInCwd) {
        ASSERT_TRUE(CopyBeside("unrar.exe", Work.Path()));
    }
    if (Case.Archive != arMissing) {
        std::string Archive = ReadOrFail(InstallerFolder() + "\\data.arc");
        ASSERT_GT(Archive.size(), 1000u);
        if (Case.Archive == arTruncated) Archive.resize(Archive.size() / 2);
        if (Case.Archive == arCorrupted)
            for (size_t I = Archive.size() / 2; I < Archive.size() / 2 + 64; ++I)
                Archive[I] ^= 0x55;
        ASSERT_TRUE(WriteWholeFile(Setup / "data.arc", Archive));
    }

    TProbeResult Probe = Run("install");
    EXPECT_TRUE(Probe.Errors.empty()) << Probe.Errors[0];
    TLines Head = InstallHead() + TLines{EchoFor(Dest())};
    const TLines Tail =
        Case.Listed ? ExtractionFailed + TLines{NothingInstalled} : ExtractionFailed;
    ASSERT_GE(Probe.Log.size(), Head.size() + Tail.size());
    EXPECT_EQ(TLines(Probe.Log.begin(), Probe.Log.begin() + Head.size()), Head);
    EXPECT_EQ(TLines(Probe.Log.end() - Tail.size(), Probe.Log.end()), Tail);
    EXPECT_EQ(Probe.Log.size() > Head.size() + Tail.size(), Case.OutputExpected)
        << "lines between the echo and the failure: " << Probe.Log.size() - Head.size() - 2;
    EXPECT_EQ(Probe.Page, InstallHead() + Tail);
    EXPECT_FALSE(FolderPresent(Dest())) << "a failed first installation leaves its folder";
    EXPECT_FALSE(Probe.Result);
    EXPECT_FALSE(Probe.Succeeded);

    EXPECT_TRUE(RegisteredServer().empty()) << "registered after a failed extraction";
    EXPECT_FALSE(FolderPresent(ProgramsOuter())) << "program folder made after a failed extraction";
    EXPECT_FALSE(ReadRecord().Exists);
    if (Case.StandIn) {
        // Started in the installer's folder with the echo as its command line.
        EXPECT_EQ(ReadOrFail(Setup / "cmdline.txt"), EchoFor(Dest()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtractionFailureTest,
    ::testing::Values(
        // Another unrar.exe in the current folder must not stand in for it.
        ExtractCase{"MissingExtractionProgram", false, false, true, arWhole, false, false},
        ExtractCase{"MissingArchive", true, false, false, arMissing, true, false},
        ExtractCase{"TruncatedArchive", true, false, false, arTruncated, true, false},
        ExtractCase{"CorruptedArchive", true, false, false, arCorrupted, true, false},
        ExtractCase{"CommandLineAndFolder", false, true, false, arWhole, true, true}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// --- the transaction -------------------------------------------------------

struct TFaultCase {
    const char* Name;
    bool Update;       // an installation is there before the run
    bool Damaged;      // data.arc damaged three quarters in
    const char* Fault; // see engine_probe.cpp
    bool Killed;       // the fault ends the process: the next start undoes it
    // A file of the installation the user changed before the run; nullptr: none.
    const char* Changed = nullptr;
    // A folder where one of our links goes, so that the link cannot be made.
    bool LinkBlocked = false;
};

// The value of setup's entry in RunOnce (the system's own view); empty when
// there is none.
std::string RunOnceEntry() {
    return ReadString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                      RunOnceValueName().c_str());
}

class FailedRunTest : public ProbeTest, public ::testing::WithParamInterface<TFaultCase> {};

// Whatever breaks an update (or a first installation) on its way, the
// machine is as it was before the run: files byte for byte, the control
// registered, the record and the entry, the links; no backup left over and
// nothing in the Recycle Bin.
TEST_P(FailedRunTest, LeavesTheMachineAsItWas) {
    const TFaultCase& Case = GetParam();
    ASSERT_TRUE(CopyBeside("unrar.exe", Setup.Path()));
    ASSERT_TRUE(CopyBeside("data.arc", Setup.Path()));
    const std::string Links = ProgramsOuter() + "\\Edition";
    if (Case.Update) {
        ASSERT_TRUE(Run("install").Succeeded);
    }
    if (Case.Changed) {
        ASSERT_TRUE(WriteWholeFile(Dest() + "\\" + Case.Changed, "the user's\r\n"));
    }
    const std::string Blocked = Links + "\\" + ProductShortcuts().back().LinkName;
    if (Case.LinkBlocked) {
        DeleteFileA(Blocked.c_str()); // the link an update replaces
        ASSERT_TRUE(MakeFolders(Blocked));
    }
    const TMachineState Before = MachineState(Dest(), Links);
    EXPECT_EQ(Before.Server.empty(), !Case.Update);
    if (Case.Damaged) {
        std::string Archive = ReadOrFail(Setup / "data.arc");
        Archive[Archive.size() * 3 / 4] ^= 0x01;
        ASSERT_TRUE(WriteWholeFile(Setup / "data.arc", Archive));
    }

    TProbeResult Failed = Run("install", Case.Fault, Case.Killed ? 9 : 0);
    CloseAllFolderWindows("Edition");
    EXPECT_FALSE(Failed.Succeeded);
    // A damaged archive is found by its listing, before anything changes.
    const std::string Outcome = Case.Damaged  ? ExtractionFailed.back()
                                : Case.Update ? Restored
                                              : NothingInstalled;
    if (Case.Killed) {
        Failed = Run("recover");
        EXPECT_EQ(
            Failed.Log,
            (TLines{"An earlier run of setup was interrupted before it had finished.", Outcome}));
    } else {
        ASSERT_FALSE(Failed.Page.empty());
        if (Case.LinkBlocked) {
            EXPECT_NE(std::find_if(Failed.Page.begin(), Failed.Page.end(),
                                   [&](const std::string& Line) {
                                       return Line.rfind("Could not create the link \"" + Blocked +
                                                             "\": ",
                                                         0) == 0;
                                   }),
                      Failed.Page.end())
                << testing::PrintToString(Failed.Page);
        }
        EXPECT_EQ(Failed.Page.back(), Outcome);
    }
    EXPECT_EQ(MachineState(Dest(), Links), Before);
    for (const TProductShortcut& Link : ProductShortcuts())
        if (!Case.LinkBlocked || Links + "\\" + Link.LinkName != Blocked) {
            EXPECT_EQ(FilePresent(LinkTarget(Links + "\\" + Link.LinkName)), Case.Update);
        }
    EXPECT_EQ(FoldersIn(Work.Path()), Case.Update ? TLines{"Dest " + Outer} : TLines{})
        << "a backup left behind";
    EXPECT_TRUE(TrashEntriesWith(Outer).empty());
    EXPECT_EQ(FolderPresent(ProgramsOuter()), Case.Update || Case.LinkBlocked);
    EXPECT_EQ(RunOnceEntry(), "") << "the component's registration at the restart is left";
    EXPECT_TRUE(Run("recover").Log.empty()) << "the journal is left";
    if (Case.LinkBlocked) RemoveDirectoryA(Blocked.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailedRunTest,
    ::testing::Values(
        TFaultCase{"DamagedArchive", true, true, "", false},
        TFaultCase{"AfterRegistration", true, false, "fail=2:Completed", false},
        TFaultCase{"AfterTheLinks", true, false, "fail=3:Completed", false},
        TFaultCase{"AfterTheRecord", true, false, "fail=1:", false},
        TFaultCase{"FirstInstallationAfterTheLinks", false, false, "fail=3:Completed", false},
        TFaultCase{"KilledAfterMovingAside", true, false, "kill=1:Extracting component files...",
                   true},
        TFaultCase{"KilledAfterTheLinks", true, false, "kill=3:Completed", true},
        TFaultCase{"KilledFirstInstallation", false, false, "kill=1:Completed", true},
        // A file another program holds is left in place; should the program
        // let go of it before the extraction reaches it, the extraction
        // replaces it, and the undo puts back what it was.
        TFaultCase{"HeldFileLetGoThenAFailure", true, false,
                   "letgo=Help\\ZelkX.HLP;fail=3:Completed", false, "Help\\ZelkX.HLP"},
        TFaultCase{"HeldFileLetGoThenKilled", true, false, "letgo=Help\\ZelkX.HLP;kill=3:Completed",
                   true, "Help\\ZelkX.HLP"},
        // A held component is registered again after the undo.
        TFaultCase{"HeldComponentLetGoThenAFailure", true, false,
                   "letgo=MorvaneXControls.ocx;fail=3:Completed", false},
        // Held throughout: Windows was to register its new version at the
        // restart, which the undo takes back.
        TFaultCase{"ComponentHeldThroughAFailure", true, false,
                   "hold=MorvaneXControls.ocx;fail=3:Completed", false},
        TFaultCase{"ALinkThatCannotBeMade", true, false, "", false, nullptr, true},
        TFaultCase{"FirstInstallationWithALinkThatCannotBeMade", false, false, "", false, nullptr,
                   true}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// "<Head> Code: N." with N a non-zero number.
bool IsCodeLine(const std::string& Line, const std::string& Head) {
    const std::string Prefix = Head + " Code: ";
    if (Line.rfind(Prefix, 0) != 0 || Line.back() != '.') return false;
    const std::string Number = Line.substr(Prefix.size(), Line.size() - Prefix.size() - 1);
    return !Number.empty() && Number != "0" &&
           Number.find_first_not_of("-0123456789") == std::string::npos;
}

// A control that is no library: the registration fails and a first
// installation is rolled back to nothing. An installed control that regsvr32
// cannot unregister keeps everything, record included, for another try.
TEST_F(ProbeTest, RefusedRegistrationRollsBackAndRefusedUnregistrationKeepsAll) {
    ASSERT_TRUE(CopyBeside("unrar.exe", Setup.Path()));
    ASSERT_TRUE(CopyBeside("notalibrary.arc", Setup.Path(), "data.arc"));

    TProbeResult Install = Run("install");
    EXPECT_TRUE(Install.Errors.empty());
    TLines Expected = InstallHead() + TLines{"Completed", "Registering component in registry..."};
    ASSERT_EQ(Install.Page.size(), Expected.size() + 2);
    EXPECT_EQ(TLines(Install.Page.begin(), Install.Page.begin() + Expected.size()), Expected);
    EXPECT_PRED2(IsCodeLine, Install.Page[Expected.size()], "Error registering component.");
    EXPECT_EQ(Install.Page.back(), NothingInstalled);
    EXPECT_FALSE(Install.Succeeded);
    EXPECT_FALSE(ReadRecord().Exists);
    EXPECT_FALSE(FolderPresent(Dest()));
    EXPECT_FALSE(FolderPresent(ProgramsOuter()));

    ASSERT_TRUE(CopyBeside("data.arc", Setup.Path()));
    ASSERT_TRUE(Run("install").Succeeded);
    ASSERT_TRUE(WriteWholeFile(Dest() + "\\" + Product.OcxFileName, "not a library any more"));
    TProbeResult Uninstall = Run("uninstall");
    ASSERT_EQ(Uninstall.Page.size(), UninstallSteps.size());
    EXPECT_PRED2(IsCodeLine, Uninstall.Page[1], "Error unregistering component.");
    EXPECT_EQ(TLines(Uninstall.Page.begin() + 2, Uninstall.Page.end()),
              TLines(UninstallSteps.begin() + 2, UninstallSteps.end()));
    EXPECT_FALSE(Uninstall.Succeeded);
    EXPECT_TRUE(ReadRecord().Exists);
    EXPECT_TRUE(FilePresent(Dest() + "\\" + Product.OcxFileName));
    EXPECT_TRUE(FolderPresent(ProgramsOuter() + "\\Edition"));
}

// The operating-system line as Wine reports each Windows version; Wine
// reads the per-program setting when a process starts.
struct OsCase {
    const char* Setting;
    const char* Line; // nullptr: no line
};

class SystemLineProbeTest : public ProbeTest, public ::testing::WithParamInterface<OsCase> {
protected:
    void SetUp() override {
        ProbeTest::SetUp();
        ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, AppKey().c_str(), "Version", REG_SZ,
                                  GetParam().Setting,
                                  static_cast<DWORD>(strlen(GetParam().Setting) + 1)),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, AppKey().c_str());
        ProbeTest::TearDown();
    }
    std::string AppKey() const { return "Software\\Wine\\AppDefaults\\" + ProbeName; }
};

TEST_P(SystemLineProbeTest, InstallAndUninstallLogs) {
    const char* Expected = GetParam().Line;
    TProbeResult Install = Run("install"); // fails at once: no unrar.exe beside it
    EXPECT_EQ(Install.System, Expected ? Expected : "-");
    ASSERT_GE(Install.Log.size(), 2u);
    if (Expected) {
        EXPECT_EQ(TLines(Install.Log.begin(), Install.Log.begin() + 2), (TLines{Expected, ""}));
        EXPECT_EQ(TLines(Install.Page.begin(), Install.Page.begin() + 2), (TLines{Expected, ""}));
    } else {
        EXPECT_EQ(Install.Log[0], "Delete old files...");
    }

    TProbeResult Uninstall = Run("uninstall");
    TLines SystemPart;
    if (Expected) SystemPart = {std::string("\x01") + Expected, ""};
    EXPECT_EQ(Uninstall.Log, SystemPart + UninstallSteps);
    EXPECT_EQ(Uninstall.Page, UninstallSteps);
    EXPECT_EQ(ReadOrFail(Work / "install.log"), CrLfText(SystemPart + UninstallSteps));
}

INSTANTIATE_TEST_SUITE_P(
    WineVersions, SystemLineProbeTest,
    ::testing::Values(OsCase{"winxp", "Windows XP Service Pack 3 (5.1.2600)"},
                      OsCase{"win2k", "Windows 2000 Service Pack 4 (5.0.2195)"},
                      OsCase{"nt40", "Windows NT4 Service Pack 6a (4.0.1381)"},
                      OsCase{"win95", "Windows 95  (4.0.950)"},
                      OsCase{"win98", "Windows 98  A  (4.10.2222)"},
                      OsCase{"winme", "Windows ME   (4.90.3000)"}, OsCase{"win7", nullptr}),
    [](const auto& Info) { return std::string(Info.param.Setting); });

} // namespace
