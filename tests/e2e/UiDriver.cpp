#include "e2e/UiDriver.h"

#include <cstdio>
#include <cstring>

namespace e2e {

void Fail(const std::string& Step, const std::string& Seen) {
    throw TStepFailure(Step + ": " + Seen);
}

TProcess::TProcess(const std::string& Exe, const std::string& Args, const std::string& Dir,
                   HANDLE StdIn, HANDLE StdOut)
    : TChildProcess(Exe, Args, Dir, StdIn, StdOut) {
    if (!Started())
        Fail("start " + Exe, "CreateProcess failed with error " + std::to_string(StartError()));
}

const char* KindName(TKind Kind) {
    switch (Kind) {
    case TKind::PushButton:
        return "button";
    case TKind::CheckBox:
        return "check box";
    case TKind::RadioButton:
        return "radio button";
    case TKind::Label:
        return "label";
    case TKind::Edit:
        return "edit";
    case TKind::MultiLineEdit:
        return "multi-line edit";
    case TKind::ListBox:
        return "list box";
    case TKind::Any:
        return "control";
    }
    return "control";
}

static bool SameText(const std::string& A, const char* B) {
    return lstrcmpiA(A.c_str(), B) == 0;
}

TKind KindOf(HWND Window) {
    const std::string Class = ClassName(Window);
    const LONG Style = GetWindowLongA(Window, GWL_STYLE);
    if (SameText(Class, "Button")) {
        switch (Style & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
            return TKind::CheckBox;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return TKind::RadioButton;
        case BS_GROUPBOX:
            return TKind::Any;
        default:
            return TKind::PushButton;
        }
    }
    if (SameText(Class, "Static")) return TKind::Label;
    if (lstrcmpiA(Class.c_str(), "Edit") == 0 || _strnicmp(Class.c_str(), "RichEdit", 8) == 0)
        return (Style & ES_MULTILINE) ? TKind::MultiLineEdit : TKind::Edit;
    if (SameText(Class, "ListBox")) return TKind::ListBox;
    return TKind::Any;
}

static bool KindMatches(TKind Wanted, TKind Actual) {
    return Wanted == TKind::Any || Wanted == Actual;
}

std::vector<HWND> AllVisible(HWND Top, TKind Kind) {
    std::vector<HWND> Found;
    for (HWND Window : Descendants(Top))
        if (IsWindowVisible(Window) && KindMatches(Kind, KindOf(Window))) Found.push_back(Window);
    return Found;
}

HWND FindVisible(HWND Top, TKind Kind, const std::string& Text) {
    HWND Match = nullptr;
    for (HWND Window : AllVisible(Top, Kind)) {
        if (WindowText(Window) != Text) continue;
        if (Match)
            Fail("find " + std::string(KindName(Kind)) + " '" + Text + "'",
                 "two visible controls carry this text");
        Match = Window;
    }
    return Match;
}

HWND RequireVisible(HWND Top, TKind Kind, const std::string& Text, const std::string& Step) {
    HWND Window = FindVisible(Top, Kind, Text);
    if (!Window)
        Fail(Step, "no visible " + std::string(KindName(Kind)) + " '" + Text +
                       "'; visible controls:\n" + DescribeVisible(Top));
    return Window;
}

std::string DescribeVisible(HWND Top) {
    std::string Lines;
    for (HWND Window : Descendants(Top)) {
        if (!IsWindowVisible(Window)) continue;
        std::string Text = WindowText(Window);
        if (Text.size() > 120) Text = Text.substr(0, 117) + "...";
        for (char& C : Text)
            if (C == '\r' || C == '\n') C = ' ';
        Lines += "    " + ClassName(Window) + " (" + KindName(KindOf(Window)) + ") '" + Text + "'";
        if (!IsWindowEnabled(Window)) Lines += " disabled";
        if (KindOf(Window) == TKind::CheckBox || KindOf(Window) == TKind::RadioButton)
            Lines += IsChecked(Window) ? " checked" : " unchecked";
        Lines += "\n";
    }
    return Lines;
}

static std::string Describe(HWND Control) {
    return std::string(KindName(KindOf(Control))) + " '" + WindowText(Control) + "'";
}

static void RequireUsable(HWND Control, const std::string& Step) {
    if (!IsWindow(Control)) Fail(Step, "the control is gone");
    if (!IsWindowVisible(Control)) Fail(Step, Describe(Control) + " is not visible");
    if (!IsWindowEnabled(Control)) Fail(Step, Describe(Control) + " is disabled");
}

void Click(HWND Control, const std::string& Step, bool Wait) {
    RequireUsable(Control, Step);
    if (!Wait) {
        PostMessageA(Control, BM_CLICK, 0, 0);
        return;
    }
    // The click may open a modal dialog or run the whole procedure before the
    // target answers; a short timeout lets the flow watch what happens.
    DWORD_PTR Result = 0;
    SendMessageTimeoutA(Control, BM_CLICK, 0, 0, SMTO_NORMAL, 1500, &Result);
}

void MouseClick(HWND Control, const std::string& Step) {
    RequireUsable(Control, Step);
    RECT Box{};
    GetWindowRect(Control, &Box);
    POINT Middle{(Box.left + Box.right) / 2, (Box.top + Box.bottom) / 2};
    HWND Root = GetAncestor(Control, GA_ROOT);
    // Another program's window may lie on top for a moment: raise ours and
    // give the other one time to go before calling the label unreachable.
    HWND Hit = nullptr;
    const bool Reachable = WaitFor(10000, [&] {
        SetWindowPos(Root, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(Root);
        Hit = WindowFromPoint(Middle);
        return Hit && GetAncestor(Hit, GA_ROOT) == Root;
    });
    if (!Reachable)
        Fail(Step, Describe(Control) + " is covered by another window ('" +
                       (Hit ? WindowText(GetAncestor(Hit, GA_ROOT)) : std::string("none")) + "')");
    const int Width = GetSystemMetrics(SM_CXSCREEN) - 1;
    const int Height = GetSystemMetrics(SM_CYSCREEN) - 1;
    INPUT Inputs[3]{};
    for (INPUT& Input : Inputs) {
        Input.type = INPUT_MOUSE;
        Input.mi.dx = MulDiv(Middle.x, 65535, Width);
        Input.mi.dy = MulDiv(Middle.y, 65535, Height);
    }
    Inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    Inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    Inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    if (SendInput(3, Inputs, sizeof(INPUT)) != 3)
        Fail(Step, "SendInput failed with error " + std::to_string(GetLastError()));
    // Let the target take the click before the flow looks at its effect.
    Sleep(300);
}

void TypeText(HWND Edit, const std::string& Text, const std::string& Step) {
    RequireUsable(Edit, Step);
    DWORD_PTR Result = 0;
    SendMessageTimeoutA(Edit, EM_SETSEL, 0, -1, SMTO_NORMAL, 5000, &Result);
    if (Text.empty()) SendMessageTimeoutA(Edit, WM_CHAR, VK_BACK, 1, SMTO_NORMAL, 5000, &Result);
    for (unsigned char C : Text)
        SendMessageTimeoutA(Edit, WM_CHAR, C, 1, SMTO_NORMAL, 5000, &Result);
    const std::string Seen = WindowText(Edit);
    if (Seen != Text) Fail(Step, "typed '" + Text + "' but the edit holds '" + Seen + "'");
}

bool IsChecked(HWND Control) {
    DWORD_PTR State = 0;
    SendMessageTimeoutA(Control, BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &State);
    return State == BST_CHECKED;
}

std::string DialogText(HWND Dialog) {
    // Message boxes carry their text in the static control 0xFFFF.
    if (HWND Text = GetDlgItem(Dialog, 0xFFFF)) return WindowText(Text);
    std::string All;
    for (HWND Window : Descendants(Dialog))
        if (IsWindowVisible(Window) && KindOf(Window) == TKind::Label) {
            const std::string Text = WindowText(Window);
            if (!Text.empty()) All += (All.empty() ? "" : " | ") + Text;
        }
    return All;
}

} // namespace e2e
