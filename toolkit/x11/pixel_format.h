// How a TrueColor visual packs red, green and blue into a pixel value, and
// the conversions between such pixels and the canvas' 0x00RRGGBB colours.
#pragma once

#include "toolkit/canvas.h"

#include <cstdint>

namespace fw {

struct PixelFormat {
    struct Channel {
        unsigned long mask = 0;
        int shift = 0;  // of the channel's lowest bit
        int bits = 0;
    };
    Channel red, green, blue;

    static PixelFormat from_masks(unsigned long red_mask, unsigned long green_mask, unsigned long blue_mask);

    // 8 bits a channel at 0x00RRGGBB: a canvas colour is such a pixel already.
    bool is_xrgb8888() const;

    // Channels narrower than 8 bits are widened so that their full value is 255.
    Color to_color(unsigned long pixel) const;
    // Channels narrower than 8 bits take the nearest value.
    unsigned long to_pixel(Color color) const;
};

}  // namespace fw
