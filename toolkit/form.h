// A window of the program and the collection of loaded windows. A form keeps
// its design properties, a persistent surface of its client size (what is drawn
// there stays until drawn over and is shown on refresh), and its event
// handlers; the backend's NativeWindow owns the real window and calls them.
#pragma once

#include "toolkit/canvas.h"
#include "toolkit/platform.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fw {

enum class BorderStyle { none, fixed_tool_window, fixed_dialog, sizable };

struct FormDesign {
    std::string caption;
    BorderStyle border = BorderStyle::sizable;
    bool show_in_taskbar = true;
    int client_width_px = 320;
    int client_height_px = 240;
    Color back_color = rgb(0, 0, 0);
    std::string icon;  // embedded resource name, empty for the system's
};

class Form {
public:
    Form(std::string name, FormDesign design);
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form();

    const std::string& name() const { return name_; }
    const FormDesign& design() const { return design_; }

    // Creates the window and runs Form_Load, once; later calls do nothing.
    void Load();
    // Loads when needed, then shows. Modal returns when the form is unloaded.
    void Show(ShowMode mode = ShowMode::modeless);
    // Runs Form_Unload, destroys the window and leaves the loaded forms. The
    // object itself is released later, by release_unloaded().
    void Unload();
    bool loaded() const { return window_ != nullptr; }

    NativeWindow& window();
    NativeHandle hWnd() const;

    // The part of the screen, in screen coordinates, that this form counts as
    // the screen: maximising fills it. Unset, it is the whole screen.
    void set_screen_area(const Rect& area) { screen_area_ = area; }
    const std::optional<Rect>& screen_area() const { return screen_area_; }

    // The persistent surface of the client area, in pixels.
    Canvas& surface() { return surface_; }
    const Canvas& surface() const { return surface_; }
    int ScaleWidth() const { return surface_.width(); }
    int ScaleHeight() const { return surface_.height(); }
    void Refresh();

    // Called by the backend when the client area takes a new size: resizes the
    // surface and runs Form_Resize.
    void client_resized(int width, int height);
    // Called by the backend when the window is destroyed by someone else.
    void destroyed_by_system();

    // Events. The default handlers do nothing.
    //
    // What every backend delivers for a window of the program's own (a
    // hack's window gets no input: the daemon owns it):
    // - a key going down: Form_KeyDown with the key's code (letters as their
    //   capital, digits, Return 13, Escape 27, F1 112, ...; 0 for a key
    //   without one) and the shift state (Shift 1, Control 2, Alt 4); for a
    //   key that gives a character, Form_KeyPress with it after that;
    // - a mouse button going down: Form_MouseDown with the button (left 1,
    //   right 2, middle 4), the shift state and the pointer's position in
    //   the client area; the second press of a double click gives
    //   Form_DblClick instead;
    // - a button going up: Form_Click (on Windows the left one's only),
    //   except the release that ends a double click;
    // - the pointer moving over the window, and entering it: Form_MouseMove
    //   with the buttons held, the shift state and the position.
    // Releases of keys and of the other buttons give nothing. Any handler may
    // unload the form; the backend then delivers nothing more to it.
    virtual void Form_Load() {}
    virtual void Form_Resize() {}
    virtual void Form_Unload() {}
    virtual void Form_Terminate() {}
    virtual void Form_Click() {}
    virtual void Form_DblClick() {}
    virtual void Form_KeyDown(int /*key_code*/, int /*shift*/) {}
    virtual void Form_KeyPress(int /*key_ascii*/) {}
    virtual void Form_MouseDown(int /*button*/, int /*shift*/, float /*x*/, float /*y*/) {}
    virtual void Form_MouseMove(int /*button*/, int /*shift*/, float /*x*/, float /*y*/) {}
    // The form's timer fired.
    virtual void Timer_Timer() {}

protected:
    FormDesign design_;

private:
    std::string name_;
    Canvas surface_;
    std::unique_ptr<NativeWindow> window_;
    std::optional<Rect> screen_area_;
    bool load_ran_ = false;
    bool unloading_ = false;
};

// The loaded forms, in load order (the run-time library's Forms collection).
class Forms {
public:
    static int count();
    static Form& at(int index);
    // Takes ownership of a form object; it is released (running its
    // Form_Terminate) by release_unloaded() once it has been unloaded.
    template <class F, class... Args> static F& create(Args&&... args)
    {
        auto form = std::make_unique<F>(std::forward<Args>(args)...);
        F& ref = *form;
        adopt(std::move(form));
        return ref;
    }
    static void adopt(std::unique_ptr<Form> form);
    static void release_unloaded();
    // Unloads nothing: drops every form object without running a handler (for
    // ending the program at once, and between tests).
    static void discard_all();

private:
    friend class Form;
    static void added(Form& form);
    static void removed(Form& form);
};

// A simple timer owned by a form: the backend delivers its events through the
// form's message loop, one at a time.
class Timer {
public:
    explicit Timer(Form& owner) : owner_(owner) {}
    int Interval() const { return interval_; }
    bool Enabled() const { return enabled_; }
    void set_Interval(int ms);
    void set_Enabled(bool enabled);

private:
    void apply();
    Form& owner_;
    int interval_ = 0;
    bool enabled_ = false;
};

}  // namespace fw
