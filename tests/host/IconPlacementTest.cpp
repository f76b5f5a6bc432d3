// Where the minimised welcome dialog draws its icon.
#include "app/IconPlacement.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    int client;
    int icon;
    int origin;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.icon << " in " << c.client;
}

class IconPlacementTest : public ::testing::TestWithParam<Case> {};

TEST_P(IconPlacementTest, CentresRoundingTowardZero) {
    const Case c = GetParam();
    IconOrigin across = CentredIconOrigin(c.client, 100, c.icon, 100);
    IconOrigin down = CentredIconOrigin(100, c.client, 100, c.icon);
    EXPECT_EQ(across.x, c.origin);
    EXPECT_EQ(across.y, 0);
    EXPECT_EQ(down.x, 0);
    EXPECT_EQ(down.y, c.origin);
}

INSTANTIATE_TEST_SUITE_P(Table, IconPlacementTest,
                         ::testing::Values(Case{36, 32, 2}, Case{35, 32, 2}, Case{34, 32, 1},
                                           Case{32, 32, 0}, Case{31, 32, 0}, Case{30, 32, 0},
                                           Case{29, 32, -1}, Case{160, 32, 64}));

} // namespace
