// The folder-browse dialog and the directory frame, driven for real: a
// helper thread finds the shell's dialog, looks at it and presses its
// buttons while the test thread waits inside Execute.
#include "platform/OsError.h"
#include "platform/Owners.h"
#include "ui/AppError.h"
#include "ui/BrowseFolderDialog.h"
#include "ui/Centring.h"
#include "ui/FrmDirEditBrowse.h"
#include "ui/UiScale.h"
#include "support/Files.h"
#include "support/Ui.h"

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

BOOL CALLBACK CollectDialog(HWND Wnd, LPARAM Data) {
    char Class[64] = {};
    GetClassNameA(Wnd, Class, sizeof Class);
    if (std::strcmp(Class, "#32770") == 0 && IsWindowVisible(Wnd))
        reinterpret_cast<std::vector<HWND>*>(Data)->push_back(Wnd);
    return TRUE;
}

// The visible shell dialogs of the thread.
std::vector<HWND> BrowseDialogs(DWORD Thread) {
    std::vector<HWND> Found;
    EnumThreadWindows(Thread, CollectDialog, reinterpret_cast<LPARAM>(&Found));
    return Found;
}

HWND WaitForDialog(DWORD Thread) {
    // A cold prefix takes its time to load the shell the first time.
    for (int I = 0; I < 600; ++I) {
        std::vector<HWND> Found = BrowseDialogs(Thread);
        if (!Found.empty()) {
            // The tree has a selection once it is filled.
            HWND TreeView = FindWindowExA(Found.front(), nullptr, WC_TREEVIEWA, nullptr);
            for (int J = 0; J < 60; ++J) {
                if (SendMessageA(TreeView, TVM_GETNEXTITEM, TVGN_CARET, 0)) break;
                Sleep(50);
            }
            return Found.front();
        }
        Sleep(50);
    }
    return nullptr;
}

HWND Tree(HWND Dialog) {
    return FindWindowExA(Dialog, nullptr, WC_TREEVIEWA, nullptr);
}

std::string SelectedText(HWND Dialog) {
    HWND TreeView = Tree(Dialog);
    auto Item = reinterpret_cast<HTREEITEM>(SendMessageA(TreeView, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!Item) return "";
    char Text[MAX_PATH] = {};
    TVITEMA Info{};
    Info.mask = TVIF_TEXT;
    Info.hItem = Item;
    Info.pszText = Text;
    Info.cchTextMax = MAX_PATH;
    SendMessageA(TreeView, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&Info));
    return Text;
}

// The dialog selects its folder once it has started, and a loaded machine
// may show the dialog well before that: waits for Leaf to be selected.
std::string AwaitSelected(HWND Dialog, const std::string& Leaf) {
    std::string Selected = SelectedText(Dialog);
    for (int Waited = 0; Waited < 15000 && Lower(Selected) != Lower(Leaf); Waited += 100) {
        Sleep(100);
        Selected = SelectedText(Dialog);
    }
    return Selected;
}

bool OkEnabled(HWND Dialog) {
    return IsWindowEnabled(GetDlgItem(Dialog, IDOK)) != FALSE;
}

bool HasChildText(HWND Dialog, const std::string& Text) {
    for (HWND Child : Descendants(Dialog))
        if (WindowText(Child) == Text) return true;
    return false;
}

bool IsCentred(HWND Dialog) {
    RECT R{};
    GetWindowRect(Dialog, &R);
    TWindowOrigin Expected =
        CentredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                      R.right - R.left, R.bottom - R.top);
    return R.left == Expected.Left && R.top == Expected.Top;
}

void Press(HWND Dialog, int Id) {
    PostMessageA(Dialog, WM_COMMAND, MAKEWPARAM(Id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(Dialog, Id)));
}

void SelectPath(HWND Dialog, const char* Path) {
    SendMessageA(Dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(Path));
}

// Selects "My Computer", an item without a file-system path.
void SelectComputer(HWND Dialog) {
    LPITEMIDLIST Computer = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &Computer))) {
        const TItemIdList Owned(Computer);
        SendMessageA(Dialog, BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(Computer));
    }
}

// Runs Action on this thread while Driver works the dialog from a helper
// thread. Driver gets the dialog (none when it never showed) and must close it.
void WithDialog(const std::function<void()>& Action, const std::function<void(HWND)>& Driver) {
    DWORD Thread = GetCurrentThreadId();
    std::atomic<bool> Done{false};
    std::thread Helper([&] {
        {
            const TComScope Com;
            Driver(WaitForDialog(Thread));
        }
        // A dialog that never closes would hang the run: end it loudly instead.
        for (int I = 0; I < 600 && !Done; ++I)
            Sleep(50);
        if (!Done) {
            std::fprintf(stderr, "The folder dialog did not close\n");
            std::_Exit(3);
        }
    });
    Action();
    Done = true;
    Helper.join();
}

LRESULT CALLBACK PlainProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    return DefWindowProcA(Wnd, Msg, WParam, LParam);
}

HWND MakeWindow(const char* Caption, bool Visible) {
    static const bool Registered = [] {
        WNDCLASSA Class{};
        Class.lpfnWndProc = PlainProc;
        Class.hInstance = GetModuleHandleA(nullptr);
        Class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        Class.lpszClassName = "UiFolderTestHost";
        return RegisterClassA(&Class) != 0;
    }();
    (void)Registered;
    HWND Wnd = CreateWindowExA(0, "UiFolderTestHost", Caption, WS_OVERLAPPEDWINDOW, 40, 40, 560,
                               200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (Visible) {
        ShowWindow(Wnd, SW_SHOW);
        UpdateWindow(Wnd);
    }
    return Wnd;
}

// The shell's word of a change in Path reaches every window that listens
// before this returns: Wine's dialog rebuilds its tree (losing the
// selection) when it hears late of changes in the folders it shows.
void ShellKnowsOf(LONG Change, const std::string& Path) {
    SHChangeNotify(Change, SHCNF_PATHA | SHCNF_FLUSH, Path.c_str(), nullptr);
}

// The folders and the file the dialogs look at are made once, before the
// first dialog.
struct TFixtureFiles {
    TTempFolder Dir{"ui-browse"};
    std::string Folder = Dir.Path();
    std::string File = Dir / "file.txt";
    TFixtureFiles() {
        WriteWholeFile(File, "");
        ShellKnowsOf(SHCNE_CREATE, File);
    }
};

const TFixtureFiles& Files() {
    static TFixtureFiles Instance;
    return Instance;
}

class FolderTest : public testing::Test {
protected:
    void SetUp() override {
        Folder = Files().Folder;
        Leaf = Folder.substr(Folder.find_last_of('\\') + 1);
        Host = MakeWindow("Folder test", true);
        SetActiveWindow(Host);
    }
    void TearDown() override { DestroyWindow(Host); }
    std::string Folder;
    std::string Leaf;
    HWND Host = nullptr;
};

// ------------------------------------------------------------ preselection

struct TPreselectCase {
    const char* Name;
    int Kind; // 0: the existing folder, 1: a missing one, 2: a file, 3: empty
    bool Preselected;
};

class PreselectTest : public FolderTest, public testing::WithParamInterface<TPreselectCase> {};

TEST_P(PreselectTest, OnlyAnExistingFolderIsPreselected) {
    const TPreselectCase& C = GetParam();
    const std::string Names[] = {Folder, Folder + "\\missing", Files().File, ""};

    TBrowseFolderDialog Dialog;
    Dialog.DialogText = "Pick one:";
    Dialog.FolderName = Names[C.Kind];
    bool Found = false, Centred = false, Ok = false, Text = false;
    std::string Selected;
    bool Result = true;
    WithDialog([&] { Result = Dialog.Execute(); },
               [&](HWND D) {
                   if (!D) return;
                   Found = true;
                   Centred = IsCentred(D);
                   Selected = C.Preselected ? AwaitSelected(D, Leaf) : SelectedText(D);
                   Ok = OkEnabled(D);
                   Text = HasChildText(D, "Pick one:");
                   Press(D, IDCANCEL);
               });
    ASSERT_TRUE(Found);
    EXPECT_TRUE(Centred);
    EXPECT_TRUE(Text);
    EXPECT_EQ(Lower(Selected) == Lower(Leaf), C.Preselected) << Selected;
    if (C.Preselected) {
        EXPECT_TRUE(Ok);
    }
    EXPECT_FALSE(Result);
    EXPECT_EQ(Dialog.FolderName, Names[C.Kind]); // cancel changes nothing
}

INSTANTIATE_TEST_SUITE_P(Cases, PreselectTest,
                         testing::Values(TPreselectCase{"ExistingFolder", 0, true},
                                         TPreselectCase{"MissingFolder", 1, false},
                                         TPreselectCase{"File", 2, false},
                                         TPreselectCase{"Empty", 3, false}),
                         [](const testing::TestParamInfo<TPreselectCase>& Info) {
                             return Info.param.Name;
                         });

// ------------------------------------------------------------ OK state

TEST_F(FolderTest, OkFollowsTheSelection) {
    TBrowseFolderDialog Dialog;
    Dialog.FolderName = Folder;
    std::vector<std::pair<std::string, bool>> States;
    bool Found = false;
    WithDialog([&] { Dialog.Execute(); },
               [&](HWND D) {
                   if (!D) return;
                   Found = true;
                   States.emplace_back("preselected " + AwaitSelected(D, Leaf), OkEnabled(D));
                   SelectComputer(D);
                   States.emplace_back("computer", OkEnabled(D));
                   SelectPath(D, "C:\\windows");
                   States.emplace_back("windows", OkEnabled(D));
                   Press(D, IDCANCEL);
               });
    ASSERT_TRUE(Found);
    using S = std::vector<std::pair<std::string, bool>>;
    EXPECT_EQ(States, (S{{"preselected " + Leaf, true}, {"computer", false}, {"windows", true}}));
}

// Wine's dialog checks the selection once more after the callback, so a
// folder that vanished while listed shows an enabled OK there; the rule the
// callback applies is checked on its own.
TEST_F(FolderTest, OkRuleAcceptsOnlyExistingDirectories) {
    const std::string& File = Files().File;
    auto GoneFolder = std::make_unique<TTempFolder>("ui-gone");
    const std::string Gone = GoneFolder->Path();
    LPITEMIDLIST Computer = nullptr;
    SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &Computer);
    struct TItem {
        const char* Name;
        TItemIdList Item;
        bool Expected;
    } Items[] = {{"folder", TItemIdList(ILCreateFromPathA(Folder.c_str())), true},
                 {"drive root", TItemIdList(ILCreateFromPathA("C:\\")), true},
                 {"file", TItemIdList(ILCreateFromPathA(File.c_str())), false},
                 {"vanished folder", TItemIdList(ILCreateFromPathA(Gone.c_str())), false},
                 {"computer", TItemIdList(Computer), false},
                 {"none", nullptr, false}};
    GoneFolder.reset();
    for (const TItem& I : Items) {
        if (std::string(I.Name) != "none") {
            ASSERT_NE(I.Item, nullptr) << I.Name;
        }
        EXPECT_EQ(IsExistingFolderItem(I.Item.get()), I.Expected) << I.Name;
    }
    ShellKnowsOf(SHCNE_RMDIR, Gone); // see TFixtureFiles
}

// ------------------------------------------------------------ results

struct TChoiceCase {
    const char* Name;
    const char* Select;
    const char* Expected;
};

class ChoiceTest : public FolderTest, public testing::WithParamInterface<TChoiceCase> {};

TEST_P(ChoiceTest, GivesThePathWithoutTrailingBackslash) {
    const TChoiceCase& C = GetParam();
    TBrowseFolderDialog Dialog;
    bool Result = false, Ok = false;
    WithDialog([&] { Result = Dialog.Execute(); },
               [&](HWND D) {
                   if (!D) return;
                   SelectPath(D, C.Select);
                   Ok = OkEnabled(D);
                   Press(D, IDOK);
               });
    EXPECT_TRUE(Ok);
    EXPECT_TRUE(Result);
    EXPECT_EQ(Lower(Dialog.FolderName), Lower(C.Expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChoiceTest,
    testing::Values(TChoiceCase{"DriveRoot", "C:\\", "C:"},
                    TChoiceCase{"FolderBelowRoot", "C:\\windows", "C:\\windows"}),
    [](const testing::TestParamInfo<TChoiceCase>& Info) { return Info.param.Name; });

// ------------------------------------------------------------ other windows

struct TWindowsCase {
    const char* Name;
    bool ChooseVirtualItem; // OK on an item without a path: Execute raises
};

class ThreadWindowsTest : public FolderTest, public testing::WithParamInterface<TWindowsCase> {};

TEST_P(ThreadWindowsTest, AreEnabledAgainAndTheActiveOneReactivated) {
    HWND Disabled = MakeWindow("Disabled before", true);
    EnableWindow(Disabled, FALSE);
    HWND Hidden = MakeWindow("Hidden", false);
    HWND Other = MakeWindow("Other", true);
    SetActiveWindow(Host);
    ASSERT_EQ(GetActiveWindow(), Host);

    TBrowseFolderDialog Dialog;
    Dialog.FolderName = Folder;
    bool During[4] = {};
    bool Raised = false;
    std::string Message;
    WithDialog(
        [&] {
            try {
                Dialog.Execute();
            } catch (const EOSError& E) {
                Raised = true;
                Message = E.what();
            }
        },
        [&](HWND D) {
            if (!D) return;
            During[0] = IsWindowEnabled(Host);
            During[1] = IsWindowEnabled(Other);
            During[2] = IsWindowEnabled(Disabled);
            During[3] = IsWindowEnabled(Hidden);
            if (GetParam().ChooseVirtualItem) {
                SelectComputer(D);
                Press(D, IDOK); // the button is disabled; the command is not
            } else {
                Press(D, IDCANCEL);
            }
        });
    EXPECT_FALSE(During[0]);
    EXPECT_FALSE(During[1]);
    EXPECT_FALSE(During[2]);
    EXPECT_TRUE(During[3]); // hidden windows are left alone
    EXPECT_TRUE(IsWindowEnabled(Host));
    EXPECT_TRUE(IsWindowEnabled(Other));
    EXPECT_FALSE(IsWindowEnabled(Disabled));
    EXPECT_TRUE(IsWindowEnabled(Hidden));
    EXPECT_EQ(GetActiveWindow(), Host);
    EXPECT_EQ(Raised, GetParam().ChooseVirtualItem);
    if (Raised) {
        EXPECT_TRUE(Message.rfind("System Error.  Code: ", 0) == 0 ||
                    Message == "A call to an OS function failed")
            << Message;
        EXPECT_EQ(Dialog.FolderName, Folder);
    }
    for (HWND Wnd : {Disabled, Hidden, Other})
        DestroyWindow(Wnd);
}

INSTANTIATE_TEST_SUITE_P(Cases, ThreadWindowsTest,
                         testing::Values(TWindowsCase{"Cancelled", false},
                                         TWindowsCase{"ItemWithoutPath", true}),
                         [](const testing::TestParamInfo<TWindowsCase>& Info) {
                             return Info.param.Name;
                         });

// ------------------------------------------------------------ the frame

class FrameTest : public FolderTest {
protected:
    void SetUp() override {
        FolderTest::SetUp();
        Frame = std::make_unique<TFrameDirEditBrowse>(Host, 10, 10);
        SetErrorReport([this](const std::string& Message) { Reports.push_back(Message); });
    }
    void TearDown() override {
        SetErrorReport(nullptr);
        Frame.reset();
        FolderTest::TearDown();
    }
    std::string Text() const { return WindowText(Frame->EditDirectory()); }
    void SetText(const std::string& Text) { SetWindowTextA(Frame->EditDirectory(), Text.c_str()); }
    void Click() {
        SendMessageA(Frame->Handle(), WM_COMMAND,
                     MAKEWPARAM(GetDlgCtrlID(Frame->BtnDirBrowse()), BN_CLICKED),
                     reinterpret_cast<LPARAM>(Frame->BtnDirBrowse()));
    }
    std::unique_ptr<TFrameDirEditBrowse> Frame;
    std::vector<std::string> Reports;
};

struct TFrameCase {
    const char* Name;
    std::string Typed; // "<folder>" stands for the test folder
    int Action;        // 0: cancel, 1: OK on the preselection, 2: OK on C:\ .
    std::string Expected;
    bool Preselected;
};

class FrameBrowseTest : public FrameTest, public testing::WithParamInterface<TFrameCase> {};

TEST_P(FrameBrowseTest, PutsOnlyAChosenFolderIntoTheEditBox) {
    const TFrameCase& C = GetParam();
    auto Expand = [this](std::string S) { return S == "<folder>" ? Folder : S; };
    SetText(Expand(C.Typed));
    bool Preselected = false, Busy = false, Instruction = false;
    WithDialog([&] { Click(); },
               [&](HWND D) {
                   if (!D) return;
                   const std::string Selected =
                       C.Preselected ? AwaitSelected(D, Leaf) : SelectedText(D);
                   Preselected = Lower(Selected) == Lower(Leaf);
                   Busy = Frame->Busy();
                   Instruction = HasChildText(D, "Please select the directory below:");
                   if (C.Action == 2) SelectPath(D, "C:\\");
                   Press(D, C.Action == 0 ? IDCANCEL : IDOK);
               });
    EXPECT_TRUE(Busy);
    EXPECT_TRUE(Instruction);
    EXPECT_EQ(Preselected, C.Preselected);
    EXPECT_EQ(Lower(Text()), Lower(Expand(C.Expected)));
    EXPECT_FALSE(Frame->Busy());
    EXPECT_TRUE(Reports.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameBrowseTest,
    testing::Values(TFrameCase{"CancelKeepsTypedText", "  C:\\no such\\place\\ ", 0,
                               "  C:\\no such\\place\\ ", false},
                    TFrameCase{"CancelKeepsFolder", "<folder>", 0, "<folder>", true},
                    TFrameCase{"OkOnPreselection", "<folder>", 1, "<folder>", true},
                    TFrameCase{"DriveRoot", "", 2, "C:", false}),
    [](const testing::TestParamInfo<TFrameCase>& Info) { return Info.param.Name; });

TEST_F(FrameTest, SecondBrowseWhileOneRunsIsIgnored) {
    SetText(Folder);
    size_t Dialogs = 0;
    bool ClickReturned = false, DoubleClickReturned = false, StillBusy = false;
    WithDialog([&] { Click(); },
               [&](HWND D) {
                   if (!D) return;
                   DWORD_PTR Reply = 0;
                   // Sent, not posted: a browse that were not ignored would
                   // open a second dialog and not return in time.
                   ClickReturned = SendMessageTimeoutA(
                                       Frame->Handle(), WM_COMMAND,
                                       MAKEWPARAM(GetDlgCtrlID(Frame->BtnDirBrowse()), BN_CLICKED),
                                       reinterpret_cast<LPARAM>(Frame->BtnDirBrowse()), SMTO_NORMAL,
                                       3000, &Reply) != 0;
                   DoubleClickReturned =
                       SendMessageTimeoutA(Frame->EditDirectory(), WM_LBUTTONDBLCLK, MK_LBUTTON,
                                           MAKELPARAM(5, 5), SMTO_NORMAL, 3000, &Reply) != 0;
                   Dialogs = BrowseDialogs(GetWindowThreadProcessId(D, nullptr)).size();
                   StillBusy = Frame->Busy();
                   for (HWND Each : BrowseDialogs(GetWindowThreadProcessId(D, nullptr)))
                       Press(Each, IDCANCEL);
               });
    EXPECT_TRUE(ClickReturned);
    EXPECT_TRUE(DoubleClickReturned);
    EXPECT_EQ(Dialogs, 1u);
    EXPECT_TRUE(StillBusy);
    EXPECT_FALSE(Frame->Busy());
    EXPECT_EQ(Lower(Text()), Lower(Folder));
}

TEST_F(FrameTest, DoubleClickInTheEditBoxBrowses) {
    bool Found = false;
    WithDialog([&] { SendMessageA(Frame->EditDirectory(), WM_LBUTTONDBLCLK, MK_LBUTTON, 0); },
               [&](HWND D) {
                   Found = D != nullptr;
                   if (D) Press(D, IDCANCEL);
               });
    EXPECT_TRUE(Found);
    EXPECT_FALSE(Frame->Busy());
}

TEST_F(FrameTest, DialogErrorReachesTheErrorReportWithTextKept) {
    SetText(Folder);
    WithDialog([&] { Click(); },
               [&](HWND D) {
                   if (!D) return;
                   SelectComputer(D);
                   Press(D, IDOK);
               });
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_TRUE(Reports[0].rfind("System Error.  Code: ", 0) == 0 ||
                Reports[0] == "A call to an OS function failed")
        << Reports[0];
    EXPECT_EQ(Text(), Folder);
    EXPECT_FALSE(Frame->Busy());

    // Called directly, the same error reaches the caller.
    WithDialog([&] { EXPECT_THROW(Frame->BtnDirBrowseClick(), EOSError); },
               [&](HWND D) {
                   if (!D) return;
                   SelectComputer(D);
                   Press(D, IDOK);
               });
    EXPECT_FALSE(Frame->Busy());
}

TEST_F(FrameTest, ButtonHasItsTooltip) {
    EXPECT_EQ(WindowText(Frame->BtnDirBrowse()), "...");
    ASSERT_NE(Frame->Tooltip(), nullptr);
    EXPECT_EQ(SendMessageA(Frame->Tooltip(), TTM_GETTOOLCOUNT, 0, 0), 1);
    char Text[80] = {};
    TTTOOLINFOA Tool{};
    Tool.cbSize = TTTOOLINFOA_V1_SIZE;
    Tool.hwnd = Frame->Handle();
    Tool.uId = reinterpret_cast<UINT_PTR>(Frame->BtnDirBrowse());
    Tool.lpszText = Text;
    SendMessageA(Frame->Tooltip(), TTM_GETTEXTA, sizeof Text, reinterpret_cast<LPARAM>(&Tool));
    EXPECT_STREQ(Text, "Browse...");
}

RECT Bounds(HWND Wnd) {
    RECT R{};
    GetWindowRect(Wnd, &R);
    MapWindowPoints(nullptr, GetParent(Wnd), reinterpret_cast<POINT*>(&R), 2);
    return R;
}

void ExpectBounds(HWND Wnd, int Left, int Top, int Width, int Height) {
    RECT R = Bounds(Wnd);
    EXPECT_EQ(R.left, UiScale(Left));
    EXPECT_EQ(R.top, UiScale(Top));
    EXPECT_EQ(R.right - R.left, UiScale(Width));
    EXPECT_EQ(R.bottom - R.top, UiScale(Height));
}

TEST_F(FrameTest, OwnerSetsTheGeometryAndAnchorsFollowTheFrame) {
    ExpectBounds(Frame->Handle(), 10, 10, 319, 46);
    ExpectBounds(Frame->EditDirectory(), 4, 20, 288, 21);
    ExpectBounds(Frame->BtnDirBrowse(), 295, 20, 21, 21);

    // The destination page's layout.
    Frame->SetBounds(Frame->Handle(), 12, 300, 515, 48);
    Frame->SetBounds(Frame->LblCaption(), 4, 6, -1, -1);
    Frame->SetBounds(Frame->EditDirectory(), -1, 23, 439, -1);
    Frame->SetBounds(Frame->BtnDirBrowse(), 450, -1, 62, 25);
    SetWindowTextA(Frame->BtnDirBrowse(), "Browse...");
    ExpectBounds(Frame->LblCaption(), 4, 6, 280, 13);
    ExpectBounds(Frame->EditDirectory(), 4, 23, 439, 21);
    ExpectBounds(Frame->BtnDirBrowse(), 450, 20, 62, 25);

    // Growing the frame grows the edit box and the separator, moves the button.
    Frame->SetBounds(Frame->Handle(), -1, -1, 535, -1);
    ExpectBounds(Frame->EditDirectory(), 4, 23, 459, 21);
    ExpectBounds(Frame->BtnDirBrowse(), 470, 20, 62, 25);
    ExpectBounds(Frame->Bevel(), 0, 0, 535, 9);
    ExpectBounds(Frame->LblCaption(), 4, 6, 280, 13);
}

} // namespace
