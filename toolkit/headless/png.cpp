// PNG through libpng. The file is encoded in memory and written in one go, and
// read whole before decoding, so libpng only ever sees a byte buffer. Written
// files hold nothing but IHDR, IDAT and IEND, with a fixed compression level,
// so the same image always gives the same bytes.
#include "toolkit/headless/png.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace fw {
namespace {

constexpr int compression_level = 6;
// Larger pictures are refused before their rows are allocated.
constexpr png_uint_32 max_side = 32767;
constexpr size_t max_pixels = size_t{1} << 25;

struct ReadBuffer {
    std::span<const unsigned char> bytes;
    size_t at;
};

void write_to_vector(png_structp png, png_bytep data, size_t length)
{
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flush_nothing(png_structp) {}

// Failures come back as a false result or an empty image; nothing is printed.
void fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ignore(png_structp, png_const_charp) {}

void read_from_buffer(png_structp png, png_bytep data, size_t length)
{
    auto* in = static_cast<ReadBuffer*>(png_get_io_ptr(png));
    if (length > in->bytes.size() - in->at)
        png_error(png, "unexpected end of file");
    std::memcpy(data, in->bytes.data() + in->at, length);
    in->at += length;
}

// libpng reports errors by longjmp to the setjmp below. These two functions
// therefore create no objects with destructors of their own; everything they
// fill belongs to the caller.
bool encode(png_structp png, png_infop info, const Image& image, std::vector<unsigned char>& row,
            std::vector<unsigned char>& out)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, &out, write_to_vector, flush_nothing);
    png_set_compression_level(png, compression_level);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const Color c = image.at(x, y);
            row[3 * static_cast<size_t>(x)] = static_cast<unsigned char>(red(c));
            row[3 * static_cast<size_t>(x) + 1] = static_cast<unsigned char>(green(c));
            row[3 * static_cast<size_t>(x) + 2] = static_cast<unsigned char>(blue(c));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    return true;
}

bool decode(png_structp png, png_infop info, ReadBuffer& in, std::vector<unsigned char>& rgb_rows,
            std::vector<png_bytep>& row_pointers, Image& image)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, &in, read_from_buffer);
    // libpng's own limits, so that no header or chunk makes it allocate more
    // than a picture of the largest accepted size needs.
    png_set_user_limits(png, max_side, max_side);
    png_set_chunk_cache_max(png, 128);
    png_set_chunk_malloc_max(png, 8u << 20);
    png_read_info(png, info);

    // Everything becomes 8-bit RGB: palettes and gray expanded, 16-bit
    // samples cut to their high byte, alpha dropped.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (width == 0 || height == 0 || width > max_side || height > max_side || size_t{width} * height > max_pixels ||
        png_get_rowbytes(png, info) != 3 * size_t{width})
        return false;

    rgb_rows.resize(3 * size_t{width} * height);
    row_pointers.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        row_pointers[y] = rgb_rows.data() + 3 * size_t{width} * y;
    png_read_image(png, row_pointers.data());
    png_read_end(png, nullptr);

    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.pixels.resize(size_t{width} * height);
    for (size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = rgb(rgb_rows[3 * i], rgb_rows[3 * i + 1], rgb_rows[3 * i + 2]);
    return true;
}

}  // namespace

bool write_png(const std::filesystem::path& path, const Image& image)
{
    if (image.empty())
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, fail, ignore);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<unsigned char> row(3 * static_cast<size_t>(image.width));
    std::vector<unsigned char> encoded;
    const bool ok = encode(png, info, image, row, encoded);
    png_destroy_write_struct(&png, &info);
    if (!ok)
        return false;

    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(encoded.data()), static_cast<std::streamsize>(encoded.size()));
    file.close();
    return static_cast<bool>(file);
}

Image read_png(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return {};
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return decode_png(bytes);
}

Image decode_png(std::span<const unsigned char> bytes)
{
    if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0)
        return {};

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, fail, ignore);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return {};
    }
    ReadBuffer in{bytes, 0};
    std::vector<unsigned char> rgb_rows;
    std::vector<png_bytep> row_pointers;
    Image image;
    const bool ok = decode(png, info, in, rgb_rows, row_pointers, image);
    png_destroy_read_struct(&png, &info, nullptr);
    return ok ? image : Image{};
}

}  // namespace fw
