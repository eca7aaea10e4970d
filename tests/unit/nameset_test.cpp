// The set of names the installation's lists and folder walks keep.
#include <gtest/gtest.h>

#include "platform/NameSet.h"

#include <string>

namespace {

// Names that collide in few bits and differ only in case, length or a last
// byte; the empty name is a name too.
std::string NameOf(int I) {
    switch (I % 4) {
    case 0:
        return "dir\\file" + std::to_string(I) + ".txt";
    case 1:
        return "DIR\\FILE" + std::to_string(I - 1) + ".TXT";
    case 2:
        return std::string(static_cast<std::size_t>(I % 37), 'x');
    default:
        return "dir\\file" + std::to_string(I - 3) + std::string(1, '\0');
    }
}

} // namespace

TEST(NameSet, HoldsEachNameOnceThroughGrowth) {
    TNameSet Set;
    EXPECT_FALSE(Set.Contains(""));
    int Distinct = 0;
    for (int I = 0; I < 3000; ++I) {
        const std::string Name = NameOf(I);
        const bool Known = Set.Contains(Name);
        EXPECT_EQ(Set.Insert(Name), !Known) << I;
        EXPECT_FALSE(Set.Insert(Name)) << I;
        Distinct += Known ? 0 : 1;
    }
    EXPECT_EQ(Set.Size(), static_cast<std::size_t>(Distinct));
    for (int I = 0; I < 3000; ++I)
        EXPECT_TRUE(Set.Contains(NameOf(I))) << I;
    for (const char* Absent : {"dir\\file1.txt", "dir\\file0.tx", "DIR\\file0.txt", "y"})
        EXPECT_FALSE(Set.Contains(Absent)) << Absent;
}
