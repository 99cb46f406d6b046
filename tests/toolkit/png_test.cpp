#include "toolkit/headless/png.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace fw {
namespace {

namespace fs = std::filesystem;

fs::path temp_file(const std::string& name)
{
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string unique = std::string(test->test_suite_name()) + "_" + test->name() + "_" + name;
    std::replace(unique.begin(), unique.end(), '/', '_');
    return fs::path(::testing::TempDir()) / unique;
}

std::vector<unsigned char> file_bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Image random_image(int width, int height, unsigned seed)
{
    std::mt19937 random(seed);
    Image image{width, height, std::vector<Color>(static_cast<size_t>(width) * static_cast<size_t>(height))};
    for (Color& c : image.pixels)
        c = random() & 0xFFFFFF;
    return image;
}

TEST(Png, RoundTripKeepsEveryPixel)
{
    for (const auto& [width, height] : {std::pair{1, 1}, std::pair{37, 23}, std::pair{640, 3}}) {
        const Image image = random_image(width, height, static_cast<unsigned>(width * 1000 + height));
        const fs::path path = temp_file(std::to_string(width) + "x" + std::to_string(height) + ".png");
        ASSERT_TRUE(write_png(path, image));
        const Image back = read_png(path);
        EXPECT_EQ(back.width, width);
        EXPECT_EQ(back.height, height);
        EXPECT_EQ(back.pixels, image.pixels) << width << "x" << height;
        fs::remove(path);
    }
}

TEST(Png, SameImageGivesSameBytesAndOnlyTheEssentialChunks)
{
    const Image image = random_image(20, 10, 7);
    const fs::path first = temp_file("first.png");
    const fs::path second = temp_file("second.png");
    ASSERT_TRUE(write_png(first, image));
    ASSERT_TRUE(write_png(second, image));
    const auto bytes = file_bytes(first);
    EXPECT_EQ(bytes, file_bytes(second));

    std::vector<std::string> chunks;
    for (size_t at = 8; at + 8 <= bytes.size();) {
        const size_t length = size_t{bytes[at]} << 24 | size_t{bytes[at + 1]} << 16 | size_t{bytes[at + 2]} << 8 | bytes[at + 3];
        const std::string type(bytes.begin() + static_cast<ptrdiff_t>(at) + 4, bytes.begin() + static_cast<ptrdiff_t>(at) + 8);
        if (chunks.empty() || chunks.back() != type)
            chunks.push_back(type);
        at += 12 + length;
    }
    EXPECT_EQ(chunks, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    EXPECT_EQ(bytes[24], 8) << "bit depth";
    EXPECT_EQ(bytes[25], PNG_COLOR_TYPE_RGB);
    fs::remove(first);
    fs::remove(second);
}

TEST(Png, UnreadableFilesGiveAnEmptyImage)
{
    EXPECT_TRUE(read_png(temp_file("missing.png")).empty());

    const fs::path good = temp_file("good.png");
    ASSERT_TRUE(write_png(good, random_image(16, 16, 3)));
    const auto bytes = file_bytes(good);
    for (size_t keep : {size_t{0}, size_t{7}, size_t{8}, size_t{33}, bytes.size() / 2, bytes.size() - 13}) {
        const fs::path cut = temp_file("cut.png");
        std::ofstream(cut, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(keep));
        EXPECT_TRUE(read_png(cut).empty()) << "first " << keep << " bytes";
        fs::remove(cut);
    }
    fs::remove(good);
}

TEST(Png, WriteFailsWhereNoFileCanBeMade)
{
    EXPECT_FALSE(write_png(temp_file("no-such-folder") / "image.png", random_image(2, 2, 1)));
}

// Files of other colour types, written with libpng directly: one row of two
// pixels, samples as stored (16-bit samples big-endian).
struct ColourType {
    const char* name;
    int color_type;
    int bit_depth;
    std::vector<unsigned char> row;
    Color first;
    Color second;
};

void PrintTo(const ColourType& c, std::ostream* os) { *os << c.name; }

bool write_raw(const fs::path& path, const ColourType& c)
{
    FILE* file = std::fopen(path.string().c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const png_color palette[2] = {{10, 20, 30}, {200, 150, 100}};
    png_bytep row = const_cast<png_bytep>(c.row.data());
    bool ok = false;
    if (!setjmp(png_jmpbuf(png))) {
        png_init_io(png, file);
        png_set_IHDR(png, info, 2, 1, c.bit_depth, c.color_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        if (c.color_type == PNG_COLOR_TYPE_PALETTE)
            png_set_PLTE(png, info, palette, 2);
        png_write_info(png, info);
        png_write_row(png, row);
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return ok;
}

class PngColourType : public ::testing::TestWithParam<ColourType> {};

TEST_P(PngColourType, ReadsAsRgb)
{
    const fs::path path = temp_file("raw.png");
    ASSERT_TRUE(write_raw(path, GetParam()));
    const Image image = read_png(path);
    ASSERT_EQ(image.width, 2);
    ASSERT_EQ(image.height, 1);
    EXPECT_EQ(image.at(0, 0), GetParam().first);
    EXPECT_EQ(image.at(1, 0), GetParam().second);
    fs::remove(path);
}

INSTANTIATE_TEST_SUITE_P(
    Png, PngColourType,
    ::testing::Values(
        ColourType{"Gray1", PNG_COLOR_TYPE_GRAY, 1, {0x80}, rgb(255, 255, 255), rgb(0, 0, 0)},
        ColourType{"Gray8", PNG_COLOR_TYPE_GRAY, 8, {0x10, 0xF0}, rgb(16, 16, 16), rgb(240, 240, 240)},
        ColourType{"Gray16", PNG_COLOR_TYPE_GRAY, 16, {0x12, 0x34, 0xAB, 0xCD}, rgb(0x12, 0x12, 0x12), rgb(0xAB, 0xAB, 0xAB)},
        ColourType{"GrayAlpha", PNG_COLOR_TYPE_GRAY_ALPHA, 8, {0x40, 0x80, 0x90, 0x00}, rgb(64, 64, 64), rgb(144, 144, 144)},
        ColourType{"Rgba", PNG_COLOR_TYPE_RGB_ALPHA, 8, {1, 2, 3, 4, 5, 6, 7, 0}, rgb(1, 2, 3), rgb(5, 6, 7)},
        ColourType{"Rgb16", PNG_COLOR_TYPE_RGB, 16, {1, 9, 2, 9, 3, 9, 4, 9, 5, 9, 6, 9}, rgb(1, 2, 3), rgb(4, 5, 6)},
        ColourType{"Palette4", PNG_COLOR_TYPE_PALETTE, 4, {0x10}, rgb(200, 150, 100), rgb(10, 20, 30)}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace fw
