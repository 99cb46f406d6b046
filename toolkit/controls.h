// The controls of a dialog window: labels, pictures, buttons, check boxes,
// option buttons, scroll bars and group boxes, with their properties in twips
// and colours. The model knows no toolkit: a backend builds real widgets from
// it, reports the user's changes through the user_* calls, and follows the
// model's own changes through one observer per control.
//
// The change rule: a value set by code runs the control's handler exactly as a
// user's change does, and only when the value really changes. A value outside
// the control's range raises run-time error 380 and the control keeps its value.
#pragma once

#include "toolkit/canvas.h"
#include "toolkit/font.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

namespace err {
// "Control array element 'n' doesn't exist".
inline constexpr int control_array_element = 340;
}  // namespace err

class DialogForm;

enum class ControlKind { label, image, push_button, check_box, option_button, hscroll_bar, vscroll_bar, group_box };
enum class ControlProperty { caption, enabled, visible, fore_color, back_color, font, position, value, picture };
enum class TextAlign { left, right, center };
enum class BackStyle { transparent, opaque };
enum class ControlBorder { none, fixed_single };

// Left, top, width and height in twips; right and bottom are exclusive.
struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
    bool operator==(const TwipRect&) const = default;
};

inline constexpr Color window_text_color = rgb(0, 0, 0);
inline constexpr Color window_back_color = rgb(255, 255, 255);

// Where a control sits when it is made: its name and array index (-1 for no
// array), the group box holding it (none for the window's client area), the
// caption, the position relative to the container, and its place in the
// keyboard focus order (-1 for a control that never takes the focus).
struct ControlSetup {
    std::string name;
    int index = -1;
    class GroupBox* container = nullptr;
    std::string caption;
    TwipRect position;
    int tab_index = -1;
};

class Control {
public:
    using Observer = std::function<void(Control&, ControlProperty)>;
    using Handler = std::function<void()>;

    Control(DialogForm& owner, ControlKind kind, ControlSetup setup);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    DialogForm& owner() const { return owner_; }
    ControlKind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    int index() const { return index_; }
    GroupBox* container() const { return container_; }
    int tab_index() const { return tab_index_; }
    bool takes_focus() const { return tab_index_ >= 0; }

    const std::string& Caption() const { return caption_; }
    void set_Caption(std::string caption);
    bool Enabled() const { return enabled_; }
    void set_Enabled(bool enabled);
    bool Visible() const { return visible_; }
    void set_Visible(bool visible);
    Color ForeColor() const { return fore_color_; }
    void set_ForeColor(Color color);
    Color BackColor() const { return back_color_; }
    void set_BackColor(Color color);
    const FontSpec& Font() const { return font_; }
    void set_Font(FontSpec font);

    const TwipRect& position() const { return position_; }
    int Left() const { return position_.left; }
    int Top() const { return position_.top; }
    int Width() const { return position_.width; }
    int Height() const { return position_.height; }
    void Move(TwipRect position);

    // Design properties that never change while the window is open.
    TextAlign alignment = TextAlign::left;
    BackStyle back_style = BackStyle::transparent;
    ControlBorder border = ControlBorder::none;

    // The lower-case letter after a single "&" in the caption; 0 for none.
    char access_key() const;

    // The click or change handler the window binds; empty runs nothing.
    void set_handler(Handler handler) { handler_ = std::move(handler); }
    bool has_handler() const { return static_cast<bool>(handler_); }

    // The backend follows the model through this; empty stops it.
    void set_observer(Observer observer) { observer_ = std::move(observer); }

    // The user clicked the control: buttons, labels and pictures run their
    // click handler; boxes and options change their value first.
    virtual void user_click();

protected:
    void changed(ControlProperty property);
    void run_handler();

private:
    DialogForm& owner_;
    ControlKind kind_;
    std::string name_;
    int index_;
    GroupBox* container_;
    std::string caption_;
    TwipRect position_;
    int tab_index_;
    bool enabled_ = true;
    bool visible_ = true;
    Color fore_color_ = window_text_color;
    Color back_color_ = window_back_color;
    FontSpec font_;
    Handler handler_;
    Observer observer_;
};

class TextLabel : public Control {
public:
    TextLabel(DialogForm& owner, ControlSetup setup) : Control(owner, ControlKind::label, std::move(setup)) {}
};

class GroupBox : public Control {
public:
    GroupBox(DialogForm& owner, ControlSetup setup) : Control(owner, ControlKind::group_box, std::move(setup)) {}
};

// A picture from the embedded resources: stretched to the control's size, or
// shown at its own size from the top left.
class ImageBox : public Control {
public:
    ImageBox(DialogForm& owner, ControlSetup setup) : Control(owner, ControlKind::image, std::move(setup)) {}
    std::string picture;  // embedded resource name
    bool stretch = false;
};

class PushButton : public Control {
public:
    PushButton(DialogForm& owner, ControlSetup setup) : Control(owner, ControlKind::push_button, std::move(setup)) {}
    std::string picture;  // embedded resource name shown above the caption; empty for text only
};

// Values 0 unchecked, 1 checked, 2 dimmed.
class CheckBox : public Control {
public:
    CheckBox(DialogForm& owner, ControlSetup setup) : Control(owner, ControlKind::check_box, std::move(setup)) {}
    int Value() const { return value_; }
    void set_Value(int value);
    // Checks an unchecked box and clears a checked or dimmed one.
    void user_click() override;

private:
    int value_ = 0;
};

// One option of those in the same container is selected. Selecting one clears
// the others; only the newly selected option runs its handler.
class OptionButton : public Control {
public:
    OptionButton(DialogForm& owner, ControlSetup setup)
        : Control(owner, ControlKind::option_button, std::move(setup))
    {
    }
    bool Value() const { return value_; }
    void set_Value(bool value);
    void user_click() override;

private:
    void set_selected(bool value);
    bool value_ = false;
};

enum class Orientation { horizontal, vertical };

// Positions run from Min to Max (either may be the larger); the arrows move by
// SmallChange, a click in the track by LargeChange.
class ScrollBar : public Control {
public:
    ScrollBar(DialogForm& owner, ControlSetup setup, Orientation orientation);

    int Min() const { return min_; }
    int Max() const { return max_; }
    int SmallChange() const { return small_change_; }
    int LargeChange() const { return large_change_; }
    int Value() const { return value_; }
    // Design: range, steps and position together; runs no handler.
    void set_range(int min, int max, int small_change, int large_change, int value);
    void set_Value(int value);

    // The user moved the bar to value (kept within the range).
    void user_scroll_to(int value);
    // The user pressed an arrow (delta of one small change) or clicked the
    // track (one large change), towards Max for a positive delta.
    void user_step(int delta);

private:
    int low() const { return min_ < max_ ? min_ : max_; }
    int high() const { return min_ < max_ ? max_ : min_; }
    int min_ = 0;
    int max_ = 32767;
    int small_change_ = 1;
    int large_change_ = 1;
    int value_ = 0;
};

// Raises run-time error 340 for the array element index.
[[noreturn]] void raise_missing(int index);

// The elements of one control array, by index.
template <class T> class ControlArray {
public:
    // Raises run-time error 340 for an index that names no element.
    T& operator()(int index) const
    {
        for (T* element : elements_)
            if (element->index() == index) return *element;
        raise_missing(index);
    }
    void add(T& element) { elements_.push_back(&element); }
    auto begin() const { return elements_.begin(); }
    auto end() const { return elements_.end(); }

private:
    std::vector<T*> elements_;
};

// The caption as the toolkit's mnemonic text: "&x" becomes "_x", "&&" a plain
// "&", and a "_" of the text is doubled so that it stays a character.
std::string mnemonic_text(std::string_view caption);
// The caption as it is shown: "&" markers removed, "&&" a plain "&".
std::string plain_text(std::string_view caption);

}  // namespace fw
