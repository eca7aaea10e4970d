// What setup says about files held by other programs, for the names that
// Restart Manager gives (or does not give).

#include "data/InUseText.h"

#include <gtest/gtest.h>

namespace {

struct THolderCase {
    std::vector<std::string> Holders;
    const char* Line;
};

TEST(InUseText, NamesTheHoldersTheSystemKnows) {
    const THolderCase Cases[] = {
        {{}, "\"C:\\P\\a.txt\" is in use by another program."},
        {{""}, "\"C:\\P\\a.txt\" is in use by another program."},
        {{"Notepad"}, "\"C:\\P\\a.txt\" is in use by Notepad."},
        {{"Notepad", "", "Visual Basic"},
         "\"C:\\P\\a.txt\" is in use by Notepad and Visual Basic."},
        {{"A", "B", "C"}, "\"C:\\P\\a.txt\" is in use by A, B and C."},
    };
    for (const THolderCase& Case : Cases)
        EXPECT_EQ(InUseLine("C:\\P\\a.txt", Case.Holders), Case.Line);
    EXPECT_EQ(RestartLine("C:\\P\\a.txt", {"Notepad"}),
              "\"C:\\P\\a.txt\" is in use by Notepad: its new version is put in place when "
              "Windows restarts.");
}

TEST(InUseText, QuestionListsTheFilesAndTheWaysOn) {
    const std::string One =
        InUseQuestion({{"a.txt", "C:\\P\\a.txt", {"Notepad"}}}, "Morvane ActiveX");
    EXPECT_EQ(One, "A file of Morvane ActiveX is in use, so setup cannot replace it now:\r\n"
                   "\r\nC:\\P\\a.txt (Notepad)\r\n\r\n"
                   "Close the program that uses it and click Try Again. Click Continue to "
                   "install now: the file is replaced when Windows restarts. Click Cancel to "
                   "leave everything as it is.");

    std::vector<THeldFile> Many;
    for (const char* Name : {"f0", "f1", "f2", "f3"})
        Many.push_back({Name, std::string("C:\\P\\") + Name, {}});
    const std::string Text = InUseQuestion(Many, "Morvane ActiveX", 2);
    EXPECT_EQ(Text.find("Files of Morvane ActiveX are in use"), 0u);
    EXPECT_NE(Text.find("\r\nC:\\P\\f1 (another program)\r\n... and 2 more\r\n"), std::string::npos)
        << Text;
    EXPECT_EQ(Text.find("C:\\P\\f2"), std::string::npos);
    EXPECT_NE(Text.find("the files are replaced"), std::string::npos);
}

} // namespace
