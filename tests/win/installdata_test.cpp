#include "data/InstallData.h"
#include "platform/Error.h"
#include "platform/OsError.h"
#include "platform/Owners.h"
#include "platform/ShellNames.h"
#include "platform/Utils.h"
#include "platform/Owners.h"
#include "support/Record.h"
#include "support/Files.h"
#include "support/System.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <optional>

namespace {

const char* const ParentKey = "Software\\Pellinor";

TRegKey OpenRecord(REGSAM Access) {
    return OpenProductKey(Product.RecordKey, Access);
}

bool KeyExists(const char* Path) {
    return static_cast<bool>(OpenProductKey(Path));
}

struct TValue {
    const char* Name;
    DWORD Type;
    std::string Data;
};

// Sets up the record a test needs and the current folder with its
// "version" file; undoes both afterwards.
class TInstallDataTest : public testing::Test {
protected:
    void SetUp() override {
        FParentExisted = KeyExists(ParentKey);
        DeleteProductRecord();
        GetCurrentDirectoryA(MAX_PATH, FOldDirectory);
        ASSERT_TRUE(SetCurrentDirectoryA(FDir.Path().c_str()));
    }
    void TearDown() override {
        SetCurrentDirectoryA(FOldDirectory);
        DeleteProductRecord();
        if (!FParentExisted) RegDeleteKeyExA(HKEY_LOCAL_MACHINE, ParentKey, KEY_WOW64_32KEY, 0);
    }

    void WriteRecord(const std::vector<TValue>& Values) {
        HKEY RawKey = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(HKEY_LOCAL_MACHINE, Product.RecordKey, 0, nullptr, 0,
                                  KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &RawKey, nullptr));
        const TRegKey Key(RawKey);
        for (const TValue& V : Values) {
            if (V.Type == REG_DWORD) {
                DWORD Number = 7;
                RegSetValueExA(Key.get(), V.Name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&Number),
                               sizeof Number);
            } else {
                RegSetValueExA(Key.get(), V.Name, 0, V.Type,
                               reinterpret_cast<const BYTE*>(V.Data.c_str()),
                               static_cast<DWORD>(V.Data.size() + 1));
            }
        }
    }

    void WriteVersionFile(const std::string& Text) {
        ASSERT_TRUE(WriteWholeFile(FDir / "version", Text));
    }

    TTempFolder FDir{"installdata"};

private:
    bool FParentExisted = false;
    char FOldDirectory[MAX_PATH] = {};
};

std::string DefaultInstallDir() {
    const std::string ProgramFiles = ShellFolder(CSIDL_PROGRAM_FILES);
    return AddTrailingBackslash(ProgramFiles.empty() ? "C:\\Program files" : ProgramFiles) +
           Product.DefaultInstallSubDir;
}

const char* const Default = "(default)";
const char* const Absent = "(absent)";
const char* const DefaultFolder = Product.DefaultStartFolder;

struct RecordCase {
    const char* Name;
    bool HasKey;
    std::vector<TValue> Values;
    std::string VersionFile;
    const char* Error; // nullptr: construction succeeds
    TInstallMode Mode = imInstall;
    const char* InstallDir = ""; // or Default
    const char* StartFolder = "";
    const char* InstalledVersion = ""; // full text, or Absent
    const char* SetupVersion = "";
};

std::vector<TValue> Record(const char* Dir, const char* Folder, const char* Version) {
    return {{"InstallDir", REG_SZ, Dir},
            {"StartFolder", REG_SZ, Folder},
            {"InstalledVersion", REG_SZ, Version}};
}

class RecordTable : public TInstallDataTest, public testing::WithParamInterface<RecordCase> {};

TEST_P(RecordTable, StartUp) {
    const RecordCase& C = GetParam();
    if (C.HasKey) WriteRecord(C.Values);
    WriteVersionFile(C.VersionFile);

    if (C.Error) {
        try {
            TInstallData Data;
            FAIL() << "constructed";
        } catch (const Exception& E) {
            EXPECT_STREQ(C.Error, E.what());
        }
        return;
    }
    TInstallData Data;
    EXPECT_EQ(C.Mode, Data.Mode);
    EXPECT_EQ(C.InstalledVersion != std::string(Absent), Data.Installed);
    EXPECT_EQ(C.InstallDir == std::string(Default) ? DefaultInstallDir() : C.InstallDir,
              Data.InstallDir);
    EXPECT_EQ(C.StartFolder, Data.StartFolder);
    EXPECT_EQ(std::string(C.InstalledVersion),
              Data.InstalledVersion ? Data.InstalledVersion->FullText() : std::string(Absent));
    EXPECT_EQ(C.SetupVersion, Data.SetupVersion.FullText());
    EXPECT_FALSE(Data.Succeeded);
}

const std::string Carried = "2.5.1";
const char* const CarriedFull = "2.5.1 Standard Edition";

INSTANTIATE_TEST_SUITE_P(
    Records, RecordTable,
    testing::Values(
        RecordCase{"NoRecord",
                   false,
                   {},
                   Carried,
                   nullptr,
                   imInstall,
                   Default,
                   DefaultFolder,
                   Absent,
                   CarriedFull},
        RecordCase{"SameVersion", true, Record("D:\\Tools\\Q", "My Tools", CarriedFull), Carried,
                   nullptr, imReinstall, "D:\\Tools\\Q", "My Tools", CarriedFull, CarriedFull},
        RecordCase{"SameVersionOtherSpelling", true, Record("D:\\Q", "F", " 2.5.1 \r\n"),
                   "2.5.1 Standard", nullptr, imReinstall, "D:\\Q", "F", CarriedFull, CarriedFull},
        RecordCase{"OlderRecorded", true, Record("D:\\Q", "F", "2.5.0 Standard Edition"), Carried,
                   nullptr, imUpdate, "D:\\Q", "F", "2.5.0 Standard Edition", CarriedFull},
        RecordCase{"NewerRecorded", true, Record("D:\\Q", "F", "2.6.0 Standard Edition"), Carried,
                   nullptr, imUpdate, "D:\\Q", "F", "2.6.0 Standard Edition", CarriedFull},
        RecordCase{"OtherEdition", true, Record("D:\\Q", "F", "2.5.1 Free Edition"),
                   "2.5.1 Standard", nullptr, imUpdate, "D:\\Q", "F", "2.5.1 Free Edition",
                   CarriedFull},
        RecordCase{"LeadingZeroIsAnotherVersion", true, Record("D:\\Q", "F", "2.05.1"), Carried,
                   nullptr, imUpdate, "D:\\Q", "F", "2.05.1 Standard Edition", CarriedFull},
        RecordCase{"EmptyInstallDir", true, Record("", "My Tools", CarriedFull), Carried, nullptr,
                   imInstall, "", "My Tools", Absent, CarriedFull},
        RecordCase{"EmptyInstallDirAndFolder", true, Record("", "", CarriedFull), Carried, nullptr,
                   imInstall, "", DefaultFolder, Absent, CarriedFull},
        RecordCase{"MissingInstallDir",
                   true,
                   {{"InstalledVersion", REG_SZ, CarriedFull}},
                   Carried,
                   nullptr,
                   imInstall,
                   "",
                   DefaultFolder,
                   Absent,
                   CarriedFull},
        RecordCase{"EmptyStartFolder", true, Record("D:\\Q", "", CarriedFull), Carried, nullptr,
                   imReinstall, "D:\\Q", DefaultFolder, CarriedFull, CarriedFull},
        RecordCase{"ExpandableText",
                   true,
                   {{"InstallDir", REG_EXPAND_SZ, "%SystemDrive%\\Q"},
                    {"StartFolder", REG_SZ, "F"},
                    {"InstalledVersion", REG_EXPAND_SZ, CarriedFull}},
                   Carried,
                   nullptr,
                   imReinstall,
                   "%SystemDrive%\\Q",
                   "F",
                   CarriedFull,
                   CarriedFull},
        RecordCase{"VersionFileWithLineBreak",
                   false,
                   {},
                   "2.5.1\r\n",
                   nullptr,
                   imInstall,
                   Default,
                   DefaultFolder,
                   Absent,
                   CarriedFull},
        RecordCase{"VersionFileEditionOnNextLine",
                   false,
                   {},
                   "\n 2.5.1.7\nfree\n",
                   nullptr,
                   imInstall,
                   Default,
                   DefaultFolder,
                   Absent,
                   "2.5.1.7 Free Edition"},
        RecordCase{"MissingInstalledVersion",
                   true,
                   {{"InstallDir", REG_SZ, "D:\\Q"}, {"StartFolder", REG_SZ, "F"}},
                   Carried,
                   "Bad version string"},
        RecordCase{"EmptyKey", true, {}, Carried, "Bad version string"},
        RecordCase{"BlankInstalledVersionNoDir", true, Record("", "F", " \r\n"), Carried,
                   "Bad version string"},
        RecordCase{"VersionAsNumber",
                   true,
                   {{"InstallDir", REG_SZ, "D:\\Q"}, {"InstalledVersion", REG_DWORD, ""}},
                   Carried,
                   "Invalid data type for 'InstalledVersion'"},
        RecordCase{"FolderAsNumber",
                   true,
                   {{"StartFolder", REG_DWORD, ""}},
                   Carried,
                   "Invalid data type for 'StartFolder'"},
        RecordCase{"DirAsBinary",
                   true,
                   {{"InstallDir", REG_BINARY, "D:\\Q"}, {"InstalledVersion", REG_SZ, "2.5.1"}},
                   Carried,
                   "Invalid data type for 'InstallDir'"},
        RecordCase{"BlankVersionFile", false, {}, " \r\n\t", "Bad version string"}),
    [](const testing::TestParamInfo<RecordCase>& Info) { return std::string(Info.param.Name); });

TEST_F(TInstallDataTest, MissingVersionFileNamesItsFullPath) {
    for (bool WithBadRecord : {false, true}) {
        if (WithBadRecord) WriteRecord({{"InstallDir", REG_DWORD, ""}});
        try {
            TInstallData Data;
            FAIL() << "constructed without a version file";
        } catch (const Exception& E) {
            // The record is read first, so its error wins.
            std::string Expected = WithBadRecord
                                       ? "Invalid data type for 'InstallDir'"
                                       : "Cannot open file \"" + FDir / "version" + "\". " +
                                             SysErrorMessage(ERROR_FILE_NOT_FOUND);
            EXPECT_EQ(Expected, E.what());
        }
    }
    EXPECT_FALSE(SysErrorMessage(ERROR_FILE_NOT_FOUND).empty());
}

TEST_F(TInstallDataTest, SaveWritesTheCarriedVersion) {
    WriteRecord(Record("D:\\Old", "Old Folder", "2.4.0 Free Edition"));
    WriteVersionFile("2.5.1");
    TInstallData Data;
    ASSERT_EQ(imUpdate, Data.Mode);
    Data.InstallDir = "E:\\New";
    Data.StartFolder = "New\\Folder";
    Data.SaveToRegistry();

    const TRegKey Key = OpenRecord(KEY_READ);
    ASSERT_NE(nullptr, Key);
    for (const auto& [Name, Expected] :
         {std::pair<const char*, const char*>{"InstallDir", "E:\\New"},
          {"StartFolder", "New\\Folder"},
          {"InstalledVersion", CarriedFull}}) {
        char Buffer[256] = {};
        DWORD Type = 0, Size = sizeof Buffer;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(Key.get(), Name, nullptr, &Type,
                                                  reinterpret_cast<BYTE*>(Buffer), &Size));
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), Type) << Name;
        EXPECT_STREQ(Expected, Buffer) << Name;
    }

    // What was saved reads back as an installation of the carried version.
    TInstallData Again;
    EXPECT_EQ(imReinstall, Again.Mode);
    EXPECT_EQ("E:\\New", Again.InstallDir);
    EXPECT_EQ("New\\Folder", Again.StartFolder);
}

TEST_F(TInstallDataTest, SaveCreatesAMissingKey) {
    WriteVersionFile("2.5.1 Free");
    TInstallData Data;
    ASSERT_FALSE(KeyExists(Product.RecordKey));
    Data.Installed = true;
    Data.SaveToRegistry();
    TInstallData Again;
    EXPECT_EQ(imReinstall, Again.Mode);
    EXPECT_EQ(Data.InstallDir, Again.InstallDir);
    EXPECT_EQ("2.5.1 Free Edition", Again.InstalledVersion->FullText());
}

TEST_F(TInstallDataTest, SaveDeletesTheKeyAndItsSubKeysButNotTheParent) {
    WriteRecord(Record("D:\\Q", "F", CarriedFull));
    {
        HKEY Sub = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                                  (std::string(Product.RecordKey) + "\\Sub\\Deeper").c_str(), 0,
                                  nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &Sub,
                                  nullptr));
        const TRegKey Made(Sub);
    }
    WriteVersionFile("2.5.1");
    TInstallData Data;
    Data.Installed = false;
    Data.SaveToRegistry();
    EXPECT_FALSE(KeyExists(Product.RecordKey));
    EXPECT_TRUE(KeyExists(ParentKey));

    // Nothing to delete: nothing happens.
    EXPECT_NO_THROW(Data.SaveToRegistry());
    EXPECT_FALSE(KeyExists(Product.RecordKey));
}

// Gives the record key a DACL that allows Everyone only Access (and the
// rights needed to undo it), or allows everything again.
void RestrictRecordKey(REGSAM Access) {
    const TRegKey Key = OpenRecord(WRITE_DAC);
    ASSERT_NE(nullptr, Key);
    SECURITY_DESCRIPTOR Descriptor;
    InitializeSecurityDescriptor(&Descriptor, SECURITY_DESCRIPTOR_REVISION);
    alignas(ACL) BYTE AclBuffer[256];
    auto* Acl = reinterpret_cast<ACL*>(AclBuffer);
    if (Access == KEY_ALL_ACCESS) {
        SetSecurityDescriptorDacl(&Descriptor, TRUE, nullptr, FALSE); // no DACL: all allowed
    } else {
        BYTE SidBuffer[SECURITY_MAX_SID_SIZE];
        DWORD SidSize = sizeof SidBuffer;
        ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, SidBuffer, &SidSize));
        InitializeAcl(Acl, sizeof AclBuffer, ACL_REVISION);
        ASSERT_TRUE(
            AddAccessAllowedAce(Acl, ACL_REVISION, Access | WRITE_DAC | READ_CONTROL, SidBuffer));
        SetSecurityDescriptorDacl(&Descriptor, TRUE, Acl, FALSE);
    }
    EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(Key.get(), DACL_SECURITY_INFORMATION, &Descriptor));
}

// A record that cannot be written is an error, never a success without a
// record: the installation that needs it is then rolled back.
TEST_F(TInstallDataTest, KeyClosedForWritingIsAnErrorAndLeftAlone) {
    WriteRecord(Record("D:\\Q", "F", "2.4.0 Standard Edition"));
    WriteVersionFile("2.5.1");
    RestrictRecordKey(KEY_READ);
    TInstallData Data;
    ASSERT_EQ(imUpdate, Data.Mode);
    Data.InstallDir = "E:\\Changed";
    EXPECT_THROW(Data.SaveToRegistry(), EOSError);
    TInstallData Again;
    RestrictRecordKey(KEY_ALL_ACCESS);
    EXPECT_EQ("D:\\Q", Again.InstallDir);
    ASSERT_TRUE(Again.InstalledVersion.has_value());
    EXPECT_EQ("2.4.0 Standard Edition", Again.InstalledVersion->FullText());
}

TEST_F(TInstallDataTest, OcxFileName) {
    WriteVersionFile("2.5.1");
    TInstallData Data;
    for (const char* Dir : {"C:\\P", "C:\\P\\"}) {
        Data.InstallDir = Dir;
        EXPECT_EQ(std::string("C:\\P\\") + Product.OcxFileName, Data.OcxFileName()) << Dir;
    }
}

// Folders made in the real Programs folder for the listing, removed after.
TEST_F(TInstallDataTest, ProgramsFolderListsVisibleFoldersOnly) {
    WriteVersionFile("2.5.1");
    std::string Programs = TInstallData().ProgramsDir;
    ASSERT_TRUE(DirectoryPresent(Programs)) << Programs;
    const std::string Shown = Programs + "\\Morvane Listing Shown";
    const std::string Hidden = Programs + "\\Morvane Listing Hidden";
    const std::string File = Programs + "\\Morvane Listing File.txt";
    ASSERT_TRUE(CreateDirectoryA(Shown.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(Hidden.c_str(), nullptr));
    SetFileAttributesA(Hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(WriteWholeFile(File, "x"));

    TInstallData Data;
    auto Listed = [&](const char* Name) {
        return std::count(Data.ProgramFolders.begin(), Data.ProgramFolders.end(), Name) == 1;
    };
    bool ShownListed = Listed("Morvane Listing Shown");
    bool HiddenListed = Listed("Morvane Listing Hidden");
    bool FileListed = Listed("Morvane Listing File.txt") || Listed("Morvane Listing File");

    RemoveDirectoryA(Shown.c_str());
    SetFileAttributesA(Hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(Hidden.c_str());
    DeleteFileA(File.c_str());

    EXPECT_TRUE(ShownListed);
    EXPECT_FALSE(HiddenListed);
    EXPECT_FALSE(FileListed);
    EXPECT_EQ(Programs, Data.ProgramsDir);
}

TEST(StrRetToText, AllThreeKinds) {
    // Inline text.
    STRRET Inline{};
    Inline.uType = STRRET_CSTR;
    lstrcpyA(Inline.cStr, "Inline name");
    EXPECT_EQ("Inline name", StrRetToText(Inline, nullptr));

    // Offset into the item: a fake item with its name after 6 bytes.
    alignas(ITEMIDLIST) char Item[32] = "\x10\0abcdMy Folder";
    STRRET Offset{};
    Offset.uType = STRRET_OFFSET;
    Offset.uOffset = 6;
    EXPECT_EQ("My Folder", StrRetToText(Offset, reinterpret_cast<PCUITEMID_CHILD>(Item)));

    // A wide string from the shell allocator, released by the conversion.
    IMalloc* RawMalloc = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetMalloc(&RawMalloc)));
    const TComPtr<IMalloc> Malloc(RawMalloc);
    const wchar_t Name[] = L"Wide \x00e9 name";
    auto* Copy = static_cast<wchar_t*>(Malloc->Alloc(sizeof Name));
    std::wmemcpy(Copy, Name, sizeof Name / sizeof Name[0]);
    STRRET Wide{};
    Wide.uType = STRRET_WSTR;
    Wide.pOleStr = Copy;
    EXPECT_EQ(std::string("Wide ") + (GetACP() == 1252 ? "\xe9" : "?") + " name",
              StrRetToText(Wide, nullptr));
    EXPECT_EQ(nullptr, Wide.pOleStr);
}

} // namespace
