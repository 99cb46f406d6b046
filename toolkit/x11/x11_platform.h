// The X11 backend: the program's windows on an X display, their timers and
// input on the Linux event loop, and a screen saver's system calls in X terms.
//
// Three ways to run: the full-screen saver and the preview own their windows;
// as an XScreenSaver hack (X11HackPlatform, x11_hack.h) the scene is drawn
// straight into the daemon's (or the root) window, which the daemon owns
// together with input and locking. The class's parts live in one file each:
// x11_platform.cpp, x11_monitors.cpp, x11_capture.cpp (the desktop
// snapshot), x11_power.cpp, x11_claim.cpp (one saver at a time),
// x11_grabs.cpp and x11_loop.cpp (its part of the event loop).
#pragma once

#include "toolkit/linux/command_line.h"
#include "toolkit/linux/event_loop.h"
#include "toolkit/linux/linux_platform.h"
#include "toolkit/x11/power_saving.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace fw {

class X11Window;

// The server's power saving (DPMS), with the idle time of its screen saver.
std::unique_ptr<DisplayPower> make_dpms_power(Display* display);

class X11Platform : public LinuxPlatform, private LoopConnection {
public:
    // Takes over display and closes it when destroyed.
    X11Platform(Display* display, std::vector<std::string> arguments, SettingsStore& settings);
    ~X11Platform() override;

    // The X server's own screen saver is held off only while the activation
    // is off and the program runs as the full-screen saver, and only when the
    // server's saver is not on already: then its cycle still comes, and
    // whatever locks the screen on it. While held off, the server's power
    // saving stands still with it, and the program powers the outputs down
    // itself at the user's timeouts. The server lifts the hold when the
    // connection closes, so a program that dies leaves nothing switched off.
    // The settings dialog and the preview leave all of it alone.
    void set_screensaver_active(bool active) override;
    void set_screensaver_running(bool running) override;
    // Hides the pointer over the program's windows.
    void show_cursor(bool show) override;
    void beep() override;
    int screen_width_px() const override;
    int screen_height_px() const override;
    // At Xft.dpi; once the dialogs' toolkit is open, at the resolution its
    // windows are scaled to, so that twips become pixels once and only once.
    double twips_per_pixel_x() const override { return twips_per_pixel(); }
    double twips_per_pixel_y() const override { return twips_per_pixel(); }
    // The root window's pixels.
    Image capture_screen(int x, int y, int width, int height) override;
    // RandR's monitors, or Xinerama's heads where Xinerama knows more of them.
    std::vector<Monitor> listed_monitors() override;
    std::optional<Point> pointer_position() override;
    bool client_size(NativeHandle window, int& width, int& height) override;
    std::unique_ptr<NativeWindow> create_window(Form& form) override;
    std::unique_ptr<TextRenderer> create_text_renderer(const FontSpec& desc) override;

    // Delivers window events and timer ticks (EventLoop::run).
    EventLoop& loop() { return loop_; }

    Display* display() const { return display_; }
    // What the power saving is read from and told; the server's DPMS unless
    // a test gives another.
    void use_display_power(std::unique_ptr<DisplayPower> power) { display_power_ = std::move(power); }
    bool pointer_hidden() const { return pointer_hidden_; }
    Cursor blank_cursor();
    Atom wm_delete_window() const { return wm_delete_window_; }
    Atom wm_protocols() const { return wm_protocols_; }

    // Windows tell the platform about the X windows whose events they handle.
    void watch(Window window, X11Window* handler);
    void unwatch(X11Window* handler);

    // One grab covers all full-screen windows: the first that asks holds it,
    // and when it goes the grab passes to another that wants it.
    void claim_grabs(X11Window* window);
    void release_grabs(X11Window* window);

protected:
    void watch_monitors() override;
    // The program's X window for form, after the dialogs have had their say.
    virtual std::unique_ptr<NativeWindow> create_x_window(Form& form);
    // What source shows of (x, y, width, height), the source's (origin_x,
    // origin_y) being the screen's top-left corner; black where it shows
    // nothing.
    Image capture_from(Drawable source, int origin_x, int origin_y, int x, int y, int width, int height);

private:
    // The connection's part of each round of the loop.
    void dispatch() override;
    bool timers_paused(SteadyTime now) override;
    void after_timers(bool paused) override;
    bool pending() override;
    SteadyTime wake_by(SteadyTime wake, SteadyTime now) override;
    int prepare_wait() override;

    void dispatch(XEvent& event);
    // Handles what is in Xlib's queue, without reading the connection.
    void dispatch_queued();
    // The windows, which are all this backend's.
    std::vector<X11Window*> windows() const;
    double twips_per_pixel() const;
    void update_saver_hold();
    // False when another full-screen saver of this program already runs on
    // the display; else this one is the display's from now on.
    bool claim_display();

    Display* display_;
    std::optional<double> xft_dpi_;
    double dpi_;  // Xft.dpi, or 96
    bool pointer_hidden_ = false;
    bool activation_off_ = false;
    bool saver_running_ = false;
    bool saver_held_ = false;  // the server's screen saver suspended by us
    Window claim_window_ = None;  // owns the selection that marks a running saver
    int compositor_claim_fd_ = -1;  // on XWayland: the claim on the compositor
    std::unique_ptr<DisplayPower> display_power_;
    // Counts the power-saving timeouts while the server's saver is held off.
    std::optional<PowerSaving> power_saving_;
    SteadyTime next_power_look_{};
    bool dialogs_ready_ = false;
    Cursor blank_cursor_ = 0;
    Atom wm_delete_window_;
    Atom wm_protocols_;
    std::map<Window, X11Window*> watched_;
    X11Window* grab_holder_ = nullptr;
    int randr_event_base_ = -1;
    bool watching_monitors_ = false;
    bool monitors_dirty_ = false;
    // A window's timer runs at frame rate: the connection is read after
    // each frame rather than watched while asleep.
    bool animating_ = false;
    EventLoop loop_{*this};
};

}  // namespace fw
