// The folder rules as tables: which destinations and program folders are
// refused and why, with a made-up system's folders; and the list of
// installed files, which a tampered file must never turn against us.

#include "data/FolderRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using V = TFolderVerdict;

const TSystemFolders System = {
    {"C:\\Windows"},
    {"C:\\Program Files", "C:\\Program Files (x86)", "C:\\PROGRA~1",
     "\\\\?\\C:\\Program Files\\Common Files"},
    {"C:\\Users\\Ann", "C:\\Users\\Ann\\Desktop\\", "D:\\Data\\Documents"},
    {"C:\\Users\\Ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs",
     "C:\\ProgramData\\Microsoft\\Windows\\Start Menu"}};

struct DestinationCase {
    const char* Path;
    V Verdict;
};

class DestinationRules : public testing::TestWithParam<DestinationCase> {};

TEST_P(DestinationRules, Verdict) {
    EXPECT_EQ(CheckDestination(GetParam().Path, System), GetParam().Verdict) << GetParam().Path;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DestinationRules,
    testing::Values(
        // Accepted: folders of one's own, sub-folders of Program Files and of
        // the user's folders, shares with a folder, one trailing backslash.
        DestinationCase{"C:\\Program Files\\Grenwick\\Morvane ActiveX", V::Ok},
        DestinationCase{"C:\\Program Files\\Grenwick\\Morvane ActiveX\\", V::Ok},
        DestinationCase{"c:/program files (x86)/Grenwick", V::Ok},
        DestinationCase{"C:\\Users\\Ann\\Documents\\Tools", V::Ok},
        DestinationCase{"C:\\Users\\Ann\\Desktop\\Morvane", V::Ok},
        DestinationCase{"D:\\Data\\Documents\\Morvane", V::Ok},
        DestinationCase{"C:\\WindowsApps\\Morvane", V::Ok}, // only a prefix of C:\Windows
        DestinationCase{"C:\\Program Files2", V::Ok}, DestinationCase{"C:\\Tools\\a.b\\x y", V::Ok},
        DestinationCase{"\\\\server\\share\\Morvane", V::Ok},
        DestinationCase{"//server/share/Morvane/", V::Ok},
        // The form.
        DestinationCase{"", V::Empty}, DestinationCase{"Morvane", V::Relative},
        DestinationCase{" C:\\Morvane", V::Relative}, DestinationCase{"C:Morvane", V::Relative},
        DestinationCase{"\\Morvane", V::Relative}, DestinationCase{"1:\\Morvane", V::Relative},
        DestinationCase{"C:\\Mor<vane", V::BadCharacter},
        DestinationCase{"C:\\Mor>vane", V::BadCharacter},
        DestinationCase{"C:\\Mor\"vane", V::BadCharacter},
        DestinationCase{"C:\\Mor|vane", V::BadCharacter},
        DestinationCase{"C:\\Mor?vane", V::BadCharacter},
        DestinationCase{"C:\\Mor*", V::BadCharacter},
        DestinationCase{"C:\\Mor\tvane", V::BadCharacter},
        DestinationCase{"C:\\Mor:vane", V::BadCharacter},
        DestinationCase{"C:\\Morvane:stream", V::BadCharacter},
        DestinationCase{"C:\\Windows.", V::BadName}, // Windows drops the period
        DestinationCase{"C:\\Windows \\Fonts", V::BadName},
        DestinationCase{"C:\\Tools\\NUL", V::BadName},
        DestinationCase{"C:\\Tools\\com1.txt", V::BadName},
        DestinationCase{"C:\\Tools\\Lpt9", V::BadName},
        DestinationCase{"C:\\Tools\\CONOUT$", V::BadName},
        DestinationCase{"C:\\Tools\\COM0", V::BadName},
        DestinationCase{"C:\\Tools\\LPT\xB9.txt", V::BadName}, // superscript one, code page 1252
        DestinationCase{"C:\\Tools\\COM10", V::Ok}, DestinationCase{"C:\\Tools\\CONSOLE", V::Ok},
        DestinationCase{"C:\\Tools\\.", V::DotLevel},
        DestinationCase{"C:\\Program Files\\..", V::DotLevel},
        DestinationCase{"C:\\Tools\\..\\Windows", V::DotLevel},
        DestinationCase{"\\\\.\\C:\\Tools", V::DotLevel},
        DestinationCase{"\\\\?\\C:\\Tools", V::BadCharacter},
        DestinationCase{"C:\\Tools\\\\Morvane", V::EmptyLevel},
        DestinationCase{"C:\\Tools\\\\", V::EmptyLevel},
        // Roots.
        DestinationCase{"C:", V::Root}, DestinationCase{"C:\\", V::Root},
        DestinationCase{"c:/", V::Root}, DestinationCase{"\\\\server\\share", V::Root},
        DestinationCase{"\\\\server\\share\\", V::Root}, DestinationCase{"\\\\server", V::Root},
        DestinationCase{"\\\\", V::Root},
        // The system's folders, in any case, with "/" and a trailing backslash.
        DestinationCase{"C:\\Windows", V::WindowsFolder},
        DestinationCase{"c:\\WINDOWS\\", V::WindowsFolder},
        DestinationCase{"C:/Windows/System32", V::WindowsFolder},
        DestinationCase{"C:\\Windows\\Temp\\Morvane", V::WindowsFolder},
        DestinationCase{"C:\\Program Files", V::ProgramFiles},
        DestinationCase{"c:\\program files (x86)\\", V::ProgramFiles},
        DestinationCase{"C:\\progra~1", V::ProgramFiles},
        DestinationCase{"C:\\Program Files\\Common Files", V::ProgramFiles},
        DestinationCase{"C:\\Users\\Ann", V::UserFolder},
        DestinationCase{"C:\\users\\ann\\desktop", V::UserFolder},
        DestinationCase{"D:\\Data\\Documents\\", V::UserFolder},
        DestinationCase{
            "C:\\Users\\Ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs",
            V::StartMenu},
        DestinationCase{"C:\\Users\\Ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\"
                        "Programs\\Grenwick",
                        V::StartMenu},
        DestinationCase{"C:\\ProgramData\\Microsoft\\Windows\\Start Menu", V::StartMenu},
        DestinationCase{"C:\\ProgramData\\Microsoft\\Windows\\Start Menu Extra", V::Ok}));

struct ProgramFolderCase {
    const char* Folder;
    V Verdict;
};

class ProgramFolderRules : public testing::TestWithParam<ProgramFolderCase> {};

TEST_P(ProgramFolderRules, Verdict) {
    EXPECT_EQ(CheckProgramFolder(GetParam().Folder), GetParam().Verdict) << GetParam().Folder;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramFolderRules,
    testing::Values(ProgramFolderCase{"Grenwick\\Morvane ActiveX Edition", V::Ok},
                    ProgramFolderCase{"Accessories", V::Ok}, ProgramFolderCase{"A.B\\C D", V::Ok},
                    ProgramFolderCase{"", V::Empty}, ProgramFolderCase{"C:\\Tools", V::Drive},
                    ProgramFolderCase{"c:Tools", V::Drive},
                    ProgramFolderCase{"\\Tools", V::LeadingSlash},
                    ProgramFolderCase{"/Tools", V::LeadingSlash},
                    ProgramFolderCase{"\\\\server\\share", V::LeadingSlash},
                    ProgramFolderCase{"Grenwick\\", V::EmptyLevel},
                    ProgramFolderCase{"Grenwick\\\\Morvane", V::EmptyLevel},
                    ProgramFolderCase{".", V::DotLevel},
                    ProgramFolderCase{"..\\..\\Desktop", V::DotLevel},
                    ProgramFolderCase{"Grenwick\\..", V::DotLevel},
                    ProgramFolderCase{"Grenwick/../..", V::DotLevel},
                    ProgramFolderCase{"Gren:wick", V::BadCharacter},
                    ProgramFolderCase{"Grenwick\\*", V::BadCharacter},
                    ProgramFolderCase{"Gren\x01wick", V::BadCharacter},
                    ProgramFolderCase{"Grenwick.", V::BadName},
                    ProgramFolderCase{"Grenwick\\aux", V::BadName}));

// A double-byte code page: 0x81 starts a character whose second byte may
// be that of "\" or "|".
bool TestLead(unsigned char Byte) {
    return Byte == 0x81;
}

TEST(DoubleByteNames, SecondByteIsNeverASeparatorOrABadCharacter) {
    EXPECT_EQ(CheckDestinationText("C:\\Tools\\\x81\\", TestLead), V::Ok);
    EXPECT_EQ(CheckDestinationText("C:\\Tools\\\x81|x", TestLead), V::Ok);
    EXPECT_EQ(CheckDestinationText("C:\\Tools\\\x81|x", nullptr), V::BadCharacter);
    EXPECT_EQ(CheckProgramFolder("\x81\\", TestLead), V::Ok);
    EXPECT_EQ(CheckProgramFolder("\x81\\", nullptr), V::EmptyLevel);
    // Not "C:\Tools" followed by a trailing backslash.
    EXPECT_EQ(ComparablePath("C:\\Tools\\\x81\\", TestLead), "C:\\TOOLS\\\x81\\");
    EXPECT_EQ(ComparablePath("C:\\Tools\\\x81\\", nullptr), "C:\\TOOLS\\\x81");
    EXPECT_EQ(ParseFileList("Help\\\x81\\\r\n", TestLead),
              std::vector<std::string>{"Help\\\x81\\"});
    EXPECT_TRUE(ParseFileList("Help\\\x81\\\r\n", nullptr).empty());
}

TEST(ComparablePaths, SameFolderSameText) {
    struct {
        const char* Path;
        const char* Comparable;
    } Cases[] = {{"c:/Program Files//x/", "C:\\PROGRAM FILES\\X"},
                 {"C:\\", "C:\\"},
                 {"c:/", "C:\\"},
                 {"\\\\?\\C:\\Windows", "C:\\WINDOWS"},
                 {"\\\\?\\UNC\\srv\\share\\x", "\\\\SRV\\SHARE\\X"},
                 {"\\\\srv\\share\\", "\\\\SRV\\SHARE"}};
    for (const auto& Case : Cases)
        EXPECT_EQ(ComparablePath(Case.Path), Case.Comparable) << Case.Path;
}

TEST(RefusalTexts, NameTheFolderAndTheRule) {
    // Every refusal has words, and the ones about a place name the folder.
    const V Verdicts[] = {V::Empty,        V::Relative,   V::BadCharacter, V::BadName,
                          V::DotLevel,     V::EmptyLevel, V::Root,         V::WindowsFolder,
                          V::ProgramFiles, V::UserFolder, V::StartMenu,    V::NotAFolder};
    for (V Verdict : Verdicts) {
        const std::string Text = DestinationRefusalText(Verdict, "Q:\\Some Folder");
        EXPECT_FALSE(Text.empty());
        if (Verdict != V::Empty) {
            EXPECT_NE(Text.find("\"Q:\\Some Folder\""), std::string::npos);
        }
        EXPECT_FALSE(VerdictReason(Verdict).empty());
    }
    EXPECT_TRUE(DestinationRefusalText(V::Ok, "C:\\x").empty());
    EXPECT_EQ(DestinationRefusalText(V::ProgramFiles, "C:\\Program Files\\"),
              "Setup cannot install Morvane ActiveX into the Program Files folder itself "
              "(\"C:\\Program Files\\\").\r\n\r\nPlease choose a folder inside it, for example "
              "\"C:\\Program Files\\Grenwick\\Morvane ActiveX\".");
    EXPECT_EQ(ProgramFolderRefusalText(V::DotLevel, "..\\x"),
              "The program folder \"..\\x\" contains a \".\" or \"..\" folder name.\r\n\r\nThe "
              "program folder is a folder inside the Start menu: enter its name only, for "
              "example \"Grenwick\\Morvane ActiveX Edition\".");
}

struct ListCase {
    const char* Name;
    std::string Text;
    std::vector<std::string> Entries;
};

class FileListParse : public testing::TestWithParam<ListCase> {};

TEST_P(FileListParse, KeepsOnlyEntriesBelowTheFolder) {
    EXPECT_EQ(ParseFileList(GetParam().Text), GetParam().Entries);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileListParse,
    testing::Values(
        ListCase{"CrLf", "Morvane.url\r\nHelp\\ZelkX.HLP\r\n", {"Morvane.url", "Help\\ZelkX.HLP"}},
        ListCase{"LfAndNoLastBreak", "a\nb\\c", {"a", "b\\c"}},
        ListCase{"SlashesBecomeBackslashes",
                 "Demos/VBDemo/VBDemo.vbp\r\n",
                 {"Demos\\VBDemo\\VBDemo.vbp"}},
        ListCase{"EmptyLinesSkipped", "\r\n\r\na\r\n\n", {"a"}},
        ListCase{
            "DuplicatesOnceWhateverTheCase", "Help\\A.hlp\r\nHELP\\a.HLP\r\n", {"Help\\A.hlp"}},
        ListCase{
            "AbsoluteAndDrives",
            "\\Windows\\win.ini\r\n/etc/passwd\r\nC:\\boot.ini\r\nC:x\r\n\\\\srv\\s\\f\r\nok\r\n",
            {"ok"}},
        ListCase{
            "ParentAndDotLevels", "..\\x\r\na\\..\\..\\x\r\n.\\x\r\na\\.\r\nok\\b\r\n", {"ok\\b"}},
        ListCase{"EmptyLevels", "a\\\\b\r\na\\\r\nok\r\n", {"ok"}},
        ListCase{"Wildcards", "*\r\n*.*\r\nHelp\\*.HLP\r\na?c\r\nok\r\n", {"ok"}},
        ListCase{"StreamsAndDevices", "a:b\r\nNUL\r\nHelp\\con.txt\r\nok\r\n", {"ok"}},
        ListCase{"TrailingBlankOrPeriod", "a \r\nb.\r\nok\r\n", {"ok"}},
        ListCase{"ControlCharacters", std::string("a\0b\r\nc\td\r\nok\r\n", 14), {"ok"}},
        ListCase{"ItsOwnName", "Morvane ActiveX.files\r\nmorvane activex.FILES\r\nok\r\n", {"ok"}}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(FileListFormat, CrLfAfterEachEntryAndReadsBack) {
    const std::vector<std::string> Entries = {"Morvane.url", "Demos\\Compiled\\VCDemo.exe"};
    const std::string Text = FormatFileList(Entries);
    EXPECT_EQ(Text, "Morvane.url\r\nDemos\\Compiled\\VCDemo.exe\r\n");
    EXPECT_EQ(ParseFileList(Text), Entries);
    EXPECT_EQ(FormatFileList({}), "");
}

} // namespace
