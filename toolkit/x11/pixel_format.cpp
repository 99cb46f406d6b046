#include "toolkit/x11/pixel_format.h"

namespace fw {

namespace {

PixelFormat::Channel channel_of(unsigned long mask)
{
    PixelFormat::Channel c;
    c.mask = mask;
    if (mask == 0) return c;
    while (((mask >> c.shift) & 1ul) == 0) ++c.shift;
    while (c.shift + c.bits < 64 && ((mask >> (c.shift + c.bits)) & 1ul) != 0) ++c.bits;
    return c;
}

int widen(const PixelFormat::Channel& c, unsigned long pixel)
{
    if (c.bits == 0) return 0;
    const unsigned long v = (pixel & c.mask) >> c.shift;
    if (c.bits >= 8) return static_cast<int>(v >> (c.bits - 8));
    const unsigned long max = (1ul << c.bits) - 1;
    return static_cast<int>((v * 255 + max / 2) / max);
}

unsigned long narrow(const PixelFormat::Channel& c, int value)
{
    if (c.bits == 0) return 0;
    const auto v = static_cast<unsigned long>(value);
    if (c.bits >= 8) return (v << (c.bits - 8)) << c.shift;
    const unsigned long max = (1ul << c.bits) - 1;
    return ((v * max + 127) / 255) << c.shift;
}

}  // namespace

PixelFormat PixelFormat::from_masks(unsigned long red_mask, unsigned long green_mask, unsigned long blue_mask)
{
    return {channel_of(red_mask), channel_of(green_mask), channel_of(blue_mask)};
}

bool PixelFormat::is_xrgb8888() const
{
    return red.mask == 0xFF0000ul && green.mask == 0xFF00ul && blue.mask == 0xFFul;
}

Color PixelFormat::to_color(unsigned long pixel) const
{
    return rgb(widen(red, pixel), widen(green, pixel), widen(blue, pixel));
}

unsigned long PixelFormat::to_pixel(Color color) const
{
    return narrow(red, fw::red(color)) | narrow(green, fw::green(color)) | narrow(blue, fw::blue(color));
}

}  // namespace fw
