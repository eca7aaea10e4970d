// The main window in process, under Wine: its pages per mode, the handlers'
// rules, what reaches the installation data, the finish texts, and that no
// request to close can end the window while the procedure runs.

#include "app/uMain.h"
#include "platform/Error.h"
#include "data/InstallData.h"
#include "platform/Owners.h"
#include "support/Files.h"
#include "support/Record.h"
#include "support/Checked.h"
#include "support/Ui.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>

namespace {

bool IsTicked(HWND Button) {
    return SendMessageA(Button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// A current folder with a "version" file, installation data read from it
// (no record in the registry), and the main window over that data.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.Ready());
        Data = std::make_unique<TInstallData>();
    }
    void TearDown() override {
        Main.reset();
        Data.reset();
    }
    TfMain& Open(TInstallMode Mode) {
        Data->Mode = Mode;
        if (Mode != imInstall) {
            Data->Installed = true;
            Data->InstalledVersion.emplace(Mode == imUpdate ? "2.5.0" : "2.5.1");
        }
        Main = std::make_unique<TfMain>(*Data);
        // A message box nobody answers would hang the test.
        Main->MessageBoxHook = [](HWND, const std::string& Text, const std::string&, UINT) {
            ADD_FAILURE() << "unexpected message: " << Text;
            return IDNO;
        };
        return *Main;
    }
    bool NextEnabled(TWizardCustomPage* Page) { return Page->EnabledButtons().Contains(bkNext); }

    TSetupFolder FDir{"gui-app"};
    std::unique_ptr<TInstallData> Data;
    std::unique_ptr<TfMain> Main;
};

struct TModeCase {
    TInstallMode Mode;
    int FirstPage; // index in page order
    std::vector<int> Disabled;
};

class InitPagesTest : public MainWindowTest, public ::testing::WithParamInterface<TModeCase> {};

TEST_P(InitPagesTest, ChoosesFirstPageAndDisablesTheOthers) {
    const TModeCase& Case = GetParam();
    TfMain& W = Open(Case.Mode);
    ASSERT_NE(W.Wizard()->ActivePage(), nullptr);
    EXPECT_EQ(W.Wizard()->IndexOf(W.Wizard()->ActivePage()), Case.FirstPage);
    for (int i = 0; i < W.Wizard()->PageCount(); ++i) {
        bool ShouldBeDisabled =
            std::find(Case.Disabled.begin(), Case.Disabled.end(), i) != Case.Disabled.end();
        EXPECT_EQ(W.Wizard()->Page(i).Enabled(), !ShouldBeDisabled) << "page " << i;
    }
    // Stage 2 holds in every mode.
    EXPECT_EQ(WindowText(W.Destination()->EditDirectory()), Data->InstallDir);
    EXPECT_EQ(WindowText(W.Control(TMainControl::eFolder)), Data->StartFolder);
    EXPECT_TRUE(NextEnabled(W.Page(TMainPage::wFolder)))
        << "the default program folder is not empty";
    EXPECT_EQ(SendMessageA(W.Control(TMainControl::lFolders), LB_GETCOUNT, 0, 0),
              static_cast<LRESULT>(Data->ProgramFolders.size()));
}

INSTANTIATE_TEST_SUITE_P(Modes, InitPagesTest,
                         ::testing::Values(TModeCase{imInstall, 0, {1, 2}},
                                           TModeCase{imUpdate, 1, {0, 2, 3, 4, 5}},
                                           TModeCase{imReinstall, 2, {0, 1, 3, 4, 5}}));

TEST_F(MainWindowTest, UpdateSubtitleNamesInstalledVersionFirst) {
    TfMain& W = Open(imUpdate);
    EXPECT_EQ(W.Page(TMainPage::wUpdatePage)->Header.Subtitle.Text(),
              "This wizard will update the Morvane ActiveX component version 2.5.0 Standard "
              "Edition currently installed on your computer with newer version 2.5.1 Standard "
              "Edition.");
    // The drawn header is also the page window's name, for screen readers.
    EXPECT_EQ(WindowText(W.Page(TMainPage::wUpdatePage)->Handle()),
              W.Page(TMainPage::wUpdatePage)->Header.Title.Text() + "\r\n" +
                  W.Page(TMainPage::wUpdatePage)->Header.Subtitle.Text());
}

TEST_F(MainWindowTest, AgreementTogglesNextOnLicensePage) {
    TfMain& W = Open(imInstall);
    EXPECT_FALSE(NextEnabled(W.Page(TMainPage::wLicensePage)));
    for (bool Expected : {true, false, true}) {
        SendMessageA(W.Control(TMainControl::cbAgree), BM_CLICK, 0, 0);
        EXPECT_EQ(NextEnabled(W.Page(TMainPage::wLicensePage)), Expected);
        EXPECT_TRUE(W.Page(TMainPage::wLicensePage)->EnabledButtons().Contains(bkBack));
    }
}

TEST_F(MainWindowTest, ProgramFolderTextDecidesNext) {
    TfMain& W = Open(imInstall);
    SetWindowTextA(W.Control(TMainControl::eFolder), "");
    EXPECT_FALSE(NextEnabled(W.Page(TMainPage::wFolder)));
    SetWindowTextA(W.Control(TMainControl::eFolder), "G");
    EXPECT_TRUE(NextEnabled(W.Page(TMainPage::wFolder)));
}

TEST_F(MainWindowTest, FolderListClickCopiesOnlyASelectedEntry) {
    TfMain& W = Open(imInstall);
    SendMessageA(W.Control(TMainControl::lFolders), LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>("Other Tools"));
    SetWindowTextA(W.Control(TMainControl::eFolder), "Mine");
    SendMessageA(W.Control(TMainControl::lFolders), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    W.lFoldersClick();
    EXPECT_EQ(WindowText(W.Control(TMainControl::eFolder)), "Mine");
    LRESULT Last = SendMessageA(W.Control(TMainControl::lFolders), LB_GETCOUNT, 0, 0) - 1;
    SendMessageA(W.Control(TMainControl::lFolders), LB_SETCURSEL, static_cast<WPARAM>(Last), 0);
    W.lFoldersClick();
    EXPECT_EQ(WindowText(W.Control(TMainControl::eFolder)), "Other Tools");
}

TEST_F(MainWindowTest, MaintenanceLabelsChooseModeAndWebSite) {
    TfMain& W = Open(imReinstall);
    EXPECT_FALSE(IsTicked(W.Control(TMainControl::rbMainternance)));
    EXPECT_FALSE(IsTicked(W.Control(TMainControl::rbUninstall)));
    struct {
        HWND Label;
        TInstallMode Mode;
        bool Web;
    } Steps[] = {{W.Control(TMainControl::Label12), imUninstall, false},
                 {W.Control(TMainControl::Label10), imReinstall, true},
                 {W.Control(TMainControl::Label12), imUninstall, false}};
    for (auto& Step : Steps) {
        W.lMainternanceLabelClick(Step.Label);
        EXPECT_EQ(Data->Mode, Step.Mode);
        EXPECT_EQ(IsTicked(W.Control(TMainControl::cbVisitWeb)), Step.Web);
        EXPECT_EQ(IsTicked(W.Control(TMainControl::rbUninstall)), Step.Mode == imUninstall);
    }
    // The radio buttons themselves, by mouse or keyboard.
    SendMessageA(W.Control(TMainControl::rbMainternance), BM_CLICK, 0, 0);
    EXPECT_EQ(Data->Mode, imReinstall);
    EXPECT_TRUE(IsTicked(W.Control(TMainControl::cbVisitWeb)));
}

TEST_F(MainWindowTest, ValuesReachInstallDataOnlyThroughNext) {
    TfMain& W = Open(imInstall);
    const std::string DefaultDir = Data->InstallDir, DefaultFolder = Data->StartFolder;
    W.Wizard()->PressButton(bkNext); // welcome -> licence
    SendMessageA(W.Control(TMainControl::cbAgree), BM_CLICK, 0, 0);
    W.Wizard()->PressButton(bkNext); // -> destination
    ASSERT_EQ(W.Wizard()->ActivePage(), W.Page(TMainPage::wDestinationPage));
    SetWindowTextA(W.Destination()->EditDirectory(), "D:\\Typed");
    W.Wizard()->PressButton(bkBack);
    EXPECT_EQ(Data->InstallDir, DefaultDir);
    W.Wizard()->PressButton(bkNext);
    EXPECT_EQ(WindowText(W.Destination()->EditDirectory()), "D:\\Typed") << "kept for the visit";
    W.Wizard()->PressButton(bkNext); // -> program folder
    EXPECT_EQ(Data->InstallDir, "D:\\Typed") << "stored as typed";
    ASSERT_EQ(W.Wizard()->ActivePage(), W.Page(TMainPage::wFolder));
    SetWindowTextA(W.Control(TMainControl::eFolder), "Tools\\Mine");
    W.Wizard()->PressButton(bkBack);
    EXPECT_EQ(Data->StartFolder, DefaultFolder);
    W.Wizard()->PressButton(bkNext);
    // The window is hidden: entering the progress page runs nothing.
    W.Wizard()->PressButton(bkNext);
    EXPECT_EQ(Data->StartFolder, "Tools\\Mine");
    EXPECT_EQ(W.Wizard()->ActivePage(), W.Page(TMainPage::wCompile));
}

struct TFinishCase {
    TInstallMode Mode;
    bool Succeeded;
    const char* Text;
};

class FinishTextTest : public MainWindowTest, public ::testing::WithParamInterface<TFinishCase> {};

TEST_P(FinishTextTest, NamesTheOutcome) {
    TfMain& W = Open(imInstall);
    Data->Mode = GetParam().Mode;
    Data->Succeeded = GetParam().Succeeded;
    W.wFinishEnterPage(W.Page(TMainPage::wFinish), W.Page(TMainPage::wCompile));
    EXPECT_EQ(WindowText(W.Control(TMainControl::lFinishResult)), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, FinishTextTest,
    ::testing::Values(
        TFinishCase{imUninstall, true,
                    "Morvane ActiveX Edition Setup is now completely uninstalled from your "
                    "computer"},
        TFinishCase{imUninstall, false,
                    "Morvane ActiveX Edition uninstall completed with errors. You can save and "
                    "view Setup Log for additional information."},
        TFinishCase{imInstall, true, "Morvane ActiveX Edition Setup is installed successfully"},
        TFinishCase{imUpdate, false,
                    "Morvane ActiveX Edition Setup completed with errors. You can save and view "
                    "Setup Log for additional information."},
        TFinishCase{imReinstall, true, "Morvane ActiveX Edition Setup is installed successfully"}));

TEST_F(MainWindowTest, OutputViewKeepsEmptyLines) {
    TfMain& W = Open(imInstall);
    bool Stop = false;
    for (const char* Line : {"", "Delete old files...", "", "Completed"})
        W.AddOutputLine(Line, Stop);
    EXPECT_EQ(WindowText(W.Control(TMainControl::mOutput)),
              "\r\nDelete old files...\r\n\r\nCompleted");
    DWORD Start = 0, End = 0;
    SendMessageA(W.Control(TMainControl::mOutput), EM_GETSEL, reinterpret_cast<WPARAM>(&Start),
                 reinterpret_cast<LPARAM>(&End));
    EXPECT_EQ(End, static_cast<DWORD>(GetWindowTextLengthA(W.Control(TMainControl::mOutput))))
        << "caret at the end";
}

// The procedure runs to its end whatever the user does meanwhile: the close
// box, Cancel and Escape are all asked for while it runs, and the window, its
// pages and the finish page are all still there afterwards.
TEST_F(MainWindowTest, NoCloseRequestEndsTheWindowWhileTheProcedureRuns) {
    Data->InstallDir = FDir / "Dest";
    Data->StartFolder = "Morvane GUI Test " + std::to_string(GetCurrentProcessId());
    TfMain& W = Open(imInstall);
    W.Show(SW_SHOWNORMAL);
    PumpMessages();
    W.Wizard()->PressButton(bkNext);
    SendMessageA(W.Control(TMainControl::cbAgree), BM_CLICK, 0, 0);
    W.Wizard()->PressButton(bkNext);
    W.Wizard()->PressButton(bkNext);
    ASSERT_EQ(W.Wizard()->ActivePage(), W.Page(TMainPage::wFolder));
    HWND Window = W.Handle();
    // Queued now, handled by the procedure's own message pump.
    PostMessageA(Window, WM_CLOSE, 0, 0);
    PostMessageA(Window, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(W.Wizard()->Button(bkCancel).Handle(), BM_CLICK, 0, 0);
    PostMessageA(Window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    W.Wizard()->PressButton(bkNext); // runs the procedure inside the progress page
    PumpMessages();
    ASSERT_TRUE(IsWindow(Window));
    EXPECT_FALSE(W.ProcedureRunning());
    EXPECT_TRUE(W.CloseDeferred());
    EXPECT_EQ(W.Wizard()->ActivePage(), W.Page(TMainPage::wFinish));
    // Without unrar.exe beside the test the extraction fails; every step line
    // of the run still reached the log.
    ASSERT_GE(W.BuildLog().size(), 3u);
    EXPECT_EQ(W.BuildLog().back(), "Archive damaged.");
    EXPECT_EQ(WindowText(W.Control(TMainControl::lFinishResult)),
              "Morvane ActiveX Edition Setup completed with errors. You can save and view Setup "
              "Log for additional information.");
    // install.log was written when the engine was released.
    EXPECT_NE(ReadOrFail(FDir / "install.log").find("Archive damaged.\r\n"), std::string::npos);
    // Now that the procedure is over, closing ends the window.
    PostMessageA(Window, WM_CLOSE, 0, 0);
    PumpMessages();
    EXPECT_FALSE(IsWindow(Window));
}

TEST_F(MainWindowTest, SavedLogEndsEveryLineWithCrLfAndIsReplaced) {
    TfMain& W = Open(imInstall);
    // Fill the log the way the progress page does, through a failing run.
    Data->InstallDir = FDir / "Dest";
    W.Show(SW_SHOWNORMAL);
    W.Wizard()->ActivatePage(W.Page(TMainPage::wCompile));
    PumpMessages();
    ASSERT_FALSE(W.BuildLog().empty());
    std::string Expected;
    for (const std::string& Line : W.BuildLog())
        Expected += Line + "\r\n";
    const std::string Target = FDir / "Morvane Build.log";
    ASSERT_TRUE(WriteWholeFile(Target, std::string(50000, 'x')));
    W.SaveBuildLog(Target);
    EXPECT_EQ(ReadWholeFile(Target), Expected);
    W.SaveBuildLog(Target);
    EXPECT_EQ(ReadWholeFile(Target), Expected);
    EXPECT_THROW(W.SaveBuildLog(FDir / "missing\\folder\\x.log"), Exception);
}

} // namespace
