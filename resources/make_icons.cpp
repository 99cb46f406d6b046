// Build tool: writes the program's icon as PNG files for desktop menus and
// launchers, and as the Windows icon file the program carries, from that icon
// file's own pictures (the pixel art of make_dialog_pictures.py), so both
// platforms show one picture.
//
//   make_icons frostwisp.ico OUT_DIR 16 32 48 ...
//
// writes OUT_DIR/<N>x<N>/apps/frostwisp.png for each size N, in the layout of
// an icon theme;
//
//   make_icons --ico frostwisp.ico frostwisp.ico 32 16 48 256
//
// writes an icon file with a picture of each size in 32-bit colour with
// alpha, those of 256 pixels and more PNG-compressed, as Windows Vista and
// later read them. Each size comes from the picture of that size, else the
// smallest one that is bigger, else the largest; a picture is scaled by area
// averaging, which keeps whole-number enlargements of the pixel art sharp.
// Magenta pixels of paletted pictures are transparent, as everywhere in the
// program's icons; rewriting an icon file this tool wrote changes nothing.
#include "toolkit/bitmap.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr fw::Color transparent_key = fw::rgb(255, 0, 255);

// Straight (not premultiplied) RGBA rows, top row first.
struct Picture {
    int width = 0, height = 0;
    Bytes rgba;
    const unsigned char* at(int x, int y) const
    {
        return &rgba[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4];
    }
};

unsigned u16(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8; }
unsigned u32(const Bytes& b, size_t at) { return u16(b, at) | u16(b, at + 2) << 16; }
void put_u16(Bytes& b, size_t at, unsigned v)
{
    for (int i = 0; i < 2; ++i) b[at + static_cast<size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
}
void put_u32(Bytes& b, size_t at, unsigned v)
{
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
}

Picture from_png(const Bytes& data)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.data(), data.size())) return {};
    image.format = PNG_FORMAT_RGBA;
    Picture p{static_cast<int>(image.width), static_cast<int>(image.height), Bytes(PNG_IMAGE_SIZE(image))};
    if (!png_image_finish_read(&image, nullptr, p.rgba.data(), 0, nullptr)) return {};
    return p;
}

// A 32-bit DIB of an icon: bottom-up BGRA rows, then the AND mask.
Picture from_dib32(const Bytes& dib)
{
    const unsigned header = u32(dib, 0), width = u32(dib, 4), height = u32(dib, 8) / 2;
    if (width == 0 || width > 1024 || height != width || dib.size() < header + 4ull * width * height) return {};
    Picture p{static_cast<int>(width), static_cast<int>(height), Bytes(4ull * width * height)};
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            const unsigned char* from = &dib[header + 4 * ((height - 1 - y) * width + x)];
            unsigned char* to = &p.rgba[4 * (y * width + x)];
            to[0] = from[2], to[1] = from[1], to[2] = from[0], to[3] = from[3];
        }
    return p;
}

// A paletted DIB of an icon: given a file header and its true height it is a
// BMP file like any other.
Picture from_paletted_dib(const Bytes& dib)
{
    const unsigned header = u32(dib, 0), bits = u16(dib, 14), used = u32(dib, 32);
    const unsigned palette = bits <= 8 ? (used ? used : 1u << bits) : 0;
    Bytes bmp(14, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    put_u32(bmp, 2, static_cast<unsigned>(14 + dib.size()));
    put_u32(bmp, 10, 14 + header + 4 * palette);
    bmp.insert(bmp.end(), dib.begin(), dib.end());
    put_u32(bmp, 14 + 8, u32(dib, 8) / 2);
    const fw::Image image = fw::decode_bmp(bmp);
    if (image.empty()) return {};
    Picture p{image.width, image.height, Bytes(static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4)};
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const fw::Color c = image.at(x, y);
            unsigned char* to = &p.rgba[(static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) * 4];
            if (c == transparent_key) continue;
            to[0] = static_cast<unsigned char>(fw::red(c)), to[1] = static_cast<unsigned char>(fw::green(c));
            to[2] = static_cast<unsigned char>(fw::blue(c)), to[3] = 255;
        }
    return p;
}

// The pictures of an icon file: DIBs of twice the picture's height (the
// colours, then the transparency mask), or PNG files.
std::vector<Picture> read_icon_file(const Bytes& file)
{
    std::vector<Picture> pictures;
    if (file.size() < 6 || u16(file, 0) != 0 || u16(file, 2) != 1) return pictures;
    const unsigned count = u16(file, 4);
    for (unsigned i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * size_t{i};
        if (entry + 16 > file.size()) return {};
        const size_t size = u32(file, entry + 8), offset = u32(file, entry + 12);
        if (offset > file.size() || size > file.size() - offset || size < 40) return {};
        const Bytes data(file.begin() + static_cast<std::ptrdiff_t>(offset),
                         file.begin() + static_cast<std::ptrdiff_t>(offset + size));
        Picture picture = data[0] == 0x89 && data[1] == 'P' ? from_png(data)
                          : u16(data, 14) == 32            ? from_dib32(data)
                                                           : from_paletted_dib(data);
        if (picture.rgba.empty()) return {};
        pictures.push_back(std::move(picture));
    }
    return pictures;
}

// How much of each source pixel falls into destination pixel i, when n source
// pixels are spread over m.
std::vector<std::pair<int, double>> coverage(int i, int n, int m)
{
    std::vector<std::pair<int, double>> parts;
    const double from = double(i) * n / m, to = double(i + 1) * n / m;
    for (int s = static_cast<int>(std::floor(from)); s < n && s < to; ++s) {
        const double part = std::min(to, s + 1.0) - std::max(from, double(s));
        if (part > 1e-9) parts.emplace_back(s, part);
    }
    return parts;
}

// Colours are averaged weighted by their opacity, so that transparent pixels
// lend an edge no colour.
Picture scaled(const Picture& picture, int size)
{
    if (picture.width == size && picture.height == size) return picture;
    Picture out{size, size, Bytes(static_cast<size_t>(size) * static_cast<size_t>(size) * 4)};
    for (int y = 0; y < size; ++y) {
        const auto rows = coverage(y, picture.height, size);
        for (int x = 0; x < size; ++x) {
            double r = 0, g = 0, b = 0, a = 0, area = 0;
            for (const auto& [sy, wy] : rows)
                for (const auto& [sx, wx] : coverage(x, picture.width, size)) {
                    const unsigned char* c = picture.at(sx, sy);
                    const double w = wy * wx, opaque = w * c[3] / 255.0;
                    area += w;
                    r += opaque * c[0];
                    g += opaque * c[1];
                    b += opaque * c[2];
                    a += opaque;
                }
            unsigned char* p = &out.rgba[(static_cast<size_t>(y) * static_cast<size_t>(size) + static_cast<size_t>(x)) * 4];
            if (a > 0) {
                p[0] = static_cast<unsigned char>(std::lround(r / a));
                p[1] = static_cast<unsigned char>(std::lround(g / a));
                p[2] = static_cast<unsigned char>(std::lround(b / a));
                p[3] = static_cast<unsigned char>(std::lround(255 * a / area));
            }
        }
    }
    return out;
}

const Picture& source_for(const std::vector<Picture>& pictures, int size)
{
    const Picture* source = &pictures.front();
    for (const Picture& p : pictures) {
        if (source->width == size) break;
        const bool fits = p.width >= size;
        if (p.width == size || (fits != (source->width >= size) ? fits : (fits ? p.width < source->width : p.width > source->width)))
            source = &p;
    }
    return *source;
}

bool png_bytes(const Picture& p, Bytes& out)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(p.width);
    image.height = static_cast<png_uint_32>(p.height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, p.rgba.data(), 0, nullptr)) return false;
    out.resize(size);
    return png_image_write_to_memory(&image, out.data(), &size, 0, p.rgba.data(), 0, nullptr) != 0;
}

bool write_file(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

// BITMAPINFOHEADER, bottom-up BGRA rows and an AND mask that is set where the
// picture is fully transparent (for programs that ignore the alpha).
Bytes dib32(const Picture& p)
{
    const size_t w = static_cast<size_t>(p.width), h = static_cast<size_t>(p.height), mask_row = (w + 31) / 32 * 4;
    Bytes dib(40 + 4 * w * h + mask_row * h, 0);
    put_u32(dib, 0, 40);
    put_u32(dib, 4, static_cast<unsigned>(w));
    put_u32(dib, 8, static_cast<unsigned>(2 * h));
    put_u16(dib, 12, 1);
    put_u16(dib, 14, 32);
    put_u32(dib, 20, static_cast<unsigned>(4 * w * h + mask_row * h));
    for (size_t y = 0; y < h; ++y)
        for (size_t x = 0; x < w; ++x) {
            const unsigned char* c = p.at(static_cast<int>(x), static_cast<int>(y));
            unsigned char* to = &dib[40 + 4 * ((h - 1 - y) * w + x)];
            to[0] = c[2], to[1] = c[1], to[2] = c[0], to[3] = c[3];
            if (c[3] == 0) dib[40 + 4 * w * h + (h - 1 - y) * mask_row + x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
        }
    return dib;
}

bool write_ico(const std::filesystem::path& path, const std::vector<Picture>& pictures, const std::vector<int>& sizes)
{
    std::vector<Bytes> images;
    for (int size : sizes) {
        const Picture p = scaled(source_for(pictures, size), size);
        if (size < 256) {
            images.push_back(dib32(p));
        } else if (!png_bytes(p, images.emplace_back())) {
            return false;
        }
    }
    Bytes file(6 + 16 * images.size(), 0);
    put_u16(file, 2, 1);
    put_u16(file, 4, static_cast<unsigned>(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const size_t entry = 6 + 16 * i;
        file[entry] = file[entry + 1] = static_cast<unsigned char>(sizes[i] >= 256 ? 0 : sizes[i]);  // 0 is 256
        put_u16(file, entry + 4, 1);
        put_u16(file, entry + 6, 32);
        put_u32(file, entry + 8, static_cast<unsigned>(images[i].size()));
        put_u32(file, entry + 12, static_cast<unsigned>(file.size()));
        file.insert(file.end(), images[i].begin(), images[i].end());
    }
    return write_file(path, file);
}

std::vector<Picture> read_icons(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<Picture> pictures = read_icon_file(file);
    if (pictures.empty()) std::fprintf(stderr, "make_icons: %s is not an icon file with pictures it can read\n", name);
    return pictures;
}

bool parse_sizes(char** first, char** last, std::vector<int>& sizes)
{
    for (; first != last; ++first) {
        const int size = std::atoi(*first);
        if (size < 1 || size > 256) {
            std::fprintf(stderr, "make_icons: bad size '%s'\n", *first);
            return false;
        }
        sizes.push_back(size);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool ico = argc > 1 && std::strcmp(argv[1], "--ico") == 0;
    if (argc < (ico ? 5 : 4)) {
        std::fprintf(stderr, "usage: make_icons ICON.ico OUT_DIR SIZE...\n"
                             "       make_icons --ico OUT.ico ICON.ico SIZE...\n");
        return 2;
    }
    std::vector<int> sizes;
    if (!parse_sizes(argv + (ico ? 4 : 3), argv + argc, sizes)) return 2;
    const std::vector<Picture> pictures = read_icons(argv[ico ? 3 : 1]);
    if (pictures.empty()) return 1;
    if (ico) {
        if (write_ico(argv[2], pictures, sizes)) return 0;
        std::fprintf(stderr, "make_icons: cannot write %s\n", argv[2]);
        return 1;
    }
    for (int size : sizes) {
        const std::string name = std::to_string(size) + "x" + std::to_string(size);
        const std::filesystem::path dir = std::filesystem::path(argv[2]) / name / "apps";
        std::filesystem::create_directories(dir);
        Bytes png;
        if (!png_bytes(scaled(source_for(pictures, size), size), png) || !write_file(dir / "frostwisp.png", png)) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", (dir / "frostwisp.png").c_str());
            return 1;
        }
    }
    return 0;
}
