#include "toolkit/picture_box.h"

namespace fw {

PictureBox::PictureBox(Color back, Color fore, Color fill) : canvas_(back)
{
    canvas_.fore_color = fore;
    canvas_.fill_color = fill;
}

void PictureBox::Print(std::string_view text, LineEnd end)
{
    if (font_) font_->draw(canvas_, CurrentX, CurrentY, text, canvas_.fore_color);
    if (end == LineEnd::stay) {
        CurrentX += TextWidth(text);
    } else {
        CurrentX = 0;
        CurrentY += TextHeight(text);
    }
}

}  // namespace fw
