#include "toolkit/glyph.h"

#include <algorithm>

namespace fw {

namespace {

Color mix(Color under, Color over, unsigned alpha)
{
    const auto channel = [&](int shift) {
        const unsigned d = (under >> shift) & 255u;
        const unsigned s = (over >> shift) & 255u;
        return ((s * alpha + d * (255u - alpha) + 127u) / 255u) << shift;
    };
    return channel(16) | channel(8) | channel(0);
}

}  // namespace

void blend_glyph(Canvas& canvas, long long left, long long top, const GlyphBitmap& glyph, Color color)
{
    if (glyph.empty())
        return;
    const long long x0 = std::max(left, 0LL);
    const long long y0 = std::max(top, 0LL);
    const long long x1 = std::min(left + glyph.width, static_cast<long long>(canvas.width()));
    const long long y1 = std::min(top + glyph.rows, static_cast<long long>(canvas.height()));
    if (x0 >= x1 || y0 >= y1)
        return;

    const PixelRows rows = canvas.write_rows(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1), static_cast<int>(y1));
    for (long long y = y0; y < y1; ++y) {
        Color* out = rows.row(static_cast<int>(y));
        const uint8_t* mask = glyph.coverage.data() + (y - top) * glyph.width;
        for (long long x = x0; x < x1; ++x) {
            const unsigned alpha = mask[x - left];
            if (alpha == 255)
                out[x] = color;
            else if (alpha != 0)
                out[x] = mix(out[x], color, alpha);
        }
    }
}

void fill_span(Canvas& canvas, long long left, long long top, long long right, long long bottom, Color color)
{
    const long long x0 = std::max(left, 0LL);
    const long long y0 = std::max(top, 0LL);
    const long long x1 = std::min(right, static_cast<long long>(canvas.width()));
    const long long y1 = std::min(bottom, static_cast<long long>(canvas.height()));
    if (x0 >= x1 || y0 >= y1)
        return;
    const PixelRows rows = canvas.write_rows(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1), static_cast<int>(y1));
    for (long long y = y0; y < y1; ++y)
        std::fill(rows.row(static_cast<int>(y)) + x0, rows.row(static_cast<int>(y)) + x1, color);
}

}  // namespace fw
