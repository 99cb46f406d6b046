// The desktop snapshot on X: the screen's pixels read back in bands of
// rows (XGetImage) and turned into the scene's colours, through the visual's
// channel masks or its colour map.
#include "toolkit/x11/x11_platform.h"

#include "toolkit/x11/pixel_format.h"
#include "toolkit/x11/x_error_trap.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <bit>

namespace fw {

namespace {

// How the screen's pixels read as colours: through the channel masks of a
// true-colour visual, or through the colour map of one with a palette.
struct ScreenColors {
    PixelFormat format;
    std::vector<Color> palette;  // by pixel value; empty for true colour

    Color of(unsigned long pixel) const
    {
        if (palette.empty()) return format.to_color(pixel);
        return pixel < palette.size() ? palette[pixel] : Color{0};
    }
};

ScreenColors screen_colors(Display* display)
{
    const int screen = DefaultScreen(display);
    const Visual* visual = DefaultVisual(display, screen);
    ScreenColors colors{PixelFormat::from_masks(visual->red_mask, visual->green_mask, visual->blue_mask), {}};
    if (visual->c_class == TrueColor || visual->c_class == DirectColor || DefaultDepth(display, screen) > 12)
        return colors;
    std::vector<XColor> cells(size_t{1} << DefaultDepth(display, screen));
    for (size_t i = 0; i < cells.size(); ++i) cells[i].pixel = i;
    XQueryColors(display, DefaultColormap(display, screen), cells.data(), static_cast<int>(cells.size()));
    for (const XColor& c : cells) colors.palette.push_back(rgb(c.red >> 8, c.green >> 8, c.blue >> 8));
    return colors;
}

// Copies an X image into shot at (dx, dy).
void copy_pixels(XImage* image, const ScreenColors& colors, Image& shot, int dx, int dy)
{
    const bool words = colors.palette.empty() && colors.format.is_xrgb8888() && image->bits_per_pixel == 32 &&
                       image->byte_order == LSBFirst && std::endian::native == std::endian::little;
    for (int y = 0; y < image->height; ++y) {
        Color* out = shot.pixels.data() + static_cast<size_t>(dy + y) * static_cast<size_t>(shot.width) + dx;
        if (words) {
            const auto* in = reinterpret_cast<const uint32_t*>(image->data + static_cast<ptrdiff_t>(y) * image->bytes_per_line);
            for (int x = 0; x < image->width; ++x) out[x] = in[x] & 0xFFFFFFu;
        } else {
            for (int x = 0; x < image->width; ++x) out[x] = colors.of(XGetPixel(image, x, y));
        }
    }
}

}  // namespace

Image X11Platform::capture_screen(int x, int y, int width, int height)
{
    return capture_from(DefaultRootWindow(display_), 0, 0, x, y, width, height);
}

Image X11Platform::capture_from(Drawable source, int origin_x, int origin_y, int x, int y, int width, int height)
{
    Image shot = black_image(width, height);
    if (shot.empty()) return shot;

    Window root = None;
    int sx = 0, sy = 0;
    unsigned int sw = 0, sh = 0, border = 0, depth = 0;
    XErrorTrap trap(display_);
    if (!XGetGeometry(display_, source, &root, &sx, &sy, &sw, &sh, &border, &depth) || trap.failed()) return shot;

    // The part of the request that the source has.
    const long left = std::max<long>(origin_x + x, 0), top = std::max<long>(origin_y + y, 0);
    const long right = std::min<long>(static_cast<long>(origin_x) + x + width, sw);
    const long bottom = std::min<long>(static_cast<long>(origin_y) + y + height, sh);
    if (left >= right || top >= bottom) return shot;

    // A band of rows at a time: the server's answer to one request for the
    // whole of a large screen is a second copy of it, which the connection
    // would have to hold at once, and running out of memory there would
    // look like a lost connection.
    const ScreenColors colors = screen_colors(display_);
    const long band = std::max<long>(1, (4L << 20) / (4 * (right - left)));
    for (long y0 = top; y0 < bottom; y0 += band) {
        const long rows = std::min(band, bottom - y0);
        XImage* image = XGetImage(display_, source, static_cast<int>(left), static_cast<int>(y0),
                                  static_cast<unsigned>(right - left), static_cast<unsigned>(rows), AllPlanes, ZPixmap);
        if (trap.failed() || !image) {
            if (image) XDestroyImage(image);
            return shot;
        }
        copy_pixels(image, colors, shot, static_cast<int>(left - origin_x - x), static_cast<int>(y0 - origin_y - y));
        XDestroyImage(image);
    }
    return shot;
}

}  // namespace fw
