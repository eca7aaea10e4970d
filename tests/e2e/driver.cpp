// End-to-end flows of the setup wizard, driven from outside as a user would:
//
//   e2e_driver <flow> <dist folder> <work folder> <screenshot folder>
//
// Each flow copies the distribution folder into its work folder, starts
// MorvaneSetup.exe there, walks the pages, and checks what the installer left
// on the machine. Everything it makes (installation folder, program folder,
// registry record, component registration) is removed again, pass or fail.
// A failure prints the step and what was seen, and the driver exits with 1.

#include "e2e/Machine.h"
#include "e2e/UiDriver.h"
#include "e2e/Wizard.h"

#include "MorvaneXControls.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

using namespace e2e;

namespace {

constexpr DWORD ProcedureMs = 180000;
constexpr DWORD EndMs = 20000;
// Cancel ends the program at once; the margin is for a slow machine only.
constexpr DWORD CancelEndMs = 10000;
const char* const OcxName = Product.OcxFileName;
const std::string SetupExe = Product.ShortName + std::string("Setup.exe");

using TLines = std::vector<std::string>;

std::string Trim(const std::string& Text) {
    size_t First = 0, Last = Text.size();
    while (First < Last && static_cast<unsigned char>(Text[First]) <= 32)
        ++First;
    while (Last > First && static_cast<unsigned char>(Text[Last - 1]) <= 32)
        --Last;
    return Text.substr(First, Last - First);
}

// The display form of a version text: its numbers, then the edition name.
std::string FullVersionText(const std::string& Raw) {
    const std::string Text = Trim(Raw);
    size_t Position = 0;
    std::string Numbers;
    for (int Index = 0; Index < 4; ++Index) {
        while (Position < Text.size() && Text[Position] == '.')
            ++Position;
        const size_t Start = Position;
        while (Position < Text.size() && Text[Position] >= '0' && Text[Position] <= '9')
            ++Position;
        if (Start == Position) {
            if (Index < 3) return "";
            break;
        }
        if (Index) Numbers += '.';
        Numbers.append(Text, Start, Position - Start);
    }
    const std::string Edition = Trim(Text.substr(Position));
    const bool Free = Edition.size() >= 4 && Lower(Edition.substr(0, 4)) == "free";
    return Numbers + (Free ? " Free Edition" : " Standard Edition");
}

// The operating-system line the installer writes first, from the same
// version the system reports to us; empty when the system is not named.
std::string SystemLine() {
    OSVERSIONINFOA Info{};
    Info.dwOSVersionInfoSize = sizeof(Info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&Info);
#pragma GCC diagnostic pop
    std::string Name;
    DWORD Build = Info.dwBuildNumber;
    if (Info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        Build &= 0xFFFF;
        if (Info.dwMinorVersion < 10)
            Name = "Windows 95";
        else if (Info.dwMinorVersion < 90)
            Name = "Windows 98";
        else if (Info.dwMinorVersion == 90)
            Name = "Windows ME";
    } else if (Info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        if (Info.dwMajorVersion == 4)
            Name = "Windows NT4";
        else if (Info.dwMajorVersion == 5 && Info.dwMinorVersion == 0)
            Name = "Windows 2000";
        else if (Info.dwMajorVersion == 5 && Info.dwMinorVersion == 1)
            Name = "Windows XP";
    }
    if (Name.empty()) return "";
    char Rest[256];
    std::snprintf(Rest, sizeof(Rest), " %s (%lu.%lu.%lu)", Info.szCSDVersion, Info.dwMajorVersion,
                  Info.dwMinorVersion, Build);
    return Name + Rest;
}

std::string Quote(const TLines& Lines) {
    std::string Text;
    for (const std::string& Line : Lines)
        Text += "    '" + Line + "'\n";
    return Text;
}

void ExpectLines(const TLines& Seen, const TLines& Wanted, const std::string& Step) {
    if (Seen != Wanted)
        Fail(Step, "the lines are\n" + Quote(Seen) + "  expected\n" + Quote(Wanted));
}

// The lines of a multi-line edit; a line break after the last line is no extra line.
TLines EditLines(std::string Text) {
    TLines Lines;
    if (Text.size() >= 2 && Text.compare(Text.size() - 2, 2, "\r\n") == 0)
        Text.resize(Text.size() - 2);
    size_t Start = 0;
    for (;;) {
        const size_t End = Text.find("\r\n", Start);
        Lines.push_back(Text.substr(Start, End - Start));
        if (End == std::string::npos) break;
        Start = End + 2;
    }
    if (Lines.size() == 1 && Lines[0].empty()) Lines.clear();
    return Lines;
}

TLines SystemLines(const std::string& Prefix = "") {
    const std::string Line = SystemLine();
    if (Line.empty()) return {};
    return {Prefix + Line, ""};
}

TLines operator+(TLines A, const TLines& B) {
    A.insert(A.end(), B.begin(), B.end());
    return A;
}

const TLines InstallSteps = {"Delete old files...",
                             "Extracting component files...",
                             "Completed",
                             "Registering component in registry...",
                             "Completed",
                             "Create Shortcuts in Start menu folder...",
                             "Completed",
                             "",
                             "All operations done. Press Next to complete installation."};

const TLines UninstallSteps = {"Unregistering component in registry...",
                               "Completed",
                               "Delete component files...",
                               "Completed",
                               "Delete Start menu Program Folder...",
                               "Completed",
                               "",
                               "Uninstall completed. Press Next to complete uninstall."};

const TLines FailedExtraction = {"Delete old files...", "Extracting component files...",
                                 "Error extracting component files from archive.",
                                 "Archive damaged."};

std::string ExtractionEcho(const std::string& InstallDir) {
    return "unrar.exe x -c- -cfg- -dh -idp -o+ -r -y  data.arc *.* \"" + InstallDir + "\\\"";
}

// One flow's surroundings: where things come from, where they go.
struct TFlow {
    std::string Name;
    std::string Dist;
    std::string Work;
    std::string ClassId;
    TShots Shots;
    std::string Version = FullVersionText(ReadOrFail(JoinPath(Dist, "version")));
    std::string Programs = ProgramsFolder();

    TFlow(std::string FlowName, std::string DistFolder, std::string WorkFolder,
          std::string ShotFolder, std::string Id)
        : Name(std::move(FlowName)), Dist(std::move(DistFolder)), Work(std::move(WorkFolder)),
          ClassId(std::move(Id)), Shots(std::move(ShotFolder)) {}

    // A fresh copy of the distribution folder; the installer runs in it.
    std::string CopyOfDist(const std::string& Folder) {
        const std::string Copy = JoinPath(Work, Folder);
        WipeTree(Copy);
        CopyTree(Dist, Copy);
        return Copy;
    }
    std::string Exe(const std::string& Copy) const { return JoinPath(Copy, SetupExe); }
};

// The product places of one flow, never shared with another flow.
struct TPlaces {
    std::string InstallDir;
    std::string StartFolder;
    std::string ProgramFolder; // StartFolder under the Programs folder
};

struct TFolderWindows {
    std::string Leaf;
    std::vector<HWND> Found;
};

BOOL CALLBACK CollectFolderWindow(HWND Window, LPARAM Param) {
    auto& Search = *reinterpret_cast<TFolderWindows*>(Param);
    if (IsWindowVisible(Window) && ClassName(Window) != "#32770" &&
        WindowText(Window).find(Search.Leaf) != std::string::npos)
        Search.Found.push_back(Window);
    return TRUE;
}

std::vector<HWND> FolderWindows(const std::string& Folder) {
    TFolderWindows Search{Folder.substr(Folder.find_last_of('\\') + 1), {}};
    EnumWindows(CollectFolderWindow, reinterpret_cast<LPARAM>(&Search));
    return Search.Found;
}

// Explorer windows the installer opened on the program folder: closed as a
// user would close them. With Appearing, the window is awaited first: the
// shell opens it in a process of its own, a moment after the request.
void CloseFolderWindows(const std::string& Folder, bool Appearing = false) {
    if (Appearing) WaitFor(10000, [&] { return !FolderWindows(Folder).empty(); });
    const auto Found = FolderWindows(Folder);
    for (HWND Window : Found)
        PostMessageA(Window, WM_CLOSE, 0, 0);
    WaitFor(5000, [&] {
        for (HWND Window : Found)
            if (IsWindow(Window) && IsWindowVisible(Window)) return false;
        return true;
    });
    // The windows beneath need a moment to repaint what was covered.
    if (!Found.empty()) Sleep(1500);
}

// Removes whatever the product may have left, so a failed flow does not
// spoil the next one. Runs before and after every flow.
void Clean(const TPlaces& Places, const std::string& Programs) {
    const std::string Ocx = JoinPath(Places.InstallDir, OcxName);
    UnregisterServer(Ocx);
    for (const std::string& Id : ServersOf(Ocx)) {
        const std::string Key = "CLSID\\" + Id;
        RegDeleteTreeA(HKEY_CLASSES_ROOT, Key.c_str());
    }
    CloseFolderWindows(Places.ProgramFolder);
    WipeTree(Places.InstallDir);
    WipeTree(Places.ProgramFolder);
    // Outer levels of the program folder go too, once empty.
    std::string Folder = Places.ProgramFolder;
    for (size_t Slash; (Slash = Folder.find_last_of('\\')) != std::string::npos &&
                       Lower(Folder.substr(0, Slash)) != Lower(Programs);) {
        Folder = Folder.substr(0, Slash);
        RemoveDirectoryA(Folder.c_str());
    }
    DeleteRecord();
}

class TCleanup {
public:
    TCleanup(const TPlaces& Places, const std::string& Programs)
        : FPlaces(Places), FPrograms(Programs) {
        Clean(FPlaces, FPrograms);
    }
    ~TCleanup() { Clean(FPlaces, FPrograms); }

private:
    TPlaces FPlaces;
    std::string FPrograms;
};

TPlaces PlacesOf(const TFlow& Flow, const std::string& Tag = "") {
    TPlaces Places;
    // A space in both names makes sure nothing splits them on the way.
    Places.InstallDir =
        JoinPath(JoinPath(Flow.Work, "Program Files"), Product.Name + (" " + Flow.Name) + Tag);
    Places.StartFolder = Product.ShortName + (" E2E\\" + Flow.Name) + Tag + " Shortcuts";
    Places.ProgramFolder = JoinPath(Flow.Programs, Places.StartFolder);
    return Places;
}

// States are awaited for a moment: a busy program answers a click late.
void ExpectChecked(HWND Control, bool Checked, const std::string& Step) {
    if (!WaitFor(5000, [&] { return IsChecked(Control) == Checked; }))
        Fail(Step, "'" + WindowText(Control) + "' is " + (Checked ? "unticked" : "ticked"));
}

void ExpectEnabled(HWND Control, bool Enabled, const std::string& Step) {
    if (!WaitFor(5000, [&] { return (IsWindowEnabled(Control) != FALSE) == Enabled; }))
        Fail(Step, "'" + WindowText(Control) + "' is " + (Enabled ? "disabled" : "enabled"));
}

// The subtitle of a welcome page, where a control carries it; a page that only
// draws it leaves nothing to read, which is said in the output.
void CheckSubtitle(TInstaller& App, const std::string& Subtitle, const std::string& Step) {
    bool Carried = false;
    for (HWND Window : Descendants(App.Window())) {
        const std::string Text = WindowText(Window);
        if (!IsWindowVisible(Window) || Text.find("This wizard will") == std::string::npos)
            continue;
        if (Text.find(Subtitle) == std::string::npos)
            Fail(Step, "it says '" + Text + "', expected '" + Subtitle + "'");
        Carried = true;
    }
    if (!Carried)
        std::printf("note: no control carries the subtitle of the %s; it was not read\n",
                    Step.c_str());
}

// The first-installation pages, from the welcome page up to the page Stop
// (which is reached and left as it is) or through to the finish page.
void WalkFirstInstallation(TInstaller& App, const TPlaces& Places, TPage Stop, bool Thorough) {
    App.Expect(TPage::Welcome, "welcome page of a first installation");
    if (Thorough) {
        RECT Client{};
        GetClientRect(App.Window(), &Client);
        if (Client.right != 540 || Client.bottom != 432)
            Fail("main window", "the client area is " + std::to_string(Client.right) + " x " +
                                    std::to_string(Client.bottom) + ", expected 540 x 432");
        RECT Frame{}, Desktop{};
        GetWindowRect(App.Window(), &Frame);
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &Desktop, 0);
        const int OffX = (Frame.left + Frame.right) / 2 - (Desktop.left + Desktop.right) / 2;
        const int OffY = (Frame.top + Frame.bottom) / 2 - (Desktop.top + Desktop.bottom) / 2;
        if (std::abs(OffX) > 4 || std::abs(OffY) > 4)
            Fail("main window", "not centred on the desktop: its middle is off by " +
                                    std::to_string(OffX) + ", " + std::to_string(OffY) + " pixels");
        CheckSubtitle(App, Texts::InstallSubtitle, "welcome page of a first installation");
    }
    if (Stop == TPage::Welcome) return;

    App.Press(Texts::Next, "Next on the welcome page");
    App.Expect(TPage::License, "licence page");
    HWND Agree = App.Control(TKind::CheckBox, Texts::Agree, "licence page");
    ExpectChecked(Agree, false, "licence page as it opens");
    HWND Next = App.Control(TKind::PushButton, Texts::Next, "licence page");
    Click(Agree, "tick the licence box");
    ExpectChecked(Agree, true, "after ticking the licence box");
    ExpectEnabled(Next, true, "Next after ticking the licence box");
    if (Thorough) {
        App.Control(TKind::Label, Texts::LicenseHint, "licence page");
        if (AllVisible(App.Window(), TKind::MultiLineEdit).size() != 1)
            Fail("licence page",
                 "the agreement text is not shown:\n" + DescribeVisible(App.Window()));
        Click(Agree, "untick the licence box");
        ExpectEnabled(Next, false, "Next after unticking the licence box");
        ExpectEnabled(App.Control(TKind::PushButton, Texts::Back, "licence page"), true,
                      "Back after unticking the licence box");
        Click(Agree, "tick the licence box again");
        ExpectEnabled(Next, true, "Next after ticking the licence box again");
        // Back and forth keeps the tick.
        App.Press(Texts::Back, "Back on the licence page");
        App.WaitPage({TPage::Welcome}, 20000, "Back from the licence page");
        App.Press(Texts::Next, "Next on the welcome page, second time");
        App.WaitPage({TPage::License}, 20000, "licence page, second visit");
        ExpectChecked(Agree, true, "licence box after going back and forth");
        ExpectEnabled(Next, true, "Next after going back and forth");
    }
    if (Stop == TPage::License) return;

    App.Press(Texts::Next, "Next on the licence page");
    App.Expect(TPage::Destination, "destination page");
    HWND Destination = App.SingleEdit("destination page");
    if (Thorough) {
        App.Control(TKind::PushButton, Texts::Browse, "destination page");
        const std::string Default = WindowText(Destination);
        const std::string Tail = std::string("\\") + Product.DefaultInstallSubDir;
        if (Default.size() < Tail.size() + 3 ||
            Default.compare(Default.size() - Tail.size(), Tail.size(), Tail) != 0)
            Fail("destination page", "the offered folder is '" + Default +
                                         "', expected the Program Files folder followed by '" +
                                         Tail + "'");
    }
    TypeText(Destination, Places.InstallDir, "type the destination folder");
    if (Stop == TPage::Destination) return;

    App.Press(Texts::Next, "Next on the destination page");
    App.Expect(TPage::Folder, "program folder page");
    HWND Folder = App.SingleEdit("program folder page");
    HWND FolderNext = App.Control(TKind::PushButton, Texts::Next, "program folder page");
    if (Thorough) {
        if (WindowText(Folder) != Product.DefaultStartFolder)
            Fail("program folder page", "the offered program folder is '" + WindowText(Folder) +
                                            "', expected '" + Product.DefaultStartFolder + "'");
        App.Control(TKind::Label, Texts::ExistingFolders, "program folder page");
        if (AllVisible(App.Window(), TKind::ListBox).size() != 1)
            Fail("program folder page", "the list of existing folders is not shown");
        TypeText(Folder, "", "clear the program folder");
        ExpectEnabled(FolderNext, false, "Next with an empty program folder");
        TypeText(Folder, "M", "type one character as program folder");
        ExpectEnabled(FolderNext, true, "Next with a one-character program folder");
        // Back keeps what was typed on the destination page.
        App.Press(Texts::Back, "Back on the program folder page");
        App.WaitPage({TPage::Destination}, 20000, "Back from the program folder page");
        if (WindowText(Destination) != Places.InstallDir)
            Fail("destination page, second visit", "the edit holds '" + WindowText(Destination) +
                                                       "', typed was '" + Places.InstallDir + "'");
        App.Press(Texts::Next, "Next on the destination page, second time");
        App.WaitPage({TPage::Folder}, 20000, "program folder page, second visit");
    }
    TypeText(Folder, Places.StartFolder, "type the program folder");
    ExpectEnabled(FolderNext, true, "Next with a program folder typed");
    if (Stop == TPage::Folder) return;

    App.Press(Texts::Next, "Next on the program folder page", false);
}

// From the moment the procedure starts: the progress page (if it stays long
// enough to be seen), then the finish page. The Explorer window that the
// installation opens on the program folder is closed first, as a user would,
// so that the finish page is seen. Returns the outcome sentence.
std::string AwaitFinish(TInstaller& App, const TPlaces& Places) {
    App.WaitPage({TPage::Compile, TPage::Finish}, 20000, "start of the procedure", false);
    const std::string Step = "finish page";
    App.Expect(TPage::Finish, Step, ProcedureMs, false);
    CloseFolderWindows(Places.ProgramFolder, FolderPresent(Places.ProgramFolder));
    App.Shot(PageName(TPage::Finish));
    App.Control(TKind::CheckBox, Texts::VisitWeb, Step);
    return App.FinishText(Step);
}

void ExpectText(const std::string& Seen, const std::string& Wanted, const std::string& Step) {
    if (Seen != Wanted) Fail(Step, "reads '" + Seen + "', expected '" + Wanted + "'");
}

// Unticks "Visit Morvane web site" if needed and presses Finish: the program
// must end by itself with exit code 0.
// Finish ends the wizard with the code a run without a window would have.
void FinishWithoutWebSite(TInstaller& App, DWORD ExitCode = 0) {
    HWND Visit = App.Control(TKind::CheckBox, Texts::VisitWeb, "finish page");
    if (IsChecked(Visit)) Click(Visit, "untick Visit Morvane web site");
    ExpectChecked(Visit, false, "Visit Morvane web site before Finish");
    App.Press(Texts::FinishButton, "Finish");
    App.ExpectEnd(ExitCode, EndMs, "end after Finish");
}

// The installation on the machine: files, registration, links, record.
void CheckInstalled(const TFlow& Flow, const TPlaces& Places) {
    const std::string Ocx = JoinPath(Places.InstallDir, OcxName);
    if (!FilePresent(Ocx)) Fail("installed files", Ocx + " is missing");
    for (const auto& [Target, Link] : ProductShortcuts())
        if (!FilePresent(JoinPath(Places.InstallDir, Target)))
            Fail("installed files", JoinPath(Places.InstallDir, Target) + " is missing");

    const auto Servers = ServersOf(Ocx);
    if (Servers.empty()) Fail("component registration", "no class under HKCR\\CLSID names " + Ocx);
    if (!Flow.ClassId.empty()) {
        const auto Server = RegisteredServer(Flow.ClassId);
        if (!Server || Lower(*Server) != Lower(Ocx))
            Fail("component registration", "HKCR\\CLSID\\" + Flow.ClassId +
                                               "\\InprocServer32 is '" + Server.value_or("absent") +
                                               "', expected '" + Ocx + "'");
    }

    const auto Links = FilesIn(Places.ProgramFolder);
    std::vector<std::string> Wanted;
    for (const auto& [Target, Link] : ProductShortcuts())
        Wanted.push_back(Link);
    std::sort(Wanted.begin(), Wanted.end());
    ExpectLines(Links, Wanted, "files of the program folder " + Places.ProgramFolder);
    for (const auto& [Target, Link] : ProductShortcuts()) {
        const std::string Seen = LinkTarget(JoinPath(Places.ProgramFolder, Link));
        const std::string Expected = JoinPath(Places.InstallDir, Target);
        if (Lower(Seen) != Lower(Expected))
            Fail("shortcut '" + std::string(Link) + "'",
                 "points at '" + Seen + "', expected '" + Expected + "'");
    }

    const auto Record = ReadRecord();
    if (!Record)
        Fail("installation record", "HKLM\\" + std::string(Product.RecordKey) + " is missing");
    TLines Names = Record->ValueNames;
    std::sort(Names.begin(), Names.end());
    TLines Values = {Product.InstallDirValue, Product.InstalledVersionValue,
                     Product.StartFolderValue};
    std::sort(Values.begin(), Values.end());
    ExpectLines(Names, Values, "values of the installation record");
    if (!Record->AllStrings) Fail("installation record", "a value is not of type REG_SZ");
    ExpectText(Record->InstallDir, Places.InstallDir, "recorded InstallDir");
    ExpectText(Record->StartFolder, Places.StartFolder, "recorded StartFolder");
    ExpectText(Record->InstalledVersion, Flow.Version, "recorded InstalledVersion");

    std::string Named = Record->InstallDir + "\n" + Record->StartFolder + "\n" + Product.RecordKey;
    for (const auto& [Target, Link] : ProductShortcuts())
        Named +=
            std::string("\n") + Link + " -> " + LinkTarget(JoinPath(Places.ProgramFolder, Link));
    ExpectNotNamed(Named, Flow.Work, "the record and the links");
}

// install.log of a successful installation, line by line.
void CheckInstallLog(const std::string& Log, const TPlaces& Places, const std::string& Step) {
    const TLines Lines = CrLfLines(Log, Step);
    const TLines Head =
        SystemLines() + TLines{"Delete old files...", "Extracting component files...",
                               ExtractionEcho(Places.InstallDir)};
    const TLines Tail(InstallSteps.begin() + 2, InstallSteps.end());
    if (Lines.size() < Head.size() + Tail.size() ||
        !std::equal(Head.begin(), Head.end(), Lines.begin()) ||
        !std::equal(Tail.begin(), Tail.end(), Lines.end() - Tail.size()))
        Fail(Step, "the lines are\n" + Quote(Lines) + "  expected first\n" + Quote(Head) +
                       "  then the extraction output, then\n" + Quote(Tail));
    if (Lines.size() == Head.size() + Tail.size())
        Fail(Step, "the extraction program's output is missing between the command and "
                   "'Completed'");
}

//
// The flows.
//

void FirstInstallation(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    const std::string SavedFolder = JoinPath(Flow.Work, "saved logs");
    MakeFoldersOrFail(SavedFolder);
    const std::string Saved = JoinPath(SavedFolder, Texts::DefaultLogName);
    {
        TInstaller App(Flow.Exe(Setup), Setup, Flow.Shots);
        WalkFirstInstallation(App, Places, TPage::Finish, true);
        ExpectText(AwaitFinish(App, Places), Texts::Installed, "outcome sentence");
        ExpectChecked(App.Control(TKind::CheckBox, Texts::VisitWeb, "finish page"), true,
                      "Visit Morvane web site after an installation");
        ExpectLines(EditLines(App.OutputText("progress output")), SystemLines() + InstallSteps,
                    "lines of the progress page");

        const std::string Log = ReadOrFail(JoinPath(Setup, "install.log"));
        CheckInstallLog(Log, Places, "install.log");
        ExpectNotNamed(Log, Flow.Work, "install.log");

        // A file that cannot be written is reported, and the page stays for another try.
        const std::string Locked = JoinPath(SavedFolder, "in use.log");
        WriteOrFail(Locked, "keep\r\n");
        {
            // Held open without sharing, as another program might.
            const THandle Holder(
                CreateFileA(Locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            if (!Holder) Fail("hold a file open", Locked);
            const std::string Offered =
                App.SaveLog(Locked, "save the setup log into a file in use");
            ExpectText(Offered, Texts::DefaultLogName, "file name the save dialog offers");
            const std::string Message = App.AnswerMessage("OK", "error message of a failed save");
            if (Message.find(Locked) == std::string::npos)
                Fail("error message of a failed save", "'" + Message + "' does not name " + Locked);
            App.Expect(TPage::Finish, "finish page after a failed save");
        }
        if (ReadOrFail(Locked) != "keep\r\n") Fail("failed save", "the file in use was changed");

        App.SaveLog(Saved, "save the setup log");
        // The program writes the file once its dialog has returned.
        WaitFor(10000, [&] { return ReadWholeFile(Saved) == Log; });
        if (!FilePresent(Saved)) Fail("saved setup log", Saved + " was not written");
        if (ReadOrFail(Saved) != Log)
            Fail("saved setup log", "differs from install.log:\n" + ReadOrFail(Saved));
        // The second save replaces the file without a question.
        WriteOrFail(Saved, "stale\r\n");
        const std::string OfferedAgain = App.SaveLog(Saved, "save the setup log again");
        if (OfferedAgain.find(Texts::DefaultLogName) == std::string::npos)
            Fail("save dialog, third time", "offers '" + OfferedAgain + "'");
        WaitFor(10000, [&] { return ReadWholeFile(Saved) == Log; });
        if (ReadOrFail(Saved) != Log)
            Fail("setup log saved again", "the file was not replaced:\n" + ReadOrFail(Saved));
        App.Shot("finish-after-saving");
        FinishWithoutWebSite(App);
    }
    CloseFolderWindows(Places.ProgramFolder);
    CheckInstalled(Flow, Places);
}

// An installation recorded for an older version, in a folder of its own.
void Update(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    MakeFoldersOrFail(Places.InstallDir);
    WriteOrFail(JoinPath(Places.InstallDir, "Morvane.url"), "old version\r\n");
    // Files of the user's and another program's shortcut are not the product's.
    const std::string Mine = JoinPath(JoinPath(Places.InstallDir, "My Projects"), "panel.txt");
    MakeFoldersOrFail(JoinPath(Places.InstallDir, "My Projects"));
    WriteOrFail(Mine, "mine\r\n");
    const std::string OtherLink = JoinPath(Places.ProgramFolder, "Other Program.lnk");
    MakeFoldersOrFail(Places.ProgramFolder);
    WriteOrFail(OtherLink, "not a link of ours");
    const std::string Older = "2.5.0 Standard Edition";
    if (Older == Flow.Version) Fail("prepare the update", "the carried version is " + Older);
    WriteRecord(Places.InstallDir, Places.StartFolder, Older);
    {
        TInstaller App(Flow.Exe(Setup), Setup, Flow.Shots);
        App.Expect(TPage::Welcome, "update welcome page");
        const std::string Subtitle =
            "This wizard will update the Morvane ActiveX component version " + Older +
            " currently installed on your computer with newer version " + Flow.Version + ".";
        CheckSubtitle(App, Subtitle, "update welcome page");
        App.Press(Texts::Next, "Next on the update welcome page", false);
        ExpectText(AwaitFinish(App, Places), Texts::Installed, "outcome sentence of the update");
        ExpectLines(EditLines(App.OutputText("progress output")), SystemLines() + InstallSteps,
                    "lines of the progress page");
        CheckInstallLog(ReadOrFail(JoinPath(Setup, "install.log")), Places, "install.log");
        FinishWithoutWebSite(App);
    }
    CloseFolderWindows(Places.ProgramFolder);
    if (!FilePresent(Mine) || ReadOrFail(Mine) != "mine\r\n")
        Fail("after the update", "the user's file " + Mine + " is gone or changed");
    if (!FilePresent(OtherLink) || ReadOrFail(OtherLink) != "not a link of ours")
        Fail("after the update", "another program's shortcut " + OtherLink + " is gone or changed");
    DeleteFileA(OtherLink.c_str());
    CheckInstalled(Flow, Places);
    if (ReadOrFail(JoinPath(Places.InstallDir, "Morvane.url")) == "old version\r\n")
        Fail("updated files", "Morvane.url still holds the old version's content");
}

// The same version recorded: the maintenance page, Next without a choice.
void Repair(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    MakeFoldersOrFail(Places.InstallDir);
    WriteOrFail(JoinPath(Places.InstallDir, "Morvane.url"), "damaged\r\n");
    WriteRecord(Places.InstallDir, Places.StartFolder, Flow.Version);
    {
        TInstaller App(Flow.Exe(Setup), Setup, Flow.Shots);
        App.Expect(TPage::Maintenance, "maintenance page");
        const std::string Step = "maintenance page";
        ExpectChecked(App.Control(TKind::RadioButton, Texts::Reinstall, Step), false, Step);
        ExpectChecked(App.Control(TKind::RadioButton, Texts::Uninstall, Step), false, Step);
        App.Control(TKind::Label, Texts::RepairLabel, Step);
        App.Control(TKind::Label, Texts::UninstallLabel, Step);
        App.Press(Texts::Next, "Next on the maintenance page without a choice", false);
        ExpectText(AwaitFinish(App, Places), Texts::Installed, "outcome sentence of the repair");
        ExpectChecked(App.Control(TKind::CheckBox, Texts::VisitWeb, "finish page"), true,
                      "Visit Morvane web site after a repair");
        ExpectLines(EditLines(App.OutputText("progress output")), SystemLines() + InstallSteps,
                    "lines of the progress page");
        CheckInstallLog(ReadOrFail(JoinPath(Setup, "install.log")), Places, "install.log");
        FinishWithoutWebSite(App);
    }
    CloseFolderWindows(Places.ProgramFolder);
    CheckInstalled(Flow, Places);
    if (ReadOrFail(JoinPath(Places.InstallDir, "Morvane.url")) == "damaged\r\n")
        Fail("repaired files", "Morvane.url was not restored");
}

// A first installation, then a second run that uninstalls it. With Foreign,
// a file of the user's waits in the installation folder and another
// program's shortcut in the program folder; both must stay.
// Nothing of the component left registered, and no record.
void CheckUninstalled(const TFlow& Flow, const std::string& Ocx) {
    if (!ServersOf(Ocx).empty())
        Fail("after the uninstall", "a class under HKCR\\CLSID still names " + Ocx);
    if (!Flow.ClassId.empty() && RegisteredServer(Flow.ClassId))
        Fail("after the uninstall", "HKCR\\CLSID\\" + Flow.ClassId + " is still registered");
    if (ReadRecord()) Fail("after the uninstall", "the installation record still exists");
}

void RunUninstall(TFlow& Flow, bool Foreign) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    {
        TInstaller App(Flow.Exe(Setup), Setup, Flow.Shots);
        WalkFirstInstallation(App, Places, TPage::Finish, false);
        ExpectText(AwaitFinish(App, Places), Texts::Installed,
                   "outcome of the installation to remove");
        FinishWithoutWebSite(App);
    }
    CloseFolderWindows(Places.ProgramFolder);
    CheckInstalled(Flow, Places);
    const std::string MyFolder = JoinPath(Places.InstallDir, "My Projects");
    const std::string Mine = JoinPath(MyFolder, "panel.txt");
    const std::string OtherLink = JoinPath(Places.ProgramFolder, "Other Program.lnk");
    if (Foreign) {
        MakeFoldersOrFail(MyFolder);
        WriteOrFail(Mine, "mine\r\n");
        WriteOrFail(OtherLink, "not a link of ours");
    }
    {
        TInstaller App(Flow.Exe(Setup), Setup, Flow.Shots);
        const std::string Step = "maintenance page";
        App.Expect(TPage::Maintenance, Step);
        HWND Reinstall = App.Control(TKind::RadioButton, Texts::Reinstall, Step);
        HWND Remove = App.Control(TKind::RadioButton, Texts::Uninstall, Step);
        // Labels answer a click like their radio buttons.
        MouseClick(App.Control(TKind::Label, Texts::UninstallLabel, Step),
                   "click the label '" + std::string(Texts::UninstallLabel) + "'");
        ExpectChecked(Remove, true, "after clicking the uninstall label");
        ExpectChecked(Reinstall, false, "after clicking the uninstall label");
        MouseClick(App.Control(TKind::Label, Texts::RepairLabel, Step),
                   "click the label '" + std::string(Texts::RepairLabel) + "'");
        ExpectChecked(Reinstall, true, "after clicking the repair label");
        ExpectChecked(Remove, false, "after clicking the repair label");
        Click(Remove, "choose Uninstall Morvane ActiveX");
        ExpectChecked(Remove, true, "after choosing Uninstall Morvane ActiveX");
        App.Shot("maintenance-uninstall-chosen");
        App.Press(Texts::Next, "Next on the maintenance page", false);
        ExpectText(AwaitFinish(App, Places), Texts::Uninstalled,
                   "outcome sentence of the uninstall");
        ExpectChecked(App.Control(TKind::CheckBox, Texts::VisitWeb, "finish page"), false,
                      "Visit Morvane web site after choosing to uninstall");
        ExpectLines(EditLines(App.OutputText("progress output")), UninstallSteps,
                    "lines of the progress page");
        // The log (not the page) says how many files were left, and where.
        TLines Log = CrLfLines(ReadOrFail(JoinPath(Setup, "install.log")), "install.log");
        const TLines Wanted = SystemLines("\x01") + UninstallSteps;
        const size_t KeptAt = Wanted.size() - UninstallSteps.size() + 3;
        if (Foreign) {
            if (Log.size() != Wanted.size() + 1 ||
                Log[KeptAt].find("\"" + Places.InstallDir + "\"") == std::string::npos ||
                Log[KeptAt].find(" 1 ") == std::string::npos)
                Fail("install.log of the uninstall",
                     "the lines are\n" + Quote(Log) + "  expected\n" + Quote(Wanted) +
                         "  with a line after 'Delete component files...' that names the one "
                         "file left and its folder");
            Log.erase(Log.begin() + static_cast<std::ptrdiff_t>(KeptAt));
        }
        ExpectLines(Log, Wanted, "install.log of the uninstall");
        FinishWithoutWebSite(App);
    }
    const std::string Ocx = JoinPath(Places.InstallDir, OcxName);
    if (Foreign) {
        ExpectLines(FoldersIn(Places.InstallDir), {"My Projects"},
                    "folders left in the installation folder");
        ExpectLines(FilesIn(Places.InstallDir), {}, "files left in the installation folder");
        ExpectLines(FilesIn(MyFolder), {"panel.txt"}, "files left in the user's folder");
        if (ReadOrFail(Mine) != "mine\r\n") Fail("after the uninstall", Mine + " was changed");
        ExpectLines(FilesIn(Places.ProgramFolder), {"Other Program.lnk"},
                    "files left in the program folder");
    } else {
        if (FolderPresent(Places.InstallDir))
            Fail("after the uninstall", Places.InstallDir + " still exists");
        if (FolderPresent(Places.ProgramFolder))
            Fail("after the uninstall", Places.ProgramFolder + " still exists");
    }
    CheckUninstalled(Flow, Ocx);
}

// Keys pressed for real, as a keyboard does, into the installer's window.
void Key(TInstaller& App, WORD Vk, const std::string& Step, bool Shift = false) {
    SetForegroundWindow(App.Window());
    // Activation is asynchronous on a busy machine: keys sent before the
    // window has the keyboard go nowhere.
    const DWORD Thread = GetWindowThreadProcessId(App.Window(), nullptr);
    WaitFor(5000, [&] {
        GUITHREADINFO Info{};
        Info.cbSize = sizeof Info;
        return GetForegroundWindow() == App.Window() && GetGUIThreadInfo(Thread, &Info) &&
               Info.hwndFocus != nullptr;
    });
    std::vector<INPUT> Inputs;
    auto Add = [&](WORD Code, bool Up) {
        INPUT In{};
        In.type = INPUT_KEYBOARD;
        In.ki.wVk = Code;
        In.ki.dwFlags = Up ? KEYEVENTF_KEYUP : 0;
        Inputs.push_back(In);
    };
    if (Shift) Add(VK_SHIFT, false);
    Add(Vk, false);
    Add(Vk, true);
    if (Shift) Add(VK_SHIFT, true);
    if (SendInput(static_cast<UINT>(Inputs.size()), Inputs.data(), sizeof(INPUT)) != Inputs.size())
        Fail(Step, "the key press was not taken");
    Sleep(200);
}

// Replaces the text of the focused edit by typing, as a user does.
void TypeKeys(TInstaller& App, HWND Edit, const std::string& Text, const std::string& Step) {
    Key(App, VK_HOME, Step);
    Key(App, VK_END, Step, true);
    for (char C : Text) {
        const SHORT Scan = VkKeyScanA(C);
        if (Scan == -1) Fail(Step, std::string("no key types '") + C + "'");
        Key(App, LOBYTE(Scan), Step, (Scan & 0x100) != 0);
    }
    if (!WaitFor(5000, [&] { return WindowText(Edit) == Text; }))
        Fail(Step, "the edit holds '" + WindowText(Edit) + "', typed was '" + Text + "'");
}

HWND Focused(TInstaller& App) {
    GUITHREADINFO Info{};
    Info.cbSize = sizeof Info;
    GetGUIThreadInfo(GetWindowThreadProcessId(App.Window(), nullptr), &Info);
    return Info.hwndFocus;
}

void ExpectFocus(TInstaller& App, HWND Control, const std::string& Step) {
    if (!WaitFor(5000, [&] { return Focused(App) == Control; }))
        Fail(Step, "the focus is on '" + WindowText(Focused(App)) + "', expected on '" +
                       WindowText(Control) + "'");
}

// Tab until Control has the focus, as a user would; fails after a round.
void TabTo(TInstaller& App, HWND Control, const std::string& Step) {
    for (int Presses = 0; Focused(App) != Control; ++Presses) {
        if (Presses == 8) Fail(Step, "Tab never reaches '" + WindowText(Control) + "'");
        Key(App, VK_TAB, Step);
    }
}

// The installation and the uninstall of the mouse flows, with the keyboard
// only: real key presses, no clicks and no button messages.
void KeyboardOnly(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    {
        // Escape is Cancel, also inside the licence text.
        TInstaller App(Flow.Exe(Setup), Setup, Flow.Shots);
        App.Expect(TPage::Welcome, "welcome page");
        Key(App, VK_RETURN, "Enter on the welcome page");
        App.Expect(TPage::License, "licence page");
        const auto Texts = AllVisible(App.Window(), TKind::MultiLineEdit);
        if (Texts.size() != 1) Fail("licence page", "no licence text");
        ExpectFocus(App, Texts[0], "licence page");
        Key(App, VK_ESCAPE, "Escape in the licence text");
        App.ExpectEnd(1602, CancelEndMs, "end after Escape");
    }
    {
        TInstaller App(Flow.Exe(Setup), Setup, Flow.Shots);
        App.Expect(TPage::Welcome, "welcome page");
        Key(App, VK_RETURN, "Enter on the welcome page");
        App.Expect(TPage::License, "licence page");
        HWND Agree = App.Control(TKind::CheckBox, Texts::Agree, "licence page");
        Key(App, VK_TAB, "Tab out of the licence text");
        ExpectFocus(App, Agree, "Tab out of the licence text");
        Key(App, VK_SPACE, "Space on the check box");
        ExpectChecked(Agree, true, "after Space on the check box");
        Key(App, VK_TAB, "Shift+Tab back to the licence text", true);
        ExpectFocus(App, AllVisible(App.Window(), TKind::MultiLineEdit).at(0),
                    "Shift+Tab back to the licence text");
        Key(App, VK_RETURN, "Enter on the licence page");
        App.Expect(TPage::Destination, "destination page");
        HWND Destination = App.SingleEdit("destination page");
        ExpectFocus(App, Destination, "destination page");
        TypeKeys(App, Destination, Places.InstallDir, "type the destination folder");
        Key(App, VK_RETURN, "Enter on the destination page");
        App.Expect(TPage::Folder, "program folder page");
        HWND Folder = App.SingleEdit("program folder page");
        ExpectFocus(App, Folder, "program folder page");
        TypeKeys(App, Folder, Places.StartFolder, "type the program folder");
        Key(App, VK_RETURN, "Enter on the program folder page");
        ExpectText(AwaitFinish(App, Places), Texts::Installed, "outcome sentence");
        HWND Visit = App.Control(TKind::CheckBox, Texts::VisitWeb, "finish page");
        TabTo(App, Visit, "finish page");
        Key(App, VK_SPACE, "Space on Visit web site");
        ExpectChecked(Visit, false, "after Space on Visit web site");
        Key(App, VK_RETURN, "Enter on the finish page");
        App.ExpectEnd(0, EndMs, "end after Enter on the finish page");
    }
    CloseFolderWindows(Places.ProgramFolder);
    CheckInstalled(Flow, Places);
    {
        TInstaller App(Flow.Exe(Setup), Setup, Flow.Shots);
        const std::string Step = "maintenance page";
        App.Expect(TPage::Maintenance, Step);
        HWND Reinstall = App.Control(TKind::RadioButton, Texts::Reinstall, Step);
        HWND Remove = App.Control(TKind::RadioButton, Texts::Uninstall, Step);
        // The first page starts with the focus on Next; Tab leads into the group.
        TabTo(App, Reinstall, Step);
        Key(App, VK_DOWN, "Down arrow on the maintenance page");
        ExpectFocus(App, Remove, "Down arrow on the maintenance page");
        ExpectChecked(Remove, true, "after the Down arrow");
        Key(App, VK_UP, "Up arrow on the maintenance page");
        ExpectChecked(Reinstall, true, "after the Up arrow");
        Key(App, VK_DOWN, "Down arrow again");
        ExpectChecked(Remove, true, "after the Down arrow again");
        Key(App, VK_RETURN, "Enter on the maintenance page");
        ExpectText(AwaitFinish(App, Places), Texts::Uninstalled, "outcome of the uninstall");
        ExpectChecked(App.Control(TKind::CheckBox, Texts::VisitWeb, "finish page"), false,
                      "Visit web site after choosing to uninstall");
        Key(App, VK_RETURN, "Enter on the finish page of the uninstall");
        App.ExpectEnd(0, EndMs, "end after the uninstall");
    }
    if (FolderPresent(Places.InstallDir))
        Fail("after the uninstall", Places.InstallDir + " still exists");
    if (FolderPresent(Places.ProgramFolder))
        Fail("after the uninstall", Places.ProgramFolder + " still exists");
    CheckUninstalled(Flow, JoinPath(Places.InstallDir, OcxName));
}

// A truncated archive: the installation ends with errors and records nothing.
void DamagedArchive(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    const std::string Archive = JoinPath(Setup, "data.arc");
    const std::string Content = ReadOrFail(Archive);
    WriteOrFail(Archive, Content.substr(0, Content.size() / 2));
    {
        TInstaller App(Flow.Exe(Setup), Setup, Flow.Shots);
        WalkFirstInstallation(App, Places, TPage::Finish, false);
        ExpectText(AwaitFinish(App, Places), Texts::InstalledWithErrors, "outcome sentence");
        ExpectLines(EditLines(App.OutputText("progress output")), SystemLines() + FailedExtraction,
                    "lines of the progress page");
        const TLines Log = CrLfLines(ReadOrFail(JoinPath(Setup, "install.log")), "install.log");
        const TLines Head = SystemLines() + TLines{FailedExtraction[0], FailedExtraction[1],
                                                   ExtractionEcho(Places.InstallDir)};
        if (Log.size() < Head.size() + 2 || !std::equal(Head.begin(), Head.end(), Log.begin()) ||
            Log[Log.size() - 2] != FailedExtraction[2] || Log.back() != FailedExtraction[3])
            Fail("install.log", "the lines are\n" + Quote(Log) + "  expected first\n" +
                                    Quote(Head) + "  and last the two error lines");
        FinishWithoutWebSite(App, 1603);
    }
    if (ReadRecord()) Fail("after a failed extraction", "an installation record exists");
    if (FolderPresent(Places.ProgramFolder))
        Fail("after a failed extraction", Places.ProgramFolder + " was created");
}

// Cancel on every page before the procedure ends the program at once and
// changes nothing.
void CancelEverywhere(TFlow& Flow) {
    struct TCase {
        const char* Name;
        TPage Page;
        const char* Recorded; // version in the record, or nullptr for none
    };
    const std::string Same = Flow.Version;
    const TCase Cases[] = {
        {"welcome", TPage::Welcome, nullptr},
        {"licence", TPage::License, nullptr},
        {"destination", TPage::Destination, nullptr},
        {"folder", TPage::Folder, nullptr},
        {"update", TPage::Welcome, "2.5.0 Standard Edition"},
        {"maintenance", TPage::Maintenance, Same.c_str()},
    };
    for (const TCase& Case : Cases) {
        const TPlaces Places = PlacesOf(Flow, std::string(" ") + Case.Name);
        TCleanup Cleanup(Places, Flow.Programs);
        const std::string Setup = Flow.CopyOfDist(std::string("setup ") + Case.Name);
        const std::string Marker = JoinPath(Places.InstallDir, "Morvane.url");
        if (Case.Recorded) {
            MakeFoldersOrFail(Places.InstallDir);
            WriteOrFail(Marker, "installed\r\n");
            WriteRecord(Places.InstallDir, Places.StartFolder, Case.Recorded);
        }
        const std::string Step = std::string("Cancel on the ") + Case.Name + " page";
        {
            TInstaller App(Flow.Exe(Setup), Setup, Flow.Shots);
            if (!Case.Recorded) {
                WalkFirstInstallation(App, Places, Case.Page, false);
            } else if (Case.Page == TPage::Maintenance) {
                App.Expect(TPage::Maintenance, Step);
                Click(App.Control(TKind::RadioButton, Texts::Uninstall, Step),
                      "choose Uninstall Morvane ActiveX");
            } else {
                App.Expect(Case.Page, Step);
            }
            App.Press(Texts::Cancel, Step);
            App.ExpectEnd(1602, CancelEndMs, Step);
        }
        if (FilePresent(JoinPath(Setup, "install.log")))
            Fail(Step, "install.log was written, so a procedure ran");
        if (FolderPresent(Places.ProgramFolder)) Fail(Step, Places.ProgramFolder + " was created");
        const auto Record = ReadRecord();
        if (!Case.Recorded) {
            if (Record) Fail(Step, "an installation record was written");
            if (FolderPresent(Places.InstallDir)) Fail(Step, Places.InstallDir + " was created");
        } else {
            if (!Record || Record->InstalledVersion != Case.Recorded)
                Fail(Step, "the installation record was changed");
            if (!FilePresent(Marker)) Fail(Step, "the installed files were touched");
        }
    }
}

// Destinations and program folders that no product belongs in are refused
// with a message that names them, and the page stays; a folder holding other
// files is taken only after the user says yes.
void Refusals(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    char ProgramFiles[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, ProgramFiles);
    const std::string Foreign = JoinPath(Flow.Work, "Shared Folder");
    MakeFoldersOrFail(Foreign);
    WriteOrFail(JoinPath(Foreign, "notes.txt"), "mine\r\n");

    TInstaller App(Flow.Exe(Setup), Setup, Flow.Shots);
    WalkFirstInstallation(App, Places, TPage::Destination, false);
    HWND Destination = App.SingleEdit("destination page");
    auto Refused = [&](HWND Edit, TPage Page, const std::string& Typed) {
        const std::string Step = "refuse '" + Typed + "' on the " + PageName(Page) + " page";
        TypeText(Edit, Typed, Step);
        App.Press(Texts::Next, Step, false);
        const std::string Message = App.AnswerMessage("OK", Step);
        if (Message.empty() || (!Typed.empty() && Message.find(Typed) == std::string::npos))
            Fail(Step, "the message '" + Message + "' does not name what was typed");
        App.Expect(Page, Step + ": the page stays", 20000, false);
    };
    for (const std::string& Typed :
         {std::string(), std::string("Morvane ActiveX"), std::string("C:\\"),
          std::string("C:\\windows\\Fonts"), std::string(ProgramFiles),
          JoinPath(Flow.Programs, "Tools"), JoinPath(Flow.Work, "a|b")})
        Refused(Destination, TPage::Destination, Typed);

    TypeText(Destination, Foreign, "type a folder holding other files");
    App.Press(Texts::Next, "Next with a folder holding other files", false);
    App.AnswerMessage("&No", "answer No to installing among other files");
    App.Expect(TPage::Destination, "after No: the page stays", 20000, false);
    App.Press(Texts::Next, "Next with a folder holding other files, again", false);
    App.AnswerMessage("&Yes", "answer Yes to installing among other files");
    App.Expect(TPage::Folder, "after Yes: the program folder page");

    HWND Folder = App.SingleEdit("program folder page");
    for (const char* Typed : {"..\\Escape", "\\Leading", "C:\\Menu", "Morvane\\\\Twice"})
        Refused(Folder, TPage::Folder, Typed);
    App.Press(Texts::Cancel, "Cancel after the refusals");
    App.ExpectEnd(1602, CancelEndMs, "Cancel after the refusals");
    if (ReadOrFail(JoinPath(Foreign, "notes.txt")) != "mine\r\n" ||
        FilesIn(Foreign) != std::vector<std::string>{"notes.txt"})
        Fail("after the refusals", "the folder holding other files was changed");
    if (ReadRecord()) Fail("after the refusals", "an installation record was written");
}

// The help switches print the option summary to standard output and end
// with exit code 1 without showing any window.
void Help(TFlow& Flow) {
    const std::string Setup = Flow.CopyOfDist("setup");
    auto Row = [](std::string Option, const std::string& Text) {
        Option.resize(std::max<size_t>(Option.size(), 20), ' ');
        return Option + "  " + Text;
    };
    const TLines Screen = {
        "",
        Row("--ignore-ide", "Start installer even if Delphi/BCB is running."),
        Row("--ignore-bcb", "Do not display and compile BCB versions."),
        Row("--ignore-delphi", "Do not display and compile Delphi versions."),
        "",
        Row("--lib-path=X", "Set the library root directory to X."),
        Row("--keep-files", "Do not call \"clean\"."),
        Row("--autoupdate", "Updates all IDEs where ZIVI 3 is installed."),
        "",
        Row("-rDelphi=X", "Sets the Registry path for the Delphi IDEs."),
        Row("-rBCB=X", "Sets the Registry path for the BCB IDEs."),
        Row("-rBDS=X", "Sets the Registry path for the BDS IDEs. (-rBDS=Win32Only)"),
        Row("--lang=X", "Sets the Installer's language to X."),
        Row("--help", "Show this screen."),
        "",
        Row("--silent", "Install, update or repair without a window."),
        Row("--uninstall", "Uninstall; with --silent, without a window."),
        Row("--dir=X", "Install into folder X (first installation)."),
        Row("--group=X", "Put the shortcuts into program folder X."),
        Row("--log=X", "Also write the setup log to file X."),
        "",
    };
    for (const char* Switch : {"--help", "/?", "-H"}) {
        const std::string Step = std::string("help switch ") + Switch;
        SECURITY_ATTRIBUTES Inherit{sizeof(Inherit), nullptr, TRUE};
        HANDLE OutRead, OutWrite, InRead, InWrite;
        if (!CreatePipe(&OutRead, &OutWrite, &Inherit, 0) ||
            !CreatePipe(&InRead, &InWrite, &Inherit, 0))
            Fail(Step, "no pipes");
        THandle Reader(OutRead), Writer(OutWrite), Input(InRead), Feeder(InWrite);
        SetHandleInformation(OutRead, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(InWrite, HANDLE_FLAG_INHERIT, 0);
        // The help screen waits for Enter.
        DWORD Written = 0;
        WriteFile(InWrite, "\r\n", 2, &Written, nullptr);
        Feeder.reset();

        TProcess Program(JoinPath(Setup, SetupExe), Switch, Setup, InRead, OutWrite);
        Writer.reset();
        Input.reset();
        std::string Output;
        bool WindowSeen = false;
        const bool Ended = WaitFor(60000, [&] {
            if (!TopWindows(Program.Id()).empty()) WindowSeen = true;
            DWORD Available = 0;
            while (PeekNamedPipe(OutRead, nullptr, 0, nullptr, &Available, nullptr) && Available) {
                char Buffer[4096];
                DWORD Read = 0;
                if (!ReadFile(OutRead, Buffer, sizeof(Buffer), &Read, nullptr) || !Read) break;
                Output.append(Buffer, Read);
            }
            return !Program.Running();
        });
        if (!Ended) Fail(Step, "the program still runs after 60 s");
        for (;;) {
            char Buffer[4096];
            DWORD Read = 0;
            if (!ReadFile(OutRead, Buffer, sizeof(Buffer), &Read, nullptr) || !Read) break;
            Output.append(Buffer, Read);
        }
        if (WindowSeen) Fail(Step, "a window was shown");
        if (Program.ExitCode() != 1)
            Fail(Step, "exit code " + std::to_string(Program.ExitCode()) + ", expected 1");
        ExpectLines(CrLfLines(Output, Step + " output"), Screen, Step + " output");
    }
}

//
// Deployment: runs without a window, one setup at a time, and the entry in
// the list of installed apps with the copy of the setup it keeps.
//

const std::string AnotherSetup = Texts::Named("Setup of ", " is already running. Wait until it has "
                                                           "ended, then start setup again.");
const std::string NotInstalled =
    Texts::Named("", " is not installed on this computer: there is nothing to uninstall.");

std::string Arg(const std::string& Option, const std::string& Value) {
    return " \"" + Option + Value + "\"";
}

// Runs the setup program Exe in Folder with Args and returns its exit code.
// Fails the step when a window of it shows meanwhile.
DWORD RunWithoutWindow(const std::string& Exe, const std::string& Args, const std::string& Folder,
                       const std::string& Step) {
    TProcess Program(Exe, Args, Folder);
    std::string Seen;
    const bool Ended = WaitFor(ProcedureMs, [&] {
        for (HWND Window : TopWindows(Program.Id()))
            Seen = WindowText(Window);
        return !Program.Running();
    });
    if (!Ended) Fail(Step, "the program still runs");
    if (!Seen.empty()) Fail(Step, "it showed the window '" + Seen + "'");
    return Program.ExitCode();
}

// The maintenance copy in the installation folder and the entry in the list
// of installed apps that starts it.
void CheckUninstallEntry(const TFlow& Flow, const TPlaces& Places) {
    const std::string Copy = JoinPath(JoinPath(Places.InstallDir, "Setup"), SetupExe);
    if (ReadOrFail(Copy) != ReadOrFail(JoinPath(Flow.Dist, SetupExe)))
        Fail("maintenance copy", Copy + " is not the setup program");
    const std::string List =
        ReadOrFail(JoinPath(Places.InstallDir, Product.InstalledFilesListName));
    for (const std::string& Entry : {"Setup\\" + SetupExe, std::string("Setup\\version")})
        if (List.find(Entry + "\r\n") == std::string::npos)
            Fail("list of installed files", "it does not name " + Entry + ":\n" + List);
    const auto Entry = ReadUninstallEntry();
    if (!Entry) Fail("entry in Installed apps", "the key is missing");
    const TValues Wanted = {
        {"DisplayName", Product.Name},
        {"DisplayVersion", Flow.Version.substr(0, Flow.Version.find(' '))},
        {"Publisher", Product.Publisher},
        {"InstallLocation", Places.InstallDir},
        {"DisplayIcon", Copy + ",0"},
        {"URLInfoAbout", Product.WebAddress},
        {"UninstallString", "\"" + Copy + "\" --uninstall"},
        {"QuietUninstallString", "\"" + Copy + "\" --uninstall --silent"},
        {"NoModify", "1"},
        {"NoRepair", "1"},
    };
    for (const auto& [Name, Value] : Wanted)
        ExpectText(Entry->count(Name) ? Entry->at(Name) : "<absent>", Value,
                   "value " + Name + " of the entry in Installed apps");
    // The size in KB of what was installed: the OCX alone is more than 0.
    const long Size =
        Entry->count("EstimatedSize") ? std::atol(Entry->at("EstimatedSize").c_str()) : 0;
    const long Ocx =
        static_cast<long>(ReadOrFail(JoinPath(Places.InstallDir, OcxName)).size() / 1024);
    if (Size <= Ocx) Fail("entry in Installed apps", "EstimatedSize is " + std::to_string(Size));
}

// Nothing of the product on the machine.
void ExpectNothingInstalled(const TPlaces& Places, const std::string& Step) {
    std::string Left;
    if (FolderPresent(Places.InstallDir)) Left += " the installation folder;";
    if (FolderPresent(Places.ProgramFolder)) Left += " the program folder;";
    if (ReadRecord()) Left += " the record;";
    if (ReadUninstallEntry()) Left += " the entry in Installed apps;";
    if (!Left.empty()) Fail(Step, "left:" + Left);
}

void Silent(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    const std::string Exe = Flow.Exe(Setup);
    const std::string Logs = JoinPath(Flow.Work, "deployment logs");
    MakeFoldersOrFail(Logs);
    const std::string LogFile = JoinPath(Logs, "setup.log");
    const std::string Log = Arg("--log=", LogFile);
    const std::string Folders =
        Arg("--dir=", Places.InstallDir) + Arg("--group=", Places.StartFolder);
    auto Run = [&](const std::string& Folder, const std::string& Args, DWORD Wanted,
                   const std::string& Step) {
        DeleteFileA(LogFile.c_str());
        const DWORD Code = RunWithoutWindow(JoinPath(Folder, SetupExe), Args, Folder, Step);
        if (Code != Wanted)
            Fail(Step, "exit code " + std::to_string(Code) + ", expected " +
                           std::to_string(Wanted) + "; log file:\n" +
                           ReadWholeFile(LogFile).value_or("<none>"));
        return CrLfLines(ReadOrFail(LogFile), Step + ": log file");
    };

    ExpectLines(Run(Setup, "--uninstall --silent" + Log, 1605, "silent uninstall of nothing"),
                {NotInstalled}, "log of a silent uninstall of nothing");
    // A mistyped option is refused, not taken for a repair.
    ExpectLines(Run(Setup, "--uninstal --silent" + Folders + Log, 87, "silent run with a mistyped option"),
                {"Unknown argument \"--uninstal\": a run without a window does nothing it was not "
                 "clearly asked for."},
                "log of the mistyped option");
    ExpectNothingInstalled(Places, "after a mistyped option");
    ExpectNothingInstalled(Places, "after a silent uninstall of nothing");

    // Refused folders: nothing is made, not even install.log.
    const std::string Shared = JoinPath(Flow.Work, "Shared Tools");
    MakeFoldersOrFail(Shared);
    WriteOrFail(JoinPath(Shared, "notes.txt"), "mine\r\n");
    const std::pair<std::string, std::string> Refused[] = {
        {Arg("--dir=", Shared), Shared},
        {Arg("--dir=", JoinPath(WindowsFolder(), "Morvane")), WindowsFolder()},
        {Arg("--dir=", "relative\\folder"), "relative\\folder"},
        {Arg("--dir=", Places.InstallDir) + Arg("--group=", "..\\Escape"), "..\\Escape"},
    };
    for (const auto& [Args, Named] : Refused) {
        const TLines Lines = Run(Setup, "--silent" + Args + Log, 87, "refused" + Args);
        std::string Text;
        for (const std::string& Line : Lines)
            Text += Line + "\n";
        if (Text.find(Named) == std::string::npos)
            Fail("log of the refused" + Args, "it does not name " + Named + ":\n" + Text);
        ExpectNothingInstalled(Places, "after the refused" + Args);
        if (FilePresent(JoinPath(Setup, "install.log")))
            Fail("refused" + Args, "install.log was written");
    }
    if (FilesIn(Shared) != TLines{"notes.txt"} ||
        ReadOrFail(JoinPath(Shared, "notes.txt")) != "mine\r\n")
        Fail("refused shared folder", "its files were changed");

    // Start-up errors: no message box, the text in the log file when it can
    // be written at all.
    const std::string NoVersion = Flow.CopyOfDist("no version");
    DeleteFileA(JoinPath(NoVersion, "version").c_str());
    const TLines Error =
        Run(NoVersion, "--silent" + Folders + Log, 2, "silent run without version");
    if (Error.size() != 1 || Error[0].find(JoinPath(NoVersion, "version")) == std::string::npos)
        Fail("log of the run without version", "the lines are\n" + Quote(Error));
    const std::string Unwritable =
        Arg("--log=", JoinPath(JoinPath(Flow.Work, "no such folder"), "x.log"));
    if (const DWORD Code = RunWithoutWindow(Exe, "--silent" + Folders + Unwritable, Setup,
                                            "log file that cannot be made");
        Code != 2)
        Fail("log file that cannot be made", "exit code " + std::to_string(Code) + ", expected 2");
    ExpectNothingInstalled(Places, "after the start-up errors");

    // A damaged archive: 1603, and the log tells why.
    const std::string Damaged = Flow.CopyOfDist("damaged");
    WriteOrFail(JoinPath(Damaged, "data.arc"), "this is not an archive\r\n");
    const TLines Lines =
        Run(Damaged, "--silent" + Folders + Log, 1603, "silent run, damaged archive");
    if (Lines.empty() || Lines.back() != FailedExtraction.back())
        Fail("log of the damaged run", "the lines are\n" + Quote(Lines));
    ExpectLines(Lines, CrLfLines(ReadOrFail(JoinPath(Damaged, "install.log")), "install.log"),
                "log file against install.log of the damaged run");
    Clean(Places, Flow.Programs);

    // One setup at a time: while the wizard runs, another copy touches nothing.
    {
        TInstaller Wizard(Exe, Setup, Flow.Shots);
        Wizard.Expect(TPage::Welcome, "welcome page of the setup that runs first");
        WriteOrFail(LogFile, "the log of someone else\r\n");
        const std::string Step = "silent setup while the wizard runs";
        const DWORD Code = RunWithoutWindow(Exe, "--silent" + Folders + Log, Setup, Step);
        if (Code != 1618) Fail(Step, "exit code " + std::to_string(Code) + ", expected 1618");
        ExpectNothingInstalled(Places, Step);
        ExpectText(ReadOrFail(LogFile), "the log of someone else\r\n", Step + ": the log file");

        TProcess Second(Exe, "", Setup);
        HWND Box = nullptr;
        WaitFor(20000, [&] {
            for (HWND Window : TopWindows(Second.Id()))
                if (ClassName(Window) == "#32770") Box = Window;
            return Box || !Second.Running();
        });
        if (!Box) Fail("second wizard", "no message box appeared");
        ExpectText(DialogText(Box), AnotherSetup, "message of the second wizard");
        Flow.Shots.Take("another-setup");
        Click(RequireVisible(Box, TKind::PushButton, "OK", "second wizard"), "OK on the message");
        if (!Second.Wait(EndMs) || Second.ExitCode() != 1618)
            Fail("second wizard", "it did not end with exit code 1618");
        Wizard.Press(Texts::Cancel, "Cancel on the welcome page", false);
        Wizard.ExpectEnd(1602, CancelEndMs, "end after Cancel");
    }

    // First installation: no window, not even the program folder's.
    const TLines Installed = Run(Setup, "--silent" + Folders + Log, 0, "silent first installation");
    ExpectLines(Installed, CrLfLines(ReadOrFail(JoinPath(Setup, "install.log")), "install.log"),
                "log file against install.log");
    CheckInstallLog(ReadOrFail(LogFile), Places, "log file of the silent installation");
    Sleep(3000);
    if (!FolderWindows(Places.ProgramFolder).empty())
        Fail("silent first installation", "a window on the program folder was opened");
    CheckInstalled(Flow, Places);
    CheckUninstallEntry(Flow, Places);

    // Repair (the same version) and update keep the recorded folders.
    const std::string Elsewhere = JoinPath(Flow.Work, "Elsewhere");
    const TLines Repaired =
        Run(Setup, "--silent" + Arg("--dir=", Elsewhere) + Log, 0, "silent repair");
    const std::string Note =
        "The folder given with --dir is not used: the installation stays in \"" +
        Places.InstallDir + "\".";
    if (Repaired.empty() || Repaired.front() != Note)
        Fail("log of the silent repair",
             "it does not start with '" + Note + "':\n" + Quote(Repaired));
    if (FolderPresent(Elsewhere)) Fail("silent repair", Elsewhere + " was made");
    CheckInstalled(Flow, Places);
    WriteRecord(Places.InstallDir, Places.StartFolder, "2.5.0 Standard Edition");
    Run(Setup, "--silent" + Log, 0, "silent update");
    CheckInstalled(Flow, Places);
    CheckUninstallEntry(Flow, Places);

    // The copy kept in the installation folder has no archive to repair with.
    const std::string Kept = JoinPath(Places.InstallDir, "Setup");
    ExpectLines(Run(Kept, "--silent" + Log, 2, "the kept copy without --uninstall"),
                {"This copy of setup can only uninstall: start it with --uninstall."},
                "log of the kept copy without --uninstall");
    CheckInstalled(Flow, Places);

    // The quiet uninstall command of Installed apps, the downloaded setup gone.
    WipeTree(Setup);
    const std::string Command = ReadUninstallEntry()->at("QuietUninstallString");
    DeleteFileA(LogFile.c_str());
    const long Code = RunProgram(Command + Log, Flow.Work, ProcedureMs);
    if (Code != 0)
        Fail("quiet uninstall command", "exit code " + std::to_string(Code) + "; log file:\n" +
                                            ReadWholeFile(LogFile).value_or("<none>"));
    const TLines Uninstalled = CrLfLines(ReadOrFail(LogFile), "log file of the quiet uninstall");
    if (Uninstalled.size() < UninstallSteps.size() ||
        !std::equal(UninstallSteps.begin(), UninstallSteps.end(),
                    Uninstalled.end() - UninstallSteps.size()))
        Fail("log file of the quiet uninstall", "the lines are\n" + Quote(Uninstalled));
    // The copy that did the work removes the one that started it as soon
    // as that one has ended.
    WaitFor(20000, [&] { return !FolderPresent(Places.InstallDir); });
    ExpectNothingInstalled(Places, "after the quiet uninstall command");
    if (!ServersOf(JoinPath(Places.InstallDir, OcxName)).empty())
        Fail("quiet uninstall command", "the component is still registered");
}

// Installed apps' uninstall command opens the wizard on the maintenance page
// with Uninstall chosen; the copy kept can only uninstall.
void UninstallFromInstalledApps(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    const std::string Folders =
        Arg("--dir=", Places.InstallDir) + Arg("--group=", Places.StartFolder);
    if (RunWithoutWindow(Flow.Exe(Setup), "--silent" + Folders, Setup, "silent installation") != 0)
        Fail("silent installation", "it did not succeed");
    WipeTree(Setup);
    const std::string Command = ReadUninstallEntry()->at("UninstallString");
    const std::string Copy = JoinPath(JoinPath(Places.InstallDir, "Setup"), SetupExe);
    ExpectText(Command, "\"" + Copy + "\" --uninstall", "uninstall command");
    // A relative log file is where it was meant to be, although the work is
    // done by a copy in another folder.
    const std::string LogFile = JoinPath(Flow.Work, "apps.log");
    {
        TInstaller App(Copy, Flow.Work, Flow.Shots, "--uninstall --log=apps.log");
        App.Expect(TPage::Maintenance, "maintenance page from Installed apps");
        ExpectChecked(App.Control(TKind::RadioButton, Texts::Uninstall, "maintenance page"), true,
                      "Uninstall chosen");
        ExpectEnabled(App.Control(TKind::RadioButton, Texts::Reinstall, "maintenance page"), false,
                      "Reinstall without the archive");
        App.Press(Texts::Next, "Next on the maintenance page", false);
        ExpectText(AwaitFinish(App, Places), Texts::Uninstalled, "outcome sentence");
        FinishWithoutWebSite(App);
    }
    WaitFor(20000, [&] { return !FolderPresent(Places.InstallDir); });
    ExpectNothingInstalled(Places, "after the uninstall from Installed apps");
    const TLines Lines = CrLfLines(ReadOrFail(LogFile), "log file of the wizard");
    if (Lines.size() < UninstallSteps.size() ||
        !std::equal(UninstallSteps.begin(), UninstallSteps.end(),
                    Lines.end() - UninstallSteps.size()))
        Fail("log file of the wizard", "the lines are\n" + Quote(Lines));
}

// --- files held by other programs -----------------------------------------

// Another program's hold on a file: open for reading, sharing read only, as
// an editor or an IDE keeps the file it shows.
class THold {
public:
    explicit THold(const std::string& Path)
        : FHandle(CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {
        if (FHandle == INVALID_HANDLE_VALUE) Fail("hold " + Path, "it cannot be opened");
    }
    ~THold() { Release(); }
    THold(const THold&) = delete;
    THold& operator=(const THold&) = delete;
    void Release() {
        if (FHandle != INVALID_HANDLE_VALUE) CloseHandle(FHandle);
        FHandle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE FHandle;
};

void InstallSilently(const TFlow& Flow, const TPlaces& Places, const std::string& Setup) {
    const std::string Folders =
        Arg("--dir=", Places.InstallDir) + Arg("--group=", Places.StartFolder);
    if (RunWithoutWindow(Flow.Exe(Setup), "--silent" + Folders, Setup, "silent installation") != 0)
        Fail("silent installation", "it did not succeed");
}

// An update while an editor holds a file of the installation: before
// anything changes the wizard names the file; Try Again while it is still
// held asks again, and once it is free the update goes through.
void HeldDuringUpdate(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    InstallSilently(Flow, Places, Setup);
    WriteRecord(Places.InstallDir, Places.StartFolder, "2.5.0 Standard Edition");
    const std::string Held = JoinPath(Places.InstallDir, "Demos\\VBDemo\\VBDemo.vbp");
    THold Editor(Held);
    {
        // Cancel: nothing changes.
        TInstaller App(Flow.Exe(Setup), Setup, Flow.Shots);
        App.Expect(TPage::Welcome, "welcome page of the update");
        App.Press(Texts::Next, "Next on the welcome page of the update", false);
        App.AnswerMessage("Cancel", "files in use: Cancel");
        ExpectText(AwaitFinish(App, Places), Texts::Cancelled, "outcome after Cancel");
        FinishWithoutWebSite(App, 1602);
    }
    const auto Record = ReadRecord();
    ExpectText(Record ? Record->InstalledVersion : "<none>", "2.5.0 Standard Edition",
               "recorded version after Cancel");
    {
        TInstaller App(Flow.Exe(Setup), Setup, Flow.Shots);
        App.Expect(TPage::Welcome, "welcome page of the update");
        App.Press(Texts::Next, "Next on the welcome page of the update", false);
        for (const char* Step : {"files in use, still held", "files in use, released"}) {
            const std::string Message = App.AnswerMessage("&Try Again", Step);
            if (Message.find(Held) == std::string::npos)
                Fail(Step, "the message does not name " + Held + ": " + Message);
            Editor.Release();
        }
        ExpectText(AwaitFinish(App, Places), Texts::Installed, "outcome once the file was free");
        FinishWithoutWebSite(App);
    }
    CheckInstalled(Flow, Places);
}

// Ends every process of this prefix that runs the program Name.
void EndProcessesNamed(const char* Name) {
    const HANDLE Snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (Snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 Entry{};
    Entry.dwSize = sizeof Entry;
    for (BOOL More = Process32First(Snapshot, &Entry); More; More = Process32Next(Snapshot, &Entry))
        if (_stricmp(Entry.szExeFile, Name) == 0)
            if (HANDLE Process =
                    OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, Entry.th32ProcessID)) {
                TerminateProcess(Process, 9);
                WaitForSingleObject(Process, 5000);
                CloseHandle(Process);
            }
    CloseHandle(Snapshot);
}

// An update cut off half-way (setup ended while it extracts, its old files
// moved aside) is undone by the next start of setup before anything else:
// the log says so, and the run then does its own work.
void InterruptedUpdate(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    InstallSilently(Flow, Places, Setup);
    WriteRecord(Places.InstallDir, Places.StartFolder, "2.5.0 Standard Edition");
    const std::string Ocx = JoinPath(Places.InstallDir, OcxName);
    const std::string Component = ReadOrFail(Ocx);

    const std::string Stalled = Flow.CopyOfDist("stalled");
    if (!MoveFileA(JoinPath(Stalled, "unrar.exe").c_str(),
                   JoinPath(Stalled, "real_unrar.exe").c_str()) ||
        !CopyFileA(JoinPath(OwnFolder(), "stall_unrar.exe").c_str(),
                   JoinPath(Stalled, "unrar.exe").c_str(), FALSE))
        Fail("prepare the cut-off run", "the stand-in extraction program cannot be put in place");
    {
        TProcess Cut(Flow.Exe(Stalled), "--silent", Stalled);
        if (!WaitFor(ProcedureMs, [&] { return !FilePresent(Ocx) || !Cut.Running(); }) ||
            !Cut.Running())
            Fail("cut-off run", "the old files were not moved aside while it ran");
        Sleep(1000);
        Cut.Terminate();
        EndProcessesNamed("unrar.exe");
    }
    if (FilePresent(Ocx)) Fail("cut-off run", "the old component is still in place");

    const std::string LogFile = JoinPath(Flow.Work, "after.log");
    const DWORD Code = RunWithoutWindow(Flow.Exe(Setup), "--silent" + Arg("--log=", LogFile), Setup,
                                        "the run after the cut-off one");
    const TLines Log = CrLfLines(ReadOrFail(LogFile), "log after the cut-off run");
    if (Code != 0)
        Fail("the run after the cut-off one",
             "exit code " + std::to_string(Code) + ":\n" + Quote(Log));
    ExpectLines(TLines(Log.begin(), Log.begin() + std::min<size_t>(2, Log.size())),
                {"An earlier run of setup was interrupted before it had finished.",
                 "The earlier installation was restored."},
                "first lines of the run after the cut-off one");
    ExpectText(ReadOrFail(Ocx), Component, "the component after the next run");
    CheckInstalled(Flow, Places);
    CheckUninstallEntry(Flow, Places);
}

// A pinned setup program refuses an unrar.exe or a data.arc that is not the
// one it was built with, before anything changes; with the right ones it
// installs as any other.
void Pinned(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Folders = Arg("--dir=", Places.InstallDir) + Arg("--group=", Places.StartFolder);
    for (const char* Name : {"unrar.exe", "data.arc"}) {
        const std::string Setup = Flow.CopyOfDist(std::string("changed ") + Name);
        const std::string Changed = JoinPath(Setup, Name);
        // Still a working program (an overlay after its image), still an
        // archive as far as its first entries go.
        WriteOrFail(Changed, ReadOrFail(Changed) + std::string(512, '\0'));
        const std::string LogFile = JoinPath(Flow.Work, std::string(Name) + ".log");
        const std::string Step = std::string("pinned setup with a changed ") + Name;
        const DWORD Code = RunWithoutWindow(Flow.Exe(Setup), "--silent" + Folders + Arg("--log=", LogFile),
                                            Setup, Step);
        const TLines Log = CrLfLines(ReadOrFail(LogFile), Step + ": log");
        if (Code != 1603) Fail(Step, "exit code " + std::to_string(Code) + ":\n" + Quote(Log));
        const std::string Refusal = "\"" + Changed + "\" does not belong to this setup program.";
        if (std::find(Log.begin(), Log.end(), Refusal) == Log.end() || Log.back() != FailedExtraction.back())
            Fail(Step, "the log does not say '" + Refusal + "' and end as a damaged archive:\n" + Quote(Log));
        ExpectNothingInstalled(Places, Step);
    }
    InstallSilently(Flow, Places, Flow.CopyOfDist("setup"));
    CheckInstalled(Flow, Places);
}

// The kept copy hands its work over to a copy of itself in a new folder of
// the temporary folder. A folder planted there under the name it used to
// take (MorvaneSetup-<pid>) is never used, nor touched: the copy is started
// suspended, the folder planted, and the uninstall still succeeds.
void PlantedHandOver(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    InstallSilently(Flow, Places, Flow.CopyOfDist("setup"));
    char Buffer[MAX_PATH];
    const std::string Temp(Buffer, GetTempPathA(MAX_PATH, Buffer));
    const std::string Prefix = Product.ShortName + std::string("Setup-");
    const TLines Before = FoldersIn(Temp);

    const std::string Copy = JoinPath(JoinPath(Places.InstallDir, "Setup"), SetupExe);
    std::string Line = "\"" + Copy + "\" --uninstall --silent";
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Process{};
    if (!CreateProcessA(Copy.c_str(), Line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, Flow.Work.c_str(), &Startup, &Process))
        Fail("start the kept copy suspended", "it cannot be started");
    const std::string Planted = JoinPath(Temp, Prefix + std::to_string(Process.dwProcessId));
    MakeFoldersOrFail(Planted);
    WriteOrFail(JoinPath(Planted, SetupExe), "planted by another user\r\n");
    WriteOrFail(JoinPath(Planted, "version"), "9.9.9\r\n");
    ResumeThread(Process.hThread);
    const bool Ended = WaitForSingleObject(Process.hProcess, ProcedureMs) == WAIT_OBJECT_0;
    DWORD Code = 1;
    GetExitCodeProcess(Process.hProcess, &Code);
    CloseHandle(Process.hThread);
    CloseHandle(Process.hProcess);
    if (!Ended || Code != 0) Fail("uninstall by the kept copy", "exit code " + std::to_string(Code));
    WaitFor(20000, [&] { return !FolderPresent(Places.InstallDir); });
    ExpectNothingInstalled(Places, "after the uninstall with a planted folder");
    ExpectText(ReadOrFail(JoinPath(Planted, SetupExe)), "planted by another user\r\n",
               "the planted program");
    if (FilesIn(Planted) != TLines{SetupExe, "version"}) Fail("the planted folder", "it was changed");
    std::string Used;
    for (const std::string& Folder : FoldersIn(Temp))
        if (Folder.rfind(Prefix, 0) == 0 && Folder != Prefix + std::to_string(Process.dwProcessId) &&
            std::find(Before.begin(), Before.end(), Folder) == Before.end())
            Used = Folder;
    if (Used.size() != Prefix.size() + 16)
        Fail("the hand-over folder", "no new folder of an unpredictable name was made: '" + Used + "'");
    WipeTree(Planted);
}

// A product file named beyond ASCII ("Café.txt", UTF-8 in the archive):
// installed under its name, named so in the log and the list of installed
// files (ANSI text), and found again by the uninstall.
void NonAsciiName(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    const std::string LogFile = JoinPath(Flow.Work, "names.log");
    const std::string Folders = Arg("--dir=", Places.InstallDir) + Arg("--group=", Places.StartFolder);
    if (RunWithoutWindow(Flow.Exe(Setup), "--silent" + Folders + Arg("--log=", LogFile), Setup,
                         "installation with a name beyond ASCII") != 0)
        Fail("installation with a name beyond ASCII", ReadWholeFile(LogFile).value_or("<no log>"));
    const std::string Name = "Help\\Caf\xE9.txt"; // the ANSI code page 1252 of the prefix
    ExpectText(ReadOrFail(JoinPath(Places.InstallDir, Name)),
               "A product file whose name is beyond ASCII.\r\n", "the installed file");
    const TLines Log = CrLfLines(ReadOrFail(LogFile), "log of the installation");
    if (std::find(Log.begin(), Log.end(), "Extracting  " + Name) == Log.end())
        Fail("log of the installation", "no line for " + Name + ":\n" + Quote(Log));
    const std::string List = ReadOrFail(JoinPath(Places.InstallDir, Product.InstalledFilesListName));
    if (List.find("\r\n" + Name + "\r\n") == std::string::npos)
        Fail("list of installed files", "it does not name " + Name + ":\n" + List);
    CheckInstalled(Flow, Places);
    if (RunWithoutWindow(Flow.Exe(Setup), "--uninstall --silent", Setup, "the uninstall") != 0)
        Fail("the uninstall", "it did not succeed");
    ExpectNothingInstalled(Places, "after the uninstall of a name beyond ASCII");
}

// The restart flow's places, the same for both halves.
TPlaces RestartPlaces(const TFlow& Flow) {
    TFlow Both = Flow;
    Both.Name = "restart";
    return PlacesOf(Both);
}

const char* const HeldEntry = "Demos\\VBDemo\\VBDemo.vbp";

// First half: a repair without a window while an editor holds a file ends
// with 3010, the file untouched and its new content beside it. The driver
// then ends (and the editor's hold with it); Windows restarts (restart-flow.sh).
void HeldUntilRestart(TFlow& Flow) {
    const TPlaces Places = RestartPlaces(Flow);
    Clean(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    InstallSilently(Flow, Places, Setup);
    const std::string Held = JoinPath(Places.InstallDir, HeldEntry);
    WriteOrFail(JoinPath(Flow.Work, "expected"), ReadOrFail(Held));
    WriteOrFail(Held, "changed by the user\r\n");
    THold Editor(Held);
    const std::string LogFile = JoinPath(Flow.Work, "repair.log");
    const DWORD Code = RunWithoutWindow(Flow.Exe(Setup), "--silent" + Arg("--log=", LogFile), Setup,
                                        "silent repair with a file in use");
    const std::string Log = ReadOrFail(LogFile);
    if (Code != 3010)
        Fail("silent repair with a file in use",
             "exit code " + std::to_string(Code) + "; log:\n" + Log);
    const std::string Line =
        "\"" + Held +
        "\" is in use by another program: its new version is put in place when Windows restarts.";
    if (Log.find(Line + "\r\n") == std::string::npos)
        Fail("log of the repair", "no line '" + Line + "':\n" + Log);
    ExpectText(ReadOrFail(Held), "changed by the user\r\n", "the held file before the restart");
    ExpectText(ReadOrFail(Held + ".~new"), ReadOrFail(JoinPath(Flow.Work, "expected")),
               "the new content beside it");
    CheckInstalled(Flow, Places);
}

// Second half, after the restart: the new content is in place.
void AfterRestart(TFlow& Flow) {
    const TPlaces Places = RestartPlaces(Flow);
    const std::string Held = JoinPath(Places.InstallDir, HeldEntry);
    try {
        ExpectText(ReadOrFail(Held), ReadOrFail(JoinPath(Flow.Work, "expected")),
                   "the held file after the restart");
        if (FilePresent(Held + ".~new")) Fail("after the restart", Held + ".~new is still there");
        CheckInstalled(Flow, Places);
    } catch (...) {
        Clean(Places, Flow.Programs);
        throw;
    }
    Clean(Places, Flow.Programs);
}

const std::map<std::string, std::function<void(TFlow&)>> Flows = {
    {"first", FirstInstallation},
    {"update", Update},
    {"repair", Repair},
    {"uninstall", [](TFlow& Flow) { RunUninstall(Flow, false); }},
    {"keep-foreign", [](TFlow& Flow) { RunUninstall(Flow, true); }},
    {"damaged", DamagedArchive},
    {"cancel", CancelEverywhere},
    {"refusals", Refusals},
    {"help", Help},
    {"keys", KeyboardOnly},
    {"silent", Silent},
    {"apps-uninstall", UninstallFromInstalledApps},
    {"held", HeldDuringUpdate},
    {"interrupted", InterruptedUpdate},
    {"pinned", Pinned},
    {"names", NonAsciiName},
    {"planted-handover", PlantedHandOver},
    {"restart-before", HeldUntilRestart},
    {"restart-after", AfterRestart},
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 5 || !Flows.count(argv[1])) {
        std::fprintf(stderr, "usage: e2e_driver <flow> <dist> <work> <screenshots>\n"
                             "flows:");
        for (const auto& [Name, Run] : Flows)
            std::fprintf(stderr, " %s", Name.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    const TComScope Com;
    const std::string Name = argv[1];
    int Result = 0;
    try {
        const std::string Work = WindowsPath(argv[3]);
        const std::string Shots = WindowsPath(argv[4]);
        MakeFoldersOrFail(Work);
        MakeFoldersOrFail(Shots);
        TFlow Flow(Name, WindowsPath(argv[2]), Work, Shots, MORVANE_XCONTROLS_CLSID);
        Flows.at(Name)(Flow);
        std::printf("e2e flow '%s' passed\n", Name.c_str());
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "e2e flow '%s' FAILED at %s\n", Name.c_str(), Error.what());
        Result = 1;
    }
    return Result;
}
