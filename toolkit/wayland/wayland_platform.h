// The Wayland backend: the full-screen saver on a Wayland compositor, one
// scene on every output, and the dialogs through GTK on the same compositor.
// The class's parts live in one file each: wayland_platform.cpp (the
// globals), wayland_outputs.cpp, wayland_capture.cpp (the desktop snapshot),
// wayland_input.cpp (the seat), wayland_claim.cpp (one saver at a time) and
// wayland_loop.cpp (its part of the event loop).
//
// A scene is a layer-shell surface on the overlay layer of its output, above
// every window and panel, holding the keyboard; where the compositor has no
// layer shell, a fullscreen toplevel on that output. Its pixels go through
// shared-memory buffers. The desktop snapshot comes from the compositor's
// screen copy where it offers one, else it is black. The preview and the hack
// live in X windows and stay with the X11 backend.
#pragma once

#include "toolkit/linux/command_line.h"
#include "toolkit/linux/event_loop.h"
#include "toolkit/linux/linux_platform.h"
#include "toolkit/wayland/keyboard_map.h"
#include "toolkit/wayland/output_layout.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_shm;
struct wl_seat;
struct wl_pointer;
struct wl_keyboard;
struct wl_output;
struct wl_surface;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct zwlr_layer_shell_v1;
struct zwlr_screencopy_manager_v1;
struct xdg_wm_base;
struct wp_viewporter;
struct wp_fractional_scale_manager_v1;

namespace fw {

class WaylandPlatform;
class WaylandWindow;

// One output of the compositor, as its events have described it so far.
struct WaylandOutput {
    WaylandPlatform* owner = nullptr;
    uint32_t name = 0;  // the registry's
    wl_output* output = nullptr;
    zxdg_output_v1* xdg = nullptr;
    int32_t scale = 1;
    int32_t transform = 0;
    int mode_width = 0, mode_height = 0;
    int x = 0, y = 0;  // wl_output.geometry
    bool has_logical = false;
    double logical_x = 0, logical_y = 0, logical_width = 0, logical_height = 0;
    bool done = false;     // described completely at least once
    bool changed = false;  // since the last done

    OutputGeometry geometry() const;
};

// What the compositor's globals offer.
struct WaylandGlobals {
    wl_compositor* compositor = nullptr;
    uint32_t compositor_version = 0;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    zxdg_output_manager_v1* xdg_outputs = nullptr;
    zwlr_layer_shell_v1* layer_shell = nullptr;
    zwlr_screencopy_manager_v1* screencopy = nullptr;
    uint32_t screencopy_version = 0;
    xdg_wm_base* wm_base = nullptr;
    wp_viewporter* viewporter = nullptr;
    wp_fractional_scale_manager_v1* fractional_scale = nullptr;
};

class WaylandPlatform : public LinuxPlatform, private LoopConnection {
public:
    // Connects to the compositor that WAYLAND_DISPLAY names; nothing when
    // none answers there, and then failure says where and why.
    static std::unique_ptr<WaylandPlatform> connect(std::vector<std::string> arguments, SettingsStore& settings,
                                                    std::string* failure = nullptr);
    ~WaylandPlatform() override;

    // Nothing to switch: the compositor's idle timer goes on counting while
    // the saver runs, so that what it runs later (locking, powering the
    // outputs off) still comes.
    void set_screensaver_active(bool) override {}
    // Ends the program at once when another full-screen saver of it already
    // runs on this compositor.
    void set_screensaver_running(bool running) override;
    // Hides the pointer over the program's surfaces.
    void show_cursor(bool show) override;
    void beep() override {}
    // The bounding box of the outputs, in screen coordinates.
    int screen_width_px() const override;
    int screen_height_px() const override;
    double twips_per_pixel_x() const override { return twips_per_pixel(); }
    double twips_per_pixel_y() const override { return twips_per_pixel(); }
    // What the outputs show, through the compositor's screen copy; black
    // where it offers none.
    Image capture_screen(int x, int y, int width, int height) override;
    // Every output the compositor has described, in the registry's order.
    std::vector<Monitor> listed_monitors() override;
    bool client_size(NativeHandle, int& width, int& height) override
    {
        width = height = 0;
        return false;
    }
    std::unique_ptr<NativeWindow> create_window(Form& form) override;
    std::unique_ptr<TextRenderer> create_text_renderer(const FontSpec& desc) override;

    // Delivers events and timer ticks (EventLoop::run). A compositor that
    // goes away ends the program with status 1.
    EventLoop& loop() { return loop_; }

    const WaylandGlobals& globals() const { return globals_; }
    wl_display* display() const { return display_; }
    bool pointer_hidden() const { return pointer_hidden_; }
    // The output whose monitor is area; null when none is.
    const WaylandOutput* output_at(const Rect& area) const;
    const WaylandOutput* output_named(uint32_t name) const;
    // A surface point of the output (logical units) relative to its
    // monitor's top-left corner, in screen units.
    double to_area_x(uint32_t output, double x) const;
    // Screen pixels per logical pixel, the unit the pointer moves in.
    double logical_factor() const { return layout().factor(); }
    double to_area_y(uint32_t output, double y) const;

    // A surface is destroyed: nothing more is delivered to it.
    void surface_gone(wl_surface* surface);

    // For the listeners: the protocol's events become state here and
    // input waits in a queue for the loop.
    struct Input {
        enum class Kind { placed, enter, motion, button_down, button_up, key } kind;
        wl_surface* surface;
        double x = 0, y = 0;  // surface-local
        unsigned button = 0;  // X's numbering: 1 left, 2 middle, 3 right
        uint32_t time = 0;    // the compositor's milliseconds
        int buttons = 0;      // held: left 1, right 2, middle 4
        int shift = 0;
        int key_code = 0, character = 0;
    };
    void global_added(wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    void global_removed(uint32_t name);
    void output_done(WaylandOutput& output);
    void seat_capabilities(uint32_t caps);
    void pointer_entered(uint32_t serial, wl_surface* surface, double x, double y);
    void pointer_left(wl_surface* surface);
    void pointer_moved(double x, double y);
    void pointer_button(uint32_t time, uint32_t button, bool pressed);
    void pointer_scrolled() { pointer_event_in_frame_ = true; }
    void pointer_framed();
    void keyboard_entered(wl_surface* surface);
    void keymap(uint32_t format, int fd, uint32_t size);
    void modifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group);
    void key_pressed(uint32_t key);
    void keyboard_left(wl_surface* surface);
    // Before the first fullscreen scene maps: a GNOME Shell's Activities
    // overview would show it only as a thumbnail, keys going to its search.
    void leave_overview();

private:
    // False when another full-screen saver holds the compositor's claim.
    bool claim_compositor();
    // The globals that become more than a pointer in globals_.
    void seat_added();
    void output_added(uint32_t name, wl_output* output);
    // Asks for the output's logical geometry (xdg-output).
    void describe_logically(WaylandOutput& output);

    WaylandPlatform(wl_display* display, std::vector<std::string> arguments, SettingsStore& settings);
    // The connection's part of each round of the loop: what the compositor
    // asked of each window, then input; and around the loop's sleep, sending
    // what is queued and reading what came.
    void dispatch() override;
    SteadyTime wake_by(SteadyTime wake, SteadyTime) override { return std::min(wake, focus_due_); }
    int prepare_wait() override;
    void finish_wait(bool readable) override;
    void deliver_input();
    std::vector<WaylandWindow*> windows() const;
    // The scene that the compositor took the keyboard or the focus from
    // gets it back or ends the saver; when to look again.
    SteadyTime watch_focus(SteadyTime now);
    void hide_pointer();
    [[noreturn]] void connection_lost();
    double twips_per_pixel() const;
    OutputLayout layout() const;
    size_t output_index(uint32_t name) const;
    WaylandWindow* window_of(wl_surface* surface) const;

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    WaylandGlobals globals_;
    std::vector<std::unique_ptr<WaylandOutput>> outputs_;
    bool dialogs_ready_ = false;
    bool pointer_hidden_ = false;
    bool monitors_dirty_ = false;
    bool outputs_moved_ = false;  // since the last pointer enter or motion

    wl_pointer* pointer_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    uint32_t enter_serial_ = 0;
    wl_surface* pointer_surface_ = nullptr;
    wl_surface* keyboard_surface_ = nullptr;
    double pointer_x_ = 0, pointer_y_ = 0;
    int buttons_held_ = 0;
    bool pointer_event_in_frame_ = false;  // since the last wl_pointer.frame
    bool pointer_entered_before_ = false;
    int placing_enter_frames_ = 0;  // after an enter that only places the pointer: its frame, then the next
    KeyboardMap keys_;
    bool had_keyboard_ = false;  // a scene has had the keyboard
    bool had_focus_ = false;     // a fullscreen scene has been active
    bool reclaimed_ = false;
    SteadyTime focus_lost_{};    // no scene has the keyboard since; zero while one has
    SteadyTime focus_due_ = SteadyTime::max();
    std::vector<Input> input_;

    bool overview_left_ = false;
    int claim_fd_ = -1;  // the claim while this saver runs; closed with the process
    EventLoop loop_{*this};
};

}  // namespace fw
