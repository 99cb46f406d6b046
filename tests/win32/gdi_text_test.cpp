// Text through GDI onto a canvas: it must look exactly as TextOut draws it on
// the same background, change nothing else, and keep to the canvas.
#include "toolkit/win32/gdi_text.h"

#include "toolkit/win32/dib_store.h"
#include "toolkit/win32/wide_text.h"

#include <gtest/gtest.h>

#include <algorithm>

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

// A font of the system that has a glyph for c, or an empty name.
std::wstring font_with(wchar_t c)
{
    std::wstring face;
    HDC dc = CreateCompatibleDC(nullptr);
    for (const DWORD charset : {SHIFTJIS_CHARSET, GB2312_CHARSET, HANGUL_CHARSET, CHINESEBIG5_CHARSET}) {
        HFONT font = CreateFontW(-13, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"");
        const HGDIOBJ old = SelectObject(dc, font);
        WORD glyph = 0;
        if (face.empty() && GetGlyphIndicesW(dc, &c, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) != GDI_ERROR &&
            glyph != 0xFFFF) {
            wchar_t name[LF_FACESIZE] = {};
            GetTextFaceW(dc, LF_FACESIZE, name);
            face = name;
        }
        SelectObject(dc, old);
        DeleteObject(font);
    }
    DeleteDC(dc);
    return face;
}

// The pixels text changed on a plain background, cut to their box.
Image ink(const Image& plain, const Image& drawn)
{
    int left = drawn.width, top = drawn.height, right = 0, bottom = 0;
    for (int y = 0; y < drawn.height; ++y)
        for (int x = 0; x < drawn.width; ++x)
            if (drawn.at(x, y) != plain.at(x, y)) {
                left = std::min(left, x), right = std::max(right, x + 1);
                top = std::min(top, y), bottom = std::max(bottom, y + 1);
            }
    Image out;
    out.width = std::max(right - left, 0);
    out.height = std::max(bottom - top, 0);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) out.pixels.push_back(drawn.at(x, y));
    return out;
}

TEST(GdiText, TakesAGlyphTheFontLacksFromAFontThatHasIt)
{
    if (font_with(L'\u5E74').empty()) GTEST_SKIP() << "no font of the system has a glyph for U+5E74 (install a CJK font)";
    GdiText text(scene_font, 96);
    const std::string year = "\u5E74";
    const std::string face = text.face_drawing(year);
    ASSERT_FALSE(face.empty());
    EXPECT_NE(face, text.face_name());

    // The glyph as its font draws it, not the missing-glyph box.
    Canvas canvas;
    canvas.resize(60, 30);
    canvas.fill_rect(0, 0, 60, 30, rgb(20, 30, 40));
    const Image blank = canvas.image();
    text.draw(canvas, 10, 5, year, text_colour);
    DibStore dib;
    Color* bits = dib.allocate(blank.width, blank.height);
    std::copy(blank.pixels.begin(), blank.pixels.end(), bits);
    HFONT font = CreateFontW(-13, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, widen(face).c_str());
    const HGDIOBJ old = SelectObject(dib.dc(), font);
    SetBkMode(dib.dc(), TRANSPARENT);
    SetTextColor(dib.dc(), RGB(128, 128, 255));
    TextOutW(dib.dc(), 10, 5, L"\u5E74", 1);
    GdiFlush();
    SelectObject(dib.dc(), old);
    DeleteObject(font);
    Image direct = blank;
    std::transform(bits, bits + direct.pixels.size(), direct.pixels.begin(), [](Color c) { return c & 0x00FFFFFFu; });
    const Image drawn = ink(blank, canvas.image());
    EXPECT_EQ(drawn.width, ink(blank, direct).width);
    EXPECT_EQ(drawn.pixels, ink(blank, direct).pixels);
    EXPECT_NE(drawn.pixels, ink(blank, reference(blank, 10, 5, year)).pixels);

    // In a line, what the font has stays exactly as it was.
    Canvas line;
    line.resize(160, 30);
    paint_background(line);
    const Image before = line.image();
    text.draw(line, 10, 5, "2026" + year + "12", text_colour);
    const Image digits = reference(before, 10, 5, "2026");
    const int end = 10 + text.text_width("2026");
    for (int y = 0; y < line.height(); ++y)
        for (int x = 0; x < end; ++x) ASSERT_EQ(line.pixel(x, y), digits.at(x, y)) << x << "," << y;
    EXPECT_GT(text.text_width("2026" + year), end - 10 + 8);
    EXPECT_EQ(text.text_height("2026" + year), text.text_height("2026"));
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
