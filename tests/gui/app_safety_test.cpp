// The destination and program-folder pages refuse folders setup must not
// use: the message the user is shown, and the page kept. Through the page's
// message-box hook for the tables, and once each through the system's own
// message box, answered from another thread as a user would.

#include "app/uMain.h"
#include "data/FolderRules.h"
#include "data/InstallData.h"
#include "platform/Owners.h"
#include "support/Files.h"
#include "support/Record.h"
#include "support/System.h"
#include "support/Ui.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using V = TFolderVerdict;

const std::string BoxCaption = std::string(Product.ShortName) + " Installer";

struct TShown {
    std::string Text, Caption;
    UINT Type = 0;
};

// The window on its destination page, with every message box it shows
// recorded and answered with Answer.
class PageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.Ready());
        Data = std::make_unique<TInstallData>();
        Main = std::make_unique<TfMain>(*Data);
        Main->MessageBoxHook = [this](HWND Owner, const std::string& Text,
                                      const std::string& Caption, UINT Type) {
            EXPECT_EQ(Owner, Main->Handle());
            Shown.push_back({Text, Caption, Type});
            return Answer;
        };
        Main->Wizard()->PressButton(bkNext);
        SendMessageA(Main->Control(TMainControl::cbAgree), BM_CLICK, 0, 0);
        Main->Wizard()->PressButton(bkNext);
        ASSERT_EQ(Main->Wizard()->ActivePage(), Main->Page(TMainPage::wDestinationPage));
        DefaultDir = Data->InstallDir;
    }
    void TearDown() override {
        Main.reset();
        Data.reset();
    }

    void TypeDestination(const std::string& Text) {
        SetWindowTextA(Main->Destination()->EditDirectory(), Text.c_str());
    }

    TSetupFolder Dir{"gui-safety"};
    std::string DefaultDir;
    std::unique_ptr<TInstallData> Data;
    std::unique_ptr<TfMain> Main;
    std::vector<TShown> Shown;
    int Answer = IDOK;
};

struct DestinationCase {
    const char* Name;
    std::string (*Path)(const std::string& Scratch);
    V Verdict;
};

class RefusedDestination : public PageTest,
                           public ::testing::WithParamInterface<DestinationCase> {};

TEST_P(RefusedDestination, SaysWhyAndKeepsThePage) {
    const std::string Path = GetParam().Path(Dir.Path());
    TypeDestination(Path);
    Main->Wizard()->PressButton(bkNext);
    ASSERT_EQ(Shown.size(), 1u) << Path;
    EXPECT_EQ(Shown[0].Text, DestinationRefusalText(GetParam().Verdict, Path));
    EXPECT_EQ(Shown[0].Caption, BoxCaption);
    EXPECT_EQ(Shown[0].Type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(Main->Wizard()->ActivePage(), Main->Page(TMainPage::wDestinationPage));
    EXPECT_EQ(Data->InstallDir, DefaultDir) << "a refused folder is not stored";
    if (GetParam().Verdict == V::Link) RemoveUnixLink(Path);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedDestination,
    ::testing::
        Values(DestinationCase{"Empty", [](const std::string&) { return std::string(); }, V::Empty},
               DestinationCase{"Relative",
                               [](const std::string&) { return std::string("Morvane"); },
                               V::Relative},
               DestinationCase{"LeadingBlank",
                               [](const std::string& S) { return " " + S + "\\Morvane"; },
                               V::Relative},
               DestinationCase{"DriveRelative",
                               [](const std::string&) { return std::string("C:Morvane"); },
                               V::Relative},
               DestinationCase{"Pipe", [](const std::string& S) { return S + "\\a|b"; },
                               V::BadCharacter},
               DestinationCase{"Question", [](const std::string& S) { return S + "\\a?b"; },
                               V::BadCharacter},
               DestinationCase{"Colon", [](const std::string& S) { return S + "\\a:b"; },
                               V::BadCharacter},
               DestinationCase{"Control", [](const std::string& S) { return S + "\\a\tb"; },
                               V::BadCharacter},
               DestinationCase{"TrailingPeriod",
                               [](const std::string& S) { return S + "\\Morvane."; }, V::BadName},
               DestinationCase{"Device", [](const std::string& S) { return S + "\\NUL"; },
                               V::BadName},
               DestinationCase{"Dot", [](const std::string& S) { return S + "\\.\\Morvane"; },
                               V::DotLevel},
               DestinationCase{"DotDot", [](const std::string& S) { return S + "\\..\\Morvane"; },
                               V::DotLevel},
               DestinationCase{"DoubleBackslash",
                               [](const std::string& S) { return S + "\\\\Morvane"; },
                               V::EmptyLevel},
               DestinationCase{"DriveRoot", [](const std::string&) { return std::string("C:\\"); },
                               V::Root},
               DestinationCase{"Drive", [](const std::string&) { return std::string("C:"); },
                               V::Root},
               DestinationCase{"ShareRoot",
                               [](const std::string&) { return std::string("\\\\server\\share"); },
                               V::Root},
               DestinationCase{"Windows", [](const std::string&) { return WindowsFolder(); },
                               V::WindowsFolder},
               DestinationCase{
                   "InWindows",
                   [](const std::string&) { return WindowsFolder() + "\\Morvane ActiveX"; },
                   V::WindowsFolder},
               DestinationCase{"ProgramFiles",
                               [](const std::string&) { return ShellFolder(CSIDL_PROGRAM_FILES); },
                               V::ProgramFiles},
               DestinationCase{
                   "ProgramFilesSlashed",
                   [](const std::string&) { return ShellFolder(CSIDL_PROGRAM_FILES) + "\\"; },
                   V::ProgramFiles},
               DestinationCase{"Profile",
                               [](const std::string&) { return ShellFolder(CSIDL_PROFILE); },
                               V::UserFolder},
               DestinationCase{
                   "Desktop",
                   [](const std::string&) { return ShellFolder(CSIDL_DESKTOPDIRECTORY); },
                   V::UserFolder},
               DestinationCase{"Documents",
                               [](const std::string&) { return ShellFolder(CSIDL_PERSONAL); },
                               V::UserFolder},
               DestinationCase{"Programs",
                               [](const std::string&) { return ShellFolder(CSIDL_PROGRAMS); },
                               V::StartMenu},
               DestinationCase{
                   "InPrograms",
                   [](const std::string&) { return ShellFolder(CSIDL_PROGRAMS) + "\\Grenwick"; },
                   V::StartMenu},
               DestinationCase{"AFile", [](const std::string& S) { return S + "\\version"; },
                               V::NotAFolder},
               // A link (a Unix one, seen as a junction is seen).
               DestinationCase{
                   "ALink",
                   [](const std::string& S) {
                       MakeFolders(S + "\\Target");
                       MakeUnixLink(S + "\\Target", S + "\\Linked");
                       return S + "\\Linked";
                   },
                   V::Link}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(PageTest, AcceptedDestinationsAreStoredAsTyped) {
    for (const std::string& Path :
         {Dir / "New Folder", Dir / "Slashed\\", ShellFolder(CSIDL_PROGRAM_FILES) + "\\Grenwick\\X",
          ShellFolder(CSIDL_PERSONAL) + "\\Morvane"}) {
        TypeDestination(Path);
        Main->Wizard()->PressButton(bkNext);
        EXPECT_TRUE(Shown.empty()) << Shown[0].Text;
        EXPECT_EQ(Main->Wizard()->ActivePage(), Main->Page(TMainPage::wFolder)) << Path;
        EXPECT_EQ(Data->InstallDir, Path);
        Main->Wizard()->PressButton(bkBack);
    }
}

TEST_F(PageTest, AFolderWithOtherFilesNeedsAYes) {
    const std::string Folder = Dir / "Full";
    ASSERT_TRUE(CreateDirectoryA(Folder.c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(Folder + "\\theirs.txt", "x"));
    TypeDestination(Folder);

    Answer = IDNO;
    Main->Wizard()->PressButton(bkNext);
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].Text,
              "The folder \"" + Folder +
                  "\" already holds files that were not installed by this setup program.\r\n\r\n"
                  "Setup will leave them where they are: it adds its own files and removes only "
                  "those again when Morvane ActiveX is uninstalled.\r\n\r\n"
                  "Do you want to install Morvane ActiveX into this folder?");
    EXPECT_EQ(Shown[0].Caption, BoxCaption);
    EXPECT_EQ(Shown[0].Type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
    EXPECT_EQ(Main->Wizard()->ActivePage(), Main->Page(TMainPage::wDestinationPage));
    EXPECT_EQ(Data->InstallDir, DefaultDir);

    Answer = IDYES;
    Main->Wizard()->PressButton(bkNext);
    EXPECT_EQ(Shown.size(), 2u);
    EXPECT_EQ(Main->Wizard()->ActivePage(), Main->Page(TMainPage::wFolder));
    EXPECT_EQ(Data->InstallDir, Folder);

    // An earlier installation of ours in it: no question.
    Main->Wizard()->PressButton(bkBack);
    ASSERT_TRUE(WriteWholeFile(Folder + "\\" + Product.InstalledFilesListName, "Morvane.url\r\n"));
    Main->Wizard()->PressButton(bkNext);
    EXPECT_EQ(Shown.size(), 2u);
    EXPECT_EQ(Main->Wizard()->ActivePage(), Main->Page(TMainPage::wFolder));
}

struct FolderCase {
    const char* Name;
    const char* Folder;
    V Verdict;
};

class RefusedProgramFolder : public PageTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(RefusedProgramFolder, SaysWhyAndKeepsThePage) {
    Main->Wizard()->PressButton(bkNext);
    ASSERT_EQ(Main->Wizard()->ActivePage(), Main->Page(TMainPage::wFolder));
    const std::string Default = Data->StartFolder;
    SetWindowTextA(Main->Control(TMainControl::eFolder), GetParam().Folder);
    Main->Wizard()->PressButton(bkNext);
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].Text, ProgramFolderRefusalText(GetParam().Verdict, GetParam().Folder));
    EXPECT_EQ(Shown[0].Caption, BoxCaption);
    EXPECT_EQ(Shown[0].Type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(Main->Wizard()->ActivePage(), Main->Page(TMainPage::wFolder));
    EXPECT_EQ(Data->StartFolder, Default);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedProgramFolder,
    ::testing::Values(FolderCase{"Drive", "C:\\Tools", V::Drive},
                      FolderCase{"DriveRelative", "C:Tools", V::Drive},
                      FolderCase{"LeadingBackslash", "\\Tools", V::LeadingSlash},
                      FolderCase{"Share", "\\\\server\\share", V::LeadingSlash},
                      FolderCase{"TrailingBackslash", "Grenwick\\", V::EmptyLevel},
                      FolderCase{"DoubleBackslash", "Grenwick\\\\Morvane", V::EmptyLevel},
                      FolderCase{"Dot", ".", V::DotLevel},
                      FolderCase{"DotDot", "..\\Startup", V::DotLevel},
                      FolderCase{"Star", "Grenwick*", V::BadCharacter},
                      FolderCase{"Colon", "Gren:wick", V::BadCharacter},
                      FolderCase{"Quote", "Gren\"wick", V::BadCharacter},
                      FolderCase{"TrailingPeriod", "Grenwick.", V::BadName},
                      FolderCase{"Device", "Grenwick\\CON", V::BadName}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(PageTest, AcceptedProgramFolderIsStoredAsTyped) {
    Main->Wizard()->PressButton(bkNext);
    SetWindowTextA(Main->Control(TMainControl::eFolder), "Other Tools\\Morvane");
    Main->Wizard()->PressButton(bkNext);
    EXPECT_TRUE(Shown.empty());
    EXPECT_EQ(Data->StartFolder, "Other Tools\\Morvane");
    EXPECT_EQ(Main->Wizard()->ActivePage(), Main->Page(TMainPage::wCompile));
}

// --- the system's message box -------------------------------------------

struct TDialogSeen {
    std::string Caption, Text;
    bool Found = false;
};

// Waits on another thread for this process's message box, reads it and
// presses Button, as a user would.
class TMessageBoxAnswerer {
public:
    explicit TMessageBoxAnswerer(int Button)
        : FThread([this, Button] {
              for (int Tries = 0; Tries < 300 && !FStop; ++Tries, Sleep(50)) {
                  HWND Box = nullptr;
                  for (HWND Window : TopWindows(GetCurrentProcessId()))
                      if (!Box && ClassName(Window) == "#32770") Box = Window;
                  if (!Box) continue;
                  Seen.Caption = WindowText(Box);
                  // The message is the longest static text (an icon is a static too).
                  for (HWND Child : Descendants(Box))
                      if (lstrcmpiA(ClassName(Child).c_str(), "Static") == 0 &&
                          WindowText(Child).size() > Seen.Text.size())
                          Seen.Text = WindowText(Child);
                  Seen.HasButton = GetDlgItem(Box, Button) != nullptr;
                  Seen.Found = true;
                  PostMessageA(Box, WM_COMMAND, MAKEWPARAM(Button, BN_CLICKED),
                               reinterpret_cast<LPARAM>(GetDlgItem(Box, Button)));
                  return;
              }
          }) {}
    ~TMessageBoxAnswerer() {
        FStop = true;
        if (FThread.joinable()) FThread.join();
    }
    void Wait() {
        if (FThread.joinable()) FThread.join();
    }

    struct : TDialogSeen {
        bool HasButton = false;
    } Seen;

private:
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

TEST_F(PageTest, TheSystemsMessageBoxShowsTheRefusal) {
    Main->MessageBoxHook = nullptr;
    TypeDestination(WindowsFolder());
    TMessageBoxAnswerer User(IDOK);
    Main->Wizard()->PressButton(bkNext); // returns once the box is answered
    User.Wait();
    ASSERT_TRUE(User.Seen.Found) << "no message box appeared";
    EXPECT_EQ(User.Seen.Caption, BoxCaption);
    EXPECT_EQ(User.Seen.Text, DestinationRefusalText(V::WindowsFolder, WindowsFolder()));
    EXPECT_TRUE(User.Seen.HasButton);
    EXPECT_EQ(Main->Wizard()->ActivePage(), Main->Page(TMainPage::wDestinationPage));
}

TEST_F(PageTest, TheSystemsQuestionAnsweredNoThenYes) {
    Main->MessageBoxHook = nullptr;
    const std::string Folder = Dir / "Full";
    ASSERT_TRUE(CreateDirectoryA(Folder.c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(Folder + "\\theirs.txt", "x"));
    TypeDestination(Folder);
    {
        TMessageBoxAnswerer User(IDNO);
        Main->Wizard()->PressButton(bkNext);
        User.Wait();
        ASSERT_TRUE(User.Seen.Found);
        EXPECT_TRUE(User.Seen.HasButton) << "a Yes/No question";
        EXPECT_NE(User.Seen.Text.find("\"" + Folder + "\" already holds files"), std::string::npos)
            << User.Seen.Text;
        EXPECT_EQ(Main->Wizard()->ActivePage(), Main->Page(TMainPage::wDestinationPage));
    }
    {
        TMessageBoxAnswerer User(IDYES);
        Main->Wizard()->PressButton(bkNext);
        User.Wait();
        ASSERT_TRUE(User.Seen.Found);
        EXPECT_EQ(Main->Wizard()->ActivePage(), Main->Page(TMainPage::wFolder));
        EXPECT_EQ(Data->InstallDir, Folder);
    }
}

TEST_F(PageTest, TheSystemsMessageBoxRefusesAProgramFolder) {
    Main->MessageBoxHook = nullptr;
    Main->Wizard()->PressButton(bkNext);
    SetWindowTextA(Main->Control(TMainControl::eFolder), "..\\Startup");
    TMessageBoxAnswerer User(IDOK);
    Main->Wizard()->PressButton(bkNext);
    User.Wait();
    ASSERT_TRUE(User.Seen.Found);
    EXPECT_EQ(User.Seen.Text, ProgramFolderRefusalText(V::DotLevel, "..\\Startup"));
    EXPECT_EQ(Main->Wizard()->ActivePage(), Main->Page(TMainPage::wFolder));
}

} // namespace
