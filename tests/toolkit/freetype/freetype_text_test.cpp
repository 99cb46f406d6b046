#include "toolkit/freetype/freetype_text.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace fw {
namespace {

const FontSpec scene_font{"Comic Sans MS", 9.75, FontWeight::bold, false};
const FontSpec dialog_font{"MS Sans Serif", 8.25, FontWeight::bold, false};
const FontSpec link_font{"MS Sans Serif", 8.25, FontWeight::bold, true};
const FontSpec plain_font{"MS Sans Serif", 8.25, FontWeight::regular, false};

constexpr Color black = rgb(0, 0, 0);
constexpr Color white = rgb(255, 255, 255);
const std::string size_label = "Size / Gr\xC3\xB6\xC3\x9F" "e";

struct Surface {
    explicit Surface(int width, int height, Color back = black) : canvas(back)
    {
        canvas.resize(width, height);
        canvas.clear();
    }
    int ink() const
    {
        int count = 0;
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x)
                count += canvas.pixel(x, y) != canvas.back_color;
        return count;
    }
    Canvas canvas;
};

bool installed(const char* family)
{
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* found = FcFontMatch(nullptr, pattern, &result);
    // A family has a name in each language it lists, the locale's first.
    bool same = false;
    FcChar8* name = nullptr;
    for (int i = 0; found && FcPatternGetString(found, FC_FAMILY, i, &name) == FcResultMatch; ++i)
        same = same || std::string(reinterpret_cast<char*>(name)) == family;
    if (found)
        FcPatternDestroy(found);
    FcPatternDestroy(pattern);
    return same;
}

TEST(FreeTypeText, LineHeightIsThatOfTheFontWhateverTheText)
{
    const auto scene = make_freetype_renderer(scene_font, 96);
    const int height = scene->text_height("1");
    EXPECT_GE(height, 13);
    EXPECT_LE(height, 20);
    for (const std::string text : {"", "gjpqy", "\xC3\x84\xC3\x96\xC3\x9C", "12/24/24   18:05:09"})
        EXPECT_EQ(scene->text_height(text), height) << text;

    const int small = make_freetype_renderer(dialog_font, 96)->text_height("1");
    const int large = make_freetype_renderer({"MS Sans Serif", 13.5, FontWeight::bold, false}, 96)->text_height("1");
    EXPECT_LT(small, large);
    EXPECT_GT(make_freetype_renderer(scene_font, 120)->text_height("1"), height);
}

TEST(FreeTypeText, WidthIsTheSumOfTheCharacterAdvances)
{
    for (const FontSpec& font : {scene_font, dialog_font, plain_font}) {
        const auto text = make_freetype_renderer(font, 96);
        EXPECT_EQ(text->text_width(""), 0);
        EXPECT_EQ(text->text_width("ab"), text->text_width("a") + text->text_width("b"));
        for (const std::string& line : {size_label, std::string("AVAWAy To. 12:34"), std::string("www.example.org")}) {
            int sum = 0;
            for (size_t pos = 0; pos < line.size();) {
                const size_t length = (static_cast<unsigned char>(line[pos]) & 0xE0) == 0xC0 ? 2 : 1;
                sum += text->text_width(line.substr(pos, length));
                pos += length;
            }
            EXPECT_EQ(text->text_width(line), sum) << font.face << ": " << line;
        }
    }
}

TEST(FreeTypeText, InksOnlyInsideTheLineBoxAtThePosition)
{
    for (const FontSpec& font : {scene_font, dialog_font, link_font, plain_font}) {
        const auto text = make_freetype_renderer(font, 96);
        for (const std::string& line : {std::string("12/24/24   18:05:09"), size_label, std::string("Hygiene_Qj")}) {
            Surface surface(220, 50);
            const int x = 11;
            const int y = 7;
            const int right = x + text->text_width(line);
            const int bottom = y + text->text_height(line);
            text->draw(surface.canvas, x, y, line, white);
            int inside = 0;
            for (int py = 0; py < surface.canvas.height(); ++py) {
                for (int px = 0; px < surface.canvas.width(); ++px) {
                    if (surface.canvas.pixel(px, py) == black)
                        continue;
                    ASSERT_TRUE(px >= x && px < right && py >= y && py < bottom)
                        << font.face << " '" << line << "' inks (" << px << ", " << py << ") outside the box";
                    ++inside;
                }
            }
            EXPECT_GT(inside, 20) << font.face << ": " << line;
        }
    }
}

// Every pixel either keeps the background or lies between it and the ink
// colour: the background shows between the strokes and edges are smoothed.
TEST(FreeTypeText, BlendsOverTheBackgroundByCoverage)
{
    const auto text = make_freetype_renderer({"Comic Sans MS", 30, FontWeight::bold, false}, 96);
    Surface surface(120, 60);
    const PixelRows rows = surface.canvas.write_rows(0, 0, 120, 60);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 120; ++x)
            rows.row(y)[x] = rgb(2 * x, 200 - 3 * y, 90);
    const Image before = surface.canvas.image();
    const Color ink = rgb(250, 10, 160);
    text->draw(surface.canvas, 4, 2, "O#", ink);

    int kept = 0, full = 0, partial = 0;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 120; ++x) {
            const Color was = before.at(x, y);
            const Color now = surface.canvas.pixel(x, y);
            kept += now == was;
            full += now == ink;
            partial += now != was && now != ink;
            for (const auto channel : {red, green, blue}) {
                ASSERT_GE(channel(now), std::min(channel(was), channel(ink)) - 1) << x << "," << y;
                ASSERT_LE(channel(now), std::max(channel(was), channel(ink)) + 1) << x << "," << y;
            }
        }
    }
    EXPECT_GT(full, 50);
    EXPECT_GT(partial, 20);
    // The middle of the O keeps the background.
    const int middle_x = 4 + text->text_width("O") / 2;
    const int middle_y = 2 + text->text_height("O") / 2;
    EXPECT_EQ(surface.canvas.pixel(middle_x, middle_y), before.at(middle_x, middle_y));
    EXPECT_GT(kept, 120 * 60 / 2);
}

TEST(FreeTypeText, DrawsTheSameEveryTime)
{
    const auto text = make_freetype_renderer(scene_font, 96);
    const std::string line = "24.12.2024   18:05:09 " + size_label + " \xE2\x82\xAC";
    Surface first(300, 30);
    text->draw(first.canvas, 3, 4, line, rgb(128, 128, 255));
    const Image expected = first.canvas.image();
    for (int i = 0; i < 5; ++i) {
        Surface again(300, 30);
        text->draw(again.canvas, 3, 4, "x\xC3\xA9" + line.substr(0, static_cast<size_t>(i)), white);
        again.canvas.clear();
        text->draw(again.canvas, 3, 4, line, rgb(128, 128, 255));
        ASSERT_EQ(again.canvas.image().pixels, expected.pixels);
    }
}

TEST(FreeTypeText, UnknownFaceStillDrawsText)
{
    const auto text = make_freetype_renderer({"No Such Face Anywhere 42", 9.75, FontWeight::regular, false}, 96);
    EXPECT_GT(text->text_height("1"), 5);
    EXPECT_GT(text->text_width("Frostwisp"), 20);
    Surface surface(100, 30);
    text->draw(surface.canvas, 2, 2, "Frostwisp", white);
    EXPECT_GT(surface.ink(), 30);
}

TEST(FreeTypeText, GermanLettersHaveTheirOwnGlyphs)
{
    const auto text = make_freetype_renderer(scene_font, 96);
    EXPECT_GT(text->text_width("Gr\xC3\xB6\xC3\x9F" "e"), text->text_width("Grbe"));

    // Umlaut dots add ink to the plain vowel; sharp s is neither the missing
    // glyph box nor a plain s.
    const auto ink_of = [&](const std::string& glyph) {
        Surface surface(40, 30);
        text->draw(surface.canvas, 5, 2, glyph, white);
        return surface.canvas.image();
    };
    const auto count = [](const Image& image) {
        return std::count_if(image.pixels.begin(), image.pixels.end(), [](Color c) { return c != black; });
    };
    EXPECT_GT(count(ink_of("\xC3\xB6")), count(ink_of("o")));
    EXPECT_GT(count(ink_of("\xC3\x9C")), count(ink_of("U")));
    const Image sharp_s = ink_of("\xC3\x9F");
    EXPECT_GT(count(sharp_s), 10);
    EXPECT_NE(sharp_s.pixels, ink_of("s").pixels);
    EXPECT_NE(sharp_s.pixels, ink_of("\xEF\xBF\xBE").pixels);
}

TEST(FreeTypeText, BoldAndUnderlineAreDrawn)
{
    const std::string line = "Homepage";
    const auto measure = [&](const FontSpec& font) {
        const auto text = make_freetype_renderer(font, 96);
        Surface surface(150, 30);
        text->draw(surface.canvas, 4, 3, line, white);
        return std::pair{surface.ink(), surface.canvas.image()};
    };
    EXPECT_GT(measure(dialog_font).first, measure(plain_font).first);

    // The underline is a row inked from the pen's start to its end.
    const auto text = make_freetype_renderer(link_font, 96);
    const auto [ink, image] = measure(link_font);
    const int width = text->text_width(line);
    int full_rows = 0;
    for (int y = 0; y < image.height; ++y) {
        bool full = true;
        for (int x = 4; x < 4 + width; ++x)
            full = full && image.at(x, y) == white;
        full_rows += full;
        if (full) {
            EXPECT_EQ(image.at(3, y), black);
            EXPECT_EQ(image.at(4 + width, y), black);
        }
    }
    EXPECT_GE(full_rows, 1);
    EXPECT_GT(ink, measure(dialog_font).first);
}

TEST(FreeTypeText, BoldOfAFaceWithoutABoldFileIsThickened)
{
    const char* family = "DejaVu Math TeX Gyre";
    if (!installed(family))
        GTEST_SKIP() << family << " is not installed";
    const auto ink = [&](FontWeight weight) {
        Surface surface(150, 40);
        make_freetype_renderer({family, 12, weight, false}, 96)->draw(surface.canvas, 2, 2, "Snowfall", white);
        return surface.ink();
    };
    EXPECT_GT(ink(FontWeight::bold), ink(FontWeight::regular) * 11 / 10);
}

TEST(FreeTypeText, ComicSansWithoutItDrawsAsComicNeue)
{
    if (installed("Comic Sans MS") || !installed("Comic Neue"))
        GTEST_SKIP() << "needs Comic Neue and no Comic Sans MS";
    const auto asked = make_freetype_renderer(scene_font, 96);
    const auto stand_in = make_freetype_renderer({"Comic Neue", 9.75, FontWeight::bold, false}, 96);
    const std::string line = "12/24/24   18:05:09";
    EXPECT_EQ(asked->text_width(line), stand_in->text_width(line));
    Surface a(200, 30), b(200, 30);
    asked->draw(a.canvas, 0, 0, line, white);
    stand_in->draw(b.canvas, 0, 0, line, white);
    EXPECT_EQ(a.canvas.image().pixels, b.canvas.image().pixels);
}

// Text drawn partly off a small canvas shows exactly the part that the same
// text shows through a window of a large canvas.
TEST(FreeTypeText, ClipsToTheCanvasAtEveryEdge)
{
    const auto text = make_freetype_renderer({"Comic Sans MS", 24, FontWeight::bold, true}, 96);
    constexpr int margin = 100;
    for (const auto& [x, y] : {std::pair{-20, -20}, {-5, 3}, {10, 10}, {-60, -30}, {12, -35}, {-1, -1}}) {
        Surface large(16 + 2 * margin, 16 + 2 * margin);
        text->draw(large.canvas, x + margin, y + margin, "WgQ", white);
        Surface small(16, 16);
        text->draw(small.canvas, x, y, "WgQ", white);
        for (int row = 0; row < 16; ++row)
            for (int column = 0; column < 16; ++column)
                ASSERT_EQ(small.canvas.pixel(column, row), large.canvas.pixel(column + margin, row + margin)) << x << "," << y;
    }
    for (const auto& [x, y] : {std::pair{-2000000000, 0}, {0, 2000000000}, {2000000000, -2000000000}, {INT32_MAX, INT32_MAX}}) {
        Surface surface(16, 16);
        text->draw(surface.canvas, x, y, "WWWWWW", white);
        EXPECT_EQ(surface.ink(), 0);
    }
    Surface empty(0, 0);
    text->draw(empty.canvas, 0, 0, "W", white);
}

// The scene's line as Comic Neue draws it, pinned by a hash of the pixels:
// made with FreeType 2.12.1 and Comic Neue 2.51; after an upgrade of either,
// look at the scene's text in a render and take the new hash.
TEST(FreeTypeText, SceneLineKeepsItsPixels)
{
    if (installed("Comic Sans MS") || !installed("Comic Neue"))
        GTEST_SKIP() << "needs Comic Neue and no Comic Sans MS";
    const auto text = make_freetype_renderer(scene_font, 96);
    uint64_t hash = 14695981039346656037u;
    for (const std::string& line : {std::string("12/24/26   18:05:09"), std::string("24.12.2026   18:05:09"), size_label}) {
        Surface surface(160, 20);
        text->draw(surface.canvas, 2, 1, line, rgb(128, 128, 255));
        for (const Color pixel : surface.canvas.image().pixels)
            hash = (hash ^ pixel) * 1099511628211u;
    }
    EXPECT_EQ(hash, 10724822159828040329u);
}

// Characters a font lacks (the Japanese date's and time's 年月日時分秒) come
// from a font that has them: VL Gothic here, at the same pixel size and
// weight (thickened, having no bold), standing on the same baseline; a
// character no font has keeps the missing glyph, however many a text holds.
TEST(FreeTypeText, CharactersTheFontLacksComeFromAFontThatHasThem)
{
    if (installed("Comic Sans MS") || !installed("Comic Neue") || !installed("VL Gothic"))
        GTEST_SKIP() << "needs Comic Neue, VL Gothic and no Comic Sans MS";
    const std::string kanji = "\xE5\xB9\xB4\xE6\x9C\x88\xE6\x97\xA5\xE6\x99\x82\xE5\x88\x86\xE7\xA7\x92";
    // Digits stand on the baseline in both fonts.
    const auto baseline = [](const TextRenderer& text) {
        Surface surface(40, 60);
        text.draw(surface.canvas, 5, 5, "1", white);
        int below = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 40; ++x)
                if (surface.canvas.pixel(x, y) != black)
                    below = y + 1;
        return below;
    };
    // The dialogs' font and Arial put the baseline at other heights in the
    // line than VL Gothic does, the scene's font at the same.
    for (const FontSpec& font : {scene_font, dialog_font, FontSpec{"Arial", 24, FontWeight::bold, false}}) {
        const auto text = make_freetype_renderer(font, 96);
        const auto gothic = make_freetype_renderer({"VL Gothic", font.points, FontWeight::bold, false}, 96);
        EXPECT_EQ(text->text_width(kanji), gothic->text_width(kanji)) << font.face;
        EXPECT_EQ(text->text_height(kanji), text->text_height("1")) << font.face;
        Surface a(300, 60), b(300, 60);
        text->draw(a.canvas, 5, 10, kanji, white);
        gothic->draw(b.canvas, 5, 10 + baseline(*text) - baseline(*gothic), kanji, white);
        EXPECT_EQ(a.canvas.image().pixels, b.canvas.image().pixels) << font.face;
        EXPECT_GT(a.ink(), 200) << font.face;
    }

    // Plane 16's private characters: no font has them.
    const auto scene = make_freetype_renderer(scene_font, 96);
    std::string nobodys;
    for (char32_t code = 0x10FD00; code < 0x10FE00; ++code)
        nobodys += {static_cast<char>(0xF4), static_cast<char>(0x80 | ((code >> 12) & 0x3F)),
                    static_cast<char>(0x80 | ((code >> 6) & 0x3F)), static_cast<char>(0x80 | (code & 0x3F))};
    const std::string missing = nobodys.substr(0, 4);
    ASSERT_GT(scene->text_width(missing), 0);
    EXPECT_EQ(scene->text_width(nobodys), 256 * scene->text_width(missing));
    Surface one(40, 30), other(40, 30);
    scene->draw(one.canvas, 5, 5, missing, white);
    scene->draw(other.canvas, 5, 5, nobodys.substr(4 * 200, 4), white);
    EXPECT_GT(one.ink(), 10);
    EXPECT_EQ(one.canvas.image().pixels, other.canvas.image().pixels);
}

}  // namespace
}  // namespace fw
