// A rasterised glyph as a coverage mask, and the one routine that puts masks
// onto a canvas, shared by every text renderer so they blend alike.
#pragma once

#include "toolkit/canvas.h"

#include <cstdint>
#include <vector>

namespace fw {

struct GlyphBitmap {
    int left = 0;     // from the pen position right to the first column
    int top = 0;      // from the baseline up to the first row
    int width = 0;
    int rows = 0;
    int advance = 0;  // how far the pen moves right, in pixels
    std::vector<uint8_t> coverage;  // rows x width, row-major; 0 none, 255 full

    bool empty() const { return width <= 0 || rows <= 0; }
};

// Blends color over the canvas by the mask's coverage, with the mask's
// top-left pixel at (left, top); clipped to the canvas.
void blend_glyph(Canvas& canvas, long long left, long long top, const GlyphBitmap& glyph, Color color);

// Fills the half-open span [left, right) x [top, bottom) with color, clipped.
void fill_span(Canvas& canvas, long long left, long long top, long long right, long long bottom, Color color);

}  // namespace fw
