#include "toolkit/bitmap_text.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

constexpr Color back = rgb(10, 20, 30);
constexpr Color ink = rgb(255, 255, 255);

// Counts ink pixels inside and outside the box.
struct InkCount {
    int inside = 0;
    int outside = 0;
};

InkCount count_ink(const Canvas& canvas, int left, int top, int right, int bottom)
{
    InkCount count;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (canvas.pixel(x, y) != back)
                (x >= left && x < right && y >= top && y < bottom ? count.inside : count.outside)++;
    return count;
}

TEST(BitmapText, ScalesWithSizeAndStaysInItsLineBox)
{
    for (const double points : {6.0, 9.75, 24.0}) {
        for (const FontWeight weight : {FontWeight::regular, FontWeight::bold}) {
            const auto text = make_bitmap_renderer({"any", points, weight, true}, 96);
            const int height = text->text_height("1");
            EXPECT_GE(height, 8);
            EXPECT_NEAR(height, points * 96 / 72, 8) << points;
            Canvas canvas(back);
            canvas.resize(300, 60);
            canvas.clear();
            const int width = text->text_width("Size / Gr\xC3\xB6\xC3\x9F" "e");
            text->draw(canvas, 7, 9, "Size / Gr\xC3\xB6\xC3\x9F" "e", ink);
            const InkCount count = count_ink(canvas, 7, 9, 7 + width, 9 + height);
            EXPECT_GT(count.inside, 0);
            EXPECT_EQ(count.outside, 0) << points;
        }
    }
}

TEST(BitmapText, WidthsAddUpAndEveryCharacterShowsSomething)
{
    const auto text = make_bitmap_renderer({}, 96);
    EXPECT_EQ(text->text_width("ab\xE2\x82\xAC"), text->text_width("a") + text->text_width("b") + text->text_width("\xE2\x82\xAC"));
    EXPECT_EQ(text->text_width(""), 0);
    for (const char* glyph : {"A", "z", "~", "\xC3\x9F", "\xE2\x82\xAC"}) {
        Canvas canvas(back);
        canvas.resize(20, 20);
        canvas.clear();
        text->draw(canvas, 0, 0, glyph, ink);
        EXPECT_GT(count_ink(canvas, 0, 0, 20, 20).inside, 0) << glyph;
    }
}

// Text drawn partly off a small canvas shows exactly the part that the same
// text shows through a window of a large canvas.
TEST(BitmapText, ClipsToTheCanvasAtEveryEdge)
{
    const auto text = make_bitmap_renderer({"any", 30, FontWeight::bold, true}, 96);
    constexpr int margin = 100;
    for (const auto& [x, y] : {std::pair{-20, -20}, {-5, 3}, {10, 10}, {-60, -30}, {12, -35}}) {
        Canvas large(back);
        large.resize(16 + 2 * margin, 16 + 2 * margin);
        large.clear();
        text->draw(large, x + margin, y + margin, "WgW", ink);
        Canvas small(back);
        small.resize(16, 16);
        small.clear();
        text->draw(small, x, y, "WgW", ink);
        for (int row = 0; row < 16; ++row)
            for (int column = 0; column < 16; ++column)
                ASSERT_EQ(small.pixel(column, row), large.pixel(column + margin, row + margin)) << x << "," << y;
    }
    for (const auto& [x, y] : {std::pair{-2000000000, 0}, {0, 2000000000}, {2000000000, -2000000000}}) {
        Canvas canvas(back);
        canvas.resize(16, 16);
        canvas.clear();
        text->draw(canvas, x, y, "WWWWWW", ink);
        EXPECT_EQ(count_ink(canvas, 0, 0, 16, 16).inside, 0);
    }
}

}  // namespace
}  // namespace fw
