// Windows bitmap files: the program's own reader, used for the bitmaps it
// carries as resources, and the size its picture objects report for them.
#pragma once

#include "toolkit/canvas.h"

#include <span>

namespace fw {

// Decodes a BMP file: 1, 4, 8, 24 and 32 bits per pixel uncompressed (rows
// bottom-up or top-down), 4-bit and 8-bit run-length compressed. Pixels that a
// compressed picture skips take palette entry 0. Anything malformed or
// unsupported gives an empty image; the bytes may come from anywhere.
Image decode_bmp(std::span<const unsigned char> bytes);

// The bitmap resource with this number (the embedded file "<id>.bmp").
// Raises run-time error 326 when there is none or it cannot be decoded.
Image load_bitmap_resource(int id);

// The picture's width in hundredths of a millimetre, as a picture object
// reports it for a bitmap on a screen of dpi dots per inch: pixels * 2540 /
// dpi, rounded half away from zero (50 pixels at 96 dpi -> 1323).
int himetric_width(const Image& image, int dpi = 96);

}  // namespace fw
