// A window with the wizard control, shown for a few seconds on a chosen
// page: used to take screenshots of the controls' layout. Also the shortest
// example of the control's use: create, add pages, place controls, hook events.
#include "ui/FrmDirEditBrowse.h"
#include "ui/UiScale.h"
#include "ui/Wizard.h"

#include <cstdlib>
#include <memory>

namespace {

TWizard* GWizard = nullptr;

LRESULT CALLBACK MainProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    LRESULT Result = 0;
    if (GWizard && GWizard->HandleDialogMessage(Msg, WParam, LParam, Result)) return Result;
    if (Msg == WM_TIMER || Msg == WM_CLOSE) {
        DestroyWindow(Wnd);
        return 0;
    }
    if (Msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(Wnd, Msg, WParam, LParam);
}

HWND Label(TWizardCustomPage& Page, const char* Text, int Top, int Height) {
    RECT Room = Page.ClientRect();
    HWND Wnd = CreateWindowExA(0, "STATIC", Text, WS_CHILD | WS_VISIBLE, Room.left + UiScale(20),
                               Room.top + UiScale(Top), Room.right - Room.left - UiScale(40),
                               UiScale(Height), Page.Handle(), nullptr, GetModuleHandleA(nullptr),
                               nullptr);
    SendMessageA(Wnd, WM_SETFONT, reinterpret_cast<WPARAM>(Page.Wizard().BodyFont()), 0);
    return Wnd;
}

} // namespace

int main(int argc, char** argv) {
    int Shown = argc > 1 ? std::atoi(argv[1]) : 0;
    int Seconds = argc > 2 ? std::atoi(argv[2]) : 5;

    WNDCLASSA Class{};
    Class.lpfnWndProc = MainProc;
    Class.hInstance = GetModuleHandleA(nullptr);
    Class.hCursor = LoadCursor(nullptr, IDC_ARROW);
    Class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    Class.lpszClassName = "UiDemo";
    RegisterClassA(&Class);
    RECT Frame{0, 0, UiScale(540), UiScale(432)};
    DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&Frame, Style, FALSE);
    HWND Main = CreateWindowExA(0, "UiDemo", "Morvane ActiveX Installer", Style, 100, 60,
                                Frame.right - Frame.left, Frame.bottom - Frame.top, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    RECT Client{};
    GetClientRect(Main, &Client);
    auto Wizard = std::make_unique<TWizard>(Main, Client);
    GWizard = Wizard.get();

    TWizardWelcomePage& Welcome = Wizard->AddWelcomePage();
    Welcome.Header.Title.SetText("Welcome to the Morvane ActiveX Installation Wizard");
    Welcome.Header.Subtitle.SetText(
        "This wizard will update the Morvane ActiveX component version 1.1.2 Free Edition "
        "currently installed on your computer with newer version 1.2.0 Standard Edition.");
    Welcome.SetVisibleButtons({bkNext, bkCancel});
    Label(Welcome,
          "Click Next to continue the installation or click Cancel to quit the setup "
          "program.",
          0, 40);

    TWizardInteriorPage& Destination = Wizard->AddInteriorPage();
    Destination.Header.Title.SetText("Destination Folder");
    Destination.Header.Subtitle.SetText("Select a folder where the component will be installed.");
    Label(Destination, "Setup will install Morvane ActiveX component in the following folder.", 10,
          20);
    // At the bottom of the page, as the destination page has it.
    TFrameDirEditBrowse Dir(Destination.Handle(), 12, 330);
    Dir.SetBounds(Dir.Handle(), -1, -1, 515, 48);
    Dir.SetBounds(Dir.LblCaption(), 4, 6, -1, -1);
    Dir.SetBounds(Dir.EditDirectory(), -1, 23, 439, -1);
    Dir.SetBounds(Dir.BtnDirBrowse(), 450, -1, 62, 25);
    SetWindowTextA(Dir.BtnDirBrowse(), "Browse...");
    SetWindowTextA(Dir.LblCaption(), "Destination Folder");
    SetWindowTextA(Dir.EditDirectory(), "C:\\Program Files\\Morvane ActiveX");
    Dir.SetFont(Wizard->BodyFont());

    TWizardInteriorPage& Finish = Wizard->AddInteriorPage();
    Finish.Header.Title.SetText("Installation completed");
    Finish.Header.Subtitle.SetText("Morvane ActiveX Setup is now complete");
    Finish.SetPicture(CreateBitmap(1, 1, 1, 32, nullptr)); // black: shows the strip
    Finish.SetVisibleButtons({bkFinish});
    Label(Finish, "Morvane ActiveX Edition Setup is installed successfully", 20, 40);

    Wizard->OnCancelButtonClick = [Main](TWizardButton&) { PostMessageA(Main, WM_CLOSE, 0, 0); };
    Finish.OnFinishButtonClick = [Main](TWizardCustomPage*, bool&) {
        PostMessageA(Main, WM_CLOSE, 0, 0);
    };
    Wizard->MoveFirst();
    ShowWindow(Main, SW_SHOW);
    Wizard->ActivatePage(&Wizard->Page(Shown % Wizard->PageCount()));
    SetTimer(Main, 1, static_cast<UINT>(Seconds) * 1000, nullptr);

    MSG Msg;
    while (GetMessageA(&Msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(Main, &Msg)) continue;
        TranslateMessage(&Msg);
        DispatchMessageA(&Msg);
    }
    GWizard = nullptr;
    return 0;
}
