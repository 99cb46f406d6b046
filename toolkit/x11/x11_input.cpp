// Input on X: key presses, buttons and motion of the program's own windows
// turned into the form's events (see Form), with the click sequence rebuilt
// from presses and releases.
#include "toolkit/x11/x11_window.h"

#include <X11/Xutil.h>

namespace fw {

namespace {

int pointer_buttons(unsigned int state)
{
    return ((state & Button1Mask) ? 1 : 0) | ((state & Button3Mask) ? 2 : 0) | ((state & Button2Mask) ? 4 : 0);
}

}  // namespace

void X11Window::handle_input(const XEvent& event)
{
    // The handlers may unload the form and with it this window: after the
    // first call only the form itself is used, and only while it lives.
    Form& form = form_;
    const Lifetime::Watch self = watch();
    switch (event.type) {
    case KeyPress: {
        XKeyEvent key = event.xkey;
        char text[8] = {};
        KeySym keysym = NoSymbol;
        const int length = XLookupString(&key, text, sizeof text, &keysym, nullptr);
        form.Form_KeyDown(key_code_for(keysym), shift_state_for(key.state));
        if (length == 1 && self.alive()) form.Form_KeyPress(static_cast<unsigned char>(text[0]));
        return;
    }
    case ButtonPress: {
        const XButtonEvent& b = event.xbutton;
        if (clicks_.press(b.button, b.time, b.x, b.y) == ClickEvent::dbl_click) form.Form_DblClick();
        else form.Form_MouseDown(button_for(b.button), shift_state_for(b.state), static_cast<float>(b.x),
                                 static_cast<float>(b.y));
        return;
    }
    case ButtonRelease:
        if (clicks_.release(event.xbutton.button) == ClickEvent::click) form.Form_Click();
        return;
    case MotionNotify: {
        const XMotionEvent& m = event.xmotion;
        form.Form_MouseMove(pointer_buttons(m.state), shift_state_for(m.state), static_cast<float>(m.x),
                            static_cast<float>(m.y));
        return;
    }
    default:
        return;
    }
}

}  // namespace fw
