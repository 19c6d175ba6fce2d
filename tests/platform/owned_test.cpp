#include <gtest/gtest.h>

#include <vector>

#include "platform/owned.h"

namespace {

std::vector<int> givenBack;

struct CountingTraits {
    using Value = int;
    static constexpr Value kEmpty = 0;
    static bool IsHeld(Value value) { return value > 0; }
    static void GiveBack(Value value) { givenBack.push_back(value); }
};
using Owner = Owned<CountingTraits>;

}  // namespace

// Each resource is given back exactly once, whoever ends up holding it, and
// never one the owner was told to let go of or never held.
TEST(Owned, GivesEachResourceBackOnce) {
    givenBack.clear();
    {
        Owner first(1);
        Owner second(std::move(first));
        EXPECT_FALSE(first);
        Owner third(3);
        third = std::move(second);  // 3 goes back here; 1 moves on
        EXPECT_EQ(givenBack, std::vector<int>{3});
        third.Reset(4);        // 1 goes back
        *third.Receive() = 5;  // 4 goes back before the new one is written
        Owner kept(6);
        EXPECT_EQ(kept.Release(), 6);
        Owner none(-1);  // not a held value: nothing to give back
    }
    EXPECT_EQ(givenBack, (std::vector<int>{3, 1, 4, 5}));
}
