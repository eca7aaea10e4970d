#include "data/Version.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct ParseCase {
    const char* Text;
    const char* Major;
    const char* Minor;
    const char* Release;
    const char* Build;
    const char* EditionText;
    bool Free;
    const char* FullText;
};

class VersionParse : public testing::TestWithParam<ParseCase> {};

TEST_P(VersionParse, FieldsAndTexts) {
    const ParseCase& C = GetParam();
    TVersion V(C.Text);
    EXPECT_EQ(C.Major, V.Major());
    EXPECT_EQ(C.Minor, V.Minor());
    EXPECT_EQ(C.Release, V.Release());
    EXPECT_EQ(C.Build, V.Build());
    EXPECT_EQ(C.EditionText, V.EditionText());
    EXPECT_EQ(C.Free, V.FreeEdition());
    EXPECT_EQ(C.FullText, V.FullText());
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, VersionParse,
    testing::Values(
        ParseCase{"2.5.1", "2", "5", "1", "", "", false, "2.5.1 Standard Edition"},
        ParseCase{"2.5.1.7 Free", "2", "5", "1", "7", "Free", true, "2.5.1.7 Free Edition"},
        ParseCase{"2.5.1 free trial", "2", "5", "1", "", "free trial", true, "2.5.1 Free Edition"},
        ParseCase{"2.5.1 FREEWARE", "2", "5", "1", "", "FREEWARE", true, "2.5.1 Free Edition"},
        ParseCase{"2.5.1 Fre", "2", "5", "1", "", "Fre", false, "2.5.1 Standard Edition"},
        ParseCase{"2.5.1 Standard", "2", "5", "1", "", "Standard", false, "2.5.1 Standard Edition"},
        ParseCase{"2.05.1", "2", "05", "1", "", "", false, "2.05.1 Standard Edition"},
        ParseCase{"..1.2.3", "1", "2", "3", "", "", false, "1.2.3 Standard Edition"},
        ParseCase{"1..2...3", "1", "2", "3", "", "", false, "1.2.3 Standard Edition"},
        ParseCase{"2.5.1 7", "2", "5", "1", "", "7", false, "2.5.1 Standard Edition"},
        ParseCase{"2.5.1.Free", "2", "5", "1", "", "Free", true, "2.5.1 Free Edition"},
        ParseCase{"2.5.1beta", "2", "5", "1", "", "beta", false, "2.5.1 Standard Edition"},
        ParseCase{"2.5.1\r\n\tFree\r\n", "2", "5", "1", "", "Free", true, "2.5.1 Free Edition"},
        ParseCase{"2.5.1.7.9", "2", "5", "1", "7", ".9", false, "2.5.1.7 Standard Edition"},
        // Fewer than three numbers: nothing is taken, not even the edition.
        ParseCase{"1.2 3 Free", "", "", "", "", "", false, ".. Standard Edition"},
        ParseCase{"abc", "", "", "", "", "", false, ".. Standard Edition"},
        ParseCase{"beta 2.5.1", "", "", "", "", "", false, ".. Standard Edition"},
        ParseCase{" 2.5.1", "", "", "", "", "", false, ".. Standard Edition"},
        // The 1.1.2 rule: exact texts only.
        ParseCase{"1.1.2", "1", "0", "0", "", "", false, "1.0.0 Standard Edition"},
        ParseCase{"1.1.2.9 Free", "1", "0", "0", "9", "Free", true, "1.0.0.9 Free Edition"},
        ParseCase{"1.1.20", "1", "1", "20", "", "", false, "1.1.20 Standard Edition"},
        ParseCase{"1.01.2", "1", "01", "2", "", "", false, "1.01.2 Standard Edition"},
        ParseCase{"01.1.2", "01", "1", "2", "", "", false, "01.1.2 Standard Edition"},
        ParseCase{"99999999999999999999.0.0", "99999999999999999999", "0", "0", "", "", false,
                  "99999999999999999999.0.0 Standard Edition"}));

class VersionBlank : public testing::TestWithParam<std::string> {};

TEST_P(VersionBlank, RaisesBadVersionString) {
    try {
        TVersion V(GetParam());
        FAIL() << "constructed from a blank string";
    } catch (const Exception& E) {
        EXPECT_STREQ("Bad version string", E.what());
    }
}

INSTANTIATE_TEST_SUITE_P(Blank, VersionBlank,
                         testing::Values(std::string(), std::string("   \r\n\t "),
                                         std::string("\x01\x1f", 2), std::string("\0\0", 2)));

class VersionRoundTrip : public testing::TestWithParam<const char*> {};

TEST_P(VersionRoundTrip, FullTextParsesToTheSameVersion) {
    TVersion V(GetParam());
    TVersion Again(V.FullText());
    EXPECT_EQ(V.FullText(), Again.FullText());
    EXPECT_EQ(V.NumberText(), Again.NumberText());
    EXPECT_EQ(V.FreeEdition(), Again.FreeEdition());
}

INSTANTIATE_TEST_SUITE_P(Samples, VersionRoundTrip,
                         testing::Values("2.5.1 Free Edition", "2.5.1", "2.5.1.7 free",
                                         "1.1.2 Free", "abc", "0.0.0.0 Standard Edition"));

TEST(Version, DifferentDigitsAreDifferentVersions) {
    EXPECT_NE(TVersion("2.05.1").FullText(), TVersion("2.5.1").FullText());
    EXPECT_EQ(TVersion("2.5.1 Standard Edition").FullText(), TVersion("2.5.1").FullText());
}

} // namespace
