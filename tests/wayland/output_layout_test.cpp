#include "toolkit/wayland/output_layout.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

OutputGeometry output(double x, double y, double w, double h, int dw, int dh) { return {x, y, w, h, dw, dh}; }

TEST(OutputLayoutTest, OneScaleGivesDevicePixelsSideBySide)
{
    const OutputLayout layout({output(0, 0, 960, 540, 1920, 1080), output(960, 0, 640, 360, 1280, 720)});
    EXPECT_EQ(layout.factor(), 2.0);
    EXPECT_EQ(layout.area(0), (Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(layout.area(1), (Rect{1920, 0, 3200, 720}));
    // A pointer path over the seam: the last point of one output and the
    // first of the next lie one logical pixel apart in screen units too.
    const double left = layout.area(0).left + layout.to_area_x(0, 959.5);
    const double right = layout.area(1).left + layout.to_area_x(1, 0.5);
    EXPECT_DOUBLE_EQ(right - left, 2.0);
}

TEST(OutputLayoutTest, MixedScalesNeverOverlapAndKeepTheirDevicePixels)
{
    // Scale 1 on the left, scale 2 on the right, and a fractional one below.
    const OutputLayout layout({output(0, 0, 1280, 720, 1280, 720), output(1280, 0, 960, 540, 1920, 1080),
                               output(0, 720, 1280, 720, 1920, 1080)});
    EXPECT_EQ(layout.factor(), 2.0);
    EXPECT_EQ(layout.area(0), (Rect{0, 0, 1280, 720}));
    EXPECT_EQ(layout.area(1), (Rect{2560, 0, 4480, 1080}));
    EXPECT_EQ(layout.area(2), (Rect{0, 1440, 1920, 2520}));
    const std::vector<Monitor> monitors = arrange_monitors(
        {{layout.area(0), false}, {layout.area(1), false}, {layout.area(2), false}}, Rect{});
    EXPECT_EQ(monitors.size(), 3u) << "no two outputs are taken for clones of each other";
    // Moves are measured in the same units on every output, so that the
    // seam between outputs of two scales is no jump.
    const double before = layout.area(0).left + layout.to_area_x(0, 1279.0);
    const double after = layout.area(1).left + layout.to_area_x(1, 1.0);
    EXPECT_DOUBLE_EQ(after - before, 4.0);
}

}  // namespace
}  // namespace fw
