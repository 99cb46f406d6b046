// Ellipses that reach far past the canvas: the rows that show are worked out
// without stepping through the rest of the box, and must come out as the
// plain stepping would have drawn them.
#include "toolkit/canvas.h"
#include "tests/toolkit/canvas_colours.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <vector>

namespace fw {
namespace {

using namespace fw::testing;

// The whole-box stepping, each pixel set where it falls inside the picture.
void reference_ellipse(Image& img, long long left, long long top, long long w, long long h)
{
    auto put = [&](long long x0, long long x1, long long y, Color c) {
        if (y < 0 || y >= img.height) return;
        for (long long x = std::max(x0, 0LL); x < std::min(x1, static_cast<long long>(img.width)); ++x)
            img.pixels[static_cast<size_t>(y * img.width + x)] = c;
    };
    if (w <= 2 || h <= 2) {
        for (long long y = top; y < top + h; ++y) put(left, left + w, y, kFore);
        return;
    }
    const long long a = w - 1, b = h - 1;
    auto emit = [&](long long v, long long outer, long long inner) {
        for (const long long y : {top + v, top + b - v}) {
            put(left + inner + 1, left + a - inner, y, kFill);
            put(left + outer, left + inner + 1, y, kFore);
            put(left + a - inner, left + a - outer + 1, y, kFore);
        }
    };
    long long dx = 4 * b * b * (1 - a), dy = 4 * a * a * (1 + b % 2);
    long long err = dx + dy + a * a * (b % 2);
    const long long last_u = a - w / 2;
    long long u = 0, v = h / 2, outer = 0;
    for (;;) {
        const long long inner = u, e2 = 2 * err;
        bool next_row = false;
        if (e2 >= dx) {
            ++u;
            dx += 8 * b * b;
            err += dx;
        }
        if (e2 <= dy) {
            next_row = true;
            dy += 8 * a * a;
            err += dy;
        }
        if (next_row || u > last_u) {
            emit(v, outer, inner);
            ++v;
            outer = u;
            if (u > last_u || v > b) break;
        }
    }
}

TEST(CanvasEllipseClip, PartlyShownBoxesMatchTheWholeBoxStepping)
{
    // Boxes from flake size to a few thousand pixels, most of them reaching
    // past one or more edges, some showing only a corner, an edge or a
    // middle band.
    constexpr int kW = 61, kH = 47;
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> size_class(0, 3), small(1, 40), large(40, 4000), jitter(-80, 80);
    Canvas c;
    for (int i = 0; i < 600; ++i) {
        const int w = size_class(rng) == 0 ? small(rng) : large(rng);
        const int h = size_class(rng) == 0 ? small(rng) : large(rng);
        // Place an edge, a corner or the middle of the box near the canvas.
        std::uniform_int_distribution<int> fx(0, 2), fy(0, 2);
        const int left = kW / 2 + jitter(rng) - fx(rng) * w / 2;
        const int top = kH / 2 + jitter(rng) - fy(rng) * h / 2;
        make(c, kW, kH);
        c.ellipse(left, top, left + w, top + h);
        Image want{kW, kH, std::vector<Color>(kW * kH, kBack)};
        reference_ellipse(want, left, top, w, h);
        ASSERT_EQ(c.image().pixels, want.pixels) << "box " << left << "," << top << " " << w << "x" << h;
    }
}

TEST(CanvasEllipseClip, GiantCirclesShowTheirEdgesAndCostLittle)
{
    constexpr int kW = 64, kH = 40;
    Canvas c;
    const auto start = std::chrono::steady_clock::now();
    for (const long long d : {1LL << 20, 1LL << 30, (1LL << 31) - 64}) {
        SCOPED_TRACE(d);
        // The left edge's middle rows: one outline pixel at the box's left
        // column, interior to the right of it.
        make(c, kW, kH);
        const long long mid_top = 20 - d / 2;
        c.ellipse(10, static_cast<int>(mid_top), static_cast<int>(10 + d), static_cast<int>(mid_top + d));
        for (int y = 0; y < kH; ++y) {
            ASSERT_EQ(c.pixel(9, y), kBack) << y;
            ASSERT_EQ(c.pixel(10, y), kFore) << y;
            for (int x = 11; x < kW; ++x) ASSERT_EQ(c.pixel(x, y), kFill) << x << "," << y;
        }
        // The top row around the middle column is all outline, with the
        // interior below it and nothing above.
        make(c, kW, kH);
        const long long mid_left = 32 - d / 2;
        c.ellipse(static_cast<int>(mid_left), 10, static_cast<int>(mid_left + d), static_cast<int>(10 + d));
        for (int x = 0; x < kW; ++x) {
            ASSERT_EQ(c.pixel(x, 9), kBack) << x;
            ASSERT_EQ(c.pixel(x, 10), kFore) << x;
            ASSERT_EQ(c.pixel(x, 11), kFill) << x;
        }
        // Its bounding box's corner, far from the curve: nothing.
        make(c, kW, kH);
        c.ellipse(0, 0, static_cast<int>(d), static_cast<int>(d));
        EXPECT_EQ(c.image().pixels, std::vector<Color>(kW * kH, kBack));
    }
    // Stepping a 2^30 box row by row takes seconds; the rows that show take
    // microseconds.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

}  // namespace
}  // namespace fw
