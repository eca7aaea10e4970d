#pragma once
// What every end-to-end flow shares: the flow's surroundings, the product's
// places of one flow, the cleaning up, and the checks of an installation.

#include "e2e/Machine.h"
#include "e2e/UiDriver.h"
#include "e2e/Wizard.h"
#include "support/Steps.h"
#include "platform/Text.h"
#include "MorvaneXControls.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

namespace e2e {

constexpr DWORD ProcedureMs = 180000;
constexpr DWORD EndMs = 20000;
// Cancel ends the program at once; the margin is for a slow machine only.
constexpr DWORD CancelEndMs = 10000;
const char* const OcxName = Product.OcxFileName;
const std::string SetupExe = Product.ShortName + std::string("Setup.exe");

// The display form of a version text: its numbers, then the edition name.
inline std::string FullVersionText(const std::string& Raw) {
    const std::string Text = Trimmed(Raw);
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
    const std::string Edition = Trimmed(Text.substr(Position));
    const bool Free = Edition.size() >= 4 && Lower(Edition.substr(0, 4)) == "free";
    return Numbers + (Free ? " Free Edition" : " Standard Edition");
}

// The operating-system line the installer writes first, from the same
// version the system reports to us; empty when the system is not named.
inline std::string SystemLine() {
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

inline std::string Quote(const TLines& Lines) {
    std::string Text;
    for (const std::string& Line : Lines)
        Text += "    '" + Line + "'\n";
    return Text;
}

inline void ExpectLines(const TLines& Seen, const TLines& Wanted, const std::string& Step) {
    if (Seen != Wanted)
        Fail(Step, "the lines are\n" + Quote(Seen) + "  expected\n" + Quote(Wanted));
}

// The lines of a multi-line edit; a line break after the last line is no extra line.
inline TLines EditLines(std::string Text) {
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

inline TLines SystemLines(const std::string& Prefix = "") {
    const std::string Line = SystemLine();
    if (Line.empty()) return {};
    return {Prefix + Line, ""};
}

const TLines FailedExtraction = {"Delete old files...", "Extracting component files...",
                                 "Error extracting component files from archive.",
                                 "Archive damaged."};

inline std::string ExtractionEcho(const std::string& InstallDir) {
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

inline BOOL CALLBACK CollectFolderWindow(HWND Window, LPARAM Param) {
    auto& Search = *reinterpret_cast<TFolderWindows*>(Param);
    if (IsWindowVisible(Window) && ClassName(Window) != "#32770" &&
        WindowText(Window).find(Search.Leaf) != std::string::npos)
        Search.Found.push_back(Window);
    return TRUE;
}

inline std::vector<HWND> FolderWindows(const std::string& Folder) {
    TFolderWindows Search{Folder.substr(Folder.find_last_of('\\') + 1), {}};
    EnumWindows(CollectFolderWindow, reinterpret_cast<LPARAM>(&Search));
    return Search.Found;
}

// Explorer windows the installer opened on the program folder: closed as a
// user would close them. With Appearing, the window is awaited first: the
// shell opens it in a process of its own, a moment after the request.
inline void CloseFolderWindows(const std::string& Folder, bool Appearing = false) {
    if (Appearing) WaitFor(10000, [&] { return !FolderWindows(Folder).empty(); });
    const auto Found = FolderWindows(Folder);
    for (HWND Window : Found)
        PostMessageA(Window, WM_CLOSE, 0, 0);
    WaitFor(5000, [&] {
        for (HWND Window : Found)
            if (IsWindow(Window) && IsWindowVisible(Window)) return false;
        return true;
    });
    // The windows beneath repaint what was covered before a screenshot.
    if (!Found.empty())
        RedrawWindow(GetDesktopWindow(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// Removes whatever the product may have left, so a failed flow does not
// spoil the next one. Runs before and after every flow.
inline void Clean(const TPlaces& Places, const std::string& Programs) {
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

inline TPlaces PlacesOf(const TFlow& Flow, const std::string& Tag = "") {
    TPlaces Places;
    // A space in both names makes sure nothing splits them on the way.
    Places.InstallDir =
        JoinPath(JoinPath(Flow.Work, "Program Files"), Product.Name + (" " + Flow.Name) + Tag);
    Places.StartFolder = Product.ShortName + (" E2E\\" + Flow.Name) + Tag + " Shortcuts";
    Places.ProgramFolder = JoinPath(Flow.Programs, Places.StartFolder);
    return Places;
}

// States are awaited for a moment: a busy program answers a click late.
inline void ExpectChecked(HWND Control, bool Checked, const std::string& Step) {
    if (!WaitFor(5000, [&] { return IsChecked(Control) == Checked; }))
        Fail(Step, "'" + WindowText(Control) + "' is " + (Checked ? "unticked" : "ticked"));
}

inline void ExpectEnabled(HWND Control, bool Enabled, const std::string& Step) {
    if (!WaitFor(5000, [&] { return (IsWindowEnabled(Control) != FALSE) == Enabled; }))
        Fail(Step, "'" + WindowText(Control) + "' is " + (Enabled ? "disabled" : "enabled"));
}

// The subtitle of a welcome page, where a control carries it; a page that only
// draws it leaves nothing to read, which is said in the output.
inline void CheckSubtitle(TInstaller& App, const std::string& Subtitle, const std::string& Step) {
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
inline void WalkFirstInstallation(TInstaller& App, const TPlaces& Places, TPage Stop,
                                  bool Thorough) {
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
inline std::string AwaitFinish(TInstaller& App, const TPlaces& Places) {
    App.WaitPage({TPage::Compile, TPage::Finish}, 20000, "start of the procedure", false);
    const std::string Step = "finish page";
    App.Expect(TPage::Finish, Step, ProcedureMs, false);
    CloseFolderWindows(Places.ProgramFolder, FolderPresent(Places.ProgramFolder));
    App.Shot(PageName(TPage::Finish));
    App.Control(TKind::CheckBox, Texts::VisitWeb, Step);
    return App.FinishText(Step);
}

inline void ExpectText(const std::string& Seen, const std::string& Wanted,
                       const std::string& Step) {
    if (Seen != Wanted) Fail(Step, "reads '" + Seen + "', expected '" + Wanted + "'");
}

// Unticks "Visit Morvane web site" if needed and presses Finish: the program
// must end by itself with exit code 0.
// Finish ends the wizard with the code a run without a window would have.
inline void FinishWithoutWebSite(TInstaller& App, DWORD ExitCode = 0) {
    HWND Visit = App.Control(TKind::CheckBox, Texts::VisitWeb, "finish page");
    if (IsChecked(Visit)) Click(Visit, "untick Visit Morvane web site");
    ExpectChecked(Visit, false, "Visit Morvane web site before Finish");
    App.Press(Texts::FinishButton, "Finish");
    App.ExpectEnd(ExitCode, EndMs, "end after Finish");
}

// The installation on the machine: files, registration, links, record.
inline void CheckInstalled(const TFlow& Flow, const TPlaces& Places) {
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
inline void CheckInstallLog(const std::string& Log, const TPlaces& Places,
                            const std::string& Step) {
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

const std::string AnotherSetup = Texts::Named("Setup of ", " is already running. Wait until it has "
                                                           "ended, then start setup again.");
const std::string NotInstalled =
    Texts::Named("", " is not installed on this computer: there is nothing to uninstall.");

inline std::string Arg(const std::string& Option, const std::string& Value) {
    return " \"" + Option + Value + "\"";
}

// Runs the setup program Exe in Folder with Args and returns its exit code.
// Fails the step when a window of it shows meanwhile.
inline DWORD RunWithoutWindow(const std::string& Exe, const std::string& Args,
                              const std::string& Folder, const std::string& Step) {
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
inline void CheckUninstallEntry(const TFlow& Flow, const TPlaces& Places) {
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
inline void ExpectNothingInstalled(const TPlaces& Places, const std::string& Step) {
    std::string Left;
    if (FolderPresent(Places.InstallDir)) Left += " the installation folder;";
    if (FolderPresent(Places.ProgramFolder)) Left += " the program folder;";
    if (ReadRecord()) Left += " the record;";
    if (ReadUninstallEntry()) Left += " the entry in Installed apps;";
    if (!Left.empty()) Fail(Step, "left:" + Left);
}

// The flows, by subject: the wizard (FlowsWizard.cpp), runs without a
// window (FlowsUnattended.cpp), files held and runs cut off (FlowsTrouble.cpp).
void FirstInstallation(TFlow& Flow);
void Update(TFlow& Flow);
void Repair(TFlow& Flow);
void KeyboardOnly(TFlow& Flow);
void DamagedArchive(TFlow& Flow);
void CancelEverywhere(TFlow& Flow);
void Refusals(TFlow& Flow);
// A first installation, then a second run that uninstalls it (Foreign: with
// a file of the user's and another program's link that must stay).
void RunUninstall(TFlow& Flow, bool Foreign);
void Help(TFlow& Flow);
void Silent(TFlow& Flow);
void UninstallFromInstalledApps(TFlow& Flow);
void HeldDuringUpdate(TFlow& Flow);
void InterruptedUpdate(TFlow& Flow);
void Pinned(TFlow& Flow);
void PlantedHandOver(TFlow& Flow);
void NonAsciiName(TFlow& Flow);
void HeldUntilRestart(TFlow& Flow);
void AfterRestart(TFlow& Flow);

} // namespace e2e
