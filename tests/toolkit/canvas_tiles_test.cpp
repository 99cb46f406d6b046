// Tile stamps: copies that skip tiles, canvases that show another's memory
// instead of copying it, and windows that send only changed tiles must end
// with exactly the pixels of doing everything. Random drawing on canvases
// whose sizes are not multiples of the tile size is replayed on plain twins
// whose copies always copy everything, and compared after every step.
#include "toolkit/canvas.h"
#include "toolkit/shown_tiles.h"

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

// Memory of another kind than a plain canvas', as a window's is.
class WindowStore : public PixelStore {
public:
    Color* allocate(int width, int height) override
    {
        pixels_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), rgb(7, 7, 7));
        return pixels_.data();
    }
    std::unique_ptr<PixelStore> another() const override { return std::make_unique<WindowStore>(); }

private:
    std::vector<Color> pixels_;
};

constexpr int kW = 3 * kTw + 5, kH = 3 * kTh + 3;

// Canvas 0 is a window's surface, canvas 3 has a window's memory as well;
// 1 and 2 are plain. All but 2 start at one size, so whole copies between
// them happen often; resizes mostly go back to it.
struct Set {
    std::array<Canvas, 4> c;
    explicit Set(bool plain)
    {
        for (size_t i = 0; i < c.size(); ++i) {
            c[i].back_color = rgb(static_cast<int>(i), 0, 0);
            if (!plain && (i == 0 || i == 3)) c[i].use_store(std::make_unique<WindowStore>());
            c[i].resize(i == 2 ? 2 * kTw + 7 : kW, i == 2 ? 4 * kTh + 1 : kH);
        }
        if (!plain) c[0].show_copies();
    }
};

// One random drawing step on canvas i, the same on both sets; twin copies
// are forced to copy everything by marking their source changed first.
void step(Set& canvases, Set& twins, Random& r)
{
    const int i = r(0, 3);
    const int op = r(0, 11);
    const int w = kW, h = kH;
    // Parameters drawn once, so both sets see the same step.
    const int a = r(-8, w), b = r(-8, h), cw = r(0, w + 8), ch = r(0, h + 8);
    const int src = r(0, 3);
    const bool same_place = r(0, 3) != 0;
    const int sx = same_place ? a : r(-8, w), sy = same_place ? b : r(-8, h);
    const Color colour = rgb(r(0, 255), r(0, 255), r(0, 255));
    const bool usual_size = r(0, 1) == 0;
    const int nw = usual_size ? w : r(1, w), nh = usual_size ? h : r(1, h);
    const bool rare = r(0, 5) == 0;
    for (int k = 0; k < 2; ++k) {
        auto& set = (k == 0 ? canvases : twins).c;
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

void expect_same(const Canvas& got, const Canvas& want, size_t i, int n)
{
    const Image g = got.image(), w = want.image();
    ASSERT_EQ(g.width, w.width);
    ASSERT_EQ(g.height, w.height);
    ASSERT_EQ(g.pixels, w.pixels) << "canvas " << i << " after step " << n;
}

TEST(CanvasTiles, CopiesThatSkipTilesEndAsFullCopies)
{
    Set canvases(false), twins(true);
    Random r;
    for (int n = 0; n < 20000; ++n) {
        step(canvases, twins, r);
        for (size_t i = 0; i < canvases.c.size(); ++i) ASSERT_NO_FATAL_FAILURE(expect_same(canvases.c[i], twins.c[i], i, n));
    }
}

TEST(CanvasTiles, AWindowSentOnlyTheChangesShowsTheCanvas)
{
    Set canvases(false), twins(true);
    ShownTiles shown;
    Image window;
    Random r;
    for (int n = 0; n < 10000; ++n) {
        step(canvases, twins, r);
        const Canvas& c = canvases.c[0];
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

TEST(CanvasTiles, ChangesAreTheTouchedTilesInBandsOfRectangles)
{
    Canvas c;
    c.resize(8 * kTw + 3, 4 * kTh + 1);
    ShownTiles shown;
    EXPECT_EQ(shown.take_changes(c), (std::vector<Rect>{{0, 0, c.width(), c.height()}}));
    EXPECT_TRUE(shown.take_changes(c).empty());

    // Two tiles side by side in two rows: a band of one rectangle per row.
    c.fill_rect(kTw + 1, kTh - 1, 2 * kTw + 1, kTh + 1, rgb(1, 2, 3));
    EXPECT_EQ(shown.take_changes(c), (std::vector<Rect>{{kTw, 0, 3 * kTw, kTh}, {kTw, kTh, 3 * kTw, 2 * kTh}}));
    // Runs in one row join across a gap of up to kJoinGap tiles, not wider.
    constexpr int gap = ShownTiles::kJoinGap;
    c.fill_rect(0, kTh, 1, kTh + 1, rgb(1, 2, 3));
    c.fill_rect((gap + 1) * kTw, kTh, (gap + 1) * kTw + 1, kTh + 1, rgb(1, 2, 3));
    c.fill_rect((2 * gap + 3) * kTw, kTh, (2 * gap + 3) * kTw + 1, kTh + 1, rgb(1, 2, 3));
    EXPECT_EQ(shown.take_changes(c), (std::vector<Rect>{{0, kTh, (gap + 2) * kTw, 2 * kTh},
                                                        {(2 * gap + 3) * kTw, kTh, (2 * gap + 4) * kTw, 2 * kTh}}));
    // The partial tiles at the right and bottom end at the edges.
    c.fill_rect(c.width() - 1, c.height() - 1, c.width(), c.height(), rgb(1, 2, 3));
    EXPECT_EQ(shown.take_changes(c), (std::vector<Rect>{{8 * kTw, 4 * kTh, c.width(), c.height()}}));

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
