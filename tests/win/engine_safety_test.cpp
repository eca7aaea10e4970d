// The procedures remove only what setup installed, under Wine on real
// files: the user's files in the installation folder, a folder that held
// other files before, a program folder shared with other programs, an
// installation without a list, and records tampered with so that they name
// folders setup must never clean. unrar.exe and data.arc lie beside this
// program, as beside the installer.

#include "data/FolderRules.h"
#include "data/InstallData.h"
#include "platform/Utils.h"
#include "engine/Compile.h"
#include "MorvaneXControls.h"

#include "support/Steps.h"
#include "win/engine_run_fixture.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace enginetest;

namespace {


std::string Token() {
    static const std::string Value = "MorvaneSafetyTest-" + std::to_string(GetCurrentProcessId());
    return Value;
}



// One of the product's links, as setup would name it.
const std::string OurLink = ProductShortcuts().back().LinkName;

// Files the archive delivers, a few of each level.
const char* const ProductFiles[] = {Product.OcxFileName, "Morvane.url", "Help\\ZelkX.HLP",
                                    "Demos\\Compiled\\VCDemo.exe", "Demos\\VBDemo\\VBDemo.vbp"};

const std::string ListName = Product.InstalledFilesListName;

// The page's view without the operating-system lines of an install.
TLines StepsOnly(const TLines& Page) {
    TLines Steps = Page;
    auto First = std::find(Steps.begin(), Steps.end(), "Delete old files...");
    if (First != Steps.end()) Steps.erase(Steps.begin(), First);
    return Steps;
}

bool Contains(const TLines& Lines, const std::string& Line) {
    return std::find(Lines.begin(), Lines.end(), Line) != Lines.end();
}

// The files of a snapshot, lower case, sorted.
TLines FilesOf(const TSnapshot& Snapshot) {
    TLines Files;
    for (const auto& [Path, Content] : Snapshot)
        if (Path.back() != '\\') Files.push_back(Lower(Path));
    std::sort(Files.begin(), Files.end());
    return Files;
}

TLines ListLines(const std::string& Folder) {
    TLines Entries = ParseFileList(ReadOrFail(Folder + "\\" + ListName));
    for (std::string& Entry : Entries)
        Entry = Lower(Entry);
    std::sort(Entries.begin(), Entries.end());
    return Entries;
}

class SafetyTest : public TEngineRunTest {
protected:
    SafetyTest() : TEngineRunTest("safety", Token()) {}

    TLines InstallNow() {
        auto Engine = NewEngine();
        EXPECT_TRUE(Engine->Install().Completed());
        EXPECT_EQ(StepsOnly(Page), InstallSteps);
        EXPECT_TRUE(Data->Succeeded);
        Engine->Release();
        return Engine->Log();
    }

    TLines UninstallNow() {
        auto Engine = NewEngine();
        Engine->Uninstall();
        EXPECT_EQ(Page, UninstallSteps);
        Engine->Release();
        return Engine->Log();
    }
};

TEST_F(SafetyTest, UsersFilesSurviveAnUpdateAndAnUninstallWithTheirFolders) {
    const std::string Dest = Data->InstallDir;
    InstallNow();
    // The list holds exactly the files the archive delivered.
    TSnapshot Installed = Snapshot(Dest);
    ASSERT_TRUE(Installed.count(ListName));
    Installed.erase(ListName);
    EXPECT_EQ(ListLines(Dest), FilesOf(Installed));
    EXPECT_GE(ListLines(Dest).size(), std::size(ProductFiles));

    // The user's files, at the top and in the product's own folders, and a
    // file of an earlier version that the new archive no longer has.
    ASSERT_TRUE(WriteWholeFile(Dest + "\\mine.txt", "mine"));
    ASSERT_TRUE(WriteWholeFile(Dest + "\\Help\\my notes.txt", "notes"));
    ASSERT_TRUE(CreateDirectoryA((Dest + "\\Mine").c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(Dest + "\\Mine\\deep.txt", "deep"));
    ASSERT_TRUE(CreateDirectoryA((Dest + "\\Old").c_str(), nullptr));
    const std::string Gone = "Gone-" + Outer + ".dll";
    ASSERT_TRUE(WriteWholeFile(Dest + "\\Old\\" + Gone, "old version"));
    ASSERT_TRUE(WriteWholeFile(Dest + "\\" + ListName,
                               ReadOrFail(Dest + "\\" + ListName) + "Old\\" + Gone + "\r\n"));
    const TSnapshot Users = {{"Help\\", ""},
                             {"Help\\my notes.txt", "notes"},
                             {"Mine\\", ""},
                             {"Mine\\deep.txt", "deep"},
                             {"mine.txt", "mine"}};

    // Update: the earlier version's file goes to the trash, the user's stay.
    InstallNow();
    EXPECT_FALSE(FilePresent(Dest + "\\Old\\" + Gone));
    EXPECT_FALSE(FolderPresent(Dest + "\\Old")) << "left empty by the old file";
    EXPECT_TRUE(TrashHolds(Gone)) << "the old file is not in the trash";
    for (const auto& [Path, Content] : Users) {
        if (Path.back() != '\\') {
            EXPECT_EQ(ReadOrFail(Dest + "\\" + Path), Content) << Path;
        }
    }
    for (const char* File : ProductFiles)
        EXPECT_TRUE(FilePresent(Dest + "\\" + File)) << File;
    EXPECT_EQ(ListLines(Dest), FilesOf(Installed)) << "the new list names the archive's files";

    // Uninstall: the product's files and the list go; the user's files and
    // their folders stay, and the log says so.
    const TLines Log = UninstallNow();
    EXPECT_TRUE(Contains(Log, "Kept 3 files that setup did not install in \"" + Dest + "\"."))
        << testing::PrintToString(Log);
    TSnapshot Left = Snapshot(Dest);
    TLines LeftNames;
    for (const auto& [Path, Content] : Left)
        LeftNames.push_back(Path);
    EXPECT_EQ(LeftNames,
              (TLines{"Help\\", "Help\\my notes.txt", "Mine\\", "Mine\\deep.txt", "mine.txt"}));
    EXPECT_FALSE(FolderPresent(ProgramFolder()));
}

TEST_F(SafetyTest, AFolderFullOfOtherFilesIsLeftExactlyAsItWas) {
    const std::string Dest = Data->InstallDir;
    for (const char* Folder :
         {"", "\\Sub", "\\Sub\\Deeper", "\\Empty", "\\Demos", "\\Demos\\Other"})
        ASSERT_TRUE(CreateDirectoryA((Dest + Folder).c_str(), nullptr)) << Folder;
    ASSERT_TRUE(WriteWholeFile(Dest + "\\a.txt", "a"));
    ASSERT_TRUE(WriteWholeFile(Dest + "\\Help.txt", "not the product's help"));
    ASSERT_TRUE(WriteWholeFile(Dest + "\\Sub\\b.dat", std::string(5000, 'b')));
    ASSERT_TRUE(WriteWholeFile(Dest + "\\Sub\\Deeper\\c.bin", "c"));
    ASSERT_TRUE(
        WriteWholeFile(Dest + "\\Demos\\Other\\x.txt", "in a folder of the product's name"));
    ASSERT_TRUE(WriteWholeFile(Dest + "\\secret.ini", "hidden, read-only"));
    SetFileAttributesA((Dest + "\\secret.ini").c_str(),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    const TSnapshot Before = Snapshot(Dest);

    InstallNow();
    const TLines Log = UninstallNow();
    EXPECT_EQ(Snapshot(Dest), Before);
    EXPECT_TRUE(Contains(Log, "Kept 6 files that setup did not install in \"" + Dest + "\"."))
        << testing::PrintToString(Log);
    SetFileAttributesA((Dest + "\\secret.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(SafetyTest, OtherProgramsLinksInTheProgramFolderStay) {
    Inner = "Shared " + Outer;
    Data->StartFolder = Outer + "\\" + Inner;
    const std::string Folder = ProgramFolder();
    ASSERT_TRUE(
        CreateDirectoryA((AddTrailingBackslash(Data->ProgramsDir) + Outer).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(Folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((Folder + "\\Tools").c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(Folder + "\\Other Program.lnk", "other"));
    ASSERT_TRUE(WriteWholeFile(Folder + "\\Tools\\Tool.lnk", "tool"));
    ASSERT_TRUE(WriteWholeFile(Folder + "\\desktop.ini", "[.ShellClassInfo]"));
    SetFileAttributesA((Folder + "\\desktop.ini").c_str(), FILE_ATTRIBUTE_HIDDEN);
    const TSnapshot Before = Snapshot(Folder);

    InstallNow();
    TSnapshot Now = Snapshot(Folder);
    for (const auto& [Target, Link] : ProductShortcuts()) {
        EXPECT_TRUE(Now.count(Link)) << Link;
        Now.erase(Link);
    }
    EXPECT_EQ(Now, Before);

    UninstallNow();
    EXPECT_EQ(Snapshot(Folder), Before);
    // (The blank of the folder's name is escaped in the trash's records.)
    const TLines Trashed = TrashEntriesWith(Outer);
    // (A name already in the trash gets a suffix there.)
    for (const auto& [Target, Link] : ProductShortcuts())
        EXPECT_TRUE(std::any_of(Trashed.begin(), Trashed.end(),
                                [&](const std::string& Name) { return Name.rfind(Link, 0) == 0; }))
            << Link << " is not in the trash: " << testing::PrintToString(Trashed);
    SetFileAttributesA((Folder + "\\desktop.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(SafetyTest, WithoutAListUninstallRemovesTheArchivesFilesOnly) {
    const std::string Dest = Data->InstallDir;
    InstallNow();
    // As an older setup left it: no list.
    ASSERT_TRUE(DeleteFileA((Dest + "\\" + ListName).c_str()));
    ASSERT_TRUE(WriteWholeFile(Dest + "\\Help\\mine.txt", "mine"));
    const TLines Log = UninstallNow();
    for (const char* File : ProductFiles)
        EXPECT_FALSE(FilePresent(Dest + "\\" + File)) << File;
    EXPECT_EQ(ReadOrFail(Dest + "\\Help\\mine.txt"), "mine");
    TSnapshot Left = Snapshot(Dest);
    EXPECT_EQ(Left.size(), 2u) << "Help\\ and Help\\mine.txt only";
    EXPECT_TRUE(Contains(Log, "Kept 1 file that setup did not install in \"" + Dest + "\"."))
        << testing::PrintToString(Log);

    // Without a list the update recycles nothing: the extraction overwrites.
    InstallNow();
    EXPECT_EQ(ReadOrFail(Dest + "\\Help\\mine.txt"), "mine");
}

// A destination that is a link (here a Unix one, which the program sees as
// it sees a junction), for a first installation and for an update of the
// folder a record names: refused before anything changes, and nothing is
// written where it leads.
TEST_F(SafetyTest, ADestinationThatIsALinkIsRefused) {
    const std::string Elsewhere = Work / ("Elsewhere " + Outer);
    ASSERT_TRUE(CreateDirectoryA(Elsewhere.c_str(), nullptr));
    ASSERT_TRUE(MakeUnixLink(Elsewhere, Data->InstallDir));
    for (const bool Recorded : {false, true}) {
        if (Recorded) {
            Data->Installed = true;
            Data->SaveToRegistry();
        }
        const auto Record = KeyValues(Product.RecordKey);
        auto Engine = NewEngine();
        EXPECT_EQ(Engine->Install().Kind, TOutcomeKind::Refused);
        EXPECT_FALSE(Data->Succeeded);
        const std::string Refusal = DestinationRefusalText(TFolderVerdict::Link, Data->InstallDir);
        EXPECT_TRUE(Contains(Page, Refusal.substr(0, Refusal.find('\r'))))
            << testing::PrintToString(Page);
        EXPECT_EQ(Page.back(), "Setup changed nothing.");
        EXPECT_TRUE(Snapshot(Elsewhere).empty()) << "written through the link";
        EXPECT_EQ(KeyValues(Product.RecordKey), Record);
        EXPECT_FALSE(FolderPresent(ProgramFolder()));
    }
    RemoveUnixLink(Data->InstallDir);
}

// --- records tampered with --------------------------------------------------

struct TamperedCase {
    const char* Name;
    std::string (*Folder)(const std::string& Work);
    TFolderVerdict Verdict;
    bool Plant; // a list naming a victim file goes into the folder
};

class TamperedInstallDir : public SafetyTest, public ::testing::WithParamInterface<TamperedCase> {
protected:
    void TearDown() override {
        for (const std::string& Path : Planted) {
            SetFileAttributesA(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(Path.c_str());
        }
        for (auto Folder = MadeFolders.rbegin(); Folder != MadeFolders.rend(); ++Folder)
            RemoveDirectoryA(Folder->c_str());
        SafetyTest::TearDown();
    }

    // A file that must survive, and a list of ours that names it.
    void PlantVictim(const std::string& Folder) {
        if (!FolderPresent(Folder)) {
            ASSERT_TRUE(CreateDirectoryA(Folder.c_str(), nullptr)) << Folder;
            MadeFolders.push_back(Folder);
        }
        Victim = AddTrailingBackslash(Folder) + "victim-" + Outer + ".txt";
        const std::string List = AddTrailingBackslash(Folder) + ListName;
        ASSERT_FALSE(FilePresent(List)) << "a list is in " << Folder << " already";
        ASSERT_TRUE(WriteWholeFile(Victim, "victim"));
        ASSERT_TRUE(WriteWholeFile(List, "victim-" + Outer + ".txt\r\nMorvane.url\r\n"));
        Planted = {Victim, List};
    }

    std::string Victim;
    std::vector<std::string> Planted, MadeFolders;
};

TEST_P(TamperedInstallDir, NothingIsCleaned) {
    const std::string Folder = GetParam().Folder(Work.Path());
    if (GetParam().Plant) PlantVictim(Folder);
    Data->InstallDir = Folder;
    Data->Installed = true;
    Data->SaveToRegistry(); // the record names it, as if damaged

    const std::string Why = "\"" + Folder + "\" is not a folder setup may clean (" +
                            VerdictReason(GetParam().Verdict) + ").";
    const TLines Log = UninstallNow();
    EXPECT_TRUE(Contains(Log, "Skipped removing component files: " + Why))
        << testing::PrintToString(Log);
    if (GetParam().Plant) {
        EXPECT_EQ(ReadOrFail(Victim), "victim");
        EXPECT_TRUE(FilePresent(Planted[1])) << "the list itself";
    }

    // The installation's first step: old files are not recycled from there.
    // (The extraction is not reached: no extraction program beside the
    // installer copied for the purpose.)
    TTempFolder Setup("safety-setup");
    const std::string Probe = Setup / "morvane_probe.exe";
    ASSERT_TRUE(
        CopyFileA((InstallerFolder() + "\\engine_probe.exe").c_str(), Probe.c_str(), FALSE));
    const std::string Result = Work / "probe.out";
    // A backslash before the closing quote would escape it.
    const std::string Argument = Folder.empty() || Folder.back() != '\\' ? Folder : Folder + "\\";
    EXPECT_EQ(RunProgram(std::string(1, '"').append(Probe) + "\" \"" + Result + "\" install \"" +
                             Argument + "\" \"" + Data->StartFolder + "\"",
                         Work.Path()),
              0);
    // Or the folder is refused outright (a link, a file): nothing changes.
    const std::string Out = ReadOrFail(Result);
    EXPECT_TRUE(Out.find("\nLSkipped removing old files: " + Why + "\n") != std::string::npos ||
                Out.find("\nLSetup changed nothing.\n") != std::string::npos)
        << Out;
    if (GetParam().Plant) {
        EXPECT_EQ(ReadOrFail(Victim), "victim");
    }
    EXPECT_TRUE(TrashEntriesWith("victim-" + Outer).empty());
}

using TF = TFolderVerdict;

INSTANTIATE_TEST_SUITE_P(
    Records, TamperedInstallDir,
    ::testing::Values(
        TamperedCase{"Windows", [](const std::string&) { return WindowsFolder(); },
                     TF::WindowsFolder, true},
        TamperedCase{"System32", [](const std::string&) { return WindowsFolder() + "\\system32"; },
                     TF::WindowsFolder, true},
        TamperedCase{"DriveRoot", [](const std::string&) { return WindowsFolder().substr(0, 3); },
                     TF::Root, true},
        TamperedCase{"ProgramFiles",
                     [](const std::string&) { return ShellFolder(CSIDL_PROGRAM_FILES); },
                     TF::ProgramFiles, true},
        TamperedCase{"Profile", [](const std::string&) { return ShellFolder(CSIDL_PROFILE); },
                     TF::UserFolder, true},
        // Both are links to the Unix home folder under Wine: nothing is
        // planted there.
        TamperedCase{"Documents", [](const std::string&) { return ShellFolder(CSIDL_PERSONAL); },
                     TF::UserFolder, false},
        TamperedCase{"Desktop",
                     [](const std::string&) { return ShellFolder(CSIDL_DESKTOPDIRECTORY); },
                     TF::UserFolder, false},
        TamperedCase{"Programs", [](const std::string&) { return ShellFolder(CSIDL_PROGRAMS); },
                     TF::StartMenu, true},
        TamperedCase{"InPrograms",
                     [](const std::string&) {
                         return ShellFolder(CSIDL_PROGRAMS) + "\\" + Token() + "-in-programs";
                     },
                     TF::StartMenu, true},
        TamperedCase{"Relative", [](const std::string&) { return std::string("Dest"); },
                     TF::Relative, true},
        TamperedCase{"DotDot", [](const std::string& W) { return W + "\\Dest\\..\\Victim"; },
                     TF::DotLevel, false},
        TamperedCase{"Wildcard", [](const std::string& W) { return W + "\\*"; }, TF::BadCharacter,
                     false},
        TamperedCase{"Empty", [](const std::string&) { return std::string(); }, TF::Empty, false},
        TamperedCase{"AFile", [](const std::string& W) { return W + "\\version"; }, TF::NotAFolder,
                     false}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(SafetyTest, DotDotRecordLeavesTheFolderItLeadsTo) {
    // "..\" in the record would lead the removal to a sibling folder.
    const std::string Victim = Work / "Victim";
    ASSERT_TRUE(CreateDirectoryA(Victim.c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(Victim + "\\Morvane.url", "not ours"));
    ASSERT_TRUE(WriteWholeFile(Victim + "\\" + ListName, "Morvane.url\r\n"));
    ASSERT_TRUE(CreateDirectoryA((Work / "Dest").c_str(), nullptr));
    Data->InstallDir = Work / "Dest\\..\\Victim";
    UninstallNow();
    EXPECT_EQ(ReadOrFail(Victim + "\\Morvane.url"), "not ours");
}

struct TamperedFolderCase {
    const char* Name;
    const char* StartFolder; // %V: the victim folder's full path
    TFolderVerdict Verdict;
};

// Program folders that lead out of the Programs folder, or are the Programs
// folder itself: one of our link names waits in each place they could reach.
class TamperedStartFolder : public SafetyTest,
                            public ::testing::WithParamInterface<TamperedFolderCase> {
protected:
    void SetUp() override {
        SafetyTest::SetUp();
        Programs = Work / "Start\\Programs";
        Victim = Work / "Start\\Victim";
        for (const std::string& Folder : {Work / "Start", Programs, Victim})
            ASSERT_TRUE(CreateDirectoryA(Folder.c_str(), nullptr));
        for (const std::string& Folder : {Programs, Victim}) {
            ASSERT_TRUE(WriteWholeFile(Folder + "\\" + OurLink, "not ours"));
            ASSERT_TRUE(WriteWholeFile(Folder + "\\Other.lnk", "other"));
        }
        Data->ProgramsDir = Programs;
        std::string Folder = GetParam().StartFolder;
        const std::string::size_type Mark = Folder.find("%V");
        if (Mark != std::string::npos) Folder.replace(Mark, 2, Victim);
        Data->StartFolder = Folder;
    }

    void ExpectUntouched() {
        for (const std::string& Folder : {Programs, Victim}) {
            EXPECT_EQ(FilesIn(Folder), (TLines{OurLink, "Other.lnk"})) << Folder;
            EXPECT_EQ(ReadOrFail(Folder + "\\" + OurLink), "not ours");
        }
    }

    static TLines FilesIn(const std::string& Folder) {
        TLines Names;
        for (const auto& [Path, Content] : Snapshot(Folder))
            Names.push_back(Path);
        return Names;
    }

    std::string Programs, Victim;
};

TEST_P(TamperedStartFolder, NeitherCleanedNorFilled) {
    const std::string Why = "\"" + Data->StartFolder +
                            "\" is not a program folder setup may use (" +
                            VerdictReason(GetParam().Verdict) + ").";
    ASSERT_EQ(CheckProgramFolder(Data->StartFolder), GetParam().Verdict);
    // An installation: the links are not made, old ones not removed.
    auto Engine = NewEngine();
    EXPECT_TRUE(Engine->Install().Completed());
    EXPECT_EQ(StepsOnly(Page), InstallSteps);
    EXPECT_TRUE(Contains(Engine->Log(), "Skipped creating shortcuts: " + Why))
        << testing::PrintToString(Engine->Log());
    Engine->Release();
    ExpectUntouched();

    const TLines Log = UninstallNow();
    EXPECT_TRUE(Contains(Log, "Skipped removing the program folder: " + Why))
        << testing::PrintToString(Log);
    ExpectUntouched();
}

INSTANTIATE_TEST_SUITE_P(
    Records, TamperedStartFolder,
    ::testing::Values(TamperedFolderCase{"ParentLevel", "..\\Victim", TF::DotLevel},
                      TamperedFolderCase{"DotLevel", ".", TF::DotLevel},
                      TamperedFolderCase{"FullPath", "%V", TF::Drive},
                      TamperedFolderCase{"LeadingBackslash", "\\Victim", TF::LeadingSlash},
                      TamperedFolderCase{"Empty", "", TF::Empty},
                      TamperedFolderCase{"TrailingBackslash", "Victim\\", TF::EmptyLevel},
                      TamperedFolderCase{"Wildcard", "*", TF::BadCharacter}),
    [](const auto& Info) { return std::string(Info.param.Name); });

} // namespace
