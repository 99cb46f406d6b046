// The damage a frame names to the compositor. The changed tiles of a busy
// scene make a thousand small rectangles, and a compositor pays for each
// (sway repaints rectangle by rectangle, and merges each one into a region
// as it comes); a few larger ones that cover a little more cost it less.
#pragma once

#include "toolkit/canvas.h"

#include <vector>

namespace fw {

// What one rectangle costs a compositor, counted in pixels it repaints:
// measured on sway with its software renderer at 1920x1080.
inline constexpr long kDamageRectCost = 8192;

// parts (of a surface of width x height), or a coarser cover of them: the
// cells of a grid of 32, 64, 128 or 256 pixels that hold a changed pixel,
// joined along each row of cells, or the whole surface; whichever costs
// least, counting each rectangle at kDamageRectCost pixels.
std::vector<Rect> cheapest_damage(const std::vector<Rect>& parts, int width, int height);

}  // namespace fw
