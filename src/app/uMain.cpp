#include "app/uMain.h"

#include "app/Art.h"
#include "app/Deploy.h"
#include "app/Procedure.h"
#include "app/Startup.h"
#include "data/CmdLineUtils.h"
#include "data/FolderSafety.h"
#include "data/InstallData.h"
#include "data/OsError.h"
#include "data/Product.h"
#include "data/Owners.h"
#include "engine/Compile.h"
#include "engine/ShellOps.h"
#include "ui/AppError.h"
#include "ui/UiScale.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

namespace {

constexpr int ClientWidth = 540;
constexpr int ClientHeight = 432;
constexpr int PictureWidth = 164;

const char* const ContinueText =
    "Click Next to continue the installation or click Cancel to quit the setup program.";

// Fills the "%s" places of Template in order; any other "%" stays as it is.
std::string FormatTemplate(const std::string& Template, const std::vector<std::string>& Args) {
    std::string Result;
    size_t Next = 0;
    for (size_t i = 0; i < Template.size(); ++i) {
        if (Template[i] == '%' && i + 1 < Template.size() && Template[i + 1] == 's' &&
            Next < Args.size()) {
            Result += Args[Next++];
            ++i;
        } else {
            Result += Template[i];
        }
    }
    return Result;
}

std::string WindowText(HWND Wnd) {
    int Length = GetWindowTextLengthA(Wnd);
    std::string Text(static_cast<size_t>(Length) + 1, '\0');
    Length = GetWindowTextA(Wnd, Text.data(), Length + 1);
    Text.resize(static_cast<size_t>(Length > 0 ? Length : 0));
    return Text;
}

// Product.Name between Before and After.
std::string Named(const char* Before, const char* After) {
    return std::string(Before) + Product.Name + After;
}

std::string ForeignFilesQuestion(const std::string& Folder) {
    return "The folder \"" + Folder +
           "\" already holds files that were not installed by this setup program.\r\n\r\n"
           "Setup will leave them where they are: it adds its own files and removes only those " +
           Named("again when ", " is uninstalled.\r\n\r\n") +
           Named("Do you want to install ", " into this folder?");
}

bool Checked(HWND Button) {
    return SendMessageA(Button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND Button, bool Value) {
    SendMessageA(Button, BM_SETCHECK, Value ? BST_CHECKED : BST_UNCHECKED, 0);
}

HFONT CreateBodyFont(int Points, int Weight) {
    return CreateFontA(UiFontHeight(Points), 0, 0, 0, Weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, "MS Shell Dlg");
}

void RegisterMainClass() {
    HINSTANCE Instance = GetModuleHandleA(nullptr);
    TWindow::RegisterWindowClass(
        MainWindowClass, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), 0,
        LoadIconA(Instance, MAKEINTRESOURCEA(1)),
        static_cast<HICON>(LoadImageA(Instance, MAKEINTRESOURCEA(1), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                      0)));
}

// Control ids of the pages' controls; WM_COMMAND is dispatched by them.
// Kept clear of IDOK and IDCANCEL, which the dialog keys send.
enum : int {
    IdInstallText = 100,
    IdInstallDescription,
    IdUpdateText,
    IdUpdateDescription,
    IdReinstall,
    IdReinstallText,
    IdUninstall,
    IdUninstallText,
    IdLicenseHint,
    IdLicense,
    IdAgree,
    IdDestinationText,
    IdDestinationHint,
    IdDestination,
    IdFolderText,
    IdFolderCaption,
    IdFolder,
    IdFoldersCaption,
    IdFolders,
    IdProgressCaption,
    IdOutput,
    IdProgress,
    IdFinishResult,
    IdSaveLog,
    IdVisitWeb,
};


} // namespace

std::string ApplicationTitle() {
    return std::string(Product.ShortName) + " Installer";
}

std::string MainWindowCaption() {
    return std::string(Product.Name) + " Installer";
}

std::function<void(int Pages)> TfMain::OnPageBuilt;

TfMain::TfMain() : FSaveFileName(std::string(Product.ShortName) + " Build.log") {
    RegisterMainClass();
    RECT Frame{0, 0, UiScale(ClientWidth), UiScale(ClientHeight)};
    const DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    const DWORD ExStyle = WS_EX_CONTROLPARENT;
    AdjustWindowRectEx(&Frame, Style, FALSE, ExStyle);
    int Width = Frame.right - Frame.left, Height = Frame.bottom - Frame.top;
    // Centred on the desktop's work area.
    RECT Work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &Work, 0);
    int Left = Work.left + (Work.right - Work.left - Width) / 2;
    int Top = Work.top + (Work.bottom - Work.top - Height) / 2;
    CreateHandle(ExStyle, MainWindowClass, MainWindowCaption().c_str(), Style,
                 RECT{Left, Top, Left + Width, Top + Height}, nullptr);
    try {
        FRadioFont.reset(CreateBodyFont(10, FW_NORMAL));
        FBoldFont.reset(CreateBodyFont(8, FW_BOLD));
        BuildPages();
        FormCreate();
    } catch (...) {
        ReleaseAll();
        throw;
    }
}

TfMain::~TfMain() {
    ReleaseAll();
}

void TfMain::ReleaseAll() {
    // Detached before it goes: its last messages must not reach a window
    // object that is being taken apart (nor end the message loop).
    DestroyHandle();
    deDestination.reset();
    Wizard.reset();
    FRadioFont.reset();
    FBoldFont.reset();
}

void TfMain::Show(int ShowCmd) {
    ShowWindow(Handle(), ShowCmd);
    UpdateWindow(Handle());
    if (TWizardCustomPage* Page = Wizard->ActivePage()) {
        // The first page gets the keyboard like every later one does.
        SetFocus(Page->Handle());
        if (Wizard->DefaultButton()) SetFocus(Wizard->DefaultButton()->Handle());
    }
}

HWND TfMain::AddControl(TWizardCustomPage& Page, int Id, const char* Class, const char* Text,
                        DWORD Style, int Left, int Top, int Width, int Height, HFONT Font) {
    RECT Room = Page.ClientRect();
    HWND Control = CreateWindowExA(
        0, Class, Text, WS_CHILD | WS_VISIBLE | Style, Room.left + UiScale(Left),
        Room.top + UiScale(Top), UiScale(Width), UiScale(Height), Page.Handle(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), GetModuleHandleA(nullptr), nullptr);
    if (!Control) RaiseLastOSError();
    SendMessageA(Control, WM_SETFONT, reinterpret_cast<WPARAM>(Font ? Font : Wizard->BodyFont()),
                 FALSE);
    return Control;
}

// The texts the two welcome pages share.
std::string WelcomeTitle() {
    return Named("Welcome to the ", " Installation Wizard");
}
constexpr DWORD LabelStyle = SS_LEFT | SS_NOPREFIX;

void TfMain::BuildPages() {
    BuildWizard();
    // In page order; the order matters for navigation.
    for (void (TfMain::*Build)() :
         {&TfMain::BuildInstallPage, &TfMain::BuildUpdatePage, &TfMain::BuildMaintenancePage,
          &TfMain::BuildLicensePage, &TfMain::BuildDestinationPage, &TfMain::BuildFolderPage,
          &TfMain::BuildCompilePage, &TfMain::BuildFinishPage}) {
        (this->*Build)();
        if (OnPageBuilt) OnPageBuilt(Wizard->PageCount());
    }
    Wizard->MoveFirst();
}

void TfMain::BuildWizard() {
    RECT Client{};
    GetClientRect(Handle(), &Client);
    Wizard = std::make_unique<TWizard>(Handle(), Client);
    Wizard->Button(bkBack).SetCaption("< &Back");
    Wizard->Button(bkNext).SetCaption("&Next >");
    Wizard->Button(bkFinish).SetCaption("&Finish");
    Wizard->Button(bkCancel).SetCaption("Cancel");
    for (TWizardButtonKind Kind : {bkBack, bkNext, bkFinish, bkCancel})
        Wizard->Button(Kind).SetWidth(75);
    Wizard->OnCancelButtonClick = [this](TWizardButton& Sender) {
        WizardCancelButtonClick(Sender);
    };
}

// Welcome for a first installation.
void TfMain::BuildInstallPage() {
    const std::string Intro = std::string(ContinueText) + Product.LegalNotice;
    wInstallPage = &Wizard->AddWelcomePage();
    wInstallPage->Header.Title.SetText(WelcomeTitle());
    wInstallPage->Header.Subtitle.SetText(
        Named("This wizard will install the ", " component on your computer."));
    wInstallPage->SetVisibleButtons(TWizardButtonSet{bkNext, bkCancel});
    wInstallPage->SetPicture(CreateSideArt(UiScale(PictureWidth), UiScale(390)));
    lInstall = AddControl(*wInstallPage, IdInstallText, "STATIC", Intro.c_str(), LabelStyle, 20, 0,
                          340, 150);
    Label1 = AddControl(*wInstallPage, IdInstallDescription, "STATIC", Product.Description,
                        LabelStyle, 20, 176, 340, 76);
}

// Welcome for an update; InitPages fills in the versions.
void TfMain::BuildUpdatePage() {
    const std::string Intro = std::string(ContinueText) + Product.LegalNotice;
    wUpdatePage = &Wizard->AddWelcomePage();
    wUpdatePage->Header.Title.SetText(WelcomeTitle());
    wUpdatePage->Header.Subtitle.SetText(Named("This wizard will update the ",
                                               " component version %s currently installed on "
                                               "your computer with newer version %s."));
    wUpdatePage->SetVisibleButtons(TWizardButtonSet{bkNext, bkCancel});
    wUpdatePage->SetPicture(CreateSideArt(UiScale(PictureWidth), UiScale(390)));
    wUpdatePage->OnNextButtonClick = [](TWizardCustomPage*, bool&) {};
    Label2 = AddControl(*wUpdatePage, IdUpdateText, "STATIC", Intro.c_str(), LabelStyle, 20, 0, 340,
                        150);
    Label11 = AddControl(*wUpdatePage, IdUpdateDescription, "STATIC", Product.Description,
                         LabelStyle, 20, 176, 340, 76);
}

// Maintenance: reinstall or uninstall.
void TfMain::BuildMaintenancePage() {
    wMainternance = &Wizard->AddInteriorPage();
    wMainternance->Header.Title.SetText(Named("", " maintenance"));
    wMainternance->Header.Subtitle.SetText("Select the maintanance operation to perform");
    wMainternance->SetVisibleButtons(TWizardButtonSet{bkNext, bkCancel});
    // The two radio buttons form one group on their own, so that the arrow
    // keys move between them (and select them); the labels come after them
    // and start a group of their own.
    rbMainternance =
        AddControl(*wMainternance, IdReinstall, "BUTTON", Named("Reinstall ", "").c_str(),
                   BS_AUTORADIOBUTTON | WS_TABSTOP | WS_GROUP, 40, 24, 440, 22, FRadioFont.get());
    rbUninstall = AddControl(*wMainternance, IdUninstall, "BUTTON", Named("Uninstall ", "").c_str(),
                             BS_AUTORADIOBUTTON, 40, 88, 440, 22, FRadioFont.get());
    Label10 = AddControl(*wMainternance, IdReinstallText, "STATIC",
                         Named("Repare ", " installation.").c_str(),
                         LabelStyle | SS_NOTIFY | WS_GROUP, 58, 48, 420, 16);
    Label12 = AddControl(*wMainternance, IdUninstallText, "STATIC",
                         Named("Delete ", " from this computer.").c_str(), LabelStyle | SS_NOTIFY,
                         58, 112, 420, 16);
}

// Licence agreement.
void TfMain::BuildLicensePage() {
    wLicensePage = &Wizard->AddInteriorPage();
    wLicensePage->Header.Title.SetText("License agreement");
    wLicensePage->Header.Subtitle.SetText("Please read the following license agreement carefully.");
    wLicensePage->SetVisibleButtons(TWizardButtonSet{bkBack, bkNext, bkCancel});
    wLicensePage->SetButtonEnabled(bkNext, false);
    Label3 = AddControl(*wLicensePage, IdLicenseHint, "STATIC",
                        "Press PAGE DOWN key to see the rest of the agreement.", LabelStyle, 20, 8,
                        500, 16);
    mLicense = AddControl(*wLicensePage, IdLicense, "EDIT", Product.License,
                          WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY |
                              ES_AUTOVSCROLL,
                          20, 28, 500, 244);
    PassDialogKeys(mLicense);
    cbAgree = AddControl(*wLicensePage, IdAgree, "BUTTON", "Yes, I accept this agreement",
                         BS_AUTOCHECKBOX | WS_TABSTOP, 20, 282, 400, 20, FBoldFont.get());
}

// Destination folder.
void TfMain::BuildDestinationPage() {
    wDestinationPage = &Wizard->AddInteriorPage();
    wDestinationPage->Header.Title.SetText("Destination Folder");
    wDestinationPage->Header.Subtitle.SetText(
        "Select a folder where the component will be installed.");
    wDestinationPage->SetVisibleButtons(TWizardButtonSet{bkBack, bkNext, bkCancel});
    wDestinationPage->OnNextButtonClick = [this](TWizardCustomPage* Sender, bool& Stop) {
        wDestinationPageNextButtonClick(Sender, Stop);
    };
    Label6 = AddControl(*wDestinationPage, IdDestinationText, "STATIC",
                        Named("Setup will install ", " component in the following folder.").c_str(),
                        LabelStyle, 20, 10, 500, 32);
    Label7 = AddControl(*wDestinationPage, IdDestinationHint, "STATIC",
                        "To install to this folder, click Next. To install to a different "
                        "folder, click Browse and select another folder.",
                        LabelStyle, 20, 46, 500, 32);
    RECT Room = wDestinationPage->ClientRect();
    int RoomHeight = MulDiv(Room.bottom - Room.top, 96, UiScale(96));
    // Its own design place is in design pixels of the page.
    int Top = MulDiv(Room.top, 96, UiScale(96)) + RoomHeight - 48 - 12;
    deDestination =
        std::make_unique<TFrameDirEditBrowse>(wDestinationPage->Handle(), 12, Top, IdDestination);
    deDestination->SetFont(Wizard->BodyFont());
    deDestination->SetBounds(deDestination->Handle(), 12, Top, 515, 48);
    // A little larger than the classic 62 x 25 button and 13 high caption:
    // with the fonts of other systems (Wine's among them) their texts
    // would be cut.
    deDestination->SetBounds(deDestination->LblCaption(), 4, 4, 280, 18);
    deDestination->SetBounds(deDestination->EditDirectory(), -1, 23, 423, -1);
    deDestination->SetBounds(deDestination->BtnDirBrowse(), 434, 21, 78, 25);
    SetWindowTextA(deDestination->LblCaption(), "Destination Folder");
    SetWindowTextA(deDestination->BtnDirBrowse(), "Browse...");
}

// Start-menu program folder.
void TfMain::BuildFolderPage() {
    wFolder = &Wizard->AddInteriorPage();
    wFolder->Header.Title.SetText("Select program folder");
    wFolder->Header.Subtitle.SetText("Please select a Program Folder");
    wFolder->SetVisibleButtons(TWizardButtonSet{bkBack, bkNext, bkCancel});
    wFolder->OnNextButtonClick = [this](TWizardCustomPage* Sender, bool& Stop) {
        wFolderNextButtonClick(Sender, Stop);
    };
    Label8 = AddControl(*wFolder, IdFolderText, "STATIC",
                        "Setup will add program icons to the Program Folder listed below. You may "
                        "type a new folder name, or select one from existing folders list. Click "
                        "Next to continue.",
                        LabelStyle, 20, 6, 500, 50);
    Label13 = AddControl(*wFolder, IdFolderCaption, "STATIC", "Program Folder:", LabelStyle, 20, 60,
                         200, 16);
    eFolder = AddControl(*wFolder, IdFolder, "EDIT", "", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL,
                         20, 78, 500, 21);
    Label14 = AddControl(*wFolder, IdFoldersCaption, "STATIC", "Existing folders:", LabelStyle, 20,
                         106, 200, 16);
    lFolders = AddControl(*wFolder, IdFolders, "LISTBOX", "",
                          WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                          20, 124, 500, 196);
}

// Progress of the procedure.
void TfMain::BuildCompilePage() {
    wCompile = &Wizard->AddInteriorPage();
    wCompile->Header.Title.SetText("Copying files");
    wCompile->Header.Subtitle.SetText(
        Named("", " component files will be copied in the specified folder."));
    wCompile->SetVisibleButtons(TWizardButtonSet{bkNext, bkCancel});
    wCompile->SetEnabledButtons(TWizardButtonSet{bkCancel});
    wCompile->OnPage = [this](TWizardCustomPage* Sender) { wCompilePage(Sender); };
    Label9 = AddControl(*wCompile, IdProgressCaption, "STATIC",
                        "Installation progress:", LabelStyle, 20, 8, 500, 16);
    // Read-only and without ES_WANTRETURN: Enter inserts no line.
    mOutput = AddControl(*wCompile, IdOutput, "EDIT", "",
                         WS_BORDER | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 20, 28, 500, 262);
    SendMessageA(mOutput, EM_SETLIMITTEXT, 0, 0);
    pbProgress =
        AddControl(*wCompile, IdProgress, "msctls_progress32", "", PBS_SMOOTH, 20, 298, 500, 16);
    SendMessageA(pbProgress, PBM_SETRANGE32, 0, 1000);
}

// Outcome.
void TfMain::BuildFinishPage() {
    wFinish = &Wizard->AddInteriorPage();
    wFinish->Header.Title.SetText("Installation completed");
    wFinish->Header.Subtitle.SetText(Named("", " Setup is now complete"));
    wFinish->SetVisibleButtons(TWizardButtonSet{bkFinish});
    wFinish->SetPicture(CreateSideArt(UiScale(PictureWidth), UiScale(331)));
    wFinish->OnEnterPage = [this](TWizardCustomPage* Sender, TWizardCustomPage* From) {
        wFinishEnterPage(Sender, From);
    };
    wFinish->OnFinishButtonClick = [this](TWizardCustomPage* Sender, bool& Stop) {
        wFinishFinishButtonClick(Sender, Stop);
    };
    lFinishResult =
        AddControl(*wFinish, IdFinishResult, "STATIC",
                   (std::string(Product.EditionName) + " Setup is now complete").c_str(),
                   LabelStyle, 20, 20, 336, 64);
    bFinishSaveLog = AddControl(*wFinish, IdSaveLog, "BUTTON", "Save Setup Log...",
                                BS_PUSHBUTTON | WS_TABSTOP, 236, 96, 120, 25);
    cbVisitWeb = AddControl(*wFinish, IdVisitWeb, "BUTTON",
                            (std::string("Visit ") + Product.ShortName + " web site").c_str(),
                            BS_AUTOCHECKBOX | WS_TABSTOP, 20, 220, 300, 20);
    SetChecked(cbVisitWeb, true);
}

void TfMain::FormCreate() {
    InitPages();
}

void TfMain::InitPages() {
    switch (InstallData->Mode) {
    case imInstall:
        wUpdatePage->SetEnabled(false);
        wMainternance->SetEnabled(false);
        wFolder->SetEnabled(true);
        break;
    case imUpdate:
        wInstallPage->SetEnabled(false);
        wMainternance->SetEnabled(false);
        wLicensePage->SetEnabled(false);
        wDestinationPage->SetEnabled(false);
        wFolder->SetEnabled(false);
        wUpdatePage->Header.Subtitle.SetText(FormatTemplate(
            wUpdatePage->Header.Subtitle.Text(),
            {InstallData->InstalledVersion ? InstallData->InstalledVersion->FullText() : "",
             InstallData->SetupVersion.FullText()}));
        break;
    case imReinstall:
        wInstallPage->SetEnabled(false);
        wUpdatePage->SetEnabled(false);
        wLicensePage->SetEnabled(false);
        wDestinationPage->SetEnabled(false);
        wFolder->SetEnabled(false);
        break;
    case imUninstall:
        break;
    }
    SetWindowTextA(deDestination->EditDirectory(), InstallData->InstallDir.c_str());
    // A change of the text: runs eFolderChange, which enables Next or not.
    SetWindowTextA(eFolder, InstallData->StartFolder.c_str());
    for (const std::string& Folder : InstallData->ProgramFolders)
        SendMessageA(lFolders, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Folder.c_str()));
    if (!CmdOptions) return;
    if (CmdOptions->Uninstall) {
        SetChecked(rbUninstall, true);
        rbMainternanceClick();
    }
    // The copy an installation keeps can only uninstall: repairing needs the
    // archive of the downloaded setup.
    if (!CmdOptions->Handover.empty()) {
        EnableWindow(rbMainternance, FALSE);
        EnableWindow(Label10, FALSE);
    }
}

void TfMain::cbAgreeClick() {
    wLicensePage->SetButtonEnabled(bkNext, Checked(cbAgree));
}

void TfMain::lMainternanceLabelClick(HWND Label) {
    HWND Radio = Label == Label10 ? rbMainternance : rbUninstall;
    SetFocus(Radio);
    if (!Checked(Radio)) SendMessageA(Radio, BM_CLICK, 0, 0);
}

void TfMain::rbMainternanceClick() {
    if (Checked(rbMainternance)) {
        InstallData->Mode = imReinstall;
        SetChecked(cbVisitWeb, true);
    } else {
        InstallData->Mode = imUninstall;
        SetChecked(cbVisitWeb, false);
    }
}

int TfMain::ShowMessage(const std::string& Text, UINT Type) {
    if (MessageBoxHook) return MessageBoxHook(Handle(), Text, ApplicationTitle(), Type);
    return MessageBoxA(Handle(), Text.c_str(), ApplicationTitle().c_str(), Type);
}

void TfMain::wDestinationPageNextButtonClick(TWizardCustomPage*, bool& Stop) {
    const std::string Folder = WindowText(deDestination->EditDirectory());
    // Setup removes its files from this folder again later: a folder of the
    // system's or of the user's own would lose files that are not ours.
    const TFolderVerdict Verdict = CheckInstallDir(Folder);
    if (Verdict != TFolderVerdict::Ok) {
        ShowMessage(DestinationRefusalText(Verdict, Folder), MB_OK | MB_ICONWARNING);
        SetFocus(deDestination->EditDirectory());
        Stop = true;
        return;
    }
    if (FolderHoldsForeignFiles(Folder) &&
        ShowMessage(ForeignFilesQuestion(Folder), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) !=
            IDYES) {
        SetFocus(deDestination->EditDirectory());
        Stop = true;
        return;
    }
    InstallData->InstallDir = Folder;
}

void TfMain::lFoldersClick() {
    LRESULT Index = SendMessageA(lFolders, LB_GETCURSEL, 0, 0);
    if (Index == LB_ERR) return;
    LRESULT Length = SendMessageA(lFolders, LB_GETTEXTLEN, static_cast<WPARAM>(Index), 0);
    if (Length == LB_ERR) return;
    std::string Text(static_cast<size_t>(Length) + 1, '\0');
    Length = SendMessageA(lFolders, LB_GETTEXT, static_cast<WPARAM>(Index),
                          reinterpret_cast<LPARAM>(Text.data()));
    Text.resize(static_cast<size_t>(Length > 0 ? Length : 0));
    SetWindowTextA(eFolder, Text.c_str());
}

void TfMain::eFolderChange() {
    wFolder->SetButtonEnabled(bkNext, GetWindowTextLengthA(eFolder) > 0);
}

void TfMain::wFolderNextButtonClick(TWizardCustomPage*, bool& Stop) {
    const std::string Folder = WindowText(eFolder);
    // The program folder lies inside the Start menu's Programs folder;
    // anything that could lead out of it is refused.
    const TFolderVerdict Verdict = CheckStartFolder(Folder);
    if (Verdict != TFolderVerdict::Ok) {
        ShowMessage(ProgramFolderRefusalText(Verdict, Folder), MB_OK | MB_ICONWARNING);
        SetFocus(eFolder);
        Stop = true;
        return;
    }
    InstallData->StartFolder = Folder;
}

void TfMain::WizardCancelButtonClick(TWizardButton&) {
    // Posted, so the press that asked for it finishes before the window goes.
    PostMessageA(Handle(), WM_CLOSE, 0, 0);
}

void TfMain::RequestClose() {
    if (FRunning) {
        // The procedure always runs to its end; the finish page then shows
        // the outcome, and the user ends the program from there.
        FCloseDeferred = true;
        return;
    }
    DestroyWindow(Handle());
}

void TfMain::wCompilePage(TWizardCustomPage*) {
    {
        FRunning = true;
        const TScopeExit Running([this] { FRunning = false; });
        if (FSaveInitialDir.empty()) FSaveInitialDir = InstallData->InstallDir;
        FBuildLog.clear();
        TProcedureOutcome Outcome;
        RunProcedure(
            *InstallData, RunNotes(CmdOptions, *InstallData),
            [this](TCompiler& Engine) {
                Engine.OnOutputLine = [this](const std::string& Line, bool& Stop) {
                    AddOutputLine(Line, Stop);
                };
                // While the extraction program works the window keeps
                // painting and answering; Cancel and the close box
                // still only ask (RequestClose).
                Engine.OnIdle = [this] { ProcessMessages(); };
                Engine.OnProgress = [this](int Done, int Total) { ShowProgress(Done, Total); };
                Engine.OnFilesInUse = [this](const std::vector<THeldFile>& Files) {
                    return AskAboutFilesInUse(Files);
                };
            },
            Outcome);
        FBuildLog = Outcome.Log;
        FExitCode = ExitCodeOf(Outcome, *InstallData);
        if (Outcome.Raised) {
            bool Stop = false;
            AddOutputLine(Outcome.Log.back(), Stop);
        }
        SendMessageA(pbProgress, PBM_SETPOS, 1000, 0);
    }
    if (CmdOptions && !CmdOptions->LogFile.empty()) {
        try {
            SaveBuildLog(CmdOptions->LogFile);
        } catch (const std::exception& E) {
            ShowMessage(E.what(), MB_OK | MB_ICONERROR);
        }
    }
    wCompile->SetButtonEnabled(bkCancel, false);
    wCompile->SetButtonEnabled(bkNext, true);
    Wizard->MoveNext();
}

TInUseChoice TfMain::AskAboutFilesInUse(const std::vector<THeldFile>& Files) {
    switch (ShowMessage(InUseQuestion(Files, Product.Name),
                        MB_CANCELTRYCONTINUE | MB_ICONWARNING | MB_DEFBUTTON2)) {
    case IDCONTINUE:
        return icContinue;
    case IDTRYAGAIN:
        return icRetry;
    default:
        return icCancel;
    }
}

void TfMain::ShowProgress(int Done, int Total) {
    int Position = Total > 0 ? static_cast<int>(static_cast<long long>(Done) * 1000 / Total) : 0;
    SendMessageA(pbProgress, PBM_SETPOS, Position > 1000 ? 1000 : Position, 0);
}

void TfMain::AddOutputLine(const std::string& Line, bool&) {
    // Every line after the first starts on a line of its own, so an empty
    // Line still makes an empty line.
    int Length = GetWindowTextLengthA(mOutput);
    std::string Text = FOutputLines == 0 ? Line : "\r\n" + Line;
    ++FOutputLines;
    SendMessageA(mOutput, EM_SETSEL, Length, Length);
    SendMessageA(mOutput, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Text.c_str()));
    Length = GetWindowTextLengthA(mOutput);
    SendMessageA(mOutput, EM_SETSEL, Length, Length);
    SendMessageA(mOutput, EM_SCROLLCARET, 0, 0);
    ProcessMessages();
}

void TfMain::wFinishEnterPage(TWizardCustomPage*, TWizardCustomPage*) {
    const bool Ok = InstallData->Succeeded;
    const char* Text;
    if (InstallData->Cancelled)
        Text = " Setup was cancelled. Nothing was changed on your computer.";
    else if (Ok && InstallData->RestartNeeded)
        Text = " Setup is installed successfully. Restart Windows to complete the "
               "installation: files that were in use are replaced then.";
    else if (InstallData->Mode == imUninstall)
        Text = Ok ? " Setup is now completely uninstalled from your computer"
                  : " uninstall completed with errors. You can save and view Setup Log for "
                    "additional information.";
    else
        Text = Ok ? " Setup is installed successfully"
                  : " Setup completed with errors. You can save and view Setup Log for additional "
                    "information.";
    SetWindowTextA(lFinishResult, (Product.EditionName + std::string(Text)).c_str());
}

void TfMain::bSaveBuildLogClick() {
    char FileName[MAX_PATH] = {};
    lstrcpynA(FileName, FSaveFileName.c_str(), MAX_PATH);
    OPENFILENAMEA Dialog{};
    Dialog.lStructSize = sizeof Dialog;
    Dialog.hwndOwner = Handle();
    Dialog.lpstrFile = FileName;
    Dialog.nMaxFile = MAX_PATH;
    Dialog.lpstrInitialDir = FSaveInitialDir.empty() ? nullptr : FSaveInitialDir.c_str();
    // No question before replacing a file; the working folder stays put.
    Dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameA(&Dialog)) return;
    FSaveFileName = FileName;
    SaveBuildLog(FileName);
}

void TfMain::SaveBuildLog(const std::string& FileName) const {
    WriteLogFile(FileName, FBuildLog);
}

void TfMain::wFinishFinishButtonClick(TWizardCustomPage*, bool&) {
    // The browser runs as the user at the desktop, not as the administrator
    // setup runs as; only where no desktop shell answers does setup start
    // it itself.
    if (Checked(cbVisitWeb) && !ShellExecuteAsDesktop(Product.WebAddress))
        ShellExecuteA(Handle(), "open", Product.WebAddress, "", "", SW_SHOW);
    PostMessageA(Handle(), WM_CLOSE, 0, 0);
}

bool TfMain::PreTranslateMessage(MSG& Msg) {
    if (!Handle() || !IsWindow(Handle())) return false;
    return IsDialogMessageA(Handle(), &Msg) != FALSE;
}

void TfMain::ProcessMessages() {
    MSG Msg;
    while (PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) {
        if (Msg.message == WM_QUIT) {
            // Not ours to take: the main loop ends on it.
            PostQuitMessage(static_cast<int>(Msg.wParam));
            return;
        }
        if (PreTranslateMessage(Msg)) continue;
        TranslateMessage(&Msg);
        DispatchMessageA(&Msg);
    }
}

void TfMain::OnCommand(int Id, int Code) {
    switch (Id) {
    case IdAgree:
        if (Code == BN_CLICKED) cbAgreeClick();
        break;
    case IdReinstallText:
        if (Code == STN_CLICKED) lMainternanceLabelClick(Label10);
        break;
    case IdUninstallText:
        if (Code == STN_CLICKED) lMainternanceLabelClick(Label12);
        break;
    case IdReinstall:
    case IdUninstall:
        if (Code == BN_CLICKED) rbMainternanceClick();
        break;
    case IdFolders:
        if (Code == LBN_SELCHANGE) lFoldersClick();
        break;
    case IdFolder:
        if (Code == EN_CHANGE) eFolderChange();
        break;
    case IdSaveLog:
        if (Code == BN_CLICKED) bSaveBuildLogClick();
        break;
    }
}

LRESULT TfMain::HandleMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Wizard) {
        LRESULT Result = 0;
        if (Wizard->HandleDialogMessage(Msg, WParam, LParam, Result)) return Result;
    }
    switch (Msg) {
    case WM_COMMAND:
        // Menus and accelerators send no control handle; we have neither.
        if (LParam) OnCommand(LOWORD(WParam), HIWORD(WParam));
        return 0;
    case WM_CLOSE:
        RequestClose();
        return 0;
    case WM_NEXTDLGCTL:
        // As a dialog does: the dialog keys send it to move the focus.
        if (LOWORD(LParam))
            SetFocus(reinterpret_cast<HWND>(WParam));
        else if (HWND Next = GetNextDlgTabItem(Handle(), GetFocus(), WParam != 0))
            SetFocus(Next);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return Default(Msg, WParam, LParam);
}
