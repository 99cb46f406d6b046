// Text through GDI onto a canvas: it must look exactly as TextOut draws it on
// the same background, change nothing else, and keep to the canvas.
#include "toolkit/win32/gdi_text.h"

#include "toolkit/win32/dib_store.h"
#include "toolkit/win32/wide_text.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace fw::testing {
namespace {

const FontSpec scene_font{"Comic Sans MS", 9.75, FontWeight::bold, false};
constexpr Color text_colour = rgb(128, 128, 255);

// A canvas with a pattern under the text, so blending shows.
void paint_background(Canvas& canvas)
{
    const PixelRows rows = canvas.write_rows(0, 0, canvas.width(), canvas.height());
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) rows.row(y)[x] = rgb(x * 3, y * 5, (x + y) & 0x3F);
}

// The same text drawn by TextOut straight onto a DIB with the same pixels.
Image reference(const Image& background, int x, int y, const std::string& text)
{
    DibStore dib;
    Color* bits = dib.allocate(background.width, background.height);
    std::copy(background.pixels.begin(), background.pixels.end(), bits);
    HFONT font = CreateFontW(-13, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Comic Sans MS");
    const HGDIOBJ old = SelectObject(dib.dc(), font);
    SetBkMode(dib.dc(), TRANSPARENT);
    SetTextColor(dib.dc(), RGB(128, 128, 255));
    const std::wstring wide = widen(text);
    TextOutW(dib.dc(), x, y, wide.c_str(), static_cast<int>(wide.size()));
    GdiFlush();
    SelectObject(dib.dc(), old);
    DeleteObject(font);
    Image out;
    out.width = background.width;
    out.height = background.height;
    out.pixels.assign(bits, bits + static_cast<ptrdiff_t>(out.width) * out.height);
    for (Color& c : out.pixels) c &= 0x00FFFFFFu;
    return out;
}

TEST(GdiText, DrawsWhatTextOutDrawsOnTheSameBackground)
{
    GdiText text(scene_font, 96);
    const std::pair<int, int> places[] = {{10, 8}, {-7, -4}, {150, 40}, {0, 0}};
    for (const auto& [x, y] : places) {
        Canvas canvas;
        canvas.resize(200, 50);
        paint_background(canvas);
        const Image before = canvas.image();
        text.draw(canvas, x, y, "12/24/2026 18:05:09 wisp", text_colour);
        EXPECT_EQ(canvas.image().pixels, reference(before, x, y, "12/24/2026 18:05:09 wisp").pixels) << x << "," << y;
        EXPECT_NE(canvas.image().pixels, before.pixels) << x << "," << y;
    }
}

TEST(GdiText, ChangesOnlyPixelsInsideTheTextsBox)
{
    GdiText text(scene_font, 96);
    Canvas canvas;
    canvas.resize(160, 60);
    paint_background(canvas);
    const Image before = canvas.image();
    const std::string line = "www.frostwisp";
    const int x = 20, y = 15;
    text.draw(canvas, x, y, line, text_colour);
    const int right = x + text.text_width(line);
    const int bottom = y + text.text_height(line);
    int changed_inside = 0;
    for (int py = 0; py < canvas.height(); ++py)
        for (int px = 0; px < canvas.width(); ++px) {
            const bool changed = canvas.pixel(px, py) != before.at(px, py);
            const bool near_box = px >= x - 3 && px < right + 3 && py >= y && py < bottom;
            if (changed) {
                EXPECT_TRUE(near_box) << px << "," << py;
            }
            changed_inside += changed ? 1 : 0;
            EXPECT_EQ(canvas.pixel(px, py) >> 24, 0u);
        }
    EXPECT_GT(changed_inside, 20);
}

TEST(GdiText, MeasuresWithTheFontsCell)
{
    GdiText text(scene_font, 96);
    EXPECT_EQ(text.text_height(""), text.text_height("Ag"));
    EXPECT_EQ(text.text_height("."), text.text_height("Ag"));
    EXPECT_GT(text.text_height("Ag"), 10);
    EXPECT_LT(text.text_height("Ag"), 30);
    EXPECT_EQ(text.text_width(""), 0);
    EXPECT_LT(text.text_width("i"), text.text_width("iiii"));
    EXPECT_EQ(GdiText(scene_font, 192).text_height("Ag") > text.text_height("Ag"), true);
}

TEST(GdiText, NothingToDrawOnAnEmptyCanvasOrFarOutside)
{
    GdiText text(scene_font, 96);
    Canvas empty;
    text.draw(empty, 0, 0, "text", text_colour);
    Canvas canvas;
    canvas.resize(30, 20);
    paint_background(canvas);
    const Image before = canvas.image();
    text.draw(canvas, 100, 0, "text", text_colour);
    text.draw(canvas, 0, -100, "text", text_colour);
    text.draw(canvas, -100000, 5, "text", text_colour);
    EXPECT_EQ(canvas.image().pixels, before.pixels);
}

}  // namespace
}  // namespace fw::testing
