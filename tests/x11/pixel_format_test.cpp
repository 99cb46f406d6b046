#include "toolkit/x11/pixel_format.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(PixelFormat, CommonVisuals)
{
    const PixelFormat xrgb = PixelFormat::from_masks(0xFF0000, 0x00FF00, 0x0000FF);
    EXPECT_TRUE(xrgb.is_xrgb8888());
    EXPECT_EQ(xrgb.to_pixel(rgb(119, 172, 252)), 0x77ACFCul);
    EXPECT_EQ(xrgb.to_color(0xFF77ACFCul), rgb(119, 172, 252));  // padding bits are no colour

    const PixelFormat bgr = PixelFormat::from_masks(0x0000FF, 0x00FF00, 0xFF0000);
    EXPECT_FALSE(bgr.is_xrgb8888());
    EXPECT_EQ(bgr.to_pixel(rgb(1, 2, 3)), 0x030201ul);
    EXPECT_EQ(bgr.to_color(0x030201ul), rgb(1, 2, 3));

    const PixelFormat rgb565 = PixelFormat::from_masks(0xF800, 0x07E0, 0x001F);
    EXPECT_FALSE(rgb565.is_xrgb8888());
    EXPECT_EQ(rgb565.to_pixel(rgb(255, 255, 255)), 0xFFFFul);
    EXPECT_EQ(rgb565.to_color(0xFFFF), rgb(255, 255, 255));
    EXPECT_EQ(rgb565.to_color(0xF800), rgb(255, 0, 0));
    EXPECT_EQ(rgb565.to_pixel(rgb(0, 0, 0)), 0ul);

    const PixelFormat deep = PixelFormat::from_masks(0x3FF00000, 0x000FFC00, 0x000003FF);  // 10 bits a channel
    EXPECT_EQ(deep.to_pixel(rgb(255, 0, 0)), 0x3FC00000ul);
    EXPECT_EQ(deep.to_color(0x3FF00000), rgb(255, 0, 0));
}

TEST(PixelFormat, EveryChannelValueSurvivesTheRoundTripWhereTheChannelHoldsIt)
{
    const PixelFormat formats[] = {PixelFormat::from_masks(0xFF0000, 0xFF00, 0xFF),
                                   PixelFormat::from_masks(0x3FF00000, 0x000FFC00, 0x000003FF)};
    for (const PixelFormat& f : formats)
        for (int v = 0; v < 256; ++v) {
            const Color c = rgb(v, 255 - v, v / 2);
            EXPECT_EQ(f.to_color(f.to_pixel(c)), c) << v;
        }
    // Narrow channels keep the nearest level, and a level comes back the same.
    const PixelFormat rgb565 = PixelFormat::from_masks(0xF800, 0x07E0, 0x001F);
    for (unsigned long level = 0; level < 32; ++level) {
        const unsigned long pixel = level << 11 | (level * 2) << 5 | level;
        EXPECT_EQ(rgb565.to_pixel(rgb565.to_color(pixel)), pixel) << level;
    }
    for (int v = 0; v < 256; ++v) {
        const int back = red(rgb565.to_color(rgb565.to_pixel(rgb(v, 0, 0))));
        EXPECT_LE(std::abs(back - v), 4) << v;
    }
}

}  // namespace
}  // namespace fw
