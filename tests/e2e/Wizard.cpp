#include "e2e/Wizard.h"

#include "e2e/Machine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace e2e {

namespace {
// A cold Wine prefix can take many seconds to show the first window.
constexpr DWORD FirstWindowMs = 90000;
constexpr DWORD PageMs = 20000;
// Common dialog control ids of the file name field.
constexpr int FileNameCombo = 0x47c;
constexpr int FileNameEdit = 0x480;
} // namespace

const char* PageName(TPage Page) {
    switch (Page) {
    case TPage::None:
        return "no known page";
    case TPage::Welcome:
        return "welcome";
    case TPage::Maintenance:
        return "maintenance";
    case TPage::License:
        return "licence";
    case TPage::Destination:
        return "destination";
    case TPage::Folder:
        return "program folder";
    case TPage::Compile:
        return "progress";
    case TPage::Finish:
        return "finish";
    }
    return "?";
}

void TShots::Take(const std::string& Name, bool Settle) {
    char Number[8];
    std::snprintf(Number, sizeof(Number), "%02d-", ++FCount);
    // A page needs a moment to paint after it became visible.
    if (Settle) Sleep(300);
    std::string File = Number + Name;
    for (char& C : File)
        if (C == ' ') C = '-';
    if (!SaveScreenshot(JoinPath(FFolder, File + ".bmp")))
        Fail("screenshot " + File, "not written");
    // The log of a flow tells when each picture was taken.
    std::printf("[%7.1f s] %s\n", (GetTickCount() - FStarted) / 1000.0, File.c_str());
    std::fflush(stdout);
}

TInstaller::TInstaller(const std::string& Exe, const std::string& Folder, TShots& Shots,
                       const std::string& Args)
    : FProcess(Exe, Args, Folder), FShots(Shots) {
    WaitFor(FirstWindowMs, [&] {
        for (HWND Window : TopWindows(FProcess.Id()))
            if (WindowText(Window) == Texts::Caption) FWindow = Window;
        if (HWND Other = FindWindowA(nullptr, Texts::Caption.c_str()); !FWindow && Other)
            FWindow = Other;
        // A start-up error is reported in a message box instead of the window.
        return FWindow != nullptr || !FProcess.Running() || Dialog() != nullptr;
    });
    if (!FWindow) {
        if (HWND Box = Dialog()) Fail("start the installer", "it shows '" + DialogText(Box) + "'");
        if (!FProcess.Running())
            Fail("start the installer", "it ended with exit code " +
                                            std::to_string(FProcess.ExitCode()) +
                                            " without showing its window");
        Fail("start the installer", "no window '" + Texts::Caption + "' within " +
                                        std::to_string(FirstWindowMs / 1000) +
                                        " s, and the process still runs (hung, or stopped "
                                        "in the crash handler)");
    }
}

TInstaller::~TInstaller() {
    // A flow that failed while the program still runs: keep what it showed.
    if (std::uncaught_exceptions() > 0 && FProcess.Running()) {
        try {
            FShots.Take("failure", false);
        } catch (...) {
        }
    }
}

HWND TInstaller::Dialog(HWND Except) {
    if (FWindow && !FWindowPid) GetWindowThreadProcessId(FWindow, &FWindowPid);
    for (HWND Window : TopWindows(FWindowPid ? FWindowPid : FProcess.Id()))
        if (Window != FWindow && Window != Except && ClassName(Window) == "#32770") return Window;
    return nullptr;
}

void TInstaller::CheckAlive(const std::string& Step) {
    if (!FProcess.Running())
        Fail(Step, "the installer ended with exit code " + std::to_string(FProcess.ExitCode()));
    if (HWND Box = Dialog()) Fail(Step, "the installer shows a dialog: '" + DialogText(Box) + "'");
}

HWND TInstaller::LabelStartingWith(const std::string& Prefix) {
    for (HWND Label : AllVisible(FWindow, TKind::Label))
        if (WindowText(Label).rfind(Prefix, 0) == 0) return Label;
    return nullptr;
}

TPage TInstaller::CurrentPage() {
    if (!IsWindow(FWindow)) return TPage::None;
    if (FindVisible(FWindow, TKind::PushButton, Texts::SaveLog)) return TPage::Finish;
    if (FindVisible(FWindow, TKind::Label, Texts::Progress)) {
        for (HWND Edit : AllVisible(FWindow, TKind::MultiLineEdit))
            if (WindowText(Edit).rfind("MORVANE", 0) != 0) FOutput = Edit;
        return TPage::Compile;
    }
    if (FindVisible(FWindow, TKind::Label, Texts::FolderLabel)) return TPage::Folder;
    if (FindVisible(FWindow, TKind::Label, Texts::DestinationLead)) return TPage::Destination;
    if (FindVisible(FWindow, TKind::CheckBox, Texts::Agree)) return TPage::License;
    if (FindVisible(FWindow, TKind::RadioButton, Texts::Reinstall)) return TPage::Maintenance;
    if (LabelStartingWith(Texts::WelcomeLead)) return TPage::Welcome;
    return TPage::None;
}

TPage TInstaller::WaitPage(std::initializer_list<TPage> Pages, DWORD Ms, const std::string& Step,
                           bool Photograph) {
    // The window shows before its first page does: until then the program is
    // still starting, which a loaded machine may stretch far beyond a page's time.
    if (!FPageSeen) Ms = std::max(Ms, FirstWindowMs);
    TPage Seen = TPage::None;
    const bool Arrived = WaitFor(Ms, [&] {
        CheckAlive(Step);
        Seen = CurrentPage();
        for (TPage Page : Pages)
            if (Seen == Page) return true;
        return false;
    });
    if (!Arrived) {
        std::string Wanted;
        for (TPage Page : Pages)
            Wanted += (Wanted.empty() ? "" : " or ") + std::string(PageName(Page));
        const std::string Waited =
            "waited " + std::to_string(Ms / 1000) + " s for the " + Wanted + " page, but the ";
        if (!IsWindow(FWindow))
            Fail(Step, Waited + "wizard's window is gone while the program still runs");
        Fail(Step, Waited + "wizard shows the " + PageName(Seen) + " page; visible controls:\n" +
                       DescribeVisible(FWindow));
    }
    FPageSeen = true;
    // The progress page may be gone any moment: photograph it at once.
    if (Photograph || Seen == TPage::Compile) FShots.Take(PageName(Seen), Seen != TPage::Compile);
    return Seen;
}

void ExpectNotNamed(std::string Text, const std::string& Work, const std::string& Step) {
    const char* Word = std::getenv("MORVANE_E2E_FORBIDDEN");
    if (!Word || !*Word) return;
    for (std::size_t At;
         !Work.empty() && (At = Lower(Text).find(Lower(Work))) != std::string::npos;)
        Text.replace(At, Work.size(), "<work>");
    if (Lower(Text).find(Lower(Word)) != std::string::npos)
        Fail(Step, "'" + std::string(Word) + "' shows in: " + Text);
}

namespace {

BOOL CALLBACK CollectText(HWND Wnd, LPARAM Param) {
    if (IsWindowVisible(Wnd)) *reinterpret_cast<std::string*>(Param) += WindowText(Wnd) + "\n";
    return TRUE;
}

} // namespace

void TInstaller::Expect(TPage Page, const std::string& Step, DWORD Ms, bool Photograph) {
    WaitPage({Page}, Ms, Step, Photograph);
    CheckButtons(Page, Step);
    // Every text of the page: the caption, the controls, and the header the
    // page windows draw and carry as their own text.
    std::string Texts = WindowText(Window()) + "\n";
    EnumChildWindows(Window(), CollectText, reinterpret_cast<LPARAM>(&Texts));
    ExpectNotNamed(Texts, "", Step + ", its texts");
}

void TInstaller::CheckButtons(TPage Page, const std::string& Step) {
    struct TRow {
        const char* Caption;
        bool Shown;
        bool Enabled;
    };
    std::vector<TRow> Rows;
    switch (Page) {
    case TPage::Welcome:
    case TPage::Maintenance:
        Rows = {{Texts::Back, false, false},
                {Texts::Next, true, true},
                {Texts::FinishButton, false, false},
                {Texts::Cancel, true, true}};
        break;
    case TPage::License:
        Rows = {{Texts::Back, true, true},
                {Texts::Next, true, false},
                {Texts::FinishButton, false, false},
                {Texts::Cancel, true, true}};
        break;
    case TPage::Destination:
    case TPage::Folder:
        Rows = {{Texts::Back, true, true},
                {Texts::Next, true, true},
                {Texts::FinishButton, false, false},
                {Texts::Cancel, true, true}};
        break;
    case TPage::Finish:
        Rows = {{Texts::Back, false, false},
                {Texts::Next, false, false},
                {Texts::FinishButton, true, true},
                {Texts::Cancel, false, false}};
        break;
    default:
        return;
    }
    for (const TRow& Row : Rows) {
        HWND Button = FindVisible(FWindow, TKind::PushButton, Row.Caption);
        if (Row.Shown != (Button != nullptr))
            Fail(Step, std::string("on the ") + PageName(Page) + " page the button '" +
                           Row.Caption + "' is " + (Button ? "shown" : "not shown") +
                           "; visible controls:\n" + DescribeVisible(FWindow));
        if (Button && Row.Enabled != (IsWindowEnabled(Button) != FALSE))
            Fail(Step, std::string("on the ") + PageName(Page) + " page the button '" +
                           Row.Caption + "' is " + (Row.Enabled ? "disabled" : "enabled"));
    }
}

HWND TInstaller::Control(TKind Kind, const std::string& Text, const std::string& Step) {
    return RequireVisible(FWindow, Kind, Text, Step);
}

bool TInstaller::ButtonShown(const std::string& Caption) {
    return FindVisible(FWindow, TKind::PushButton, Caption) != nullptr;
}

void TInstaller::Press(const std::string& Caption, const std::string& Step, bool Wait) {
    Click(Control(TKind::PushButton, Caption, Step), Step, Wait);
}

HWND TInstaller::SingleEdit(const std::string& Step) {
    const auto Edits = AllVisible(FWindow, TKind::Edit);
    if (Edits.size() != 1)
        Fail(Step, "expected one visible edit, found " + std::to_string(Edits.size()) +
                       "; visible controls:\n" + DescribeVisible(FWindow));
    return Edits.front();
}

std::string TInstaller::FinishText(const std::string& Step) {
    HWND Label = LabelStartingWith(Product.EditionName);
    if (!Label)
        Fail(Step, "no outcome sentence on the finish page; visible controls:\n" +
                       DescribeVisible(FWindow));
    return WindowText(Label);
}

std::string TInstaller::OutputText(const std::string& Step) {
    if (!FOutput) {
        // The page came and went between two looks: find the view next to its label.
        for (HWND Window : Descendants(FWindow)) {
            if (KindOf(Window) != TKind::Label || WindowText(Window) != Texts::Progress) continue;
            for (HWND Next = GetWindow(Window, GW_HWNDNEXT); Next && !FOutput;
                 Next = GetWindow(Next, GW_HWNDNEXT))
                if (KindOf(Next) == TKind::MultiLineEdit) FOutput = Next;
        }
    }
    if (!FOutput) Fail(Step, "the output view of the progress page cannot be found");
    return WindowText(FOutput);
}

std::string TInstaller::SaveLog(const std::string& Path, const std::string& Step) {
    Press(Texts::SaveLog, Step);
    HWND Box = nullptr;
    WaitFor(PageMs, [&] { return (Box = Dialog()) != nullptr || !FProcess.Running(); });
    if (!FProcess.Running())
        Fail(Step, "the installer ended with exit code " + std::to_string(FProcess.ExitCode()));
    if (!Box) Fail(Step, "no save dialog appeared within " + std::to_string(PageMs / 1000) + " s");
    HWND Save = GetDlgItem(Box, IDOK);
    if (!Save || WindowText(Save).find("Save") == std::string::npos)
        Fail(Step, "the dialog that appeared is not a save dialog: '" + DialogText(Box) + "'");

    // Explorer-style dialogs hold the name in a combo box, older ones in an edit.
    HWND Name = nullptr;
    if (HWND Combo = GetDlgItem(Box, FileNameCombo); Combo && IsWindowVisible(Combo)) {
        for (HWND Child : Descendants(Combo))
            if (KindOf(Child) == TKind::Edit) Name = Child;
    }
    if (!Name) Name = GetDlgItem(Box, FileNameEdit);
    if (!Name || !IsWindowVisible(Name))
        Fail(Step, "the save dialog has no file name field; it shows:\n" + DescribeVisible(Box));
    const std::string Offered = WindowText(Name);
    FShots.Take("save-dialog");
    TypeText(Name, Path, Step + " (file name)");
    Click(Save, Step + " (Save)");

    // Replacing the file must not raise a question of the dialog's own; a
    // message of the program (a failed write) is the caller's to handle.
    HWND Other = nullptr;
    const bool Closed = WaitFor(PageMs, [&] {
        Other = Dialog(Box);
        return !IsWindow(Box) || Other != nullptr;
    });
    if (Other && IsWindow(Box) && GetWindow(Other, GW_OWNER) == Box) {
        const std::string Question = DialogText(Other);
        Shot("unexpected-question");
        Fail(Step, "saving asked a question: '" + Question + "'");
    }
    if (!Closed) Fail(Step, "the save dialog is still open after pressing Save");
    if (Other) return Offered;
    CheckAlive(Step + " (after saving)");
    return Offered;
}

std::string TInstaller::AnswerMessage(const std::string& Button, const std::string& Step) {
    HWND Box = nullptr;
    WaitFor(PageMs, [&] { return (Box = Dialog()) != nullptr || !FProcess.Running(); });
    if (!Box)
        Fail(Step, "no message appeared; the wizard shows the " +
                       std::string(PageName(CurrentPage())) + " page");
    const std::string Message = DialogText(Box);
    std::printf("message '%s': %s\n", WindowText(Box).c_str(), Message.c_str());
    FShots.Take("message");
    HWND Answer =
        RequireVisible(Box, TKind::PushButton, Button, Step + " (message '" + Message + "')");
    Click(Answer, Step);
    if (!WaitFor(PageMs, [&] { return !IsWindow(Box); }))
        Fail(Step, "the message '" + Message + "' stays open after '" + Button + "'");
    return Message;
}

void TInstaller::ExpectEnd(DWORD ExitCode, DWORD Ms, const std::string& Step) {
    if (!FProcess.Wait(Ms)) {
        std::string Seen =
            "the installer is still running after " + std::to_string(Ms / 1000) + " s";
        if (HWND Box = Dialog()) Seen += " and shows '" + DialogText(Box) + "'";
        Seen += "; page: " + std::string(PageName(CurrentPage()));
        Fail(Step, Seen);
    }
    if (FProcess.ExitCode() != ExitCode)
        Fail(Step, "the installer ended with exit code " + std::to_string(FProcess.ExitCode()) +
                       ", expected " + std::to_string(ExitCode));
}

} // namespace e2e
