// The line rules of captured program output, read by read.

#include "engine/LineSplitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct TSplitCase {
    const char* Name;
    std::vector<std::string> Reads;
    // 1-based number of the delivered line whose hook sets the abort flag;
    // 0: never. AbortFirst: the flag is already set before the first read.
    int AbortAt;
    bool AbortFirst;
    // Each delivered line as "<read number>:<line>", or "F:<line>" when the
    // end of the output delivered it.
    std::vector<std::string> Expected;
};

void PrintTo(const TSplitCase& Case, std::ostream* Out) {
    *Out << Case.Name;
}

std::vector<std::string> Split(const TSplitCase& Case) {
    std::vector<std::string> Events;
    std::string When;
    int Delivered = 0;
    TLineSplitter Splitter([&](const std::string& Line, bool& Abort) {
        Events.push_back(When + ":" + Line);
        if (++Delivered == Case.AbortAt) Abort = true;
    });
    bool Abort = Case.AbortFirst;
    for (std::size_t I = 0; I < Case.Reads.size(); ++I) {
        When = std::to_string(I + 1);
        Splitter.Append(Case.Reads[I].data(), Case.Reads[I].size(), Abort);
    }
    When = "F";
    Splitter.Finish(Abort);
    EXPECT_EQ(Splitter.PendingSize(), 0u);
    return Events;
}

class LineSplitterRules : public testing::TestWithParam<TSplitCase> {};

TEST_P(LineSplitterRules, DeliversLinesAsTheyComplete) {
    EXPECT_EQ(Split(GetParam()), GetParam().Expected);
}

using namespace std::string_literals;

const TSplitCase SplitCases[] = {
    // Terminators within one read.
    {"CrLfLines", {"a\r\nb\r\n"}, 0, false, {"1:a", "1:b"}},
    {"LfLines", {"a\nb\n"}, 0, false, {"1:a", "1:b"}},
    {"LoneCrEndsLine", {"a\rb\r"}, 0, false, {"1:a", "1:b"}},
    {"CrLfCrLfGivesOneEmptyLine", {"a\r\n\r\nb"}, 0, false, {"1:a", "1:", "F:b"}},
    {"CrLfCrIsOneTerminator", {"a\r\n\rb\n"}, 0, false, {"1:a", "1:b"}},
    {"CrCrLfGivesExtraEmptyLine", {"a\r\r\nb\n"}, 0, false, {"1:a", "1:", "1:b"}},
    {"LfCrIsTwoTerminators", {"a\n\rb\n"}, 0, false, {"1:a", "1:", "1:b"}},
    {"EmptyLines", {"\n\n\r\n"}, 0, false, {"1:", "1:", "1:"}},
    {"CrLfCrLfCrLf", {"\r\n\r\n\r\n"}, 0, false, {"1:", "1:", "1:"}},
    {"BytesKeptAsTheyAre", {"a\0b\xff\x82\n"s}, 0, false, {"1:a\0b\xff\x82"s}},

    // Lines that span reads.
    {"LineCompletedByLaterRead", {"ab", "c\nd", "e"}, 0, false, {"2:abc", "F:de"}},
    {"CrEndingReadIsWholeTerminator", {"a\r", "\nb\n"}, 0, false, {"1:a", "2:", "2:b"}},
    {"CrLfInOneReadIsOneTerminator", {"a\r\nb\n"}, 0, false, {"1:a", "1:b"}},
    {"CrLfThenCrInNextRead", {"a\r\n", "\rb\n"}, 0, false, {"1:a", "2:", "2:b"}},
    {"CrThenLfCrInNextRead", {"a\r", "\n\rb\n"}, 0, false, {"1:a", "2:", "2:", "2:b"}},
    {"CrLfSplitBeforeLf", {"a\r", "\n"}, 0, false, {"1:a", "2:"}},

    // The end of the output.
    {"NoOutput", {}, 0, false, {}},
    {"LastLineWithoutEnd", {"a\nb"}, 0, false, {"1:a", "F:b"}},
    {"OnlyPartialLine", {"abc"}, 0, false, {"F:abc"}},
    {"FinalCrGivesNoEmptyLine", {"x\r"}, 0, false, {"1:x"}},
    {"EmptyReadDeliversNothing", {"a", "", "b\n"}, 0, false, {"3:ab"}},

    // The abort flag stops delivery after the first line of a read; what is
    // held back comes with the next read or at the end, never lost.
    {"AbortStopsRead", {"a\nb\nc\n"}, 1, false, {"1:a", "F:b", "F:c"}},
    {"AbortSetBeforeFirstLine", {"a\nb\n"}, 0, true, {"1:a", "F:b"}},
    {"AbortedLinesWaitForNextRead",
     {"a\nb\nc\n", "", "d\n"},
     1,
     false,
     {"1:a", "3:b", "F:c", "F:d"}},
    {"AbortLaterInRead", {"a\nb\nc\nd"}, 2, false, {"1:a", "1:b", "F:c", "F:d"}},
    {"AbortKeepsCrLfTogether", {"a\nb\r", "\nc"}, 1, false, {"1:a", "2:b", "F:c"}},
};

INSTANTIATE_TEST_SUITE_P(Table, LineSplitterRules, testing::ValuesIn(SplitCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// Output of many reads with lines cut at every position: the lines come out
// whole and in order whatever the read size.
TEST(LineSplitter, ReadSizeDoesNotChangeLines) {
    std::string Text;
    std::vector<std::string> Lines;
    for (int I = 0; I < 300; ++I) {
        Lines.push_back("line " + std::to_string(I) + std::string(I % 37, 'x'));
        Text += Lines.back() + "\r\n";
    }
    for (std::size_t ReadSize : {1u, 2u, 3u, 7u, 64u, 4096u}) {
        std::vector<std::string> Got;
        TLineSplitter Splitter([&](const std::string& Line, bool&) { Got.push_back(Line); });
        bool Abort = false;
        for (std::size_t Pos = 0; Pos < Text.size();) {
            std::size_t Size = std::min(ReadSize, Text.size() - Pos);
            // Cutting a CR LF between its two bytes would add an empty line.
            if (Text[Pos + Size - 1] == '\r') ++Size;
            Splitter.Append(Text.data() + Pos, Size, Abort);
            Pos += Size;
        }
        Splitter.Finish(Abort);
        EXPECT_EQ(Got, Lines) << "read size " << ReadSize;
    }
}

struct TFillerCase {
    const char* Name;
    char Filler;
};

void PrintTo(const TFillerCase& Case, std::ostream* Out) {
    *Out << Case.Name;
}

class LineSplitterScan : public testing::TestWithParam<TFillerCase> {};

// The search for a line end looks at several bytes at a time: a CR or an LF
// is found at every offset from the start of a line, whatever the line's
// place in the read, and bytes that differ from CR or LF in one bit, or
// only in the high bit, end no line.
TEST_P(LineSplitterScan, FindsLineEndAtEveryOffset) {
    for (const char End : {'\r', '\n'})
        for (std::size_t Skew = 0; Skew < 8; ++Skew)
            for (std::size_t Length = 0; Length < 40; ++Length) {
                const std::string Lead(Skew, 'a');
                const std::string Line(Length, GetParam().Filler);
                const std::string Read = Lead + "\n" + Line + End + "z\n";
                std::vector<std::string> Got;
                TLineSplitter Splitter(
                    [&](const std::string& Text, bool&) { Got.push_back(Text); });
                bool Abort = false;
                Splitter.Append(Read.data(), Read.size(), Abort);
                Splitter.Finish(Abort);
                ASSERT_EQ(Got, (std::vector<std::string>{Lead, Line, "z"}))
                    << "end " << int(End) << ", skew " << Skew << ", length " << Length;
            }
}

INSTANTIATE_TEST_SUITE_P(
    Table, LineSplitterScan,
    testing::Values(TFillerCase{"Letters", 'x'}, TFillerCase{"Nul", '\0'},
                    TFillerCase{"HighCR", '\x8d'}, TFillerCase{"HighLF", '\x8a'},
                    TFillerCase{"FormFeed", '\x0c'}, TFillerCase{"ShiftOut", '\x0e'},
                    TFillerCase{"VerticalTab", '\x0b'}, TFillerCase{"AllBits", '\xff'}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(LineSplitter, HookErrorLeavesNoLineToRepeat) {
    std::vector<std::string> Got;
    bool Throw = true;
    TLineSplitter Splitter([&](const std::string& Line, bool&) {
        Got.push_back(Line);
        if (Throw) {
            Throw = false;
            throw std::runtime_error("hook failed");
        }
    });
    bool Abort = false;
    EXPECT_THROW(Splitter.Append("a\nb\n", 4, Abort), std::runtime_error);
    Splitter.Finish(Abort);
    EXPECT_EQ(Got, (std::vector<std::string>{"a", "b"}));
}

} // namespace
