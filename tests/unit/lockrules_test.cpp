// Which lock setup takes, for both answers about private namespaces (Wine
// has none, so the namespace path can only be chosen here).

#include "data/LockRules.h"

#include <gtest/gtest.h>

namespace {

using W = TLockWay;

TEST(LockRules, NeverAWeakerLockInAnElevatedRun) {
    struct TCase {
        bool Namespaces, Elevated;
        std::vector<TLockWay> Ways;
    };
    const TCase Cases[] = {
        {true, true, {W::PrivateNamespace}},
        {false, true, {W::GlobalName}},
        {true, false, {W::PrivateNamespace, W::GlobalName, W::SessionName}},
        {false, false, {W::GlobalName, W::SessionName}},
    };
    for (const TCase& Case : Cases)
        EXPECT_EQ(LockWays(Case.Namespaces, Case.Elevated), Case.Ways)
            << "namespaces " << Case.Namespaces << ", elevated " << Case.Elevated;
}

} // namespace
