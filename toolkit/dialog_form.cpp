#include "toolkit/dialog_form.h"

#include "toolkit/numbers.h"

#include <algorithm>

namespace fw {

namespace {

FormDesign with_pixel_size(DialogDesign& dialog)
{
    dialog.form.client_width_px = twips_to_pixels_x(dialog.client_width_twips);
    dialog.form.client_height_px = twips_to_pixels_y(dialog.client_height_twips);
    if (dialog.back_color) dialog.form.back_color = *dialog.back_color;
    return dialog.form;
}

int to_pixels(int twips, double twips_per_pixel)
{
    return static_cast<int>(round_even(twips / (twips_per_pixel > 0 ? twips_per_pixel : 15.0)));
}

}  // namespace

DialogForm::DialogForm(std::string name, DialogDesign design)
    : Form(std::move(name), with_pixel_size(design)), dialog_(std::move(design))
{
}

DialogForm::~DialogForm()
{
    // A window still open is closed while its controls exist, since the
    // backend lets go of them as it closes.
    if (loaded()) window().destroy();
    for (Control* control : controls_) control->set_observer(nullptr);
}

std::vector<Control*> DialogForm::focus_order() const
{
    std::vector<Control*> order;
    for (Control* control : controls_)
        if (control->takes_focus()) order.push_back(control);
    std::stable_sort(order.begin(), order.end(),
                     [](const Control* a, const Control* b) { return a->tab_index() < b->tab_index(); });
    return order;
}

TwipRect DialogForm::client_rect(const Control& control) const
{
    TwipRect rect = control.position();
    for (const Control* holder = control.container(); holder; holder = holder->container()) {
        rect.left += holder->Left();
        rect.top += holder->Top();
    }
    return rect;
}

Control* DialogForm::find(std::string_view name, int index) const
{
    for (Control* control : controls_)
        if (control->name() == name && control->index() == index) return control;
    return nullptr;
}

void DialogForm::Move(int left, int top)
{
    left_ = left;
    top_ = top;
    if (loaded())
        window().move(twips_to_pixels_x(left), twips_to_pixels_y(top), twips_to_pixels_x(Width()),
                      twips_to_pixels_y(Height()));
}

int screen_width_twips()
{
    return static_cast<int>(round_even(platform().screen_width_px() * platform().twips_per_pixel_x()));
}

int screen_height_twips()
{
    return static_cast<int>(round_even(platform().screen_height_px() * platform().twips_per_pixel_y()));
}

TwipRect dialog_screen_twips()
{
    const Rect area = platform().dialog_area();
    const double x = platform().twips_per_pixel_x(), y = platform().twips_per_pixel_y();
    const auto twips = [](int pixels, double per_pixel) { return static_cast<int>(round_even(pixels * per_pixel)); };
    return {twips(area.left, x), twips(area.top, y), twips(area.right - area.left, x), twips(area.bottom - area.top, y)};
}

int twips_to_pixels_x(int twips) { return to_pixels(twips, platform().twips_per_pixel_x()); }
int twips_to_pixels_y(int twips) { return to_pixels(twips, platform().twips_per_pixel_y()); }

}  // namespace fw
