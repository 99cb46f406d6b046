#include "toolkit/win32/gdi_picture.h"

#include "toolkit/win32/dib_store.h"

#include <algorithm>
#include <vector>

namespace fw {

HBITMAP bitmap_of(const Image& image)
{
    if (image.empty()) return nullptr;
    void* bits = nullptr;
    HBITMAP bitmap = create_dib(nullptr, image.width, image.height, &bits);
    if (bitmap && bits) std::copy(image.pixels.begin(), image.pixels.end(), static_cast<Color*>(bits));
    return bitmap;
}

HICON icon_of(const Image& image)
{
    if (image.empty()) return nullptr;
    // The colour bitmap with see-through pixels black, and a 1-bit mask with
    // them set: the classic icon pair.
    Image colour = image;
    const int mask_stride = ((image.width + 15) / 16) * 2;
    std::vector<BYTE> mask(static_cast<size_t>(mask_stride) * static_cast<size_t>(image.height), 0);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            Color& c = colour.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)];
            if (c == transparent_key) {
                c = 0;
                mask[static_cast<size_t>(y) * static_cast<size_t>(mask_stride) + static_cast<size_t>(x / 8)] |=
                    static_cast<BYTE>(0x80 >> (x % 8));
            }
        }
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = bitmap_of(colour);
    info.hbmMask = CreateBitmap(image.width, image.height, 1, 1, mask.data());
    HICON icon = info.hbmColor && info.hbmMask ? CreateIconIndirect(&info) : nullptr;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return icon;
}

void draw_keyed(Canvas& canvas, const Image& image, int x, int y)
{
    const int top = std::max(y, 0);
    const int bottom = std::min(y + image.height, canvas.height());
    const int left = std::max(x, 0);
    const int right = std::min(x + image.width, canvas.width());
    if (left >= right || top >= bottom) return;
    const PixelRows rows = canvas.write_rows(left, top, right, bottom);
    for (int py = top; py < bottom; ++py)
        for (int px = left; px < right; ++px) {
            const Color c = image.at(px - x, py - y);
            if (c != transparent_key) rows.row(py)[px] = c;
        }
}

}  // namespace fw
