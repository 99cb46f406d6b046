// The controls of a dialog window. Buttons, check boxes, option buttons and
// scroll bars are the system's own child windows; labels, pictures and group
// frames are drawn onto the window's surface, beneath them, as the run-time
// library drew its windowless controls. Both follow the control model through
// its observers, and the user's actions go back to it.
#pragma once

#include "toolkit/dialog_form.h"

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace fw {

class DibStore;

class DialogControls {
public:
    DialogControls(DialogForm& form, HWND window, DibStore& surface);
    DialogControls(const DialogControls&) = delete;
    DialogControls& operator=(const DialogControls&) = delete;
    // Frees fonts, brushes and pictures only: the model may be gone already.
    ~DialogControls();

    // Stops following the model; the window is about to go. Safe to repeat.
    void release();
    // Draws background, frames, labels and pictures onto the surface.
    void paint();
    // Gives the focus to the first control in the keyboard order that takes it.
    void focus_first();
    // The window's messages that concern the controls; true when handled.
    // The form may be unloaded inside: the caller must return at once.
    bool handle(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);

    // The child window of a control, for tests; nullptr for drawn ones.
    HWND native(const Control& control) const;
    Color back_color() const { return back_color_; }

private:
    struct Bound {
        Control* control = nullptr;
        HWND hwnd = nullptr;  // nullptr: drawn on the surface
        int id = 0;
    };
    void create_native(Bound& b, bool starts_group);
    void sync(Bound& b, ControlProperty property);
    void sync_value(Bound& b);
    void draw(HDC dc, const Control& control);
    RECT pixel_rect(const Control& control) const;
    HFONT font(const FontSpec& desc);
    Bound* bound_at(POINT client, bool clickable_only);
    Bound* bound_of(HWND child);
    // The bar a wheel turns: the one under the pointer, else the focused one.
    Bound* wheel_target(POINT screen);

    DialogForm& form_;
    HWND window_;
    DibStore& surface_;
    Color back_color_;
    HBRUSH back_brush_ = nullptr;
    std::vector<Bound> bound_;
    std::map<std::tuple<std::string, double, int, bool>, HFONT> fonts_;
    std::vector<HIMAGELIST> image_lists_;
    HWND saved_focus_ = nullptr;
    int wheel_ = 0;  // wheel movement that is not yet a whole notch
    bool released_ = false;
};

}  // namespace fw
