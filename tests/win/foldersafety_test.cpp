// The folder rules on a real system under Wine: its own folders in every
// spelling, and the list of installed files on real files: written whole,
// read back, and removing exactly what it names, never through a link.

#include "data/FolderSafety.h"
#include "data/Protection.h"
#include "data/InstalledFiles.h"
#include "data/Product.h"
#include "platform/Utils.h"
#include "platform/Owners.h"
#include "support/Files.h"
#include "support/System.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using V = TFolderVerdict;

std::string ShortName(const std::string& Path) {
    char Buffer[MAX_PATH] = {};
    GetShortPathNameA(Path.c_str(), Buffer, sizeof Buffer);
    return Buffer;
}

std::string Upper(std::string Text) {
    CharUpperBuffA(Text.data(), static_cast<DWORD>(Text.size()));
    return Text;
}

// Every file below Folder as a relative path, sorted.
void ListTree(const std::string& Folder, const std::string& Relative,
              std::vector<std::string>& Names) {
    WIN32_FIND_DATAA Entry;
    const TFindHandle Find(FindFirstFileA((Folder + "\\*").c_str(), &Entry));
    if (!Find) return;
    do {
        const std::string Name = Entry.cFileName;
        if (Name == "." || Name == "..") continue;
        const std::string Path = Relative.empty() ? Name : Relative + "\\" + Name;
        if (Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Names.push_back(Path + "\\");
            ListTree(Folder + "\\" + Name, Path, Names);
        } else {
            Names.push_back(Path);
        }
    } while (FindNextFileA(Find.get(), &Entry));
}

std::vector<std::string> Tree(const std::string& Folder) {
    std::vector<std::string> Names;
    ListTree(Folder, "", Names);
    std::sort(Names.begin(), Names.end());
    return Names;
}

struct PlaceCase {
    const char* Name;
    std::string (*Path)();
    V Verdict;
};

class SystemPlaces : public testing::TestWithParam<PlaceCase> {};

TEST_P(SystemPlaces, RefusedInEverySpelling) {
    const std::string Path = GetParam().Path();
    ASSERT_FALSE(Path.empty()) << GetParam().Name;
    const TSystemFolders Folders = SystemFolders();
    EXPECT_EQ(CheckInstallDir(Path, Folders), GetParam().Verdict) << Path;
    EXPECT_EQ(CheckInstallDir(Upper(Path) + "\\", Folders), GetParam().Verdict) << Path;
    const std::string Short = ShortName(Path);
    if (!Short.empty()) {
        EXPECT_EQ(CheckInstallDir(Short, Folders), GetParam().Verdict) << Short;
    }
    // Wine keeps Desktop and Documents as links to the Unix home folder:
    // that folder, by its own name, is the same place.
    const std::string Resolved = FinalPath(Path, true);
    if (!Resolved.empty() && GetParam().Verdict != V::Ok) {
        EXPECT_EQ(CheckInstallDir(Resolved.substr(Resolved.rfind(':') - 1), Folders),
                  GetParam().Verdict)
            << Resolved;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Wine, SystemPlaces,
    testing::Values(
        PlaceCase{"Windows", [] { return WindowsFolder(); }, V::WindowsFolder},
        PlaceCase{"System32", [] { return WindowsFolder() + "\\system32"; }, V::WindowsFolder},
        PlaceCase{"InWindows", [] { return WindowsFolder() + "\\Morvane New"; }, V::WindowsFolder},
        PlaceCase{"ProgramFiles", [] { return ShellFolder(CSIDL_PROGRAM_FILES); }, V::ProgramFiles},
        PlaceCase{"CommonFiles", [] { return ShellFolder(CSIDL_PROGRAM_FILES_COMMON); },
                  V::ProgramFiles},
        PlaceCase{"InProgramFiles",
                  [] { return ShellFolder(CSIDL_PROGRAM_FILES) + "\\Grenwick\\Morvane ActiveX"; },
                  V::Ok},
        PlaceCase{"Profile", [] { return ShellFolder(CSIDL_PROFILE); }, V::UserFolder},
        PlaceCase{"Desktop", [] { return ShellFolder(CSIDL_DESKTOPDIRECTORY); }, V::UserFolder},
        PlaceCase{"Documents", [] { return ShellFolder(CSIDL_PERSONAL); }, V::UserFolder},
        PlaceCase{"InDocuments", [] { return ShellFolder(CSIDL_PERSONAL) + "\\Morvane New"; },
                  V::Ok},
        PlaceCase{"Programs", [] { return ShellFolder(CSIDL_PROGRAMS); }, V::StartMenu},
        PlaceCase{"InPrograms", [] { return ShellFolder(CSIDL_PROGRAMS) + "\\Grenwick"; },
                  V::StartMenu},
        PlaceCase{"CommonPrograms", [] { return ShellFolder(CSIDL_COMMON_PROGRAMS); },
                  V::StartMenu},
        PlaceCase{"Root", [] { return WindowsFolder().substr(0, 3); }, V::Root}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(InstallDirRules, FormAndFiles) {
    TTempFolder Dir("safety-form");
    ASSERT_TRUE(WriteWholeFile(Dir / "a file", "x"));
    EXPECT_EQ(CheckInstallDir(Dir / "a file"), V::NotAFolder);
    EXPECT_EQ(CheckInstallDir(Dir / "a file\\"), V::NotAFolder);
    EXPECT_EQ(CheckInstallDir(Dir / "New\\Deeper"), V::Ok);
    EXPECT_EQ(CheckInstallDir(Dir.Path()), V::Ok);
    EXPECT_EQ(CheckInstallDir("Relative\\Folder"), V::Relative);
    EXPECT_EQ(CheckInstallDir(Dir / "a?b"), V::BadCharacter);
    EXPECT_EQ(CheckStartFolder("Grenwick\\Morvane ActiveX Edition"), V::Ok);
    EXPECT_EQ(CheckStartFolder("..\\Startup"), V::DotLevel);
}

TEST(ForeignFiles, OnlyAFolderWithEntriesAndNoListOfOurs) {
    TTempFolder Dir("safety-foreign");
    EXPECT_FALSE(FolderHoldsForeignFiles(Dir / "missing"));
    EXPECT_FALSE(FolderHoldsForeignFiles(Dir.Path())) << "empty";
    ASSERT_TRUE(CreateDirectoryA((Dir / "Sub").c_str(), nullptr));
    EXPECT_TRUE(FolderHoldsForeignFiles(Dir.Path())) << "a folder is something too";
    ASSERT_TRUE(WriteWholeFile(Dir / Product.InstalledFilesListName, "Sub\\x\r\n"));
    EXPECT_FALSE(FolderHoldsForeignFiles(Dir.Path())) << "an installation of ours";
}

TEST(FileList, WrittenWholeReplacedAndReadBack) {
    TTempFolder Dir("safety-list");
    std::string Error;
    const std::vector<std::string> First = {"Morvane.url", "Help\\ZelkX.HLP"};
    ASSERT_TRUE(WriteInstalledFiles(Dir.Path(), First, Error)) << Error;
    EXPECT_EQ(ReadWholeFile(Dir / Product.InstalledFilesListName),
              "Morvane.url\r\nHelp\\ZelkX.HLP\r\n");
    const std::vector<std::string> Second = {"MorvaneXControls.ocx"};
    ASSERT_TRUE(WriteInstalledFiles(Dir.Path() + "\\", Second, Error)) << Error;
    // Replaced, and no temporary file left beside it.
    EXPECT_EQ(Tree(Dir.Path()), std::vector<std::string>{Product.InstalledFilesListName});
    std::vector<std::string> Read;
    ASSERT_TRUE(ReadInstalledFiles(Dir.Path(), Read));
    EXPECT_EQ(Read, Second);

    // A tampered list: only what stays below the folder is read.
    ASSERT_TRUE(WriteWholeFile(Dir / Product.InstalledFilesListName,
                               "..\\victim.txt\r\nC:\\boot.ini\r\n\\x\r\n*\r\nok.txt\r\n"));
    ASSERT_TRUE(ReadInstalledFiles(Dir.Path(), Read));
    EXPECT_EQ(Read, std::vector<std::string>{"ok.txt"});

    EXPECT_FALSE(ReadInstalledFiles(Dir / "missing", Read));
    EXPECT_TRUE(Read.empty());
    EXPECT_FALSE(WriteInstalledFiles(Dir / "missing", Second, Error));
    EXPECT_FALSE(Error.empty());
}

// An installation folder with product files and files of the user's.
class Removal : public testing::Test {
protected:
    void SetUp() override {
        for (const char* Folder : {"Help", "Demos", "Demos\\Compiled", "Mine"})
            ASSERT_TRUE(CreateDirectoryA((Dir / Folder).c_str(), nullptr));
        // One listed file is gone already.
        for (const std::string& File : Listed)
            if (File != "Demos\\Readme.txt") {
                ASSERT_TRUE(WriteWholeFile(Dir / File, "product"));
            }
        for (const std::string& File : Users)
            ASSERT_TRUE(WriteWholeFile(Dir / File, "user"));
        // Our own files may be read-only or hidden by now.
        SetFileAttributesA((Dir / "Help\\ZelkX.HLP").c_str(),
                           FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
        std::string Error;
        ASSERT_TRUE(WriteInstalledFiles(Dir.Path(), Listed, Error));
    }

    TTempFolder Dir{"safety-removal"};
    const std::vector<std::string> Listed = {"Morvane.url", "Help\\ZelkX.HLP",
                                             "Demos\\Compiled\\VCDemo.exe", "MorvaneXControls.ocx",
                                             "Demos\\Readme.txt"};
    const std::vector<std::string> Users = {"notes.txt", "Help\\my notes.txt", "Mine\\a.txt"};
};

TEST_F(Removal, DeleteTakesListedFilesAndTheFoldersTheyEmptied) {
    TRemovalReport Report = DeleteInstalledFiles(Dir.Path(), Listed);
    EXPECT_TRUE(Report.Failed.empty());
    EXPECT_EQ(Report.Kept, 3u);
    EXPECT_FALSE(Report.FolderRemoved);
    EXPECT_EQ(Tree(Dir.Path()), (std::vector<std::string>{"Help\\", "Help\\my notes.txt", "Mine\\",
                                                          "Mine\\a.txt", "notes.txt"}));

    // A folder of the user's stays even when empty, and so does the
    // installation folder around it.
    for (const std::string& File : Users)
        DeleteFileA((Dir / File).c_str());
    Report = DeleteInstalledFiles(Dir.Path(), Listed);
    EXPECT_EQ(Report.Kept, 0u);
    EXPECT_FALSE(Report.FolderRemoved);
    EXPECT_EQ(Tree(Dir.Path()), std::vector<std::string>{"Mine\\"});
}

TEST_F(Removal, DeleteWithOnlyProductFilesRemovesTheFolder) {
    for (const std::string& File : Users)
        DeleteFileA((Dir / File).c_str());
    RemoveDirectoryA((Dir / "Mine").c_str());
    TRemovalReport Report = DeleteInstalledFiles(Dir.Path(), Listed);
    EXPECT_TRUE(Report.Failed.empty());
    EXPECT_TRUE(Report.FolderRemoved);
    EXPECT_FALSE(PathExists(Dir.Path()));
}

TEST_F(Removal, AFileHeldOpenIsReportedAndStays) {
    THandle Held(CreateFileA((Dir / "Morvane.url").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             0, nullptr));
    ASSERT_TRUE(Held);
    TRemovalReport Report = DeleteInstalledFiles(Dir.Path(), Listed);
    Held.reset();
    ASSERT_EQ(Report.Failed.size(), 1u);
    const std::string HeldPath = Dir / "Morvane.url";
    EXPECT_EQ(Report.Failed[0].substr(0, HeldPath.size() + 4), "\"" + HeldPath + "\": ");
    EXPECT_EQ(Report.Kept, 3u) << "the held file is ours, not kept as someone else's";
    EXPECT_TRUE(PathExists(Dir / "Morvane.url"));
    EXPECT_TRUE(PathExists(Dir / Product.InstalledFilesListName)) << "the next run needs it";
}

TEST_F(Removal, RecycleTakesListedFilesToTheTrashAndKeepsTheFolder) {
    EXPECT_EQ(RecycleInstalledFiles(Dir.Path(), Listed), 4u);
    EXPECT_EQ(Tree(Dir.Path()),
              (std::vector<std::string>{"Help\\", "Help\\my notes.txt", "Mine\\", "Mine\\a.txt",
                                        Product.InstalledFilesListName, "notes.txt"}));
    // With nothing else in it, the folder still stays: it is not ours alone.
    TTempFolder Only("safety-recycle");
    ASSERT_TRUE(WriteWholeFile(Only / "Morvane.url", "x"));
    EXPECT_EQ(RecycleInstalledFiles(Only.Path(), {"Morvane.url"}), 1u);
    EXPECT_TRUE(PathExists(Only.Path()));
}

// A Unix link inside the installation folder leading outside it (made by
// the wrapper script: Wine cannot make Windows links).
TEST(RemovalThroughLinks, NeverDeletesOrRecyclesOutsideTheFolder) {
    const char* Fixture = std::getenv("MORVANE_LINK_FIXTURE");
    if (!Fixture) GTEST_SKIP() << "run through foldersafety_links.sh";
    const std::string Base = WindowsPath(Fixture);
    const std::string Tree = Base + "\\tree", Outside = Base + "\\outside";
    const std::vector<std::string> Listed = {"Demos\\VCDemo.exe", "own.txt"};
    EXPECT_EQ(RecycleInstalledFiles(Tree, Listed), 1u);
    EXPECT_TRUE(PathExists(Outside + "\\VCDemo.exe"));
    EXPECT_FALSE(PathExists(Tree + "\\own.txt"));

    ASSERT_TRUE(WriteWholeFile(Tree + "\\own.txt", "x"));
    TRemovalReport Report = DeleteInstalledFiles(Tree, Listed);
    EXPECT_TRUE(PathExists(Outside + "\\VCDemo.exe"));
    EXPECT_TRUE(PathExists(Tree + "\\Demos")) << "the link itself stays too";
    EXPECT_FALSE(PathExists(Tree + "\\own.txt"));
    ASSERT_EQ(Report.Failed.size(), 1u);
    EXPECT_NE(Report.Failed[0].find("link"), std::string::npos);
}

// The folders setup makes for itself are made for SYSTEM and the
// Administrators, nothing inherited from the parent. Wine neither enforces
// nor keeps a descriptor given to CreateDirectory, so the descriptors are
// checked as what the system writes them back as.
TEST(Protection, FoldersOfSetupAreForAdministrators) {
    EXPECT_EQ(ProtectionSddl(TProtection::HandOver), "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
    EXPECT_EQ(ProtectionSddl(TProtection::Installation),
              "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)");
}

TEST(Protection, AnExistingFolderIsNeverTaken) {
    TTempFolder Work("protection");
    EXPECT_TRUE(CreateProtectedFolder(Work / "new", TProtection::HandOver));
    EXPECT_FALSE(CreateProtectedFolder(Work / "new", TProtection::HandOver));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

TEST(Protection, OnlyProgramFilesProtectsWhatIsMadeInIt) {
    const std::string ProgramFiles = ShellFolder(CSIDL_PROGRAM_FILES);
    EXPECT_TRUE(InProtectedLocation(ProgramFiles + "\\Grenwick\\Morvane ActiveX"));
    EXPECT_TRUE(InProtectedLocation(Upper(ProgramFiles) + "\\X"));
    EXPECT_FALSE(InProtectedLocation(ProgramFiles));
    EXPECT_FALSE(InProtectedLocation("C:\\Morvane"));
    EXPECT_FALSE(InProtectedLocation(ProgramFiles + " Tools\\X"));
}

// The verdict on a folder found where setup is to install, from its owner
// and DACL as Windows reports them (Wine keeps no owner and no DACL of its
// own making, so the decision is checked as data).
struct TrustCase {
    const char* Name;
    const char* Sddl;
    TFolderTrust Trust;
};

const char* const Self = "S-1-5-21-1-2-3-500";
const char* const TrustedInstaller =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

class FolderTrustTable : public testing::TestWithParam<TrustCase> {};

TEST_P(FolderTrustTable, OwnerAndWhoMayChangeIt) {
    EXPECT_EQ(JudgeFolderSecurity(GetParam().Sddl, Self), GetParam().Trust) << GetParam().Sddl;
}

INSTANTIATE_TEST_SUITE_P(
    Sddl, FolderTrustTable,
    testing::Values(
        TrustCase{"MadeBySetup", "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)",
                  TFolderTrust::Trusted},
        TrustCase{"InProgramFiles",
                  "O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
                  "D:AI(A;OICIIOID;GA;;;CO)(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)"
                  "(A;OICIID;0x1200a9;;;BU)(A;ID;FA;;;S-1-5-80-956008885-3418522649-1831038044-"
                  "1853292631-2271478464)",
                  TFolderTrust::Trusted},
        TrustCase{"AdministratorInDriveRoot",
                  "O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIIOID;GA;;;CO)"
                  "(A;OICIID;0x1200a9;;;BU)(A;CIID;LC;;;AU)(A;OICIIOID;SDGXGWGR;;;AU)",
                  TFolderTrust::OpenToOthers},
        TrustCase{"UserInDriveRoot",
                  "O:S-1-5-21-1-2-3-1001D:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)",
                  TFolderTrust::ForeignOwner},
        TrustCase{"EveryoneMayWrite", "O:SYD:(A;OICI;FA;;;SY)(A;OICI;FW;;;WD)",
                  TFolderTrust::OpenToOthers},
        TrustCase{"UsersMayChangePermissions", "O:BAD:(A;;FA;;;BA)(A;;WD;;;BU)",
                  TFolderTrust::OpenToOthers},
        TrustCase{"OthersDeniedOnly", "O:SYD:(D;OICI;FA;;;WD)(A;OICI;FA;;;SY)",
                  TFolderTrust::Trusted},
        TrustCase{"OthersReadOnly", "O:SYD:(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;WD)",
                  TFolderTrust::Trusted},
        TrustCase{"ChildrenWritableByUsers", "O:SYD:(A;OICI;FA;;;SY)(A;OICIIO;FA;;;BU)",
                  TFolderTrust::OpenToOthers},
        TrustCase{"SetupsOwnAccount",
                  "O:S-1-5-21-1-2-3-500D:(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-21-1-2-3-500)",
                  TFolderTrust::Trusted},
        TrustCase{"NoOwner", "D:(A;OICI;FA;;;SY)", TFolderTrust::ForeignOwner},
        TrustCase{"NotSddl", "no descriptor", TFolderTrust::ForeignOwner}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// The same check on real folders, as Wine reports them: the account setup
// runs as owns them and only it may change them.
TEST(TakeInstallFolder, WhatWineGives) {
    TTempFolder Dir("take");
    ASSERT_TRUE(WriteWholeFile(Dir / "a file", "x"));
    ASSERT_TRUE(CreateDirectoryA((Dir / "there").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((Dir / "elsewhere").c_str(), nullptr));
    ASSERT_TRUE(MakeUnixLink(Dir / "elsewhere", Dir / "link"));
    const std::pair<std::string, V> Cases[] = {{Dir / "there", V::Ok},
                                               {Dir / "there\\", V::Ok},
                                               {Dir / "missing", V::Ok},
                                               {Dir / "a file", V::NotAFolder},
                                               {Dir / "link", V::Link},
                                               // a link of setup's own account
                                               {Dir / "link\\inside", V::Ok}};
    for (const auto& [Path, Verdict] : Cases) {
        TFolderHolds Holds;
        bool Protected = true;
        EXPECT_EQ(TakeInstallFolder(Path, Holds, true, Protected), Verdict) << Path;
        EXPECT_FALSE(Protected) << Path;
        EXPECT_EQ(Holds.Handle(StripTrailingBackslash(Path)) != nullptr,
                  Verdict == V::Ok && FolderPresent(Path))
            << Path;
    }
    // Held until let go. (On Windows nobody can rename or delete it then;
    // Wine does not enforce sharing on folders, so that is not shown here.)
    TFolderHolds Holds;
    bool Protected = false;
    ASSERT_EQ(TakeInstallFolder(Dir / "there", Holds, true, Protected), V::Ok);
    EXPECT_NE(Holds.Handle(Dir / "there"), nullptr);
    Holds.Release(Dir / "there");
    EXPECT_EQ(Holds.Handle(Dir / "there"), nullptr);
    EXPECT_EQ(CheckFolderOwnership(Dir / "link"), V::Link);
    RemoveUnixLink(Dir / "link");
}

TEST(Protection, SetupStateKeysAreForAdministratorsOnly) {
    EXPECT_EQ(ProtectionSddl(TProtection::SetupState), "D:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)");
}

} // namespace
