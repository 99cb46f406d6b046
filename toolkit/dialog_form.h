// A window made of controls, measured in twips: the settings and info dialogs.
// It owns its controls from construction to release; a backend builds the real
// window from controls() and keeps it in step through the controls' observers.
#pragma once

#include "toolkit/controls.h"
#include "toolkit/form.h"

#include <memory>
#include <optional>
#include <vector>

namespace fw {

enum class StartPosition { manual, center_screen };

struct DialogDesign {
    FormDesign form;  // caption, border, task bar, icon
    int client_width_twips = 0;
    int client_height_twips = 0;
    StartPosition start = StartPosition::manual;
    std::optional<Color> back_color;  // empty: the system's dialog colour
    Color fore_color = window_text_color;
    FontSpec font;  // the font of controls without one of their own
};

class DialogForm : public Form {
public:
    DialogForm(std::string name, DialogDesign design);
    ~DialogForm() override;

    // Every control in the order made, which is also the drawing order: a
    // later control lies above an earlier one.
    const std::vector<Control*>& controls() const { return controls_; }
    // The controls that take the focus, in keyboard order.
    std::vector<Control*> focus_order() const;
    // A control's rectangle relative to the window's client area.
    TwipRect client_rect(const Control& control) const;
    // The control of this name and index (-1 for none); nullptr when there is none.
    Control* find(std::string_view name, int index = -1) const;

    const DialogDesign& dialog_design() const { return dialog_; }
    int client_width_twips() const { return dialog_.client_width_twips; }
    int client_height_twips() const { return dialog_.client_height_twips; }

    // The window's position and size in twips. The size is the client area's
    // (the frame a window manager adds is not the program's to know).
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return dialog_.client_width_twips; }
    int Height() const { return dialog_.client_height_twips; }
    // Moves the loaded window; its size stays.
    void Move(int left, int top);

protected:
    template <class T, class... Args> T& add(ControlSetup setup, Args&&... args)
    {
        auto control = std::make_unique<T>(*this, std::move(setup), std::forward<Args>(args)...);
        T& ref = *control;
        controls_.push_back(control.get());
        owned_.push_back(std::move(control));
        return ref;
    }
    // The single control of this name, which the window has made as a T.
    template <class T> T& control(std::string_view name) const { return static_cast<T&>(*find(name)); }

private:
    DialogDesign dialog_;
    std::vector<std::unique_ptr<Control>> owned_;
    std::vector<Control*> controls_;
    int left_ = 0;
    int top_ = 0;
};

// The screen's size in twips.
int screen_width_twips();
int screen_height_twips();
// The rectangle dialogs centre on (the primary monitor, Platform::dialog_area), in twips.
TwipRect dialog_screen_twips();

// Twips to pixels at the display's resolution, to the nearest pixel.
int twips_to_pixels_x(int twips);
int twips_to_pixels_y(int twips);

}  // namespace fw
