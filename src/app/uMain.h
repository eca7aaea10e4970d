#pragma once
// The main window: the setup wizard with its eight pages, the handlers that
// copy the user's choices into the installation data, and the hand-over to
// the engine on the progress page.

#include "data/Owners.h"
#include "ui/FrmDirEditBrowse.h"
#include "ui/Window.h"
#include "engine/Compile.h"
#include "ui/Wizard.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TCompiler;

// The name the application goes by (message boxes, the taskbar), distinct
// from the window's caption.
std::string ApplicationTitle();
std::string MainWindowCaption();
inline constexpr const char* MainWindowClass = "TfMain";

class TfMain : public TWindow {
public:
    // Builds the window and its pages (hidden), then runs FormCreate. When a
    // step fails, the window is destroyed and everything made so far is
    // released before the error travels on: nothing is left that the error
    // report's message loop could reach.
    TfMain();
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

    // Components, named as the pages know them.
    std::unique_ptr<TWizard> Wizard;
    TWizardWelcomePage* wInstallPage = nullptr;
    TWizardWelcomePage* wUpdatePage = nullptr;
    TWizardInteriorPage* wMainternance = nullptr;
    TWizardInteriorPage* wLicensePage = nullptr;
    TWizardInteriorPage* wDestinationPage = nullptr;
    TWizardInteriorPage* wFolder = nullptr;
    TWizardInteriorPage* wCompile = nullptr;
    TWizardInteriorPage* wFinish = nullptr;

    HWND lInstall = nullptr, Label1 = nullptr;
    HWND Label2 = nullptr, Label11 = nullptr;
    HWND rbMainternance = nullptr, Label10 = nullptr, rbUninstall = nullptr, Label12 = nullptr;
    HWND Label3 = nullptr, mLicense = nullptr, cbAgree = nullptr;
    HWND Label6 = nullptr, Label7 = nullptr;
    std::unique_ptr<TFrameDirEditBrowse> deDestination;
    HWND Label8 = nullptr, Label13 = nullptr, eFolder = nullptr, Label14 = nullptr,
         lFolders = nullptr;
    HWND Label9 = nullptr, mOutput = nullptr, pbProgress = nullptr;
    HWND lFinishResult = nullptr, bFinishSaveLog = nullptr, cbVisitWeb = nullptr;

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
    void OnCommand(int Id, int Code);
    void BuildPages();
    void BuildWizard();
    void BuildInstallPage();
    void BuildUpdatePage();
    void BuildMaintenancePage();
    void BuildLicensePage();
    void BuildDestinationPage();
    void BuildFolderPage();
    void BuildCompilePage();
    void BuildFinishPage();
    HWND AddControl(TWizardCustomPage& Page, int Id, const char* Class, const char* Text,
                    DWORD Style, int Left, int Top, int Width, int Height, HFONT Font = nullptr);
    // Everything the window holds, window first; safe to call twice.
    void ReleaseAll();
    void RequestClose();
    // The progress bar: Done files of Total; full once the procedure ends.
    void ShowProgress(int Done, int Total);
    int ShowMessage(const std::string& Text, UINT Type);

    TGdiObject<HFONT> FRadioFont;
    TGdiObject<HFONT> FBoldFont;
    std::vector<std::string> FBuildLog;
    std::string FSaveInitialDir;
    std::string FSaveFileName;
    bool FRunning = false;
    bool FCloseDeferred = false;
    int FOutputLines = 0;
};
