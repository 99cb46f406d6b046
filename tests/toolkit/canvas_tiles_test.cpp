// Tile stamps: copies that skip tiles and windows that send only changed
// tiles must end with exactly the pixels of doing everything. Random drawing
// on canvases whose sizes are not multiples of the tile size is replayed on
// twins whose copies always copy everything, and compared after every step.
#include "toolkit/canvas.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

namespace fw {
namespace {

constexpr int kTw = Canvas::kTileWidth;
constexpr int kTh = Canvas::kTileHeight;

struct Random {
    std::mt19937 rng{12345};
    int operator()(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
};

// One random drawing step on canvases[i], the same on both sets; twin copies
// are forced to copy everything by marking their source changed first.
void step(std::array<Canvas, 3>& canvases, std::array<Canvas, 3>& twins, Random& r)
{
    const int i = r(0, 2);
    const int op = r(0, 9);
    const int w = 3 * kTw + 5, h = 3 * kTh + 3;
    // Parameters drawn once, so both sets see the same step.
    const int a = r(-8, w), b = r(-8, h), cw = r(0, w + 8), ch = r(0, h + 8);
    const int src = r(0, 2);
    const bool same_place = r(0, 3) != 0;
    const int sx = same_place ? a : r(-8, w), sy = same_place ? b : r(-8, h);
    const Color colour = rgb(r(0, 255), r(0, 255), r(0, 255));
    const int nw = r(1, w), nh = r(1, h);
    const bool rare = r(0, 5) == 0;
    for (int k = 0; k < 2; ++k) {
        auto& set = k == 0 ? canvases : twins;
        Canvas& c = set[static_cast<size_t>(i)];
        switch (op) {
        case 0: c.fill_rect(a, b, a + cw, b + ch, colour); break;
        case 1:
            c.fill_color = colour;
            c.ellipse(a, b, a + cw % 12, b + ch % 12);
            break;
        case 2: {  // the text path
            const PixelRows rows = c.write_rows(a, b, a + cw % 20, b + ch % 20);
            for (int y = rows.area().top; y < rows.area().bottom; ++y)
                for (int x = rows.area().left; x < rows.area().right; x += 2) rows.row(y)[x] = colour ^ static_cast<Color>(x * y);
            break;
        }
        case 3:
            if (rare) c.resize(nw, nh);
            break;
        case 4:
            if (rare) c.clear();
            break;
        case 5: {
            Image img{cw % 30 + 1, ch % 30 + 1, {}};
            for (int p = 0; p < img.width * img.height; ++p) img.pixels.push_back(colour + static_cast<Color>(p));
            c.draw_image(img, a, b);
            break;
        }
        default: {
            Canvas& from = set[static_cast<size_t>(src)];
            if (k == 1) from.write_rows(0, 0, from.width(), from.height());
            // Mostly whole canvases at (0, 0), as the scene copies.
            if (op >= 8) c.blit(0, 0, w + 8, h + 8, from, 0, 0);
            else c.blit(a, b, cw, ch, from, sx, sy);
            break;
        }
        }
    }
}

TEST(CanvasTiles, CopiesThatSkipTilesEndAsFullCopies)
{
    // Sizes that leave partial tiles at the right and bottom edges, and
    // differ, so copies clip.
    std::array<Canvas, 3> canvases, twins;
    const int sizes[3][2] = {{3 * kTw + 5, 3 * kTh + 3}, {3 * kTw + 5, 3 * kTh + 3}, {2 * kTw + 7, 4 * kTh + 1}};
    for (int i = 0; i < 3; ++i) {
        canvases[static_cast<size_t>(i)].back_color = twins[static_cast<size_t>(i)].back_color = rgb(i, 0, 0);
        canvases[static_cast<size_t>(i)].resize(sizes[i][0], sizes[i][1]);
        twins[static_cast<size_t>(i)].resize(sizes[i][0], sizes[i][1]);
    }
    Random r;
    for (int n = 0; n < 4000; ++n) {
        step(canvases, twins, r);
        for (size_t i = 0; i < 3; ++i) {
            const Image got = canvases[i].image(), want = twins[i].image();
            ASSERT_EQ(got.width, want.width);
            ASSERT_EQ(got.height, want.height);
            ASSERT_EQ(got.pixels, want.pixels) << "canvas " << i << " after step " << n;
        }
    }
}

TEST(CanvasTiles, AWindowSentOnlyTheChangesShowsTheCanvas)
{
    std::array<Canvas, 3> canvases, twins;
    for (size_t i = 0; i < 3; ++i) {
        canvases[i].resize(3 * kTw + 5, 3 * kTh + 3);
        twins[i].resize(3 * kTw + 5, 3 * kTh + 3);
    }
    ShownTiles shown;
    Image window{canvases[0].width(), canvases[0].height(), std::vector<Color>(canvases[0].image().pixels.size(), 0)};
    Random r;
    for (int n = 0; n < 3000; ++n) {
        step(canvases, twins, r);
        const Canvas& c = canvases[0];
        if (c.width() != window.width || c.height() != window.height)
            window = Image{c.width(), c.height(), std::vector<Color>(static_cast<size_t>(c.width() * c.height()), 0)};
        for (const Rect& part : shown.take_changes(c)) {
            ASSERT_TRUE(part.left >= 0 && part.top >= 0 && part.left < part.right && part.top < part.bottom &&
                        part.right <= c.width() && part.bottom <= c.height());
            for (int y = part.top; y < part.bottom; ++y)
                for (int x = part.left; x < part.right; ++x)
                    window.pixels[static_cast<size_t>(y * c.width() + x)] = c.pixel(x, y);
        }
        ASSERT_EQ(window.pixels, c.image().pixels) << "after step " << n;
    }
}

TEST(CanvasTiles, ChangesAreTheTouchedTilesMergedIntoRectangles)
{
    Canvas c;
    c.resize(4 * kTw + 3, 4 * kTh + 1);
    ShownTiles shown;
    EXPECT_EQ(shown.take_changes(c), (std::vector<Rect>{{0, 0, c.width(), c.height()}}));
    EXPECT_TRUE(shown.take_changes(c).empty());

    // Two tiles side by side in two rows: one rectangle.
    c.fill_rect(kTw + 1, kTh - 1, 2 * kTw + 1, kTh + 1, rgb(1, 2, 3));
    EXPECT_EQ(shown.take_changes(c), (std::vector<Rect>{{kTw, 0, 3 * kTw, 2 * kTh}}));
    // The partial tiles at the right and bottom end at the edges.
    c.fill_rect(c.width() - 1, c.height() - 1, c.width(), c.height(), rgb(1, 2, 3));
    EXPECT_EQ(shown.take_changes(c), (std::vector<Rect>{{4 * kTw, 4 * kTh, c.width(), c.height()}}));

    // A copy of equal content from a canvas with the same stamps changes nothing.
    Canvas copy;
    copy.resize(c.width(), c.height());
    copy.blit(0, 0, c.width(), c.height(), c, 0, 0);
    ShownTiles shown_copy;
    shown_copy.take_changes(copy);
    copy.blit(0, 0, c.width(), c.height(), c, 0, 0);
    EXPECT_TRUE(shown_copy.take_changes(copy).empty());

    shown.forget();
    EXPECT_EQ(shown.take_changes(c), (std::vector<Rect>{{0, 0, c.width(), c.height()}}));
}

}  // namespace
}  // namespace fw
