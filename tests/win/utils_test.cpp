#include "data/InstalledFiles.h"
#include "platform/Utils.h"
#include "platform/Owners.h"
#include "support/Files.h"
#include "support/System.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

using TNames = std::vector<std::string>;

// A file with the given attributes.
bool MakeFile(const std::string& Path, const std::string& Text, DWORD Attributes) {
    return WriteWholeFile(Path, Text) && SetFileAttributesA(Path.c_str(), Attributes);
}

TNames Sorted(TNames Names) {
    std::sort(Names.begin(), Names.end());
    return Names;
}

struct BackslashCase {
    std::uint32_t CodePage;
    std::string Path, Added, Stripped;
};

class TrailingBackslash : public testing::TestWithParam<BackslashCase> {};

TEST_P(TrailingBackslash, LooksAtTheLastCharacter) {
    const BackslashCase& C = GetParam();
    EXPECT_EQ(C.Added, AddTrailingBackslashEx(C.Path, C.CodePage));
    EXPECT_EQ(C.Stripped, StripTrailingBackslashEx(C.Path, C.CodePage));
}

// "\x95\x5c" is one Shift-JIS character whose trail byte has the backslash's code.
INSTANTIATE_TEST_SUITE_P(
    Table, TrailingBackslash,
    testing::Values(BackslashCase{1252, "C:\\P", "C:\\P\\", "C:\\P"},
                    BackslashCase{1252, "C:\\P\\", "C:\\P\\", "C:\\P"},
                    BackslashCase{1252, "C:\\P\\\\", "C:\\P\\\\", "C:\\P\\"},
                    BackslashCase{1252, "", "\\", ""}, BackslashCase{1252, "\\", "\\", ""},
                    BackslashCase{1252, "C:\\\x95\x5c", "C:\\\x95\x5c", "C:\\\x95"},
                    BackslashCase{932, "C:\\\x95\x5c", "C:\\\x95\x5c\\", "C:\\\x95\x5c"},
                    BackslashCase{932, "C:\\\x95\x5c\\", "C:\\\x95\x5c\\", "C:\\\x95\x5c"},
                    BackslashCase{932, "\x95\x5c\x95\x5c", "\x95\x5c\x95\x5c\\",
                                  "\x95\x5c\x95\x5c"},
                    BackslashCase{932, "a\\\x95", "a\\\x95\\", "a\\\x95"},
                    BackslashCase{932, "C:\\P\\", "C:\\P\\", "C:\\P"}));

TEST(TrailingBackslash, ProcessCodePageVariants) {
    EXPECT_EQ("C:\\P\\", AddTrailingBackslash("C:\\P"));
    EXPECT_EQ("C:\\P\\", AddTrailingBackslash("C:\\P\\"));
    EXPECT_EQ("\\", AddTrailingBackslash(""));
    EXPECT_EQ("C:\\P\\", StripTrailingBackslash("C:\\P\\\\"));
    EXPECT_EQ("", StripTrailingBackslash(""));
    EXPECT_EQ("C:\\P\\a.ocx", PathIn("C:\\P", "a.ocx"));
    EXPECT_EQ("C:\\P\\a.ocx", PathIn("C:\\P\\", std::string("a.ocx")));
}

TEST(RandomHex, DigitsOfItsLengthThatDifferEachCall) {
    for (unsigned Digits : {0u, 7u, 8u, 9u, 16u}) {
        const std::string Text = RandomHex(Digits);
        EXPECT_EQ(Digits, Text.size());
        EXPECT_EQ(std::string::npos, Text.find_first_not_of("0123456789abcdef")) << Text;
    }
    // 64 bits, each half drawn: equal draws in a row, or a second half of
    // zeros, would be a fault, not chance.
    EXPECT_NE(RandomHex(16), RandomHex(16));
    EXPECT_NE("00000000", RandomHex(16).substr(8));
}

TEST(DirectoryPresent, OnlyExistingDirectories) {
    TTempFolder Dir("present");
    ASSERT_TRUE(WriteWholeFile(Dir / "file.txt", "x"));
    EXPECT_TRUE(DirectoryPresent(Dir.Path()));
    EXPECT_TRUE(DirectoryPresent(Dir.Path() + "\\"));
    EXPECT_FALSE(DirectoryPresent(Dir / "file.txt"));
    EXPECT_FALSE(DirectoryPresent(Dir / "missing"));
    EXPECT_FALSE(DirectoryPresent(""));
}

// A folder with a plain, a read-only, a hidden and a system file and a sub-folder.
class CollectFileNamesTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteWholeFile(Dir / "plain.txt", "p"));
        ASSERT_TRUE(MakeFile(Dir / "readonly.txt", "r", FILE_ATTRIBUTE_READONLY));
        ASSERT_TRUE(MakeFile(Dir / "hidden.txt", "h", FILE_ATTRIBUTE_HIDDEN));
        ASSERT_TRUE(MakeFile(Dir / "system.txt", "s", FILE_ATTRIBUTE_SYSTEM));
        ASSERT_TRUE(CreateDirectoryA((Dir / "sub").c_str(), nullptr));
    }
    TTempFolder Dir{"collect"};
};

TEST_F(CollectFileNamesTest, FilterByAttributeSet) {
    struct {
        std::uint32_t Attributes;
        TNames Expected;
    } Cases[] = {
        {0, {"plain.txt", "readonly.txt"}},
        {faHidden, {"hidden.txt", "plain.txt", "readonly.txt"}},
        {faSysFile, {"plain.txt", "readonly.txt", "system.txt"}},
        {faDirectory, {"plain.txt", "readonly.txt", "sub"}},
        {faReadOnly | faArchive, {"plain.txt", "readonly.txt"}},
        {faAnyFile, {"hidden.txt", "plain.txt", "readonly.txt", "sub", "system.txt"}},
    };
    for (const auto& C : Cases) {
        TNames Names;
        EXPECT_TRUE(CollectFileNames(Dir / "*.*", C.Attributes, Names)) << C.Attributes;
        EXPECT_EQ(C.Expected, Sorted(Names)) << C.Attributes;
    }
}

TEST_F(CollectFileNamesTest, AppendsToTheList) {
    TNames Names{"earlier"};
    EXPECT_TRUE(CollectFileNames(Dir / "p*.txt", 0, Names));
    EXPECT_EQ((TNames{"earlier", "plain.txt"}), Names);
}

TEST_F(CollectFileNamesTest, NoFirstEntryLeavesTheListAlone) {
    TNames Names{"earlier"};
    EXPECT_FALSE(CollectFileNames(Dir / "missing\\*.*", faAnyFile, Names));
    EXPECT_FALSE(CollectFileNames(Dir / "*.none", faAnyFile, Names));
    // Only filtered entries match: no first entry either.
    EXPECT_FALSE(CollectFileNames(Dir / "hidden.txt", 0, Names));
    EXPECT_EQ((TNames{"earlier"}), Names);
}

// Builds root\a\b\c with files of every attribute kind and a read-only folder.
void BuildTree(const TTempFolder& Dir, const std::string& Root) {
    std::string A = Dir / Root, B = A + "\\b", C = B + "\\c", X = A + "\\x";
    for (const std::string& D : {A, B, C, X})
        ASSERT_TRUE(CreateDirectoryA(D.c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(A + "\\top.txt", "t"));
    ASSERT_TRUE(MakeFile(B + "\\ro.txt", "r", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(C + "\\hidden.txt", "h", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(MakeFile(C + "\\sys.txt", "s", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(WriteWholeFile(X + "\\x.txt", "x"));
    ASSERT_TRUE(SetFileAttributesA(X.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
}

TEST(RemoveTree, RemovesProtectedEntries) {
    for (const char* Suffix : {"", "\\"}) {
        TTempFolder Dir("tree");
        BuildTree(Dir, "root");
        EXPECT_TRUE(RemoveTree(Dir / "root" + Suffix)) << Suffix;
        EXPECT_FALSE(PathExists(Dir / "root")) << Suffix;
        EXPECT_TRUE(DirectoryPresent(Dir.Path()));
    }
}

// What cannot go keeps its attributes and the system's reason.
TEST(DeleteFileEvenReadOnly, AHeldOrMissingFileStaysAsItWas) {
    TTempFolder Dir("delete-ro");
    const std::string Held = Dir / "held.txt";
    ASSERT_TRUE(MakeFile(Held, "h", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    const DWORD Protected = GetFileAttributesA(Held.c_str());
    ASSERT_TRUE(Protected & FILE_ATTRIBUTE_READONLY);
    {
        THandle File(CreateFileA(Held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(File);
        EXPECT_FALSE(DeleteFileEvenReadOnly(Held));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    EXPECT_EQ(GetFileAttributesA(Held.c_str()), Protected);
    EXPECT_FALSE(DeleteFileEvenReadOnly(Dir / "missing.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(DeleteFileEvenReadOnly(Held));
    EXPECT_FALSE(PathExists(Held));
}

TEST(RemoveTree, EmptyOrMissingPath) {
    TTempFolder Dir("missing");
    EXPECT_FALSE(RemoveTree(""));
    EXPECT_FALSE(RemoveTree(Dir / "missing"));
    EXPECT_TRUE(DirectoryPresent(Dir.Path()));
}

TEST(RemoveTree, FileHeldOpenKeepsItsAncestors) {
    TTempFolder Dir("held");
    BuildTree(Dir, "root");
    std::string Held = Dir / "root\\b\\c\\held.txt";
    ASSERT_TRUE(WriteWholeFile(Held, "held"));
    // Opened without FILE_SHARE_DELETE, so the file cannot be deleted.
    THandle File(CreateFileA(Held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(File);
    bool Result = RemoveTree(Dir / "root");
    File.reset();

    EXPECT_FALSE(Result);
    EXPECT_TRUE(PathExists(Held));
    TNames Left;
    CollectFileNames(Dir / "root\\b\\c\\*.*", faAnyFile, Left);
    EXPECT_EQ((TNames{"held.txt"}), Left);
    Left.clear();
    CollectFileNames(Dir / "root\\b\\*.*", faAnyFile, Left);
    EXPECT_EQ((TNames{"c"}), Left);
    Left.clear();
    CollectFileNames(Dir / "root\\*.*", faAnyFile, Left);
    EXPECT_EQ((TNames{"b"}), Left);
}

// Folders made on the Unix side by the test's wrapper script (Wine cannot
// make Windows links): MORVANE_LINK_FIXTURE holds
//   outside/keep.txt, outside/sub/deep.txt   a folder outside the tree
//   tree/file.txt                             an ordinary file
//   tree/dirlink   -> outside                 a link to a folder
//   tree/sub/deeplink -> outside/sub          a link one level down
//   tree/filelink  -> outside/keep.txt        a link to a file
//   tree/dangling  -> a missing path
//   toplink        -> outside                 a link given as the tree itself
std::string LinkFixture() {
    const char* Unix = std::getenv("MORVANE_LINK_FIXTURE");
    return Unix ? WindowsPath(Unix) : std::string();
}

TEST(RemoveTree, NeverDeletesThroughALink) {
    const std::string Fixture = LinkFixture();
    ASSERT_FALSE(Fixture.empty()) << "run through utils_links.sh";
    const std::string Tree = Fixture + "\\tree";
    // Wine shows a Unix link to a folder as a reparse point, and a link to a
    // file as a plain file.
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT,
              GetFileAttributesA((Tree + "\\dirlink").c_str()) &
                  (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));

    for (const std::string& Given :
         {Tree, Tree + "\\sub\\deeplink", Fixture + "\\toplink\\", Tree + "\\dirlink"}) {
        bool Result = RemoveTree(Given);
        // Wine deletes a link's target whichever way the link is deleted, so
        // the links stay, and with them the folders that hold them.
        EXPECT_FALSE(Result) << Given;
        EXPECT_EQ("keep\n", ReadWholeFile(Fixture + "\\outside\\keep.txt")) << Given;
        EXPECT_EQ("deep\n", ReadWholeFile(Fixture + "\\outside\\sub\\deep.txt")) << Given;
        EXPECT_TRUE(DirectoryPresent(Fixture + "\\outside\\sub")) << Given;
    }
    EXPECT_FALSE(PathExists(Tree + "\\file.txt"));
    TNames Left;
    CollectFileNames(Tree + "\\*.*", faAnyFile, Left);
    // Wine lists no dangling link at all.
    EXPECT_EQ((TNames{"dirlink", "filelink", "sub"}), Sorted(Left));
}

// The freedesktop trash, where Wine recycles to.
std::string TrashFiles() {
    const char* Data = std::getenv("XDG_DATA_HOME");
    return Data ? WindowsPath(Data) + "\\Trash\\files" : std::string();
}

// The uninstall's recycling: the listed files go to the trash, read-only
// ones too, and the folders this leaves empty go after them.
TEST(RecycleInstalledFiles, FilesGoToTheTrashAndTheirEmptiedFoldersGo) {
    ASSERT_FALSE(TrashFiles().empty());
    TTempFolder Dir("recycle");
    ASSERT_TRUE(CreateDirectoryA((Dir / "recycled-sub").c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(Dir / "recycled-file.txt", "r"));
    ASSERT_TRUE(MakeFile(Dir / "recycled-ro.txt", "r", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(WriteWholeFile(Dir / "recycled-sub\\recycled-deep.txt", "r"));
    EXPECT_EQ(RecycleInstalledFiles(Dir.Path(), {"recycled-file.txt", "recycled-ro.txt",
                                                 "recycled-sub\\recycled-deep.txt"}),
              3u);
    EXPECT_FALSE(PathExists(Dir / "recycled-sub"));
    EXPECT_TRUE(DirectoryPresent(Dir.Path()));
    for (const char* Name : {"recycled-file.txt", "recycled-ro.txt", "recycled-deep.txt"})
        EXPECT_TRUE(PathExists(TrashFiles() + "\\" + Name)) << Name;
}

TEST(RecycleInstalledFiles, FileHeldOpenStaysWithItsFolder) {
    TTempFolder Dir("norecycle");
    ASSERT_TRUE(CreateDirectoryA((Dir / "Kept").c_str(), nullptr));
    const std::string Held = Dir / "Kept\\held.txt";
    ASSERT_TRUE(WriteWholeFile(Held, "held"));
    THandle File(CreateFileA(Held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr));
    ASSERT_TRUE(File);
    EXPECT_EQ(RecycleInstalledFiles(Dir.Path(), {"Kept\\held.txt"}), 0u);
    File.reset();
    EXPECT_TRUE(DirectoryPresent(Dir / "Kept"));
    EXPECT_TRUE(PathExists(Held));
}

TEST(RecycleInstalledFiles, OnlyListedFilesThatExistGo) {
    TTempFolder Dir("partrecycle");
    ASSERT_TRUE(WriteWholeFile(Dir / "listed.txt", "l"));
    ASSERT_TRUE(WriteWholeFile(Dir / "theirs.txt", "t"));
    EXPECT_EQ(RecycleInstalledFiles(Dir.Path(), {"listed.txt", "missing.txt"}), 1u);
    EXPECT_FALSE(PathExists(Dir / "listed.txt"));
    EXPECT_TRUE(PathExists(Dir / "theirs.txt"));
}

} // namespace
