// Shell operations against Wine's real shell: link files read back through
// IShellLinkA, a child program started and awaited, folder windows.

#include "engine/Compile.h"
#include "engine/ShellOps.h"

#include "win/engine_support.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shobjidl.h>

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

TEST_F(ShellTest, OpenFolderWindowShowsExplorerOnTheFolder) {
    std::string Name = "Morvane Folder Window " + std::to_string(GetCurrentProcessId());
    std::string Path = Folder / Name;
    ASSERT_TRUE(CreateDirectoryA(Path.c_str(), nullptr));
    EXPECT_TRUE(OpenFolderWindow(Path, nullptr));
    // The call does not wait; the window shows up a little later.
    EXPECT_TRUE(CloseFolderWindow(Name, 20000));
}

} // namespace
