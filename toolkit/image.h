// A still picture as a row-major bitmap of packed RGB pixels: what a
// surface's content is read out as, what a bitmap resource or a snapshot is
// loaded as.
#pragma once

#include "toolkit/color.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace fw {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<Color> pixels;  // row-major, width * height

    Color at(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
    bool empty() const { return width <= 0 || height <= 0; }
};

// A black picture of width x height (none of a size below zero): what a
// screen capture starts from, and gives where the screen cannot be read.
inline Image black_image(int width, int height)
{
    Image shot;
    shot.width = std::max(width, 0);
    shot.height = std::max(height, 0);
    shot.pixels.assign(static_cast<size_t>(shot.width) * static_cast<size_t>(shot.height), 0);
    return shot;
}

}  // namespace fw
