// Starts the setup program, checks at the display's DPI that its client area
// has the scaled size and that no text on the pages a user walks through is
// clipped, and keeps a screenshot of each page.
//
//   dpi_probe <MorvaneSetup.exe> <expected client width> <height> <shots folder>

#include "platform/Owners.h"
#include "data/Product.h"
#include "support/Ui.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int Failures = 0;

void Fail(const std::string& What) {
    std::fprintf(stderr, "FAIL: %s\n", What.c_str());
    ++Failures;
}

std::vector<HWND> VisibleChildren(HWND Parent) {
    std::vector<HWND> Visible;
    for (HWND Wnd : Descendants(Parent))
        if (IsWindowVisible(Wnd)) Visible.push_back(Wnd);
    return Visible;
}

HWND ChildByText(HWND Parent, const std::string& Text) {
    for (HWND Wnd : VisibleChildren(Parent))
        if (WindowText(Wnd) == Text) return Wnd;
    return nullptr;
}

// The room a control's text needs in its own font, against the room it has.
void CheckNotClipped(HWND Wnd, const std::string& Page) {
    const std::string Class = ClassName(Wnd), Text = WindowText(Wnd);
    if (Text.empty()) return;
    bool IsStatic = _stricmp(Class.c_str(), "Static") == 0;
    bool IsButton = _stricmp(Class.c_str(), "Button") == 0;
    if (!IsStatic && !IsButton) return;
    RECT Client{};
    GetClientRect(Wnd, &Client);
    const TWindowDc Owned(GetDC(Wnd), TReleaseDc{Wnd});
    const HDC Dc = Owned.get();
    HGDIOBJ Old = SelectObject(Dc, reinterpret_cast<HFONT>(SendMessageA(Wnd, WM_GETFONT, 0, 0)));
    LONG Style = GetWindowLongA(Wnd, GWL_STYLE);
    LONG Kind = Style & BS_TYPEMASK;
    bool CheckOrRadio = IsButton && (Kind == BS_AUTOCHECKBOX || Kind == BS_CHECKBOX ||
                                     Kind == BS_AUTORADIOBUTTON || Kind == BS_RADIOBUTTON);
    // A check box or radio button gives its box and a gap of its width.
    int Box = CheckOrRadio ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : 0;
    int Padding = IsButton && !CheckOrRadio ? 8 : 0;
    RECT Need{0, 0, Client.right - Box - Padding, 0};
    UINT Flags = DT_CALCRECT | (IsStatic ? DT_WORDBREAK : DT_SINGLELINE);
    DrawTextA(Dc, Text.c_str(), -1, &Need, Flags);
    SelectObject(Dc, Old);
    if (Need.bottom > Client.bottom || Need.right + Box + Padding > Client.right)
        Fail(Page + ": \"" + Text.substr(0, 40) + "\" needs " + std::to_string(Need.right) + "x" +
             std::to_string(Need.bottom) + " but has " + std::to_string(Client.right) + "x" +
             std::to_string(Client.bottom));
}

void Settle() {
    Sleep(700);
}

void CheckPage(HWND Main, const std::string& Page, const std::string& Shots, int Index) {
    Settle();
    for (HWND Wnd : VisibleChildren(Main))
        CheckNotClipped(Wnd, Page);
    const std::string Shot = Shots + "\\" + std::to_string(Index) + "-" + Page + ".bmp";
    if (!SaveScreenshot(Shot)) Fail("no screenshot " + Shot);
}

bool Click(HWND Main, const std::string& Text) {
    HWND Button = ChildByText(Main, Text);
    if (!Button || !IsWindowEnabled(Button)) {
        Fail("no usable button \"" + Text + "\"");
        return false;
    }
    SendMessageA(Button, BM_CLICK, 0, 0);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: dpi_probe <MorvaneSetup.exe> <width> <height> <shots>\n");
        return 2;
    }
    const std::string Exe = argv[1], Shots = argv[4];
    const int Width = std::atoi(argv[2]), Height = std::atoi(argv[3]);
    std::string Folder = Exe.substr(0, Exe.find_last_of('\\'));
    std::string Command = "\"" + Exe + "\"";
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Process{};
    if (!CreateProcessA(nullptr, Command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        Folder.c_str(), &Startup, &Process)) {
        std::fprintf(stderr, "cannot start %s\n", Exe.c_str());
        return 1;
    }
    const THandle Thread(Process.hThread), Child(Process.hProcess);
    HWND Main = nullptr;
    WaitFor(30000, [&] {
        return (Main =
                    FindTopWindow(Process.dwProcessId, std::string(Product.Name) + " Installer"));
    });
    if (!Main) {
        Fail("the window did not come up");
        TerminateProcess(Child.get(), 1);
        return 1;
    }
    RECT Client{};
    GetClientRect(Main, &Client);
    std::printf("DPI %d: client area %ldx%ld\n",
                GetDeviceCaps(TWindowDc(GetDC(nullptr)).get(), LOGPIXELSX), Client.right,
                Client.bottom);
    if (Client.right != Width || Client.bottom != Height)
        Fail("client area " + std::to_string(Client.right) + "x" + std::to_string(Client.bottom) +
             ", expected " + std::to_string(Width) + "x" + std::to_string(Height));

    CheckPage(Main, "welcome", Shots, 1);
    if (Click(Main, "&Next >")) {
        CheckPage(Main, "licence", Shots, 2);
        if (Click(Main, "Yes, I accept this agreement") && Click(Main, "&Next >")) {
            CheckPage(Main, "destination", Shots, 3);
            if (Click(Main, "&Next >")) CheckPage(Main, "program-folder", Shots, 4);
        }
    }
    Click(Main, "Cancel");
    if (WaitForSingleObject(Child.get(), 20000) != WAIT_OBJECT_0) {
        Fail("Cancel did not end the program");
        TerminateProcess(Child.get(), 1);
    }
    std::printf("%d problem(s)\n", Failures);
    return Failures == 0 ? 0 : 1;
}
