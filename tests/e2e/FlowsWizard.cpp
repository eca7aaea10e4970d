// End-to-end flows through the wizard's pages, with the mouse and with the keyboard.

#include "e2e/Flow.h"

namespace e2e {

void FirstInstallation(TFlow& Flow) {
    const TPlaces Places = PlacesOf(Flow);
    TCleanup Cleanup(Places, Flow.Programs);
    const std::string Setup = Flow.CopyOfDist("setup");
    const std::string SavedFolder = JoinPath(Flow.Work, "saved logs");
    MakeFoldersOrFail(SavedFolder);
    const std::string Saved = JoinPath(SavedFolder, Texts::DefaultLogName);
    {
        TInstaller App(Flow.Exe(Setup), Setup, Flow.Shots);
        App.Expect(TPage::Welcome, "welcome page of a first installation");
        // The user at the keyboard (a setup elevated over the shoulder) puts
        // another program under the name of the running setup: what the
        // installation keeps is still the program that runs.
        const std::string Running = Flow.Exe(Setup);
        if (MoveFileA(Running.c_str(), (Running + ".old").c_str()))
            CopyFileA(JoinPath(OwnFolder(), "stall_unrar.exe").c_str(), Running.c_str(), FALSE);
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
    CheckUninstallEntry(Flow, Places);
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

} // namespace e2e
