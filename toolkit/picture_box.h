// A hidden picture control: a persistent bitmap with back, fore and fill
// colours, a font, and a print position for text.
#pragma once

#include "toolkit/canvas.h"
#include "toolkit/font.h"

#include <memory>
#include <string_view>

namespace fw {

class PictureBox {
public:
    PictureBox(Color back, Color fore, Color fill);

    Canvas& canvas() { return canvas_; }
    const Canvas& canvas() const { return canvas_; }

    int Width() const { return canvas_.width(); }
    int Height() const { return canvas_.height(); }
    void set_Width(int width) { canvas_.resize(width, canvas_.height()); }
    void set_Height(int height) { canvas_.resize(canvas_.width(), height); }

    void set_ForeColor(Color color) { canvas_.fore_color = color; }
    void set_FillColor(Color color) { canvas_.fill_color = color; }

    // The picture: setting one replaces the content; none clears it to the
    // back colour.
    void set_Picture(const Image* picture) { canvas_.set_picture(picture); }
    Image image() const { return canvas_.image(); }
    void Cls() { canvas_.clear(); }

    // Text in the box's font, at the print position, transparent.
    void set_Font(std::shared_ptr<const TextRenderer> font) { font_ = std::move(font); }
    int TextHeight(std::string_view text) const { return font_ ? font_->text_height(text) : 0; }
    int TextWidth(std::string_view text) const { return font_ ? font_->text_width(text) : 0; }
    // Prints in the fore colour. Staying on the line moves the print position
    // right past the text; ending it moves to the left edge of the next line.
    enum class LineEnd { stay, next_line };
    void Print(std::string_view text, LineEnd end);

    int CurrentX = 0;
    int CurrentY = 0;

private:
    Canvas canvas_;
    std::shared_ptr<const TextRenderer> font_;
};

}  // namespace fw
