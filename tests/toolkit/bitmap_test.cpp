#include "toolkit/bitmap.h"

#include "toolkit/resources.h"
#include "toolkit/runtime_error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace fw {
namespace {

using Bytes = std::vector<unsigned char>;

// ---------------------------------------------------------------------------
// The two gradient strips the program carries.

struct Band {
    Color color;
    int first_row;  // the rows where the band dominates
    int last_row;
};

struct Gradient {
    const char* name;
    int id;
    std::array<Band, 16> bands;
};

void PrintTo(const Gradient& g, std::ostream* os) { *os << g.name; }

const Gradient blue_gradient{"Blue", 101, {{
    {rgb(119, 172, 252), 0, 23}, {rgb(112, 162, 237), 24, 55}, {rgb(104, 150, 220), 53, 85},
    {rgb(95, 138, 202), 86, 116}, {rgb(88, 128, 187), 115, 143}, {rgb(82, 118, 173), 141, 172},
    {rgb(73, 106, 155), 171, 203}, {rgb(65, 94, 138), 204, 232}, {rgb(58, 84, 123), 233, 260},
    {rgb(51, 74, 108), 259, 290}, {rgb(43, 62, 90), 289, 322}, {rgb(35, 50, 73), 317, 351},
    {rgb(28, 40, 58), 349, 377}, {rgb(21, 30, 44), 376, 406}, {rgb(13, 18, 26), 407, 441},
    {rgb(4, 5, 7), 429, 479},
}}};

const Gradient gray_gradient{"Gray", 102, {{
    {rgb(2, 2, 2), 0, 89}, {rgb(9, 9, 9), 90, 121}, {rgb(13, 13, 13), 120, 146},
    {rgb(17, 17, 17), 141, 169}, {rgb(24, 24, 24), 170, 195}, {rgb(32, 32, 32), 191, 221},
    {rgb(38, 38, 38), 220, 246}, {rgb(46, 46, 46), 247, 270}, {rgb(54, 54, 54), 271, 295},
    {rgb(62, 62, 62), 296, 322}, {rgb(69, 69, 69), 321, 347}, {rgb(77, 77, 77), 346, 372},
    {rgb(85, 85, 85), 367, 396}, {rgb(93, 93, 93), 397, 422}, {rgb(101, 101, 101), 421, 448},
    {rgb(111, 111, 111), 449, 479},
}}};

constexpr int strip_width = 50;
constexpr int strip_height = 480;

// One row of a strip, read as its upper band and how many of its pixels
// already belong to the next band down (0 for a row of one colour).
struct RowMix {
    int band;
    int next_band_pixels;
    int level() const { return band * strip_width + next_band_pixels; }
    bool mixed() const { return next_band_pixels != 0; }
    int dominant() const { return next_band_pixels * 2 > strip_width ? band + 1 : band; }
};

class GradientStrip : public ::testing::TestWithParam<Gradient> {
protected:
    void SetUp() override { image_ = load_bitmap_resource(GetParam().id); }

    int band_of(Color c) const
    {
        const auto& bands = GetParam().bands;
        const auto it = std::find_if(bands.begin(), bands.end(), [c](const Band& b) { return b.color == c; });
        return it == bands.end() ? -1 : static_cast<int>(it - bands.begin());
    }

    // Fails the test unless the row is one band or two neighbouring bands.
    RowMix mix(int y) const
    {
        std::array<int, 16> counts{};
        for (int x = 0; x < image_.width; ++x) {
            const int b = band_of(image_.at(x, y));
            if (b < 0) {
                ADD_FAILURE() << "row " << y << " column " << x << " is no band colour";
                return {};
            }
            ++counts[static_cast<size_t>(b)];
        }
        const auto first = std::find_if(counts.begin(), counts.end(), [](int n) { return n > 0; }) - counts.begin();
        const auto present = std::count_if(counts.begin(), counts.end(), [](int n) { return n > 0; });
        const int band = static_cast<int>(first);
        if (present == 1)
            return {band, 0};
        EXPECT_EQ(present, 2) << "row " << y;
        EXPECT_LT(band, 15) << "row " << y;
        EXPECT_GT(counts[static_cast<size_t>(band) + 1], 0) << "row " << y << " mixes bands that are not neighbours";
        return {band, counts[static_cast<size_t>(band) + 1]};
    }

    Image image_;
};

TEST_P(GradientStrip, FileIsFourBitRunLengthWithTheBandsAsPalette)
{
    const auto file = embedded_resource(std::to_string(GetParam().id) + ".bmp");
    ASSERT_GT(file.size(), 118u);
    auto u32 = [&](size_t at) {
        uint32_t v = 0;
        for (size_t i = 4; i-- > 0;)
            v = v << 8 | file[at + i];
        return v;
    };
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(u32(2), file.size());
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(18), static_cast<uint32_t>(strip_width));
    EXPECT_EQ(u32(22), static_cast<uint32_t>(strip_height));  // positive: rows stored bottom-up
    EXPECT_EQ(file[28], 4);
    EXPECT_EQ(u32(30), 2u);  // BI_RLE4
    EXPECT_EQ(u32(34), file.size() - u32(10));
    for (size_t i = 0; i < 16; ++i) {
        const size_t entry = 54 + 4 * i;
        EXPECT_EQ(rgb(file[entry + 2], file[entry + 1], file[entry]), GetParam().bands[i].color) << "palette entry " << i;
    }
}

TEST_P(GradientStrip, DecodesToFiftyByFourHundredEightyInEveryBandColour)
{
    ASSERT_EQ(image_.width, strip_width);
    ASSERT_EQ(image_.height, strip_height);
    std::array<bool, 16> seen{};
    for (Color c : image_.pixels) {
        const int b = band_of(c);
        ASSERT_GE(b, 0) << std::hex << c;
        seen[static_cast<size_t>(b)] = true;
    }
    EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](bool s) { return s; }));
}

TEST_P(GradientStrip, EachBandDominatesItsRows)
{
    const auto& bands = GetParam().bands;
    for (int y = 0; y < strip_height; ++y) {
        std::vector<int> claims;
        for (int b = 0; b < 16; ++b)
            if (bands[static_cast<size_t>(b)].first_row <= y && y <= bands[static_cast<size_t>(b)].last_row)
                claims.push_back(b);
        ASSERT_FALSE(claims.empty()) << "row " << y;
        const RowMix m = mix(y);
        EXPECT_NE(m.next_band_pixels * 2, strip_width) << "row " << y << " has no majority";
        // Where two bands' rows overlap, either may hold the majority.
        EXPECT_NE(std::find(claims.begin(), claims.end(), m.dominant()), claims.end())
            << "row " << y << " is dominated by band " << m.dominant() + 1 << ", listed for band " << claims.front() + 1;
    }
}

TEST_P(GradientStrip, EveryTransitionGrowsRowByRowFromOnePixelToAll)
{
    std::vector<int> pure_bands;
    RowMix previous = mix(0);
    ASSERT_FALSE(previous.mixed());
    pure_bands.push_back(previous.band);
    for (int y = 1; y < strip_height; ++y) {
        const RowMix m = mix(y);
        if (m.mixed()) {
            EXPECT_GT(m.level(), previous.level()) << "row " << y;
            if (!previous.mixed()) {
                EXPECT_EQ(m.next_band_pixels, 1) << "row " << y << " starts a transition";
            }
        } else {
            EXPECT_GE(m.level(), previous.level()) << "row " << y;
            if (previous.mixed()) {
                EXPECT_EQ(previous.next_band_pixels, strip_width - 1) << "row " << y - 1 << " ends a transition";
            }
            if (m.band != pure_bands.back())
                pure_bands.push_back(m.band);
        }
        previous = m;
    }
    EXPECT_FALSE(previous.mixed());
    std::vector<int> all(16);
    for (int b = 0; b < 16; ++b)
        all[static_cast<size_t>(b)] = b;
    EXPECT_EQ(pure_bands, all);
}

TEST_P(GradientStrip, StretchesToEightyEightPixelStripsAtUsualResolutions)
{
    // The strip width is the HIMETRIC width divided by the twips per pixel.
    for (const auto& [dpi, twips_per_pixel] : {std::pair{96, 15}, std::pair{120, 12}})
        EXPECT_EQ(himetric_width(image_, dpi) / twips_per_pixel, 88) << dpi << " dpi";
}

INSTANTIATE_TEST_SUITE_P(Resources, GradientStrip, ::testing::Values(blue_gradient, gray_gradient),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(LoadBitmapResource, MissingResourceRaisesError326)
{
    for (int id : {0, 100, 103, -101}) {
        try {
            load_bitmap_resource(id);
            ADD_FAILURE() << "resource " << id << " loaded";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), err::resource_not_found) << id;
        }
    }
}

TEST(HimetricWidth, ConvertsPixelsRoundingHalvesAwayFromZero)
{
    struct Case {
        int pixels, dpi, himetric;
    };
    for (const Case c : {Case{50, 96, 1323}, Case{50, 120, 1058}, Case{12, 96, 318}, Case{1, 96, 26},
                         Case{0, 96, 0}, Case{640, 96, 16933}, Case{50, 0, -1}}) {
        Image image{c.pixels, 1, std::vector<Color>(static_cast<size_t>(c.pixels))};
        EXPECT_EQ(himetric_width(image, c.dpi), c.himetric) << c.pixels << " px at " << c.dpi << " dpi";
    }
}

// ---------------------------------------------------------------------------
// Small hand-made files.

struct Le {
    Bytes& out;
    void u16(uint32_t v) { out.insert(out.end(), {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)}); }
    void u32(uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
};

// Palette entry i is a colour unique to i, so a decoded colour names its index.
Color entry(int i) { return rgb(17 * i, 255 - 17 * i, 40 + i); }

Bytes bmp_file(int width, int height, int bits, uint32_t compression, const Bytes& data, int palette_size = -1)
{
    if (palette_size < 0)
        palette_size = bits <= 8 ? 1 << bits : 0;
    Bytes out;
    Le le{out};
    const uint32_t offset = 54 + 4 * static_cast<uint32_t>(palette_size);
    out.insert(out.end(), {'B', 'M'});
    le.u32(offset + static_cast<uint32_t>(data.size()));
    le.u32(0);
    le.u32(offset);
    le.u32(40);
    le.u32(static_cast<uint32_t>(width));
    le.u32(static_cast<uint32_t>(height));
    le.u16(1);
    le.u16(static_cast<uint32_t>(bits));
    le.u32(compression);
    le.u32(compression == 0 ? 0 : static_cast<uint32_t>(data.size()));
    le.u32(0);
    le.u32(0);
    le.u32(static_cast<uint32_t>(palette_size));
    le.u32(0);
    for (int i = 0; i < palette_size; ++i) {
        const Color c = entry(i);
        out.insert(out.end(), {static_cast<unsigned char>(blue(c)), static_cast<unsigned char>(green(c)),
                               static_cast<unsigned char>(red(c)), 0});
    }
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// Rows top-down, one hex digit per pixel naming its palette index.
std::vector<std::string> indices(const Image& image)
{
    std::vector<std::string> rows;
    for (int y = 0; y < image.height; ++y) {
        std::string row;
        for (int x = 0; x < image.width; ++x) {
            int i = 0;
            while (i < 256 && entry(i) != image.at(x, y))
                ++i;
            row += i < 16 ? "0123456789ABCDEF"[i] : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

struct IndexedCase {
    const char* name;
    int width;
    int height;
    int bits;
    uint32_t compression;
    Bytes data;
    std::vector<std::string> rows;  // top-down
};

void PrintTo(const IndexedCase& c, std::ostream* os) { *os << c.name; }

class DecodeIndexed : public ::testing::TestWithParam<IndexedCase> {};

TEST_P(DecodeIndexed, GivesThePixels)
{
    const IndexedCase& c = GetParam();
    const Image image = decode_bmp(bmp_file(c.width, c.height, c.bits, c.compression, c.data));
    ASSERT_EQ(image.width, c.width);
    ASSERT_EQ(image.height, std::abs(c.height));
    EXPECT_EQ(indices(image), c.rows);
}

TEST_P(DecodeIndexed, RejectsEveryTruncation)
{
    const IndexedCase& c = GetParam();
    const Bytes file = bmp_file(c.width, c.height, c.bits, c.compression, c.data);
    for (size_t n = 0; n < file.size(); ++n)
        EXPECT_TRUE(decode_bmp(std::span(file).first(n)).empty()) << "first " << n << " of " << file.size() << " bytes";
}

constexpr uint32_t rgb_ = 0;
constexpr uint32_t rle8 = 1;
constexpr uint32_t rle4 = 2;

INSTANTIATE_TEST_SUITE_P(
    Formats, DecodeIndexed,
    ::testing::Values(
        IndexedCase{"OneBitMostSignificantFirstBottomUp", 3, 2, 1, rgb_, {0xA0, 0, 0, 0, 0x40, 0, 0, 0}, {"010", "101"}},
        IndexedCase{"FourBitHighNibbleFirst", 3, 1, 4, rgb_, {0x12, 0x30, 0, 0}, {"123"}},
        IndexedCase{"EightBitTopDown", 2, -2, 8, rgb_, {5, 6, 0, 0, 7, 8, 0, 0}, {"56", "78"}},
        IndexedCase{"EightBitRowsPaddedToFourBytes", 5, 2, 8, rgb_, {1, 2, 3, 4, 5, 0, 0, 0, 6, 7, 8, 9, 10, 0, 0, 0},
                    {"6789A", "12345"}},
        IndexedCase{"Rle4RunAlternatesNibbles", 5, 1, 4, rle4, {5, 0x12, 0, 1}, {"12121"}},
        IndexedCase{"Rle4AbsoluteOddByteCountIsPadded", 6, 1, 4, rle4, {0, 5, 0x34, 0x56, 0x70, 0, 1, 0x80, 0, 1},
                    {"345678"}},
        IndexedCase{"Rle4AbsoluteEvenByteCountIsNotPadded", 4, 1, 4, rle4, {0, 3, 0x9A, 0xB0, 1, 0xC0, 0, 1}, {"9ABC"}},
        IndexedCase{"Rle4EndOfLineLeavesTheRestAtEntryZero", 4, 2, 4, rle4, {2, 0x11, 0, 0, 4, 0x22, 0, 1},
                    {"2222", "1100"}},
        IndexedCase{"Rle4DeltaMovesRightAndUp", 4, 3, 4, rle4, {1, 0x50, 0, 2, 2, 1, 2, 0x66, 0, 1},
                    {"0000", "0006", "5000"}},
        IndexedCase{"Rle4RunPastTheRowEndIsClipped", 3, 2, 4, rle4, {7, 0x12, 0, 0, 1, 0x30, 0, 1}, {"300", "121"}},
        IndexedCase{"Rle4EarlyEndLeavesEntryZero", 3, 2, 4, rle4, {1, 0xF0, 0, 1}, {"000", "F00"}},
        IndexedCase{"Rle8RunRepeatsTheIndex", 4, 1, 8, rle8, {3, 7, 1, 9, 0, 1}, {"7779"}},
        IndexedCase{"Rle8AbsoluteOddLengthIsPadded", 5, 1, 8, rle8, {0, 3, 10, 11, 12, 0, 2, 13, 0, 1}, {"ABCDD"}},
        IndexedCase{"Rle8DeltaMovesRightAndUp", 3, 2, 8, rle8, {0, 2, 1, 1, 1, 14, 0, 1}, {"0E0", "000"}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(DecodeBmp, DirectColourPixelsAreStoredBlueGreenRed)
{
    for (int bits : {24, 32}) {
        for (int height : {2, -2}) {
            const size_t bpp = static_cast<size_t>(bits / 8);
            // Two rows of one pixel: (1, 2, 3) stored first, then (4, 5, 6).
            Bytes data(2 * 4, 0);
            for (size_t i = 0; i < 3; ++i) {
                data[2 - i] = static_cast<unsigned char>(1 + i);
                data[4 + 2 - i] = static_cast<unsigned char>(4 + i);
            }
            if (bpp == 4)
                data[3] = data[7] = 0xEE;  // unused byte, not alpha
            const Image image = decode_bmp(bmp_file(1, height, bits, 0, data));
            ASSERT_EQ(image.pixels.size(), 2u) << bits << " bits, height " << height;
            const Color first = rgb(1, 2, 3);
            const Color second = rgb(4, 5, 6);
            EXPECT_EQ(image.at(0, 0), height < 0 ? first : second) << bits << " bits";
            EXPECT_EQ(image.at(0, 1), height < 0 ? second : first) << bits << " bits";
        }
    }
}

TEST(DecodeBmp, OldCoreHeaderHasThreeBytePaletteEntries)
{
    Bytes file{'B', 'M'};
    Le le{file};
    const uint32_t offset = 14 + 12 + 3 * 16;
    le.u32(offset + 4);
    le.u32(0);
    le.u32(offset);
    le.u32(12);
    for (uint32_t v : {3, 1, 1, 4})  // width, height, planes, bits: 16 bits each
        le.u16(v);
    for (int i = 0; i < 16; ++i)
        file.insert(file.end(), {static_cast<unsigned char>(blue(entry(i))), static_cast<unsigned char>(green(entry(i))),
                                 static_cast<unsigned char>(red(entry(i)))});
    file.insert(file.end(), {0x1F, 0x70, 0, 0});
    EXPECT_EQ(indices(decode_bmp(file)), std::vector<std::string>{"1F7"});
}

TEST(DecodeBmp, IndexBeyondTheStoredPaletteIsBlack)
{
    const Image image = decode_bmp(bmp_file(2, 1, 8, 0, {1, 5, 0, 0}, 2));
    ASSERT_EQ(image.pixels.size(), 2u);
    EXPECT_EQ(image.at(0, 0), entry(1));
    EXPECT_EQ(image.at(1, 0), rgb(0, 0, 0));
}

// ---------------------------------------------------------------------------
// Malformed files: each is a valid 4x2 RLE4 file with one thing broken.

Bytes valid_rle4() { return bmp_file(4, 2, 4, rle4, {4, 0x12, 0, 0, 4, 0x34, 0, 1}); }

void put32(Bytes& file, size_t at, uint32_t v)
{
    for (size_t i = 0; i < 4; ++i)
        file[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

struct Breakage {
    const char* name;
    void (*apply)(Bytes&);
};

void PrintTo(const Breakage& b, std::ostream* os) { *os << b.name; }

class DecodeMalformed : public ::testing::TestWithParam<Breakage> {};

TEST_P(DecodeMalformed, GivesAnEmptyImage)
{
    ASSERT_FALSE(decode_bmp(valid_rle4()).empty());
    Bytes file = valid_rle4();
    GetParam().apply(file);
    const Image image = decode_bmp(file);
    EXPECT_TRUE(image.empty());
    EXPECT_TRUE(image.pixels.empty());
}

constexpr size_t data_at = 54 + 64;

INSTANTIATE_TEST_SUITE_P(
    Headers, DecodeMalformed,
    ::testing::Values(
        Breakage{"NotBm", [](Bytes& f) { f[1] = 'A'; }},
        Breakage{"HeaderSizeHuge", [](Bytes& f) { put32(f, 14, 0xFFFFFFFF); }},
        Breakage{"HeaderSizeTooSmall", [](Bytes& f) { put32(f, 14, 20); }},
        Breakage{"WidthZero", [](Bytes& f) { put32(f, 18, 0); }},
        Breakage{"WidthNegative", [](Bytes& f) { put32(f, 18, 0xFFFFFFFC); }},
        Breakage{"WidthHuge", [](Bytes& f) { put32(f, 18, 0x7FFFFFFF); }},
        Breakage{"HeightZero", [](Bytes& f) { put32(f, 22, 0); }},
        Breakage{"HeightMostNegative", [](Bytes& f) { put32(f, 22, 0x80000000); }},
        Breakage{"AreaHuge", [](Bytes& f) { put32(f, 18, 30000); put32(f, 22, 30000); }},
        Breakage{"PlanesZero", [](Bytes& f) { f[26] = 0; }},
        Breakage{"BitsThree", [](Bytes& f) { f[28] = 3; }},
        Breakage{"Rle4WithEightBits", [](Bytes& f) { f[28] = 8; }},
        Breakage{"Rle4TopDown", [](Bytes& f) { put32(f, 22, 0xFFFFFFFE); }},
        Breakage{"UnknownCompression", [](Bytes& f) { put32(f, 30, 3); }},
        Breakage{"ImageSizePastTheEnd", [](Bytes& f) { put32(f, 34, 9); }},
        Breakage{"DataOffsetPastTheEnd", [](Bytes& f) { put32(f, 10, 0x7FFFFFF0); }},
        Breakage{"PaletteCutShort", [](Bytes& f) { f.resize(60); }},
        Breakage{"AbsoluteRunPastTheEnd", [](Bytes& f) { f[data_at + 4] = 0; f[data_at + 5] = 200; }},
        Breakage{"DeltaCutShort", [](Bytes& f) { f[data_at + 6] = 0; f[data_at + 7] = 2; }},
        Breakage{"NoEndOfBitmap", [](Bytes& f) { f[data_at + 7] = 0; }},
        Breakage{"UncompressedRowsMissing", [](Bytes& f) { put32(f, 30, 0); put32(f, 22, 20000); }}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(DecodeBmp, SurvivesRandomDamage)
{
    std::mt19937 random(491);
    const auto gradient = embedded_resource("101.bmp");
    const std::vector<Bytes> originals{Bytes(gradient.begin(), gradient.end()), valid_rle4(),
                                       bmp_file(5, -3, 1, 0, Bytes(12, 0x5A)), bmp_file(3, 3, 8, rle8, {3, 1, 0, 1})};
    for (const Bytes& original : originals) {
        for (int round = 0; round < 400; ++round) {
            Bytes file = original;
            const int hits = 1 + static_cast<int>(random() % 8);
            for (int i = 0; i < hits; ++i)
                file[random() % file.size()] = static_cast<unsigned char>(random());
            const Image image = decode_bmp(file);
            if (!image.empty()) {
                EXPECT_EQ(image.pixels.size(), static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
            }
        }
    }
}

}  // namespace
}  // namespace fw
