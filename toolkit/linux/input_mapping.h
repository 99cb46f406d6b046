// X and Wayland input in the terms of the form's handlers: key codes and shift states as
// the scene's handlers receive them, mouse buttons, and the click sequence
// (MouseDown, Click, DblClick) rebuilt from button presses and releases.
#pragma once

namespace fw {

// The key code of Form_KeyDown for an X keysym: letters as their capital,
// digits, and the common named keys (Return 13, Escape 27, F1 112, ...); 0
// for keys without one.
int key_code_for(unsigned long keysym);
// Shift 1, Control 2, Alt 4, from an X modifier state.
int shift_state_for(unsigned int x_state);
// Left 1, right 2, middle 4; 0 for the wheel and extra buttons.
int button_for(unsigned int x_button);

enum class ClickEvent { none, mouse_down, click, dbl_click };

// A second press of the same button within the double-click time and 2 pixels
// of the first one makes a double click: its press gives DblClick instead of
// MouseDown and its release no Click. A third press starts over.
class ClickTracker {
public:
    explicit ClickTracker(unsigned long double_click_ms = 500) : limit_ms_(double_click_ms) {}

    // time: the X server's millisecond time stamp, which wraps at 32 bits.
    ClickEvent press(unsigned int button, unsigned long time, int x, int y);
    ClickEvent release(unsigned int button);

private:
    unsigned long limit_ms_;
    bool have_first_ = false;
    unsigned int first_button_ = 0;
    unsigned long first_time_ = 0;
    int first_x_ = 0, first_y_ = 0;
    bool in_double_ = false;
};

}  // namespace fw
