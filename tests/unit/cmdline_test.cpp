#include "data/CmdLineUtils.h"
#include "support/HelpScreen.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// The values of an option set in declared order, for whole-set comparison.
struct TValues {
    bool IgnoreIDE = false;
    std::string LibPath;
    bool KeepFiles = false, IgnoreBCB = false, IgnoreDelphi = false, HelpRequested = false;
    std::string Lang;
    bool AutoUpdate = false;
    std::string RegDelphi, RegBCB, RegBDS;
    bool Silent = false, Uninstall = false;
    std::string Dir, Group, LogFile, Handover;

    bool operator==(const TValues&) const = default;
};

TValues ValuesOf(const TCmdOptions& O) {
    return {O.IgnoreIDE, O.LibPath,    O.KeepFiles, O.IgnoreBCB, O.IgnoreDelphi, O.HelpRequested,
            O.Lang,      O.AutoUpdate, O.RegDelphi, O.RegBCB,    O.RegBDS,
            O.Silent,    O.Uninstall,  O.Dir,       O.Group,     O.LogFile,      O.Handover};
}

const std::set<std::string> Directories = {"C:\\Lib", "C:\\Other"};

TDirectoryTest FakeDirectories() {
    return [](const std::string& Path) { return Directories.count(Path) > 0; };
}

struct ParseCase {
    const char* Name;
    std::vector<std::string> Args;
    TValues Expected;
};

TValues With(auto Change) {
    TValues V;
    Change(V);
    return V;
}

class CmdOptionsParse : public testing::TestWithParam<ParseCase> {};

TEST_P(CmdOptionsParse, SetsExactlyTheExpectedValues) {
    const ParseCase& C = GetParam();
    int HelpCalls = 0;
    TCmdOptions Options(C.Args, FakeDirectories(), [&](const std::string&) { ++HelpCalls; });
    EXPECT_EQ(C.Expected, ValuesOf(Options));
    EXPECT_EQ(C.Expected.HelpRequested ? 1 : 0, HelpCalls);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CmdOptionsParse,
    testing::Values(
        ParseCase{"None", {}, {}},
        ParseCase{"Unknown", {"foo", "", "--ignore", "-", "--help=1"}, {}},
        ParseCase{"HelpLower", {"--help"}, With([](TValues& V) { V.HelpRequested = true; })},
        ParseCase{"HelpMixed", {"--HeLP"}, With([](TValues& V) { V.HelpRequested = true; })},
        ParseCase{"Slash", {"/?"}, With([](TValues& V) { V.HelpRequested = true; })},
        ParseCase{"ShortUpper", {"-H"}, With([](TValues& V) { V.HelpRequested = true; })},
        ParseCase{"HelpThenOff", {"--help", "--help-"}, {}},
        ParseCase{"HelpOffByOtherSwitch", {"/?", "-h-"}, {}},
        ParseCase{
            "OffThenHelp", {"-h-", "--HELP"}, With([](TValues& V) { V.HelpRequested = true; })},
        ParseCase{"BoolOff", {"--ignore-ide", "--ignore-ide-"}, {}},
        ParseCase{"BoolOtherSuffix", {"--ignore-ide+", "--ignore-idex"}, {}},
        ParseCase{
            "AllSwitches",
            {"--IGNORE-IDE", "--ignore-bcb", "--ignore-delphi", "--keep-files", "--autoupdate"},
            With([](TValues& V) {
                V.IgnoreIDE = V.IgnoreBCB = V.IgnoreDelphi = V.KeepFiles = V.AutoUpdate = true;
            })},
        ParseCase{"LangEmpty", {"--lang=de", "--lang="}, {}},
        ParseCase{
            "LangKeepsValueCase", {"--LANG=DeUtsch"}, With([](TValues& V) { V.Lang = "DeUtsch"; })},
        ParseCase{"LastWins", {"--lang=a", "--lang=b"}, With([](TValues& V) { V.Lang = "b"; })},
        ParseCase{"Registry",
                  {"-rdelphi=Software\\D", "-RBCB=B", "-rBDS=Win32Only"},
                  With([](TValues& V) {
                      V.RegDelphi = "Software\\D";
                      V.RegBCB = "B";
                      V.RegBDS = "Win32Only";
                  })},
        ParseCase{"LibPathPresent", {"--lib-path=C:\\Lib"}, With([](TValues& V) {
                      V.LibPath = "C:\\Lib";
                  })},
        ParseCase{"LibPathMissingKeepsEmpty", {"--lib-path=C:\\Nowhere"}, {}},
        ParseCase{"LibPathMissingKeepsEarlier",
                  {"--lib-path=C:\\Lib", "--lib-path=C:\\Nowhere"},
                  With([](TValues& V) { V.LibPath = "C:\\Lib"; })},
        ParseCase{"LibPathSecondValid",
                  {"--lib-path=C:\\Lib", "--Lib-Path=C:\\Other"},
                  With([](TValues& V) { V.LibPath = "C:\\Other"; })},
        // A consumed directory option is not offered to later rows.
        ParseCase{"LibPathConsumed", {"--lib-path=--help"}, {}},
        // "-rBDS=" is matched before "--lang=", and a value may look like an option.
        ParseCase{"ValueLooksLikeOption", {"-rBDS=--help"}, With([](TValues& V) {
                      V.RegBDS = "--help";
                  })},
        // The deployment options: the values are taken as given (paths with
        // blanks, empty), and a later switch with "-" clears an earlier one.
        ParseCase{"Deployment",
                  {"--SILENT", "--uninstall", "--dir=C:\\My Apps\\X", "--group=", "--log=a b.log",
                   "--handover=12,34"},
                  With([](TValues& V) {
                      V.Silent = V.Uninstall = true;
                      V.Dir = "C:\\My Apps\\X";
                      V.LogFile = "a b.log";
                      V.Handover = "12,34";
                  })},
        ParseCase{"SilentCleared", {"--silent", "--silent-", "--dir"}, {}},
        ParseCase{"HelpWithOthers", {"--ignore-ide", "-h", "--lang=x"}, With([](TValues& V) {
                      V.IgnoreIDE = V.HelpRequested = true;
                      V.Lang = "x";
                  })}),
    [](const testing::TestParamInfo<ParseCase>& Info) { return std::string(Info.param.Name); });

TEST(CmdOptions, HelpScreenIsExact) {
    std::string Screen;
    int Calls = 0;
    TCmdOptions Options({"--help"}, FakeDirectories(), [&](const std::string& S) {
        Screen = S;
        ++Calls;
    });
    EXPECT_EQ(1, Calls);
    // The lines it always had come first, unchanged.
    EXPECT_EQ(0u, Screen.find(OriginalHelpLines));
    EXPECT_EQ(HelpScreenText, Screen);
}

// What no option takes is kept, so that a run without a window can refuse
// a mistyped option instead of doing something else.
TEST(CmdOptions, ArgumentsNoOptionTakesAreKept) {
    TCmdOptions Options({"--uninstal", "--silent", "x", "--dir=C:\\P", "--silent-"}, nullptr,
                        nullptr);
    EXPECT_EQ(Options.Unknown, (std::vector<std::string>{"--uninstal", "x"}));
    EXPECT_FALSE(Options.Silent);
}

TEST(CmdOptions, WithoutDirectoryTestNoDirectoryIsTaken) {
    TCmdOptions Options({"--lib-path=C:\\Lib"}, nullptr, nullptr);
    EXPECT_EQ("", Options.LibPath);
}

struct StartsCase {
    const char* Text;
    const char* Prefix;
    bool Expected;
};

class StartsTextTable : public testing::TestWithParam<StartsCase> {};

TEST_P(StartsTextTable, Matches) {
    EXPECT_EQ(GetParam().Expected, StartsText(GetParam().Text, GetParam().Prefix));
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartsTextTable,
    testing::Values(StartsCase{"", "", true}, StartsCase{"abc", "", true},
                    StartsCase{"", "a", false}, StartsCase{"--LANG=x", "--lang=", true},
                    StartsCase{"--lan", "--lang=", false}, StartsCase{"[bc", "{bc", false},
                    StartsCase{"\xc4x", "\xe4", false}, StartsCase{"\xe4x", "\xe4", true}));

} // namespace
