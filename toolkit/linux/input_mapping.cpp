#include "toolkit/linux/input_mapping.h"

#include <X11/X.h>
#include <X11/keysym.h>

#include <cstdlib>

namespace fw {

int key_code_for(unsigned long keysym)
{
    if (keysym >= XK_a && keysym <= XK_z) return static_cast<int>(keysym - XK_a) + 'A';
    if (keysym >= XK_A && keysym <= XK_Z) return static_cast<int>(keysym - XK_A) + 'A';
    if (keysym >= XK_0 && keysym <= XK_9) return static_cast<int>(keysym - XK_0) + '0';
    if (keysym >= XK_F1 && keysym <= XK_F24) return static_cast<int>(keysym - XK_F1) + 112;
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return static_cast<int>(keysym - XK_KP_0) + 96;
    switch (keysym) {
    case XK_BackSpace: return 8;
    case XK_Tab: return 9;
    case XK_Return:
    case XK_KP_Enter: return 13;
    case XK_Shift_L:
    case XK_Shift_R: return 16;
    case XK_Control_L:
    case XK_Control_R: return 17;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R: return 18;
    case XK_Pause: return 19;
    case XK_Caps_Lock: return 20;
    case XK_Escape: return 27;
    case XK_space: return 32;
    case XK_Prior: return 33;
    case XK_Next: return 34;
    case XK_End: return 35;
    case XK_Home: return 36;
    case XK_Left: return 37;
    case XK_Up: return 38;
    case XK_Right: return 39;
    case XK_Down: return 40;
    case XK_Insert: return 45;
    case XK_Delete: return 46;
    default: return 0;
    }
}

int shift_state_for(unsigned int x_state)
{
    return ((x_state & ShiftMask) ? 1 : 0) | ((x_state & ControlMask) ? 2 : 0) | ((x_state & Mod1Mask) ? 4 : 0);
}

int button_for(unsigned int x_button)
{
    switch (x_button) {
    case Button1: return 1;
    case Button2: return 4;
    case Button3: return 2;
    default: return 0;
    }
}

ClickEvent ClickTracker::press(unsigned int button, unsigned long time, int x, int y)
{
    const unsigned long elapsed = (time - first_time_) & 0xFFFFFFFFul;
    if (have_first_ && !in_double_ && button == first_button_ && elapsed <= limit_ms_ && std::abs(x - first_x_) <= 2 &&
        std::abs(y - first_y_) <= 2) {
        have_first_ = false;
        in_double_ = true;
        return ClickEvent::dbl_click;
    }
    have_first_ = true;
    in_double_ = false;
    first_button_ = button;
    first_time_ = time;
    first_x_ = x;
    first_y_ = y;
    return ClickEvent::mouse_down;
}

ClickEvent ClickTracker::release(unsigned int)
{
    if (in_double_) {
        in_double_ = false;
        return ClickEvent::none;
    }
    return ClickEvent::click;
}

}  // namespace fw
