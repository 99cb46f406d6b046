// Pictures of the program (decoded bitmaps) as GDI objects. Magenta
// (255, 0, 255) marks the pixels of an icon or button picture that are not
// there.
#pragma once

#include "toolkit/canvas.h"

#include <windows.h>

namespace fw {

inline constexpr Color transparent_key = rgb(255, 0, 255);

// A 32-bit DIB section holding the picture; nullptr for an empty one.
HBITMAP bitmap_of(const Image& image);
// An icon of the picture, its magenta pixels see-through; nullptr for an empty one.
HICON icon_of(const Image& image);
// Draws the picture onto a canvas at (x, y), leaving its magenta pixels out.
void draw_keyed(Canvas& canvas, const Image& image, int x, int y);

}  // namespace fw
