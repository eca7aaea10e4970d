// Centring of the folder dialog: the offset is half the difference, rounded
// toward zero, and never clamped to the screen.
#include "ui/Centring.h"

#include <gtest/gtest.h>

namespace {

struct TCentringCase {
    const char* Name;
    int ScreenWidth, ScreenHeight, Width, Height;
    TWindowOrigin Expected;
};

class CentredOriginTest : public testing::TestWithParam<TCentringCase> {};

TEST_P(CentredOriginTest, GivesTheOrigin) {
    const TCentringCase& C = GetParam();
    EXPECT_EQ(CentredOrigin(C.ScreenWidth, C.ScreenHeight, C.Width, C.Height), C.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CentredOriginTest,
    testing::Values(TCentringCase{"Smaller", 1024, 768, 400, 300, {312, 234}},
                    // An odd excess loses the half pixel.
                    TCentringCase{"OddExcess", 1024, 768, 401, 301, {311, 233}},
                    TCentringCase{"ScreenSized", 1024, 768, 1024, 768, {0, 0}},
                    // Larger than the screen: negative, truncated toward zero
                    // (-201 / 2 is -100, not -101), not clamped.
                    TCentringCase{"LargerOdd", 800, 600, 1001, 603, {-100, -1}},
                    TCentringCase{"TwiceTheScreen", 640, 480, 1280, 960, {-320, -240}},
                    // Only one side too large.
                    TCentringCase{"TallerOnly", 800, 600, 200, 801, {300, -100}}),
    [](const testing::TestParamInfo<TCentringCase>& Info) { return Info.param.Name; });

} // namespace
