// The progress page during a real installation, in process: the bar follows
// the files the extraction program reports and is full at the end, and the
// window goes on handling its messages while the extraction runs.

#include "app/uMain.h"
#include "data/InstallData.h"
#include "engine/Compile.h"
#include "platform/Owners.h"
#include "support/Files.h"
#include "support/Record.h"
#include "support/Ui.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

namespace {

struct TSample {
    int Position;
    int Ticks; // timer messages handled before this position was set
};

std::vector<TSample> Samples;
int Ticks = 0;
WNDPROC BarProc = nullptr;

LRESULT CALLBACK RecordingBarProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == PBM_SETPOS) Samples.push_back({static_cast<int>(WParam), Ticks});
    return CallWindowProcA(BarProc, Wnd, Msg, WParam, LParam);
}

void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) {
    ++Ticks;
}

TEST(ProgressPage, BarFollowsTheExtractionAndTheWindowStaysLive) {
    const TSetupFolder Dir("gui-progress");
    ASSERT_TRUE(Dir.Ready());
    {
        TInstallData Data;
        Data.InstallDir = Dir / "Dest";
        // No program folder may be made in the user's Start menu by a test:
        // a folder name the rules refuse skips the shortcuts step.
        Data.StartFolder = "..\\refused";
        TfMain Main(Data);
        Main.Show(SW_SHOWNORMAL);
        PumpMessages();
        BarProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(Main.Control(TMainControl::pbProgress), GWLP_WNDPROC,
                              reinterpret_cast<LONG_PTR>(&RecordingBarProc)));
        UINT_PTR Timer = SetTimer(nullptr, 0, 5, &CountTick);
        Main.Wizard()->ActivatePage(Main.Page(TMainPage::wCompile)); // runs the installation
        KillTimer(nullptr, Timer);
        SetWindowLongPtrA(Main.Control(TMainControl::pbProgress), GWLP_WNDPROC,
                          reinterpret_cast<LONG_PTR>(BarProc));

        ASSERT_EQ(Main.Wizard()->ActivePage(), Main.Page(TMainPage::wFinish));
#ifdef SLOW_EXTRACTION
        // The stand-in extracts no control, so registering it fails and the
        // run is rolled back: nothing is left installed.
        ASSERT_EQ(Main.BuildLog().back(),
                  "Setup removed what it had installed: nothing was installed.");
        EXPECT_FALSE(Data.Succeeded);
#else
        ASSERT_EQ(Data.Succeeded, true) << Main.BuildLog().back();
#endif
        int Files = 0;
        for (const std::string& Line : Main.BuildLog())
            if (Line.rfind("Extracting  ", 0) == 0) ++Files;
        ASSERT_GE(Files, 2);
        // A start at 0, one step per file, and full at the end.
        ASSERT_EQ(static_cast<int>(Samples.size()), Files + 2);
        EXPECT_EQ(Samples.front().Position, 0);
        for (size_t i = 1; i < Samples.size(); ++i)
            EXPECT_GE(Samples[i].Position, Samples[i - 1].Position);
        EXPECT_EQ(Samples[Samples.size() - 2].Position, 1000) << "the last file fills the bar";
        EXPECT_EQ(Samples.back().Position, 1000);
#ifdef SLOW_EXTRACTION
        // Nothing but the idle hook handles messages between the start of
        // the extraction and its last file.
        EXPECT_GT(Samples[Samples.size() - 2].Ticks, Samples.front().Ticks + 10)
            << "no window message was handled while the extraction ran";
#endif
        // Leave the machine as it was: the control unregistered, the
        // files and the record gone.
        Data.Mode = imUninstall;
        TCompiler(Data).Uninstall();
    }
}

} // namespace
