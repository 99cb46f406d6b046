#include "toolkit/linux/screen_dpi.h"
#include "toolkit/linux/timer_schedule.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(ScreenDpi, XftDpiFromTheResourceText)
{
    EXPECT_EQ(xft_dpi(nullptr), std::nullopt);
    EXPECT_EQ(xft_dpi(""), std::nullopt);
    EXPECT_EQ(xft_dpi("Xft.dpi:\t120\n"), 120.0);
    EXPECT_EQ(xft_dpi("Xcursor.size:\t24\nXft.dpi: 144\nXft.hinting:\t1\n"), 144.0);
    EXPECT_EQ(xft_dpi("Xft.dpi:\t96.5"), 96.5);
    EXPECT_EQ(xft_dpi("Xft.dpix:\t120\n"), std::nullopt);
    EXPECT_EQ(xft_dpi("*Xft.dpi:\t120\n"), std::nullopt);
    EXPECT_EQ(xft_dpi("Xft.dpi:\tlarge\n"), std::nullopt);
    EXPECT_EQ(xft_dpi("Xft.dpi:\t0\n"), std::nullopt);
}

TEST(ScreenDpi, TwipsPerPixel)
{
    EXPECT_EQ(twips_per_pixel_for(96), 15);
    EXPECT_EQ(twips_per_pixel_for(120), 12);
    EXPECT_EQ(twips_per_pixel_for(144), 10);
    EXPECT_EQ(twips_per_pixel_for(192), 7.5);
    EXPECT_EQ(twips_per_pixel_for(72), 20);
    EXPECT_EQ(twips_per_pixel_for(0), 15);
}

TEST(ScreenDpi, TheDisplaysResolutionCountsTheScaleOnce)
{
    const struct { int scale; double resolution; std::optional<double> xft; double dpi; } cases[] = {
        {1, 96, std::nullopt, 96},   // nothing set
        {1, 192, 192.0, 192},        // Xft.dpi alone
        {2, 96, std::nullopt, 192},  // GDK_SCALE=2 alone
        {2, 96, 192.0, 192},         // GDK_SCALE=2 with GDK_DPI_SCALE=0.5, or a desktop's settings daemon
        {2, 192, 192.0, 192},        // GDK_SCALE=2 over Xft.dpi 192: GTK took the whole resolution as its own
        {2, 96, 96.0, 192},          // a desktop that scales windows by 2 and keeps Xft.dpi at 96
        {2, 144, 288.0, 288},        // 200 % with large text
        {0, -1, std::nullopt, 96},   // nothing known
    };
    for (const auto& c : cases)
        EXPECT_EQ(display_dpi(c.scale, c.resolution, c.xft), c.dpi) << c.scale << " " << c.resolution;
}

TEST(TimerSchedule, KeepsTheRateAndNeverOverlapsALateTick)
{
    using namespace std::chrono_literals;
    const SteadyTime t0{};
    // On time: the next is one interval after the last was due, however late
    // within the interval the tick woke up or long it ran.
    EXPECT_EQ(next_tick_due(t0, 30ms, t0 + 1ms), t0 + 30ms);
    EXPECT_EQ(next_tick_due(t0, 30ms, t0 + 29ms), t0 + 30ms);
    // Longer than the interval: the next waits for this one's end, and only one follows.
    EXPECT_EQ(next_tick_due(t0, 30ms, t0 + 95ms), t0 + 95ms);
    EXPECT_EQ(next_tick_due(t0 + 95ms, 30ms, t0 + 96ms), t0 + 125ms);
}

}  // namespace
}  // namespace fw
