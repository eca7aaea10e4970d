// Shell operations against Wine's real shell: link files read back through
// IShellLinkA, a child program started and awaited, folder windows.

#include "engine/Compile.h"
#include "data/Protection.h"
#include "engine/Children.h"
#include "engine/Transaction.h"
#include "engine/ShellOps.h"

#include "win/engine_support.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shobjidl.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <cstdint>
#include <string>

using namespace enginetest;

namespace {

std::string ChildExe() {
    return InstallerFolder() + "\\engine_child.exe";
}

class ShellTest : public ::testing::Test {
protected:
    TComScope Com; // apartment COM, as the program's UI thread has
    TTempFolder Folder{"shell"};
};

struct LinkCase {
    const char* Name;
    std::string Arguments;
    int ShowCmd;
    std::string WorkingFolder, Description, IconFile;
    int IconIndex;
    WORD HotKey;
};

class ShellLinkTest : public ShellTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(ShellLinkTest, WrittenLinkReadsBackAsSpecified) {
    const LinkCase& Case = GetParam();
    std::string Target = Folder / "Demos\\VCDemo.exe";
    TShortcutSpec Spec;
    Spec.Arguments = Case.Arguments;
    Spec.ShowCmd = Case.ShowCmd;
    Spec.WorkingFolder = Case.WorkingFolder;
    Spec.Target = Target; // need not exist
    Spec.Description = Case.Description;
    Spec.IconFile = Case.IconFile;
    Spec.IconIndex = Case.IconIndex;
    Spec.HotKey = Case.HotKey;
    std::string LinkFile = Folder / "Morvane ActiveX VC++ 6 Demo.lnk";

    ASSERT_EQ(CreateShellLink(Spec, LinkFile), S_OK);
    TLinkContents Read;
    ASSERT_TRUE(ReadLink(LinkFile, Read));
    EXPECT_EQ(Read.Path, Target);
    EXPECT_EQ(Read.Arguments, Case.Arguments);
    EXPECT_EQ(Read.WorkingFolder, Case.WorkingFolder);
    EXPECT_EQ(Read.Description, Case.Description);
    EXPECT_EQ(Read.IconFile, Case.IconFile);
    EXPECT_EQ(Read.IconIndex, Case.IconIndex);
    EXPECT_EQ(Read.HotKey, Case.HotKey);
    // Wine's link reader drops the show command, so look at the file's
    // header (ShowCommand is the 32-bit field at offset 0x3C).
    std::string Bytes = ReadOrFail(LinkFile);
    ASSERT_GE(Bytes.size(), 0x4Cu);
    EXPECT_EQ(*reinterpret_cast<const std::int32_t*>(Bytes.data() + 0x3C), Case.ShowCmd);
}

INSTANTIATE_TEST_SUITE_P(Specs, ShellLinkTest,
                         ::testing::Values(LinkCase{"OnlyTarget", "", 0, "", "", "", 0, 0},
                                           LinkCase{"EveryProperty", "/demo \"two words\"",
                                                    SW_SHOWMAXIMIZED, "C:\\work folder", "A demo",
                                                    "C:\\icons\\demo.ico", 3,
                                                    MAKEWORD('D', HOTKEYF_CONTROL | HOTKEYF_ALT)}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(ShellTest, LinkReplacesAnExistingFile) {
    std::string LinkFile = Folder / "x.lnk";
    ASSERT_TRUE(WriteWholeFile(LinkFile, std::string(5000, 'j')));
    TShortcutSpec Spec;
    Spec.Target = "C:\\new\\target.exe";
    ASSERT_EQ(CreateShellLink(Spec, LinkFile), S_OK);
    TLinkContents Read;
    ASSERT_TRUE(ReadLink(LinkFile, Read));
    EXPECT_EQ(Read.Path, Spec.Target);
}

TEST_F(ShellTest, LinkIntoMissingFolderFails) {
    TShortcutSpec Spec;
    Spec.Target = "C:\\x.exe";
    std::string LinkFile = Folder / "missing\\x.lnk";
    EXPECT_TRUE(FAILED(CreateShellLink(Spec, LinkFile)));
    EXPECT_FALSE(FilePresent(LinkFile));
}

TEST_F(ShellTest, LinkNameTooLongFailsWithoutWriting) {
    TShortcutSpec Spec;
    Spec.Target = "C:\\x.exe";
    std::string LinkFile = Folder / (std::string(400, 'n') + ".lnk");
    EXPECT_EQ(CreateShellLink(Spec, LinkFile), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
}

// Counts timer ticks, which arrive only while someone dispatches messages.
int Ticks = 0;
LRESULT CALLBACK TickWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == WM_TIMER) ++Ticks;
    return DefWindowProcA(Window, Message, WParam, LParam);
}

TEST_F(ShellTest, ExecuteWaitsForTheProgramAndKeepsWindowsAlive) {
    WNDCLASSA Class{};
    Class.lpfnWndProc = TickWindowProc;
    Class.hInstance = GetModuleHandleA(nullptr);
    Class.lpszClassName = "MorvaneTickWindow";
    RegisterClassA(&Class);
    HWND Window = CreateWindowA("MorvaneTickWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                Class.hInstance, nullptr);
    ASSERT_NE(Window, nullptr);
    SetTimer(Window, 1, 20, nullptr);
    Ticks = 0;

    std::string Marker = Folder / "marker.txt";
    std::string Parameters = "800 \"" + Marker + "\" /s \"C:\\a b\\c.ocx\"";
    DWORD Start = GetTickCount();
    EXPECT_TRUE(ShellExecuteAndWait(ChildExe(), Parameters, "", SW_HIDE));
    DWORD Elapsed = GetTickCount() - Start;
    KillTimer(Window, 1);
    DestroyWindow(Window);

    // The marker is written after the child's pause, just before it ends.
    ASSERT_TRUE(FilePresent(Marker));
    EXPECT_GE(Elapsed, 700u);
    std::string CommandLine = ReadOrFail(Marker);
    EXPECT_NE(CommandLine.find(Parameters), std::string::npos) << CommandLine;
    EXPECT_GE(Ticks, 5) << "messages were not dispatched while waiting";
}

TEST_F(ShellTest, ExecuteWithOpenVerbRunsTheProgram) {
    std::string Marker = Folder / "verb.txt";
    EXPECT_TRUE(ShellExecuteAndWait(ChildExe(), "0 \"" + Marker + "\"", "open", SW_HIDE));
    EXPECT_TRUE(FilePresent(Marker));
}

TEST_F(ShellTest, ExecuteOfMissingFileReturnsFalse) {
    EXPECT_FALSE(ShellExecuteAndWait(Folder / "nothing-here.exe", "", "", SW_SHOWNORMAL));
}

TEST_F(ShellTest, RegSvr32IsTheSystemsOwnCopy) {
    char System[MAX_PATH];
    GetSystemDirectoryA(System, sizeof System);
    EXPECT_EQ(SystemRegSvr32(), std::string(System) + "\\regsvr32.exe");
    EXPECT_TRUE(FilePresent(SystemRegSvr32()));
}

// A component of the other architecture (an installation by the other
// build) is registered and unregistered in its own registry view, by that
// view's regsvr32; only the header's machine field decides.
TEST_F(ShellTest, RegSvr32OfAComponentsOwnArchitecture) {
    char Folder_[MAX_PATH] = {};
    const std::string Windows(Folder_, GetWindowsDirectoryA(Folder_, MAX_PATH));
    const std::string Wow64(Folder_, GetSystemWow64DirectoryA(Folder_, MAX_PATH));
    const bool Is64 = sizeof(void*) == 8;
    const std::string Other32 = Is64 ? Wow64 + "\\regsvr32.exe" : SystemRegSvr32();
    const std::string Other64 = Is64 ? SystemRegSvr32() : Windows + "\\Sysnative\\regsvr32.exe";
    struct TCase {
        WORD Machine; // 0: no PE header at all
        std::string RegSvr32;
    };
    const TCase Cases[] = {{IMAGE_FILE_MACHINE_I386, Other32},
                           {IMAGE_FILE_MACHINE_AMD64, Other64},
                           {0, SystemRegSvr32()}};
    for (const TCase& Case : Cases) {
        // DOS header with e_lfanew at 0x3C, then "PE\0\0" and the machine.
        std::string Image(0x40, '\0');
        Image[0] = 'M';
        Image[1] = 'Z';
        Image[0x3C] = 0x40;
        Image += std::string("PE\0\0", 4) + char(Case.Machine & 0xFF) + char(Case.Machine >> 8);
        const std::string Path = Folder / "component.ocx";
        ASSERT_TRUE(WriteWholeFile(Path, Case.Machine ? Image : "not an image"));
        EXPECT_EQ(RegSvr32ForImage(Path), Case.RegSvr32) << Case.Machine;
    }
}

TEST_F(ShellTest, OpenFolderWindowRefusesWhatIsNoFolder) {
    std::string File = Folder / "file.txt";
    ASSERT_TRUE(WriteWholeFile(File, "x"));
    EXPECT_FALSE(OpenFolderWindow(Folder / "missing", nullptr));
    EXPECT_FALSE(OpenFolderWindow(File, nullptr));
}

// A program setup runs may take only so long (regsvr32 waiting on a dialog
// nobody sees would hold setup for ever): then it is ended.
TEST_F(ShellTest, AChildThatTakesTooLongIsEnded) {
    const std::string Marker = Folder / "ran.txt";
    bool TimedOut = false;
    const DWORD Start = GetTickCount();
    EXPECT_FALSE(RunAndWait(ChildExe(), " 30000 \"" + Marker + "\"", SW_HIDE, 500, TimedOut));
    EXPECT_TRUE(TimedOut);
    EXPECT_LT(GetTickCount() - Start, 10000u);
    EXPECT_EQ(RunAndWait(ChildExe(), " 0 \"" + Marker + "\"", SW_HIDE, 20000, TimedOut),
              std::optional<std::uint32_t>(0));
    EXPECT_FALSE(TimedOut);
    Sleep(500);
    EXPECT_TRUE(FilePresent(Marker)) << "the second one ran to its end";
}

// A program a cut-off run of setup left running is ended by the next start,
// which knows it by its note (a process of the same id that started at
// another time is not it).
TEST_F(ShellTest, AChildLeftRunningIsEndedByTheNextStart) {
    const std::string Marker = Folder / "left.txt";
    std::string CommandLine = "\"" + ChildExe() + "\" 30000 \"" + Marker + "\"";
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    {
        TChild Child;
        ASSERT_TRUE(Child.Start(ChildExe().c_str(), CommandLine, false, nullptr, Startup));
        const std::vector<std::string> Lines = EndLeftChild();
        ASSERT_EQ(Lines.size(), 1u);
        EXPECT_EQ(Lines[0].rfind("A program that the interrupted run had started", 0), 0u);
        EXPECT_EQ(WaitForSingleObject(Child.Process(), 5000), WAIT_OBJECT_0);
    }
    EXPECT_TRUE(EndLeftChild().empty()) << "the note is gone";
    EXPECT_FALSE(FilePresent(Marker));
}

// Setup's state (the journal, the program it runs) is given explicitly to
// SYSTEM and the Administrators alone, whatever the key above allows.
TEST_F(ShellTest, SetupsStateKeyIsForAdministratorsOnly) {
    const TRegKey Key = CreateSetupStateKey();
    ASSERT_TRUE(Key);
    alignas(SECURITY_DESCRIPTOR) BYTE Descriptor[1024];
    DWORD Size = sizeof Descriptor;
    ASSERT_EQ(RegGetKeySecurity(Key.get(), DACL_SECURITY_INFORMATION, Descriptor, &Size),
              ERROR_SUCCESS);
    LPSTR Text = nullptr;
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(
        Descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &Text, nullptr));
    EXPECT_EQ(std::string(Text), ProtectionSddl(TProtection::SetupState));
    LocalFree(Text);
    DropEmptySetupStateKey();
}

// The process that started Process; 0 when unknown.
DWORD ParentOf(DWORD Process) {
    const THandle Snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 Entry{};
    Entry.dwSize = sizeof Entry;
    for (BOOL More = Snapshot && Process32First(Snapshot.get(), &Entry); More;
         More = Process32Next(Snapshot.get(), &Entry))
        if (Entry.th32ProcessID == Process) return Entry.th32ParentProcessID;
    return 0;
}

// The window is the desktop shell's, which runs as the user at the desktop:
// this (elevated) program never starts Explorer itself, and without a
// desktop shell that answers there is no window at all.
TEST_F(ShellTest, AFolderWindowIsTheDesktopShellsOrNone) {
    std::string Name = "Morvane Folder Window " + std::to_string(GetCurrentProcessId());
    std::string Path = Folder / Name;
    ASSERT_TRUE(CreateDirectoryA(Path.c_str(), nullptr));
    const bool Opened = OpenFolderWindow(Path, nullptr);
    HWND Window = nullptr;
    for (DWORD Start = GetTickCount(); !Window && GetTickCount() - Start < (Opened ? 20000 : 3000);
         Sleep(100))
        Window = FindWindowA("ExplorerWClass", Name.c_str());
    ASSERT_EQ(Window != nullptr, Opened);
    if (!Window) return;
    DWORD Owner = 0;
    GetWindowThreadProcessId(Window, &Owner);
    EXPECT_NE(Owner, GetCurrentProcessId());
    EXPECT_NE(ParentOf(Owner), GetCurrentProcessId()) << "Explorer was started by this program";
    PostMessageA(Window, WM_CLOSE, 0, 0);
}

} // namespace
