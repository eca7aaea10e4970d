#pragma once
// The main window: the setup wizard with its eight pages, the handlers that
// copy the user's choices into the installation data, and the hand-over to
// the engine on the progress page.

#include "platform/Owners.h"
#include "ui/FrmDirEditBrowse.h"
#include "ui/Window.h"
#include "engine/Compile.h"
#include "ui/Wizard.h"

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TCompiler;
class TCmdOptions;
class TInstallData;

// The window's controls, by the names the pages know them. The values are
// their control ids, by which WM_COMMAND is dispatched; they keep clear of
// IDOK and IDCANCEL, which the dialog keys send.
// clang-format off
enum class TMainControl : int {
    lInstall = 100, Label1, Label2, Label11, rbMainternance, Label10, rbUninstall, Label12,
    Label3, mLicense, cbAgree, Label6, Label7, deDestination, Label8, Label13, eFolder, Label14,
    lFolders, Label9, mOutput, pbProgress, lFinishResult, bFinishSaveLog, cbVisitWeb,
};
inline constexpr int MainControlCount = 25;

// The wizard's pages, in page order.
enum class TMainPage : int {
    wInstallPage, wUpdatePage, wMainternance, wLicensePage, wDestinationPage, wFolder, wCompile,
    wFinish,
};
inline constexpr int MainPageCount = 8;
// clang-format on

// The name the application goes by (message boxes, the taskbar), distinct
// from the window's caption.
std::string ApplicationTitle();
std::string MainWindowCaption();
inline constexpr const char* MainWindowClass = "TfMain";

class TfMain : public TWindow {
public:
    // Builds the window and its pages (hidden) for the installation Data
    // and the command line's Options (none: no option was given), then runs
    // FormCreate. When a step fails, the window is destroyed and everything
    // made so far is released before the error travels on: nothing is left
    // that the error report's message loop could reach.
    TfMain(TInstallData& Data, const TCmdOptions* Options = nullptr);
    ~TfMain() override;

    // Called after each page is built with the number of pages built so far;
    // empty in the program. Tests raise from it to fail a start.
    static std::function<void(int Pages)> OnPageBuilt;

    void Show(int ShowCmd);
    // True while the install or uninstall procedure runs.
    bool ProcedureRunning() const { return FRunning; }
    // A request to end the program that came while the procedure ran.
    bool CloseDeferred() const { return FCloseDeferred; }
    // Offers a message of the thread's queue to the window's keyboard
    // handling (Tab, Enter, Escape, accelerators); true when it was used.
    bool PreTranslateMessage(MSG& Msg);

    // The parts of the window, by their names.
    TWizard* Wizard() const { return FWizard.get(); }
    TWizardCustomPage* Page(TMainPage Name) const { return FPages[static_cast<int>(Name)]; }
    HWND Control(TMainControl Name) const { return FControls[Index(Name)]; }
    TFrameDirEditBrowse* Destination() const { return FDestination.get(); }

    // Shows a message box over the window and returns the button pressed;
    // MessageBoxA unless a test puts its own here to read and answer it.
    std::function<int(HWND Owner, const std::string& Text, const std::string& Caption, UINT Type)>
        MessageBoxHook;

    // The setup log of the run, as "Save Setup Log..." writes it.
    const std::vector<std::string>& BuildLog() const { return FBuildLog; }

    // Handlers.
    void FormCreate();
    void InitPages();
    void cbAgreeClick();
    void lMainternanceLabelClick(HWND Label);
    void rbMainternanceClick();
    void wDestinationPageNextButtonClick(TWizardCustomPage* Sender, bool& Stop);
    void lFoldersClick();
    void eFolderChange();
    void wFolderNextButtonClick(TWizardCustomPage* Sender, bool& Stop);
    void WizardCancelButtonClick(TWizardButton& Sender);
    void wCompilePage(TWizardCustomPage* Sender);
    void AddOutputLine(const std::string& Line, bool& Stop);
    // The program's exit code, as a run without a window would end: 1602
    // until the procedure has run (the user cancelled), then its outcome.
    int ExitCode() const { return FExitCode; }
    // The question when files of ours are in use, asked before anything changes.
    TInUseChoice AskAboutFilesInUse(const std::vector<THeldFile>& Files);
    void wFinishEnterPage(TWizardCustomPage* Sender, TWizardCustomPage* From);
    void bSaveBuildLogClick();
    void wFinishFinishButtonClick(TWizardCustomPage* Sender, bool& Stop);

    // The file "Save Setup Log..." offers; empty until the progress page runs.
    const std::string& SaveDialogInitialDir() const { return FSaveInitialDir; }
    // Writes the setup log to FileName, replacing it (CR LF after every line).
    void SaveBuildLog(const std::string& FileName) const;
    // Lets pending window events run (repainting, clicks, keys).
    void ProcessMessages();

protected:
    LRESULT HandleMessage(UINT Msg, WPARAM WParam, LPARAM LParam) override;

private:
    int FExitCode = 1602;
    // How the procedure ended (the finish page's sentence).
    TOutcomeKind FOutcome = TOutcomeKind::Failed;
    // Adds Line to the setup log and to the files it was written to.
    void AppendToLog(const std::string& Line);
    void OnCommand(int Id, int Code);
    static int Index(TMainControl Name) {
        return static_cast<int>(Name) - static_cast<int>(TMainControl::lInstall);
    }
    void BuildPages();
    void BuildWizard();
    // What a page needs beyond its table: its events and its controls' settings.
    void WirePage(TMainPage Name);
    void BuildDestinationFrame();
    // Everything the window holds, window first; safe to call twice.
    void ReleaseAll();
    void RequestClose();
    // The progress bar: Done files of Total; full once the procedure ends.
    void ShowProgress(int Done, int Total);
    int ShowMessage(const std::string& Text, UINT Type);

    TInstallData& FData;
    const TCmdOptions* FOptions;
    std::unique_ptr<TWizard> FWizard;
    std::unique_ptr<TFrameDirEditBrowse> FDestination;
    std::array<TWizardCustomPage*, MainPageCount> FPages{};
    std::array<HWND, MainControlCount> FControls{};
    TGdiObject<HFONT> FRadioFont;
    TGdiObject<HFONT> FBoldFont;
    std::vector<std::string> FBuildLog;
    // Where the run wrote install.log.
    std::string FLogFile;
    std::string FSaveInitialDir;
    std::string FSaveFileName;
    bool FRunning = false;
    bool FCloseDeferred = false;
    int FOutputLines = 0;
};
