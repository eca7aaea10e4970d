// The wizard control with real windows: navigation, page events, buttons,
// their geometry and the keyboard through IsDialogMessage.
#include "ui/UiScale.h"
#include "platform/Error.h"
#include "ui/Wizard.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class WizardTest;
WizardTest* GFixture = nullptr;

LRESULT CALLBACK HostProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);

class WizardTest : public testing::Test {
public:
    void SetUp() override {
        static const bool Registered = [] {
            WNDCLASSA Class{};
            Class.lpfnWndProc = HostProc;
            Class.hInstance = GetModuleHandleA(nullptr);
            Class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            Class.lpszClassName = "UiWizardTestHost";
            return RegisterClassA(&Class) != 0;
        }();
        ASSERT_TRUE(Registered);
        GFixture = this;
        RECT Frame{0, 0, 540, 432};
        AdjustWindowRect(&Frame, WS_OVERLAPPEDWINDOW, FALSE);
        Host = CreateWindowExA(0, "UiWizardTestHost", "Wizard test", WS_OVERLAPPEDWINDOW, 50, 50,
                               Frame.right - Frame.left, Frame.bottom - Frame.top, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(Host, nullptr);
        RECT Client{};
        GetClientRect(Host, &Client);
        Wizard = std::make_unique<TWizard>(Host, Client);
        Wizard->OnBackButtonClick = [this](TWizardButton&) { Log.push_back("wizard back"); };
        Wizard->OnNextButtonClick = [this](TWizardButton&) { Log.push_back("wizard next"); };
        Wizard->OnFinishButtonClick = [this](TWizardButton&) { Log.push_back("wizard finish"); };
        Wizard->OnCancelButtonClick = [this](TWizardButton& Sender) {
            Log.push_back(Sender.Kind() == bkCancel ? "wizard cancel" : "wizard cancel?");
        };
    }

    void TearDown() override {
        Wizard.reset();
        if (Host) DestroyWindow(Host);
        GFixture = nullptr;
    }

    // Pages named P0, P1, ... that write their events into Log.
    void AddPages(int Count) {
        for (int I = 0; I < Count; ++I) {
            TWizardCustomPage& Page =
                I % 2 ? static_cast<TWizardCustomPage&>(Wizard->AddInteriorPage())
                      : Wizard->AddWelcomePage();
            Page.Header.Title.SetText("Page " + std::to_string(I));
            Page.OnEnterPage = [this](TWizardCustomPage* Sender, TWizardCustomPage* From) {
                Log.push_back("enter " + Name(Sender) + " from " + Name(From));
            };
            Page.OnExitPage = [this](TWizardCustomPage* Sender, TWizardCustomPage* To) {
                Log.push_back("exit " + Name(Sender) + " to " + Name(To));
            };
            Page.OnPage = [this](TWizardCustomPage* Sender) {
                Log.push_back("page " + Name(Sender));
            };
            Page.OnBackButtonClick = Click("back");
            Page.OnNextButtonClick = Click("next");
            Page.OnFinishButtonClick = Click("finish");
            Page.OnCancelButtonClick = Click("cancel");
        }
    }

    TWizardPageClickEvent Click(std::string Kind) {
        return [this, Kind](TWizardCustomPage* Sender, bool& Stop) {
            EXPECT_FALSE(Stop);
            Log.push_back(Kind + " on " + Name(Sender));
            Stop = StopKind == Kind;
        };
    }

    std::string Name(const TWizardCustomPage* Page) const {
        return Page ? "P" + std::to_string(Wizard->IndexOf(Page)) : "none";
    }

    int Active() const { return Wizard->IndexOf(Wizard->ActivePage()); }

    void Show() {
        ShowWindow(Host, SW_SHOW);
        UpdateWindow(Host);
        SetForegroundWindow(Host);
        SetActiveWindow(Host);
    }

    // Which of Back, Next, Finish, Cancel are shown and enabled, as "BNFC"
    // letters: upper case enabled, lower case disabled, "-" hidden.
    std::string ButtonState() {
        std::string State;
        const char* Letters = "BNFC";
        int I = 0;
        for (TWizardButtonKind Kind : {bkBack, bkNext, bkFinish, bkCancel}) {
            HWND Button = Wizard->Button(Kind).Handle();
            bool Shown = (GetWindowLongA(Button, GWL_STYLE) & WS_VISIBLE) != 0;
            char Letter = Letters[I++];
            State += !Shown ? '-' : IsWindowEnabled(Button) ? Letter : char(Letter + 32);
        }
        return State;
    }

    HWND Host = nullptr;
    std::unique_ptr<TWizard> Wizard;
    std::vector<std::string> Log;
    std::vector<int> HostCommands; // WM_COMMAND ids the host window received
    std::string StopKind;
};

LRESULT CALLBACK HostProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (GFixture && GFixture->Wizard) {
        LRESULT Result = 0;
        if (GFixture->Wizard->HandleDialogMessage(Msg, WParam, LParam, Result)) return Result;
    }
    if (Msg == WM_COMMAND && GFixture) GFixture->HostCommands.push_back(LOWORD(WParam));
    return DefWindowProcA(Wnd, Msg, WParam, LParam);
}

using Strings = std::vector<std::string>;

// ------------------------------------------------------------ navigation

struct TNavigationCase {
    const char* Name;
    std::vector<int> Disabled; // disabled before MoveFirst
    int First;                 // the page MoveFirst activates
    std::string Presses;       // N = Next, B = Back
    std::vector<int> After;    // the active page after each press
};

class NavigationTest : public WizardTest, public testing::WithParamInterface<TNavigationCase> {};

TEST_P(NavigationTest, FollowsPageOrderSkippingDisabledPages) {
    const TNavigationCase& C = GetParam();
    AddPages(5);
    for (int I : C.Disabled)
        Wizard->Page(I).SetEnabled(false);
    Wizard->MoveFirst();
    EXPECT_EQ(Active(), C.First);
    for (std::size_t I = 0; I < C.Presses.size(); ++I) {
        Wizard->PressButton(C.Presses[I] == 'N' ? bkNext : bkBack);
        EXPECT_EQ(Active(), C.After[I]) << "after press " << I << " (" << C.Presses[I] << ")";
        // Only the active page is shown (the host window itself is hidden).
        for (int P = 0; P < Wizard->PageCount(); ++P) {
            bool Shown = GetWindowLongA(Wizard->Page(P).Handle(), GWL_STYLE) & WS_VISIBLE;
            EXPECT_EQ(Shown, P == Active()) << "page " << P;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NavigationTest,
    testing::Values(TNavigationCase{"AllEnabled", {}, 0, "NNNNNN", {1, 2, 3, 4, 4, 4}},
                    TNavigationCase{"BackToStartAndNoFurther", {}, 0, "NNBBB", {1, 2, 1, 0, 0}},
                    TNavigationCase{
                        "SkipsDisabledBothWays", {1, 3}, 0, "NNNBBB", {2, 4, 4, 2, 0, 0}},
                    TNavigationCase{"FirstPageDisabled", {0}, 1, "BNB", {1, 2, 1}},
                    TNavigationCase{"LastPagesDisabled", {3, 4}, 0, "NNNB", {1, 2, 2, 1}},
                    TNavigationCase{"FlowOfAnUpdate", {0, 2, 3, 4}, 1, "NB", {1, 1}}),
    [](const testing::TestParamInfo<TNavigationCase>& Info) { return Info.param.Name; });

TEST_F(WizardTest, FindEnabledPageSearchesOneWayOnly) {
    AddPages(4);
    Wizard->Page(0).SetEnabled(false);
    Wizard->Page(2).SetEnabled(false);
    struct {
        int Index, Step, Expected;
    } Cases[] = {{-1, +1, 1}, {1, +1, 3},  {3, +1, -1}, {4, -1, 3},
                 {3, -1, 1},  {1, -1, -1}, {0, +1, 1},  {2, -1, 1}};
    for (auto C : Cases)
        EXPECT_EQ(Wizard->IndexOf(Wizard->FindEnabledPage(C.Index, C.Step)), C.Expected)
            << C.Index << " step " << C.Step;
    EXPECT_THROW(Wizard->FindEnabledPage(1, 0), Exception);
}

TEST_F(WizardTest, ActivatePageRefusesDisabledAndForeignPagesAndRepeats) {
    AddPages(3);
    RECT Client{0, 0, 300, 200};
    TWizard Other(Host, Client);
    TWizardCustomPage& Foreign = Other.AddInteriorPage();
    Wizard->MoveFirst();
    Wizard->Page(2).SetEnabled(false);
    Log.clear();
    Wizard->ActivatePage(&Wizard->Page(2));
    Wizard->ActivatePage(&Foreign);
    Wizard->ActivatePage(&Wizard->Page(0));
    EXPECT_EQ(Active(), 0);
    EXPECT_EQ(Log, Strings{});
    Wizard->ActivatePage(nullptr);
    EXPECT_EQ(Wizard->ActivePage(), nullptr);
    EXPECT_EQ(Log, Strings{"exit P0 to none"});
    EXPECT_EQ(ButtonState(), "bn-C"); // no page: Cancel only
}

// ------------------------------------------------------------ disabling

struct TDisableCase {
    const char* Name;
    std::vector<int> Disabled; // before
    int Active;
    int Disable;
    int Expected; // -1: no page
    Strings Events;
};

class DisableTest : public WizardTest, public testing::WithParamInterface<TDisableCase> {};

TEST_P(DisableTest, MovesForwardElseBackwardElseToNone) {
    const TDisableCase& C = GetParam();
    AddPages(4);
    for (int I : C.Disabled)
        Wizard->Page(I).SetEnabled(false);
    Wizard->MoveFirst();
    Wizard->ActivatePage(&Wizard->Page(C.Active));
    ASSERT_EQ(Active(), C.Active);
    Log.clear();
    Wizard->Page(C.Disable).SetEnabled(false);
    EXPECT_EQ(Active(), C.Expected);
    EXPECT_EQ(Log, C.Events);
    for (int P = 0; P < Wizard->PageCount(); ++P)
        EXPECT_EQ((GetWindowLongA(Wizard->Page(P).Handle(), GWL_STYLE) & WS_VISIBLE) != 0,
                  P == C.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisableTest,
    testing::Values(
        TDisableCase{"Forward", {}, 1, 1, 2, {"exit P1 to P2", "enter P2 from P1"}},
        TDisableCase{"ForwardSkipsDisabled", {2}, 1, 1, 3, {"exit P1 to P3", "enter P3 from P1"}},
        TDisableCase{"BackwardFromLast", {}, 3, 3, 2, {"exit P3 to P2", "enter P2 from P3"}},
        TDisableCase{
            "BackwardWhenRestDisabled", {2, 3}, 1, 1, 0, {"exit P1 to P0", "enter P0 from P1"}},
        TDisableCase{"NoneLeft", {0, 2, 3}, 1, 1, -1, {"exit P1 to none"}},
        TDisableCase{"InactivePageChangesNothing", {}, 1, 3, 1, {}}),
    [](const testing::TestParamInfo<TDisableCase>& Info) { return Info.param.Name; });

TEST_F(WizardTest, DisablingFromTheFrontPassesThroughTheSecondPage) {
    AddPages(4);
    Wizard->MoveFirst();
    Log.clear();
    Wizard->Page(0).SetEnabled(false);
    Wizard->Page(1).SetEnabled(false);
    EXPECT_EQ(Active(), 2);
    EXPECT_EQ(Log,
              (Strings{"exit P0 to P1", "enter P1 from P0", "exit P1 to P2", "enter P2 from P1"}));
}

// ------------------------------------------------------------ events of a move

TEST_F(WizardTest, MoveWhileHiddenFiresNoOnPage) {
    AddPages(3);
    Wizard->MoveFirst();
    EXPECT_EQ(Log, Strings{"enter P0 from none"});
    Log.clear();
    Wizard->PressButton(bkNext);
    EXPECT_EQ(Log, (Strings{"next on P0", "wizard next", "exit P0 to P1", "enter P1 from P0"}));
}

TEST_F(WizardTest, MoveWhileVisibleEndsWithOnPageOnAPaintedFocusedPage) {
    AddPages(3);
    Wizard->MoveFirst();
    Show();
    HWND Edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                10, 80, 100, 21, Wizard->Page(1).Handle(), nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    bool Shown = false, Focused = false, Painted = false;
    Wizard->Page(1).OnPage = [&](TWizardCustomPage* Sender) {
        Log.push_back("page " + Name(Sender));
        Shown = IsWindowVisible(Sender->Handle());
        Focused = GetFocus() == Edit;
        RECT Pending;
        Painted = !GetUpdateRect(Sender->Handle(), &Pending, FALSE);
    };
    Log.clear();
    Wizard->PressButton(bkNext);
    EXPECT_EQ(Log, (Strings{"next on P0", "wizard next", "exit P0 to P1", "enter P1 from P0",
                            "page P1"}));
    EXPECT_TRUE(Shown);
    EXPECT_TRUE(Focused);
    EXPECT_TRUE(Painted);

    Log.clear();
    Wizard->PressButton(bkBack);
    EXPECT_EQ(Log, (Strings{"back on P1", "wizard back", "exit P1 to P0", "enter P0 from P1",
                            "page P0"}));
}

TEST_F(WizardTest, RealButtonClickRunsThePressSequence) {
    AddPages(2);
    Wizard->MoveFirst();
    Show();
    Log.clear();
    SendMessageA(Wizard->Button(bkNext).Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(Active(), 1);
    EXPECT_EQ(Log, (Strings{"next on P0", "wizard next", "exit P0 to P1", "enter P1 from P0",
                            "page P1"}));
}

TEST_F(WizardTest, NestedActivationFromOnPageRunsCompletely) {
    AddPages(4);
    Wizard->MoveFirst();
    Show();
    Wizard->Page(1).OnPage = [this](TWizardCustomPage* Sender) {
        Log.push_back("page " + Name(Sender) + " begins");
        Wizard->MoveNext();
        Log.push_back("page " + Name(Sender) + " ends");
    };
    Log.clear();
    Wizard->PressButton(bkNext);
    EXPECT_EQ(Log, (Strings{"next on P0", "wizard next", "exit P0 to P1", "enter P1 from P0",
                            "page P1 begins", "exit P1 to P2", "enter P2 from P1", "page P2",
                            "page P1 ends"}));
    EXPECT_EQ(Active(), 2);
    EXPECT_FALSE(IsWindowVisible(Wizard->Page(1).Handle()));
    EXPECT_TRUE(IsWindowVisible(Wizard->Page(2).Handle()));
    EXPECT_EQ(ButtonState(), "BN-C");
}

// ------------------------------------------------------------ Stop

struct TStopCase {
    const char* Name;
    TWizardButtonKind Kind;
    std::string StopKind;
    Strings Events;
    int Active;
};

class StopTest : public WizardTest, public testing::WithParamInterface<TStopCase> {};

TEST_P(StopTest, CancelsTheWizardEventAndTheMove) {
    const TStopCase& C = GetParam();
    AddPages(3);
    Wizard->MoveFirst();
    Wizard->MoveNext();
    StopKind = C.StopKind;
    Log.clear();
    Wizard->PressButton(C.Kind);
    EXPECT_EQ(Log, C.Events);
    EXPECT_EQ(Active(), C.Active);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StopTest,
    testing::Values(
        TStopCase{"NextStopped", bkNext, "next", {"next on P1"}, 1},
        TStopCase{"BackStopped", bkBack, "back", {"back on P1"}, 1},
        TStopCase{"FinishStopped", bkFinish, "finish", {"finish on P1"}, 1},
        TStopCase{"CancelStopped", bkCancel, "cancel", {"cancel on P1"}, 1},
        TStopCase{"FinishGoesNowhere", bkFinish, "", {"finish on P1", "wizard finish"}, 1},
        TStopCase{"CancelGoesNowhere", bkCancel, "", {"cancel on P1", "wizard cancel"}, 1},
        TStopCase{"BackMoves",
                  bkBack,
                  "next",
                  {"back on P1", "wizard back", "exit P1 to P0", "enter P0 from P1"},
                  0}),
    [](const testing::TestParamInfo<TStopCase>& Info) { return Info.param.Name; });

// ------------------------------------------------------------ buttons

struct TButtonCase {
    const char* Name;
    TWizardButtonSet Visible;
    TWizardButtonSet Enabled;
    int Page;          // page activated (page 0 is the first enabled page)
    std::string State; // see ButtonState
    int DefaultKind;   // -1: no default button
};

class ButtonTest : public WizardTest, public testing::WithParamInterface<TButtonCase> {};

TEST_P(ButtonTest, FollowTheActivePage) {
    const TButtonCase& C = GetParam();
    AddPages(3);
    Wizard->Page(C.Page).SetVisibleButtons(C.Visible);
    Wizard->Page(C.Page).SetEnabledButtons(C.Enabled);
    Wizard->MoveFirst();
    Wizard->ActivatePage(&Wizard->Page(C.Page));
    EXPECT_EQ(ButtonState(), C.State);
    TWizardButton* Default = Wizard->DefaultButton();
    EXPECT_EQ(Default ? int(Default->Kind()) : -1, C.DefaultKind);
    for (TWizardButtonKind Kind : {bkBack, bkNext, bkFinish, bkCancel}) {
        LONG Style = GetWindowLongA(Wizard->Button(Kind).Handle(), GWL_STYLE) & BS_TYPEMASK;
        EXPECT_EQ(Style == BS_DEFPUSHBUTTON, int(Kind) == C.DefaultKind) << Kind;
    }
}

const TWizardButtonSet All = TWizardButtonSet::All();

INSTANTIATE_TEST_SUITE_P(
    Cases, ButtonTest,
    testing::Values(
        TButtonCase{"Interior", {bkBack, bkNext, bkCancel}, All, 1, "BN-C", bkNext},
        TButtonCase{"FirstPageHasNoBack", {bkBack, bkNext, bkCancel}, All, 0, "bN-C", bkNext},
        TButtonCase{"NextDisabled", {bkBack, bkNext, bkCancel}, {bkBack, bkCancel}, 1, "Bn-C", -1},
        TButtonCase{"NextDisabledFinishShown",
                    {bkNext, bkFinish, bkCancel},
                    {bkFinish, bkCancel},
                    1,
                    "-nFC",
                    bkFinish},
        TButtonCase{"LoneFinish", {bkFinish}, All, 2, "--F-", bkFinish},
        TButtonCase{"ProgressPage", {bkNext, bkCancel}, {bkCancel}, 2, "-n-C", -1}),
    [](const testing::TestParamInfo<TButtonCase>& Info) { return Info.param.Name; });

TEST_F(WizardTest, BackStaysRemovedFromAPageThatWasFirst) {
    AddPages(3);
    Wizard->Page(0).SetEnabled(false);
    Wizard->MoveFirst();
    EXPECT_FALSE(Wizard->Page(1).EnabledButtons().Contains(bkBack));
    Wizard->Page(0).SetEnabled(true);
    Wizard->MoveNext();
    Wizard->MoveBack();
    EXPECT_EQ(Active(), 1);
    EXPECT_EQ(ButtonState(), "bN-C");
    Wizard->Page(1).SetButtonEnabled(bkBack, true);
    EXPECT_EQ(ButtonState(), "BN-C");
}

TEST_F(WizardTest, SetButtonEnabledRefreshesOnlyTheActivePage) {
    AddPages(3);
    Wizard->MoveFirst();
    Wizard->MoveNext();
    Wizard->Page(1).SetButtonEnabled(bkNext, false);
    EXPECT_EQ(ButtonState(), "Bn-C");
    EXPECT_EQ(Wizard->DefaultButton(), nullptr);
    Wizard->Page(2).SetButtonEnabled(bkCancel, false); // inactive: takes effect later
    EXPECT_EQ(ButtonState(), "Bn-C");
    Wizard->Page(1).SetButtonEnabled(bkNext, true);
    EXPECT_EQ(ButtonState(), "BN-C");
    Wizard->MoveNext();
    EXPECT_EQ(ButtonState(), "BN-c");
}

// ------------------------------------------------------------ geometry

struct TGeometryCase {
    const char* Name;
    TWizardButtonSet Visible;
    int NextWidth;
    // Expected left edges (design pixels from the bar's left) of Back, Next,
    // Finish, Cancel; -1 for a hidden button.
    int Left[4];
};

class GeometryTest : public WizardTest, public testing::WithParamInterface<TGeometryCase> {};

TEST_P(GeometryTest, ButtonsStandAtTheRightOfTheBar) {
    const TGeometryCase& C = GetParam();
    AddPages(2);
    Wizard->Button(bkNext).SetWidth(C.NextWidth);
    Wizard->Page(1).SetVisibleButtons(C.Visible);
    Wizard->MoveFirst();
    Wizard->MoveNext();
    RECT Client{};
    GetClientRect(Wizard->Handle(), &Client);
    ASSERT_EQ(Client.right, UiScale(540)); // the host makes it 540 x 432
    int BarTop = Client.bottom - UiScale(TWizard::ButtonBarHeight);
    int I = 0;
    for (TWizardButtonKind Kind : {bkBack, bkNext, bkFinish, bkCancel}) {
        HWND Button = Wizard->Button(Kind).Handle();
        if (C.Left[I] < 0) {
            EXPECT_FALSE(GetWindowLongA(Button, GWL_STYLE) & WS_VISIBLE) << Kind;
        } else {
            RECT R{};
            GetWindowRect(Button, &R);
            MapWindowPoints(nullptr, Wizard->Handle(), reinterpret_cast<POINT*>(&R), 2);
            int Width = Kind == bkNext ? C.NextWidth : 75;
            EXPECT_EQ(R.left, UiScale(C.Left[I])) << Kind;
            EXPECT_EQ(R.right - R.left, UiScale(Width)) << Kind;
            EXPECT_EQ(R.top - BarTop, UiScale(10)) << Kind;
            EXPECT_EQ(R.bottom - R.top, UiScale(25)) << Kind;
        }
        ++I;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeometryTest,
    testing::Values(
        // 540 - 8 = 532: Cancel 457..532, 10 gap, Next 372..447, 2 gap, Back 295..370.
        TGeometryCase{"BackNextCancel", {bkBack, bkNext, bkCancel}, 75, {295, 372, -1, 457}},
        TGeometryCase{"NextCancel", {bkNext, bkCancel}, 75, {-1, 372, -1, 457}},
        TGeometryCase{"LoneFinish", {bkFinish}, 75, {-1, -1, 457, -1}},
        TGeometryCase{"BackNextNoCancel", {bkBack, bkNext}, 75, {380, 457, -1, -1}},
        TGeometryCase{"AllFour", {bkBack, bkNext, bkFinish, bkCancel}, 75, {218, 295, 372, 457}},
        TGeometryCase{"WideNext", {bkBack, bkNext, bkCancel}, 100, {270, 347, -1, 457}}),
    [](const testing::TestParamInfo<TGeometryCase>& Info) { return Info.param.Name; });

// ------------------------------------------------------------ keyboard

struct TKeyCase {
    const char* Name;
    TWizardButtonSet Visible;
    TWizardButtonSet Enabled;
    WPARAM Key;
    int FocusOn; // 0: the page, 1: Back, 2: a push button on the page
    Strings Events;
};

class KeyboardTest : public WizardTest, public testing::WithParamInterface<TKeyCase> {};

TEST_P(KeyboardTest, EnterAndEscapeThroughIsDialogMessage) {
    const TKeyCase& C = GetParam();
    AddPages(3);
    TWizardCustomPage& Page = Wizard->Page(1);
    Page.SetVisibleButtons(C.Visible);
    Page.SetEnabledButtons(C.Enabled);
    const int PageButtonId = 4711;
    HWND PageButton = CreateWindowExA(
        0, "BUTTON", "Browse...", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 10, 80, 75,
        25, Page.Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(PageButtonId)),
        GetModuleHandleA(nullptr), nullptr);
    Wizard->MoveFirst();
    Show();
    Wizard->MoveNext();
    HWND Focus = C.FocusOn == 1   ? Wizard->Button(bkBack).Handle()
                 : C.FocusOn == 2 ? PageButton
                                  : Page.Handle();
    SetFocus(Focus);
    ASSERT_EQ(GetFocus(), Focus);
    Log.clear();
    HostCommands.clear();
    MSG Msg{Focus, WM_KEYDOWN, C.Key, 1, GetTickCount(), {0, 0}};
    EXPECT_TRUE(IsDialogMessageA(Host, &Msg));
    Strings Events = Log;
    for (int Id : HostCommands)
        if (Id == PageButtonId) Events.push_back("page button");
    EXPECT_EQ(Events, C.Events);
}

const TWizardButtonSet Usual{bkBack, bkNext, bkCancel};

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyboardTest,
    testing::Values(
        TKeyCase{"EnterPressesNext",
                 Usual,
                 All,
                 VK_RETURN,
                 0,
                 {"next on P1", "wizard next", "exit P1 to P2", "enter P2 from P1", "page P2"}},
        TKeyCase{
            "EscapePressesCancel", Usual, All, VK_ESCAPE, 0, {"cancel on P1", "wizard cancel"}},
        TKeyCase{"EnterWithNextDisabledDoesNothing", Usual, {bkBack, bkCancel}, VK_RETURN, 0, {}},
        TKeyCase{"EnterPressesFinishWhenNextIsDisabled",
                 {bkNext, bkFinish, bkCancel},
                 {bkFinish, bkCancel},
                 VK_RETURN,
                 0,
                 {"finish on P1", "wizard finish"}},
        TKeyCase{"EscapeWithCancelDisabledDoesNothing", Usual, {bkBack, bkNext}, VK_ESCAPE, 0, {}},
        TKeyCase{"EscapeWithCancelHiddenDoesNothing", {bkBack, bkNext}, All, VK_ESCAPE, 0, {}},
        TKeyCase{"EnterOnFocusedBackPressesBack",
                 Usual,
                 All,
                 VK_RETURN,
                 1,
                 {"back on P1", "wizard back", "exit P1 to P0", "enter P0 from P1", "page P0"}},
        TKeyCase{"EnterOnFocusedPageButtonClicksIt", Usual, All, VK_RETURN, 2, {"page button"}}),
    [](const testing::TestParamInfo<TKeyCase>& Info) { return Info.param.Name; });

// ------------------------------------------------------------ header and room

TEST_F(WizardTest, HeaderTextChangeIsPaintedAtOnce) {
    AddPages(2);
    Wizard->MoveFirst();
    Show();
    for (int I = 0; I < 2; ++I) {
        Wizard->ActivatePage(&Wizard->Page(I));
        HWND Page = Wizard->Page(I).Handle();
        UpdateWindow(Page);
        Wizard->Page(I).Header.Subtitle.SetText("A subtitle set while the page is shown");
        RECT Pending;
        EXPECT_FALSE(GetUpdateRect(Page, &Pending, FALSE)) << I;
        EXPECT_EQ(Wizard->Page(I).Header.Subtitle.Text(), "A subtitle set while the page is shown");
    }
}

TEST_F(WizardTest, ClientRectLeavesRoomForHeaderAndPicture) {
    TWizardWelcomePage& Welcome = Wizard->AddWelcomePage();
    TWizardInteriorPage& Interior = Wizard->AddInteriorPage();
    RECT Page{};
    GetClientRect(Interior.Handle(), &Page);
    EXPECT_EQ(Page.bottom, UiScale(432 - TWizard::ButtonBarHeight));

    RECT Room = Interior.ClientRect();
    EXPECT_EQ(Room.left, 0);
    EXPECT_GE(Room.top, UiScale(57));
    EXPECT_EQ(Room.right, Page.right);
    EXPECT_EQ(Room.bottom, Page.bottom);
    Interior.SetPicture(CreateBitmap(16, 16, 1, 32, nullptr));
    EXPECT_EQ(Interior.ClientRect().left, UiScale(Interior.PictureWidth()));

    Room = Welcome.ClientRect();
    EXPECT_EQ(Room.left, UiScale(Welcome.PictureWidth()));
    EXPECT_GT(Room.top, UiScale(57));
    EXPECT_LT(Room.top, Page.bottom / 2);
}

TEST_F(WizardTest, PageControlsReportToTheWizardsParent) {
    AddPages(1);
    Wizard->MoveFirst();
    HWND Check = CreateWindowExA(0, "BUTTON", "Yes", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 10,
                                 80, 100, 20, Wizard->Page(0).Handle(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(321)),
                                 GetModuleHandleA(nullptr), nullptr);
    Show();
    HostCommands.clear();
    SendMessageA(Check, BM_CLICK, 0, 0);
    EXPECT_EQ(HostCommands, std::vector<int>{321});
    EXPECT_EQ(SendMessageA(Check, BM_GETCHECK, 0, 0), BST_CHECKED);
}

} // namespace
