// Pins the canvas conventions with tiny surfaces and single-pixel pictures
// (ASCII art: '.' back colour, 'o' fill, '#' outline), and checks clipping
// with invariants over many random boxes.
#include "toolkit/canvas.h"
#include "tests/toolkit/canvas_colours.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

namespace fw {
namespace {

using namespace fw::testing;

using Art = std::vector<std::string>;

char glyph(Color c)
{
    if (c == kBack) return '.';
    if (c == kFill) return 'o';
    if (c == kFore) return '#';
    return static_cast<char>('A' + (c & 15));  // pictures below use 0..15
}

Art art(const Canvas& c)
{
    Art out(static_cast<size_t>(c.height()), std::string(static_cast<size_t>(c.width()), ' '));
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) out[static_cast<size_t>(y)][static_cast<size_t>(x)] = glyph(c.pixel(x, y));
    return out;
}

// A w x h picture whose pixel (x, y) is y * w + x, drawn as 'A', 'B', ...
Image picture(int w, int h)
{
    Image img{w, h, {}};
    for (int i = 0; i < w * h; ++i) img.pixels.push_back(static_cast<Color>(i));
    return img;
}

// ---------------------------------------------------------------- ellipse

struct EllipseCase {
    int w, h;
    Art mask;
};

// The pixels of GDI's Ellipse with a one-pixel pen and a solid brush.
const std::vector<EllipseCase> kEllipses = {
    {1, 1, {"."}},
    {2, 2, {"##", "##"}},
    {1, 3, {"#", "#", "#"}},
    {4, 2, {"####", "####"}},
    {2, 5, {"##", "##", "##", "##", "##"}},
    {3, 3, {".#.", "#o#", ".#."}},
    {4, 4, {".##.", "#oo#", "#oo#", ".##."}},
    {5, 5, {".###.", "#ooo#", "#ooo#", "#ooo#", ".###."}},
    {4, 6, {".##.", "#oo#", "#oo#", "#oo#", "#oo#", ".##."}},
    {6, 4, {".####.", "#oooo#", "#oooo#", ".####."}},
    {6, 6, {"..##..", ".#oo#.", "#oooo#", "#oooo#", ".#oo#.", "..##.."}},
    {5, 7, {"..#..", ".#o#.", "#ooo#", "#ooo#", "#ooo#", ".#o#.", "..#.."}},
    {7, 7, {"..###..", ".#ooo#.", "#ooooo#", "#ooooo#", "#ooooo#", ".#ooo#.", "..###.."}},
    {9, 6, {"..#####..", ".#ooooo#.", "#ooooooo#", "#ooooooo#", ".#ooooo#.", "..#####.."}},
    {8, 10,
     {"..####..", ".#oooo#.", ".#oooo#.", "#oooooo#", "#oooooo#", "#oooooo#", "#oooooo#", ".#oooo#.", ".#oooo#.",
      "..####.."}},
    {12, 12,
     {"....####....", "..##oooo##..", ".#oooooooo#.", ".#oooooooo#.", "#oooooooooo#", "#oooooooooo#",
      "#oooooooooo#", "#oooooooooo#", ".#oooooooo#.", ".#oooooooo#.", "..##oooo##..", "....####...."}},
    // A slender box: the stepping reaches the middle column before the
    // last row, which stays empty.
    {4, 7, {"....", ".##.", "#oo#", "#oo#", "#oo#", ".##.", "...."}},
};

TEST(CanvasEllipse, MatchesGdiPixelsAtSmallSizes)
{
    for (const auto& [w, h, mask] : kEllipses) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        Canvas c;
        make(c, w + 2, h + 2);
        c.ellipse(1, 1, 1 + w, 1 + h);
        Art want(static_cast<size_t>(h + 2), std::string(static_cast<size_t>(w + 2), '.'));
        for (int y = 0; y < h; ++y) want[static_cast<size_t>(y + 1)].replace(1, static_cast<size_t>(w), mask[static_cast<size_t>(y)]);
        EXPECT_EQ(art(c), want);

        // Any corner order names the same box.
        Canvas flipped;
        make(flipped, w + 2, h + 2);
        flipped.ellipse(1 + w, 1 + h, 1, 1);
        EXPECT_EQ(art(flipped), want);
    }
}

TEST(CanvasEllipse, EmptyBoxDrawsNothing)
{
    const int boxes[][4] = {{2, 2, 2, 6}, {1, 3, 7, 3}, {4, 4, 4, 4}};
    for (const auto& b : boxes) {
        Canvas c;
        make(c, 8, 8);
        c.ellipse(b[0], b[1], b[2], b[3]);
        EXPECT_EQ(art(c), Art(8, "........"));
    }
}

TEST(CanvasEllipse, ShapeInvariants)
{
    // Symmetric about both axes; every row is one run, outlined at both
    // ends; the box's four edges are touched (for boxes of flake
    // proportions).
    for (int w = 1; w <= 40; ++w) {
        for (int h = 1; h <= 40; ++h) {
            if (w == 1 && h == 1) continue;
            Canvas c;
            make(c, w, h);
            c.ellipse(0, 0, w, h);
            const Art a = art(c);
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
            for (int y = 0; y < h; ++y) {
                const std::string& r = a[static_cast<size_t>(y)];
                ASSERT_EQ(r, std::string(r.rbegin(), r.rend()));
                ASSERT_EQ(r, a[static_cast<size_t>(h - 1 - y)]);
                const size_t first = r.find_first_not_of('.');
                if (first == std::string::npos) continue;
                const size_t last = r.find_last_not_of('.');
                ASSERT_EQ(r[first], '#');
                ASSERT_EQ(r[last], '#');
                ASSERT_EQ(r.find('.', first), r.find('.', last));
            }
            if (h <= w + 2) {
                EXPECT_NE(a.front().find('#'), std::string::npos);
                EXPECT_EQ(a[static_cast<size_t>(h / 2)].front(), '#');
            }
        }
    }
}

TEST(CanvasEllipse, ClipsToTheSameShapeAtEveryEdge)
{
    // An ellipse drawn over the edges of a small canvas shows exactly the
    // part that a larger canvas shows through the same window.
    constexpr int kW = 13, kH = 9, kMargin = 30;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pos(-kMargin + 2, kW + kMargin - 20), size(0, 16);
    for (int i = 0; i < 4000; ++i) {
        const int l = pos(rng), t = pos(rng), r = l + size(rng), b = t + size(rng);
        Canvas small, big;
        make(small, kW, kH);
        make(big, kW + 2 * kMargin, kH + 2 * kMargin);
        small.ellipse(l, t, r, b);
        big.ellipse(l + kMargin, t + kMargin, r + kMargin, b + kMargin);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                ASSERT_EQ(small.pixel(x, y), big.pixel(x + kMargin, y + kMargin))
                    << "box " << l << "," << t << "," << r << "," << b << " at " << x << "," << y;
    }
}

TEST(CanvasEllipse, FarOffAndHugeBoxesAreSafe)
{
    Canvas c;
    make(c, 16, 16);
    const int boxes[][4] = {
        {-40, 3, -4, 9}, {3, 20, 9, 40}, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {INT_MAX - 5, 0, INT_MAX, 5},
        {INT_MIN, 0, INT_MIN + 5, 5},
    };
    for (const auto& b : boxes) c.ellipse(b[0], b[1], b[2], b[3]);
    // The largest box: stepped all the way to the bottom rows, which pass
    // the canvas outside the ellipse.
    c.ellipse(0, 8 - (1 << 19), 1 << 19, 8);
    EXPECT_EQ(art(c), Art(16, std::string(16, '.')));

    // A very large box passing through the canvas: its left outline crosses
    // the canvas, interior to the right of it.
    c.ellipse(8, -200000, 400008, 200000);
    EXPECT_EQ(c.pixel(8, 8), kFore);
    EXPECT_EQ(c.pixel(7, 8), kBack);
    EXPECT_EQ(c.pixel(15, 8), kFill);
}

// ---------------------------------------------------------------- fill_rect

TEST(CanvasFillRect, IsHalfOpenAndClipped)
{
    struct Case {
        int l, t, r, b;
        Art want;
    };
    const std::vector<Case> cases = {
        {1, 1, 3, 3, {"....", ".##.", ".##.", "...."}},
        {-5, -5, 1, 9, {"#...", "#...", "#...", "#..."}},
        {3, 3, 99, 99, {"....", "....", "....", "...#"}},
        {3, 1, 1, 3, {"....", "....", "....", "...."}},  // right < left: nothing
        {0, 2, 4, 2, {"....", "....", "....", "...."}},
    };
    for (const auto& [l, t, r, b, want] : cases) {
        Canvas c;
        make(c, 4, 4);
        c.fill_rect(l, t, r, b, kFore);
        EXPECT_EQ(art(c), want) << l << "," << t << "," << r << "," << b;
    }
}

// ---------------------------------------------------------------- blit

TEST(CanvasBlit, ClipsAgainstSourceAndDestination)
{
    struct Case {
        int dx, dy, w, h, sx, sy;
        Art want;
    };
    // Source is the 4x4 picture A..P; destination a blank 4x4.
    const std::vector<Case> cases = {
        {0, 0, 4, 4, 0, 0, {"ABCD", "EFGH", "IJKL", "MNOP"}},
        {1, 2, 2, 1, 0, 0, {"....", "....", ".AB.", "...."}},
        {-1, -2, 99, 99, 0, 0, {"JKL.", "NOP.", "....", "...."}},
        {2, 3, 99, 99, 0, 0, {"....", "....", "....", "..AB"}},
        {0, 0, 99, 99, -1, -2, {"....", "....", ".ABC", ".EFG"}},
        {0, 0, 99, 99, 3, 2, {"L...", "P...", "....", "...."}},
        {1, 1, 2, 2, -1, -1, {"....", "....", "..A.", "...."}},
        {0, 0, 4, 4, 4, 0, {"....", "....", "....", "...."}},
        {4, 0, 4, 4, 0, 0, {"....", "....", "....", "...."}},
        {0, 0, 0, 4, 0, 0, {"....", "....", "....", "...."}},
        {0, 0, -2, 4, 0, 0, {"....", "....", "....", "...."}},
        {INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MAX, 0, {"....", "....", "....", "...."}},
        {0, 0, INT_MAX, INT_MAX, INT_MIN, INT_MIN, {"....", "....", "....", "...."}},
    };
    Canvas src;
    make(src, 4, 4);
    const Image p = picture(4, 4);
    src.set_picture(&p);
    for (const auto& [dx, dy, w, h, sx, sy, want] : cases) {
        Canvas dst;
        make(dst, 4, 4);
        dst.blit(dx, dy, w, h, src, sx, sy);
        EXPECT_EQ(art(dst), want) << dx << "," << dy << " " << w << "x" << h << " from " << sx << "," << sy;
    }
}

TEST(CanvasBlit, OverlappingCopyWithinOneCanvasReadsTheOldContent)
{
    // Whatever the direction, the result is a copy of the content as it was
    // before the blit.
    const int shifts[][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {2, 3}, {-3, -1}, {1, -2}, {-2, 1}};
    const Image p = picture(5, 5);
    for (const auto& s : shifts) {
        Canvas c, before;
        make(c, 5, 5);
        make(before, 5, 5);
        c.set_picture(&p);
        before.set_picture(&p);
        c.blit(s[0], s[1], 5, 5, c, 0, 0);
        Canvas want;
        make(want, 5, 5);
        want.set_picture(&p);
        want.blit(s[0], s[1], 5, 5, before, 0, 0);
        EXPECT_EQ(art(c), art(want)) << s[0] << "," << s[1];
    }
}

// ---------------------------------------------------------------- pictures

TEST(CanvasStretchDraw, MapsEachDestinationPixelBackToTheSource)
{
    struct Case {
        int dx, dy, dw, dh;
        int canvas;
        Art want;
    };
    const std::vector<Case> cases = {
        {0, 0, 4, 4, 4, {"AABB", "AABB", "CCDD", "CCDD"}},
        {0, 0, 3, 3, 3, {"AAB", "AAB", "CCD"}},
        {-1, -1, 4, 4, 3, {"ABB", "CDD", "CDD"}},      // clipped on the top left
        {1, 0, 3, 2, 3, {".AA", ".CC", "..."}},        // clipped on the right
        {0, 0, 1, 1, 2, {"A.", ".."}},                  // shrunk
        {0, 0, 2, 2, 2, {"AB", "CD"}},                  // unscaled
        {0, 0, 0, 2, 2, {"..", ".."}},                  // zero width
        {0, 0, -2, 2, 2, {"..", ".."}},                 // negative width
        {0, 0, 2, -2, 2, {"..", ".."}},
    };
    const Image p = picture(2, 2);
    for (const auto& [dx, dy, dw, dh, n, want] : cases) {
        Canvas c;
        make(c, n, n);
        c.stretch_draw(p, dx, dy, dw, dh);
        EXPECT_EQ(art(c), want) << dx << "," << dy << " " << dw << "x" << dh;
    }
}

TEST(CanvasPicture, DrawImageSetPictureAndImage)
{
    const Image p = picture(3, 2);
    Canvas c;
    make(c, 4, 3);
    c.draw_image(p, -1, 2);
    EXPECT_EQ(art(c), (Art{"....", "....", "BC.."}));
    c.draw_image(p, 2, -1);
    EXPECT_EQ(art(c), (Art{"..DE", "....", "BC.."}));

    c.set_picture(&p);  // cleared first, drawn at the origin, size kept
    EXPECT_EQ(art(c), (Art{"ABC.", "DEF.", "...."}));
    const Image copy = c.image();
    EXPECT_EQ(copy.width, 4);
    EXPECT_EQ(copy.height, 3);
    EXPECT_EQ(copy.at(2, 1), p.at(2, 1));
    EXPECT_EQ(copy.at(3, 2), kBack);

    c.set_picture(nullptr);
    EXPECT_EQ(art(c), Art(3, "...."));
    EXPECT_EQ(copy.at(0, 0), p.at(0, 0));  // the copy does not follow the canvas
}

// ---------------------------------------------------------------- resize

// Hands out fresh memory on every call and scribbles over what it handed out
// before, as a backend that reallocates may.
class FreshStore : public PixelStore {
public:
    explicit FreshStore(std::vector<std::pair<int, int>>* calls) : calls_(calls) {}
    Color* allocate(int width, int height) override
    {
        calls_->emplace_back(width, height);
        for (Color& c : current_) c = rgb(1, 2, 3);
        old_ = std::move(current_);
        current_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), rgb(9, 9, 9));
        return current_.data();
    }
    std::unique_ptr<PixelStore> another() const override { return std::make_unique<FreshStore>(calls_); }

private:
    std::vector<std::pair<int, int>>* calls_;
    std::vector<Color> current_, old_;
};

TEST(CanvasResize, KeepsTheOverlapAndFillsNewAreaWithBackColour)
{
    std::vector<std::pair<int, int>> calls;
    Canvas c(kBack, std::make_unique<FreshStore>(&calls));
    c.resize(3, 2);
    EXPECT_EQ(art(c), (Art{"...", "..."}));
    const Image p = picture(3, 2);
    c.set_picture(&p);

    c.resize(4, 3);
    EXPECT_EQ(art(c), (Art{"ABC.", "DEF.", "...."}));
    c.resize(2, 4);
    EXPECT_EQ(art(c), (Art{"AB", "DE", "..", ".."}));
    c.resize(0, 0);
    EXPECT_EQ(c.width(), 0);
    c.resize(1, 1);
    EXPECT_EQ(art(c), Art{"."});
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{3, 2}, {4, 3}, {2, 4}, {0, 0}, {1, 1}}));

    Canvas plain(kBack);  // the default store
    plain.resize(2, 2);
    plain.draw_image(p, 0, 0);
    plain.resize(3, 3);
    EXPECT_EQ(art(plain), (Art{"AB.", "DE.", "..."}));
}

}  // namespace
}  // namespace fw
