// A BMP reader for the formats resource compilers and paint programs write.
// Every read is checked against the end of the bytes, and the picture's size
// is checked before anything is allocated, so hostile input can only produce
// an empty image.
#include "toolkit/bitmap.h"

#include "toolkit/resources.h"
#include "toolkit/runtime_error.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace fw {
namespace {

constexpr uint32_t bi_rgb = 0;
constexpr uint32_t bi_rle8 = 1;
constexpr uint32_t bi_rle4 = 2;

constexpr size_t file_header_size = 14;
constexpr uint32_t core_header_size = 12;
constexpr uint32_t info_header_size = 40;

// Bigger pictures are refused rather than allocated; the largest is a 4K
// screen several times over.
constexpr int64_t max_side = 32767;
constexpr int64_t max_pixels = int64_t{1} << 25;

using Bytes = std::span<const unsigned char>;

bool has(Bytes bytes, size_t offset, size_t count)
{
    return offset <= bytes.size() && count <= bytes.size() - offset;
}

// Callers check the range first.
uint32_t u16(Bytes bytes, size_t offset)
{
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8;
}

uint32_t u32(Bytes bytes, size_t offset)
{
    return u16(bytes, offset) | u16(bytes, offset + 2) << 16;
}

int64_t i32(Bytes bytes, size_t offset)
{
    return static_cast<int32_t>(u32(bytes, offset));
}

struct Layout {
    int width = 0;
    int height = 0;
    bool top_down = false;
    int bits = 0;
    uint32_t compression = bi_rgb;
    std::vector<Color> palette;
    size_t data_offset = 0;
    size_t data_size = 0;  // the bytes from data_offset that belong to the pixels
};

std::optional<Layout> read_layout(Bytes bytes)
{
    if (!has(bytes, 0, file_header_size + 4) || bytes[0] != 'B' || bytes[1] != 'M')
        return std::nullopt;
    const uint32_t header_size = u32(bytes, file_header_size);
    const bool core = header_size == core_header_size;
    if (!core && header_size < info_header_size)
        return std::nullopt;
    if (!has(bytes, file_header_size, header_size))
        return std::nullopt;

    const size_t h = file_header_size;
    int64_t width = 0;
    int64_t height = 0;
    uint32_t planes = 0;
    uint32_t image_size = 0;
    uint32_t colors_used = 0;
    Layout layout;
    if (core) {
        width = u16(bytes, h + 4);
        height = u16(bytes, h + 6);
        planes = u16(bytes, h + 8);
        layout.bits = static_cast<int>(u16(bytes, h + 10));
    } else {
        width = i32(bytes, h + 4);
        height = i32(bytes, h + 8);
        planes = u16(bytes, h + 12);
        layout.bits = static_cast<int>(u16(bytes, h + 14));
        layout.compression = u32(bytes, h + 16);
        image_size = u32(bytes, h + 20);
        colors_used = u32(bytes, h + 32);
    }

    layout.top_down = height < 0;
    height = std::abs(height);
    if (planes != 1 || width <= 0 || width > max_side || height == 0 || height > max_side || width * height > max_pixels)
        return std::nullopt;
    layout.width = static_cast<int>(width);
    layout.height = static_cast<int>(height);

    switch (layout.compression) {
    case bi_rgb:
        if (layout.bits != 1 && layout.bits != 4 && layout.bits != 8 && layout.bits != 24 && layout.bits != 32)
            return std::nullopt;
        break;
    case bi_rle8:
    case bi_rle4:
        // Compressed pictures cannot be stored top-down.
        if (layout.bits != (layout.compression == bi_rle8 ? 8 : 4) || layout.top_down)
            return std::nullopt;
        break;
    default:
        return std::nullopt;
    }

    if (layout.bits <= 8) {
        const uint32_t full = 1u << layout.bits;
        const uint32_t count = colors_used == 0 ? full : std::min(colors_used, full);
        const size_t entry = core ? 3 : 4;
        const size_t at = file_header_size + header_size;
        if (!has(bytes, at, count * entry))
            return std::nullopt;
        for (uint32_t i = 0; i < count; ++i) {
            const size_t e = at + i * entry;
            layout.palette.push_back(rgb(bytes[e + 2], bytes[e + 1], bytes[e]));
        }
    }

    layout.data_offset = u32(bytes, 10);
    if (layout.data_offset > bytes.size())
        return std::nullopt;
    layout.data_size = bytes.size() - layout.data_offset;
    if (layout.compression != bi_rgb && image_size != 0) {
        if (image_size > layout.data_size)
            return std::nullopt;
        layout.data_size = image_size;
    }
    return layout;
}

Color palette_color(const Layout& layout, uint32_t index)
{
    // An index past the palette shows black, as the platform draws it.
    return index < layout.palette.size() ? layout.palette[index] : 0;
}

Image decode_uncompressed(Bytes bytes, const Layout& layout)
{
    const size_t stride = (static_cast<size_t>(layout.width) * static_cast<size_t>(layout.bits) + 31) / 32 * 4;
    if (!has(bytes, layout.data_offset, stride * static_cast<size_t>(layout.height)))
        return {};

    Image image{layout.width, layout.height, {}};
    image.pixels.resize(static_cast<size_t>(layout.width) * static_cast<size_t>(layout.height));
    for (int r = 0; r < layout.height; ++r) {
        const unsigned char* src = bytes.data() + layout.data_offset + static_cast<size_t>(r) * stride;
        const int y = layout.top_down ? r : layout.height - 1 - r;
        Color* dst = image.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(layout.width);
        for (int x = 0; x < layout.width; ++x) {
            switch (layout.bits) {
            case 1: dst[x] = palette_color(layout, (src[x / 8] >> (7 - x % 8)) & 1u); break;
            case 4: dst[x] = palette_color(layout, (src[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 15u); break;
            case 8: dst[x] = palette_color(layout, src[x]); break;
            case 24: dst[x] = rgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]); break;
            default: dst[x] = rgb(src[4 * x + 2], src[4 * x + 1], src[4 * x]); break;
            }
        }
    }
    return image;
}

// Run-length data: pairs of (count, value) encode runs; a zero count starts an
// escape: 0 end of line, 1 end of picture, 2 a jump right and up, 3 to 255
// that many literal pixels, padded to a whole 16-bit word. Rows run bottom-up.
// The picture must end with its end-of-picture mark; pixels falling outside it
// are dropped, as the platform does.
Image decode_run_length(Bytes bytes, const Layout& layout)
{
    const bool four = layout.compression == bi_rle4;
    const Bytes data = bytes.subspan(layout.data_offset, layout.data_size);

    Image image{layout.width, layout.height, {}};
    image.pixels.assign(static_cast<size_t>(layout.width) * static_cast<size_t>(layout.height), palette_color(layout, 0));
    int64_t x = 0;
    int64_t y = 0;  // from the bottom
    auto put = [&](int64_t count, auto index_of) {
        if (y < layout.height) {
            Color* row = image.pixels.data() + static_cast<size_t>(layout.height - 1 - y) * static_cast<size_t>(layout.width);
            for (int64_t i = 0; i < count && x + i < layout.width; ++i)
                row[x + i] = palette_color(layout, index_of(i));
        }
        x += count;
    };

    size_t at = 0;
    while (has(data, at, 2)) {
        const unsigned count = data[at];
        const unsigned value = data[at + 1];
        at += 2;
        if (count != 0) {
            put(count, [&](int64_t i) { return four ? (i % 2 == 0 ? value >> 4 : value & 15u) : value; });
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return image;
        } else if (value == 2) {
            if (!has(data, at, 2))
                return {};
            x += data[at];
            y += data[at + 1];
            at += 2;
        } else {
            const size_t literal_bytes = four ? (value + 1) / 2 : value;
            const size_t padded = literal_bytes + literal_bytes % 2;
            if (!has(data, at, padded))
                return {};
            const unsigned char* literal = data.data() + at;
            put(value, [&](int64_t i) {
                return four ? (i % 2 == 0 ? literal[i / 2] >> 4 : literal[i / 2] & 15u) : literal[i];
            });
            at += padded;
        }
    }
    return {};
}

int mul_div(int64_t number, int64_t numerator, int64_t denominator)
{
    if (denominator == 0)
        return -1;
    const int64_t product = number * numerator;
    const int64_t magnitude = (std::abs(product) + std::abs(denominator) / 2) / std::abs(denominator);
    const int64_t result = (product < 0) != (denominator < 0) ? -magnitude : magnitude;
    return result > INT32_MAX || result < INT32_MIN ? -1 : static_cast<int>(result);
}

}  // namespace

Image decode_bmp(std::span<const unsigned char> bytes)
{
    const std::optional<Layout> layout = read_layout(bytes);
    if (!layout)
        return {};
    return layout->compression == bi_rgb ? decode_uncompressed(bytes, *layout) : decode_run_length(bytes, *layout);
}

Image load_bitmap_resource(int id)
{
    Image image = decode_bmp(embedded_resource(std::to_string(id) + ".bmp"));
    if (image.empty())
        raise_error(err::resource_not_found);
    return image;
}

int himetric_width(const Image& image, int dpi)
{
    return mul_div(image.width, 2540, dpi);
}

}  // namespace fw
