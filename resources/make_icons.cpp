// Build tool: writes the program's icon as PNG files for desktop menus and
// launchers, from the icon file the Windows program carries (frostwisp.ico,
// made by make_dialog_pictures.py), so both platforms show one picture.
//
//   make_icons frostwisp.ico OUT_DIR 16 32 48 ...
//
// writes OUT_DIR/<N>x<N>/apps/frostwisp.png for each size N, in the layout of
// an icon theme. Each size comes from the smallest picture in the file that is
// at least that big (the largest when none is); a picture is scaled by area
// averaging, which keeps whole-number enlargements of the pixel art sharp.
// Magenta pixels are transparent, as everywhere in the program's icons.
#include "toolkit/bitmap.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr fw::Color transparent_key = fw::rgb(255, 0, 255);

unsigned u16(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8; }
unsigned u32(const Bytes& b, size_t at) { return u16(b, at) | u16(b, at + 2) << 16; }
void put_u32(Bytes& b, size_t at, unsigned v)
{
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
}

// The pictures of an icon file. Each entry holds a device-independent bitmap
// of twice the picture's height (the colours, then the transparency mask);
// given a file header and its true height it is a BMP file like any other.
std::vector<fw::Image> read_icon_file(const Bytes& file)
{
    std::vector<fw::Image> pictures;
    if (file.size() < 6 || u16(file, 0) != 0 || u16(file, 2) != 1) return pictures;
    const unsigned count = u16(file, 4);
    for (unsigned i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * size_t{i};
        if (entry + 16 > file.size()) return {};
        const size_t size = u32(file, entry + 8), offset = u32(file, entry + 12);
        if (offset > file.size() || size > file.size() - offset || size < 40) return {};
        const Bytes dib(file.begin() + static_cast<std::ptrdiff_t>(offset),
                        file.begin() + static_cast<std::ptrdiff_t>(offset + size));
        const unsigned header = u32(dib, 0), bits = u16(dib, 14), used = u32(dib, 32);
        const unsigned palette = bits <= 8 ? (used ? used : 1u << bits) : 0;
        Bytes bmp(14, 0);
        bmp[0] = 'B';
        bmp[1] = 'M';
        put_u32(bmp, 2, static_cast<unsigned>(14 + dib.size()));
        put_u32(bmp, 10, 14 + header + 4 * palette);
        bmp.insert(bmp.end(), dib.begin(), dib.end());
        put_u32(bmp, 14 + 8, u32(dib, 8) / 2);
        fw::Image picture = fw::decode_bmp(bmp);
        if (picture.empty()) return {};
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

// RGBA rows, size x size.
std::vector<unsigned char> scaled(const fw::Image& picture, int size)
{
    std::vector<unsigned char> out(static_cast<size_t>(size) * static_cast<size_t>(size) * 4);
    for (int y = 0; y < size; ++y) {
        const auto rows = coverage(y, picture.height, size);
        for (int x = 0; x < size; ++x) {
            double r = 0, g = 0, b = 0, a = 0, area = 0;
            for (const auto& [sy, wy] : rows)
                for (const auto& [sx, wx] : coverage(x, picture.width, size)) {
                    const fw::Color c = picture.at(sx, sy);
                    const double w = wy * wx;
                    area += w;
                    if (c == transparent_key) continue;
                    r += w * fw::red(c);
                    g += w * fw::green(c);
                    b += w * fw::blue(c);
                    a += w;
                }
            unsigned char* p = &out[(static_cast<size_t>(y) * static_cast<size_t>(size) + static_cast<size_t>(x)) * 4];
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

bool write_png(const std::filesystem::path& path, int size, const std::vector<unsigned char>& rgba)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(size);
    image.height = static_cast<png_uint_32>(size);
    image.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: make_icons ICON.ico OUT_DIR SIZE...\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::vector<fw::Image> pictures = read_icon_file(file);
    if (pictures.empty()) {
        std::fprintf(stderr, "make_icons: %s is not an icon file with pictures it can read\n", argv[1]);
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 1 || size > 1024) {
            std::fprintf(stderr, "make_icons: bad size '%s'\n", argv[i]);
            return 2;
        }
        const fw::Image* source = &pictures.front();
        for (const fw::Image& p : pictures) {
            const bool fits = p.width >= size;
            if (fits != (source->width >= size) ? fits : (fits ? p.width < source->width : p.width > source->width))
                source = &p;
        }
        const std::string name = std::to_string(size) + "x" + std::to_string(size);
        const std::filesystem::path dir = std::filesystem::path(argv[2]) / name / "apps";
        std::filesystem::create_directories(dir);
        if (!write_png(dir / "frostwisp.png", size, scaled(*source, size))) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", (dir / "frostwisp.png").c_str());
            return 1;
        }
    }
    return 0;
}
