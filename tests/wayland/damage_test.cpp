#include "toolkit/wayland/damage.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

bool covered(const Rect& part, const std::vector<Rect>& cover)
{
    // Every pixel of part lies in one of the cover's rectangles.
    for (int y = part.top; y < part.bottom; ++y)
        for (int x = part.left; x < part.right; ++x) {
            bool in = false;
            for (const Rect& c : cover) in = in || (x >= c.left && x < c.right && y >= c.top && y < c.bottom);
            if (!in) return false;
        }
    return true;
}

TEST(DamageTest, FewPartsGoAsTheyAre)
{
    const std::vector<Rect> parts{{16, 8, 48, 16}, {400, 300, 416, 308}};
    EXPECT_EQ(cheapest_damage(parts, 1920, 1080), parts);
    EXPECT_TRUE(cheapest_damage({}, 1920, 1080).empty());
}

TEST(DamageTest, ManySmallPartsBecomeFewerRectanglesThatCoverThemAll)
{
    // Flakes scattered over the lower half of the screen, as a busy scene has them.
    std::vector<Rect> parts;
    for (int i = 0; i < 600; ++i) {
        const int x = (i * 7919) % 1900 / 16 * 16, y = 540 + (i * 104729) % 520 / 8 * 8;
        parts.push_back({x, y, x + 16, y + 8});
    }
    const std::vector<Rect> damage = cheapest_damage(parts, 1920, 1080);
    EXPECT_LT(damage.size(), parts.size() / 4);
    for (const Rect& r : damage) EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= 1920 && r.bottom <= 1080);
    for (const Rect& p : parts) ASSERT_TRUE(covered(p, damage)) << p.left << "," << p.top;
    // Nothing above the changed half is named.
    for (const Rect& r : damage) EXPECT_GE(r.top, 512);
}

}  // namespace
}  // namespace fw
