// A failure while the main window's pages are built: the window is gone
// before the error box shows, the box names the error, and the program ends
// with exit code 3 once the box is closed, not by a crash.

#include "platform/Owners.h"
#include "data/Product.h"
#include "support/Files.h"
#include "support/System.h"
#include "support/Ui.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

struct TFound {
    DWORD Pid;
    HWND Box = nullptr;
    bool MainWindow = false;
};

BOOL CALLBACK Look(HWND Wnd, LPARAM Param) {
    auto& Found = *reinterpret_cast<TFound*>(Param);
    DWORD Pid = 0;
    GetWindowThreadProcessId(Wnd, &Pid);
    if (Pid != Found.Pid) return TRUE;
    const std::string Class = ClassName(Wnd);
    if (Class == "TfMain") Found.MainWindow = true;
    if (Class == "#32770" && WindowText(Wnd) == std::string(Product.ShortName) + " Installer" &&
        IsWindowVisible(Wnd))
        Found.Box = Wnd;
    return TRUE;
}

class AppFailedStart : public testing::TestWithParam<int> {};

TEST_P(AppFailedStart, WindowGoneBeforeTheErrorBoxAndExitCodeThree) {
    const std::string Work = OwnFolder() + "\\failstart";
    CreateDirectoryA(Work.c_str(), nullptr);
    ASSERT_TRUE(WriteWholeFile(Work + "\\version", "2.5.1\n"));
    SetEnvironmentVariableA("MORVANE_FAIL_AT_PAGE", std::to_string(GetParam()).c_str());

    TChildProcess Program(OwnFolder() + "\\app_failstart_probe.exe", "", Work);
    ASSERT_TRUE(Program.Started());

    TFound Found{Program.Id()};
    for (int Waited = 0; !Found.Box && Waited < 60000; Waited += 100) {
        if (Program.Wait(100)) break;
        Found = TFound{Program.Id()};
        EnumWindows(Look, reinterpret_cast<LPARAM>(&Found));
    }
    ASSERT_NE(Found.Box, nullptr) << "no error box";
    EXPECT_FALSE(Found.MainWindow) << "the main window outlived its failed start";
    char Text[256] = {};
    GetDlgItemTextA(Found.Box, 0xFFFF, Text, sizeof Text);
    EXPECT_STREQ(Text, ("Injected failure after page " + std::to_string(GetParam())).c_str());

    // Still answering while the box is up, then ending by its own code.
    DWORD_PTR Reply = 0;
    EXPECT_NE(SendMessageTimeoutA(Found.Box, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &Reply), 0);
    PostMessageA(Found.Box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(Program.Wait(20000));
    EXPECT_EQ(Program.ExitCode(), 3u);
}

// The first page, the page with the directory frame, the last page.
INSTANTIATE_TEST_SUITE_P(Table, AppFailedStart, testing::Values(1, 5, 8));

} // namespace
