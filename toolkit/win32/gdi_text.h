// Text through GDI: the font is a real GDI font at the system's DPI, and each
// text is drawn with TextOut onto a copy of the canvas pixels beneath it, so it
// looks exactly as GDI draws it on that background (transparent, smoothed as
// the user's settings say).
#pragma once

#include "toolkit/font.h"

#include <windows.h>

namespace fw {

class GdiText final : public TextRenderer {
public:
    // dpi: pixels per inch the point size is scaled by.
    GdiText(const FontSpec& desc, int dpi);
    GdiText(const GdiText&) = delete;
    GdiText& operator=(const GdiText&) = delete;
    ~GdiText() override;

    // GetTextExtentPoint32; the empty text has the font's cell height.
    int text_height(std::string_view utf8) const override;
    int text_width(std::string_view utf8) const override;
    void draw(Canvas& canvas, int x, int y, std::string_view utf8, Color color) const override;

    // The face GDI chose for the requested name (another one when the system
    // does not have it).
    std::string face_name() const;

private:
    SIZE extent(std::string_view utf8) const;
    // Room for at least width x height pixels in the scratch bitmap; false
    // when there is none.
    bool reserve(int width, int height) const;
    HDC dc_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ original_font_ = nullptr;
    TEXTMETRICW metrics_{};
    // The scratch bitmap draw() renders into, kept from one text to the next:
    // every frame draws the same few texts.
    mutable HBITMAP scratch_ = nullptr;
    mutable Color* scratch_bits_ = nullptr;
    mutable int scratch_width_ = 0;
    mutable int scratch_height_ = 0;
    mutable HGDIOBJ original_bitmap_ = nullptr;
};

}  // namespace fw
