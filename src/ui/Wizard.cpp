#include "ui/Wizard.h"
#include "platform/Error.h"

#include "ui/AppError.h"
#include "ui/UiScale.h"

#include <algorithm>

namespace {

const char* const WizardClass = "MorvaneWizard";
const char* const PageClass = "MorvaneWizardPage";

// Layout of the control in design pixels; UiScale turns them into pixels.
namespace Design {
constexpr int ButtonHeight = 25;
constexpr int ButtonTop = 10;  // below the top of the bar
constexpr int ButtonGap = 2;   // between neighbouring buttons
constexpr int CancelGap = 10;  // left of Cancel
constexpr int RightMargin = 8; // right of the last button
constexpr int InteriorHeaderHeight = 57;
constexpr int InteriorTitleLeft = 22;
constexpr int InteriorTitleTop = 10;
constexpr int InteriorSubtitleLeft = 40;
constexpr int InteriorSubtitleTop = 28;
constexpr int HeaderRightMargin = 22;
constexpr int WelcomeMargin = 20;      // around the header texts of a welcome page
constexpr int WelcomeTitleHeight = 48; // two lines of the title font
constexpr int WelcomeSubtitleGap = 8;
constexpr int WelcomeSubtitleHeight = 42; // three lines of the body font
constexpr int WelcomeHeaderBottom =
    WelcomeMargin + WelcomeTitleHeight + WelcomeSubtitleGap + WelcomeSubtitleHeight + 8;
constexpr int DividerHeight = 2;
constexpr int BodyFontPoints = 8;
constexpr int TitleFontPoints = 12;
} // namespace Design

// Control ids of the bar buttons, unlikely to meet an id of the owner's.
constexpr int FirstButtonId = 0x7E01;

constexpr TWizardButtonKind BarKinds[4] = {bkBack, bkNext, bkFinish, bkCancel};

int BarIndex(TWizardButtonKind Kind) {
    switch (Kind) {
    case bkBack:
        return 0;
    case bkNext:
        return 1;
    case bkFinish:
        return 2;
    case bkCancel:
        return 3;
    default:
        return -1;
    }
}

void RegisterClasses() {
    TWindow::RegisterWindowClass(WizardClass, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                                 CS_HREDRAW | CS_VREDRAW);
    // Pages paint their own background.
    TWindow::RegisterWindowClass(PageClass, nullptr, CS_HREDRAW | CS_VREDRAW);
}

void DrawTextIn(HDC DC, HFONT Font, const std::string& Text, RECT Box, UINT Format) {
    HGDIOBJ Old = SelectObject(DC, Font);
    DrawTextA(DC, Text.c_str(), static_cast<int>(Text.size()), &Box, Format | DT_NOPREFIX);
    SelectObject(DC, Old);
}

} // namespace

// ---------------------------------------------------------------- page title

void TWizardPageTitle::SetText(const std::string& Text) {
    if (FText == Text) return;
    FText = Text;
    FPage.HeaderChanged();
}

// ---------------------------------------------------------------- pages

TWizardCustomPage::TWizardCustomPage(TWizard& Wizard) : FWizard(Wizard) {
    CreateHandle(WS_EX_CONTROLPARENT, PageClass, "", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                 Wizard.PageBounds(), Wizard.Handle());
    // Pages come before the bar in tab order.
    SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

TWizardCustomPage::~TWizardCustomPage() {
    DestroyHandle();
}

int TWizardCustomPage::PageIndex() const {
    return FWizard.IndexOf(this);
}

void TWizardCustomPage::SetEnabled(bool Value) {
    if (FEnabled == Value) return;
    FEnabled = Value;
    if (!Value && FWizard.ActivePage() == this)
        FWizard.PageDisabled(*this);
    else
        FWizard.RefreshButtons();
}

void TWizardCustomPage::SetEnabledButtons(TWizardButtonSet Value) {
    if (FEnabledButtons == Value) return;
    FEnabledButtons = Value;
    if (FWizard.ActivePage() == this) FWizard.RefreshButtons();
}

void TWizardCustomPage::SetVisibleButtons(TWizardButtonSet Value) {
    if (FVisibleButtons == Value) return;
    FVisibleButtons = Value;
    if (FWizard.ActivePage() == this) FWizard.RefreshButtons();
}

void TWizardCustomPage::SetButtonEnabled(TWizardButtonKind Kind, bool Value) {
    TWizardButtonSet Buttons = FEnabledButtons;
    if (Value)
        Buttons.Include(Kind);
    else
        Buttons.Exclude(Kind);
    SetEnabledButtons(Buttons);
}

void TWizardCustomPage::SetPicture(HBITMAP Picture) {
    FPicture.reset(Picture);
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
}

void TWizardCustomPage::SetPictureWidth(int DesignPixels) {
    FPictureWidth = DesignPixels;
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
}

RECT TWizardCustomPage::PageRect() const {
    RECT Client{};
    if (Handle()) GetClientRect(Handle(), &Client);
    return Client;
}

void TWizardCustomPage::HeaderChanged() {
    if (!Handle()) return;
    // The header is drawn, so the page window carries its texts as its name:
    // screen readers and UI automation read them there.
    std::string Name = Header.Title.Text();
    if (!Header.Subtitle.Text().empty())
        Name += (Name.empty() ? "" : "\r\n") + Header.Subtitle.Text();
    SetWindowTextA(Handle(), Name.c_str());
    RECT Header = HeaderRect();
    InvalidateRect(Handle(), &Header, TRUE);
    UpdateWindow(Handle());
}

void TWizardCustomPage::DrawPicture(HDC DC, const RECT& Strip, int FallbackColor) const {
    if (!FPicture) {
        FillRect(DC, &Strip, GetSysColorBrush(FallbackColor));
        return;
    }
    BITMAP Info{};
    GetObjectA(FPicture.get(), sizeof Info, &Info);
    const TMemoryDc Memory(CreateCompatibleDC(DC));
    HGDIOBJ Old = SelectObject(Memory.get(), FPicture.get());
    SetStretchBltMode(DC, HALFTONE);
    StretchBlt(DC, Strip.left, Strip.top, Strip.right - Strip.left, Strip.bottom - Strip.top,
               Memory.get(), 0, 0, Info.bmWidth, Info.bmHeight, SRCCOPY);
    SelectObject(Memory.get(), Old);
}

TWizardPageClickEvent& TWizardCustomPage::ClickEvent(TWizardButtonKind Kind) {
    switch (Kind) {
    case bkBack:
        return OnBackButtonClick;
    case bkNext:
        return OnNextButtonClick;
    case bkFinish:
        return OnFinishButtonClick;
    default:
        return OnCancelButtonClick;
    }
}

HBRUSH TWizardCustomPage::BodyBrush() const {
    return GetSysColorBrush(BodyColor());
}

LRESULT TWizardCustomPage::HandleMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
    switch (Msg) {
    case WM_ERASEBKGND:
        return 1; // WM_PAINT fills everything
    case WM_PAINT: {
        PAINTSTRUCT Ps;
        HDC DC = BeginPaint(Handle(), &Ps);
        Paint(DC, PageRect());
        EndPaint(Handle(), &Ps);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        HDC DC = reinterpret_cast<HDC>(WParam);
        SetBkColor(DC, GetSysColor(BodyColor()));
        SetTextColor(DC, GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(BodyBrush());
    }
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
        // The page's controls belong to the wizard's owner.
        return SendMessageA(GetParent(FWizard.Handle()), Msg, WParam, LParam);
    }
    return Default(Msg, WParam, LParam);
}

RECT TWizardWelcomePage::HeaderRect() const {
    RECT Page = PageRect();
    return RECT{UiScale(PictureWidth()), 0, Page.right, UiScale(Design::WelcomeHeaderBottom)};
}

RECT TWizardWelcomePage::ClientRect() const {
    RECT Page = PageRect();
    return RECT{UiScale(PictureWidth()), UiScale(Design::WelcomeHeaderBottom), Page.right,
                Page.bottom};
}

void TWizardWelcomePage::Paint(HDC DC, const RECT& Client) const {
    RECT Strip{0, 0, UiScale(PictureWidth()), Client.bottom};
    DrawPicture(DC, Strip, COLOR_ACTIVECAPTION);
    RECT Body{Strip.right, 0, Client.right, Client.bottom};
    FillRect(DC, &Body, GetSysColorBrush(COLOR_WINDOW));
    SetBkMode(DC, TRANSPARENT);
    SetTextColor(DC, GetSysColor(COLOR_WINDOWTEXT));
    int Left = Strip.right + UiScale(Design::WelcomeMargin);
    int Right = Client.right - UiScale(Design::WelcomeMargin);
    int TitleTop = UiScale(Design::WelcomeMargin);
    int SubtitleTop = TitleTop + UiScale(Design::WelcomeTitleHeight + Design::WelcomeSubtitleGap);
    DrawTextIn(DC, Wizard().TitleFont(), Header.Title.Text(),
               RECT{Left, TitleTop, Right, TitleTop + UiScale(Design::WelcomeTitleHeight)},
               DT_WORDBREAK | DT_END_ELLIPSIS);
    DrawTextIn(DC, Wizard().BodyFont(), Header.Subtitle.Text(),
               RECT{Left, SubtitleTop, Right, SubtitleTop + UiScale(Design::WelcomeSubtitleHeight)},
               DT_WORDBREAK | DT_END_ELLIPSIS);
}

RECT TWizardInteriorPage::HeaderRect() const {
    RECT Page = PageRect();
    return RECT{0, 0, Page.right, UiScale(Design::InteriorHeaderHeight)};
}

RECT TWizardInteriorPage::ClientRect() const {
    RECT Page = PageRect();
    int Left = HasPicture() ? UiScale(PictureWidth()) : 0;
    return RECT{Left, UiScale(Design::InteriorHeaderHeight + Design::DividerHeight), Page.right,
                Page.bottom};
}

void TWizardInteriorPage::Paint(HDC DC, const RECT& Client) const {
    int HeaderBottom = UiScale(Design::InteriorHeaderHeight);
    RECT Band{0, 0, Client.right, HeaderBottom};
    FillRect(DC, &Band, GetSysColorBrush(COLOR_WINDOW));
    RECT Divider{0, HeaderBottom, Client.right, HeaderBottom + UiScale(Design::DividerHeight)};
    DrawEdge(DC, &Divider, EDGE_ETCHED, BF_TOP);
    RECT Body{0, Divider.bottom, Client.right, Client.bottom};
    if (HasPicture()) {
        RECT Strip{0, Divider.bottom, UiScale(PictureWidth()), Client.bottom};
        DrawPicture(DC, Strip, COLOR_ACTIVECAPTION);
        Body.left = Strip.right;
    }
    FillRect(DC, &Body, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(DC, TRANSPARENT);
    SetTextColor(DC, GetSysColor(COLOR_WINDOWTEXT));
    int Right = Client.right - UiScale(Design::HeaderRightMargin);
    int TitleTop = UiScale(Design::InteriorTitleTop);
    int SubtitleTop = UiScale(Design::InteriorSubtitleTop);
    DrawTextIn(DC, Wizard().TitleFont(), Header.Title.Text(),
               RECT{UiScale(Design::InteriorTitleLeft), TitleTop, Right, SubtitleTop},
               DT_SINGLELINE | DT_END_ELLIPSIS);
    DrawTextIn(DC, Wizard().BodyFont(), Header.Subtitle.Text(),
               RECT{UiScale(Design::InteriorSubtitleLeft), SubtitleTop, Right, HeaderBottom},
               DT_WORDBREAK | DT_END_ELLIPSIS);
}

// ---------------------------------------------------------------- buttons

void TWizardButton::SetCaption(const std::string& Caption) {
    FCaption = Caption;
    if (Handle()) SetWindowTextA(Handle(), FCaption.c_str());
}

void TWizardButton::SetWidth(int Width) {
    FWidth = Width;
    FWizard.LayoutButtons();
}

// ---------------------------------------------------------------- wizard

TWizard::TWizard(HWND Parent, const RECT& Bounds, int Id) {
    RegisterClasses();
    CreateHandle(WS_EX_CONTROLPARENT, WizardClass, "",
                 WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, Bounds, Parent, Id);
    FBodyFont.reset(CreateUiFont(Design::BodyFontPoints, FW_NORMAL));
    FTitleFont.reset(CreateUiFont(Design::TitleFontPoints, FW_BOLD));

    const char* Captions[4] = {"< &Back", "&Next >", "&Finish", "Cancel"};
    for (int I = 0; I < 4; ++I) {
        FButtons[I].reset(new TWizardButton(*this, BarKinds[I], Captions[I]));
        FButtons[I]->FHandle = CreateWindowExA(
            0, "BUTTON", Captions[I], WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, Handle(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(FirstButtonId + I)),
            GetModuleHandleA(nullptr), nullptr);
        SendMessageA(FButtons[I]->FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FBodyFont.get()),
                     0);
    }
    RefreshButtons();
}

TWizard::~TWizard() {
    FActivePage = nullptr;
    FPages.clear();
    DestroyHandle();
}

template <class TPage> TPage& TWizard::AddPage() {
    auto Page = std::make_unique<TPage>(*this);
    TPage& Result = *Page;
    FPages.push_back(std::move(Page));
    return Result;
}

TWizardWelcomePage& TWizard::AddWelcomePage() {
    return AddPage<TWizardWelcomePage>();
}

TWizardInteriorPage& TWizard::AddInteriorPage() {
    return AddPage<TWizardInteriorPage>();
}

int TWizard::IndexOf(const TWizardCustomPage* Page) const {
    for (int I = 0; I < PageCount(); ++I)
        if (FPages[I].get() == Page) return I;
    return -1;
}

void TWizard::MoveFirst() {
    ActivatePage(FindEnabledPage(-1, +1));
}

void TWizard::MoveNext() {
    if (TWizardCustomPage* Next = FindEnabledPage(IndexOf(FActivePage), +1)) ActivatePage(Next);
}

void TWizard::MoveBack() {
    if (!FActivePage) return;
    if (TWizardCustomPage* Back = FindEnabledPage(IndexOf(FActivePage), -1)) ActivatePage(Back);
}

TWizardCustomPage* TWizard::FindEnabledPage(int Index, int Step) const {
    if (Step == 0) throw Exception("FindEnabledPage: the step must not be 0");
    do
        Index += Step;
    while (Index >= 0 && Index < PageCount() && !FPages[Index]->Enabled());
    if (Index >= 0 && Index < PageCount()) return FPages[Index].get();
    return nullptr;
}

void TWizard::ActivatePage(TWizardCustomPage* To) {
    if (To == FActivePage) return;
    if (To && (&To->Wizard() != this || !To->Enabled())) return;
    TWizardCustomPage* From = FActivePage;
    if (From) {
        if (From->OnExitPage) From->OnExitPage(From, To);
        ShowWindow(From->Handle(), SW_HIDE);
    }
    bool Focused = false;
    if (To) {
        if (To->OnEnterPage) To->OnEnterPage(To, From);
        SetWindowPos(To->Handle(), HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        Focused = CanFocus(To->Handle());
    }
    FActivePage = To;
    RefreshButtons();
    if (Focused) {
        // After the buttons: the page may start on its default button.
        FocusPage(*To);
        // A long OnPage handler must run with the new page already on screen.
        RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        if (To->OnPage) To->OnPage(To);
    }
}

void TWizard::PageDisabled(TWizardCustomPage& Page) {
    int Index = IndexOf(&Page);
    TWizardCustomPage* To = FindEnabledPage(Index, +1);
    if (!To) To = FindEnabledPage(Index, -1);
    ActivatePage(To);
}

bool TWizard::CanFocus(HWND Wnd) const {
    // Like a control that can take the focus: it and every window it sits in
    // are visible and enabled.
    if (!IsWindowVisible(Wnd)) return false;
    for (HWND W = Wnd; W; W = GetParent(W)) {
        if (!IsWindowEnabled(W)) return false;
        if (!(GetWindowLongPtrA(W, GWL_STYLE) & WS_CHILD)) break;
    }
    return true;
}

void TWizard::FocusPage(TWizardCustomPage& Page) {
    // The first control of the page in tab order, so keys work at once;
    // a page without one takes the focus itself.
    // A page that starts with a push button of its own (the finish page's
    // "Save Setup Log...") starts on the default button instead: Enter is
    // to go on, not to press the page's button.
    HWND First = GetNextDlgTabItem(Page.Handle(), nullptr, FALSE);
    if (First && IsChild(Page.Handle(), First) && IsPagePushButton(First) && FDefaultButton &&
        IsUsable(*FDefaultButton))
        SetFocus(FDefaultButton->Handle());
    else if (First && IsChild(Page.Handle(), First))
        SetFocus(First);
    else
        SetFocus(Page.Handle());
}

void TWizard::RefreshButtons() {
    TWizardButtonSet Enabled{bkCancel};
    TWizardButtonSet Visible{bkBack, bkNext, bkCancel};
    if (FActivePage) {
        // Back is never offered on the first enabled page, and stays removed.
        if (FindEnabledPage(-1, +1) == FActivePage) {
            TWizardButtonSet Buttons = FActivePage->FEnabledButtons;
            Buttons.Exclude(bkBack);
            FActivePage->FEnabledButtons = Buttons;
        }
        Enabled = FActivePage->FEnabledButtons;
        Visible = FActivePage->FVisibleButtons;
    }
    HWND Focus = GetFocus();
    bool FocusLost = false;
    for (auto& Button : FButtons) {
        bool Shown = Visible.Contains(Button->Kind());
        bool Usable = Enabled.Contains(Button->Kind());
        if (Focus == Button->Handle() && !(Shown && Usable)) FocusLost = true;
        ShowWindow(Button->Handle(), Shown ? SW_SHOWNA : SW_HIDE);
        EnableWindow(Button->Handle(), Usable);
    }
    TWizardButton* Default = nullptr;
    for (TWizardButtonKind Kind : {bkNext, bkFinish}) {
        TWizardButton& Button = *FButtons[BarIndex(Kind)];
        if (!Default && Visible.Contains(Kind) && Enabled.Contains(Kind)) Default = &Button;
    }
    FDefaultButton = Default;
    for (auto& Button : FButtons)
        SendMessageA(Button->Handle(), BM_SETSTYLE,
                     Button.get() == Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    LayoutButtons();
    if (FocusLost && FActivePage && CanFocus(FActivePage->Handle())) FocusPage(*FActivePage);
}

TWizardButton& TWizard::Button(TWizardButtonKind Kind) {
    int Index = BarIndex(Kind);
    if (Index < 0) throw Exception("The wizard has no button of this kind");
    return *FButtons[Index];
}

void TWizard::PressButton(TWizardButtonKind Kind) {
    int Index = BarIndex(Kind);
    if (Index < 0) return;
    bool Stop = false;
    if (FActivePage) {
        TWizardPageClickEvent& Event = FActivePage->ClickEvent(Kind);
        if (Event) Event(FActivePage, Stop);
    }
    if (Stop) return;
    TWizardButtonEvent* Event = nullptr;
    switch (Kind) {
    case bkBack:
        Event = &OnBackButtonClick;
        break;
    case bkNext:
        Event = &OnNextButtonClick;
        break;
    case bkFinish:
        Event = &OnFinishButtonClick;
        break;
    default:
        Event = &OnCancelButtonClick;
        break;
    }
    if (*Event) (*Event)(*FButtons[Index]);
    if (Kind == bkBack) MoveBack();
    if (Kind == bkNext) MoveNext();
}

RECT TWizard::PageBounds() const {
    RECT Client{};
    GetClientRect(Handle(), &Client);
    Client.bottom = (std::max)(0L, Client.bottom - UiScale(ButtonBarHeight));
    return Client;
}

void TWizard::Layout() {
    RECT Bounds = PageBounds();
    for (auto& Page : FPages)
        MoveWindow(Page->Handle(), Bounds.left, Bounds.top, Bounds.right - Bounds.left,
                   Bounds.bottom - Bounds.top, TRUE);
    LayoutButtons();
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TWizard::LayoutButtons() {
    // Sized while it is being created, before the buttons exist.
    if (!FButtons[3]) return;
    RECT Client{};
    GetClientRect(Handle(), &Client);
    int Top = Client.bottom - UiScale(ButtonBarHeight) + UiScale(Design::ButtonTop);
    int Right = Client.right - UiScale(Design::RightMargin);
    // Right to left; a hidden button takes no room.
    for (int I = 3; I >= 0; --I) {
        TWizardButton& Button = *FButtons[I];
        if (!(GetWindowLongPtrA(Button.Handle(), GWL_STYLE) & WS_VISIBLE)) continue;
        int Width = UiScale(Button.Width());
        MoveWindow(Button.Handle(), Right - Width, Top, Width, UiScale(Design::ButtonHeight), TRUE);
        Right -= Width + UiScale(Button.Kind() == bkCancel ? Design::CancelGap : Design::ButtonGap);
    }
}

TWizardButton* TWizard::ButtonOf(HWND Wnd) const {
    if (!Wnd) return nullptr;
    for (auto& Button : FButtons)
        if (Button->Handle() == Wnd) return Button.get();
    return nullptr;
}

bool TWizard::IsUsable(const TWizardButton& Button) const {
    return (GetWindowLongPtrA(Button.Handle(), GWL_STYLE) & WS_VISIBLE) &&
           IsWindowEnabled(Button.Handle());
}

bool TWizard::IsPagePushButton(HWND Wnd) const {
    if (!Wnd || !IsChild(Handle(), Wnd) || ButtonOf(Wnd)) return false;
    return (SendMessageA(Wnd, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON) != 0;
}

bool TWizard::HandleDialogMessage(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
    if (!Handle()) return false;
    HWND Focus = GetFocus();
    if (Msg == DM_GETDEFID) {
        // A focused bar button is what Enter presses; a focused push button
        // on a page is left to the IDOK below, which clicks it.
        Result = 0;
        if (TWizardButton* Focused = ButtonOf(Focus))
            Result = MAKELRESULT(GetDlgCtrlID(Focused->Handle()), DC_HASDEFID);
        else if (!IsPagePushButton(Focus) && FDefaultButton)
            Result = MAKELRESULT(GetDlgCtrlID(FDefaultButton->Handle()), DC_HASDEFID);
        return Result != 0;
    }
    if (Msg != WM_COMMAND || HIWORD(WParam) != BN_CLICKED) return false;
    HWND Control = reinterpret_cast<HWND>(LParam);
    Result = 0;
    if (TWizardButton* Button = ButtonOf(Control)) {
        if (IsUsable(*Button)) PressButton(Button->Kind());
        return true;
    }
    if (Control && IsChild(Handle(), Control)) return false; // a page control's own click
    if (LOWORD(WParam) == IDOK) {
        if (IsPagePushButton(Focus))
            SendMessageA(Focus, BM_CLICK, 0, 0);
        else if (FDefaultButton && IsUsable(*FDefaultButton))
            PressButton(FDefaultButton->Kind());
        return true;
    }
    if (LOWORD(WParam) == IDCANCEL) {
        TWizardButton& Cancel = Button(bkCancel);
        if (IsUsable(Cancel)) PressButton(bkCancel);
        return true;
    }
    return false;
}

void TWizard::Paint(HDC DC) {
    RECT Client{};
    GetClientRect(Handle(), &Client);
    RECT Divider{0, Client.bottom - UiScale(ButtonBarHeight), Client.right,
                 Client.bottom - UiScale(ButtonBarHeight) + UiScale(Design::DividerHeight)};
    DrawEdge(DC, &Divider, EDGE_ETCHED, BF_TOP);
}

LRESULT TWizard::HandleMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
    switch (Msg) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT Ps;
        HDC DC = BeginPaint(Handle(), &Ps);
        Paint(DC);
        EndPaint(Handle(), &Ps);
        return 0;
    }
    case WM_COMMAND:
        if (HIWORD(WParam) == BN_CLICKED) {
            if (TWizardButton* Button = ButtonOf(reinterpret_cast<HWND>(LParam))) {
                PressButton(Button->Kind());
                return 0;
            }
        }
        break;
    }
    return Default(Msg, WParam, LParam);
}
