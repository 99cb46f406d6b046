// Text drawn onto a canvas in one font. The platform backend supplies the
// renderer (FreeType on Linux, GDI on Windows); portable code only asks for a
// face by name and never fails for want of one.
#pragma once

#include "toolkit/canvas.h"

#include <memory>
#include <string>
#include <string_view>

namespace fw {

enum class FontWeight { regular = 400, bold = 700 };

struct FontSpec {
    std::string face = "MS Sans Serif";
    double points = 8.25;
    FontWeight weight = FontWeight::regular;
    bool underline = false;
};

class TextRenderer {
public:
    virtual ~TextRenderer() = default;
    // Line height in pixels of text in this font (the same for every text of one line).
    virtual int text_height(std::string_view utf8) const = 0;
    // Advance width in pixels.
    virtual int text_width(std::string_view utf8) const = 0;
    // Draws text with the top-left of its line box at (x, y), transparent
    // background, clipped to the canvas.
    virtual void draw(Canvas& canvas, int x, int y, std::string_view utf8, Color color) const = 0;
};

}  // namespace fw
