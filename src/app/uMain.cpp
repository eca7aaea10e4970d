#include "app/uMain.h"

#include "app/Art.h"
#include "app/MainPages.h"
#include "app/SilentRun.h"
#include "app/Procedure.h"
#include "app/Startup.h"
#include "data/CmdLineUtils.h"
#include "data/FolderSafety.h"
#include "data/InstallData.h"
#include "platform/OsError.h"
#include "data/Product.h"
#include "platform/Owners.h"
#include "platform/Utils.h"
#include "engine/Compile.h"
#include "engine/ShellOps.h"
#include "ui/AppError.h"
#include "ui/UiScale.h"

#include <commctrl.h>
#include <cstdint>
#include <commdlg.h>
#include <shellapi.h>

using enum TMainControl;
using enum TMainPage;

namespace {

constexpr int ClientWidth = 540;
constexpr int ClientHeight = 432;
constexpr int PictureWidth = 164;

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

void RegisterMainClass() {
    HINSTANCE Instance = GetModuleHandleA(nullptr);
    TWindow::RegisterWindowClass(
        MainWindowClass, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), 0,
        LoadIconA(Instance, MAKEINTRESOURCEA(1)),
        static_cast<HICON>(LoadImageA(Instance, MAKEINTRESOURCEA(1), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                      0)));
}

HWND MakeControl(TWizardCustomPage& Page, const TControlSpec& Spec, HFONT Font) {
    const RECT Room = Page.ClientRect();
    HWND Control =
        CreateWindowExA(0, Spec.Class, TextOf(Spec.Text).c_str(),
                        WS_CHILD | WS_VISIBLE | Spec.Style, Room.left + UiScale(Spec.Left),
                        Room.top + UiScale(Spec.Top), UiScale(Spec.Width), UiScale(Spec.Height),
                        Page.Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(Spec.Name)),
                        GetModuleHandleA(nullptr), nullptr);
    if (!Control) RaiseLastOSError("Creating the control", TextOf(Spec.Text));
    SendMessageA(Control, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
    return Control;
}

} // namespace

std::string ApplicationTitle() {
    return std::string(Product.ShortName) + " Installer";
}

std::string MainWindowCaption() {
    return std::string(Product.Name) + " Installer";
}

std::function<void(int Pages)> TfMain::OnPageBuilt;

TfMain::TfMain(TInstallData& Data, const TCmdOptions* Options)
    : FData(Data), FOptions(Options), FSaveFileName(std::string(Product.ShortName) + " Build.log") {
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
        FRadioFont.reset(CreateUiFont(10, FW_NORMAL, "MS Shell Dlg"));
        FBoldFont.reset(CreateUiFont(8, FW_BOLD, "MS Shell Dlg"));
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
    FDestination.reset();
    FWizard.reset();
    FRadioFont.reset();
    FBoldFont.reset();
}

void TfMain::Show(int ShowCmd) {
    ShowWindow(Handle(), ShowCmd);
    UpdateWindow(Handle());
    if (TWizardCustomPage* Page = FWizard->ActivePage()) {
        // The first page gets the keyboard like every later one does.
        SetFocus(Page->Handle());
        if (FWizard->DefaultButton()) SetFocus(FWizard->DefaultButton()->Handle());
    }
}

void TfMain::BuildPages() {
    BuildWizard();
    const HFONT Fonts[] = {FWizard->BodyFont(), FRadioFont.get(), FBoldFont.get()};
    for (const TPageSpec& Spec : MainPageTable()) {
        TWizardCustomPage& Page = Spec.Welcome
                                      ? static_cast<TWizardCustomPage&>(FWizard->AddWelcomePage())
                                      : FWizard->AddInteriorPage();
        FPages[static_cast<int>(Spec.Name)] = &Page;
        Page.Header.Title.SetText(TextOf(Spec.Title));
        Page.Header.Subtitle.SetText(TextOf(Spec.Subtitle));
        Page.SetVisibleButtons(Spec.Buttons);
        if (Spec.PictureHeight)
            Page.SetPicture(CreateSideArt(UiScale(PictureWidth), UiScale(Spec.PictureHeight)));
        for (const TControlSpec& Control : MainControlTable())
            if (Control.Page == Spec.Name)
                FControls[Index(Control.Name)] =
                    MakeControl(Page, Control, Fonts[static_cast<int>(Control.Font)]);
        WirePage(Spec.Name);
        if (OnPageBuilt) OnPageBuilt(FWizard->PageCount());
    }
    FWizard->MoveFirst();
}

void TfMain::BuildWizard() {
    RECT Client{};
    GetClientRect(Handle(), &Client);
    FWizard = std::make_unique<TWizard>(Handle(), Client);
    FWizard->Button(bkBack).SetCaption("< &Back");
    FWizard->Button(bkNext).SetCaption("&Next >");
    FWizard->Button(bkFinish).SetCaption("&Finish");
    FWizard->Button(bkCancel).SetCaption("Cancel");
    for (TWizardButtonKind Kind : {bkBack, bkNext, bkFinish, bkCancel})
        FWizard->Button(Kind).SetWidth(75);
    FWizard->OnCancelButtonClick = [this](TWizardButton& Sender) {
        WizardCancelButtonClick(Sender);
    };
}

void TfMain::WirePage(TMainPage Name) {
    TWizardCustomPage& Built = *Page(Name);
    switch (Name) {
    case wUpdatePage:
        Built.OnNextButtonClick = [](TWizardCustomPage*, bool&) {};
        break;
    case wLicensePage:
        Built.SetButtonEnabled(bkNext, false);
        PassDialogKeys(Control(mLicense));
        break;
    case wDestinationPage:
        Built.OnNextButtonClick = [this](TWizardCustomPage* Sender, bool& Stop) {
            wDestinationPageNextButtonClick(Sender, Stop);
        };
        BuildDestinationFrame();
        break;
    case wFolder:
        Built.OnNextButtonClick = [this](TWizardCustomPage* Sender, bool& Stop) {
            wFolderNextButtonClick(Sender, Stop);
        };
        break;
    case wCompile:
        Built.SetEnabledButtons(TWizardButtonSet{bkCancel});
        Built.OnPage = [this](TWizardCustomPage* Sender) { wCompilePage(Sender); };
        SendMessageA(Control(mOutput), EM_SETLIMITTEXT, 0, 0);
        SendMessageA(Control(pbProgress), PBM_SETRANGE32, 0, 1000);
        break;
    case wFinish:
        Built.OnEnterPage = [this](TWizardCustomPage* Sender, TWizardCustomPage* From) {
            wFinishEnterPage(Sender, From);
        };
        Built.OnFinishButtonClick = [this](TWizardCustomPage* Sender, bool& Stop) {
            wFinishFinishButtonClick(Sender, Stop);
        };
        SetChecked(Control(cbVisitWeb), true);
        break;
    default:
        break;
    }
}

void TfMain::BuildDestinationFrame() {
    TWizardCustomPage& Built = *Page(wDestinationPage);
    RECT Room = Built.ClientRect();
    int RoomHeight = MulDiv(Room.bottom - Room.top, 96, UiScale(96));
    // Its own design place is in design pixels of the page.
    int Top = MulDiv(Room.top, 96, UiScale(96)) + RoomHeight - 48 - 12;
    FDestination = std::make_unique<TFrameDirEditBrowse>(Built.Handle(), 12, Top,
                                                         static_cast<int>(deDestination));
    FControls[Index(deDestination)] = FDestination->Handle();
    FDestination->SetFont(FWizard->BodyFont());
    FDestination->SetBounds(FDestination->Handle(), 12, Top, 515, 48);
    // A little larger than the classic 62 x 25 button and 13 high caption:
    // with the fonts of other systems (Wine's among them) their texts
    // would be cut.
    FDestination->SetBounds(FDestination->LblCaption(), 4, 4, 280, 18);
    FDestination->SetBounds(FDestination->EditDirectory(), -1, 23, 423, -1);
    FDestination->SetBounds(FDestination->BtnDirBrowse(), 434, 21, 78, 25);
    SetWindowTextA(FDestination->LblCaption(), "Destination Folder");
    SetWindowTextA(FDestination->BtnDirBrowse(), "Browse...");
}

void TfMain::FormCreate() {
    InitPages();
}

void TfMain::InitPages() {
    switch (FData.Mode) {
    case imInstall:
        Page(wUpdatePage)->SetEnabled(false);
        Page(wMainternance)->SetEnabled(false);
        Page(wFolder)->SetEnabled(true);
        break;
    case imUpdate:
        Page(wInstallPage)->SetEnabled(false);
        Page(wMainternance)->SetEnabled(false);
        Page(wLicensePage)->SetEnabled(false);
        Page(wDestinationPage)->SetEnabled(false);
        Page(wFolder)->SetEnabled(false);
        Page(wUpdatePage)
            ->Header.Subtitle.SetText(
                FormatTemplate(Page(wUpdatePage)->Header.Subtitle.Text(),
                               {FData.InstalledVersion ? FData.InstalledVersion->FullText() : "",
                                FData.SetupVersion.FullText()}));
        break;
    case imReinstall:
        Page(wInstallPage)->SetEnabled(false);
        Page(wUpdatePage)->SetEnabled(false);
        Page(wLicensePage)->SetEnabled(false);
        Page(wDestinationPage)->SetEnabled(false);
        Page(wFolder)->SetEnabled(false);
        break;
    case imUninstall:
        break;
    }
    SetWindowTextA(FDestination->EditDirectory(), FData.InstallDir.c_str());
    // A change of the text: runs eFolderChange, which enables Next or not.
    SetWindowTextA(Control(eFolder), FData.StartFolder.c_str());
    for (const std::string& Folder : FData.ProgramFolders)
        SendMessageA(Control(lFolders), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Folder.c_str()));
    if (!FOptions) return;
    if (FOptions->Uninstall) {
        SetChecked(Control(rbUninstall), true);
        rbMainternanceClick();
    }
    // The copy an installation keeps can only uninstall: repairing needs the
    // archive of the downloaded setup.
    if (!FOptions->Handover.empty()) {
        EnableWindow(Control(rbMainternance), FALSE);
        EnableWindow(Control(Label10), FALSE);
    }
}

void TfMain::cbAgreeClick() {
    Page(wLicensePage)->SetButtonEnabled(bkNext, Checked(Control(cbAgree)));
}

void TfMain::lMainternanceLabelClick(HWND Label) {
    HWND Radio = Label == Control(Label10) ? Control(rbMainternance) : Control(rbUninstall);
    SetFocus(Radio);
    if (!Checked(Radio)) SendMessageA(Radio, BM_CLICK, 0, 0);
}

void TfMain::rbMainternanceClick() {
    if (Checked(Control(rbMainternance))) {
        FData.Mode = imReinstall;
        SetChecked(Control(cbVisitWeb), true);
    } else {
        FData.Mode = imUninstall;
        SetChecked(Control(cbVisitWeb), false);
    }
}

int TfMain::ShowMessage(const std::string& Text, UINT Type) {
    if (MessageBoxHook) return MessageBoxHook(Handle(), Text, ApplicationTitle(), Type);
    return MessageBoxA(Handle(), Text.c_str(), ApplicationTitle().c_str(), Type);
}

void TfMain::wDestinationPageNextButtonClick(TWizardCustomPage*, bool& Stop) {
    const std::string Folder = ControlText(FDestination->EditDirectory());
    // Setup removes its files from this folder again later: a folder of the
    // system's or of the user's own would lose files that are not ours. One
    // that is there already must be setup's to use: no link, an
    // administrator's.
    TFolderVerdict Verdict = CheckInstallDir(Folder);
    if (Verdict == TFolderVerdict::Ok) Verdict = CheckFolderOwnership(Folder);
    if (Verdict != TFolderVerdict::Ok) {
        ShowMessage(DestinationRefusalText(Verdict, Folder), MB_OK | MB_ICONWARNING);
        SetFocus(FDestination->EditDirectory());
        Stop = true;
        return;
    }
    if (FolderHoldsForeignFiles(Folder) &&
        ShowMessage(ForeignFilesQuestion(Folder), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) !=
            IDYES) {
        SetFocus(FDestination->EditDirectory());
        Stop = true;
        return;
    }
    FData.InstallDir = Folder;
}

void TfMain::lFoldersClick() {
    LRESULT Index = SendMessageA(Control(lFolders), LB_GETCURSEL, 0, 0);
    if (Index == LB_ERR) return;
    LRESULT Length = SendMessageA(Control(lFolders), LB_GETTEXTLEN, static_cast<WPARAM>(Index), 0);
    if (Length == LB_ERR) return;
    std::string Text(static_cast<size_t>(Length) + 1, '\0');
    Length = SendMessageA(Control(lFolders), LB_GETTEXT, static_cast<WPARAM>(Index),
                          reinterpret_cast<LPARAM>(Text.data()));
    Text.resize(static_cast<size_t>(Length > 0 ? Length : 0));
    SetWindowTextA(Control(eFolder), Text.c_str());
}

void TfMain::eFolderChange() {
    Page(wFolder)->SetButtonEnabled(bkNext,
                                    SendMessageA(Control(eFolder), WM_GETTEXTLENGTH, 0, 0) > 0);
}

void TfMain::wFolderNextButtonClick(TWizardCustomPage*, bool& Stop) {
    const std::string Folder = ControlText(Control(eFolder));
    // The program folder lies inside the Start menu's Programs folder;
    // anything that could lead out of it is refused.
    const TFolderVerdict Verdict = CheckStartFolder(Folder);
    if (Verdict != TFolderVerdict::Ok) {
        ShowMessage(ProgramFolderRefusalText(Verdict, Folder), MB_OK | MB_ICONWARNING);
        SetFocus(Control(eFolder));
        Stop = true;
        return;
    }
    FData.StartFolder = Folder;
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
        if (FSaveInitialDir.empty()) FSaveInitialDir = FData.InstallDir;
        FBuildLog.clear();
        TProcedureOutcome Outcome;
        RunProcedure(
            FData, RunNotes(FOptions, FData),
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
        FLogFile = Outcome.LogFile;
        FOutcome = Outcome.Result.Kind;
        FExitCode = ExitCodeOf(Outcome.Result);
        if (Outcome.Raised) {
            bool Stop = false;
            AddOutputLine(Outcome.Log.back(), Stop);
        }
        SendMessageA(Control(pbProgress), PBM_SETPOS, 1000, 0);
    }
    if (FOptions && !FOptions->LogFile.empty()) {
        try {
            SaveBuildLog(FOptions->LogFile);
        } catch (const std::exception& E) {
            ShowMessage(E.what(), MB_OK | MB_ICONERROR);
        }
    }
    Page(wCompile)->SetButtonEnabled(bkCancel, false);
    Page(wCompile)->SetButtonEnabled(bkNext, true);
    FWizard->MoveNext();
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
    SendMessageA(Control(pbProgress), PBM_SETPOS, Position > 1000 ? 1000 : Position, 0);
}

void TfMain::AddOutputLine(const std::string& Line, bool&) {
    // Every line after the first starts on a line of its own, so an empty
    // Line still makes an empty line.
    int Length = static_cast<int>(SendMessageA(Control(mOutput), WM_GETTEXTLENGTH, 0, 0));
    std::string Text = FOutputLines == 0 ? Line : "\r\n" + Line;
    ++FOutputLines;
    SendMessageA(Control(mOutput), EM_SETSEL, Length, Length);
    SendMessageA(Control(mOutput), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Text.c_str()));
    Length = static_cast<int>(SendMessageA(Control(mOutput), WM_GETTEXTLENGTH, 0, 0));
    SendMessageA(Control(mOutput), EM_SETSEL, Length, Length);
    SendMessageA(Control(mOutput), EM_SCROLLCARET, 0, 0);
    ProcessMessages();
}

void TfMain::wFinishEnterPage(TWizardCustomPage*, TWizardCustomPage*) {
    const bool Ok = FData.Succeeded;
    const char* Text;
    if (FOutcome == TOutcomeKind::Cancelled)
        Text = " Setup was cancelled. Nothing was changed on your computer.";
    else if (FOutcome == TOutcomeKind::RestartNeeded)
        Text = " Setup is installed successfully. Restart Windows to complete the "
               "installation: files that were in use are replaced then.";
    else if (FData.Mode == imUninstall)
        Text = Ok ? " Setup is now completely uninstalled from your computer"
                  : " uninstall completed with errors. You can save and view Setup Log for "
                    "additional information.";
    else
        Text = Ok ? " Setup is installed successfully"
                  : " Setup completed with errors. You can save and view Setup Log for additional "
                    "information.";
    SetWindowTextA(Control(lFinishResult), (Product.EditionName + std::string(Text)).c_str());
}

void TfMain::bSaveBuildLogClick() {
    char FileName[MAX_PATH] = {};
    FSaveFileName.copy(FileName, MAX_PATH - 1);
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
    // The browser runs as the user at the desktop, never as the
    // administrator setup runs as: where no desktop shell answers, it does
    // not run at all.
    if (Checked(Control(cbVisitWeb)) && !ShellExecuteAsDesktop(Product.WebAddress))
        AppendToLog(std::string("The web site ") + Product.WebAddress +
                    " was not opened: the desktop's shell did not answer, and setup does not "
                    "start a browser with an administrator's rights.");
    PostMessageA(Handle(), WM_CLOSE, 0, 0);
}

void TfMain::AppendToLog(const std::string& Line) {
    FBuildLog.push_back(Line);
    if (!FLogFile.empty()) {
        const THandle File(OpenPlainFileForWriting(FLogFile, false));
        if (File) WriteFileText(File.get(), CrLfJoined({Line}));
    }
    if (FOptions && !FOptions->LogFile.empty()) {
        try {
            SaveBuildLog(FOptions->LogFile);
        } catch (const std::exception&) {
            // It was written once already; the line is in install.log.
        }
    }
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
    switch (static_cast<TMainControl>(Id)) {
    case cbAgree:
        if (Code == BN_CLICKED) cbAgreeClick();
        break;
    case Label10:
        if (Code == STN_CLICKED) lMainternanceLabelClick(Control(Label10));
        break;
    case Label12:
        if (Code == STN_CLICKED) lMainternanceLabelClick(Control(Label12));
        break;
    case rbMainternance:
    case rbUninstall:
        if (Code == BN_CLICKED) rbMainternanceClick();
        break;
    case lFolders:
        if (Code == LBN_SELCHANGE) lFoldersClick();
        break;
    case eFolder:
        if (Code == EN_CHANGE) eFolderChange();
        break;
    case bFinishSaveLog:
        if (Code == BN_CLICKED) bSaveBuildLogClick();
        break;
    default:
        break;
    }
}

LRESULT TfMain::HandleMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (FWizard) {
        LRESULT Result = 0;
        if (FWizard->HandleDialogMessage(Msg, WParam, LParam, Result)) return Result;
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
