#include "toolkit/monitors.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

Monitor at(int w, int h, int x, int y, bool primary = false) { return {{x, y, x + w, y + h}, primary}; }

TEST(MonitorLayout, ArrangesWhatTheSystemLists)
{
    const Rect screen{0, 0, 3200, 1080};
    const struct {
        const char* layout;
        std::vector<Monitor> listed;
        std::vector<Monitor> arranged;
        Rect box;
    } cases[] = {
        {"one", {at(1024, 768, 0, 0, true)}, {at(1024, 768, 0, 0, true)}, {0, 0, 1024, 768}},
        // Different heights side by side: each keeps its own bottom edge; the
        // system's order stays, whichever is primary.
        {"side by side", {at(1920, 1080, 0, 0), at(1280, 1024, 1920, 0, true)},
         {at(1920, 1080, 0, 0), at(1280, 1024, 1920, 0, true)}, {0, 0, 3200, 1080}},
        {"listed right to left", {at(1280, 1024, 1920, 0), at(1920, 1080, 0, 0)},
         {at(1280, 1024, 1920, 0), at(1920, 1080, 0, 0)}, {0, 0, 3200, 1080}},
        // Touching edges are no overlap.
        {"one above the other", {at(1280, 1024, 0, 0), at(1920, 1080, 0, 1024)},
         {at(1280, 1024, 0, 0), at(1920, 1080, 0, 1024)}, {0, 0, 1920, 2104}},
        {"clones", {at(1920, 1080, 0, 0), at(1920, 1080, 0, 0, true)}, {at(1920, 1080, 0, 0, true)}, {0, 0, 1920, 1080}},
        // A mirror at another size: one scene over both, so that neither shows
        // the desktop beside it.
        {"mirror of another shape", {at(1600, 1200, 0, 0), at(1920, 1080, 0, 0)}, {at(1920, 1200, 0, 0)},
         {0, 0, 1920, 1200}},
        {"enclosed", {at(800, 600, 100, 100), at(1920, 1080, 0, 0)}, {at(1920, 1080, 0, 0)}, {0, 0, 1920, 1080}},
        // The merged box of the first two reaches the third.
        {"chain", {at(100, 100, 0, 0), at(100, 100, 250, 0), at(300, 50, 50, 60)}, {at(350, 110, 0, 0)},
         {0, 0, 350, 110}},
        // Windows puts monitors left of and above the primary one at negative coordinates.
        {"negative origin", {at(1920, 1080, 0, 0, true), at(1280, 1024, -1280, -200)},
         {at(1920, 1080, 0, 0, true), at(1280, 1024, -1280, -200)}, {-1280, -200, 1920, 1080}},
        {"empty rectangles go", {at(0, 768, 0, 0), at(1024, 768, 0, 0), at(640, -5, 1024, 0)}, {at(1024, 768, 0, 0)},
         {0, 0, 1024, 768}},
        {"nothing listed: the whole screen", {}, {{screen, true}}, screen},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        const std::vector<Monitor> arranged = arrange_monitors(c.listed, screen);
        EXPECT_EQ(arranged, c.arranged);
        EXPECT_EQ(bounding_box(arranged), c.box);
    }
}

TEST(MonitorLayout, DialogsOpenOnThePrimaryElseUnderThePointer)
{
    const std::vector<Monitor> two = {at(1920, 1080, 0, 0), at(1280, 1024, 1920, 0)};
    const std::vector<Monitor> second_primary = {at(1920, 1080, 0, 0), at(1280, 1024, 1920, 0, true)};
    const Rect fallback{0, 0, 640, 480};
    EXPECT_EQ(dialog_monitor(second_primary, Point{10, 10}, fallback), second_primary[1].area);
    EXPECT_EQ(dialog_monitor(two, Point{1920, 1023}, fallback), two[1].area);
    EXPECT_EQ(dialog_monitor(two, Point{1919, 5}, fallback), two[0].area);
    EXPECT_EQ(dialog_monitor(two, Point{2000, 1050}, fallback), two[0].area);  // below the smaller one: nowhere
    EXPECT_EQ(dialog_monitor(two, std::nullopt, fallback), two[0].area);
    EXPECT_EQ(dialog_monitor({}, Point{1, 1}, fallback), fallback);
}

TEST(MonitorLayout, ListsWrittenAsGeometries)
{
    EXPECT_EQ(parse_monitor_list("1920x1080+0+0,1280x1024+1920+0"),
              (std::vector<Monitor>{at(1920, 1080, 0, 0, true), at(1280, 1024, 1920, 0)}));
    EXPECT_EQ(parse_monitor_list("800x600+-800+-10,640X480-5+0"),
              (std::vector<Monitor>{at(800, 600, -800, -10, true), at(640, 480, -5, 0)}));
    for (const char* bad : {"", "1920x1080", "1920x1080+0", "0x10+0+0", "10x-1+0+0", "1920x1080+0+0,", "1920x1080+0+0;",
                            "axb+0+0", "10x10+0+0 ", "2000000x10+0+0", "10x10+0+99999999999"})
        EXPECT_FALSE(parse_monitor_list(bad)) << bad;
}

}  // namespace
}  // namespace fw
