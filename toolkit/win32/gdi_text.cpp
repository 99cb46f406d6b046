#include "toolkit/win32/gdi_text.h"

#include "toolkit/win32/dib_store.h"
#include "toolkit/win32/wide_text.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace fw {

GdiText::GdiText(const FontSpec& desc, int dpi) : dc_(CreateCompatibleDC(nullptr))
{
    const int height = -static_cast<int>(std::lround(desc.points * dpi / 72.0));
    font_ = CreateFontW(height, 0, 0, 0, static_cast<int>(desc.weight), FALSE, desc.underline ? TRUE : FALSE, FALSE,
                        ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, widen(desc.face).c_str());
    original_font_ = SelectObject(dc_, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
    GetTextMetricsW(dc_, &metrics_);
}

GdiText::~GdiText()
{
    if (scratch_) {
        SelectObject(dc_, original_bitmap_);
        DeleteObject(scratch_);
    }
    SelectObject(dc_, original_font_);
    if (font_) DeleteObject(font_);
    DeleteDC(dc_);
}

SIZE GdiText::extent(std::string_view utf8) const
{
    const std::wstring text = widen(utf8);
    SIZE size{0, 0};
    GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

int GdiText::text_height(std::string_view utf8) const
{
    return utf8.empty() ? static_cast<int>(metrics_.tmHeight) : static_cast<int>(extent(utf8).cy);
}

int GdiText::text_width(std::string_view utf8) const { return static_cast<int>(extent(utf8).cx); }

std::string GdiText::face_name() const
{
    wchar_t name[LF_FACESIZE] = {};
    GetTextFaceW(dc_, LF_FACESIZE, name);
    return narrow(name);
}

bool GdiText::reserve(int width, int height) const
{
    if (scratch_ && width <= scratch_width_ && height <= scratch_height_) return true;
    const int w = std::max(width, scratch_width_), h = std::max(height, scratch_height_);
    void* bits = nullptr;
    HBITMAP dib = create_dib(dc_, w, h, &bits);
    if (!dib || !bits) {
        if (dib) DeleteObject(dib);
        return false;
    }
    const HGDIOBJ previous = SelectObject(dc_, dib);
    if (scratch_) DeleteObject(scratch_);
    else original_bitmap_ = previous;
    scratch_ = dib;
    scratch_bits_ = static_cast<Color*>(bits);
    scratch_width_ = w;
    scratch_height_ = h;
    return true;
}

void GdiText::draw(Canvas& canvas, int x, int y, std::string_view utf8, Color color) const
{
    const std::wstring text = widen(utf8);
    if (text.empty()) return;
    const SIZE size = extent(utf8);
    // Bold and slanted glyphs reach past their advance, on either side.
    const int margin = static_cast<int>(metrics_.tmMaxCharWidth / 2 + metrics_.tmOverhang + 1);
    const auto clamp_to = [](long long v, int limit) { return static_cast<int>(std::clamp(v, 0LL, static_cast<long long>(limit))); };
    const int left = clamp_to(static_cast<long long>(x) - margin, canvas.width());
    const int right = clamp_to(static_cast<long long>(x) + size.cx + margin, canvas.width());
    const int top = clamp_to(y, canvas.height());
    const int bottom = clamp_to(static_cast<long long>(y) + size.cy, canvas.height());
    const int w = right - left;
    const int h = bottom - top;
    if (w <= 0 || h <= 0) return;

    if (!reserve(w, h)) return;
    Color* pixels = scratch_bits_;
    const ptrdiff_t stride = scratch_width_;
    for (int row = 0; row < h; ++row) std::copy_n(std::as_const(canvas).row(top + row) + left, w, pixels + row * stride);

    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, RGB(red(color), green(color), blue(color)));
    SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    TextOutW(dc_, x - left, y - top, text.c_str(), static_cast<int>(text.size()));
    GdiFlush();
    // GDI leaves the unused top byte of a pixel as it likes; a canvas keeps it 0.
    const PixelRows rows = canvas.write_rows(left, top, right, bottom);
    for (int row = 0; row < h; ++row) {
        const Color* src = pixels + row * stride;
        Color* dst = rows.row(top + row) + left;
        for (int col = 0; col < w; ++col) dst[col] = src[col] & 0x00FFFFFFu;
    }
}

}  // namespace fw
