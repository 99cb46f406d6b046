#include "toolkit/controls.h"

#include "toolkit/dialog_form.h"
#include "toolkit/runtime_error.h"

#include <cctype>

namespace fw {

Control::Control(DialogForm& owner, ControlKind kind, ControlSetup setup)
    : owner_(owner),
      kind_(kind),
      name_(std::move(setup.name)),
      index_(setup.index),
      container_(setup.container),
      caption_(std::move(setup.caption)),
      position_(setup.position),
      tab_index_(setup.tab_index),
      fore_color_(owner.dialog_design().fore_color),
      font_(owner.dialog_design().font)
{
}

void Control::changed(ControlProperty property)
{
    if (observer_) observer_(*this, property);
}

void Control::run_handler()
{
    if (handler_) handler_();
}

void Control::set_Caption(std::string caption)
{
    if (caption == caption_) return;
    caption_ = std::move(caption);
    changed(ControlProperty::caption);
}

void Control::set_Enabled(bool enabled)
{
    if (enabled == enabled_) return;
    enabled_ = enabled;
    changed(ControlProperty::enabled);
}

void Control::set_Visible(bool visible)
{
    if (visible == visible_) return;
    visible_ = visible;
    changed(ControlProperty::visible);
}

void Control::set_ForeColor(Color color)
{
    if (color == fore_color_) return;
    fore_color_ = color;
    changed(ControlProperty::fore_color);
}

void Control::set_BackColor(Color color)
{
    if (color == back_color_) return;
    back_color_ = color;
    changed(ControlProperty::back_color);
}

void Control::set_Font(FontSpec font)
{
    font_ = std::move(font);
    changed(ControlProperty::font);
}

void Control::Move(TwipRect position)
{
    if (position == position_) return;
    position_ = position;
    changed(ControlProperty::position);
}

char Control::access_key() const
{
    for (size_t i = 0; i + 1 < caption_.size(); ++i) {
        if (caption_[i] != '&') continue;
        if (caption_[i + 1] == '&') {
            ++i;
            continue;
        }
        return static_cast<char>(std::tolower(static_cast<unsigned char>(caption_[i + 1])));
    }
    return 0;
}

void Control::user_click()
{
    if (enabled_) run_handler();
}

void CheckBox::set_Value(int value)
{
    if (value < 0 || value > 2) raise_error(err::invalid_property);
    if (value == value_) return;
    value_ = value;
    changed(ControlProperty::value);
    run_handler();
}

void CheckBox::user_click()
{
    // A dimmed box is cleared like a checked one; only code can dim a box.
    if (Enabled()) set_Value(value_ == 0 ? 1 : 0);
}

void OptionButton::set_selected(bool value)
{
    if (value == value_) return;
    value_ = value;
    changed(ControlProperty::value);
}

void OptionButton::set_Value(bool value)
{
    if (value == value_) return;
    if (value) {
        for (Control* other : owner().controls())
            if (other != this && other->kind() == ControlKind::option_button && other->container() == container())
                static_cast<OptionButton*>(other)->set_selected(false);
    }
    set_selected(value);
    if (value) run_handler();
}

void OptionButton::user_click()
{
    if (Enabled()) set_Value(true);
}

ScrollBar::ScrollBar(DialogForm& owner, ControlSetup setup, Orientation orientation)
    : Control(owner, orientation == Orientation::horizontal ? ControlKind::hscroll_bar : ControlKind::vscroll_bar,
              std::move(setup))
{
}

void ScrollBar::set_range(int min, int max, int small_change, int large_change, int value)
{
    min_ = min;
    max_ = max;
    small_change_ = small_change;
    large_change_ = large_change;
    value_ = value;
    changed(ControlProperty::value);
}

void ScrollBar::set_Value(int value)
{
    if (value < low() || value > high()) raise_error(err::invalid_property);
    if (value == value_) return;
    value_ = value;
    changed(ControlProperty::value);
    run_handler();
}

void ScrollBar::user_scroll_to(int value)
{
    if (!Enabled()) return;
    set_Value(value < low() ? low() : value > high() ? high() : value);
}

void ScrollBar::user_step(int delta)
{
    user_scroll_to(value_ + (max_ >= min_ ? delta : -delta));
}

void raise_missing(int index)
{
    throw RuntimeError(err::control_array_element,
                       "Control array element '" + std::to_string(index) + "' doesn't exist");
}

std::string mnemonic_text(std::string_view caption)
{
    std::string text;
    for (size_t i = 0; i < caption.size(); ++i) {
        const char c = caption[i];
        if (c == '&' && i + 1 < caption.size()) {
            text += caption[i + 1] == '&' ? "&" : "_";
            if (caption[i + 1] == '&') ++i;
        } else if (c == '_') {
            text += "__";
        } else {
            text += c;
        }
    }
    return text;
}

std::string plain_text(std::string_view caption)
{
    std::string text;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) {
            if (caption[i + 1] == '&') text += '&';
            if (caption[i + 1] == '&') ++i;
            continue;
        }
        text += caption[i];
    }
    return text;
}

}  // namespace fw
