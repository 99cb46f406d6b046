// One window of the program on the X display. Its form's surface lives in
// X images (shared memory where possible), and a refresh transfers only the
// tiles of it that changed since the last one.
//
// A window the program owns is created unmapped; showing it first reports its
// size to the form, so that the form draws (and the scene takes its desktop
// snapshot) before the window covers anything. Maximised and borderless it is
// a full-screen scene: override-redirect over its form's screen area (its
// monitor), raised again when covered; one of the scenes holds the keyboard
// and pointer grabs for all of them. A hack's window is
// the daemon's: drawn into, followed in size, and never touched otherwise.
#pragma once

#include "toolkit/form.h"
#include "toolkit/linux/event_loop.h"
#include "toolkit/shown_tiles.h"
#include "toolkit/x11/input_mapping.h"

#include <X11/Xlib.h>

#include <cstdint>

namespace fw {

class X11Platform;
class XImageStore;

class X11Window : public LoopWindow {
public:
    // A window of the program's own, which needs shows_colors().
    X11Window(X11Platform& owner, Form& form);
    // Whether the screen has a visual that shows colours as they are; for a
    // window given, whether its own does (a window that is gone does too).
    static bool shows_colors(Display* display);
    static bool shows_colors(Display* display, Window window);
    // The hack's window, drawn into as it is.
    X11Window(X11Platform& owner, Form& form, Window foreign);
    ~X11Window() override;

    NativeHandle handle() const override { return static_cast<NativeHandle>(window_); }
    void show(ShowMode mode) override;
    void set_window_state(WindowState state) override;
    bool set_topmost(bool topmost, bool activate) override;
    void refresh() override;
    void embed(NativeHandle parent, int width, int height) override;
    void move(int left, int top, int width, int height) override;
    void destroy() override;

    // For the event loop. The form's handler may unload the form, which
    // destroys this object: callers ask watch() before touching it again.
    void handle_event(const XEvent& event);
    // Retries the grabs when they are due again.
    void before_tick(SteadyTime now) override;

    bool grab_pending() const { return grab_pending_; }
    // A full-screen window on the display, which the program's grabs belong to.
    bool wants_grabs() const;
    // Takes the keyboard and the pointer, retrying for a while when another
    // client holds them.
    void start_grabs();
    // The pointer is shown or hidden as the platform says.
    void apply_cursor();

private:
    void init_drawing(Visual* visual, int depth);
    void map_now();
    void try_grabs();
    bool can_present() const;
    // The image the surface is in now.
    XImageStore& store() const;
    void present(int x, int y, int width, int height);
    void resize_to(int width, int height);
    // What maximising fills: the form's screen area, else the whole screen.
    Rect maximized_area() const;
    void handle_input(const XEvent& event);

    X11Platform& owner_;
    Display* display_;
    Window window_ = 0;
    bool foreign_ = false;   // the hack's window
    bool gone_ = false;      // destroyed by someone else
    bool destroyed_ = false;
    Colormap colormap_ = None;  // for a visual other than the screen's own
    Window parent_ = 0;      // embedded: the window we follow
    GC gc_ = nullptr;
    bool drawing_ = false;  // the surface lives in X images

    bool visible_ = false;
    bool mapped_ = false;
    bool fullscreen_ = false;
    WindowState state_ = WindowState::normal;
    bool topmost_ = false;
    bool activate_ = false;
    int width_ = 0, height_ = 0;  // of the window on the display

    bool keyboard_grabbed_ = false;
    bool pointer_grabbed_ = false;
    bool grab_pending_ = false;
    SteadyTime grab_deadline_{};
    SteadyTime next_grab_try_{};

    // What the window shows of the surface, so a refresh sends only the
    // tiles that changed since.
    ShownTiles shown_;
    // The exposed area not yet repainted.
    int damage_left_ = 0, damage_top_ = 0, damage_right_ = 0, damage_bottom_ = 0;

    ClickTracker clicks_;
};

}  // namespace fw
